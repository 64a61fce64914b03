// The window's handlers reached through Qt: clicks and keys on the real widgets, device
// notices through Qt's event queue and errors in Qt's boxes; offscreen, on a simulated machine
// whose drives the tests plug and pull.

#include "QtWindowFixture.h"
#include "app/Texts.h"
#include "platform/qt/DeviceNoticeSource.h"
#include "platform/qt/QtLockWait.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

using lunavio_test::AnsweredBoxes;
using lunavio_test::kDriveE;
using lunavio_test::kDriveF;
using lunavio_test::kDriveG;
using lunavio_test::ProtectionFileBytes;
using lunavio_test::ReadBytes;
using platform::DeviceChangeEvent;
using ::testing::ElementsAre;

class WindowActionsTest : public lunavio_test::QtWindowTest {
protected:
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void TypePassword(const char* digits) {
        ui.MaskEdit1->SetText("");
        ui.MaskEdit1->setFocus();
        ui.MaskEdit1->home(false);
        QTest::keyClicks(ui.MaskEdit1, digits);
    }
};

// One user action per handler, each seen by its effect.
TEST_F(WindowActionsTest, EachControlRunsItsHandlerWhenTheUserUsesIt) {
    OpenOnDevice();
    const int beta = RowOf(u"BETA");

    // A click in the list enables the mark that fits; the keyboard moves without a click.
    ClickRow(beta);
    EXPECT_TRUE(ui.BitBtn1->isEnabled());
    EXPECT_FALSE(ui.BitBtn2->isEnabled());
    QTest::keyClick(ui.ListView1, beta == 0 ? Qt::Key_End : Qt::Key_Home);
    EXPECT_NE(ui.ListView1->SelectedRow(), beta);
    EXPECT_TRUE(ui.BitBtn1->isEnabled());
    // A click below the rows selects none.
    QTest::mouseClick(ui.ListView1->viewport(), Qt::LeftButton, {},
                      QPoint(10, ui.ListView1->viewport()->height() - 5));
    EXPECT_EQ(ui.ListView1->SelectedRow(), -1);
    EXPECT_FALSE(ui.BitBtn1->isEnabled());

    ClickRow(beta);
    Click(ui.BitBtn1); // "Mark as Private"
    EXPECT_TRUE(ui.ListView1->Row(static_cast<std::size_t>(beta)).IsPrivate());
    EXPECT_EQ(ui.ListView1->SelectedRow(), -1);
    ClickRow(beta);
    ASSERT_TRUE(ui.BitBtn2->isEnabled());
    Click(ui.BitBtn2); // "Mark as Public"
    EXPECT_FALSE(ui.ListView1->Row(static_cast<std::size_t>(beta)).IsPrivate());
    EXPECT_EQ(ui.ListView1->SelectedRow(), beta);
    EXPECT_FALSE(ui.BitBtn2->isEnabled());

    TypePassword("0417");
    Click(ui.BitBtn4); // "Save"
    EXPECT_EQ(ReadBytes(machine.Folder("e") / "MPlay.sys"),
              ProtectionFileBytes({u"ALPHA"}, 0x0417, 3));
    EXPECT_THAT(recorder.Texts(), ElementsAre("Save to MEDIA (E:\\) OK!"));

    // The selector, by keyboard and by the mouse in its list.
    ui.ComboBox1->setFocus();
    QTest::keyClick(ui.ComboBox1, Qt::Key_Down);
    EXPECT_EQ(window.CurrentDriveLetter, u'F');
    EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"A_FOLDER_NAME_OF_25_UNITS", u"MOVIES",
                                                     u"MUSIC", u"PHOTOS"}));
    EXPECT_EQ(ui.LabeledEdit1->text(), "7");
    ui.ComboBox1->showPopup();
    QAbstractItemView* entries = ui.ComboBox1->view();
    ASSERT_TRUE(QTest::qWaitFor([entries] { return entries->isVisible(); }));
    QTest::mouseClick(entries->viewport(), Qt::LeftButton, {},
                      entries->visualRect(entries->model()->index(0, 0)).center());
    EXPECT_EQ(window.CurrentDriveLetter, u'E');
    EXPECT_EQ(ui.ComboBox1->currentText(), "MEDIA (E:\\)");
    EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"ALPHA", u"BETA", u"GAMMA"}));
}

