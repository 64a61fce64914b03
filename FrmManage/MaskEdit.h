#pragma once
// The four-digit password box: four required digit positions, only digits taken at each
// keystroke. Leaving the box after the user changed it to fewer than four digits is refused:
// a beep, an error box, and the focus stays; the click or key that tried to leave does
// nothing else. Escape then restores the text the box had when the user entered it.

#include "FrmManage/FolderListing.h"

#include <QLineEdit>
#include <string>

class TMaskEdit : public QLineEdit, public PasswordTextSink {
    Q_OBJECT

public:
    explicit TMaskEdit(QWidget* parent);

    // Always four characters, a blank position as a space ("12  ", "    ", "0417").
    std::string EditText() const;

    // Sets the text from code: digits fill the positions in order, the rest stay blank. Code
    // changes are never validated.
    void SetPasswordText(const std::string& text) override;

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
