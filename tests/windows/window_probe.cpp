// window-probe.exe: what the end-to-end run under Wine asks of the running setup window, read
// from its controls as another program sees them, and the device-change broadcast it sends.
//
//   window-probe wait [SECONDS]        until the window is shown; prints its frame: left,
//                                      top, width, height
//   window-probe state                 the controls, one per line (see PrintState)
//   window-probe point CONTROL         screen point to click: save, exit, drive, password,
//                                      folders, markprivate, markpublic
//   window-probe point row N           screen point of folder row N
//   window-probe box                   the window's open message box: title, text, icon
//   window-probe gone [SECONDS]        until the window has closed
//   window-probe broadcast CODE L      WM_DEVICECHANGE to every window, volume L (arrival,
//                                      removal, other)
//   window-probe ask CODE              WM_DEVICECHANGE to the window alone; prints its answer
//
// Exit status 0 done, 1 not found or failed, 2 usage. It must be of the window's width: the
// list view's records hold pointers.

#include "FrmManage/win32/ControlIds.h"
#include "platform/windows/Win32.h"

#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <dbt.h>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace {

using namespace win32;

const std::map<std::string_view, int> kControls = {{"save", kIdSave},
                                                   {"exit", kIdExit},
                                                   {"drive", kIdDrive},
                                                   {"password", kIdPassword},
                                                   {"folders", kIdFolders},
                                                   {"markprivate", kIdMarkPrivate},
                                                   {"markpublic", kIdMarkPublic}};

HWND SetupWindow() {
    const HWND window = ::FindWindowW(kSetupWindowClass, nullptr);
    return window && ::IsWindowVisible(window) ? window : nullptr;
}

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                          size, nullptr, nullptr);
    return utf8;
}

// WM_GETTEXT, which the system carries across processes (GetWindowText does not ask a
// control of another process).
std::string TextOf(HWND control) {
    wchar_t text[512] = {};
    ::SendMessageW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return Utf8(text);
}

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};

// A block of memory inside the window's process, for the list view's messages, which the
// system does not carry across processes.
class RemoteBlock {
public:
    RemoteBlock(HWND window, std::size_t size) : size_(size) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        process_.reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                     FALSE, process));
        if (process_) {
            address_ = ::VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                        PAGE_READWRITE);
        }
    }
    ~RemoteBlock() {
        if (address_) {
            ::VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool Valid() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(std::size_t offset, const void* data, std::size_t size) const {
        return offset + size <= size_ &&
               ::WriteProcessMemory(process_.get(), Address() + offset, data, size, nullptr);
    }
    bool Read(std::size_t offset, void* data, std::size_t size) const {
        return offset + size <= size_ &&
               ::ReadProcessMemory(process_.get(), Address() + offset, data, size, nullptr);
    }

private:
    std::unique_ptr<void, HandleCloser> process_;
    void* address_ = nullptr;
    std::size_t size_;
};

std::string RowText(HWND list, const RemoteBlock& block, int row, int column) {
    constexpr std::size_t kUnits = 300;
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = kUnits;
    item.pszText = reinterpret_cast<wchar_t*>(block.Address() + sizeof(item));
    block.Write(0, &item, sizeof(item));
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(block.Address()));
    wchar_t text[kUnits] = {};
    block.Read(sizeof(item), text, sizeof(text) - sizeof(wchar_t));
    return Utf8(text);
}

const char* NameOf(HWND window, HWND control) {
    for (const auto& [name, id] : kControls) {
        const HWND candidate = ::GetDlgItem(window, id);
        if (candidate && (candidate == control || ::IsChild(candidate, control))) {
            return name.data();
        }
    }
    return "none";
}

// client X Y | selector TEXT | entry I TEXT | button NAME enabled|disabled |
// row I private|public selected|- NAME MODIFIED MORE | password TEXT | focus NAME
int PrintState(HWND window) {
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    std::printf("client\t%ld\t%ld\n", origin.x, origin.y);
    const HWND drive = ::GetDlgItem(window, kIdDrive);
    std::printf("selector\t%s\n", TextOf(drive).c_str());
    const auto entries = ::SendMessageW(drive, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < entries; ++i) {
        wchar_t entry[512] = {};
        ::SendMessageW(drive, CB_GETLBTEXT, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(entry));
        std::printf("entry\t%d\t%s\n", i, Utf8(entry).c_str());
    }
    for (const char* name : {"save", "exit", "markprivate", "markpublic"}) {
        const bool enabled = ::IsWindowEnabled(::GetDlgItem(window, kControls.at(name)));
        std::printf("button\t%s\t%s\n", name, enabled ? "enabled" : "disabled");
    }
    const HWND list = ::GetDlgItem(window, kIdFolders);
    const RemoteBlock block(window, 4096);
    if (!block.Valid()) {
        std::fprintf(stderr, "window-probe: cannot reach the window's process\n");
        return 1;
    }
    const auto rows = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < rows; ++i) {
        const auto state = static_cast<UINT>(::SendMessageW(
            list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK | LVIS_SELECTED));
        // The padlock is picture 2 of the state pictures, whose numbers count from 1.
        const bool padlock = (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(3);
        std::printf("row\t%d\t%s\t%s\t%s\t%s\t%s\n", i, padlock ? "private" : "public",
                    (state & LVIS_SELECTED) ? "selected" : "-", RowText(list, block, i, 0).c_str(),
                    RowText(list, block, i, 1).c_str(), RowText(list, block, i, 2).c_str());
    }
    std::printf("password\t%s\n", TextOf(::GetDlgItem(window, kIdPassword)).c_str());
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
    std::printf("focus\t%s\n", NameOf(window, thread.hwndFocus));
    return 0;
}

