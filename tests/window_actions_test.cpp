// Marking, saving and following the device, driven as a user drives the window: real widgets,
// clicks and keys, offscreen, on a simulated machine whose drives the tests plug and pull.

#include "FrmManage/FrmEditProtect.h"
#include "OffscreenPlatform.h"
#include "ProtectionFileFixtures.h"
#include "app/DriveTable.h"
#include "platform/DeviceNotices.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtLockWait.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using platform::BoxOwner;
using platform::DeviceChangeEvent;
using platform::MessageBoxRequest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

QString machineRoot; // the simulated machine's folder, set by main()

// Records the boxes instead of showing them; whileOpen runs once inside the next box, as a
// notice delivered while a real box's event loop runs.
class BoxRecorder {
public:
    BoxRecorder()
        : previous_(platform::SetMessageBoxHandler([this](const MessageBoxRequest& request) {
              boxes.push_back(request);
              if (auto hook = std::exchange(whileOpen, nullptr)) {
                  hook();
              }
          })) {}
    ~BoxRecorder() { platform::SetMessageBoxHandler(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const MessageBoxRequest& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<MessageBoxRequest> boxes;
    std::function<void()> whileOpen;

private:
    platform::MessageBoxHandler previous_;
};

using lunavio_test::Bytes;
using lunavio_test::ReadBytes;

using lunavio_test::ProtectionFileBytes;

QString DrivePath(const char* drive, const char* file = nullptr) {
    QString path = machineRoot + '/' + drive;
    return file ? path + '/' + file : path;
}

void WriteBytes(const QString& path, const Bytes& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Simulation lines of the device's drives (all of one USB device named in the registry).
std::string Line(char letter, const char* folder, const char* label, const char* fileSystem) {
    return std::string{letter} + '\t' + folder + "\tUSB\\VID_1234&PID_5678\\1\t1\t" + label + '\t' +
           fileSystem + '\n';
}
const std::string kDriveE = Line('E', "e", "MEDIA", "FAT32");
const std::string kDriveF = Line('F', "f", "", "NTFS");
const std::string kDriveG = Line('G', "g", "BACKUP", "NTFS");

// Replaces the simulation file in one step, as an editor would.
void PlugDrives(const std::vector<std::string>& lines) {
    QSaveFile file(machineRoot + "/lunavio.sim");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const std::string& line : lines) {
        file.write(line.data(), static_cast<qint64>(line.size()));
    }
    ASSERT_TRUE(file.commit());
}

std::u16string Units(const char* ascii) {
    return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::u16string SlotText(const PathSlot& slot) {
    return std::u16string(slot.data(), std::find(slot.begin(), slot.end(), u'\0'));
}

FolderRow Row(std::u16string name, int stateIndex) {
    FolderRow row;
    row.name = name;
    row.storedName = name;
    row.lastWrite = {2024, 1, 2, 10, 0, 0};
    row.nameTooLong = name.size() >= 19;
    row.stateIndex = stateIndex;
    return row;
}

class WindowActionsTest : public ::testing::Test {
protected:
    WindowActionsTest() : window_(std::make_unique<TFrmEditProtect>()), w(*window_) {
        FrmEditProtect = window_.get();
        QDir(machineRoot).removeRecursively();
        for (const char* folder : {"e/ALPHA", "e/BETA", "e/GAMMA", "f/MOVIES", "f/MUSIC",
                                   "f/PHOTOS", "f/A_FOLDER_NAME_OF_25_UNITS", "g/ARCHIVE"}) {
            QDir(machineRoot).mkpath(folder);
        }
        std::ofstream(machineRoot.toStdString() + "/hkcu.reg")
            << "Windows Registry Editor Version 5.00\n\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\KR512]\n"
               "\"PrivateFolderSupport\"=dword:00000001\n"
               "\"VenderID\"=dword:00001234\n"
               "\"ProductID\"=dword:00005678\n";
        WriteBytes(DrivePath("e", "MPlay.sys"), ProtectionFileBytes({u"ALPHA"}, 0x1234, 3));
        WriteBytes(DrivePath("f", "MPlay.sys"),
                   ProtectionFileBytes({u"A_FOLDER_NAME_OF_25_UNITS"}, 0x9876, 7));
        PlugDrives({kDriveE, kDriveF});
        OsVersionInfo.MajorVersion = 0;
        VolumeIsFat = false;
    }
    ~WindowActionsTest() override {
        platform::FailReplaceStepForTesting(std::nullopt);
        FrmEditProtect = nullptr;
        DriveTable = DriveTableArray{};
    }

    void ShowActive() {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    // The start-up on the simulated machine, without the modal run.
    void OpenOnDevice() {
        ASSERT_GT(BuildDriveTable(), 0);
        RecordOsVersion();
        w.FillDriveSelector(DriveTable, 7);
        w.ComboBox1->setCurrentIndex(0);
        w.ShowDrive(DriveTable[0], false);
        ShowActive();
    }

    void ChooseDrive(int index) {
        w.ComboBox1->setFocus();
        while (w.ComboBox1->currentIndex() < index) {
            QTest::keyClick(w.ComboBox1, Qt::Key_Down);
        }
    }

    int RowOf(std::u16string_view name) const {
        for (int i = 0; i < w.ListView1->RowCount(); ++i) {
            if (w.ListView1->Row(i).name == name) {
                return i;
            }
        }
        ADD_FAILURE() << "no row";
        return -1;
    }

    void ClickRow(int row) {
        const QModelIndex index = w.ListView1->model()->index(row, 0);
        w.ListView1->scrollTo(index);
        const QRect rect = w.ListView1->visualRect(index);
        QTest::mouseClick(w.ListView1->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void TypePassword(const char* digits) {
        w.MaskEdit1->SetPasswordText("");
        w.MaskEdit1->setFocus();
        w.MaskEdit1->home(false);
        QTest::keyClicks(w.MaskEdit1, digits);
    }

    // The private rows' names in list order, as Save must write them.
    std::vector<std::u16string> PrivateRowNames() const {
        std::vector<std::u16string> names;
        for (int i = 0; i < w.ListView1->RowCount(); ++i) {
            if (w.ListView1->Row(i).stateIndex == 2) {
                names.emplace_back(w.ListView1->Row(i).storedName);
            }
        }
        return names;
    }

    std::vector<std::u16string> Listed() const {
        std::vector<std::u16string> names;
        for (int i = 0; i < w.ListView1->RowCount(); ++i) {
            names.emplace_back(w.ListView1->Row(i).name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::u16string> RecordFolders(std::size_t entry) const {
        std::vector<std::u16string> folders;
        for (const PathSlot& slot : DriveTable[entry].PrivateFolders) {
            if (slot[0] != 0) {
                folders.push_back(SlotText(slot));
            }
        }
        return folders;
    }

    std::intptr_t Notify(std::uintptr_t code = platform::kDbtDeviceArrival) {
        DeviceChangeEvent notice(code);
        QCoreApplication::sendEvent(&w, &notice);
        return notice.Result;
    }

    std::unique_ptr<TFrmEditProtect> window_;
    TFrmEditProtect& w;
    BoxRecorder recorder_;
};

// --- Marking ---------------------------------------------------------------------------

TEST_F(WindowActionsTest, MarkAsPrivateKeepsToSixteenPrivateRows) {
    struct Case {
        const char* name;
        int privateRows;
        bool oneOfThemTooLong; // private from the drive's file, so it counts as well
        bool refused;
    } cases[] = {{"15 plus one", 15, false, false},
                 {"16 plus one", 16, false, true},
                 {"15 with a long name plus one", 15, true, false},
                 {"16 with a long name plus one", 16, true, true}};
    ShowActive();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder_.boxes.clear();
        w.ListView1->Clear();
        for (int i = 0; i < c.privateRows; ++i) {
            const bool tooLong = c.oneOfThemTooLong && i == 0;
            w.ListView1->AppendFolderRow(
                Row(Units(tooLong ? "A_PRIVATE_LONG_NAME_0" : "PRIVATE") + char16_t(u'A' + i), 2));
        }
        w.ListView1->AppendFolderRow(Row(u"PUBLIC", -1));
        w.ListView1->FinishAppending();
        const int candidate = c.privateRows;
        ClickRow(candidate);
        ASSERT_TRUE(w.BitBtn1->isEnabled());

        Click(w.BitBtn1);

        if (c.refused) {
            ASSERT_EQ(recorder_.boxes.size(), 1u);
            EXPECT_EQ(recorder_.boxes[0].text, "Lunavio cannot protect more than 16 folders");
            EXPECT_EQ(recorder_.boxes[0].title, "Lunavio Utility");
            EXPECT_EQ(recorder_.boxes[0].owner, BoxOwner::None);
            EXPECT_EQ(w.ListView1->Row(candidate).stateIndex, -1);
            EXPECT_EQ(w.ListView1->SelectedRow(), candidate);
            EXPECT_TRUE(w.BitBtn1->isEnabled());
        } else {
            EXPECT_THAT(recorder_.boxes, IsEmpty());
            EXPECT_EQ(w.ListView1->Row(candidate).stateIndex, 2);
            EXPECT_EQ(w.ListView1->SelectedRow(), -1);
            EXPECT_FALSE(w.BitBtn1->isEnabled());
        }
        EXPECT_FALSE(w.BitBtn2->isEnabled());
    }
}

TEST_F(WindowActionsTest, MarkAsPrivateOnlyClearsTheSelectionOfRowsItCannotMark) {
    for (int i = 0; i < 16; ++i) {
        w.ListView1->AppendFolderRow(Row(u"PRIVATE" + std::u16string(1, char16_t(u'A' + i)), 2));
    }
    w.ListView1->AppendFolderRow(Row(u"A_NAME_OF_19_UNITS_", -1));
    w.ListView1->FinishAppending();
    ShowActive();

    // A private row does not raise the count: with 16 there is no message.
    ClickRow(3);
    w.BitBtn1->setEnabled(true); // as if the selection had moved without a click
    Click(w.BitBtn1);
    EXPECT_THAT(recorder_.boxes, IsEmpty());
    EXPECT_EQ(w.ListView1->Row(3).stateIndex, 2);
    EXPECT_EQ(w.ListView1->SelectedRow(), -1);

    // A "Name too long" row stays public.
    ClickRow(16);
    w.BitBtn1->setEnabled(true);
    Click(w.BitBtn1);
    EXPECT_EQ(w.ListView1->Row(16).stateIndex, -1);
    EXPECT_EQ(w.ListView1->SelectedRow(), -1);
    EXPECT_FALSE(w.BitBtn1->isEnabled());

    // No selection: both buttons end disabled, nothing else changes.
    w.BitBtn1->setEnabled(true);
    w.BitBtn2->setEnabled(true);
    Click(w.BitBtn2);
    EXPECT_EQ(w.ListView1->Row(0).stateIndex, 2);
    EXPECT_FALSE(w.BitBtn1->isEnabled());
    EXPECT_FALSE(w.BitBtn2->isEnabled());
}

TEST_F(WindowActionsTest, MarkAsPublicRemovesThePadlockAndKeepsTheSelection) {
    w.ListView1->AppendFolderRow(Row(u"MUSIC", 2));
    w.ListView1->AppendFolderRow(Row(u"A_LONG_PRIVATE_NAME_19", 2));
    w.ListView1->FinishAppending();
    ShowActive();
    for (int row : {0, 1}) {
        SCOPED_TRACE(row);
        ClickRow(row);
        ASSERT_TRUE(w.BitBtn2->isEnabled());
        Click(w.BitBtn2);
        EXPECT_EQ(w.ListView1->Row(row).stateIndex, -1);
        EXPECT_EQ(w.ListView1->SelectedRow(), row);
        EXPECT_FALSE(w.BitBtn1->isEnabled());
        EXPECT_FALSE(w.BitBtn2->isEnabled());
    }
    ClickRow(0);
    EXPECT_TRUE(w.BitBtn1->isEnabled()); // markable again
    ClickRow(1);
    EXPECT_FALSE(w.BitBtn1->isEnabled()); // too long to be marked again
}

// --- Saving ----------------------------------------------------------------------------

TEST_F(WindowActionsTest, SaveWritesTheMarkedRowsAndReloadsTheRecord) {
    OpenOnDevice();
    ClickRow(RowOf(u"GAMMA"));
    Click(w.BitBtn1);
    TypePassword("0417");
    Click(w.BitBtn4);

    const std::vector<std::u16string> saved = PrivateRowNames();
    ASSERT_THAT(saved, ::testing::UnorderedElementsAre(u"ALPHA", u"GAMMA"));
    const Bytes expected = ProtectionFileBytes(saved, 0x0417, 3);
    EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), expected);
    ASSERT_EQ(recorder_.boxes.size(), 1u);
    EXPECT_EQ(recorder_.boxes[0].text, "Save to MEDIA (E:\\) OK!");
    EXPECT_EQ(recorder_.boxes[0].title, "Lunavio Utility");
    EXPECT_EQ(recorder_.boxes[0].owner, BoxOwner::Window);

    EXPECT_EQ(DriveTable[0].Password, 0x0417);
    EXPECT_EQ(DriveTable[0].WaitState, 3);
    EXPECT_EQ(RecordFolders(0),
              (std::vector<std::u16string>{u"E:\\" + saved[0], u"E:\\" + saved[1]}));
    // The window stays as it was.
    EXPECT_EQ(w.MaskEdit1->EditText(), "0417");
    EXPECT_EQ(PrivateRowNames(), saved);
    EXPECT_TRUE(w.BitBtn4->isEnabled());

    // Saving again without changes writes the same file.
    Click(w.BitBtn4);
    EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), expected);
    EXPECT_EQ(recorder_.boxes.size(), 2u);
}

TEST_F(WindowActionsTest, SaveRightAfterStartUpWritesTheFirstDrivesStoredWaitState) {
    ASSERT_GT(BuildDriveTable(), 0);
    QTimer::singleShot(0, &w, [this] {
        Click(w.BitBtn4);
        w.close();
    });
    RunSetupWindow(7, DriveTable);
    EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), ProtectionFileBytes({u"ALPHA"}, 0x1234, 3));
    EXPECT_THAT(recorder_.Texts(), ElementsAre("Save to MEDIA (E:\\) OK!"));
}

TEST_F(WindowActionsTest, APrivateRowWithALongNameFromTheFileIsSavedOnItsOwnDrive) {
    OpenOnDevice();
    ChooseDrive(1);
    ASSERT_EQ(w.CurrentDriveLetter, u'F');
    const int longRow = RowOf(u"A_FOLDER_NAME_OF_25_UNITS");
    ASSERT_EQ(w.ListView1->Row(longRow).stateIndex, 2);
    ClickRow(RowOf(u"MUSIC"));
    Click(w.BitBtn1);
    Click(w.BitBtn4);

    const std::vector<std::u16string> saved = PrivateRowNames();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(ReadBytes(DrivePath("f", "MPlay.sys")), ProtectionFileBytes(saved, 0x9876, 7));
    EXPECT_THAT(recorder_.Texts(), ElementsAre("Save to Local Drive (F:\\) OK!"));
    EXPECT_EQ(RecordFolders(1),
              (std::vector<std::u16string>{u"F:\\" + saved[0], u"F:\\" + saved[1]}));
    EXPECT_EQ(RecordFolders(0), (std::vector<std::u16string>{u"E:\\ALPHA"}));
}

TEST_F(WindowActionsTest, SaveChecksTheDriveAndThePasswordFirst) {
    struct Case {
        const char* name;
        const char* typedIntoSelector;
        const char* password;
        const char* message;
        BoxOwner owner;
        bool focusToSelector;
    } cases[] = {
        {"no drive chosen", "X", "1234", "Please choose a drive of Lunavio", BoxOwner::Window,
         true},
        {"password incomplete", nullptr, "12", "Password must be 0000 - 9999", BoxOwner::None,
         false},
        {"password empty", nullptr, "", "Password must be 0000 - 9999", BoxOwner::None, false},
    };
    OpenOnDevice();
    const auto before = ReadBytes(DrivePath("e", "MPlay.sys"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder_.boxes.clear();
        w.MaskEdit1->SetPasswordText(c.password);
        if (c.typedIntoSelector) {
            w.ComboBox1->setFocus();
            QTest::keyClicks(w.ComboBox1->lineEdit(), c.typedIntoSelector);
            ASSERT_EQ(w.ComboBox1->currentIndex(), -1);
        }
        w.BitBtn4->setFocus();
        Click(w.BitBtn4);
        ASSERT_EQ(recorder_.boxes.size(), 1u);
        EXPECT_EQ(recorder_.boxes[0].text, c.message);
        EXPECT_EQ(recorder_.boxes[0].title, "Lunavio Utility");
        EXPECT_EQ(recorder_.boxes[0].owner, c.owner);
        const QWidget* focused = QApplication::focusWidget();
        EXPECT_EQ(focused == w.ComboBox1 || w.ComboBox1->isAncestorOf(focused), c.focusToSelector);
        EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), before);
        w.ComboBox1->setCurrentIndex(0);
    }
}

std::string SaveFailedBecause(const std::string& cause) {
    return "Could not save to MEDIA (E:\\). " + cause + " Its settings were not changed.";
}

TEST_F(WindowActionsTest, AFailedReplacementKeepsTheOldFileAndSaysWhy) {
    struct Case {
        platform::ReplaceStep step;
        int error;
        const char* cause;
    } const cases[] = {
        {platform::ReplaceStep::Write, ENOSPC, "The drive is full."},
        {platform::ReplaceStep::Create, EROFS, "The drive is write-protected or read-only."},
        {platform::ReplaceStep::Flush, EIO, "The drive was removed or does not respond."},
        {platform::ReplaceStep::Create, EACCES,
         "You do not have permission to change MPlay.sys on this drive."},
        {platform::ReplaceStep::Replace, EMFILE,
         "Replacing the old file failed: Too many open files."},
    };
    const Bytes old = ProtectionFileBytes({u"ALPHA"}, 0x1234, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cause);
        recorder_.boxes.clear();
        OpenOnDevice();
        ClickRow(RowOf(u"BETA"));
        Click(w.BitBtn1);
        TypePassword("5555");
        platform::FailReplaceStepForTesting(c.step, c.error);
        Click(w.BitBtn4);
        platform::FailReplaceStepForTesting(std::nullopt);

        EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), old);
        EXPECT_THAT(QDir(DrivePath("e")).entryList(QDir::Files), ElementsAre("MPlay.sys"));
        EXPECT_THAT(recorder_.Texts(), ElementsAre(SaveFailedBecause(c.cause)));
        EXPECT_EQ(recorder_.boxes[0].title, "Lunavio Utility");
        EXPECT_EQ(recorder_.boxes[0].owner, BoxOwner::Window);
        EXPECT_EQ(DriveTable[0].Password, 0x1234);
        EXPECT_EQ(RecordFolders(0), (std::vector<std::u16string>{u"E:\\ALPHA"}));
        EXPECT_EQ(w.MaskEdit1->EditText(), "5555");
    }
}

