#include "platform/qt/DeviceNoticeSource.h"

#include "platform/linux/SimulationWatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

namespace platform {
namespace {

constexpr int kSettleMs = 50;

} // namespace

QEvent::Type DeviceChangeEvent::Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

DeviceChangeEvent::DeviceChangeEvent(std::uintptr_t eventCode, std::intptr_t data)
    : QEvent(Type()), message{.WParam = eventCode, .LParam = data} {}

DeviceNoticeSource::DeviceNoticeSource(QObject* target)
    : QObject(target), target_(target),
      simulationFile_(QString::fromLocal8Bit(qgetenv("LUNAVIO_SIMULATION"))),
      known_(LetteredVolumes()) {
    if (!simulationFile_.isEmpty()) {
        // A write in place reaches the watch as a truncation and then the new content; the
        // file is read once things have settled, so a half-written file gives no notices.
        settle_ = new QTimer(this);
        settle_->setSingleShot(true);
        settle_->setInterval(kSettleMs);
        connect(settle_, &QTimer::timeout, this, &DeviceNoticeSource::Check);
        // The drive map's own watch: the lookup above set it on the file and its folder. Any
        // reader of its changes, a save's path lookup too, starts the settling.
        linux_detail::SetSimulationChangeHook([this] {
            QMetaObject::invokeMethod(settle_, qOverload<>(&QTimer::start), Qt::QueuedConnection);
        });
        if (const int watch = linux_detail::SimulationWatchDescriptor(); watch >= 0) {
            simulationNotifier_ = new QSocketNotifier(watch, QSocketNotifier::Read, this);
            connect(simulationNotifier_, &QSocketNotifier::activated, this,
                    [] { linux_detail::ReadSimulationChanges(); });
        }
        return;
    }
    // The kernel flags an open mount table with an exceptional condition when it changes.
    mountInfo_ = std::make_unique<QFile>(QStringLiteral("/proc/self/mountinfo"));
    if (!mountInfo_->open(QIODevice::ReadOnly)) {
        return;
    }
    mountNotifier_ = new QSocketNotifier(mountInfo_->handle(), QSocketNotifier::Exception, this);
    connect(mountNotifier_, &QSocketNotifier::activated, this, [this] {
        // Reading the table to its end clears the condition until the next change.
        mountInfo_->seek(0);
        mountInfo_->readAll();
        Check();
    });
}

DeviceNoticeSource::~DeviceNoticeSource() {
    if (settle_ != nullptr) {
        linux_detail::SetSimulationChangeHook({});
    }
}

void DeviceNoticeSource::Check() {
    std::vector<LetteredVolume> now = LetteredVolumes();
    for (std::uintptr_t code : DeviceNoticesFor(known_, now)) {
        QCoreApplication::postEvent(target_, new DeviceChangeEvent(code));
    }
    known_ = std::move(now);
}

} // namespace platform
