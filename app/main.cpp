#include "FrmManage/FrmEditProtect.h"
#include "app/DriveTable.h"
#include "platform/DeviceNotices.h"
#include "platform/qt/QtMessageBox.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    platform::InstallQtMessageBoxes([]() -> QWidget* { return FrmEditProtect; });

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
