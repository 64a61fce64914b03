#pragma once
// What the tests of the window on Qt Widgets share: the window as the program builds it, with
// the drive table's refresh as its device-change hook, on the machine of WindowFixture.h with
// its boxes recorded; real widgets, clicks and keys, offscreen.

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/qt/QtEditProtectForm.h"
#include "OffscreenPlatform.h"
#include "WindowFixture.h"
#include "app/DriveTable.h"
#include "app/RefreshDriveTable.h"
#include "platform/qt/QtMessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lunavio_test {

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

    DeviceMachine machine;
    BoxRecorder recorder;
    TFrmEditProtect window;
    QtEditProtectForm& form;
    QtFormWidgets& ui;
};

// The main of a Qt window test.
inline int RunQtWindowTests(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessChosen();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace lunavio_test
