#include "FrmManage/win32/Control.h"

namespace win32 {

std::string Window::Text() const {
    const int length = ::GetWindowTextLengthA(handle_);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int copied = ::GetWindowTextA(handle_, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::string ComboBox::LBText(int index) const {
    const auto length = ::SendMessageA(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto copied = ::SendMessageA(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR || copied < 0 ? 0 : static_cast<std::size_t>(copied));
    return text;
}

HWND ComboBox::EditHandle() const {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    return ::GetComboBoxInfo(Handle(), &info) ? info.hwndItem : nullptr;
}

void ListView::InsertColumn(int index, const wchar_t* title, int width, int format) const {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    Send(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void ListView::SetItemState(std::size_t index, UINT state, UINT mask) const {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    Send(LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

bool ListView::ItemRect(int index, RECT& rect) const {
    rect = {};
    rect.left = LVIR_BOUNDS;
    return Send(LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) != 0;
}

} // namespace win32
