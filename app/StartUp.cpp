#include "app/StartUp.h"

#include "FrmManage/FrmEditProtect.h"
#include "app/DriveTable.h"
#include "app/RefreshDriveTable.h"

int StartUp(const TFormFactory& toolkit) {
    // Discovery runs before the window exists: its messages have no owner.
    const int found = BuildDriveTable();
    TFrmEditProtect window(toolkit);
    window.DeviceChangeRefresh = RefreshDriveTable;
    FrmEditProtect = &window;
    if (found <= 0) {
        SetNoDriveState(window);
        window.ShowModal();
    } else {
        RunSetupWindow(static_cast<int>(kDriveTableEntries), DriveTable);
    }
    FrmEditProtect = nullptr;
    return 0;
}
