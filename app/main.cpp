#include "FrmManage/FrmEditProtect.h"
#include "app/DriveTable.h"
#include "platform/DeviceNotices.h"
#include "platform/qt/QtLockWait.h"
#include "platform/qt/QtMessageBox.h"

#include <QApplication>

// The program takes nothing from its command line, not even Qt's own options (-platform,
// -stylesheet, -reverse, ...): Qt is given the program's name alone.
int main(int, char*[]) {
    char name[] = "private-folder-setup";
    char* arguments[] = {name, nullptr};
    int count = 1;
    QApplication application(count, arguments);
    platform::InstallQtMessageBoxes([]() -> QWidget* { return FrmEditProtect; });
    platform::InstallQtLockWait();

    const int found = BuildDriveTable();
    TFrmEditProtect window;
    FrmEditProtect = &window;
    platform::DeviceNoticeSource notices(&window);
    if (found <= 0) {
        SetNoDriveState(window);
        window.exec();
    } else {
        RunSetupWindow(static_cast<int>(kDriveTableEntries), DriveTable);
    }
    FrmEditProtect = nullptr;
    return 0;
}
