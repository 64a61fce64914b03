#include "app/RefreshDriveTable.h"

#include "FrmManage/FrmEditProtect.h"
#include "app/DriveTable.h"
#include "app/Texts.h"
#include "platform/MessageBox.h"

#include <cstdint>

namespace {

// Counts started refreshes, so one resuming after its message can tell that another ran.
std::uint64_t refreshRuns = 0;

} // namespace

void RefreshDriveTable() {
    const std::uint64_t run = ++refreshRuns;
    TFrmEditProtect& window = *FrmEditProtect;
    TComboBox& selector = window.ComboBox1;

    const int found = BuildDriveTable();
    if (found <= 0) {
        SetNoDriveState(window);
        return;
    }

    const int rememberedIndex = selector.ItemIndex();
    const std::string rememberedText = selector.Text();
    window.FillDriveSelector(DriveTable, static_cast<int>(kDriveTableEntries));
    selector.SetItemIndex(selector.IndexOf(rememberedText));
    selector.SetText(rememberedText);

    if (selector.ItemIndex() < 0) {
        if (rememberedIndex >= 0) {
            platform::ShowMessageBox({rememberedText + kDriveGoneText + selector.Item(0),
                                      window.Caption(), platform::BoxOwner::Window,
                                      platform::BoxKind::Plain});
            if (refreshRuns != run) {
                return; // a notice during the message refreshed the window for a newer table
            }
        }
        selector.SetItemIndex(0);
    }

    const int current = selector.ItemIndex();
    if (current < 0) { // discovery counted drives but gave no letter
        SetNoDriveState(window);
        return;
    }
    if (OsVersionInfo.MajorVersion == 0) {
        RecordOsVersion(); // the window opened without drives
    }
    window.ShowDrive(DriveTable[static_cast<std::size_t>(current)], OsVersionInfo.MajorVersion < 5);
    window.BitBtn4.SetEnabled(true);
}