// This process holds the drive's save lock as a stopped program would: the save gives up after
// a bounded wait, during which the window's own events (here a timer) go on running.
TEST_F(WindowActionsTest, ASaveLockHeldElsewhereFailsTheSaveAndTheWindowKeepsRunning) {
    OpenOnDevice();
    const auto old = ReadBytes(DrivePath("e", "MPlay.sys"));
    ClickRow(RowOf(u"BETA"));
    Click(w.BitBtn1);
    const int folder = ::open(DrivePath("e").toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    platform::InstallQtLockWait();
    bool timerRan = false;
    QTimer::singleShot(50, [&timerRan] { timerRan = true; });
    Click(w.BitBtn4);
    platform::SetLockWaitHook({});
    ::close(folder);

    EXPECT_TRUE(timerRan);
    EXPECT_THAT(recorder_.Texts(),
                ElementsAre(SaveFailedBecause("Another program is saving to this drive.")));
    EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), old);
    EXPECT_THAT(QDir(DrivePath("e")).entryList(QDir::Files), ElementsAre("MPlay.sys"));
}

bool RunCommand(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Root writes into read-only folders; a read-only mount stops it where the machine allows one.
TEST_F(WindowActionsTest, SavingOntoAReadOnlyDriveKeepsTheOldFileAndSaysSo) {
    const QString mountPoint = machineRoot + "/readonly";
    QDir().mkpath(mountPoint);
    if (!RunCommand("mount", {"--bind", DrivePath("e"), mountPoint})) {
        GTEST_SKIP() << "no bind mounts on this machine";
    }
    struct Unmount {
        QString path;
        ~Unmount() { RunCommand("umount", {path}); }
    } unmount{mountPoint};
    if (!RunCommand("mount", {"-o", "remount,bind,ro", mountPoint})) {
        GTEST_SKIP() << "no read-only remounts on this machine";
    }
    PlugDrives({Line('E', "readonly", "MEDIA", "FAT32"), kDriveF});
    OpenOnDevice();
    ClickRow(RowOf(u"BETA"));
    Click(w.BitBtn1);
    Click(w.BitBtn4);
    EXPECT_EQ(ReadBytes(mountPoint + "/MPlay.sys"), ProtectionFileBytes({u"ALPHA"}, 0x1234, 3));
    EXPECT_THAT(recorder_.Texts(),
                ElementsAre(SaveFailedBecause("The drive is write-protected or read-only.")));
    EXPECT_EQ(RecordFolders(0), (std::vector<std::u16string>{u"E:\\ALPHA"}));
}

// A small memory file system filled up, where the machine lets the test mount one.
TEST_F(WindowActionsTest, SavingOntoAFullDriveKeepsTheOldFileAndSaysSo) {
    const QString mountPoint = machineRoot + "/full";
    QDir().mkpath(mountPoint);
    if (!RunCommand("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint})) {
        GTEST_SKIP() << "no tmpfs mounts on this machine";
    }
    struct Unmount {
        QString path;
        ~Unmount() { RunCommand("umount", {path}); }
    } unmount{mountPoint};
    QDir(mountPoint).mkpath("BETA");
    const Bytes old = ProtectionFileBytes({u"ALPHA"}, 0x1234, 3);
    WriteBytes(mountPoint + "/MPlay.sys", old);
    {
        std::ofstream filler((mountPoint + "/filler").toStdString(), std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
               filler.flush()) {
        }
    }
    PlugDrives({Line('E', "full", "MEDIA", "FAT32"), kDriveF});
    OpenOnDevice();
    ClickRow(RowOf(u"BETA"));
    Click(w.BitBtn1);
    Click(w.BitBtn4);
    EXPECT_EQ(ReadBytes(mountPoint + "/MPlay.sys"), old);
    EXPECT_THAT(recorder_.Texts(), ElementsAre(SaveFailedBecause("The drive is full.")));
    EXPECT_THAT(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden),
                UnorderedElementsAre("MPlay.sys", "filler"));
}

TEST_F(WindowActionsTest, AWriterRefusalShowsOnlyTheWritersMessage) {
    OpenOnDevice();
    w.ListView1->AppendFolderRow(Row(u"A_NAME_OF_THIRTY_ONE_UNITS_LONG", 2));
    w.ListView1->FinishAppending();
    Click(w.BitBtn4);
    EXPECT_THAT(recorder_.Texts(),
                ElementsAre("Folders to be protected cannot more than 30 characters."));
    EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), ProtectionFileBytes({u"ALPHA"}, 0x1234, 3));
}

