// "Save": the window's marks, password and wait state become the chosen drive's MPlay.sys.

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/ProtectionRules.h"
#include "Protectfileio/Protectfileio.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kTitle = "Lunavio Utility";

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

} // namespace

void TFrmEditProtect::BitBtn4Click() {
    const int index = ComboBox1->currentIndex();
    if (index < 0) {
        platform::ShowMessageBox(
            {kChooseDriveText, kTitle, platform::BoxOwner::Window, platform::BoxKind::Plain});
        ComboBox1->setFocus(Qt::OtherFocusReason);
        return;
    }
    const std::optional<std::uint16_t> password = PackedPassword(MaskEdit1->EditText());
    if (!password) {
        ShowPasswordRefusal();
        return;
    }
    const std::vector<WriterNameSlot> names = PrivateNameSlots(ListView1->Rows());
    const auto folderCount = static_cast<std::int32_t>(names.size());
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
