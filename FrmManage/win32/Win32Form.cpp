#include "FrmManage/win32/Win32Form.h"

#include "FrmManage/FolderRows.h"
#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/win32/Control.h"
#include "FrmManage/win32/ControlIds.h"
#include "FrmManage/win32/PasswordMask.h"
#include "FrmManage/win32/ResourceIds.h"
#include "app/Texts.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace {

constexpr int kClientWidth = 565;
constexpr int kClientHeight = 404;
constexpr int kFolderPicture = 1;
// The window's caption carries the close box alone; the frame cannot be resized.
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
// The list's menu: "Mark as Private", "Mark as Public".
constexpr UINT kMenuMarkPrivate = 1;
constexpr UINT kMenuMarkPublic = 2;

HWND setupWindow = nullptr;

struct FontDeleter {
    void operator()(HFONT font) const { ::DeleteObject(font); }
};
struct ImageListDeleter {
    void operator()(HIMAGELIST list) const { ::ImageList_Destroy(list); }
};
struct WindowDeleter {
    void operator()(HWND window) const { ::DestroyWindow(window); }
};
struct MenuDeleter {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;
using UniqueImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

// One of the system's texts (plain ASCII) for the wide calls.
std::wstring Wide(const char* text) {
    return {text, text + std::strlen(text)};
}

HINSTANCE Instance() {
    return ::GetModuleHandleW(nullptr);
}

// An icon of the program's resources at size pixels; shared, so the system frees it.
HICON Picture(int id, int size) {
    return static_cast<HICON>(
        ::LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_SHARED));
}

// "MS Shell Dlg 2" at 8 points (11 pixels high at 96 dots per inch).
UniqueFont WindowFont() {
    return UniqueFont(::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg 2"));
}

// ImageList1: the hard disk, the folder (every row's picture) and the padlock (the state
// picture of a private row).
UniqueImageList Pictures() {
    UniqueImageList list(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0));
    for (const int id : {IDI_DRIVE, IDI_FOLDER, IDI_PADLOCK}) {
        ::ImageList_AddIcon(list.get(), Picture(id, 16));
    }
    return list;
}

// The control of the window that holds child (the combo box for its edit box), or null.
HWND ControlOf(HWND window, HWND child) {
    while (child && ::GetParent(child) != window) {
        child = ::GetParent(child);
    }
    return child;
}

bool HoldsFocus(HWND control) {
    const HWND focus = ::GetFocus();
    return focus && (focus == control || ::IsChild(control, focus));
}

struct Placement {
    int left, top, width, height;
};

HWND Place(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, Placement at,
           int id, HFONT font, DWORD exStyle = 0) {
    const HWND control = ::CreateWindowExW(
        exStyle, windowClass, text, WS_CHILD | WS_CLIPSIBLINGS | style, at.left, at.top, at.width,
        at.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    win32::Window(control).SetFont(font);
    return control;
}

// Labels grow to their text, so a wider stand-in font never cuts a caption.
HWND PlaceLabel(HWND parent, const char* ascii, Placement at, HFONT font, DWORD style = 0) {
    const std::wstring wide = Wide(ascii);
    const wchar_t* const text = wide.c_str();
    if (const HDC dc = ::GetDC(parent)) {
        const HGDIOBJ before = ::SelectObject(dc, font);
        SIZE extent{};
        if (::GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &extent)) {
            at.width = std::max<int>(at.width, extent.cx);
        }
        ::SelectObject(dc, before);
        ::ReleaseDC(parent, dc);
    }
    return Place(parent, WC_STATICW, text, style | SS_LEFT | SS_NOPREFIX, at, -1, font);
}

HWND PlaceButton(HWND parent, const char* text, Placement at, int id, HFONT font, bool enabled) {
    return Place(parent, WC_BUTTONW, Wide(text).c_str(),
                 WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | (enabled ? 0 : WS_DISABLED), at, id,
                 font);
}

// Moves the focus on from a control about to be disabled, as the tab key would.
void FocusPast(HWND control) {
    const HWND window = ::GetParent(control);
    const HWND next = ::GetNextDlgTabItem(window, control, FALSE);
    if (next && next != control) {
        ::SetFocus(next);
    }
}

