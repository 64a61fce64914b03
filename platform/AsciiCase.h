#pragma once
// Case changes of the ASCII letters alone: drive letters, device ids, registry names, file
// system names and short folder names change case this way whatever the locale.

namespace platform {

template <typename Char> constexpr Char AsciiUpper(Char c) {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <typename Char> constexpr Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

} // namespace platform
