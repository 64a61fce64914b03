#pragma once
// <windows.h> without the macros that would rename this layer's own functions
// (ReplaceFile would become ReplaceFileA), and the system's words for its error codes.

#include <cctype>
#include <string>
#include <windows.h>

#undef ReplaceFile

namespace platform {

// The system's words for an error code, without the trailing full stop and line break.
inline std::string DescribeError(DWORD error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string described(text != nullptr ? text : "", length);
    ::LocalFree(text);
    while (!described.empty() && (described.back() == '.' ||
                                  std::isspace(static_cast<unsigned char>(described.back())))) {
        described.pop_back();
    }
    return described;
}

} // namespace platform
