#include "platform/qt/DeviceNoticeSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
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
        watcher_ = new QFileSystemWatcher(this);
        WatchSimulationFile();
        // A write in place reaches the watcher as a truncation and then the new content; the
        // file is read once things have settled, so a half-written file gives no notices.
        settle_ = new QTimer(this);
        settle_->setSingleShot(true);
        settle_->setInterval(kSettleMs);
        connect(settle_, &QTimer::timeout, this, &DeviceNoticeSource::Check);
        const auto changed = [this] {
            WatchSimulationFile();
            settle_->start();
        };
        connect(watcher_, &QFileSystemWatcher::fileChanged, this, changed);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this, changed);
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

DeviceNoticeSource::~DeviceNoticeSource() = default;

void DeviceNoticeSource::WatchSimulationFile() {
    // Editors replace the file rather than write it, which drops the watch on the old one;
    // the folder's watch sees the new file arrive.
    const QString folder = QFileInfo(simulationFile_).absolutePath();
    if (!watcher_->directories().contains(folder)) {
        watcher_->addPath(folder);
    }
    if (QFileInfo::exists(simulationFile_) && !watcher_->files().contains(simulationFile_)) {
        watcher_->addPath(simulationFile_);
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
