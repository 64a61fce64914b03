#pragma once
// Widget tests run the real widgets without a display: on Qt's offscreen platform unless the
// caller chose a platform, so a plain ctest passes in any build folder and on any machine.

#include <QtGlobal>

namespace lunavio_test {

// Call before the application object is made.
inline void UseOffscreenPlatformUnlessChosen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

} // namespace lunavio_test
