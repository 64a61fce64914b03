#pragma once
// The setup window "Private folder setup Ver.1.01": its controls, its states and the handlers
// of the drive selector, the folder list, the mark buttons, "Save", "Exit" and device changes.

#include "FrmManage/FolderListView.h"
#include "FrmManage/MaskEdit.h"
#include "app/DriveTable.h"

#include <QDialog>
#include <array>
#include <functional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
namespace platform {
class DeviceChangeEvent;
}

// The title of the error boxes the window shows by itself (input check, handler errors).
inline constexpr const char* kProgramTitle = "Private folder setup";

// The operating system's version as far as the program uses it.
struct OsVersionRecord {
    int MajorVersion = 0;
};
extern OsVersionRecord OsVersionInfo;

// Queries the version into OsVersionInfo.
void RecordOsVersion();

// Runs handler; an exception it raises is shown in an error box with its text and the
// program's title, and the window goes on.
void ReportHandlerErrors(const std::function<void()>& handler);

class TFrmEditProtect : public QDialog {
    Q_OBJECT

public:
    // Builds the layout with every control in its initial state; the window is not shown.
    TFrmEditProtect();

    // Shows the window and runs until it is closed; returns the result, "cancel" for "Exit"
    // and the close box. The program's only window is not flagged modal to the window
    // manager, which would keep it out of some taskbars.
    int exec() override;

    // Index 0: hard disk (unused), 1: folder, 2: padlock (the private mark).
    std::array<QPixmap, 3> ImageList1;
    QFrame* Panel1;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QPushButton* BitBtn4; // "Save"
    QPushButton* BitBtn3; // "Exit"
    QLabel* Label2;
    TListView* ListView1;
    QPushButton* BitBtn1; // "Mark as Private"
    QPushButton* BitBtn2; // "Mark as Public"
    QLabel* Image1;
    TMaskEdit* MaskEdit1;
    QLabel* Label3;
    QComboBox* ComboBox1;
    QLineEdit* LabeledEdit1; // hidden, disabled: the chosen drive's wait state in decimal
    QLabel* LabeledEdit1Label;
    // The folder list's menu: "Mark as Private" and "Mark as Public" from the keyboard.
    QMenu* PopupMenu1;
    QAction* MarkAsPrivate1;
    QAction* MarkAsPublic1;

    // The letter of the drive whose folders the list shows; 0 until a drive is listed.
    char16_t CurrentDriveLetter = 0;

    // Replaces the selector's entries with the labels of table's entries, from entry 0 up to
    // the first empty one or the first `count` (at most 7). Runs no handler.
    void FillDriveSelector(const DriveTableArray& table, int count);

    // Shows entry's drive: clears the list, sets the wait-state box and CurrentDriveLetter,
    // then lists the drive's root folders (8-bit or wide enumeration) and the password text.
    void ShowDrive(const DriveProtection& entry, bool eightBitListing);

    // The user chose an entry of the selector (by mouse or keyboard): re-lists that drive.
    // With no entry selected it does nothing.
    void ComboBox1Change();
    // A click in the folder list: enables the mark button that fits the selected row.
    void ListView1Click();
    // The folder list's menu was asked for: opens PopupMenu1 at globalPos with the items
    // enabled as a click would enable the buttons; the buttons stay as they are.
    void ListView1ContextPopup(QPoint globalPos);
    // "Exit": ends the modal run with the result "cancel".
    void BitBtn3Click();
    // "Mark as Private": marks the selected markable row private unless that would make more
    // than 16 private rows (then a message and nothing changes); clears the selection and
    // disables both mark buttons.
    void BitBtn1Click();
    // "Mark as Public": makes every selected row public, keeps the selection and disables
    // both mark buttons.
    void BitBtn2Click();
    // "Save": checks the chosen drive and the password, writes the private rows, the password
    // and the wait state to the drive's protection file, reloads the drive's DriveTable record
    // from the file and reports the outcome. Leaves the list, the marks, the password box and
    // the buttons as they are.
    void BitBtn4Click();
    // The device-change message: answers TRUE to every event and refreshes the drive table
    // and the window for an arrival or a completed removal.
    void OnDeviceChange(platform::DeviceChangeEvent& message);

protected:
    // Hands the device-change message to OnDeviceChange and every other event to the dialog.
    bool event(QEvent* event) override;
    // The drive selector shows a label it cuts in full as its tooltip.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct MarkChoice {
        bool markPrivate = false;
        bool markPublic = false;
    };
    // Which marking fits the selected row: private for a markable public row, public for a
    // private one, neither without a selected row.
    MarkChoice MarkChoiceForSelection() const;
    void SelectorTextEdited();
};

// The one setup window, created by the start-up.
extern TFrmEditProtect* FrmEditProtect;

// Fills FrmEditProtect from table (count entries at most), lists the first drive and runs
// the window modally; returns the modal result, or 0 without showing anything when the
// table's first entry is empty.
int RunSetupWindow(int count, const DriveTableArray& table);

// The no-drive state: no selector entries, the text " --- No avaliable drive ---", an empty
// list and "Save" disabled; the selector's tooltip and accessible description say why the
// last discovery found no drive. Everything else stays as it was.
void SetNoDriveState(TFrmEditProtect& window);
