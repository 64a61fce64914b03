#pragma once
// The setup window on Qt Widgets: the layout, pictures, fonts, tab order and focus of the
// window, its controls answering the window's operations, and the user's actions and device
// notices handed to the window's handlers.

#include "FrmManage/Controls.h"
#include "FrmManage/qt/QtListView.h"
#include "FrmManage/qt/QtMaskEdit.h"

#include <QDialog>
#include <array>
#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The window's widgets, by the names of the window's controls.
struct QtFormWidgets {
    // Index 0: hard disk (unused), 1: folder, 2: padlock (the private mark).
    std::array<QPixmap, 3> ImageList1;
    QFrame* Panel1;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QPushButton* BitBtn4; // "Save"
    QPushButton* BitBtn3; // "Exit"
    QLabel* Label2;
    QtListView* ListView1;
    QPushButton* BitBtn1; // "Mark as Private"
    QPushButton* BitBtn2; // "Mark as Public"
    QLabel* Image1;
    QtMaskEdit* MaskEdit1;
    QLabel* Label3;
    QComboBox* ComboBox1;
    QLineEdit* LabeledEdit1; // hidden, disabled: the chosen drive's wait state in decimal
    QLabel* LabeledEdit1Label;
    // The folder list's menu: "Mark as Private" and "Mark as Public" from the keyboard.
    QMenu* PopupMenu1;
    QAction* MarkAsPrivate1;
    QAction* MarkAsPublic1;
};

class QtEditProtectForm : public QDialog, public TFormControls {
    Q_OBJECT

public:
    // Builds the layout with every control in its initial state and wires the controls to
    // window's handlers; the window is not shown.
    explicit QtEditProtectForm(TFrmEditProtect& window);
    ~QtEditProtectForm() override;

    // The window that owns message boxes: the last one built and not yet destroyed.
    static QWidget* Current();

    TBitBtn& BitBtn1() override;
    TBitBtn& BitBtn2() override;
    TBitBtn& BitBtn3() override;
    TBitBtn& BitBtn4() override;
    TListView& ListView1() override { return *ui.ListView1; }
    TMaskEdit& MaskEdit1() override { return *ui.MaskEdit1; }
    TComboBox& ComboBox1() override;
    TLabeledEdit& LabeledEdit1() override;
    std::string Caption() const override;
    // The program's only window is not flagged modal to the window manager, which would keep
    // it out of some taskbars: it runs an event loop of its own.
    int ShowModal() override;
    void EndModal(int result) override;

    QtFormWidgets ui;

protected:
    // Hands the device-change message to the window's hook and every other event on.
    bool event(QEvent* event) override;
    // The drive selector shows a label it cuts in full as its tooltip.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class Controls;

    // The folder list's menu was asked for: opens it at globalPos with the items enabled as a
    // click would enable the buttons; the buttons stay as they are.
    void ListView1ContextPopup(QPoint globalPos);
    // Typed text stands for no entry: the selector keeps the text but no entry is current.
    void SelectorTextEdited();

    TFrmEditProtect& window_;
    std::unique_ptr<Controls> controls_;
};
