// The setup window driven as a user drives it: real widgets, clicks and keys, offscreen.

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/Pictures.h"
#include "OffscreenPlatform.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessageBox.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

using platform::MessageBoxRequest;
using ::testing::ElementsAre;

// Records the boxes instead of showing them.
class BoxRecorder {
public:
    BoxRecorder()
        : previous_(platform::SetMessageBoxHandler(
              [this](const MessageBoxRequest& request) { boxes.push_back(request); })) {}
    ~BoxRecorder() { platform::SetMessageBoxHandler(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<MessageBoxRequest> boxes;

private:
    platform::MessageBoxHandler previous_;
};

FolderRow Row(std::u16string name, int stateIndex, bool nameTooLong = false) {
    FolderRow row;
    row.name = name;
    row.storedName = name;
    row.lastWrite = {2024, 1, 2, 10, 0, 0};
    row.nameTooLong = nameTooLong;
    row.stateIndex = stateIndex;
    return row;
}

class WindowTest : public ::testing::Test {
protected:
    WindowTest() : window_(std::make_unique<TFrmEditProtect>()), w(*window_) {
        FrmEditProtect = window_.get();
    }
    ~WindowTest() override { FrmEditProtect = nullptr; }

    void ShowActive() {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    QWidget* Focused() const { return QApplication::focusWidget(); }
    bool SelectorFocused() const {
        QWidget* focused = Focused();
        return focused == w.ComboBox1 || w.ComboBox1->isAncestorOf(focused);
    }

    void ClickRow(int row) {
        const QRect rect = w.ListView1->visualRect(w.ListView1->model()->index(row, 0));
        QTest::mouseClick(w.ListView1->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::unique_ptr<TFrmEditProtect> window_;
    TFrmEditProtect& w;
    BoxRecorder recorder_;
};

TEST_F(WindowTest, IsBuiltWithItsTextsPositionsAndInitialStates) {
    EXPECT_EQ(w.windowTitle(), "Private folder setup Ver.1.01");
    EXPECT_EQ(w.minimumSize(), QSize(565, 404));
    EXPECT_EQ(w.maximumSize(), QSize(565, 404));
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.font().pixelSize(), 11);

    struct Expected {
        QWidget* control;
        QString text;
        QRect geometry;
        bool enabled;
    };
    const Expected controls[] = {
        {w.BitBtn1, "Mark as Private", {423, 80, 99, 25}, false},
        {w.BitBtn2, "Mark as Public", {423, 128, 99, 25}, false},
        {w.BitBtn4, "Save", {331, 367, 75, 25}, true},
        {w.BitBtn3, "Exit", {443, 367, 75, 25}, true},
        {w.Label1, "Password (4 digits):", {67, 313, 95, 13}, true},
        {w.Label2, "Maximum 16 private folders", {275, 313, 132, 13}, true},
        {w.Label3, "Drive", {46, 371, 25, 13}, true},
        {w.GroupBox1, "Root Folders", {21, 21, 523, 328}, true},
        {w.ListView1, {}, {43, 56, 360, 236}, true},
        {w.MaskEdit1, {}, {177, 311, 60, 21}, true},
        {w.ComboBox1, {}, {89, 367, 169, 21}, true},
        {w.Image1, {}, {47, 313, 16, 16}, true},
    };
    for (const Expected& expected : controls) {
        SCOPED_TRACE(expected.control->metaObject()->className());
        if (auto* button = qobject_cast<QPushButton*>(expected.control)) {
            EXPECT_EQ(button->text(), expected.text);
            EXPECT_FALSE(button->autoDefault());
            EXPECT_FALSE(button->isDefault());
        } else if (auto* label = qobject_cast<QLabel*>(expected.control);
                   label && !expected.text.isEmpty()) {
            // A caption grows with a wider font; it never starts elsewhere or shrinks.
            EXPECT_EQ(label->text(), expected.text);
            EXPECT_EQ(label->pos(), expected.geometry.topLeft());
            EXPECT_GE(label->width(), expected.geometry.width());
            EXPECT_EQ(label->height(), expected.geometry.height());
            continue;
        } else if (auto* group = qobject_cast<QGroupBox*>(expected.control)) {
            EXPECT_EQ(group->title(), expected.text);
        }
        EXPECT_EQ(expected.control->geometry(), expected.geometry);
        EXPECT_EQ(expected.control->isEnabled(), expected.enabled);
    }

    EXPECT_EQ(w.MaskEdit1->EditText(), "    ");
    EXPECT_EQ(w.ComboBox1->count(), 0);
    EXPECT_TRUE(w.ComboBox1->isEditable());
    EXPECT_EQ(w.ListView1->RowCount(), 0);
    EXPECT_EQ(w.CurrentDriveLetter, 0);

    QAbstractItemModel* model = w.ListView1->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Modified");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "More...");
    EXPECT_EQ(w.ListView1->header()->sectionSize(0), 160);
    EXPECT_EQ(w.ListView1->header()->sectionSize(1), 120);
    EXPECT_EQ(w.ListView1->header()->sectionSize(2), 75);
    EXPECT_FALSE(w.ListView1->header()->sectionsClickable());

    ShowActive();
    EXPECT_FALSE(w.LabeledEdit1->isVisible());
    EXPECT_FALSE(w.LabeledEdit1Label->isVisible());
    EXPECT_FALSE(w.LabeledEdit1->isEnabled());
    EXPECT_EQ(w.LabeledEdit1Label->text(), "Wait state");
    EXPECT_EQ(Focused(), w.BitBtn4);
}

TEST_F(WindowTest, TabOrderRunsFromSaveToMarkAsPublic) {
    w.BitBtn1->setEnabled(true);
    w.BitBtn2->setEnabled(true);
    ShowActive();
    EXPECT_EQ(Focused(), w.BitBtn4);
    std::vector<QWidget*> order;
    for (int i = 0; i < 7; ++i) {
        order.push_back(SelectorFocused() ? w.ComboBox1 : Focused());
        QTest::keyClick(Focused(), Qt::Key_Tab);
    }
    EXPECT_THAT(order, ElementsAre(w.BitBtn4, w.BitBtn3, w.ComboBox1, w.MaskEdit1, w.ListView1,
                                   w.BitBtn1, w.BitBtn2));
    EXPECT_EQ(Focused(), w.BitBtn4);
}

TEST_F(WindowTest, NoDriveStateDisablesSaveAndFocusesExit) {
    w.BitBtn1->setEnabled(true); // the mark buttons keep their state
    w.MaskEdit1->SetPasswordText("1234");
    w.ListView1->AppendFolderRow(Row(u"MUSIC", -1));
    w.ComboBox1->addItem("MEDIA (E:\\)");

    SetNoDriveState(w);
    ShowActive();

    EXPECT_EQ(w.ComboBox1->count(), 0);
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(w.ComboBox1->currentText(), " --- No avaliable drive ---");
    EXPECT_EQ(w.ListView1->RowCount(), 0);
    EXPECT_EQ(w.ListView1->model()->rowCount(), 0);
    EXPECT_FALSE(w.BitBtn4->isEnabled());
    EXPECT_TRUE(w.BitBtn1->isEnabled());
    EXPECT_EQ(w.MaskEdit1->EditText(), "1234");
    EXPECT_EQ(Focused(), w.BitBtn3);
}

TEST_F(WindowTest, EnterAndEscapePressNothingAndKeepTheWindowOpen) {
    QSignalSpy saves(w.BitBtn4, &QPushButton::clicked);
    QSignalSpy exits(w.BitBtn3, &QPushButton::clicked);
    ShowActive();
    for (QWidget* focus : {static_cast<QWidget*>(w.BitBtn4), static_cast<QWidget*>(w.BitBtn3),
                           static_cast<QWidget*>(w.MaskEdit1)}) {
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(focus, key);
        }
    }
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(WindowTest, ExitAndTheCloseBoxEndTheModalRunWithCancel) {
    QTimer::singleShot(0, &w, [this] { QTest::mouseClick(w.BitBtn3, Qt::LeftButton); });
    EXPECT_EQ(w.exec(), QDialog::Rejected);
    QTimer::singleShot(0, &w, [this] { w.close(); });
    EXPECT_EQ(w.exec(), QDialog::Rejected);
}

TEST_F(WindowTest, PasswordBoxTakesOnlyDigits) {
    struct Case {
        const char* typed;
        const char* shown;
    } cases[] = {{"12ab34", "1234"}, {"abcd", "    "}, {"123456", "1234"}, {"7x", "7   "}};
    ShowActive();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        w.MaskEdit1->SetPasswordText("");
        w.MaskEdit1->setFocus();
        w.MaskEdit1->home(false);
        QTest::keyClicks(w.MaskEdit1, c.typed);
        EXPECT_EQ(w.MaskEdit1->EditText(), c.shown);
    }
}

// Real message boxes, each answered with Return as soon as it is the active modal window;
// their texts in the order shown.
class AnsweredBoxes {
public:
    AnsweredBoxes() : previous_(platform::SetMessageBoxHandler({})) {
        platform::InstallQtMessageBoxes([]() -> QWidget* { return FrmEditProtect; });
        answerer_.setInterval(10);
        QObject::connect(&answerer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        answerer_.start();
    }
    ~AnsweredBoxes() { platform::SetMessageBoxHandler(previous_); }
    AnsweredBoxes(const AnsweredBoxes&) = delete;
    AnsweredBoxes& operator=(const AnsweredBoxes&) = delete;

    std::vector<QString> texts;

private:
    platform::MessageBoxHandler previous_;
    QTimer answerer_;
};

TEST_F(WindowTest, ARefusedLeaveSwallowsWhatCausedItAndEscapeRestoresTheEnteredText) {
    w.ListView1->AppendFolderRow(Row(u"MUSIC", -1));
    w.ListView1->FinishAppending();
    w.ComboBox1->addItem("MEDIA (E:\\)");
    QSignalSpy saves(w.BitBtn4, &QPushButton::clicked);
    QSignalSpy exits(w.BitBtn3, &QPushButton::clicked);
    QSignalSpy listClicks(w.ListView1, &TListView::Clicked);
    ShowActive();
    struct Case {
        const char* leave;
        std::function<void()> act;
    } cases[] = {
        {"Tab", [this] { QTest::keyClick(w.MaskEdit1, Qt::Key_Tab); }},
        {"click on Save", [this] { QTest::mouseClick(w.BitBtn4, Qt::LeftButton); }},
        {"click on Exit", [this] { QTest::mouseClick(w.BitBtn3, Qt::LeftButton); }},
        {"click on a row", [this] { ClickRow(0); }},
        {"click on the selector",
         [this] { QTest::mouseClick(w.ComboBox1->lineEdit(), Qt::LeftButton); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leave);
        AnsweredBoxes boxes;
        w.MaskEdit1->SetPasswordText("2580");
        w.MaskEdit1->setFocus();
        w.MaskEdit1->end(false);
        QTest::keyClick(w.MaskEdit1, Qt::Key_Backspace);
        QTest::keyClick(w.MaskEdit1, Qt::Key_Backspace);
        ASSERT_EQ(w.MaskEdit1->EditText(), "25  ");

        c.act();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.empty(); }));
        ShowActive(); // as the window manager does when the box is gone
        EXPECT_EQ(boxes.texts[0], "Invalid input value.  Use escape key to abandon changes");
        EXPECT_EQ(Focused(), w.MaskEdit1);
        EXPECT_EQ(saves.count() + exits.count() + listClicks.count(), 0);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.ListView1->SelectedRow(), -1);

        QTest::keyClick(w.MaskEdit1, Qt::Key_Escape);
        EXPECT_EQ(w.MaskEdit1->EditText(), "2580");
        QTest::keyClick(w.MaskEdit1, Qt::Key_Tab);
        QApplication::processEvents();
        EXPECT_EQ(boxes.texts.size(), 1u);
        EXPECT_NE(Focused(), w.MaskEdit1);
    }
}

TEST_F(WindowTest, ARefusedLeaveShowsTheInputCheckAsTheToolkitsOwnError) {
    w.MaskEdit1->SetPasswordText("0417");
    ShowActive();
    w.MaskEdit1->setFocus();
    w.MaskEdit1->end(false);
    QTest::keyClick(w.MaskEdit1, Qt::Key_Backspace);
    QTest::keyClick(w.MaskEdit1, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !recorder_.boxes.empty(); }));
    EXPECT_EQ(recorder_.boxes[0].text, "Invalid input value.  Use escape key to abandon changes");
    EXPECT_EQ(recorder_.boxes[0].title, kProgramTitle);
    EXPECT_EQ(recorder_.boxes[0].kind, platform::BoxKind::Error);
}

