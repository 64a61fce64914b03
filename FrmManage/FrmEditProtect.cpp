#include "FrmManage/FrmEditProtect.h"

#include "FrmManage/CutTextToolTips.h"
#include "FrmManage/Pictures.h"
#include "Hdddevctrl/DiscoveryDiagnosis.h"
#include "platform/DeviceNotices.h"
#include "platform/Drives.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <exception>
#include <string>
#include <utility>

TFrmEditProtect* FrmEditProtect = nullptr;
OsVersionRecord OsVersionInfo;

namespace {

constexpr int kClientWidth = 565;
constexpr int kClientHeight = 404;
constexpr int kFolderPicture = 1;
constexpr int kPadlockPicture = 2;

template <typename Widget, typename... Args>
Widget* Place(QWidget* parent, QRect geometry, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setGeometry(geometry);
    return widget;
}

QPushButton* PlaceButton(QWidget* parent, const char* text, QRect geometry) {
    auto* button = Place<QPushButton>(parent, geometry, QString::fromLatin1(text));
    // Enter and Escape press no button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Labels size themselves to their text, so a wider fallback font never cuts a caption.
QLabel* PlaceLabel(QWidget* parent, const char* text, QRect geometry) {
    auto* label = Place<QLabel>(parent, geometry, QString::fromLatin1(text));
    label->resize(std::max(geometry.width(), label->sizeHint().width()), geometry.height());
    return label;
}

// "MS Shell Dlg 2" is Tahoma on Windows. Where neither is installed, Liberation Sans takes
// its place: it sets the window's texts at the same widths as Tahoma does at this size.
QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    return font;
}

} // namespace

void RecordOsVersion() {
    OsVersionInfo.MajorVersion = platform::OsMajorVersion();
}

void ReportHandlerErrors(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        platform::ShowMessageBox(
            {error.what(), kProgramTitle, platform::BoxOwner::Window, platform::BoxKind::Error});
    }
}

