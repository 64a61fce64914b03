#pragma once
// The system's own texts and the titles of its boxes, each in one place. They are shown as
// they stand, typos included.

// Titles.
inline constexpr const char* kWindowCaption = "Private folder setup Ver.1.01";
// The error boxes the window's toolkit shows by itself (the password box's input check, an
// error escaping a handler).
inline constexpr const char* kProgramTitle = "Private folder setup";
inline constexpr const char* kUtilityTitle = "Lunavio Utility";
// The writer's refusal of a name that is too long.
inline constexpr const char* kNameLengthTitle = "Tessaro Tool";
// The device library's loader.
inline constexpr const char* kLoaderTitle = "Error";

// The window's controls.
inline constexpr const char* kRootFoldersText = "Root Folders";
inline constexpr const char* kPasswordLabelText = "Password (4 digits):";
inline constexpr const char* kSaveText = "Save";
inline constexpr const char* kExitText = "Exit";
inline constexpr const char* kLimitLabelText = "Maximum 16 private folders";
inline constexpr const char* kMarkPrivateText = "Mark as Private";
inline constexpr const char* kMarkPublicText = "Mark as Public";
inline constexpr const char* kDriveLabelText = "Drive";
inline constexpr const char* kWaitStateLabelText = "Wait state";
// The folder list's columns and remarks.
inline constexpr const char* kNameColumnText = "Name";
inline constexpr const char* kModifiedColumnText = "Modified";
inline constexpr const char* kMoreColumnText = "More...";
inline constexpr const char* kNameTooLongText = "Name too long";
inline constexpr const char* kUnknownTimeText = "(Unknown)";

// The window's messages.
inline constexpr const char* kNoDriveText = " --- No avaliable drive ---";
inline constexpr const char* kChooseDriveText = "Please choose a drive of Lunavio";
inline constexpr const char* kPasswordRangeText = "Password must be 0000 - 9999";
inline constexpr const char* kFolderLimitText = "Lunavio cannot protect more than 16 folders";
inline constexpr const char* kInvalidInputText =
    "Invalid input value.  Use escape key to abandon changes";
// "<label> is not found. Change the current drive to <label>": the drive chosen went.
inline constexpr const char* kDriveGoneText = " is not found. Change the current drive to ";

// The writer's refusals.
inline constexpr const char* kWriterLimitText = "Cannot protect more than 16 folders.";
inline constexpr const char* kWriterNameLengthText =
    "Folders to be protected cannot more than 30 characters.";

// The device library's loader.
inline constexpr const char* kLoadLibraryFailedText = "Load DeviceInfo.dll failed.";
inline constexpr const char* kLoadFunctionFailedText = "Load function of DeviceInfo.dll failed.";
