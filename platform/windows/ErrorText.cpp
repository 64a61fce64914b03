#include "platform/windows/ErrorText.h"

#include <cctype>

namespace platform::windows_detail {

std::string ErrorText(DWORD error) {
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
    return described.empty() ? "error " + std::to_string(error) : described;
}

} // namespace platform::windows_detail
