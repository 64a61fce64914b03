#include "platform/DeviceNotices.h"
#include "platform/windows/Win32.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QFile>

namespace platform {
namespace {

// Windows sends the device-change message to every top-level window when a volume comes
// or goes; the filter passes arrivals and completed removals on to the target and lets the
// message go on its way.
class DeviceMessageFilter : public QObject, public QAbstractNativeEventFilter {
public:
    DeviceMessageFilter(QObject* parent, QObject* target) : QObject(parent), target_(target) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~DeviceMessageFilter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        const auto* msg = static_cast<const MSG*>(message);
        if (eventType == "windows_generic_MSG" && msg->message == kWmDeviceChange &&
            (msg->wParam == kDbtDeviceArrival || msg->wParam == kDbtDeviceRemoveComplete)) {
            QCoreApplication::postEvent(target_, new DeviceChangeEvent(msg->wParam));
        }
        return false;
    }

private:
    QObject* target_;
};

} // namespace

DeviceNoticeSource::DeviceNoticeSource(QObject* target) : target_(target) {
    new DeviceMessageFilter(this, target); // owned by this source
}

DeviceNoticeSource::~DeviceNoticeSource() = default;

} // namespace platform
