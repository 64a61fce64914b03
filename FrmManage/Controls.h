#pragma once
// The window system operations the setup window needs, one small interface per kind of
// control. The window's handlers are written against these alone; each toolkit answers them
// (Qt Widgets on Linux, the Win32 common controls on Windows, and an in-memory one for the
// tests and the command-line companion). None of these runs a handler: a toolkit calls the
// window's handlers only for what the user did.

#include "FrmManage/FolderListing.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class TFrmEditProtect;

// The modal results the window ends with.
inline constexpr int kModalResultCancel = 2;

class TControl {
public:
    virtual ~TControl() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    // Moves the keyboard focus to the control.
    virtual void SetFocus() = 0;
};

// A push button with text only.
class TBitBtn : public TControl {};

// A one-line text box. Texts are 8-bit, in the locale's encoding.
class TEdit : public TControl {
public:
    virtual std::string Text() const = 0;
    // From code: never validated, runs no handler.
    virtual void SetText(const std::string& text) = 0;
};

// The hidden wait-state carrier.
class TLabeledEdit : public TEdit {};

// The four-digit password box. Text() gives the positions as shown, a blank as a space.
class TMaskEdit : public TEdit, public PasswordTextSink {
public:
    void SetPasswordText(const std::string& text) final { SetText(text); }
};

// The editable drop-down list of drives: entries, a current entry, and a text that the user
// may also type into.
class TComboBox : public TControl {
public:
    virtual std::string Text() const = 0;
    // Sets the shown text; the current entry stays as it is.
    virtual void SetText(const std::string& text) = 0;
    // Removes every entry; no entry is current afterwards.
    virtual void Clear() = 0;
    virtual void Add(const std::string& entry) = 0;
    virtual int Count() const = 0;
    // Entry index's text; empty for an index out of range.
    virtual std::string Item(int index) const = 0;
    // The current entry's index, -1 when none is.
    virtual int ItemIndex() const = 0;
    // Makes entry index current and shows its text; -1, or an index out of range, makes no
    // entry current and leaves the text as it is.
    virtual void SetItemIndex(int index) = 0;
    // A sentence for the user about the selector, as its tooltip and its accessible
    // description; empty for none.
    virtual void SetHint(const std::string& hint) = 0;

    // The first entry whose text is exactly text, with case; -1 when there is none.
    int IndexOf(const std::string& text) const;
};

// The folder list in report view: one row per root folder, one selected row at most.
class TListView : public TControl, public FolderRowSink {
public:
    // Removes every row.
    virtual void Clear() = 0;
    // The listing has appended its rows (AppendFolderRow); a toolkit may show them only now.
    virtual void FinishAppending() = 0;
    virtual std::size_t RowCount() const = 0;
    // Row index (below RowCount()): its texts, sub-items, stored name and state index; valid
    // until the rows change.
    virtual FolderRowView Row(std::size_t index) const = 0;
    virtual void SetStateIndex(std::size_t index, int stateIndex) = 0;
    virtual bool Selected(std::size_t index) const = 0;
    virtual void SetSelected(std::size_t index, bool selected) = 0;
    // The selected row's index, -1 when no row is selected.
    virtual int SelectedRow() const = 0;

    // The rows as the shared marking and saving rules take them.
    FolderRowAt RowAt() const;
};

// The window itself and the controls on it, as one toolkit built them.
class TFormControls {
public:
    virtual ~TFormControls() = default;

    virtual TBitBtn& BitBtn1() = 0; // "Mark as Private"
    virtual TBitBtn& BitBtn2() = 0; // "Mark as Public"
    virtual TBitBtn& BitBtn3() = 0; // "Exit"
    virtual TBitBtn& BitBtn4() = 0; // "Save"
    virtual TListView& ListView1() = 0;
    virtual TMaskEdit& MaskEdit1() = 0;
    virtual TComboBox& ComboBox1() = 0;
    virtual TLabeledEdit& LabeledEdit1() = 0;

    // The caption, "Private folder setup Ver.1.01".
    virtual std::string Caption() const = 0;
    // Shows the window and runs its event loop until EndModal; returns the modal result.
    virtual int ShowModal() = 0;
    // Ends the modal run with result.
    virtual void EndModal(int result) = 0;
};

// Creates the window with its controls in their initial state, wired to window's handlers;
// the window is not shown.
using TFormFactory = std::function<std::unique_ptr<TFormControls>(TFrmEditProtect& window)>;
