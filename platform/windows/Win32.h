#pragma once
// <windows.h> without the macros that would rename this layer's own functions
// (ReplaceFile would become ReplaceFileA).

#include <windows.h>

#undef ReplaceFile
