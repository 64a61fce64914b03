#pragma once
// The setup window's class name and its controls' identifiers, shared with the test tools
// that find the window and read its controls.

namespace win32 {

inline constexpr wchar_t kSetupWindowClass[] = L"LunavioPrivateFolderSetup";

// None is 1 or 2: the dialog keys send IDOK and IDCANCEL, which press no button here.
enum ControlId : int {
    kIdSave = 101,        // BitBtn4
    kIdExit = 102,        // BitBtn3
    kIdDrive = 103,       // ComboBox1
    kIdPassword = 104,    // MaskEdit1
    kIdFolders = 105,     // ListView1
    kIdMarkPrivate = 106, // BitBtn1
    kIdMarkPublic = 107,  // BitBtn2
    kIdWaitState = 108,   // LabeledEdit1
    kIdGroup = 109,       // GroupBox1
};

} // namespace win32
