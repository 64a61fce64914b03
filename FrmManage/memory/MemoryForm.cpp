#include "FrmManage/memory/MemoryForm.h"

#include "FrmManage/FrmEditProtect.h"
#include "app/Texts.h"

#include <algorithm>

void FocusOn(MemoryForm& form, const TControl& control) {
    form.focused = &control;
}

void MemoryBitBtn::Press() {
    if (Enabled()) {
        ReportHandlerErrors(onClick_);
    }
}

void MemoryComboBox::Clear() {
    entries_.clear();
    index_ = -1;
}

std::string MemoryComboBox::Item(int index) const {
    return index >= 0 && index < Count() ? entries_[static_cast<std::size_t>(index)]
                                         : std::string();
}

void MemoryComboBox::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        index_ = -1;
        return;
    }
    index_ = index;
    text_ = entries_[static_cast<std::size_t>(index)];
}

void MemoryListView::AppendFolderRow(const FolderRow& row) {
    rows_.Append(row);
    selected_.push_back(false);
}

void MemoryListView::Clear() {
    rows_.Clear();
    selected_.clear();
}

void MemoryListView::SetStateIndex(std::size_t index, int stateIndex) {
    rows_.SetStateIndex(index, stateIndex);
}

bool MemoryListView::Selected(std::size_t index) const {
    return selected_.at(index);
}

void MemoryListView::SetSelected(std::size_t index, bool selected) {
    selected_.at(index) = selected;
}

int MemoryListView::SelectedRow() const {
    const auto it = std::find(selected_.begin(), selected_.end(), true);
    return it == selected_.end() ? -1 : static_cast<int>(it - selected_.begin());
}

MemoryForm::MemoryForm(TFrmEditProtect& window)
    : window_(window), bitBtn1_(*this, false, [&window] { window.BitBtn1Click(); }),
      bitBtn2_(*this, false, [&window] { window.BitBtn2Click(); }),
      bitBtn3_(*this, true, [&window] { window.BitBtn3Click(); }),
      bitBtn4_(*this, true, [&window] { window.BitBtn4Click(); }), listView1_(*this),
      maskEdit1_(*this, true), comboBox1_(*this), labeledEdit1_(*this, false) {}

std::string MemoryForm::Caption() const {
    return kWindowCaption;
}

int MemoryForm::ShowModal() {
    shown = true;
    modalResult.reset();
    if (modalRun) {
        ReportHandlerErrors(modalRun);
    }
    shown = false;
    return modalResult.value_or(kModalResultCancel);
}

void MemoryForm::EndModal(int result) {
    modalResult = result;
}

void MemoryForm::ChooseEntry(int index) {
    comboBox1_.SetItemIndex(index);
    ReportHandlerErrors([this] { window_.ComboBox1Change(); });
}

void MemoryForm::TypeIntoSelector(const std::string& text) {
    comboBox1_.SetItemIndex(-1);
    comboBox1_.SetText(text);
    ReportHandlerErrors([this] { window_.ComboBox1Change(); });
}

void MemoryForm::ClickRow(int row) {
    for (std::size_t i = 0; i < listView1_.RowCount(); ++i) {
        listView1_.SetSelected(i, static_cast<int>(i) == row);
    }
    ReportHandlerErrors([this] { window_.ListView1Click(); });
}

void MemoryForm::Press(TBitBtn& button) {
    static_cast<MemoryBitBtn&>(button).Press();
}

std::unique_ptr<TFormControls> CreateMemoryForm(TFrmEditProtect& window) {
    return std::make_unique<MemoryForm>(window);
}

MemoryForm& MemoryFormOf(TFrmEditProtect& window) {
    return dynamic_cast<MemoryForm&>(window.Controls());
}
