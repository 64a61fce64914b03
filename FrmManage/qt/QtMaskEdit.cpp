#include "FrmManage/qt/QtMaskEdit.h"

#include "app/Texts.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <algorithm>

namespace {

constexpr int kPositions = 4;

// The focus moved because the window gained or lost the activation (to the error box, a
// menu, another program), not from one control of the window to another.
bool ByActivation(const QFocusEvent& event) {
    return event.reason() == Qt::ActiveWindowFocusReason || event.reason() == Qt::PopupFocusReason;
}

} // namespace

QtMaskEdit::QtMaskEdit(QWidget* parent) : QLineEdit(parent) {
    // Qt's '9' is a required digit; the blank shown in an empty position is a space. The mask
    // also caps the text at its four positions.
    setInputMask(QStringLiteral("9999; "));
}

std::string QtMaskEdit::Text() const {
    return displayText().toStdString();
}

void QtMaskEdit::SetText(const std::string& text) {
    setText(QString::fromLocal8Bit(text)); // clears isModified()
    textBeforeChange_ = displayText();
}

bool QtMaskEdit::IsComplete() const {
    const QString shown = displayText();
    return shown.size() == kPositions &&
           std::all_of(shown.begin(), shown.end(), [](QChar c) { return c.isDigit(); });
}

void QtMaskEdit::focusInEvent(QFocusEvent* event) {
    // The window coming back (after the error box, or from another program) is no new entry:
    // what Escape restores stays what the box held when the user entered it.
    if (!reentering_ && !ByActivation(*event)) {
        textBeforeChange_ = displayText();
    }
    reentering_ = false;
    QLineEdit::focusInEvent(event);
}

void QtMaskEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Only a move to another control of the window counts as leaving, not the window losing
    // activation (for instance to the error box itself).
    if (!ByActivation(*event) && isModified() && !IsComplete() && !refusing_) {
        // The press that moved the focus is delivered right after this, and its release may
        // already be queued: both are swallowed until the error box has been answered, so
        // the button that took the focus never sees a click.
        refusing_ = true;
        qApp->installEventFilter(this);
        // Queued: the focus change in progress must finish before the focus is taken back.
        QMetaObject::invokeMethod(this, &QtMaskEdit::RefuseLeaving, Qt::QueuedConnection);
    }
}

bool QtMaskEdit::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        const auto* target = qobject_cast<const QWidget*>(watched);
        return refusing_ && target && target->window() == window();
    }
    default:
        return false;
    }
}

void QtMaskEdit::RefuseLeaving() {
    if (isVisible()) { // else the window was closed meanwhile
        QApplication::beep();
        reentering_ = true;
        setFocus(Qt::OtherFocusReason);
        platform::ShowMessageBox({kInvalidInputText, kProgramTitle, platform::BoxOwner::Window,
                                  platform::BoxKind::Error});
    }
    refusing_ = false;
    qApp->removeEventFilter(this);
}

void QtMaskEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isModified()) {
        setText(textBeforeChange_);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
