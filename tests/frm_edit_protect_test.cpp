// The setup window as Qt Widgets build it: layout, texts, pictures, focus and keys, the
// password box's input check, tooltips, accessible names and the folder list's menu.

#include "FrmManage/qt/Pictures.h"
#include "QtWindowFixture.h"
#include "app/Texts.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolTip>
#include <gmock/gmock.h>

namespace {

using lunavio_test::AnsweredBoxes;
using ::testing::ElementsAre;

FolderRow Row(std::u16string name, int stateIndex, bool nameTooLong = false) {
    FolderRow row;
    row.name = name;
    row.storedName = name;
    row.lastWrite = {2024, 1, 2, 10, 0, 0};
    row.nameTooLong = nameTooLong;
    row.stateIndex = stateIndex;
    return row;
}

class WindowTest : public lunavio_test::QtWindowTest {
protected:
    void AppendRows(std::initializer_list<FolderRow> rows) {
        for (const FolderRow& row : rows) {
            ui.ListView1->AppendFolderRow(row);
        }
        ui.ListView1->FinishAppending();
    }

    // Changes the password box to fewer than four digits, as a user would: "2580" to "25".
    void ShortenPassword(const char* stored) {
        ui.MaskEdit1->SetText(stored);
        ui.MaskEdit1->setFocus();
        ui.MaskEdit1->end(false);
        QTest::keyClick(ui.MaskEdit1, Qt::Key_Backspace);
        QTest::keyClick(ui.MaskEdit1, Qt::Key_Backspace);
    }
};

TEST_F(WindowTest, IsBuiltWithItsTextsPositionsAndInitialStates) {
    EXPECT_EQ(form.windowTitle(), "Private folder setup Ver.1.01");
    EXPECT_EQ(window.Caption(), "Private folder setup Ver.1.01");
    EXPECT_EQ(form.minimumSize(), QSize(565, 404));
    EXPECT_EQ(form.maximumSize(), QSize(565, 404));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.font().pixelSize(), 11);

