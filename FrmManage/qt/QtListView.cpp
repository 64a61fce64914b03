#include "FrmManage/qt/QtListView.h"

#include "FrmManage/qt/CutTextToolTips.h"
#include "app/Texts.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>

namespace {

enum Column { kName, kModified, kMore, kColumns };

QPixmap Blank(QSize size) {
    QPixmap blank(size);
    blank.fill(Qt::transparent);
    return blank;
}

// The state picture left of the folder, as a list control draws them; a public row gets a
// blank state picture so that all folder pictures line up.
QPixmap StateAndFolder(const QPixmap& state, const QPixmap& folder) {
    QPixmap both = Blank(QSize(state.width() + folder.width(), folder.height()));
    QPainter painter(&both);
    painter.drawPixmap(0, 0, state);
    painter.drawPixmap(state.width(), 0, folder);
    return both;
}

QString FromUtf16(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

// What a screen reader says for a row: its name, whether it is private, its date and the
// remark.
QString RowSummary(const FolderRowView& row) {
    QString summary = FromUtf16(row.name) +
                      (row.IsPrivate() ? QStringLiteral(", private") : QStringLiteral(", public")) +
                      QStringLiteral(", modified ") + QString::fromLocal8Bit(row.Modified());
    if (row.nameTooLong) {
        summary += QStringLiteral(", Name too long");
    }
    return summary;
}

// A list control draws its cell texts nearly edge to edge; the toolkit's wider margins (this
// metric plus one pixel on each side) would cut "Name too long" in its 75-pixel column.
class NarrowCellMargins : public QProxyStyle {
public:
    NarrowCellMargins() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        return metric == PM_FocusFrameHMargin ? 0
                                              : QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

FolderListModel::FolderListModel(const QPixmap& folder, const QPixmap& padlock, QObject* parent)
    : QAbstractTableModel(parent), publicPicture_(StateAndFolder(Blank(padlock.size()), folder)),
      privatePicture_(StateAndFolder(padlock, folder)) {}

void FolderListModel::Append(const FolderRow& row) {
    rows_.Append(row);
}

void FolderListModel::Publish() {
    const int count = Count();
    if (count == published_) {
        return;
    }
    beginInsertRows({}, published_, count - 1);
    published_ = count;
    endInsertRows();
}

void FolderListModel::Clear() {
    beginResetModel();
    rows_.Clear();
    published_ = 0;
    endResetModel();
}

void FolderListModel::SetStateIndex(int index, int stateIndex) {
    rows_.SetStateIndex(static_cast<std::size_t>(index), stateIndex);
    if (index < published_) {
        emit dataChanged(this->index(index, kName), this->index(index, kName),
                         {Qt::DecorationRole, Qt::AccessibleTextRole});
    }
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : published_;
}

int FolderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= published_) {
        return {};
    }
    const FolderRowView row = Row(index.row());
    switch (role) {
    case Qt::AccessibleTextRole:
        if (index.column() == kName) {
            return RowSummary(row);
        }
        return {};
    case Qt::DisplayRole:
        switch (index.column()) {
        case kName:
            return FromUtf16(row.name);
        case kModified:
            return QString::fromLatin1(row.Modified());
        case kMore:
            return row.nameTooLong ? QString::fromLatin1(kNameTooLongText) : QString();
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == kName) {
            return row.IsPrivate() ? privatePicture_ : publicPicture_;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == kMore) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    default:
        return {};
    }
}

QVariant FolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        static const char* const kTitles[kColumns] = {kNameColumnText, kModifiedColumnText,
                                                      kMoreColumnText};
        return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section])
                                                  : QVariant();
    }
    if (role == Qt::TextAlignmentRole && section == kMore) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QtListView::QtListView(const QPixmap& folder, const QPixmap& padlock, QWidget* parent)
    : QTreeView(parent), model_(new FolderListModel(folder, padlock, this)) {
    setModel(model_);
    auto* cellStyle = new NarrowCellMargins;
    cellStyle->setParent(this);
    setStyle(cellStyle);
    setItemDelegate(new CutTextToolTips(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setIconSize(QSize(padlock.width() + folder.width(), folder.height()));
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->resizeSection(kName, 160);
    header()->resizeSection(kModified, 120);
    header()->resizeSection(kMore, 75);
}

void QtListView::AppendFolderRow(const FolderRow& row) {
    if (model_->rowCount() == model_->Count()) {
        // The first buffered row: make sure the rows show even if no one finishes the listing.
        QMetaObject::invokeMethod(model_, &FolderListModel::Publish, Qt::QueuedConnection);
    }
    model_->Append(row);
}

void QtListView::FinishAppending() {
    model_->Publish();
}

bool QtListView::Selected(std::size_t index) const {
    return selectionModel()->isRowSelected(static_cast<int>(index), QModelIndex());
}

void QtListView::SetSelected(std::size_t index, bool selected) {
    selectionModel()->select(
        model_->index(static_cast<int>(index), kName),
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
            QItemSelectionModel::Rows);
}

int QtListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void QtListView::mousePressEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid()) {
        clearSelection();
    }
    QTreeView::mousePressEvent(event);
}

void QtListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit Clicked();
    }
}

void QtListView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        emit ContextMenuRequested(event->globalPos());
    } else {
        RequestMenuForSelection();
    }
    event->accept();
}

void QtListView::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!menuKey) {
        QTreeView::keyPressEvent(event);
        return;
    }
    RequestMenuForSelection();
    event->accept();
}

void QtListView::RequestMenuForSelection() {
    const int row = SelectedRow();
    const QRect cell = row >= 0 ? visualRect(model_->index(row, kName)) : QRect();
    const QPoint at = cell.isValid() ? cell.bottomLeft() : viewport()->rect().topLeft();
    emit ContextMenuRequested(viewport()->mapToGlobal(at));
}