TEST_F(WindowTest, PasswordSetFromCodeOrLeftUnchangedIsNotValidated) {
    ShowActive();
    w.MaskEdit1->setFocus();
    QTest::keyClick(w.MaskEdit1, Qt::Key_Tab); // four blanks, never changed
    w.MaskEdit1->SetPasswordText("12");        // incomplete, but from code
    w.MaskEdit1->setFocus();
    QTest::keyClick(w.MaskEdit1, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_TRUE(recorder_.boxes.empty());
    EXPECT_NE(Focused(), w.MaskEdit1);
}

TEST_F(WindowTest, ClickInTheListEnablesTheFittingMarkButton) {
    w.ListView1->AppendFolderRow(Row(u"PRIVATE", 2));
    w.ListView1->AppendFolderRow(Row(u"PUBLIC", -1));
    w.ListView1->AppendFolderRow(Row(u"A_NAME_OF_19_UNITS_", -1, true));
    w.ListView1->AppendFolderRow(Row(u"LONG_PRIVATE_NAME_19", 2, true));
    w.ListView1->FinishAppending();
    ShowActive();

    struct Case {
        int row;
        bool markPrivate;
        bool markPublic;
    } cases[] = {{0, false, true}, {1, true, false}, {2, false, false}, {3, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        ClickRow(c.row);
        EXPECT_EQ(w.ListView1->SelectedRow(), c.row);
        EXPECT_EQ(w.BitBtn1->isEnabled(), c.markPrivate);
        EXPECT_EQ(w.BitBtn2->isEnabled(), c.markPublic);
    }

    ClickRow(1);
    QTest::keyClick(w.ListView1, Qt::Key_Down); // the keyboard moves, the buttons stay
    EXPECT_EQ(w.ListView1->SelectedRow(), 2);
    EXPECT_TRUE(w.BitBtn1->isEnabled());

    QTest::mouseClick(w.ListView1->viewport(), Qt::LeftButton, {},
                      QPoint(10, w.ListView1->viewport()->height() - 5));
    EXPECT_EQ(w.ListView1->SelectedRow(), -1);
    EXPECT_FALSE(w.BitBtn1->isEnabled());
    EXPECT_FALSE(w.BitBtn2->isEnabled());
}

TEST_F(WindowTest, TheListsMenuOffersTheMarkingAClickWouldAndLeavesTheButtonsAlone) {
    w.ListView1->AppendFolderRow(Row(u"PRIVATE", 2));
    w.ListView1->AppendFolderRow(Row(u"PUBLIC", -1));
    w.ListView1->AppendFolderRow(Row(u"A_NAME_OF_19_UNITS_", -1, true));
    w.ListView1->FinishAppending();
    ShowActive();
    w.ListView1->setFocus();
    const std::function<void(int)> openers[] = {
        [this](int row) {
            // The window system follows a right press with a menu request.
            const QPoint at = w.ListView1->visualRect(w.ListView1->model()->index(row, 0)).center();
            QTest::mouseClick(w.ListView1->viewport(), Qt::RightButton, {}, at);
            QContextMenuEvent request(QContextMenuEvent::Mouse, at,
                                      w.ListView1->viewport()->mapToGlobal(at));
            QApplication::sendEvent(w.ListView1->viewport(), &request);
        },
        [this](int row) {
            w.ListView1->setCurrentIndex(w.ListView1->model()->index(row, 0));
            QTest::keyClick(w.ListView1, Qt::Key_Menu);
        },
        [this](int row) {
            w.ListView1->setCurrentIndex(w.ListView1->model()->index(row, 0));
            QTest::keyClick(w.ListView1, Qt::Key_F10, Qt::ShiftModifier);
        },
    };
    struct Case {
        int row;
        bool markPrivate;
        bool markPublic;
    } cases[] = {{0, false, true}, {1, true, false}, {2, false, false}};
    for (const auto& open : openers) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.row);
            open(c.row);
            ASSERT_TRUE(QTest::qWaitFor([this] { return w.PopupMenu1->isVisible(); }));
            EXPECT_EQ(w.ListView1->SelectedRow(), c.row);
            EXPECT_EQ(w.MarkAsPrivate1->isEnabled(), c.markPrivate);
            EXPECT_EQ(w.MarkAsPublic1->isEnabled(), c.markPublic);
            EXPECT_FALSE(w.BitBtn1->isEnabled());
            EXPECT_FALSE(w.BitBtn2->isEnabled());
            QTest::keyClick(w.PopupMenu1, Qt::Key_Escape);
            ASSERT_TRUE(QTest::qWaitFor([this] { return !w.PopupMenu1->isVisible(); }));
        }
    }

    // The menu's items are the buttons' handlers.
    ClickRow(1);
    w.ListView1->setFocus();
    QTest::keyClick(w.ListView1, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([this] { return w.PopupMenu1->isVisible(); }));
    QTest::keyClick(w.PopupMenu1, Qt::Key_Down);
    QTest::keyClick(w.PopupMenu1, Qt::Key_Return);
    EXPECT_TRUE(w.ListView1->Row(1).IsPrivate());
    EXPECT_EQ(w.ListView1->SelectedRow(), -1);
    EXPECT_FALSE(w.BitBtn1->isEnabled());
    w.ListView1->setCurrentIndex(w.ListView1->model()->index(0, 0));
    QTest::keyClick(w.ListView1, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([this] { return w.PopupMenu1->isVisible(); }));
    w.MarkAsPublic1->trigger();
    EXPECT_FALSE(w.ListView1->Row(0).IsPrivate());
    EXPECT_EQ(w.ListView1->SelectedRow(), 0);
}