    struct Expected {
        QWidget* control;
        QString text;
        QRect geometry;
        bool enabled;
    };
    const Expected controls[] = {
        {ui.BitBtn1, "Mark as Private", {423, 80, 99, 25}, false},
        {ui.BitBtn2, "Mark as Public", {423, 128, 99, 25}, false},
        {ui.BitBtn4, "Save", {331, 367, 75, 25}, true},
        {ui.BitBtn3, "Exit", {443, 367, 75, 25}, true},
        {ui.Label1, "Password (4 digits):", {67, 313, 95, 13}, true},
        {ui.Label2, "Maximum 16 private folders", {275, 313, 132, 13}, true},
        {ui.Label3, "Drive", {46, 371, 25, 13}, true},
        {ui.GroupBox1, "Root Folders", {21, 21, 523, 328}, true},
        {ui.ListView1, {}, {43, 56, 360, 236}, true},
        {ui.MaskEdit1, {}, {177, 311, 60, 21}, true},
        {ui.ComboBox1, {}, {89, 367, 169, 21}, true},
        {ui.Image1, {}, {47, 313, 16, 16}, true},
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

    EXPECT_EQ(ui.MaskEdit1->Text(), "    ");
    EXPECT_EQ(ui.ComboBox1->count(), 0);
    EXPECT_TRUE(ui.ComboBox1->isEditable());
    EXPECT_EQ(ui.ListView1->RowCount(), 0u);
    EXPECT_EQ(window.CurrentDriveLetter, 0);

    QAbstractItemModel* model = ui.ListView1->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Modified");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "More...");
    EXPECT_EQ(ui.ListView1->header()->sectionSize(0), 160);
    EXPECT_EQ(ui.ListView1->header()->sectionSize(1), 120);
    EXPECT_EQ(ui.ListView1->header()->sectionSize(2), 75);
    EXPECT_FALSE(ui.ListView1->header()->sectionsClickable());

    // What a screen reader names each control by.
    EXPECT_EQ(ui.Label1->buddy(), ui.MaskEdit1);
    EXPECT_EQ(ui.Label3->buddy(), ui.ComboBox1);
    EXPECT_EQ(ui.ComboBox1->lineEdit()->accessibleName(), "Drive");
    EXPECT_EQ(ui.ListView1->accessibleName(), "Root Folders");
    EXPECT_EQ(ui.Image1->accessibleName(), "Key");
    EXPECT_EQ(ui.Panel1->accessibleName(), "Private folder setup Ver.1.01");

    ShowActive();
    EXPECT_FALSE(ui.LabeledEdit1->isVisible());
    EXPECT_FALSE(ui.LabeledEdit1Label->isVisible());
    EXPECT_FALSE(ui.LabeledEdit1->isEnabled());
    EXPECT_EQ(ui.LabeledEdit1Label->text(), "Wait state");
    EXPECT_EQ(Focused(), ui.BitBtn4);
}

TEST_F(WindowTest, TabOrderRunsFromSaveToMarkAsPublic) {
    ui.BitBtn1->setEnabled(true);
    ui.BitBtn2->setEnabled(true);
    ShowActive();
    EXPECT_EQ(Focused(), ui.BitBtn4);
    std::vector<QWidget*> order;
    for (int i = 0; i < 7; ++i) {
        order.push_back(SelectorFocused() ? ui.ComboBox1 : Focused());
        QTest::keyClick(Focused(), Qt::Key_Tab);
    }
    EXPECT_THAT(order, ElementsAre(ui.BitBtn4, ui.BitBtn3, ui.ComboBox1, ui.MaskEdit1, ui.ListView1,
                                   ui.BitBtn1, ui.BitBtn2));
    EXPECT_EQ(Focused(), ui.BitBtn4);
}

// The no-drive state as the widgets show it: the selector's text and, as its tooltip and
// accessible description, why no drive was found; both go once a drive is listed.
TEST_F(WindowTest, TheNoDriveStateShowsItsReasonOnTheSelectorAndFocusesExit) {
    machine.Plug({"E\te\tUSB\\VID_9999&PID_9999\\1\n"});
    ASSERT_EQ(BuildDriveTable(), 0);
    SetNoDriveState(window);
    ShowActive();

    EXPECT_EQ(ui.ComboBox1->count(), 0);
    EXPECT_EQ(ui.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(ui.ComboBox1->currentText(), " --- No avaliable drive ---");
    EXPECT_FALSE(ui.BitBtn4->isEnabled());
    EXPECT_EQ(Focused(), ui.BitBtn3);
    const QString why = QStringLiteral("No supported disk is among the mounted volumes; run "
                                       "\"private-folders drives\" for details.");
    EXPECT_EQ(ui.ComboBox1->toolTip(), why);
    EXPECT_EQ(ui.ComboBox1->accessibleDescription(), why);
    QHelpEvent help(QEvent::ToolTip, ui.ComboBox1->rect().center(),
                    ui.ComboBox1->mapToGlobal(ui.ComboBox1->rect().center()));
    QApplication::sendEvent(ui.ComboBox1, &help);
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), why);
    QToolTip::hideText();

    machine.Plug({lunavio_test::kDriveE});
    RefreshDriveTable();
    EXPECT_EQ(ui.ComboBox1->currentText(), "MEDIA (E:\\)");
    EXPECT_TRUE(ui.ComboBox1->toolTip().isEmpty());
    EXPECT_TRUE(ui.ComboBox1->accessibleDescription().isEmpty());
    EXPECT_TRUE(ui.BitBtn4->isEnabled());
}

