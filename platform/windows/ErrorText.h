#pragma once

#include "platform/windows/Win32.h"

#include <string>

namespace platform::windows_detail {

// The system's description of an error code, without the full stop and line break it ends
// with; "error <code>" when the system has none.
std::string ErrorText(DWORD error);

} // namespace platform::windows_detail
