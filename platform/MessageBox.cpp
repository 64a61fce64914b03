#include "platform/MessageBox.h"

#include <cstdio>
#include <utility>

namespace platform {
namespace {

MessageBoxHandler& InstalledHandler() {
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

void ShowMessageBox(const MessageBoxRequest& request) {
    // A copy, so a handler that replaces itself while its box is open stays alive.
    const MessageBoxHandler handler = InstalledHandler();
    if (handler) {
        handler(request);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(InstalledHandler(), std::move(handler));
}

} // namespace platform