// Typed text stands for no entry: the selector keeps the text, the list stays as it was, and
// Return adds nothing.
TEST_F(WindowActionsTest, TypingIntoTheSelectorLeavesNoEntryCurrentAndTheListAsItWas) {
    OpenOnDevice();
    ui.ComboBox1->setFocus();
    ui.ComboBox1->lineEdit()->end(false);

    QTest::keyClicks(ui.ComboBox1->lineEdit(), "xy");
    EXPECT_EQ(ui.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(ui.ComboBox1->currentText(), "MEDIA (E:\\)xy");
    EXPECT_EQ(ui.ComboBox1->lineEdit()->cursorPosition(), ui.ComboBox1->currentText().size());
    QTest::keyClick(ui.ComboBox1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(ui.ComboBox1->count(), 2);
    EXPECT_EQ(ui.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"ALPHA", u"BETA", u"GAMMA"}));
    EXPECT_EQ(window.CurrentDriveLetter, u'E');
    EXPECT_TRUE(form.isVisible());
}

// The notices as the program receives them: posted by the source that watches the machine,
// handled by the modal run and by the loop of a box that is open, here the password box's.
TEST_F(WindowActionsTest, NoticesThroughTheEventQueueReachTheHookAlsoInsideABox) {
    new platform::DeviceNoticeSource(&form); // a child of the form, as the program makes it
    OpenOnDevice();
    machine.Plug({kDriveE, kDriveF, kDriveG});
    ASSERT_TRUE(QTest::qWaitFor([this] { return ui.ComboBox1->count() == 3; }, 10000));

    AnsweredBoxes boxes;
    bool plugged = false;
    boxes.whileOpen = [&] {
        if (!std::exchange(plugged, true)) {
            machine.Plug({kDriveE, kDriveF});
        }
        return ui.ComboBox1->count() == 2; // answered once the refresh has run inside it
    };
    ui.MaskEdit1->setFocus();
    ui.MaskEdit1->end(false);
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Backspace);
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.boxes.empty(); }, 10000));
    EXPECT_EQ(boxes.boxes[0].text, kInvalidInputText);
    EXPECT_EQ(window.CurrentDriveLetter, u'E');

    // The message is answered as the window's hook answers it.
    for (const std::uintptr_t code : {platform::kDbtDeviceArrival, std::uintptr_t{0x0007}}) {
        DeviceChangeEvent notice(code);
        QCoreApplication::sendEvent(&form, &notice);
        EXPECT_EQ(notice.message.Result, 1);
    }
}

TEST_F(WindowActionsTest, AnErrorInAHandlerIsShownInTheToolkitsErrorBoxAndTheWindowGoesOn) {
    ShowActive();
    AnsweredBoxes boxes;
    window.DeviceChangeRefresh = [] { throw std::runtime_error("Out of memory"); };
    DeviceChangeEvent notice(platform::kDbtDeviceArrival);
    QCoreApplication::sendEvent(&form, &notice);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Out of memory");
    EXPECT_EQ(boxes.boxes[0].title, kProgramTitle);
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.boxes[0].owner, &form);
    EXPECT_TRUE(form.isVisible());

    window.DeviceChangeRefresh = RefreshDriveTable;
    QCoreApplication::sendEvent(&form, &notice);
    EXPECT_EQ(ui.ComboBox1->count(), 2);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

// This process holds the drive's save lock as a stopped program would: the save gives up after
// a bounded wait, during which the window's own events (here a timer) go on running.
TEST_F(WindowActionsTest, ASaveLockHeldElsewhereFailsTheSaveAndTheWindowKeepsRunning) {
    OpenOnDevice();
    const auto old = ReadBytes(machine.Folder("e") / "MPlay.sys");
    ClickRow(RowOf(u"BETA"));
    Click(ui.BitBtn1);
    const int folder = ::open(machine.Folder("e").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    platform::InstallQtLockWait();
    bool timerRan = false;
    QTimer::singleShot(50, [&timerRan] { timerRan = true; });
    Click(ui.BitBtn4);
    platform::SetLockWaitHook({});
    ::close(folder);

    EXPECT_TRUE(timerRan);
    EXPECT_THAT(recorder.Texts(), ElementsAre("Could not save to MEDIA (E:\\). Another program is "
                                              "saving to this drive. Its settings were not "
                                              "changed."));
    EXPECT_EQ(ReadBytes(machine.Folder("e") / "MPlay.sys"), old);
}

} // namespace

int main(int argc, char* argv[]) {
    return lunavio_test::RunQtWindowTests(argc, argv);
}
