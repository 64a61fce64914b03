#pragma once
// The system's own texts and the titles of its boxes, each in one place. They are shown as
// they stand, typos included.

// Titles.
inline constexpr const char* kWindowCaption = "Private folder setup Ver.1.01";
// The error boxes the window's toolkit shows by itself (the password box's input check, an
// error escaping a handler).
inline constexpr const char* kProgramTitle = "Private folder setup";
inline constexpr const char* kUtilityTitle = "Lunavio Utility";

// The window's messages.
inline constexpr const char* kNoDriveText = " --- No avaliable drive ---";
inline constexpr const char* kChooseDriveText = "Please choose a drive of Lunavio";
inline constexpr const char* kPasswordRangeText = "Password must be 0000 - 9999";
inline constexpr const char* kFolderLimitText = "Lunavio cannot protect more than 16 folders";
inline constexpr const char* kInvalidInputText =
    "Invalid input value.  Use escape key to abandon changes";
