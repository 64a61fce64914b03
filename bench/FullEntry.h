#pragma once
// The drive record the listing benchmarks list with.

#include "app/DriveTable.h"

#include <cstddef>

// Every slot filled, none matching: the most comparisons per row.
inline DriveProtection FullEntry(char letter) {
    DriveProtection entry{};
    entry.DriveLetter = static_cast<char16_t>(letter);
    entry.Password = 0x1234;
    for (std::size_t i = 0; i < kMaxPrivateFolders; ++i) {
        PathSlot& slot = entry.PrivateFolders[i];
        slot[0] = entry.DriveLetter;
        slot[1] = u':';
        slot[2] = u'\\';
        slot[3] = u'F';
        slot[4] = static_cast<char16_t>(u'a' + i);
    }
    return entry;
}