TEST_F(WindowTest, EnterAndEscapePressNothingAndKeepTheWindowOpen) {
    QSignalSpy saves(ui.BitBtn4, &QPushButton::clicked);
    QSignalSpy exits(ui.BitBtn3, &QPushButton::clicked);
    ShowActive();
    for (QWidget* focus : std::initializer_list<QWidget*>{ui.BitBtn4, ui.BitBtn3, ui.MaskEdit1}) {
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(focus, key);
        }
    }
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(WindowTest, ExitAndTheCloseBoxEndTheModalRunWithCancel) {
    QTimer::singleShot(0, &form, [this] { QTest::mouseClick(ui.BitBtn3, Qt::LeftButton); });
    EXPECT_EQ(window.ShowModal(), kModalResultCancel);
    EXPECT_FALSE(form.isVisible());
    QTimer::singleShot(0, &form, [this] { form.close(); });
    EXPECT_EQ(window.ShowModal(), kModalResultCancel);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(WindowTest, PasswordBoxTakesOnlyDigits) {
    struct Case {
        const char* typed;
        const char* shown;
    } cases[] = {{"12ab34", "1234"}, {"abcd", "    "}, {"123456", "1234"}, {"7x", "7   "}};
    ShowActive();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.MaskEdit1->SetText("");
        ui.MaskEdit1->setFocus();
        ui.MaskEdit1->home(false);
        QTest::keyClicks(ui.MaskEdit1, c.typed);
        EXPECT_EQ(ui.MaskEdit1->Text(), c.shown);
    }
}

TEST_F(WindowTest, ARefusedLeaveSwallowsWhatCausedItAndEscapeRestoresTheEnteredText) {
    AppendRows({Row(u"MUSIC", -1)});
    ui.ComboBox1->addItem("MEDIA (E:\\)");
    QSignalSpy saves(ui.BitBtn4, &QPushButton::clicked);
    QSignalSpy exits(ui.BitBtn3, &QPushButton::clicked);
    QSignalSpy listClicks(ui.ListView1, &QtListView::Clicked);
    ShowActive();
    struct Case {
        const char* leave;
        std::function<void()> act;
    } cases[] = {
        {"Tab", [this] { QTest::keyClick(ui.MaskEdit1, Qt::Key_Tab); }},
        {"click on Save", [this] { QTest::mouseClick(ui.BitBtn4, Qt::LeftButton); }},
        {"click on Exit", [this] { QTest::mouseClick(ui.BitBtn3, Qt::LeftButton); }},
        {"click on a row", [this] { ClickRow(0); }},
        {"click on the selector",
         [this] { QTest::mouseClick(ui.ComboBox1->lineEdit(), Qt::LeftButton); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leave);
        AnsweredBoxes boxes;
        ShortenPassword("2580");
        ASSERT_EQ(ui.MaskEdit1->Text(), "25  ");

        c.act();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.boxes.empty(); }));
        ShowActive(); // as the window manager does when the box is gone
        EXPECT_EQ(boxes.boxes[0].text, "Invalid input value.  Use escape key to abandon changes");
        EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes.boxes[0].owner, &form);
        EXPECT_EQ(Focused(), ui.MaskEdit1);
        EXPECT_EQ(saves.count() + exits.count() + listClicks.count(), 0);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(ui.ListView1->SelectedRow(), -1);

        QTest::keyClick(ui.MaskEdit1, Qt::Key_Escape);
        EXPECT_EQ(ui.MaskEdit1->Text(), "2580");
        QTest::keyClick(ui.MaskEdit1, Qt::Key_Tab);
        QApplication::processEvents();
        EXPECT_EQ(boxes.boxes.size(), 1u);
        EXPECT_NE(Focused(), ui.MaskEdit1);
    }
}

TEST_F(WindowTest, ARefusedLeaveShowsTheInputCheckAsTheToolkitsOwnError) {
    ShowActive();
    ShortenPassword("0417");
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !recorder.boxes.empty(); }));
    EXPECT_EQ(recorder.boxes[0].text, "Invalid input value.  Use escape key to abandon changes");
    EXPECT_EQ(recorder.boxes[0].title, kProgramTitle);
    EXPECT_EQ(recorder.boxes[0].owner, platform::BoxOwner::Window);
    EXPECT_EQ(recorder.boxes[0].kind, platform::BoxKind::Error);
}