// --- Following the device --------------------------------------------------------------

TEST_F(WindowActionsTest, EveryNoticeIsAnsweredTrueAndOnlyArrivalAndRemovalRefresh) {
    struct Case {
        std::uintptr_t code;
        bool refreshes;
    } cases[] = {{0x8000, true}, {0x8004, true}, {0x0007, false}, {0x8001, false}, {0x8003, false}};
    OpenOnDevice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        PlugDrives({kDriveE, kDriveF});
        Notify();
        PlugDrives({kDriveE, kDriveF, kDriveG});
        EXPECT_EQ(Notify(c.code), 1);
        EXPECT_EQ(w.ComboBox1->count(), c.refreshes ? 3 : 2);
    }
    EXPECT_THAT(recorder_.boxes, IsEmpty());
}

TEST_F(WindowActionsTest, ARefreshKeepsTheChosenDriveWhileItsLabelIsListed) {
    OpenOnDevice();
    ChooseDrive(1);
    ClickRow(RowOf(u"MUSIC"));
    Click(w.BitBtn1); // an unsaved mark is dropped by the refresh
    w.BitBtn2->setEnabled(true);

    PlugDrives({Line('D', "g", "BACKUP", "NTFS"), kDriveE, kDriveF}); // F moves to entry 2
    Notify();
    EXPECT_THAT(recorder_.boxes, IsEmpty());
    EXPECT_EQ(w.ComboBox1->count(), 3);
    EXPECT_EQ(w.ComboBox1->currentIndex(), 2);
    EXPECT_EQ(w.ComboBox1->currentText(), "Local Drive (F:\\)");
    EXPECT_EQ(w.CurrentDriveLetter, u'F');
    EXPECT_EQ(w.LabeledEdit1->text(), "7");
    EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"A_FOLDER_NAME_OF_25_UNITS", u"MOVIES",
                                                     u"MUSIC", u"PHOTOS"}));
    EXPECT_EQ(w.ListView1->Row(RowOf(u"MUSIC")).stateIndex, -1);
    EXPECT_TRUE(w.BitBtn2->isEnabled()); // the mark buttons are not touched
}

