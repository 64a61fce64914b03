#pragma once
// What the tests of the window on Qt Widgets share: the window as the program builds it, with
// the drive table's refresh as its device-change hook, on a simulated machine of three drives
// that the tests plug and pull, its boxes recorded instead of shown; real widgets, clicks and
// keys, offscreen.

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/qt/QtEditProtectForm.h"
#include "OffscreenPlatform.h"
#include "ProtectionFileFixtures.h"
#include "app/DriveTable.h"
#include "app/RefreshDriveTable.h"
#include "platform/MessageBox.h"
#include "platform/qt/DeviceNoticeSource.h"
#include "platform/qt/QtMessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lunavio_test {

// The simulated machine's folder, set by RunQtWindowTests.
inline QString& MachineRoot() {
    static QString root;
    return root;
}

inline QString DrivePath(const char* drive, const char* file = nullptr) {
    const QString path = MachineRoot() + '/' + drive;
    return file ? path + '/' + file : path;
}

inline void WriteBytes(const QString& path, const Bytes& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A simulation line of a drive of the one USB device that the registry names.
inline std::string DriveLine(char letter, const char* folder, const char* label,
                             const char* fileSystem) {
    return std::string{letter} + '\t' + folder + "\tUSB\\VID_1234&PID_5678\\1\t1\t" + label + '\t' +
           fileSystem + '\n';
}
inline const std::string kDriveE = DriveLine('E', "e", "MEDIA", "FAT32");
inline const std::string kDriveF = DriveLine('F', "f", "", "NTFS");
inline const std::string kDriveG = DriveLine('G', "g", "BACKUP", "NTFS");

// Replaces the simulation file in one step, as an editor would.
inline void PlugDrives(const std::vector<std::string>& lines) {
    QSaveFile file(MachineRoot() + "/lunavio.sim");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const std::string& line : lines) {
        file.write(line.data(), static_cast<qint64>(line.size()));
    }
    ASSERT_TRUE(file.commit());
}

// Drives E (MEDIA, FAT32: ALPHA private, password 1234, wait state 3), F (no label, NTFS:
// A_FOLDER_NAME_OF_25_UNITS private, 9876, 7) and G (BACKUP, NTFS, no file); E and F plugged.
inline void ResetMachine() {
    QDir(MachineRoot()).removeRecursively();
    for (const char* folder : {"e/ALPHA", "e/BETA", "e/GAMMA", "f/MOVIES", "f/MUSIC", "f/PHOTOS",
                               "f/A_FOLDER_NAME_OF_25_UNITS", "g/ARCHIVE"}) {
        QDir(MachineRoot()).mkpath(folder);
    }
    std::ofstream((MachineRoot() + "/hkcu.reg").toStdString())
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Zembar\\KR512]\n"
           "\"PrivateFolderSupport\"=dword:00000001\n"
           "\"VenderID\"=dword:00001234\n"
           "\"ProductID\"=dword:00005678\n";
    WriteBytes(DrivePath("e", "MPlay.sys"), ProtectionFileBytes({u"ALPHA"}, 0x1234, 3));
    WriteBytes(DrivePath("f", "MPlay.sys"),
               ProtectionFileBytes({u"A_FOLDER_NAME_OF_25_UNITS"}, 0x9876, 7));
    PlugDrives({kDriveE, kDriveF});
}

