#pragma once
// Text kept in a fixed-size field: it ends at the first zero unit, or with the field when
// there is none, so reading it never runs past the field.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace platform {

template <typename Char, std::size_t N>
std::basic_string_view<Char> TerminatedText(const std::array<Char, N>& field) {
    const auto end = std::find(field.begin(), field.end(), Char{});
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

} // namespace platform