TEST_F(WindowActionsTest, WhenTheChosenDriveGoesTheFirstIsChosenWithAMessage) {
    struct Case {
        const char* name;
        std::vector<std::string> after;
        int chosen;
        const char* message;
        char16_t letter;
        const char* waitState;
    } cases[] = {
        {"F pulled",
         {kDriveE},
         1,
         "Local Drive (F:\\) is not found. Change the current drive to MEDIA (E:\\)",
         u'E',
         "3"},
        {"E relabelled",
         {Line('E', "e", "FILMS", "FAT32"), kDriveF},
         0,
         "MEDIA (E:\\) is not found. Change the current drive to FILMS (E:\\)",
         u'E',
         "3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder_.boxes.clear();
        PlugDrives({kDriveE, kDriveF});
        OpenOnDevice();
        ChooseDrive(c.chosen);
        PlugDrives(c.after);
        Notify(platform::kDbtDeviceRemoveComplete);
        ASSERT_EQ(recorder_.boxes.size(), 1u);
        EXPECT_EQ(recorder_.boxes[0].text, c.message);
        EXPECT_EQ(recorder_.boxes[0].title, "Private folder setup Ver.1.01");
        EXPECT_EQ(recorder_.boxes[0].owner, BoxOwner::Window);
        EXPECT_EQ(w.ComboBox1->currentIndex(), 0);
        EXPECT_EQ(w.CurrentDriveLetter, c.letter);
        EXPECT_EQ(w.LabeledEdit1->text(), c.waitState);
        EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"ALPHA", u"BETA", u"GAMMA"}));
        EXPECT_EQ(w.MaskEdit1->EditText(), "1234");
        EXPECT_TRUE(w.BitBtn4->isEnabled());
    }
    // Save now writes E's own stored wait state.
    recorder_.boxes.clear();
    Click(w.BitBtn4);
    EXPECT_EQ(ReadBytes(DrivePath("e", "MPlay.sys")), ProtectionFileBytes({u"ALPHA"}, 0x1234, 3));
}

