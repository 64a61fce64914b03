#include "FrmManage/ProtectionRules.h"

#include "platform/MessageBox.h"

#include <algorithm>

namespace {

constexpr const char* kTitle = "Lunavio Utility";
constexpr std::size_t kPasswordDigits = 4;

} // namespace

int PrivateRowsAfterMarking(std::span<const FolderRow> rows,
                            const std::function<bool(std::size_t)>& isSelected) {
    int count = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if ((isSelected(i) && rows[i].IsMarkable()) || rows[i].IsPrivate()) {
            ++count;
        }
    }
    return count;
}

void ShowPrivateFolderLimit() {
    platform::ShowMessageBox({"Lunavio cannot protect more than 16 folders", kTitle,
                              platform::BoxOwner::None, platform::BoxKind::Plain});
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
    platform::ShowMessageBox({"Password must be 0000 - 9999", kTitle, platform::BoxOwner::None,
                              platform::BoxKind::Plain});
}

std::string SavedText(const std::string& label) {
    return "Save to " + label + " OK!";
}

std::vector<WriterNameSlot> PrivateNameSlots(std::span<const FolderRow> rows) {
    std::vector<WriterNameSlot> names;
    for (const FolderRow& row : rows) {
        if (!row.IsPrivate()) {
            continue;
        }
        WriterNameSlot& slot = names.emplace_back();
        const std::size_t units = std::min(row.storedName.size(), kPathUnits - 1);
        std::copy_n(row.storedName.begin(), units, slot.begin());
    }
    return names;
}
