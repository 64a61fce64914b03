#include "platform/qt/QtLockWait.h"

#include "platform/Files.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace platform {

void InstallQtLockWait() {
    SetLockWaitHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

} // namespace platform
