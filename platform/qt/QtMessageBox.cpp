#include "platform/qt/QtMessageBox.h"

#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QString>

namespace platform {

void InstallQtMessageBoxes(QWidget* (*owner)()) {
    SetMessageBoxHandler([owner](const MessageBoxRequest& request) {
        QWidget* parent = request.owner == BoxOwner::Window ? owner() : nullptr;
        const QMessageBox::Icon icon =
            request.kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
        QMessageBox box(icon, QString::fromLocal8Bit(request.title),
                        QString::fromLocal8Bit(request.text), QMessageBox::Ok, parent);
        box.exec();
    });
}

} // namespace platform
