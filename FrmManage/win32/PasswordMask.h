#pragma once
// The password box's four digit positions and how the keys edit them, apart from the edit
// control that shows them: a position holds a digit or a blank (a space), typing overwrites
// the positions from the caret on, and nothing but a digit is ever taken.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct PasswordMask {
    static constexpr std::size_t kPositions = 4;

    std::string text = std::string(kPositions, ' ');
    // The selection [start, end); start == end is the caret alone.
    std::size_t start = 0, end = 0;

    // All four positions hold digits.
    bool Complete() const;
};

// The positions for a text set from code: its digits fill the positions in order and a blank
// keeps one empty; other characters take none. Four positions, whatever the text's length.
std::string MaskedText(std::string_view text);

// Typing (or pasting) typed: the selection is blanked, then the digits of typed overwrite
// the positions from the selection's start on, the caret following them; other characters
// are dropped. nullopt when typed holds no digit: the key is refused and nothing changes.
std::optional<PasswordMask> TypeDigits(const PasswordMask& mask, std::string_view typed);

// Backspace (backward) or Delete: blanks the selection, else the position before (Backspace)
// or after (Delete) the caret. nullopt when there is nothing to blank.
std::optional<PasswordMask> ErasePositions(const PasswordMask& mask, bool backward);