// Records the boxes instead of showing them; whileOpen runs once inside the next box, as a
// notice delivered while a real box's event loop runs. Puts back the handler it found.
class BoxRecorder {
public:
    BoxRecorder()
        : previous_(platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& box) {
              boxes.push_back(box);
              if (auto hook = std::exchange(whileOpen, nullptr)) {
                  hook();
              }
          })) {}
    ~BoxRecorder() { platform::SetMessageBoxHandler(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const platform::MessageBoxRequest& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<platform::MessageBoxRequest> boxes;
    std::function<void()> whileOpen;

private:
    platform::MessageBoxHandler previous_;
};

// Real message boxes for as long as it lives, each answered with Return as soon as it is the
// active modal window, after whileOpen (when set) has returned true for it.
class AnsweredBoxes {
public:
    struct Box {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        const QWidget* owner;
    };

    AnsweredBoxes() : previous_(platform::SetMessageBoxHandler({})) {
        platform::InstallQtMessageBoxes(&QtEditProtectForm::Current);
        answerer_.setInterval(10);
        QObject::connect(&answerer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || (whileOpen && !whileOpen())) {
                return;
            }
            boxes.push_back({box->text(), box->windowTitle(), box->icon(), box->parentWidget()});
            QTest::keyClick(box, Qt::Key_Return);
        });
        answerer_.start();
    }
    ~AnsweredBoxes() { platform::SetMessageBoxHandler(previous_); }
    AnsweredBoxes(const AnsweredBoxes&) = delete;
    AnsweredBoxes& operator=(const AnsweredBoxes&) = delete;

    std::vector<Box> boxes;
    std::function<bool()> whileOpen;

private:
    platform::MessageBoxHandler previous_;
    QTimer answerer_;
};

inline std::unique_ptr<TFormControls> QtForm(TFrmEditProtect& window) {
    return std::make_unique<QtEditProtectForm>(window);
}

class QtWindowTest : public ::testing::Test {
protected:
    QtWindowTest()
        : window(QtForm), form(static_cast<QtEditProtectForm&>(window.Controls())), ui(form.ui) {
        ResetMachine();
        window.DeviceChangeRefresh = RefreshDriveTable;
        FrmEditProtect = &window;
        OsVersionInfo.MajorVersion = 0;
        VolumeIsFat = false;
    }
    ~QtWindowTest() override {
        FrmEditProtect = nullptr;
        DriveTable = DriveTableArray{};
    }

    void ShowActive() {
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    // The start-up on the simulated machine, without the modal run.
    void OpenOnDevice() {
        ASSERT_GT(BuildDriveTable(), 0);
        RecordOsVersion();
        window.FillDriveSelector(DriveTable, static_cast<int>(kDriveTableEntries));
        window.ComboBox1.SetItemIndex(0);
        window.ShowDrive(DriveTable[0], false);
        ShowActive();
    }

    QWidget* Focused() const { return QApplication::focusWidget(); }
    bool SelectorFocused() const {
        QWidget* focused = Focused();
        return focused == ui.ComboBox1 || ui.ComboBox1->isAncestorOf(focused);
    }

    void ClickRow(int row) {
        const QModelIndex index = ui.ListView1->model()->index(row, 0);
        ui.ListView1->scrollTo(index);
        QTest::mouseClick(ui.ListView1->viewport(), Qt::LeftButton, {},
                          ui.ListView1->visualRect(index).center());
    }

    int RowOf(std::u16string_view name) const {
        for (std::size_t i = 0; i < window.ListView1.RowCount(); ++i) {
            if (window.ListView1.Row(i).name == name) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no row";
        return -1;
    }

    // The listed names, sorted.
    std::vector<std::u16string> Listed() const {
        std::vector<std::u16string> names;
        for (std::size_t i = 0; i < window.ListView1.RowCount(); ++i) {
            names.emplace_back(window.ListView1.Row(i).name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    BoxRecorder recorder;
    TFrmEditProtect window;
    QtEditProtectForm& form;
    QtFormWidgets& ui;
};

// The main of a Qt window test: one simulated machine for the whole run.
inline int RunQtWindowTests(int argc, char* argv[]) {
    const QTemporaryDir machine;
    MachineRoot() = machine.filePath("machine");
    QDir().mkpath(MachineRoot());
    qputenv("LUNAVIO_SIMULATION", (MachineRoot() + "/lunavio.sim").toLocal8Bit());
    qputenv("LUNAVIO_REGISTRY", (MachineRoot() + "/hkcu.reg").toLocal8Bit());

    UseOffscreenPlatformUnlessChosen();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace lunavio_test
