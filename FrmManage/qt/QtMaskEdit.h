#pragma once
// The four-digit password box: four required digit positions, only digits taken at each
// keystroke. Leaving the box after the user changed it to fewer than four digits is refused:
// a beep, an error box, and the focus stays; the click or key that tried to leave does
// nothing else. Escape then restores the text the box had when the user entered it.

#include "FrmManage/Controls.h"

#include <QLineEdit>
#include <string>

class QtMaskEdit : public QLineEdit, public TMaskEdit {
    Q_OBJECT

public:
    explicit QtMaskEdit(QWidget* parent);

    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetFocus() override { setFocus(Qt::OtherFocusReason); }

    // Always four characters, a blank position as a space ("12  ", "    ", "0417").
    std::string Text() const override;

    // Sets the text from code: digits fill the positions in order, the rest stay blank. Code
    // changes are never validated.
    void SetText(const std::string& text) override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsComplete() const;
    void RefuseLeaving();

    QString textBeforeChange_;
    bool reentering_ = false; // the focus comes back after a refused leave
    bool refusing_ = false;   // from the refused leave until its error box is closed
};