TEST_F(WindowActionsTest, PullingEverythingGivesTheNoDriveStateAndPluggingBackChoosesTheFirst) {
    OpenOnDevice();
    ChooseDrive(1);
    w.BitBtn1->setEnabled(true);
    PlugDrives({});
    Notify(platform::kDbtDeviceRemoveComplete);
    EXPECT_EQ(w.ComboBox1->count(), 0);
    EXPECT_EQ(w.ComboBox1->currentText(), " --- No avaliable drive ---");
    EXPECT_EQ(w.ListView1->RowCount(), 0);
    EXPECT_FALSE(w.BitBtn4->isEnabled());
    EXPECT_TRUE(w.BitBtn1->isEnabled());
    EXPECT_EQ(w.CurrentDriveLetter, u'F');
    EXPECT_EQ(DriveTable[0].DriveLetter, 0);

    PlugDrives({kDriveG});
    Notify();
    EXPECT_THAT(recorder_.boxes, IsEmpty());
    EXPECT_EQ(w.ComboBox1->currentText(), "BACKUP (G:\\)");
    EXPECT_EQ(w.CurrentDriveLetter, u'G');
    EXPECT_EQ(w.ListView1->RowCount(), 1);
    EXPECT_TRUE(w.BitBtn4->isEnabled());
}

