#pragma once
// Owning wrappers for Win32 handles, each closed by its own function.

#include "platform/windows/Win32.h"

#include <memory>

namespace platform::windows_detail {

template <auto Close> struct HandleCloser {
    void operator()(HANDLE handle) const { Close(handle); }
};

// A handle from CreateFile* or FindFirstFile*; null when there is none. Callers turn
// INVALID_HANDLE_VALUE into null with Owned().
template <auto Close> using UniqueHandle = std::unique_ptr<void, HandleCloser<Close>>;

template <auto Close> UniqueHandle<Close> Owned(HANDLE handle) {
    return UniqueHandle<Close>(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

using UniqueFile = UniqueHandle<&CloseHandle>;
using UniqueFind = UniqueHandle<&FindClose>;

} // namespace platform::windows_detail
