#pragma once
// The setup window "Private folder setup Ver.1.01": its state, and the handlers of the drive
// selector, the folder list, the mark buttons, "Save", "Exit" and device changes, written
// over the controls a toolkit provides (Controls.h).

#include "FrmManage/Controls.h"
#include "Protectfileio/Protectfileio.h"
#include "app/DriveTable.h"
#include "platform/DeviceChange.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The operating system's version as far as the program uses it.
struct OsVersionRecord {
    int MajorVersion = 0;
};
extern OsVersionRecord OsVersionInfo;

// Queries the version into OsVersionInfo.
void RecordOsVersion();

// Which marking fits the selected row: private for a markable public row, public for a
// private one, neither without a selected row.
struct MarkChoice {
    bool markPrivate = false;
    bool markPublic = false;
};

// What "Save" hands the writer, as the window's controls hold it now.
struct SaveRequest {
    int entry = -1; // the chosen selector entry, which is its DriveTable index
    char letter = 0;
    std::uint16_t password = 0; // packed BCD
    std::vector<WriterNameSlot> names;
    std::uint8_t waitState = 0;
    std::string label; // the drive as the selector shows it
};

class TFrmEditProtect {
public:
    // Builds the window with every control in its initial state; it is not shown.
    explicit TFrmEditProtect(const TFormFactory& toolkit);
    TFrmEditProtect(const TFrmEditProtect&) = delete;
    TFrmEditProtect& operator=(const TFrmEditProtect&) = delete;
    ~TFrmEditProtect();

private:
    std::unique_ptr<TFormControls> controls_;

public:
    TBitBtn& BitBtn4; // "Save"
    TBitBtn& BitBtn3; // "Exit"
    TListView& ListView1;
    TBitBtn& BitBtn1; // "Mark as Private"
    TBitBtn& BitBtn2; // "Mark as Public"
    TMaskEdit& MaskEdit1;
    TComboBox& ComboBox1;
    TLabeledEdit& LabeledEdit1; // hidden, disabled: the chosen drive's wait state in decimal

    // The letter of the drive whose folders the list shows; 0 until a drive is listed.
    char16_t CurrentDriveLetter = 0;

    // What the device-change hook runs for an arrival or a completed removal; the start-up
    // installs the drive table's refresh.
    std::function<void()> DeviceChangeRefresh;

    TFormControls& Controls() { return *controls_; }
    std::string Caption() const { return controls_->Caption(); }
    // Shows the window and runs until it is closed; returns the modal result.
    int ShowModal() { return controls_->ShowModal(); }

    // Replaces the selector's entries with the labels of table's entries, from entry 0 up to
    // the first empty one or the first `count` (at most 7), and clears the selector's hint.
    void FillDriveSelector(const DriveTableArray& table, int count);

    // Shows entry's drive: clears the list, sets the wait-state box and CurrentDriveLetter,
    // then lists the drive's root folders (8-bit or wide enumeration) and the password text.
    void ShowDrive(const DriveProtection& entry, bool eightBitListing);

    // The marking that fits the selected row, as a click in the list enables the buttons.
    MarkChoice MarkChoiceForSelection() const;

    // The user chose an entry of the selector (by mouse or keyboard) or typed into it:
    // re-lists the current entry's drive. With no entry current it does nothing.
    void ComboBox1Change();
    // A click in the folder list: enables the mark button that fits the selected row.
    void ListView1Click();
    // "Exit": ends the modal run with the result "cancel".
    void BitBtn3Click();
    // "Mark as Private": marks the selected markable row private unless that would make more
    // than 16 private rows (then a message and nothing changes); clears the selection and
    // disables both mark buttons.
    void BitBtn1Click();
    // "Mark as Public": makes every selected row public, keeps the selection and disables
    // both mark buttons.
    void BitBtn2Click();
    // Save's checks of the chosen drive and the password, each failure with its message (and
    // the focus to the selector for the drive); then what Save would write: the private rows
    // in list order, the password and the wait state. Writes nothing.
    std::optional<SaveRequest> PrepareSave();
    // "Save": checks the chosen drive and the password, writes the private rows, the password
    // and the wait state to the drive's protection file, reloads the drive's DriveTable record
    // from the file and reports the outcome. Leaves the list, the marks, the password box and
    // the buttons as they are. Returns the writer's outcome, nullopt when a check refused.
    std::optional<WriteOutcome> BitBtn4Click();
    // The device-change message: answers TRUE to every event and runs DeviceChangeRefresh for
    // an arrival or a completed removal.
    void OnDeviceChange(platform::DeviceChangeMessage& message);
};

// The one setup window, created by the start-up.
extern TFrmEditProtect* FrmEditProtect;

// Fills FrmEditProtect from table (count entries at most), lists the first drive and runs
// the window modally; returns the modal result, or 0 without showing anything when the
// table's first entry is empty. An error escaping the modal run is shown in a box.
int RunSetupWindow(int count, const DriveTableArray& table);

// The no-drive state: no selector entries, the text " --- No avaliable drive ---", an empty
// list and "Save" disabled; the selector's hint says why the last discovery found no drive.
// Everything else stays as it was.
void SetNoDriveState(TFrmEditProtect& window);

// Runs handler; an exception it raises is shown in an error box with its text and the
// program's title, and the window goes on. Toolkits call every handler through it.
void ReportHandlerErrors(const std::function<void()>& handler);
