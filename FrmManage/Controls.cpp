#include "FrmManage/Controls.h"

int TComboBox::IndexOf(const std::string& text) const {
    for (int i = 0; i < Count(); ++i) {
        if (Item(i) == text) {
            return i;
        }
    }
    return -1;
}

FolderRowAt TListView::RowAt() const {
    return [this](std::size_t i) { return Row(i); };
}
