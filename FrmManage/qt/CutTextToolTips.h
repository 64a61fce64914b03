#pragma once
// An item delegate that shows a cell's whole text as its tooltip where the cell cuts it, and
// no tooltip where the text reads in full.

#include <QStyledItemDelegate>

class CutTextToolTips : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
