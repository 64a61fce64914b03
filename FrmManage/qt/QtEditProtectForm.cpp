#include "FrmManage/qt/QtEditProtectForm.h"

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/qt/CutTextToolTips.h"
#include "FrmManage/qt/Pictures.h"
#include "app/Texts.h"
#include "platform/qt/DeviceNoticeSource.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <utility>

namespace {

constexpr int kClientWidth = 565;
constexpr int kClientHeight = 404;
constexpr int kFolderPicture = 1;
constexpr int kPadlockPicture = 2;

QPointer<QtEditProtectForm> current;

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

std::string Local8Bit(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// A control of the window's interface on one Qt widget.
template <typename Control, typename Widget> class QtControl : public Control {
public:
    explicit QtControl(Widget* widget) : widget_(widget) {}
    void SetEnabled(bool enabled) override { widget_->setEnabled(enabled); }
    bool Enabled() const override { return widget_->isEnabled(); }
    void SetFocus() override { widget_->setFocus(Qt::OtherFocusReason); }

protected:
    Widget* widget_;
};

using QtButton = QtControl<TBitBtn, QPushButton>;

class QtLabeledEdit final : public QtControl<TLabeledEdit, QLineEdit> {
public:
    using QtControl::QtControl;
    std::string Text() const override { return Local8Bit(widget_->text()); }
    void SetText(const std::string& text) override {
        widget_->setText(QString::fromLocal8Bit(text));
    }
};

// Only the user's choices reach the selector's handler (activated, textEdited), so nothing
// here needs to silence a signal.
class QtComboBox final : public QtControl<TComboBox, QComboBox> {
public:
    using QtControl::QtControl;
    std::string Text() const override { return Local8Bit(widget_->currentText()); }
    void SetText(const std::string& text) override {
        widget_->setEditText(QString::fromLocal8Bit(text));
    }
    void Clear() override { widget_->clear(); }
    void Add(const std::string& entry) override { widget_->addItem(QString::fromLocal8Bit(entry)); }
    int Count() const override { return widget_->count(); }
    std::string Item(int index) const override { return Local8Bit(widget_->itemText(index)); }
    int ItemIndex() const override { return widget_->currentIndex(); }
    void SetItemIndex(int index) override {
        if (index >= 0 && index < widget_->count()) {
            widget_->setCurrentIndex(index);
            return;
        }
        const QString shown = widget_->currentText(); // no current entry clears the edit text
        widget_->setCurrentIndex(-1);
        widget_->setEditText(shown);
    }
    void SetHint(const std::string& hint) override {
        const QString text = QString::fromLocal8Bit(hint);
        widget_->setToolTip(text);
        widget_->setAccessibleDescription(text);
    }
};

} // namespace

class QtEditProtectForm::Controls {
public:
    explicit Controls(const QtFormWidgets& ui)
        : BitBtn1(ui.BitBtn1), BitBtn2(ui.BitBtn2), BitBtn3(ui.BitBtn3), BitBtn4(ui.BitBtn4),
          ComboBox1(ui.ComboBox1), LabeledEdit1(ui.LabeledEdit1) {}