// One interface of Controls.h over one control.
template <typename Interface, typename Control = win32::Window> class Adapter : public Interface {
public:
    explicit Adapter(HWND control) : control_(control) {}

    void SetEnabled(bool enabled) override {
        if (!enabled && HoldsFocus(control_.Handle())) {
            FocusPast(control_.Handle());
        }
        control_.Enable(enabled);
    }
    bool Enabled() const override { return control_.IsEnabled(); }
    void SetFocus() override { control_.Focus(); }

    HWND Handle() const { return control_.Handle(); }

protected:
    Control control_;
};

class Button final : public Adapter<TBitBtn> {
public:
    using Adapter::Adapter;
};

class WaitStateBox final : public Adapter<TLabeledEdit> {
public:
    using Adapter::Adapter;
    std::string Text() const override { return control_.Text(); }
    void SetText(const std::string& text) override { control_.SetText(text); }
};

// The drive selector. Which entry is current is kept here: the control's own list selection
// follows typed text by prefix, while typed text stands for no entry at all.
class DriveSelector final : public Adapter<TComboBox, win32::ComboBox> {
public:
    DriveSelector(HWND control, HWND tooltip) : Adapter(control), tooltip_(tooltip) {}

    std::string Text() const override { return control_.Text(); }
    void SetText(const std::string& text) override {
        const Quiet quiet(*this);
        control_.SetText(text);
    }
    void Clear() override {
        const Quiet quiet(*this);
        control_.ResetContent();
        current_ = -1;
    }
    void Add(const std::string& entry) override {
        const Quiet quiet(*this);
        control_.AddString(entry);
    }
    int Count() const override { return control_.Count(); }
    std::string Item(int index) const override {
        return index >= 0 && index < Count() ? control_.LBText(index) : std::string();
    }
    int ItemIndex() const override { return current_; }
    void SetItemIndex(int index) override {
        const Quiet quiet(*this);
        if (index < 0 || index >= Count()) {
            const std::string shown = control_.Text();
            control_.SetCurSel(-1);
            control_.SetText(shown);
            current_ = -1;
            return;
        }
        control_.SetCurSel(index);
        current_ = index;
    }
    void SetHint(const std::string& hint) override;

    // The user chose an entry (CBN_SELCHANGE, CBN_SELENDOK): whether the change handler runs.
    bool UserChose() {
        const int chosen = control_.CurSel();
        if (quiet_ || chosen < 0 || chosen == current_) {
            return false;
        }
        current_ = chosen;
        return true;
    }
    // The user typed into the text (CBN_EDITCHANGE): no entry is current any more.
    bool UserTyped() {
        if (quiet_) {
            return false;
        }
        current_ = -1;
        return true;
    }

private:
    // Changes from code are no user's: the notifications they cause run no handler.
    class Quiet {
    public:
        explicit Quiet(DriveSelector& selector) : selector_(selector), was_(selector.quiet_) {
            selector_.quiet_ = true;
        }
        ~Quiet() { selector_.quiet_ = was_; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        DriveSelector& selector_;
        bool was_;
    };