TEST_F(WindowTest, PasswordSetFromCodeOrLeftUnchangedIsNotValidated) {
    ShowActive();
    ui.MaskEdit1->setFocus();
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Tab); // four blanks, never changed
    ui.MaskEdit1->SetText("12");                // incomplete, but from code
    ui.MaskEdit1->setFocus();
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Tab);
    // A refused leave takes the focus back at once; here it went on to the list.
    QApplication::processEvents();
    EXPECT_EQ(Focused(), ui.ListView1);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(WindowTest, TheListsMenuOffersTheMarkingAClickWouldAndLeavesTheButtonsAlone) {
    AppendRows({Row(u"PRIVATE", 2), Row(u"PUBLIC", -1), Row(u"A_NAME_OF_19_UNITS_", -1, true)});
    ShowActive();
    ui.ListView1->setFocus();
    const std::function<void(int)> openers[] = {
        [this](int row) {
            // The window system follows a right press with a menu request.
            const QPoint at =
                ui.ListView1->visualRect(ui.ListView1->model()->index(row, 0)).center();
            QTest::mouseClick(ui.ListView1->viewport(), Qt::RightButton, {}, at);
            QContextMenuEvent request(QContextMenuEvent::Mouse, at,
                                      ui.ListView1->viewport()->mapToGlobal(at));
            QApplication::sendEvent(ui.ListView1->viewport(), &request);
        },
        [this](int row) {
            ui.ListView1->setCurrentIndex(ui.ListView1->model()->index(row, 0));
            QTest::keyClick(ui.ListView1, Qt::Key_Menu);
        },
        [this](int row) {
            ui.ListView1->setCurrentIndex(ui.ListView1->model()->index(row, 0));
            QTest::keyClick(ui.ListView1, Qt::Key_F10, Qt::ShiftModifier);
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
            ASSERT_TRUE(QTest::qWaitFor([this] { return ui.PopupMenu1->isVisible(); }));
            EXPECT_EQ(ui.ListView1->SelectedRow(), c.row);
            EXPECT_EQ(ui.MarkAsPrivate1->isEnabled(), c.markPrivate);
            EXPECT_EQ(ui.MarkAsPublic1->isEnabled(), c.markPublic);
            EXPECT_FALSE(ui.BitBtn1->isEnabled());
            EXPECT_FALSE(ui.BitBtn2->isEnabled());
            QTest::keyClick(ui.PopupMenu1, Qt::Key_Escape);
            ASSERT_TRUE(QTest::qWaitFor([this] { return !ui.PopupMenu1->isVisible(); }));
        }
    }

    // The menu's items are the buttons' handlers.
    ClickRow(1);
    ui.ListView1->setFocus();
    QTest::keyClick(ui.ListView1, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ui.PopupMenu1->isVisible(); }));
    QTest::keyClick(ui.PopupMenu1, Qt::Key_Down);
    QTest::keyClick(ui.PopupMenu1, Qt::Key_Return);
    EXPECT_TRUE(ui.ListView1->Row(1).IsPrivate());
    EXPECT_EQ(ui.ListView1->SelectedRow(), -1);
    EXPECT_FALSE(ui.BitBtn1->isEnabled());
    ui.ListView1->setCurrentIndex(ui.ListView1->model()->index(0, 0));
    QTest::keyClick(ui.ListView1, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ui.PopupMenu1->isVisible(); }));
    ui.MarkAsPublic1->trigger();
    EXPECT_FALSE(ui.ListView1->Row(0).IsPrivate());
    EXPECT_EQ(ui.ListView1->SelectedRow(), 0);
}