TEST_F(WindowActionsTest, AWindowOpenedWithoutDrivesRecordsTheVersionBeforeListing) {
    PlugDrives({});
    ASSERT_EQ(BuildDriveTable(), 0);
    SetNoDriveState(w);
    ShowActive();
    PlugDrives({kDriveE});
    Notify();
    EXPECT_THAT(recorder_.boxes, IsEmpty());
    EXPECT_EQ(OsVersionInfo.MajorVersion, platform::OsMajorVersion());
    EXPECT_EQ(w.ComboBox1->currentIndex(), 0);
    EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"ALPHA", u"BETA", u"GAMMA"}));
    EXPECT_FALSE(VolumeIsFat); // only the start-up sets it
}

TEST_F(WindowActionsTest, TheNoDriveStateSaysWhyAndNamesTheCommandForDetails) {
    const auto why = [this] {
        EXPECT_EQ(w.ComboBox1->currentText(), " --- No avaliable drive ---");
        EXPECT_EQ(w.ComboBox1->accessibleDescription(), w.ComboBox1->toolTip());
        return w.ComboBox1->toolTip().toStdString();
    };
    PlugDrives({"E\te\tUSB\\VID_9999&PID_9999\\1\n"});
    ASSERT_EQ(BuildDriveTable(), 0);
    SetNoDriveState(w);
    EXPECT_EQ(why(), "No supported disk is among the mounted volumes; run \"private-folders "
                     "drives\" for details.");

    const QString registry = machineRoot + "/hkcu.reg";
    QFile::rename(registry, registry + ".away");
    ASSERT_EQ(BuildDriveTable(), 0);
    SetNoDriveState(w);
    EXPECT_EQ(why(), "No model list was found (looked for " + registry.toStdString() +
                         "); run \"private-folders drives\" for details.");

    QFile::rename(registry + ".away", registry);
    PlugDrives({kDriveE});
    Notify();
    EXPECT_TRUE(w.ComboBox1->toolTip().isEmpty());
    EXPECT_TRUE(w.ComboBox1->accessibleDescription().isEmpty());
}

