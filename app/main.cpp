#include "FrmManage/qt/QtEditProtectForm.h"
#include "app/StartUp.h"
#include "platform/qt/DeviceNoticeSource.h"
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
    platform::InstallQtMessageBoxes(&QtEditProtectForm::Current);
    platform::InstallQtLockWait();
    return StartUp([](TFrmEditProtect& window) {
        auto form = std::make_unique<QtEditProtectForm>(window);
        // The volumes present now are the starting point; every change after is a notice.
        new platform::DeviceNoticeSource(form.get()); // a child of the form
        return form;
    });
}