    QtButton BitBtn1;
    QtButton BitBtn2;
    QtButton BitBtn3;
    QtButton BitBtn4;
    QtComboBox ComboBox1;
    QtLabeledEdit LabeledEdit1;
};

QtEditProtectForm::QtEditProtectForm(TFrmEditProtect& window) : window_(window) {
    ui.ImageList1 = {DrivePicture(), FolderPicture(), PadlockPicture()};
    setWindowTitle(QString::fromLatin1(kWindowCaption));
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
    ui.Panel1 = Place<QFrame>(this, QRect(0, 0, kClientWidth, kClientHeight));
    ui.Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ui.Panel1->setLineWidth(1);
    QWidget* panel = ui.Panel1;

    ui.GroupBox1 =
        Place<QGroupBox>(panel, QRect(21, 21, 523, 328), QString::fromLatin1(kRootFoldersText));
    ui.Label1 = PlaceLabel(panel, kPasswordLabelText, QRect(67, 313, 95, 13));
    ui.BitBtn4 = PlaceButton(panel, kSaveText, QRect(331, 367, 75, 25));
    ui.BitBtn3 = PlaceButton(panel, kExitText, QRect(443, 367, 75, 25));
    ui.Label2 = PlaceLabel(panel, kLimitLabelText, QRect(275, 313, 132, 13));
    ui.ListView1 = Place<QtListView>(panel, QRect(43, 56, 360, 236), ui.ImageList1[kFolderPicture],
                                     ui.ImageList1[kPadlockPicture]);
    ui.BitBtn1 = PlaceButton(panel, kMarkPrivateText, QRect(423, 80, 99, 25));
    ui.BitBtn1->setEnabled(false);
    ui.BitBtn2 = PlaceButton(panel, kMarkPublicText, QRect(423, 128, 99, 25));
    ui.BitBtn2->setEnabled(false);
    ui.Image1 = Place<QLabel>(panel, QRect(47, 313, 16, 16));
    ui.Image1->setPixmap(KeyPicture());
    ui.MaskEdit1 = Place<QtMaskEdit>(panel, QRect(177, 311, 60, 21));
    ui.Label3 = PlaceLabel(panel, kDriveLabelText, QRect(46, 371, 25, 13));
    ui.ComboBox1 = Place<QComboBox>(panel, QRect(89, 367, 169, 21));
    ui.ComboBox1->setEditable(true);
    ui.ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ui.ComboBox1->setCompleter(nullptr); // typed text stays as typed
    ui.LabeledEdit1 = Place<QLineEdit>(panel, QRect(419, 208, 73, 21));
    ui.LabeledEdit1Label = PlaceLabel(panel, kWaitStateLabelText, QRect(419, 192, 73, 13));
    ui.LabeledEdit1Label->setBuddy(ui.LabeledEdit1);
    ui.LabeledEdit1->setEnabled(false);
    ui.LabeledEdit1->hide();
    ui.LabeledEdit1Label->hide();

    // Screen readers name a field by its label, and the rest by these names.
    ui.Label1->setBuddy(ui.MaskEdit1);
    ui.Label3->setBuddy(ui.ComboBox1);
    ui.ListView1->setAccessibleName(ui.GroupBox1->title());
    ui.ComboBox1->lineEdit()->setAccessibleName(ui.Label3->text());
    ui.Image1->setAccessibleName(QStringLiteral("Key"));
    ui.Panel1->setAccessibleName(windowTitle());
    ui.ComboBox1->lineEdit()->installEventFilter(this);
    ui.ComboBox1->setItemDelegate(new CutTextToolTips(ui.ComboBox1));

    ui.PopupMenu1 = new QMenu(this);
    ui.MarkAsPrivate1 = ui.PopupMenu1->addAction(ui.BitBtn1->text());
    ui.MarkAsPublic1 = ui.PopupMenu1->addAction(ui.BitBtn2->text());

    setTabOrder(ui.BitBtn4, ui.BitBtn3);
    setTabOrder(ui.BitBtn3, ui.ComboBox1);
    setTabOrder(ui.ComboBox1, ui.MaskEdit1);
    setTabOrder(ui.MaskEdit1, ui.ListView1);
    setTabOrder(ui.ListView1, ui.BitBtn1);
    setTabOrder(ui.BitBtn1, ui.BitBtn2);

    controls_ = std::make_unique<Controls>(ui);

    // Every handler runs as the user's action, through the window's handling of errors.
    // The window is captured as a plain pointer: with GCC 12, a `this` captured again by a
    // lambda that another lambda returns was seen under the sanitizers to point into this
    // constructor's stack frame.
    TFrmEditProtect* const target = &window_;
    const auto run = [target](void (TFrmEditProtect::*handler)()) {
        return
            [target, handler] { ReportHandlerErrors([target, handler] { (target->*handler)(); }); };
    };
    connect(ui.ComboBox1, &QComboBox::activated, this, run(&TFrmEditProtect::ComboBox1Change));
    connect(ui.ComboBox1->lineEdit(), &QLineEdit::textEdited, this,
            [this] { ReportHandlerErrors([this] { SelectorTextEdited(); }); });
    connect(ui.ListView1, &QtListView::Clicked, this, run(&TFrmEditProtect::ListView1Click));
    connect(ui.BitBtn3, &QPushButton::clicked, this, run(&TFrmEditProtect::BitBtn3Click));
    connect(ui.BitBtn1, &QPushButton::clicked, this, run(&TFrmEditProtect::BitBtn1Click));
    connect(ui.BitBtn2, &QPushButton::clicked, this, run(&TFrmEditProtect::BitBtn2Click));
    connect(ui.ListView1, &QtListView::ContextMenuRequested, this, [this](QPoint globalPos) {
        ReportHandlerErrors([this, globalPos] { ListView1ContextPopup(globalPos); });
    });
    connect(ui.MarkAsPrivate1, &QAction::triggered, this, run(&TFrmEditProtect::BitBtn1Click));
    connect(ui.MarkAsPublic1, &QAction::triggered, this, run(&TFrmEditProtect::BitBtn2Click));
    connect(ui.BitBtn4, &QPushButton::clicked, this,
            [this] { ReportHandlerErrors([this] { window_.BitBtn4Click(); }); });

    if (const QScreen* desktop = screen()) {
        move(desktop->availableGeometry().center() - rect().center());
    }
    current = this;
}

QtEditProtectForm::~QtEditProtectForm() = default;

QWidget* QtEditProtectForm::Current() {
    return current.data();
}

TBitBtn& QtEditProtectForm::BitBtn1() {
    return controls_->BitBtn1;
}
TBitBtn& QtEditProtectForm::BitBtn2() {
    return controls_->BitBtn2;
}
TBitBtn& QtEditProtectForm::BitBtn3() {
    return controls_->BitBtn3;
}
TBitBtn& QtEditProtectForm::BitBtn4() {
    return controls_->BitBtn4;
}
TComboBox& QtEditProtectForm::ComboBox1() {
    return controls_->ComboBox1;
}
TLabeledEdit& QtEditProtectForm::LabeledEdit1() {
    return controls_->LabeledEdit1;
}

std::string QtEditProtectForm::Caption() const {
    return Local8Bit(windowTitle());
}

int QtEditProtectForm::ShowModal() {
    QEventLoop modalRun;
    connect(this, &QDialog::finished, &modalRun, &QEventLoop::quit);
    setResult(Rejected);
    show();
    modalRun.exec(QEventLoop::DialogExec);
    return result() == Rejected ? kModalResultCancel : result();
}

void QtEditProtectForm::EndModal(int result) {
    done(result == kModalResultCancel ? Rejected : result);
}

void QtEditProtectForm::SelectorTextEdited() {
    QComboBox& selector = *ui.ComboBox1;
    if (selector.currentIndex() >= 0) {
        QLineEdit* edit = selector.lineEdit();
        const QString typed = edit->text();
        const int cursor = edit->cursorPosition();
        selector.setCurrentIndex(-1);
        selector.setEditText(typed);
        edit->setCursorPosition(cursor);
    }
    window_.ComboBox1Change();
}

void QtEditProtectForm::ListView1ContextPopup(QPoint globalPos) {
    const MarkChoice choice = window_.MarkChoiceForSelection();
    ui.MarkAsPrivate1->setEnabled(choice.markPrivate);
    ui.MarkAsPublic1->setEnabled(choice.markPublic);
    ui.PopupMenu1->popup(globalPos);
}

bool QtEditProtectForm::event(QEvent* event) {
    if (event->type() == platform::DeviceChangeEvent::Type()) {
        auto& notice = static_cast<platform::DeviceChangeEvent&>(*event);
        ReportHandlerErrors([&] { window_.OnDeviceChange(notice.message); });
        return true;
    }
    return QDialog::event(event);
}

bool QtEditProtectForm::eventFilter(QObject* watched, QEvent* event) {
    QLineEdit* shown = ui.ComboBox1->lineEdit();
    if (watched != shown || event->type() != QEvent::ToolTip || ui.ComboBox1->count() == 0) {
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

void QtEditProtectForm::keyPressEvent(QKeyEvent* event) {
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

void QtEditProtectForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui.BitBtn4, ui.BitBtn3, ui.ComboBox1, ui.MaskEdit1,
                                         ui.ListView1, ui.BitBtn1, ui.BitBtn2}) {
        if (control->isEnabled()) {
            control->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}
