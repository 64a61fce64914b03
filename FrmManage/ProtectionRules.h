#pragma once
// The rules the window applies when folders are marked and saved, in plain C++ so the
// command-line companion applies the very same ones.

#include "FrmManage/FolderListing.h"
#include "Protectfileio/Protectfileio.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rows that would be private after "Mark as Private" on the selected rows: each row that
// is selected and markable, or already private, counted once.
std::size_t PrivateRowsAfterMarking(std::size_t count, const FolderRowAt& rowAt,
                                    const std::function<bool(std::size_t)>& isSelected);

// The message box "Lunavio cannot protect more than 16 folders" (no owner).
void ShowPrivateFolderLimit();

// The packed BCD value of a password text (first digit in bits 15..12); nullopt unless the
// text is exactly four characters '0' to '9'.
std::optional<std::uint16_t> PackedPassword(std::string_view text);

// The message box "Password must be 0000 - 9999" (no owner).
void ShowPasswordRefusal();

// The report of a successful save, "Save to <label> OK!", label as the drive selector shows it.
std::string SavedText(const std::string& label);

// The writer's name list: the stored names of the private rows in row order, one zero-filled
// slot each (a name is cut to 259 units so the slot keeps its terminator).
std::vector<WriterNameSlot> PrivateNameSlots(std::size_t count, const FolderRowAt& rowAt);

// The report of a failed save: "Could not save to <label>. <cause> Its settings were not
// changed."
std::string SaveFailedText(const std::string& label,
                           const std::optional<platform::ReplaceError>& failure);

// One sentence on why the drive refused a new MPlay.sys: the cause the system reported (full,
// read-only, removed, no permission), else the step that failed; without a failure, the
// likely causes.
std::string SaveFailureCause(const std::optional<platform::ReplaceError>& failure);
