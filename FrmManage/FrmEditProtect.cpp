#include "FrmManage/FrmEditProtect.h"

#include "Hdddevctrl/DiscoveryDiagnosis.h"
#include "app/Texts.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <exception>
#include <string>

TFrmEditProtect* FrmEditProtect = nullptr;
OsVersionRecord OsVersionInfo;

void RecordOsVersion() {
    OsVersionInfo.MajorVersion = platform::OsMajorVersion();
}

void ReportHandlerErrors(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        platform::ShowMessageBox(
            {error.what(), kProgramTitle, platform::BoxOwner::Window, platform::BoxKind::Error});
    }
}

TFrmEditProtect::TFrmEditProtect(const TFormFactory& toolkit)
    : controls_(toolkit(*this)), BitBtn4(controls_->BitBtn4()), BitBtn3(controls_->BitBtn3()),
      ListView1(controls_->ListView1()), BitBtn1(controls_->BitBtn1()),
      BitBtn2(controls_->BitBtn2()), MaskEdit1(controls_->MaskEdit1()),
      ComboBox1(controls_->ComboBox1()), LabeledEdit1(controls_->LabeledEdit1()) {}

TFrmEditProtect::~TFrmEditProtect() = default;

void TFrmEditProtect::FillDriveSelector(const DriveTableArray& table, int count) {
    ComboBox1.Clear();
    ComboBox1.SetHint({}); // the no-drive state's reason no longer holds
    const auto entries = static_cast<std::size_t>(std::clamp<int>(count, 0, kDriveTableEntries));
    for (std::size_t i = 0; i < entries && table[i].DriveLetter != 0; ++i) {
        ComboBox1.Add(FormatDriveLabel(static_cast<char>(table[i].DriveLetter)));
    }
}

void TFrmEditProtect::ShowDrive(const DriveProtection& entry, bool eightBitListing) {
    ListView1.Clear();
    LabeledEdit1.SetText(std::to_string(entry.WaitState));
    CurrentDriveLetter = entry.DriveLetter;
    if (eightBitListing) {
        ListRootFoldersA(entry, ListView1, MaskEdit1);
    } else {
        ListRootFoldersW(entry, ListView1, MaskEdit1);
    }
    ListView1.FinishAppending();
}

MarkChoice TFrmEditProtect::MarkChoiceForSelection() const {
    const int selected = ListView1.SelectedRow();
    if (selected < 0) {
        return {};
    }
    const FolderRowView row = ListView1.Row(static_cast<std::size_t>(selected));
    if (row.stateIndex > 0) {
        return {.markPrivate = false, .markPublic = true};
    }
    return {.markPrivate = row.IsMarkable(), .markPublic = false};
}

void TFrmEditProtect::ComboBox1Change() {
    const int index = ComboBox1.ItemIndex();
    if (index < 0 || index >= static_cast<int>(kDriveTableEntries)) {
        return;
    }
    BitBtn4.SetEnabled(true);
    ShowDrive(DriveTable[static_cast<std::size_t>(index)], OsVersionInfo.MajorVersion < 5);
}

void TFrmEditProtect::ListView1Click() {
    const MarkChoice choice = MarkChoiceForSelection();
    BitBtn1.SetEnabled(choice.markPrivate);
    BitBtn2.SetEnabled(choice.markPublic);
}

void TFrmEditProtect::BitBtn3Click() {
    controls_->EndModal(kModalResultCancel);
}

void TFrmEditProtect::OnDeviceChange(platform::DeviceChangeMessage& message) {
    message.Result = 1; // also grants a removal request
    if ((message.WParam == platform::kDbtDeviceArrival ||
         message.WParam == platform::kDbtDeviceRemoveComplete) &&
        DeviceChangeRefresh) {
        DeviceChangeRefresh();
    }
}

int RunSetupWindow(int count, const DriveTableArray& table) {
    const DriveProtection& first = table[0];
    if (first.DriveLetter == 0) {
        return 0;
    }
    TFrmEditProtect& window = *FrmEditProtect;
    RecordOsVersion();
    VolumeIsFat = DriveIsFat(static_cast<char>(first.DriveLetter));

    window.FillDriveSelector(table, count);
    window.ComboBox1.SetItemIndex(0);
    window.ShowDrive(first, OsVersionInfo.MajorVersion == 4);
    try {
        return window.ShowModal();
    } catch (const std::exception& error) {
        // What escapes the modal run comes from the toolkit itself; the handlers catch their own.
        platform::ShowMessageBox(
            {error.what(), kProgramTitle, platform::BoxOwner::Window, platform::BoxKind::Plain});
        return 0;
    }
}

void SetNoDriveState(TFrmEditProtect& window) {
    window.ComboBox1.Clear();
    window.ListView1.Clear();
    window.BitBtn4.SetEnabled(false);
    window.ComboBox1.SetText(kNoDriveText);
    // Why, from what the discovery that found nothing saw.
    window.ComboBox1.SetHint(NoDriveReason(DiagnoseDiscovery(ProcessDeviceDiscovery())));
}