    HWND tooltip_;
    std::string hint_;
    int current_ = -1;
    bool quiet_ = false;
};

void DriveSelector::SetHint(const std::string& hint) {
    hint_ = hint;
    // The hint shows over the drop-down button and over the text alike.
    for (const HWND tool : {control_.Handle(), control_.EditHandle()}) {
        TTTOOLINFOA info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = ::GetParent(control_.Handle());
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.lpszText = hint_.data();
        ::SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        if (!hint_.empty() && tool) {
            ::SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
}

// The password box: an edit box that shows four digit positions and takes digits only.
// Leaving it after a change to fewer than four digits is refused by the window's message
// loop (RefusesLeaving), before the click or key that would leave reaches anything.
class PasswordBox final : public Adapter<TMaskEdit, win32::Edit> {
public:
    PasswordBox(HWND control, HWND window) : Adapter(control), window_(window) {
        ::SetWindowSubclass(control, &PasswordBox::Procedure, 0, reinterpret_cast<DWORD_PTR>(this));
        Show();
    }
    ~PasswordBox() override { ::RemoveWindowSubclass(Handle(), &PasswordBox::Procedure, 0); }
    PasswordBox(const PasswordBox&) = delete;
    PasswordBox& operator=(const PasswordBox&) = delete;

    std::string Text() const override { return mask_.text; }
    // From code: clears the change, and Escape comes back to this text.
    void SetText(const std::string& text) override {
        mask_ = {MaskedText(text), 0, 0};
        before_ = mask_.text;
        modified_ = false;
        Show();
    }

    bool RefusesLeaving() const { return modified_ && !mask_.Complete(); }
    void RefuseLeaving() const {
        ::MessageBeep(MB_OK);
        platform::ShowMessageBox({kInvalidInputText, kProgramTitle, platform::BoxOwner::Window,
                                  platform::BoxKind::Error});
    }

private:
    static LRESULT CALLBACK Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR self) {
        return reinterpret_cast<PasswordBox*>(self)->Filter(control, message, wParam, lParam);
    }
    LRESULT Filter(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    // The mask with the control's selection, which the user moves.
    PasswordMask Selected() {
        DWORD start = 0, end = 0;
        control_.Selection(start, end);
        mask_.start = start;
        mask_.end = end;
        return mask_;
    }
    void Apply(const std::optional<PasswordMask>& edited) {
        if (edited) {
            mask_ = *edited;
            modified_ = true;
            Show();
        }
    }
    void Show() const {
        control_.SetText(mask_.text);
        control_.SetSelection(static_cast<int>(mask_.start), static_cast<int>(mask_.end));
    }
    void Paste();

    HWND window_;
    PasswordMask mask_;
    std::string before_ = mask_.text;
    bool modified_ = false;
};

void PasswordBox::Paste() {
    if (!::OpenClipboard(Handle())) {
        return;
    }
    std::string pasted;
    if (const HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const auto* text = static_cast<const char*>(::GlobalLock(data))) {
            const char* const end = text + ::GlobalSize(data);
            pasted.assign(text, std::find(text, end, '\0'));
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    Apply(TypeDigits(Selected(), pasted));
}

LRESULT PasswordBox::Filter(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    constexpr WPARAM kCtrlA = 0x01, kCtrlC = 0x03, kCtrlV = 0x16, kCtrlX = 0x18;
    switch (message) {
    case WM_GETDLGCODE: {
        // Escape belongs to the box, not to the window.
        LRESULT code = ::DefSubclassProc(control, message, wParam, lParam);
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE) {
            code |= DLGC_WANTMESSAGE;
        }
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            if (modified_) {
                SetText(before_);
            }
            return 0;
        }
        if (wParam == VK_DELETE) {
            Apply(ErasePositions(Selected(), false));
            return 0;
        }
        break;
    case WM_CHAR:
        switch (wParam) {
        case kCtrlA:
        case kCtrlC:
            break;
        case VK_BACK:
            Apply(ErasePositions(Selected(), true));
            return 0;
        case kCtrlV:
            Paste();
            return 0;
        case kCtrlX:
            ::DefSubclassProc(control, WM_COPY, 0, 0);
            Apply(ErasePositions(Selected(), true));
            return 0;
        default: {
            // A digit overwrites the position at the caret; anything else is refused.
            const char typed = wParam < 0x80 ? static_cast<char>(wParam) : '\0';
            Apply(TypeDigits(Selected(), std::string_view(&typed, 1)));
            return 0;
        }
        }
        break;
    case WM_PASTE:
        Paste();
        return 0;
    case WM_CUT:
        ::DefSubclassProc(control, WM_COPY, 0, 0);
        Apply(ErasePositions(Selected(), true));
        return 0;
    case WM_CLEAR:
        Apply(ErasePositions(Selected(), true));
        return 0;
    case WM_UNDO:
    case EM_UNDO:
    case WM_IME_CHAR:
        return 0;
    case WM_SETFOCUS: {
        // Entered from another control: Escape comes back to what the box holds now. The
        // window coming back (after a message box, from another program) is no new entry.
        const auto previous = reinterpret_cast<HWND>(wParam);
        if (previous && ::IsChild(window_, previous)) {
            before_ = mask_.text;
        }
        break;
    }
    default:
        break;
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

// The folder list: an owner-data list view over the packed rows. It keeps the selection
// itself and asks for everything else as it draws (Answer).
class FolderList final : public Adapter<TListView, win32::ListView> {
public:
    FolderList(HWND control, HIMAGELIST pictures) : Adapter(control) {
        control_.SetExtendedStyle(LVS_EX_FULLROWSELECT);
        control_.SetImageList(pictures, LVSIL_SMALL);
        control_.SetImageList(pictures, LVSIL_STATE);
        control_.SetCallbackMask(LVIS_STATEIMAGEMASK);
        control_.InsertColumn(0, Wide(kNameColumnText).c_str(), 160, LVCFMT_LEFT);
        control_.InsertColumn(1, Wide(kModifiedColumnText).c_str(), 120, LVCFMT_LEFT);
        control_.InsertColumn(2, Wide(kMoreColumnText).c_str(), 75, LVCFMT_RIGHT);
    }

    void Clear() override {
        rows_.Clear();
        control_.SetItemCount(0);
    }
    void AppendFolderRow(const FolderRow& row) override { rows_.Append(row); }
    void FinishAppending() override { control_.SetItemCount(rows_.Size()); }
    std::size_t RowCount() const override { return rows_.Size(); }
    FolderRowView Row(std::size_t index) const override { return rows_.Row(index); }
    void SetStateIndex(std::size_t index, int stateIndex) override {
        rows_.SetStateIndex(index, stateIndex);
        control_.RedrawItems(index, index);
    }
    bool Selected(std::size_t index) const override {
        return (control_.ItemState(index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    }
    void SetSelected(std::size_t index, bool selected) override {
        control_.SetItemState(index, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    }
    int SelectedRow() const override { return control_.NextItem(-1, LVNI_SELECTED); }

    // LVN_GETDISPINFOW: the texts, the folder picture and the state picture of one row.
    void Answer(NMLVDISPINFOW& info) const;
    // Where the list's menu opens from the keyboard: below the selected row, else at the
    // list's top left; in screen coordinates.
    POINT MenuPoint() const;

private:
    FolderRows rows_;
};

void FolderList::Answer(NMLVDISPINFOW& info) const {
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_.Size()) {
        return;
    }
    const FolderRowView row = rows_.Row(static_cast<std::size_t>(item.iItem));
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        std::u16string text;
        switch (item.iSubItem) {
        case 0:
            text = row.name;
            break;
        case 1: {
            const std::string modified = row.Modified(); // ASCII
            text.assign(modified.begin(), modified.end());
            break;
        }
        case 2:
            if (row.nameTooLong) {
                text.assign(kNameTooLongText, kNameTooLongText + std::strlen(kNameTooLongText));
            }
            break;
        default:
            break;
        }
        const std::size_t units =
            std::min<std::size_t>(text.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
        std::copy_n(text.begin(), units, item.pszText);
        item.pszText[units] = L'\0';
    }
    if (item.mask & LVIF_IMAGE) {
        item.iImage = kFolderPicture;
    }
    if (item.mask & LVIF_STATE) {
        // The state picture's number counts from 1; 0 shows none.
        const int picture = row.stateIndex >= 0 && row.stateIndex < 15 ? row.stateIndex + 1 : 0;
        item.state =
            (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(static_cast<UINT>(picture));
        item.stateMask |= LVIS_STATEIMAGEMASK;
    }
}

POINT FolderList::MenuPoint() const {
    RECT row{};
    POINT at{0, 0};
    if (const int selected = SelectedRow(); selected >= 0 && control_.ItemRect(selected, row)) {
        at = {row.left, row.bottom};
    }
    ::ClientToScreen(Handle(), &at);
    return at;
}

class Form final : public TFormControls {
public:
    explicit Form(TFrmEditProtect& window);
    ~Form() override {
        // The controls go before the window: what it is sent while it goes reaches none.
        built_ = false;
        setupWindow = nullptr;
    }
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    TBitBtn& BitBtn1() override { return markPrivate_; }
    TBitBtn& BitBtn2() override { return markPublic_; }
    TBitBtn& BitBtn3() override { return exit_; }
    TBitBtn& BitBtn4() override { return save_; }
    TListView& ListView1() override { return folders_; }
    TMaskEdit& MaskEdit1() override { return password_; }
    TComboBox& ComboBox1() override { return drive_; }
    TLabeledEdit& LabeledEdit1() override { return waitState_; }

    std::string Caption() const override { return kWindowCaption; }
    int ShowModal() override;
    void EndModal(int result) override {
        result_ = result;
        running_ = false;
    }

private:
    static HWND CreateMainWindow(Form* form);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Receive(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int code);
    LRESULT Notify(const NMHDR& header);
    void ShowFolderMenu(POINT at);
    // A click or key that would take the focus from the password box while it refuses to
    // be left: refused, and it does nothing else.
    bool RefusedLeave(const MSG& message) const;
    // The controls in the tab order.
    std::array<HWND, 7> TabOrder() const {
        return {save_.Handle(),    exit_.Handle(),        drive_.Handle(),     password_.Handle(),
                folders_.Handle(), markPrivate_.Handle(), markPublic_.Handle()};
    }
    void FocusFirst() const;
    void Paint() const;

    TFrmEditProtect& window_;
    UniqueFont font_ = WindowFont();
    UniqueImageList pictures_ = Pictures();
    HWND handle_ = nullptr; // set by WM_NCCREATE, before CreateWindowEx returns
    UniqueWindow main_{CreateMainWindow(this)};
    HWND tooltip_;
    // Created in the tab order.
    Button save_;
    Button exit_;
    DriveSelector drive_;
    PasswordBox password_;
    FolderList folders_;
    Button markPrivate_;
    Button markPublic_;
    WaitStateBox waitState_;
    HWND lastFocus_ = nullptr;
    int result_ = 0;
    bool running_ = false;
    bool built_ = false;
};

HWND Form::CreateMainWindow(Form* form) {
    static const ATOM windowClass = [] {
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = &Form::Procedure;
        description.hInstance = Instance();
        description.hIcon = Picture(IDI_WINDOW, ::GetSystemMetrics(SM_CXICON));
        description.hIconSm = Picture(IDI_WINDOW, ::GetSystemMetrics(SM_CXSMICON));
        description.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = win32::kSetupWindowClass;
        return ::RegisterClassExW(&description);
    }();
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT desktop{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);
    const int left = desktop.left + (desktop.right - desktop.left - width) / 2;
    const int top = desktop.top + (desktop.bottom - desktop.top - height) / 2;
    return ::CreateWindowExW(kWindowExStyle,
                             reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(windowClass)),
                             Wide(kWindowCaption).c_str(), kWindowStyle, left, top, width, height,
                             nullptr, nullptr, Instance(), form);
}

Form::Form(TFrmEditProtect& window)
    : window_(window),
      tooltip_(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                                 Instance(), nullptr)),
      save_(PlaceButton(handle_, kSaveText, {331, 367, 75, 25}, win32::kIdSave, font_.get(), true)),
      exit_(PlaceButton(handle_, kExitText, {443, 367, 75, 25}, win32::kIdExit, font_.get(), true)),
      drive_(Place(handle_, WC_COMBOBOXW, L"",
                   WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                   {89, 367, 169, 200}, win32::kIdDrive, font_.get()),
             tooltip_),
      password_(Place(handle_, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_LEFT, {177, 311, 60, 21},
                      win32::kIdPassword, font_.get(), WS_EX_CLIENTEDGE),
                handle_),
      folders_(Place(handle_, WC_LISTVIEWW, L"",
                     WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                         LVS_OWNERDATA | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                     {43, 56, 360, 236}, win32::kIdFolders, font_.get(), WS_EX_CLIENTEDGE),
               pictures_.get()),
      markPrivate_(PlaceButton(handle_, kMarkPrivateText, {423, 80, 99, 25}, win32::kIdMarkPrivate,
                               font_.get(), false)),
      markPublic_(PlaceButton(handle_, kMarkPublicText, {423, 128, 99, 25}, win32::kIdMarkPublic,
                              font_.get(), false)),
      // Never shown, never enabled: it carries the chosen drive's wait state to "Save".
      waitState_(Place(handle_, WC_EDITW, L"", WS_DISABLED | ES_LEFT, {419, 208, 73, 21},
                       win32::kIdWaitState, font_.get(), WS_EX_CLIENTEDGE)) {
    const HFONT font = font_.get();
    PlaceLabel(handle_, kWaitStateLabelText, {419, 192, 73, 13}, font);
    PlaceLabel(handle_, kPasswordLabelText, {67, 313, 95, 13}, font, WS_VISIBLE);
    PlaceLabel(handle_, kLimitLabelText, {275, 313, 132, 13}, font, WS_VISIBLE);
    PlaceLabel(handle_, kDriveLabelText, {46, 371, 25, 13}, font, WS_VISIBLE);
    const HWND key = Place(handle_, WC_STATICW, nullptr, WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE,
                           {47, 313, 16, 16}, -1, font);
    ::SendMessageW(key, STM_SETICON, reinterpret_cast<WPARAM>(Picture(IDI_KEY, 16)), 0);
    // The frame lies below every control, and tab order is the controls' order from the top.
    const HWND group = Place(handle_, WC_BUTTONW, Wide(kRootFoldersText).c_str(),
                             WS_VISIBLE | BS_GROUPBOX, {21, 21, 523, 328}, win32::kIdGroup, font);
    HWND above = HWND_TOP;
    for (const HWND control : TabOrder()) {
        ::SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control;
    }
    ::SetWindowPos(group, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 320);
    setupWindow = handle_;
    built_ = true;
}

LRESULT CALLBACK Form::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->handle_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form || !form->built_) {
        if (message == WM_NOTIFYFORMAT) {
            return NFR_UNICODE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return form->Receive(message, wParam, lParam);
}

LRESULT Form::Receive(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_NOTIFYFORMAT:
        return NFR_UNICODE;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == folders_.Handle()) {
            // From the keyboard (Menu key, Shift+F10) the position is -1, -1.
            const POINT at = lParam == -1 ? folders_.MenuPoint()
                                          : POINT{static_cast<short>(LOWORD(lParam)),
                                                  static_cast<short>(HIWORD(lParam))};
            ShowFolderMenu(at);
            return 0;
        }
        break;
    case WM_DEVICECHANGE: {
        platform::DeviceChangeMessage notice;
        notice.WParam = static_cast<std::uintptr_t>(wParam);
        notice.LParam = static_cast<std::intptr_t>(lParam);
        notice.Result = TRUE;
        ReportHandlerErrors([&] { window_.OnDeviceChange(notice); });
        return notice.Result;
    }
    case WM_CLOSE: // the close box, Alt+F4: as "Exit"
        EndModal(kModalResultCancel);
        return 0;
    case WM_ACTIVATE:
        // The focus goes back to the control that had it when the window lost the activation.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (const HWND focus = ::GetFocus(); focus && ::IsChild(handle_, focus)) {
                lastFocus_ = focus;
            }
        } else if (lastFocus_ && ::IsWindow(lastFocus_)) {
            ::SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_PAINT:
        Paint();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(handle_, message, wParam, lParam);
}

void Form::Command(int id, int code) {
    switch (id) {
    case win32::kIdSave:
        if (code == BN_CLICKED) {
            ReportHandlerErrors([this] { window_.BitBtn4Click(); });
        }
        break;
    case win32::kIdExit:
        if (code == BN_CLICKED) {
            ReportHandlerErrors([this] { window_.BitBtn3Click(); });
        }
        break;
    case win32::kIdMarkPrivate:
        if (code == BN_CLICKED) {
            ReportHandlerErrors([this] { window_.BitBtn1Click(); });
        }
        break;
    case win32::kIdMarkPublic:
        if (code == BN_CLICKED) {
            ReportHandlerErrors([this] { window_.BitBtn2Click(); });
        }
        break;
    case win32::kIdDrive:
        if (((code == CBN_SELCHANGE || code == CBN_SELENDOK) && drive_.UserChose()) ||
            (code == CBN_EDITCHANGE && drive_.UserTyped())) {
            ReportHandlerErrors([this] { window_.ComboBox1Change(); });
        }
        break;
    default: // IDOK and IDCANCEL from Enter and Escape press nothing
        break;
    }
}

LRESULT Form::Notify(const NMHDR& header) {
    if (header.hwndFrom != folders_.Handle()) {
        return 0;
    }
    switch (header.code) {
    case LVN_GETDISPINFOW:
        folders_.Answer(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
        return 0;
    case NM_CLICK: // also on empty space, which has cleared the selection
        ReportHandlerErrors([this] { window_.ListView1Click(); });
        return 0;
    case LVN_ODFINDITEMW: // typing a name's first letters finds nothing
        return -1;
    default:
        return 0;
    }
}

void Form::ShowFolderMenu(POINT at) {
    const MarkChoice choice = window_.MarkChoiceForSelection();
    const UniqueMenu menu(::CreatePopupMenu());
    ::AppendMenuW(menu.get(), MF_STRING | (choice.markPrivate ? MF_ENABLED : MF_GRAYED),
                  kMenuMarkPrivate, Wide(kMarkPrivateText).c_str());
    ::AppendMenuW(menu.get(), MF_STRING | (choice.markPublic ? MF_ENABLED : MF_GRAYED),
                  kMenuMarkPublic, Wide(kMarkPublicText).c_str());
    const auto chosen = static_cast<UINT>(::TrackPopupMenu(
        menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, handle_, nullptr));
    if (chosen == kMenuMarkPrivate) {
        ReportHandlerErrors([this] { window_.BitBtn1Click(); });
    } else if (chosen == kMenuMarkPublic) {
        ReportHandlerErrors([this] { window_.BitBtn2Click(); });
    }
}

bool Form::RefusedLeave(const MSG& message) const {
    if (::GetFocus() != password_.Handle() || !password_.RefusesLeaving()) {
        return false;
    }
    bool leaves = false;
    switch (message.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
        // A click on a control that would take the focus; labels and the frame take none.
        const HWND control = ControlOf(handle_, message.hwnd);
        leaves = control && control != password_.Handle() && ::IsWindowEnabled(control) &&
                 (::GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0;
        break;
    }
    case WM_KEYDOWN:
        leaves = message.wParam == VK_TAB;
        break;
    default:
        break;
    }
    if (leaves) {
        password_.RefuseLeaving();
    }
    return leaves;
}

void Form::FocusFirst() const {
    for (const HWND control : TabOrder()) {
        if (::IsWindowEnabled(control)) {
            ::SetFocus(control);
            return;
        }
    }
}

void Form::Paint() const {
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(handle_, &paint);
    RECT client{};
    ::GetClientRect(handle_, &client);
    // The panel that fills the window: a one-pixel raised bevel.
    ::DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
    ::EndPaint(handle_, &paint);
}

int Form::ShowModal() {
    result_ = 0;
    running_ = true;
    ::ShowWindow(handle_, SW_SHOW);
    ::SetForegroundWindow(handle_);
    FocusFirst();
    MSG message{};
    while (running_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(message.wParam)); // for the loop outside
            }
            break;
        }
        if (RefusedLeave(message) || ::IsDialogMessageW(handle_, &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::ShowWindow(handle_, SW_HIDE);
    return result_;
}

} // namespace

TFormFactory Win32FormFactory() {
    return [](TFrmEditProtect& window) -> std::unique_ptr<TFormControls> {
        return std::make_unique<Form>(window);
    };
}

HWND SetupWindowHandle() {
    return setupWindow;
}
