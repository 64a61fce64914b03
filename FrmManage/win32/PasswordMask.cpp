#include "FrmManage/win32/PasswordMask.h"

#include <algorithm>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The selection kept within the positions, start before end.
PasswordMask Normalised(PasswordMask mask) {
    mask.text = MaskedText(mask.text);
    mask.end = std::min(mask.end, PasswordMask::kPositions);
    mask.start = std::min(mask.start, mask.end);
    return mask;
}

} // namespace

bool PasswordMask::Complete() const {
    return text.size() == kPositions && std::all_of(text.begin(), text.end(), IsDigit);
}

std::string MaskedText(std::string_view text) {
    std::string positions;
    for (const char c : text) {
        if (positions.size() == PasswordMask::kPositions) {
            break;
        }
        if (IsDigit(c) || c == ' ') {
            positions += c;
        }
    }
    positions.resize(PasswordMask::kPositions, ' ');
    return positions;
}

std::optional<PasswordMask> TypeDigits(const PasswordMask& mask, std::string_view typed) {
    if (std::none_of(typed.begin(), typed.end(), IsDigit)) {
        return std::nullopt;
    }
    PasswordMask edited = Normalised(mask);
    std::fill(edited.text.begin() + static_cast<std::ptrdiff_t>(edited.start),
              edited.text.begin() + static_cast<std::ptrdiff_t>(edited.end), ' ');
    std::size_t caret = edited.start;
    for (const char c : typed) {
        if (caret == PasswordMask::kPositions) {
            break;
        }
        if (IsDigit(c)) {
            edited.text[caret++] = c;
        }
    }
    edited.start = edited.end = caret;
    return edited;
}

std::optional<PasswordMask> ErasePositions(const PasswordMask& mask, bool backward) {
    PasswordMask edited = Normalised(mask);
    if (edited.start == edited.end) {
        if (backward ? edited.start == 0 : edited.start == PasswordMask::kPositions) {
            return std::nullopt;
        }
        if (backward) {
            --edited.start;
        } else {
            ++edited.end;
        }
    }
    std::fill(edited.text.begin() + static_cast<std::ptrdiff_t>(edited.start),
              edited.text.begin() + static_cast<std::ptrdiff_t>(edited.end), ' ');
    edited.end = edited.start; // the caret at the first blanked position
    return edited;
}
