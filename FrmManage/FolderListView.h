#pragma once
// The folder list: a read-only report view of FolderRow rows with the columns "Name",
// "Modified" and "More...", a folder picture per row and the padlock as the state picture of
// a private row. A cell whose text is cut shows it in full as its tooltip; the name cell
// tells assistive technology the whole row.

#include "FrmManage/FolderRows.h"
#include "FrmManage/ProtectionRules.h"

#include <QAbstractTableModel>
#include <QPixmap>
#include <QTreeView>

// Rows in the order appended. Appending only buffers; Publish() shows all buffered rows in
// one insertion, so listing a large root costs one model signal, not one per row.
class FolderListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    FolderListModel(const QPixmap& folder, const QPixmap& padlock, QObject* parent);

    void Append(const FolderRow& row);
    void Publish();
    void Clear();

    // All rows, published or still buffered.
    int Count() const { return static_cast<int>(rows_.Size()); }
    // Valid until the rows are cleared.
    FolderRowView Row(int index) const { return rows_.Row(static_cast<std::size_t>(index)); }
    void SetStateIndex(int index, int stateIndex);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    FolderRows rows_;
    int published_ = 0;
    QPixmap publicPicture_;  // room for the state picture, then the folder
    QPixmap privatePicture_; // the padlock, then the folder
};

class TListView : public QTreeView, public FolderRowSink {
    Q_OBJECT

public:
    TListView(const QPixmap& folder, const QPixmap& padlock, QWidget* parent);

    // Buffered; shown by FinishAppending() or, at the latest, when the event loop next runs.
    void AppendFolderRow(const FolderRow& row) override;
    void FinishAppending();

    int RowCount() const { return model_->Count(); }
    FolderRowView Row(int index) const { return model_->Row(index); }
    // The rows as the shared marking and saving rules take them.
    FolderRowAt RowAt() const {
        return [this](std::size_t i) { return Row(static_cast<int>(i)); };
    }
    // The selected row's index, or -1.
    int SelectedRow() const;
    void SetStateIndex(int index, int stateIndex) { model_->SetStateIndex(index, stateIndex); }
    void Clear() { model_->Clear(); }

signals:
    // A left click anywhere in the list, also on empty space (which clears the selection).
    void Clicked();
    // A right click (after it selected the row under it, or cleared the selection), the Menu
    // key or Shift+F10: a menu for the selected row belongs at globalPos.
    void ContextMenuRequested(QPoint globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RequestMenuForSelection();

    FolderListModel* model_;
};
