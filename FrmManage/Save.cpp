// "Save": the window's marks, password and wait state become the chosen drive's MPlay.sys.

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/ProtectionRules.h"
#include "app/Texts.h"
#include "platform/MessageBox.h"

#include <charconv>
#include <string>
#include <vector>

namespace {

// The wait-state box's text as a number, 0 when it is empty or not a number; its low 8 bits.
std::uint8_t WaitStateOf(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return 0;
    }
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

std::optional<SaveRequest> TFrmEditProtect::PrepareSave() {
    const int index = ComboBox1.ItemIndex();
    if (index < 0) {
        platform::ShowMessageBox({kChooseDriveText, kUtilityTitle, platform::BoxOwner::Window,
                                  platform::BoxKind::Plain});
        ComboBox1.SetFocus();
        return std::nullopt;
    }
    const std::optional<std::uint16_t> password = PackedPassword(MaskEdit1.Text());
    if (!password) {
        ShowPasswordRefusal();
        return std::nullopt;
    }
    // The drive's label as the selector shows it now: a notice arriving while the writer's
    // own message is open may rebuild the selector before the outcome is reported.
    return SaveRequest{.entry = index,
                       .letter = static_cast<char>(CurrentDriveLetter & 0xFF),
                       .password = *password,
                       .names = PrivateNameSlots(ListView1.RowCount(), ListView1.RowAt()),
                       .waitState = WaitStateOf(LabeledEdit1.Text()),
                       .label = ComboBox1.Text()};
}

std::optional<WriteOutcome> TFrmEditProtect::BitBtn4Click() {
    const std::optional<SaveRequest> save = PrepareSave();
    if (!save) {
        return std::nullopt;
    }
    const WriteResult result =
        WriteProtectionFile(save->letter, static_cast<std::int32_t>(save->names.size()),
                            save->password, save->names, save->waitState);

    // The record follows what is on disk. A refresh during the writer's message has rebuilt
    // the table and read every file again; the entry is reloaded only while it still stands
    // for the drive written.
    if (save->entry < static_cast<int>(kDriveTableEntries)) {
        DriveProtection& record = DriveTable[static_cast<std::size_t>(save->entry)];
        if (record.DriveLetter != 0 &&
            static_cast<char>(record.DriveLetter & 0xFF) == save->letter) {
            LoadDriveProtection(record, save->waitState);
        }
    }

    switch (result.outcome) {
    case WriteOutcome::Written:
        platform::ShowMessageBox({SavedText(save->label), kUtilityTitle, platform::BoxOwner::Window,
                                  platform::BoxKind::Plain});
        break;
    case WriteOutcome::Failed:
        platform::ShowMessageBox({SaveFailedText(save->label, result.failure), kUtilityTitle,
                                  platform::BoxOwner::Window, platform::BoxKind::Plain});
        break;
    case WriteOutcome::Refused: // the writer has said why
        break;
    }
    return result.outcome;
}