TEST_F(WindowActionsTest, TypedSelectorTextChoosesTheEntryOfExactlyThatTextWithoutAMessage) {
    struct Case {
        const char* typed;
        char16_t letter;
    } cases[] = {{"Local Drive (F:\\)", u'F'}, {"local drive (f:\\)", u'E'}, {"ELSEWHERE", u'E'}};
    OpenOnDevice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        w.ComboBox1->setFocus();
        w.ComboBox1->lineEdit()->selectAll();
        QTest::keyClicks(w.ComboBox1->lineEdit(), c.typed);
        ASSERT_EQ(w.ComboBox1->currentIndex(), -1);
        Notify();
        EXPECT_THAT(recorder_.boxes, IsEmpty());
        EXPECT_EQ(w.CurrentDriveLetter, c.letter);
        EXPECT_EQ(w.ComboBox1->currentIndex(), c.letter == u'F' ? 1 : 0);
    }
}

TEST_F(WindowActionsTest, ABurstOfNoticesEndsInOneConsistentWindow) {
    OpenOnDevice();
    ChooseDrive(1);
    PlugDrives({kDriveE, kDriveF, kDriveG});
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::postEvent(&w, new DeviceChangeEvent(platform::kDbtDeviceArrival));
    }
    QCoreApplication::sendPostedEvents(&w);
    EXPECT_THAT(recorder_.boxes, IsEmpty());
    EXPECT_EQ(w.ComboBox1->count(), 3);
    EXPECT_EQ(w.CurrentDriveLetter, u'F');
    EXPECT_EQ(w.ListView1->RowCount(), 4);
}