TFrmEditProtect::TFrmEditProtect() : ImageList1{DrivePicture(), FolderPicture(), PadlockPicture()} {
    setWindowTitle(QStringLiteral("Private folder setup Ver.1.01"));
    // A normal top-level window, so that taskbars and window switchers list it; a tool or
    // dialog window would be left out or tied to a hidden leader window.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(WindowIcon());
    setFixedSize(kClientWidth, kClientHeight);
    setFont(WindowFont());
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);

    // Every control sits on the bevelled panel at its window position; the group frame is
    // created first so that the controls inside it lie above it.
    Panel1 = Place<QFrame>(this, QRect(0, 0, kClientWidth, kClientHeight));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);

    GroupBox1 = Place<QGroupBox>(Panel1, QRect(21, 21, 523, 328), QStringLiteral("Root Folders"));
    Label1 = PlaceLabel(Panel1, "Password (4 digits):", QRect(67, 313, 95, 13));
    BitBtn4 = PlaceButton(Panel1, "Save", QRect(331, 367, 75, 25));
    BitBtn3 = PlaceButton(Panel1, "Exit", QRect(443, 367, 75, 25));
    Label2 = PlaceLabel(Panel1, "Maximum 16 private folders", QRect(275, 313, 132, 13));
    ListView1 = Place<TListView>(Panel1, QRect(43, 56, 360, 236), ImageList1[kFolderPicture],
                                 ImageList1[kPadlockPicture]);
    BitBtn1 = PlaceButton(Panel1, "Mark as Private", QRect(423, 80, 99, 25));
    BitBtn1->setEnabled(false);
    BitBtn2 = PlaceButton(Panel1, "Mark as Public", QRect(423, 128, 99, 25));
    BitBtn2->setEnabled(false);
    Image1 = Place<QLabel>(Panel1, QRect(47, 313, 16, 16));
    Image1->setPixmap(KeyPicture());
    MaskEdit1 = Place<TMaskEdit>(Panel1, QRect(177, 311, 60, 21));
    Label3 = PlaceLabel(Panel1, "Drive", QRect(46, 371, 25, 13));
    ComboBox1 = Place<QComboBox>(Panel1, QRect(89, 367, 169, 21));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr); // typed text stays as typed
    LabeledEdit1 = Place<QLineEdit>(Panel1, QRect(419, 208, 73, 21));
    LabeledEdit1Label = PlaceLabel(Panel1, "Wait state", QRect(419, 192, 73, 13));
    LabeledEdit1Label->setBuddy(LabeledEdit1);
    LabeledEdit1->setEnabled(false);
    LabeledEdit1->hide();
    LabeledEdit1Label->hide();

    // Screen readers name a field by its label, and the rest by these names.
    Label1->setBuddy(MaskEdit1);
    Label3->setBuddy(ComboBox1);
    ListView1->setAccessibleName(GroupBox1->title());
    ComboBox1->lineEdit()->setAccessibleName(Label3->text());
    Image1->setAccessibleName(QStringLiteral("Key"));
    Panel1->setAccessibleName(windowTitle());
    ComboBox1->lineEdit()->installEventFilter(this);
    ComboBox1->setItemDelegate(new CutTextToolTips(ComboBox1));

    PopupMenu1 = new QMenu(this);
    MarkAsPrivate1 = PopupMenu1->addAction(BitBtn1->text());
    MarkAsPublic1 = PopupMenu1->addAction(BitBtn2->text());

    setTabOrder(BitBtn4, BitBtn3);
    setTabOrder(BitBtn3, ComboBox1);
    setTabOrder(ComboBox1, MaskEdit1);
    setTabOrder(MaskEdit1, ListView1);
    setTabOrder(ListView1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    connect(ComboBox1, &QComboBox::activated, this,
            [this] { ReportHandlerErrors([this] { ComboBox1Change(); }); });
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this,
            [this] { ReportHandlerErrors([this] { SelectorTextEdited(); }); });
    connect(ListView1, &TListView::Clicked, this,
            [this] { ReportHandlerErrors([this] { ListView1Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this,
            [this] { ReportHandlerErrors([this] { BitBtn3Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { ReportHandlerErrors([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { ReportHandlerErrors([this] { BitBtn2Click(); }); });
    connect(ListView1, &TListView::ContextMenuRequested, this, [this](QPoint globalPos) {
        ReportHandlerErrors([this, globalPos] { ListView1ContextPopup(globalPos); });
    });
    connect(MarkAsPrivate1, &QAction::triggered, this,
            [this] { ReportHandlerErrors([this] { BitBtn1Click(); }); });
    connect(MarkAsPublic1, &QAction::triggered, this,
            [this] { ReportHandlerErrors([this] { BitBtn2Click(); }); });
    connect(BitBtn4, &QPushButton::clicked, this,
            [this] { ReportHandlerErrors([this] { BitBtn4Click(); }); });

    if (const QScreen* desktop = screen()) {
        move(desktop->availableGeometry().center() - rect().center());
    }
}

int TFrmEditProtect::exec() {
    QEventLoop modalRun;
    connect(this, &QDialog::finished, &modalRun, &QEventLoop::quit);
    setResult(Rejected);
    show();
    modalRun.exec(QEventLoop::DialogExec);
    return result();
}

void TFrmEditProtect::FillDriveSelector(const DriveTableArray& table, int count) {
    ComboBox1->clear();
    ComboBox1->setToolTip({}); // the no-drive state's reason no longer holds
    ComboBox1->setAccessibleDescription({});
    const auto entries = static_cast<std::size_t>(std::clamp<int>(count, 0, kDriveTableEntries));
    for (std::size_t i = 0; i < entries && table[i].DriveLetter != 0; ++i) {
        const std::string label = FormatDriveLabel(static_cast<char>(table[i].DriveLetter));
        ComboBox1->addItem(QString::fromLocal8Bit(label));
    }
}

void TFrmEditProtect::ShowDrive(const DriveProtection& entry, bool eightBitListing) {
    ListView1->Clear();
    LabeledEdit1->setText(QString::number(entry.WaitState));
    CurrentDriveLetter = entry.DriveLetter;
    if (eightBitListing) {
        ListRootFoldersA(entry, *ListView1, *MaskEdit1);
    } else {
        ListRootFoldersW(entry, *ListView1, *MaskEdit1);
    }
    ListView1->FinishAppending();
}

void TFrmEditProtect::ComboBox1Change() {
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= static_cast<int>(kDriveTableEntries)) {
        return;
    }
    BitBtn4->setEnabled(true);
    ShowDrive(DriveTable[static_cast<std::size_t>(index)], OsVersionInfo.MajorVersion < 5);
}

void TFrmEditProtect::SelectorTextEdited() {
    // Typed text stands for no entry: the selector keeps the text but no entry is current.
    if (ComboBox1->currentIndex() >= 0) {
        QLineEdit* edit = ComboBox1->lineEdit();
        const QString typed = edit->text();
        const int cursor = edit->cursorPosition();
        ComboBox1->setCurrentIndex(-1);
        ComboBox1->setEditText(typed);
        edit->setCursorPosition(cursor);
    }
    ComboBox1Change();
}

TFrmEditProtect::MarkChoice TFrmEditProtect::MarkChoiceForSelection() const {
    const int selected = ListView1->SelectedRow();
    if (selected < 0) {
        return {};
    }
    const FolderRowView row = ListView1->Row(selected);
    if (row.stateIndex > 0) {
        return {.markPrivate = false, .markPublic = true};
    }
    return {.markPrivate = row.IsMarkable(), .markPublic = false};
}

void TFrmEditProtect::ListView1Click() {
    const MarkChoice choice = MarkChoiceForSelection();
    BitBtn1->setEnabled(choice.markPrivate);
    BitBtn2->setEnabled(choice.markPublic);
}

void TFrmEditProtect::ListView1ContextPopup(QPoint globalPos) {
    const MarkChoice choice = MarkChoiceForSelection();
    MarkAsPrivate1->setEnabled(choice.markPrivate);
    MarkAsPublic1->setEnabled(choice.markPublic);
    PopupMenu1->popup(globalPos);
}

void TFrmEditProtect::BitBtn3Click() {
    reject();
}

bool TFrmEditProtect::event(QEvent* event) {
    if (event->type() == platform::DeviceChangeEvent::Type()) {
        auto& message = static_cast<platform::DeviceChangeEvent&>(*event);
        ReportHandlerErrors([&] { OnDeviceChange(message); });
        return true;
    }
    return QDialog::event(event);
}

bool TFrmEditProtect::eventFilter(QObject* watched, QEvent* event) {
    QLineEdit* shown = ComboBox1->lineEdit();
    if (watched != shown || event->type() != QEvent::ToolTip || ComboBox1->count() == 0) {
        return QDialog::eventFilter(watched, event);
    }
    const QString label = shown->text();
    constexpr int kTextMargins = 4; // the line edit keeps two pixels free on either side
    if (shown->fontMetrics().horizontalAdvance(label) <=
        shown->contentsRect().width() - kTextMargins) {
        return QDialog::eventFilter(watched, event);
    }
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), label, shown);
    return true;
}

void TFrmEditProtect::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape: // a dialog would close on Escape
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TFrmEditProtect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    for (QWidget* control : {static_cast<QWidget*>(BitBtn4), static_cast<QWidget*>(BitBtn3),
                             static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(MaskEdit1),
                             static_cast<QWidget*>(ListView1), static_cast<QWidget*>(BitBtn1),
                             static_cast<QWidget*>(BitBtn2)}) {
        if (control->isEnabled()) {
            control->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

int RunSetupWindow(int count, const DriveTableArray& table) {
    const DriveProtection& first = table[0];
    if (first.DriveLetter == 0) {
        return 0;
    }
    TFrmEditProtect& window = *FrmEditProtect;
    RecordOsVersion();
    VolumeIsFat = DriveIsFat(static_cast<char>(first.DriveLetter));

    window.FillDriveSelector(table, count);
    window.ComboBox1->setCurrentIndex(0);
    window.ShowDrive(first, OsVersionInfo.MajorVersion == 4);
    try {
        return window.exec();
    } catch (const std::exception& error) {
        // What escapes the modal run comes from the toolkit itself; the handlers catch their own.
        platform::ShowMessageBox(
            {error.what(), kProgramTitle, platform::BoxOwner::Window, platform::BoxKind::Plain});
        return 0;
    }
}

void SetNoDriveState(TFrmEditProtect& window) {
    window.ComboBox1->clear();
    window.ListView1->Clear();
    window.BitBtn4->setEnabled(false);
    window.ComboBox1->setEditText(QStringLiteral(" --- No avaliable drive ---"));
    // Why, from what the discovery that found nothing saw.
    const QString why =
        QString::fromLocal8Bit(NoDriveReason(DiagnoseDiscovery(ProcessDeviceDiscovery())));
    window.ComboBox1->setToolTip(why);
    window.ComboBox1->setAccessibleDescription(why);
}
