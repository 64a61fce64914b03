#pragma once
// The setup window on the Win32 common controls, for the window's handlers (FrmEditProtect.h).

#include "FrmManage/Controls.h"
#include "platform/windows/Win32.h"

// Creates the window with its controls, hidden, wired to the handlers of the window it gets.
TFormFactory Win32FormFactory();

// The setup window's own window while it exists, else null: the owner of its message boxes.
HWND SetupWindowHandle();
