// private-folder-setup.exe: the setup window on the Win32 controls.

#include "FrmManage/win32/Win32Form.h"
#include "app/StartUp.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"

#include <commctrl.h>

namespace {

// One OK button and no icon; the toolkit's own error reports carry the error icon. A box
// without an owner still keeps the window waiting, as a box of the window's does.
void ShowMessageBoxA(const platform::MessageBoxRequest& request) {
    const HWND owner = request.owner == platform::BoxOwner::Window ? SetupWindowHandle() : nullptr;
    UINT style = MB_OK;
    if (request.kind == platform::BoxKind::Error) {
        style |= MB_ICONERROR;
    }
    if (!owner) {
        style |= MB_TASKMODAL;
    }
    ::MessageBoxA(owner, request.text.c_str(), request.title.c_str(), style);
}

// While a save waits for another program's save lock, the window goes on painting and
// receiving device notices; the user's clicks and keys wait in the queue until it is over.
void PumpAllButInput() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0,
                          PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam)); // for the modal run
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

} // namespace

// The program takes nothing from its command line.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES;
    ::InitCommonControlsEx(&classes);
    platform::SetMessageBoxHandler(ShowMessageBoxA);
    platform::SetLockWaitHook(PumpAllButInput);
    return StartUp(Win32FormFactory());
}
