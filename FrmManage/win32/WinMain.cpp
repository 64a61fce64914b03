// private-folder-setup.exe: the setup window on the Win32 controls.

#include "FrmManage/win32/Win32Form.h"
#include "app/StartUp.h"
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

} // namespace

// The program takes nothing from its command line.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES;
    ::InitCommonControlsEx(&classes);
    platform::SetMessageBoxHandler(ShowMessageBoxA);
    return StartUp(Win32FormFactory());
}
