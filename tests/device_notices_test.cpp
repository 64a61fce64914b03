// Device-change notices: which notices a change of the lettered volumes gives, and the
// simulation file's watcher delivering them through the event queue.

#include "platform/qt/DeviceNoticeSource.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using platform::DeviceChangeEvent;
using platform::kDbtDeviceArrival;
using platform::kDbtDeviceRemoveComplete;
using platform::LetteredVolume;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

QString simulationFile; // set by main()

LetteredVolume Volume(char letter, const char* label = "MEDIA", const char* directory = "e") {
    LetteredVolume volume;
    volume.letter = letter;
    volume.directory = directory;
    volume.deviceId = "USB\\VID_1234&PID_5678\\1";
    volume.label = label;
    volume.fileSystem = "FAT32";
    return volume;
}

TEST(DeviceNoticesFor, GivesOneNoticePerVolumeThatWentOrCame) {
    const std::uintptr_t removed = kDbtDeviceRemoveComplete;
    const std::uintptr_t arrived = kDbtDeviceArrival;
    struct Case {
        const char* name;
        std::vector<LetteredVolume> before;
        std::vector<LetteredVolume> after;
        std::vector<std::uintptr_t> notices;
    } cases[] = {
        {"nothing changed", {Volume('E'), Volume('F')}, {Volume('E'), Volume('F')}, {}},
        {"both empty", {}, {}, {}},
        {"one arrived", {Volume('E')}, {Volume('E'), Volume('F')}, {arrived}},
        {"two arrived", {}, {Volume('E'), Volume('F')}, {arrived, arrived}},
        {"one went", {Volume('E'), Volume('F')}, {Volume('F')}, {removed}},
        {"relabelled", {Volume('E')}, {Volume('E', "FILMS")}, {removed, arrived}},
        {"letter reused by another folder",
         {Volume('E')},
         {Volume('E', "MEDIA", "g")},
         {removed, arrived}},
        {"swapped", {Volume('E')}, {Volume('F')}, {removed, arrived}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THAT(platform::DeviceNoticesFor(c.before, c.after), ElementsAreArray(c.notices));
    }
}

// Collects the notices posted to it.
class NoticeSink : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != DeviceChangeEvent::Type()) {
            return QObject::event(event);
        }
        codes.push_back(static_cast<DeviceChangeEvent*>(event)->message.WParam);
        return true;
    }

    // Processes events until count notices have arrived, at most for timeoutMs.
    bool WaitFor(std::size_t count, int timeoutMs = 5000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (codes.size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return codes.size() >= count;
    }

    std::vector<std::uintptr_t> codes;
};

void WriteInPlace(const std::string& content) {
    std::ofstream(simulationFile.toStdString(), std::ios::trunc) << content;
}

void Replace(const std::string& content) {
    QSaveFile file(simulationFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.data(), static_cast<qint64>(content.size()));
    ASSERT_TRUE(file.commit());
}

const std::string kE = "E\te\tUSB\\VID_1234&PID_5678\\1\t1\tMEDIA\tFAT32\n";
const std::string kF = "F\tf\tUSB\\VID_1234&PID_5678\\1\t1\t\tNTFS\n";

TEST(DeviceNoticeSource, PostsTheNoticesOfEveryChangeOfTheSimulationFile) {
    Replace(kE);
    NoticeSink sink;
    platform::DeviceNoticeSource source(&sink);
    QCoreApplication::processEvents();
    EXPECT_THAT(sink.codes, IsEmpty()); // what is there at the start gives no notice

    Replace(kE + kF); // replaced, as editors do: the folder's watch sees it
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_THAT(sink.codes, ElementsAre(kDbtDeviceArrival));

    sink.codes.clear();
    WriteInPlace(kF); // truncated, then written: one change, seen by the file's own watch
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_THAT(sink.codes, ElementsAre(kDbtDeviceRemoveComplete));

    sink.codes.clear();
    Replace(""); // F goes as well, after a replacement dropped the file's old watch
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_THAT(sink.codes, ElementsAre(kDbtDeviceRemoveComplete));

    // A change in the folder that lists no drive gives none: the next notice is E's arrival.
    sink.codes.clear();
    QDir(QFileInfo(simulationFile).absolutePath()).mkpath("unrelated");
    QCoreApplication::processEvents();
    Replace(kE);
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_THAT(sink.codes, ElementsAre(kDbtDeviceArrival));
}

// The drive map's lookups read the same watch as the notices: a change that a lookup reads
// first (a save's path lookup, say) still gives its notice, and the process keeps one inotify
// instance, whose teardown at exit is slow.
TEST(DeviceNoticeSource, SharesTheDriveMapsOneWatchAndMissesNoChangeALookupRead) {
    Replace(kE);
    NoticeSink sink;
    platform::DeviceNoticeSource source(&sink);
    QCoreApplication::processEvents();

    Replace(kE + kF);
    for (int i = 0; i < 20 && platform::LetteredVolumes().size() < 2; ++i) {
        QThread::msleep(10); // the kernel queues the event a moment after the rename
    }
    ASSERT_EQ(platform::LetteredVolumes().size(), 2u);
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_THAT(sink.codes, ElementsAre(kDbtDeviceArrival));

    int instances = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System)) {
        instances += fd.symLinkTarget().endsWith("anon_inode:inotify") ? 1 : 0;
    }
    EXPECT_EQ(instances, 1);
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir machine;
    QDir(machine.path()).mkpath("e");
    QDir(machine.path()).mkpath("f");
    simulationFile = machine.filePath("lunavio.sim");
    qputenv("LUNAVIO_SIMULATION", simulationFile.toLocal8Bit());
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