TEST_F(WindowTest, CellsReadInFullOrShowTheirWholeTextAsTooltip) {
    const std::u16string longName = u"Holiday Videos 2024 Summer in the mountains";
    AppendRows({Row(longName, -1, true), Row(u"MUSIC", -1)});
    ShowActive();
    // The tooltip a cell shows when the pointer rests on it; empty when none.
    const auto tooltipAt = [this](int row, int column) {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QRect cell = ui.ListView1->visualRect(ui.ListView1->model()->index(row, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        ui.ListView1->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(ui.ListView1->viewport(), &help);
        return (QToolTip::isVisible() ? QToolTip::text() : QString()).toStdString();
    };
    EXPECT_EQ(tooltipAt(0, 0), QString::fromStdU16String(longName).toStdString());
    EXPECT_EQ(tooltipAt(0, 2), "")
        << "\"Name too long\" is cut at " << QFontInfo(form.font()).family().toStdString();
    EXPECT_EQ(tooltipAt(1, 0), "");
    EXPECT_EQ(tooltipAt(1, 1), "");

    // The drive selector shows a label it cuts as its tooltip.
    const QString longLabel = QStringLiteral("PHOTOS AND VIDEOS OF 2024 (E:\\)");
    ui.ComboBox1->addItem(longLabel);
    ui.ComboBox1->addItem(QStringLiteral("MEDIA (F:\\)"));
    const auto selectorTooltip = [this] {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        QLineEdit* shown = ui.ComboBox1->lineEdit();
        QHelpEvent help(QEvent::ToolTip, shown->rect().center(),
                        shown->mapToGlobal(shown->rect().center()));
        QApplication::sendEvent(shown, &help);
        return (QToolTip::isVisible() ? QToolTip::text() : QString()).toStdString();
    };
    ui.ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(selectorTooltip(), longLabel.toStdString());
    ui.ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(selectorTooltip(), "");
}

TEST_F(WindowTest, PadlockStateIsShownAndChangesWithTheRow) {
    AppendRows({Row(u"MUSIC", -1)});
    QAbstractItemModel* model = ui.ListView1->model();
    const QModelIndex name = model->index(0, 0);
    const QImage publicRow = model->data(name, Qt::DecorationRole).value<QPixmap>().toImage();
    ui.ListView1->SetStateIndex(0, 2);
    const QImage privateRow = model->data(name, Qt::DecorationRole).value<QPixmap>().toImage();
    EXPECT_EQ(ui.ListView1->Row(0).stateIndex, 2);
    EXPECT_NE(publicRow, privateRow);
    // The padlock occupies the left half; the folder stays where it was.
    EXPECT_EQ(publicRow.copy(16, 0, 16, 16), privateRow.copy(16, 0, 16, 16));
    const auto same = [](const QImage& shown, const QPixmap& picture) {
        constexpr QImage::Format kFormat = QImage::Format_ARGB32_Premultiplied;
        return shown.convertToFormat(kFormat) == picture.toImage().convertToFormat(kFormat);
    };
    EXPECT_TRUE(same(privateRow.copy(0, 0, 16, 16), PadlockPicture()));
    EXPECT_TRUE(same(publicRow.copy(16, 0, 16, 16), FolderPicture()));
}

TEST_F(WindowTest, RowsShowNameModifiedAndNameTooLongAndReadAsOneSentence) {
    FolderRow stored = Row(u"music", -1);
    stored.storedName = u"MUSIC";
    FolderRow unknown = Row(u"\U0001F600 \u65e5\u672c", 2);
    unknown.lastWrite = {};
    AppendRows({stored, unknown, Row(u"A_NAME_OF_19_UNITS_", -1, true)});
    const struct {
        const char16_t* name;
        const char* modified;
        const char* more;
        const char16_t* spoken;
    } expected[] = {
        {u"music", "Jan.2,2024 10:00:00", "", u"music, public, modified Jan.2,2024 10:00:00"},
        {u"\U0001F600 \u65e5\u672c", "(Unknown)", "",
         u"\U0001F600 \u65e5\u672c, private, modified (Unknown)"},
        {u"A_NAME_OF_19_UNITS_", "Jan.2,2024 10:00:00", "Name too long",
         u"A_NAME_OF_19_UNITS_, public, modified Jan.2,2024 10:00:00, Name too long"},
    };
    QAbstractItemModel* model = ui.ListView1->model();
    ASSERT_EQ(model->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(model->index(row, 0).data().toString(), QString::fromUtf16(expected[row].name));
        EXPECT_EQ(model->index(row, 1).data().toString(), expected[row].modified);
        EXPECT_EQ(model->index(row, 2).data().toString(), expected[row].more);
        EXPECT_EQ(model->index(row, 0).data(Qt::AccessibleTextRole).toString(),
                  QString::fromUtf16(expected[row].spoken));
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
    return lunavio_test::RunQtWindowTests(argc, argv);
}
