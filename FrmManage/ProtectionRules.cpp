#include "FrmManage/ProtectionRules.h"

#include "app/Texts.h"
#include "platform/MessageBox.h"

#include <algorithm>

namespace {

constexpr std::size_t kPasswordDigits = 4;

// What the step was doing, for a cause the user has no name for.
const char* StepText(platform::ReplaceStep step) {
    switch (step) {
    case platform::ReplaceStep::Create:
        return "Creating the new file";
    case platform::ReplaceStep::Write:
        return "Writing the new file";
    case platform::ReplaceStep::Flush:
        return "Flushing the new file to the drive";
    case platform::ReplaceStep::Replace:
        return "Replacing the old file";
    }
    return "Saving";
}

} // namespace

std::string SaveFailureCause(const std::optional<platform::ReplaceError>& failure) {
    if (!failure) {
        return "The drive may be write-protected or removed.";
    }
    const platform::ReplaceError& error = *failure;
    switch (error.fault) {
    case platform::FileFault::DiskFull:
        return "The drive is full.";
    case platform::FileFault::ReadOnly:
        return "The drive is write-protected or read-only.";
    case platform::FileFault::Gone:
        return "The drive was removed or does not respond.";
    case platform::FileFault::AccessDenied:
        return "You do not have permission to change MPlay.sys on this drive.";
    case platform::FileFault::NotAFile:
        return "MPlay.sys on this drive is not a regular file.";
    case platform::FileFault::Busy:
        return "Another program is saving to this drive.";
    case platform::FileFault::Other:
        break;
    }
    return std::string(StepText(error.step)) +
           (error.detail.empty() ? " failed." : " failed: " + error.detail + ".");
}

std::string SaveFailedText(const std::string& label,
                           const std::optional<platform::ReplaceError>& failure) {
    return "Could not save to " + label + ". " + SaveFailureCause(failure) +
           " Its settings were not changed.";
}

std::size_t PrivateRowsAfterMarking(std::size_t count, const FolderRowAt& rowAt,
                                    const std::function<bool(std::size_t)>& isSelected) {
    std::size_t after = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const FolderRowView row = rowAt(i);
        if ((isSelected(i) && row.IsMarkable()) || row.IsPrivate()) {
            ++after;
        }
    }
    return after;
}

void ShowPrivateFolderLimit() {
    platform::ShowMessageBox(
        {kFolderLimitText, kUtilityTitle, platform::BoxOwner::None, platform::BoxKind::Plain});
}

std::optional<std::uint16_t> PackedPassword(std::string_view text) {
    if (text.size() != kPasswordDigits) {
        return std::nullopt;
    }
    std::uint16_t value = 0;
    for (const char c : text) {
        const auto digit = static_cast<std::uint8_t>(static_cast<unsigned char>(c) - '0');
        if (digit > 9) {
            return std::nullopt;
        }
        value = static_cast<std::uint16_t>((value << 4) + digit);
    }
    return value;
}

void ShowPasswordRefusal() {
    platform::ShowMessageBox(
        {kPasswordRangeText, kUtilityTitle, platform::BoxOwner::None, platform::BoxKind::Plain});
}

std::string SavedText(const std::string& label) {
    return "Save to " + label + " OK!";
}

std::vector<WriterNameSlot> PrivateNameSlots(std::size_t count, const FolderRowAt& rowAt) {
    std::vector<WriterNameSlot> names;
    for (std::size_t i = 0; i < count; ++i) {
        const FolderRowView row = rowAt(i);
        if (!row.IsPrivate()) {
            continue;
        }
        WriterNameSlot& slot = names.emplace_back();
        const std::size_t units = std::min(row.storedName.size(), kPathUnits - 1);
        std::copy_n(row.storedName.begin(), units, slot.begin());
    }
    return names;
}
