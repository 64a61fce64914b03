#include "platform/qt/QtMessageBox.h"

#include "platform/MessageBox.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QWindow>

namespace platform {

void InstallQtMessageBoxes(QWidget* (*owner)()) {
    SetMessageBoxHandler([owner](const MessageBoxRequest& request) {
        QWidget* window = owner();
        QWidget* parent = request.owner == BoxOwner::Window ? window : nullptr;
        const QMessageBox::Icon icon =
            request.kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
        QMessageBox box(icon, QString::fromLocal8Bit(request.title),
                        QString::fromLocal8Bit(request.text), QMessageBox::Ok, parent);
        // A box without an owner still stands over the window: on Wayland a window without
        // a transient parent goes wherever the compositor likes, behind the window too.
        if (parent == nullptr && window != nullptr && window->isVisible()) {
            box.winId();
            box.windowHandle()->setTransientParent(window->windowHandle());
        }
        // Some styles put a picture on the OK button; the boxes carry none.
        box.button(QMessageBox::Ok)->setIcon(QIcon());
        box.exec();
    });
}

} // namespace platform
