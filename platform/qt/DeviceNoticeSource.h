#pragma once
// Device-change notices: the window receives the device-change message (0x0219) with the
// arrival (0x8000) or removal-complete (0x8004) code, one notice per volume that comes or
// goes, through Qt's event queue on the window's thread, so they are handled inside a
// message box's event loop too.

#include "platform/DeviceChange.h"
#include "platform/Drives.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;
class QFile;
class QTimer;

namespace platform {

// The device-change message as a Qt event.
class DeviceChangeEvent : public QEvent {
public:
    static QEvent::Type Type();

    explicit DeviceChangeEvent(std::uintptr_t eventCode, std::intptr_t data = 0);

    DeviceChangeMessage message;
};

// Watches the lettered volumes (the mount table, or the simulation file and its folder) and
// posts the notices of every change to target, whose child it is. The volumes
// present at construction are the starting point: they give no notice.
class DeviceNoticeSource : public QObject {
    Q_OBJECT

public:
    explicit DeviceNoticeSource(QObject* target);
    ~DeviceNoticeSource() override;

private:
    void Check();

    QObject* target_;
    QString simulationFile_; // empty: the real mount table
    std::vector<LetteredVolume> known_;
    std::unique_ptr<QFile> mountInfo_;
    QSocketNotifier* mountNotifier_ = nullptr;
    QSocketNotifier* simulationNotifier_ = nullptr;
    QTimer* settle_ = nullptr;
};

} // namespace platform
