#include "FrmManage/qt/CutTextToolTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace {

// The room a cell of view leaves its text, as the style lays it out and draws it.
int TextRoom(const QAbstractItemView& view, const QStyleOptionViewItem& cell) {
    const QStyle* style = view.style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return style->subElementRect(QStyle::SE_ItemViewItemText, &cell, &view).width() - 2 * margin;
}

} // namespace

bool CutTextToolTips::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (QFontMetricsF(cell.font).horizontalAdvance(cell.text) > TextRoom(*view, cell)) {
        QToolTip::showText(event->globalPos(), cell.text, view, option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}
