#pragma once
// The window's controls held in memory, with no display and no toolkit. The tests drive the
// window's handlers through it as a user would, and the command-line companion runs the
// window's own handlers on it.

#include "FrmManage/Controls.h"
#include "FrmManage/FolderRows.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MemoryForm;

// Gives control the keyboard focus of form.
void FocusOn(MemoryForm& form, const TControl& control);

// What every in-memory control shares: enabled or not, and the form that tracks the focus.
template <typename Control> class MemoryControl : public Control {
public:
    MemoryControl(MemoryForm& form, bool enabled) : form_(form), enabled_(enabled) {}
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetFocus() override { FocusOn(form_, *this); }

private:
    MemoryForm& form_;
    bool enabled_;
};

class MemoryBitBtn final : public MemoryControl<TBitBtn> {
public:
    MemoryBitBtn(MemoryForm& form, bool enabled, std::function<void()> onClick)
        : MemoryControl(form, enabled), onClick_(std::move(onClick)) {}
    // The user presses the button: its handler runs when it is enabled.
    void Press();

private:
    std::function<void()> onClick_;
};

// A text box that holds its text as given, unmasked: a check of the text is the handlers'.
template <typename Edit> class MemoryText final : public MemoryControl<Edit> {
public:
    using MemoryControl<Edit>::MemoryControl;
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

private:
    std::string text_;
};
using MemoryEdit = MemoryText<TLabeledEdit>;
using MemoryMaskEdit = MemoryText<TMaskEdit>;

class MemoryComboBox final : public MemoryControl<TComboBox> {
public:
    explicit MemoryComboBox(MemoryForm& form) : MemoryControl(form, true) {}
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }
    void Clear() override;
    void Add(const std::string& entry) override { entries_.push_back(entry); }
    int Count() const override { return static_cast<int>(entries_.size()); }
    std::string Item(int index) const override;
    int ItemIndex() const override { return index_; }
    void SetItemIndex(int index) override;
    void SetHint(const std::string& hint) override { hint_ = hint; }
    const std::string& Hint() const { return hint_; }

private:
    std::vector<std::string> entries_;
    std::string text_;
    std::string hint_;
    int index_ = -1;
};

class MemoryListView final : public MemoryControl<TListView> {
public:
    explicit MemoryListView(MemoryForm& form) : MemoryControl(form, true) {}
    void AppendFolderRow(const FolderRow& row) override;
    void FinishAppending() override {}
    void Clear() override;
    std::size_t RowCount() const override { return rows_.Size(); }
    FolderRowView Row(std::size_t index) const override { return rows_.Row(index); }
    void SetStateIndex(std::size_t index, int stateIndex) override;
    bool Selected(std::size_t index) const override;
    void SetSelected(std::size_t index, bool selected) override;
    int SelectedRow() const override;

private:
    FolderRows rows_;
    std::vector<bool> selected_;
};

class MemoryForm final : public TFormControls {
public:
    // The controls in the window's initial state, wired to window's handlers.
    explicit MemoryForm(TFrmEditProtect& window);

    TBitBtn& BitBtn1() override { return bitBtn1_; }
    TBitBtn& BitBtn2() override { return bitBtn2_; }
    TBitBtn& BitBtn3() override { return bitBtn3_; }
    TBitBtn& BitBtn4() override { return bitBtn4_; }
    TListView& ListView1() override { return listView1_; }
    TMaskEdit& MaskEdit1() override { return maskEdit1_; }
    TComboBox& ComboBox1() override { return comboBox1_; }
    TLabeledEdit& LabeledEdit1() override { return labeledEdit1_; }
    std::string Caption() const override;
    // Runs modalRun, when set, as the window's event loop; returns the result EndModal gave,
    // "cancel" when nothing ended the run.
    int ShowModal() override;
    void EndModal(int result) override;

    // What the user does.
    // Picks selector entry index (or, with -1, none) and so runs the selector's handler.
    void ChooseEntry(int index);
    // Types text into the selector: no entry is current, and the selector's handler runs.
    void TypeIntoSelector(const std::string& text);
    // Clicks row (-1: the empty space below the rows): it alone is selected, or none is, and
    // the list's click handler runs.
    void ClickRow(int row);
    // Presses button: its handler runs when it is enabled.
    void Press(TBitBtn& button);
    // Types text into the password box.
    void TypePassword(const std::string& text) { maskEdit1_.SetText(text); }

    std::function<void()> modalRun;
    bool shown = false;
    // The modal run's result once EndModal was called.
    std::optional<int> modalResult;
    // The control that has the keyboard focus; null before any control was given it.
    const TControl* focused = nullptr;
    const MemoryComboBox& Selector() const { return comboBox1_; }

private:
    TFrmEditProtect& window_;
    MemoryBitBtn bitBtn1_;
    MemoryBitBtn bitBtn2_;
    MemoryBitBtn bitBtn3_;
    MemoryBitBtn bitBtn4_;
    MemoryListView listView1_;
    MemoryMaskEdit maskEdit1_;
    MemoryComboBox comboBox1_;
    MemoryEdit labeledEdit1_;
};

// Builds the window on in-memory controls.
std::unique_ptr<TFormControls> CreateMemoryForm(TFrmEditProtect& window);

// The in-memory controls of a window built by CreateMemoryForm.
MemoryForm& MemoryFormOf(TFrmEditProtect& window);
