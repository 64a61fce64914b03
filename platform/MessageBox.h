#pragma once
// The one seam through which every part shows a message box: text, title, owner, one OK
// button. The program installs a handler that shows real boxes; tests install a recorder.

#include <functional>
#include <string>

namespace platform {

// Whether a box is owned by the setup window or stands alone.
enum class BoxOwner { None, Window };

// Plain boxes carry no icon; Error boxes are the toolkit's own error reports (an input check
// that fails, an error escaping an event handler).
enum class BoxKind { Plain, Error };

struct MessageBoxRequest {
    std::string text;  // 8-bit text in the locale's encoding
    std::string title; // 8-bit text in the locale's encoding
    BoxOwner owner = BoxOwner::None;
    BoxKind kind = BoxKind::Plain;
};

// Runs until the user has closed the box (a real box runs an event loop meanwhile).
using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;

// Shows a box through the installed handler. Without a handler the text goes to standard
// error, so code without a display still says what it would have shown.
void ShowMessageBox(const MessageBoxRequest& request);

// Installs handler (an empty one restores the standard-error fallback); returns the one it
// replaces, so a test can put it back.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace platform