// A notice while a box is open runs a whole refresh inside it; the interrupted code then
// must not act on a drive or an entry that has gone.
TEST_F(WindowActionsTest, ANoticeDuringTheRefreshsOwnMessageLeavesTheNewerState) {
    struct Case {
        const char* name;
        std::vector<std::string> duringMessage;
        int entries;
        int current;
        char16_t letter;
        int rows;
    } cases[] = {{"everything pulled", {}, 0, -1, u'F', 0},
                 {"G plugged", {kDriveE, kDriveG}, 2, 0, u'E', 3},
                 {"F plugged back", {kDriveE, kDriveF}, 2, 1, u'F', 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlugDrives({kDriveE, kDriveF});
        OpenOnDevice();
        ChooseDrive(1);
        recorder_.boxes.clear();
        recorder_.whileOpen = [&] {
            PlugDrives(c.duringMessage);
            Notify();
        };
        PlugDrives({kDriveE});
        Notify(platform::kDbtDeviceRemoveComplete);
        EXPECT_EQ(recorder_.boxes.size(), 1u);
        EXPECT_EQ(w.ComboBox1->count(), c.entries);
        EXPECT_EQ(w.ComboBox1->currentIndex(), c.current);
        EXPECT_EQ(w.CurrentDriveLetter, c.letter);
        EXPECT_EQ(w.BitBtn4->isEnabled(), c.entries != 0);
        EXPECT_EQ(w.ListView1->RowCount(), c.rows);
    }
}

TEST_F(WindowActionsTest, ANoticeDuringTheSavesMessagesTouchesNoGoneDrive) {
    struct Case {
        const char* name;
        bool refusal; // the writer's own message; else the success message
    } cases[] = {{"writer's refusal", true}, {"success", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlugDrives({kDriveE, kDriveF});
        OpenOnDevice();
        ChooseDrive(1);
        if (c.refusal) {
            w.ListView1->AppendFolderRow(Row(u"A_NAME_OF_THIRTY_ONE_UNITS_LONG", 2));
            w.ListView1->FinishAppending();
        }
        recorder_.boxes.clear();
        recorder_.whileOpen = [this] {
            PlugDrives({kDriveE, kDriveG}); // F goes; entry 1 is now G
            Notify(platform::kDbtDeviceRemoveComplete);
        };
        Click(w.BitBtn4);
        EXPECT_EQ(recorder_.boxes.size(), 2u); // the save's box, then the refresh's
        EXPECT_EQ(w.ComboBox1->count(), 2);
        EXPECT_EQ(w.CurrentDriveLetter, u'E');
        EXPECT_EQ(DriveTable[1].DriveLetter, u'G');
        EXPECT_THAT(RecordFolders(1), IsEmpty());
        EXPECT_EQ(DriveTable[1].Password, 0);
        EXPECT_EQ(DriveTable[1].WaitState, 0); // not F's, although F's wait state was saved
        EXPECT_EQ(RecordFolders(0), (std::vector<std::u16string>{u"E:\\ALPHA"}));
        EXPECT_EQ(ReadBytes(DrivePath("f", "MPlay.sys")),
                  ProtectionFileBytes({u"A_FOLDER_NAME_OF_25_UNITS"}, 0x9876, 7));
    }
}

TEST_F(WindowActionsTest, ANoticeDuringTheLimitAndPasswordBoxesRefreshesAtOnce) {
    OpenOnDevice();
    ChooseDrive(1);
    struct Case {
        const char* name;
        std::function<void()> openBox;
    } cases[] = {
        {"limit message",
         [this] {
             for (int i = 0; i < 17; ++i) {
                 w.ListView1->AppendFolderRow(
                     Row(u"X" + std::u16string(1, char16_t(u'A' + i)), i < 16 ? 2 : -1));
             }
             w.ListView1->FinishAppending();
             w.ListView1->selectionModel()->select(
                 w.ListView1->model()->index(w.ListView1->RowCount() - 1, 0),
                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
             w.BitBtn1Click();
         }},
        {"password box's input check",
         [this] {
             w.MaskEdit1->setFocus();
             w.MaskEdit1->end(false);
             QTest::keyClick(w.MaskEdit1, Qt::Key_Backspace);
             QTest::keyClick(w.MaskEdit1, Qt::Key_Tab);
             QTRY_VERIFY(!recorder_.boxes.empty());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlugDrives({kDriveE, kDriveF});
        Notify();
        ChooseDrive(1);
        recorder_.boxes.clear();
        recorder_.whileOpen = [this] {
            PlugDrives({kDriveE});
            Notify(platform::kDbtDeviceRemoveComplete);
        };
        c.openBox();
        ASSERT_EQ(recorder_.boxes.size(), 2u);
        EXPECT_EQ(recorder_.boxes[1].text,
                  "Local Drive (F:\\) is not found. Change the current drive to MEDIA (E:\\)");
        EXPECT_EQ(w.ComboBox1->count(), 1);
        EXPECT_EQ(w.CurrentDriveLetter, u'E');
        EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"ALPHA", u"BETA", u"GAMMA"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir machine;
    machineRoot = machine.filePath("machine");
    QDir().mkpath(machineRoot);
    qputenv("LUNAVIO_SIMULATION", (machineRoot + "/lunavio.sim").toLocal8Bit());
    qputenv("LUNAVIO_REGISTRY", (machineRoot + "/hkcu.reg").toLocal8Bit());

    lunavio_test::UseOffscreenPlatformUnlessChosen();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
