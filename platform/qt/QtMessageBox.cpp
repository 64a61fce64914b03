#include "platform/qt/QtMessageBox.h"

#include "platform/MessageBox.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace platform {

void InstallQtMessageBoxes(QWidget* (*owner)()) {
    SetMessageBoxHandler([owner](const MessageBoxRequest& request) {
        QWidget* parent = request.owner == BoxOwner::Window ? owner() : nullptr;
        const QMessageBox::Icon icon =
            request.kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
        QMessageBox box(icon, QString::fromLocal8Bit(request.title),
                        QString::fromLocal8Bit(request.text), QMessageBox::Ok, parent);
        // Some styles put a picture on the OK button; the boxes carry none.
        box.button(QMessageBox::Ok)->setIcon(QIcon());
        box.exec();
    });
}

} // namespace platform