TEST_F(WindowTest, CellsReadInFullOrShowTheirWholeTextAsTooltip) {
    const std::u16string longName = u"Holiday Videos 2024 Summer in the mountains";
    w.ListView1->AppendFolderRow(Row(longName, -1, true));
    w.ListView1->AppendFolderRow(Row(u"MUSIC", -1));
    w.ListView1->FinishAppending();
    ShowActive();
    // The tooltip a cell shows when the pointer rests on it; empty when none.
    const auto tooltipAt = [this](int row, int column) {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QRect cell = w.ListView1->visualRect(w.ListView1->model()->index(row, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        w.ListView1->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(w.ListView1->viewport(), &help);
        return (QToolTip::isVisible() ? QToolTip::text() : QString()).toStdString();
    };
    EXPECT_EQ(tooltipAt(0, 0), QString::fromStdU16String(longName).toStdString());
    EXPECT_EQ(tooltipAt(0, 2), "")
        << "\"Name too long\" is cut at " << QFontInfo(w.font()).family().toStdString();
    EXPECT_EQ(tooltipAt(1, 0), "");
    EXPECT_EQ(tooltipAt(1, 1), "");

    // The drive selector shows a label it cuts as its tooltip.
    const QString longLabel = QStringLiteral("PHOTOS AND VIDEOS OF 2024 (E:\\)");
    w.ComboBox1->addItem(longLabel);
    w.ComboBox1->addItem(QStringLiteral("MEDIA (F:\\)"));
    const auto selectorTooltip = [this] {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        QLineEdit* shown = w.ComboBox1->lineEdit();
        QHelpEvent help(QEvent::ToolTip, shown->rect().center(),
                        shown->mapToGlobal(shown->rect().center()));
        QApplication::sendEvent(shown, &help);
        return (QToolTip::isVisible() ? QToolTip::text() : QString()).toStdString();
    };
    w.ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(selectorTooltip(), longLabel.toStdString());
    w.ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(selectorTooltip(), "");
}

TEST_F(WindowTest, PadlockStateIsShownAndChangesWithTheRow) {
    w.ListView1->AppendFolderRow(Row(u"MUSIC", -1));
    w.ListView1->FinishAppending();
    QAbstractItemModel* model = w.ListView1->model();
    const QModelIndex name = model->index(0, 0);
    const QImage publicRow = model->data(name, Qt::DecorationRole).value<QPixmap>().toImage();
    w.ListView1->SetStateIndex(0, 2);
    const QImage privateRow = model->data(name, Qt::DecorationRole).value<QPixmap>().toImage();
    EXPECT_EQ(w.ListView1->Row(0).stateIndex, 2);
    EXPECT_NE(publicRow, privateRow);
    // The padlock occupies the left half; the folder stays where it was.
    EXPECT_EQ(publicRow.copy(16, 0, 16, 16), privateRow.copy(16, 0, 16, 16));
}

TEST_F(WindowTest, RowsShowNameModifiedAndNameTooLong) {
    FolderRow stored = Row(u"music", -1);
    stored.storedName = u"MUSIC";
    FolderRow unknown = Row(u"\U0001F600 \u65e5\u672c", 2);
    unknown.lastWrite = {};
    w.ListView1->AppendFolderRow(stored);
    w.ListView1->AppendFolderRow(unknown);
    w.ListView1->AppendFolderRow(Row(u"A_NAME_OF_19_UNITS_", -1, true));
    w.ListView1->FinishAppending();
    const struct {
        const char16_t* name;
        const char* modified;
        const char* more;
    } expected[] = {
        {u"music", "Jan.2,2024 10:00:00", ""},
        {u"\U0001F600 \u65e5\u672c", "(Unknown)", ""},
        {u"A_NAME_OF_19_UNITS_", "Jan.2,2024 10:00:00", "Name too long"},
    };
    QAbstractItemModel* model = w.ListView1->model();
    ASSERT_EQ(model->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(model->index(row, 0).data().toString(), QString::fromUtf16(expected[row].name));
        EXPECT_EQ(model->index(row, 1).data().toString(), expected[row].modified);
        EXPECT_EQ(model->index(row, 2).data().toString(), expected[row].more);
    }
}

TEST_F(WindowTest, TypingIntoTheSelectorLeavesNoEntryCurrentAndTheListAsItWas) {
    w.ComboBox1->addItem("MEDIA (E:\\)");
    w.ComboBox1->addItem("Local Drive (F:\\)");
    w.ComboBox1->setCurrentIndex(0);
    w.ListView1->AppendFolderRow(Row(u"MUSIC", -1));
    w.ListView1->FinishAppending();
    ShowActive();
    w.ComboBox1->setFocus();
    w.ComboBox1->lineEdit()->end(false);

    QTest::keyClicks(w.ComboBox1->lineEdit(), "xy");
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(w.ComboBox1->currentText(), "MEDIA (E:\\)xy");
    QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.ComboBox1->count(), 2);
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(w.ListView1->RowCount(), 1);
    EXPECT_EQ(w.CurrentDriveLetter, 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(WindowTest, AnErrorInAHandlerIsShownAndTheWindowGoesOn) {
    ReportHandlerErrors([] { throw std::runtime_error("Out of memory"); });
    ASSERT_EQ(recorder_.boxes.size(), 1u);
    EXPECT_EQ(recorder_.boxes[0].text, "Out of memory");
    EXPECT_EQ(recorder_.boxes[0].title, kProgramTitle);
    EXPECT_EQ(recorder_.boxes[0].kind, platform::BoxKind::Error);
}

// Drive E (FAT32, "MEDIA") and F (NTFS, no label) of the simulated machine that main() sets up.
DriveTableArray TwoDrives() {
    DriveTableArray table{};
    table[0].DriveLetter = u'E';
    table[0].WaitState = 3;
    table[0].Password = 0x0417;
    const std::u16string_view beta = u"E:\\BETA";
    std::copy(beta.begin(), beta.end(), table[0].PrivateFolders[0].begin());
    table[1].DriveLetter = u'F';
    table[1].WaitState = 7;
    return table;
}

std::vector<std::u16string> ListedNames(const TListView& list) {
    std::vector<std::u16string> names;
    for (int i = 0; i < list.RowCount(); ++i) {
        names.emplace_back(list.Row(i).name);
    }
    return names;
}

TEST_F(WindowTest, RunSetupWindowFillsTheSelectorAndListsTheFirstDrive) {
    VolumeIsFat = false;
    int entries = -1;
    int current = -1;
    bool shown = false;
    QTimer::singleShot(0, &w, [&] {
        entries = w.ComboBox1->count();
        current = w.ComboBox1->currentIndex();
        shown = w.isVisible();
        w.close();
    });
    EXPECT_EQ(RunSetupWindow(7, TwoDrives()), QDialog::Rejected);
    EXPECT_TRUE(shown);
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(w.ComboBox1->itemText(0).toStdString(), FormatDriveLabel('E'));
    EXPECT_EQ(w.LabeledEdit1->text(), "3");
    EXPECT_EQ(w.CurrentDriveLetter, u'E');
    EXPECT_TRUE(VolumeIsFat);
    EXPECT_THAT(ListedNames(*w.ListView1),
                ::testing::UnorderedElementsAre(u"ALPHA", u"BETA", u"GAMMA"));
    EXPECT_EQ(w.MaskEdit1->EditText(), "0417");
    for (int i = 0; i < w.ListView1->RowCount(); ++i) {
        EXPECT_EQ(w.ListView1->Row(i).stateIndex, w.ListView1->Row(i).name == u"BETA" ? 2 : -1);
    }
    EXPECT_TRUE(w.BitBtn4->isEnabled());
    EXPECT_FALSE(w.BitBtn1->isEnabled());
}

TEST_F(WindowTest, VolumeIsFatComesFromTheFirstDriveAlone) {
    DriveTableArray table = TwoDrives();
    std::swap(table[0], table[1]); // F (NTFS) first, then E (FAT32)
    VolumeIsFat = true;
    QTimer::singleShot(0, &w, [this] { w.close(); });
    RunSetupWindow(7, table);
    EXPECT_FALSE(VolumeIsFat);
    EXPECT_EQ(w.CurrentDriveLetter, u'F');
}

TEST_F(WindowTest, RunSetupWindowWithoutDrivesShowsNothing) {
    QSignalSpy shown(&w, &QDialog::finished);
    EXPECT_EQ(RunSetupWindow(7, DriveTableArray{}), 0);
    EXPECT_EQ(shown.count(), 0);
    EXPECT_EQ(w.ComboBox1->count(), 0);
}

TEST_F(WindowTest, ChoosingAnotherDriveRelistsItAndKeepsVolumeIsFat) {
    DriveTable = TwoDrives();
    QTimer::singleShot(0, &w, [this] {
        w.BitBtn1->setEnabled(true); // as after a click on a markable row
        w.ComboBox1->setFocus();
        QTest::keyClick(w.ComboBox1, Qt::Key_Down);
        w.close();
    });
    RunSetupWindow(7, DriveTable);
    EXPECT_EQ(w.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(w.LabeledEdit1->text(), "7");
    EXPECT_EQ(w.CurrentDriveLetter, u'F');
    EXPECT_THAT(ListedNames(*w.ListView1),
                ::testing::UnorderedElementsAre(u"MOVIES", u"MUSIC", u"PHOTOS"));
    EXPECT_EQ(w.ListView1->SelectedRow(), -1);
    EXPECT_TRUE(w.BitBtn1->isEnabled());
    EXPECT_TRUE(VolumeIsFat);
    DriveTable = DriveTableArray{};
}

TEST(FatFileSystem, ComparesTheFirstThreeCharactersUpperCased) {
    struct Case {
        const char* name;
        bool fat;
    } cases[] = {{"FAT", true},   {"FAT16", true},  {"fat32", true}, {"Fat", true},
                 {"NTFS", false}, {"exFAT", false}, {"", false},     {"FA", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsFatFileSystem(c.name), c.fat) << c.name;
    }
}

TEST(Pictures, KeyBackgroundIsTransparent) {
    const QImage key = KeyPicture().toImage();
    ASSERT_EQ(key.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(key.pixel(0, 15)), 0);
    EXPECT_EQ(qAlpha(key.pixel(1, 2)), 255);
    EXPECT_EQ(FolderPicture().size(), QSize(16, 16));
    EXPECT_EQ(PadlockPicture().size(), QSize(16, 16));
}

} // namespace

int main(int argc, char* argv[]) {
    // The whole machine is two simulated drives with three root folders each.
    QTemporaryDir machine;
    for (const char* folder : {"e/ALPHA", "e/BETA", "e/GAMMA", "f/MOVIES", "f/MUSIC", "f/PHOTOS"}) {
        QDir(machine.path()).mkpath(folder);
    }
    const QString simulation = machine.filePath("lunavio.sim");
    std::ofstream(simulation.toStdString()) << "E\te\tUSB\\VID_1234&PID_5678\\1\t1\tMEDIA\tFAT32\n"
                                            << "F\tf\tUSB\\VID_1234&PID_5678\\1\t1\t\tNTFS\n";
    qputenv("LUNAVIO_SIMULATION", simulation.toLocal8Bit());

    lunavio_test::UseOffscreenPlatformUnlessChosen();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
