#pragma once
// Thin wrappers over the Win32 controls of the setup window, one class per kind of control:
// each method is one message or one call and keeps no state, so what a control does stays
// the system's own. The window's behaviour lives in Win32Form.cpp.

#include "platform/windows/Win32.h"

#include <commctrl.h>
#include <string>

namespace win32 {

class Window {
public:
    Window() = default;
    explicit Window(HWND handle) : handle_(handle) {}

    HWND Handle() const { return handle_; }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(handle_, message, wParam, lParam);
    }
    void Enable(bool enable) const { ::EnableWindow(handle_, enable ? TRUE : FALSE); }
    bool IsEnabled() const { return ::IsWindowEnabled(handle_) != FALSE; }
    void Focus() const { ::SetFocus(handle_); }
    bool HasFocus() const { return ::GetFocus() == handle_; }
    void SetFont(HFONT font) const { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
    // 8-bit text in the system's code page; the window keeps it in UTF-16.
    void SetText(const std::string& text) const { ::SetWindowTextA(handle_, text.c_str()); }
    std::string Text() const;

private:
    HWND handle_ = nullptr;
};

class Edit : public Window {
public:
    using Window::Window;
    void SetSelection(int start, int end) const { Send(EM_SETSEL, start, end); }
    // The selection as [start, end).
    void Selection(DWORD& start, DWORD& end) const {
        Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    }
};

class ComboBox : public Window {
public:
    using Window::Window;
    void ResetContent() const { Send(CB_RESETCONTENT); }
    void AddString(const std::string& text) const {
        ::SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    int Count() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    // Empty for an index out of range.
    std::string LBText(int index) const;
    int CurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    void SetCurSel(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
    // The edit box inside the drop-down list.
    HWND EditHandle() const;
};

class ListView : public Window {
public:
    using Window::Window;
    void SetExtendedStyle(DWORD style) const { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, style, style); }
    void SetImageList(HIMAGELIST list, int kind) const {
        Send(LVM_SETIMAGELIST, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(list));
    }
    void SetCallbackMask(UINT mask) const { Send(LVM_SETCALLBACKMASK, mask); }
    void InsertColumn(int index, const wchar_t* title, int width, int format) const;
    // Owner-data: how many rows the list shows; it asks for their contents as it draws them.
    void SetItemCount(std::size_t count) const { Send(LVM_SETITEMCOUNT, count); }
    UINT ItemState(std::size_t index, UINT mask) const {
        return static_cast<UINT>(Send(LVM_GETITEMSTATE, index, mask));
    }
    void SetItemState(std::size_t index, UINT state, UINT mask) const;
    int NextItem(int start, UINT flags) const {
        return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
    }
    void RedrawItems(std::size_t first, std::size_t last) const {
        Send(LVM_REDRAWITEMS, first, static_cast<LPARAM>(last));
    }
    // The row's bounds in the list's client coordinates; false for a row that is not there.
    bool ItemRect(int index, RECT& rect) const;
};

} // namespace win32