int PrintPoint(HWND window, int argc, char** argv) {
    if (argc >= 4 && std::string_view(argv[2]) == "row") {
        const HWND list = ::GetDlgItem(window, kIdFolders);
        const RemoteBlock block(window, sizeof(RECT));
        RECT bounds{LVIR_LABEL, 0, 0, 0};
        if (!block.Valid() || !block.Write(0, &bounds, sizeof(bounds)) ||
            !::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(std::atoi(argv[3])),
                            reinterpret_cast<LPARAM>(block.Address())) ||
            !block.Read(0, &bounds, sizeof(bounds))) {
            return 1;
        }
        POINT at{bounds.left + 20, (bounds.top + bounds.bottom) / 2};
        ::ClientToScreen(list, &at);
        std::printf("%ld %ld\n", at.x, at.y);
        return 0;
    }
    const auto control = kControls.find(argv[2]);
    if (control == kControls.end()) {
        return 2;
    }
    RECT bounds{};
    ::GetWindowRect(::GetDlgItem(window, control->second), &bounds);
    std::printf("%ld %ld\n", (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    return 0;
}

struct BoxSearch {
    DWORD process;
    HWND box;
};

BOOL CALLBACK FindBox(HWND candidate, LPARAM found) {
    auto& search = *reinterpret_cast<BoxSearch*>(found);
    wchar_t name[16] = {};
    DWORD process = 0;
    ::GetWindowThreadProcessId(candidate, &process);
    ::GetClassNameW(candidate, name, std::size(name));
    if (process == search.process && ::IsWindowVisible(candidate) &&
        std::wstring_view(name) == L"#32770") {
        search.box = candidate;
        return FALSE;
    }
    return TRUE;
}

// The visible message box of the window's process: "title<TAB>text<TAB>icon|noicon".
int PrintBox(HWND window) {
    BoxSearch search{0, nullptr};
    ::GetWindowThreadProcessId(window, &search.process);
    ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) {
        return 1;
    }
    constexpr int kTextId = 0xFFFF, kIconId = 0x0440; // the box's text and its icon
    const HWND icon = ::GetDlgItem(search.box, kIconId);
    std::printf("%s\t%s\t%s\n", TextOf(search.box).c_str(),
                TextOf(::GetDlgItem(search.box, kTextId)).c_str(),
                icon && ::SendMessageW(icon, STM_GETICON, 0, 0) ? "icon" : "noicon");
    return 0;
}

WPARAM EventCode(std::string_view name) {
    if (name == "arrival") {
        return DBT_DEVICEARRIVAL;
    }
    if (name == "removal") {
        return DBT_DEVICEREMOVECOMPLETE;
    }
    if (name == "query") {
        return DBT_DEVICEQUERYREMOVE;
    }
    return DBT_DEVNODES_CHANGED;
}

bool WaitFor(bool shown, int seconds) {
    for (int tenth = 0; tenth < seconds * 10; ++tenth) {
        if ((SetupWindow() != nullptr) == shown) {
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::string_view command = argv[1];
    const int seconds = argc >= 3 ? std::atoi(argv[2]) : 30;
    if (command == "wait") {
        if (!WaitFor(true, seconds)) {
            return 1;
        }
        RECT frame{};
        ::GetWindowRect(SetupWindow(), &frame);
        std::printf("%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left,
                    frame.bottom - frame.top);
        return 0;
    }
    if (command == "gone") {
        return WaitFor(false, seconds) ? 0 : 1;
    }
    if (command == "broadcast" && argc >= 4) {
        DEV_BROADCAST_VOLUME volume{};
        volume.dbcv_size = sizeof(volume);
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = 1u << ((argv[3][0] & 0x1F) - 1);
        DWORD_PTR answer = 0;
        // A window that opens a message box in its refresh answers late; the notice is
        // delivered all the same.
        ::SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, EventCode(argv[2]),
                              reinterpret_cast<LPARAM>(&volume), SMTO_ABORTIFHUNG, 3000, &answer);
        return 0;
    }
    const HWND window = SetupWindow();
    if (!window) {
        std::fprintf(stderr, "window-probe: no setup window\n");
        return 1;
    }
    if (command == "state") {
        return PrintState(window);
    }
    if (command == "point" && argc >= 3) {
        return PrintPoint(window, argc, argv);
    }
    if (command == "box") {
        return PrintBox(window);
    }
    if (command == "ask" && argc >= 3) {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(window, WM_DEVICECHANGE, EventCode(argv[2]), 0, SMTO_ABORTIFHUNG,
                                   3000, &answer)) {
            return 1;
        }
        std::printf("%lu\n", static_cast<unsigned long>(answer));
        return 0;
    }
    return 2;
}
