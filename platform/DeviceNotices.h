#pragma once
// Device-change notices: the window receives the device-change message (0x0219) with the
// arrival (0x8000) or removal-complete (0x8004) code, one notice per volume that comes or
// goes, through Qt's event queue on the window's thread, so they are handled inside a
// message box's event loop too.

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

inline constexpr unsigned kWmDeviceChange = 0x0219;
inline constexpr std::uintptr_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uintptr_t kDbtDeviceRemoveComplete = 0x8004;

// The device-change message as a Qt event.
class DeviceChangeEvent : public QEvent {
public:
    static QEvent::Type Type();

    explicit DeviceChangeEvent(std::uintptr_t eventCode, std::intptr_t data = 0);

    unsigned Message() const { return kWmDeviceChange; }
    std::uintptr_t WParam() const { return wParam_; }
    std::intptr_t LParam() const { return lParam_; }

    // The answer to the message; TRUE grants a removal request.
    std::intptr_t Result = 0;

private:
    std::uintptr_t wParam_;
    std::intptr_t lParam_;
};

// Pure: the event codes for the change from before to after, one per volume that went
// (removal) or came (arrival); a volume whose letter now names something else is both.
std::vector<std::uintptr_t> DeviceNoticesFor(const std::vector<LetteredVolume>& before,
                                             const std::vector<LetteredVolume>& after);

// Watches the lettered volumes (the mount table, or the simulation file and its folder) and
// posts the notices of every change to target, which must outlive the source. The volumes
// present at construction are the starting point: they give no notice. On Windows it passes
// on the device-change messages the system sends the application's windows.
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
