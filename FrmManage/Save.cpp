// "Save": the window's marks, password and wait state become the chosen drive's MPlay.sys.

#include "FrmManage/FrmEditProtect.h"
#include "Protectfileio/Protectfileio.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kTitle = "Lunavio Utility";

void ShowPasswordRefusal() {
    platform::ShowMessageBox({"Password must be 0000 - 9999", kTitle, platform::BoxOwner::None,
                              platform::BoxKind::Plain});
}

// The packed BCD value of four digit characters, first digit in bits 15..12; nullopt when a
// character is not a digit.
std::optional<std::uint16_t> PackedPassword(const std::string& text) {
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

// The stored names of the private rows in list order, one zero-filled slot each, at least
// the writer's 16 slots.
std::vector<WriterNameSlot> PrivateNames(const TListView& list) {
    std::vector<WriterNameSlot> names(kMaxProtectedFolders, WriterNameSlot{});
    std::size_t count = 0;
    for (int i = 0; i < list.RowCount(); ++i) {
        const FolderRow& row = list.Row(i);
        if (!row.IsPrivate()) {
            continue;
        }
        if (count == names.size()) {
            names.emplace_back();
        }
        // The slot keeps its terminator, as the listing's name block does.
        const std::size_t units = std::min(row.storedName.size(), kPathUnits - 1);
        std::copy_n(row.storedName.begin(), units, names[count].begin());
        ++count;
    }
    names.resize(std::max(count, kMaxProtectedFolders));
    return names;
}

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

// One sentence on why the drive refused the new file.
std::string FailureCause(const platform::ReplaceError& error) {
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
    case platform::FileFault::Other:
        break;
    }
    return std::string(StepText(error.step)) +
           (error.detail.empty() ? " failed." : " failed: " + error.detail + ".");
}

std::int32_t PrivateRowCount(const TListView& list) {
    std::int32_t count = 0;
    for (int i = 0; i < list.RowCount(); ++i) {
        count += list.Row(i).IsPrivate() ? 1 : 0;
    }
    return count;
}

} // namespace

void TFrmEditProtect::BitBtn4Click() {
    const int index = ComboBox1->currentIndex();
    if (index < 0) {
        platform::ShowMessageBox({"Please choose a drive of Lunavio", kTitle,
                                  platform::BoxOwner::Window, platform::BoxKind::Plain});
        ComboBox1->setFocus(Qt::OtherFocusReason);
        return;
    }
    const std::string passwordText = MaskEdit1->EditText();
    if (passwordText.size() != 4) {
        ShowPasswordRefusal();
        return;
    }
    const std::optional<std::uint16_t> password = PackedPassword(passwordText);
    if (!password) {
        ShowPasswordRefusal();
        return;
    }
    const std::int32_t folderCount = PrivateRowCount(*ListView1);
    const std::vector<WriterNameSlot> names = PrivateNames(*ListView1);
    const char letter = static_cast<char>(CurrentDriveLetter & 0xFF);
    bool isNumber = false;
    const int waitValue = LabeledEdit1->text().toInt(&isNumber);
    const auto waitState = static_cast<std::uint8_t>(isNumber ? waitValue & 0xFF : 0);
    // The drive's label as the selector shows it now: a notice arriving while the writer's
    // own message is open may rebuild the selector before the outcome is reported.
    const std::string label = ComboBox1->currentText().toLocal8Bit().toStdString();

    const WriteResult result =
        WriteProtectionFile(letter, folderCount, *password, names, waitState);

    // The record follows what is on disk. A refresh during the writer's message has rebuilt
    // the table and read every file again; the entry is reloaded only while it still stands
    // for the drive written.
    if (index < static_cast<int>(kDriveTableEntries)) {
        DriveProtection& record = DriveTable[static_cast<std::size_t>(index)];
        if (record.DriveLetter != 0 && static_cast<char>(record.DriveLetter & 0xFF) == letter) {
            LoadDriveProtection(record, waitState);
        }
    }

    switch (result.outcome) {
    case WriteOutcome::Written:
        platform::ShowMessageBox({"Save to " + label + " OK!", kTitle, platform::BoxOwner::Window,
                                  platform::BoxKind::Plain});
        break;
    case WriteOutcome::Failed: {
        std::string text = "Could not save to " + label +
                           ". The drive may be write-protected or removed; its settings were "
                           "not changed.";
        if (result.failure) {
            text += "\n\n" + FailureCause(*result.failure);
        }
        platform::ShowMessageBox(
            {std::move(text), kTitle, platform::BoxOwner::Window, platform::BoxKind::Plain});
        break;
    }
    case WriteOutcome::Refused: // the writer has said why
        break;
    }
}
