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
    const std::vector<WriterNameSlot> names =
        PrivateNameSlots(static_cast<std::size_t>(ListView1->RowCount()), ListView1->RowAt());
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
        platform::ShowMessageBox({"Could not save to " + label + ". " +
                                      SaveFailureCause(result.failure) +
                                      " Its settings were not changed.",
                                  kTitle, platform::BoxOwner::Window, platform::BoxKind::Plain});
        break;
    }
    case WriteOutcome::Refused: // the writer has said why
        break;
    }
}
