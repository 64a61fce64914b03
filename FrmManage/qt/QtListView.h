#pragma once
// The folder list: a read-only report view of FolderRow rows with the columns "Name",
// "Modified" and "More...", a folder picture per row and the padlock as the state picture of
// a private row. A cell whose text is cut shows it in full as its tooltip; the name cell
// tells assistive technology the whole row.

#include "FrmManage/Controls.h"
#include "FrmManage/FolderRows.h"

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

class QtListView : public QTreeView, public TListView {
    Q_OBJECT

public:
    QtListView(const QPixmap& folder, const QPixmap& padlock, QWidget* parent);

    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetFocus() override { setFocus(Qt::OtherFocusReason); }

    // Buffered; shown by FinishAppending() or, at the latest, when the event loop next runs.
    void AppendFolderRow(const FolderRow& row) override;
    void FinishAppending() override;
    void Clear() override { model_->Clear(); }
    std::size_t RowCount() const override { return static_cast<std::size_t>(model_->Count()); }
    FolderRowView Row(std::size_t index) const override {
        return model_->Row(static_cast<int>(index));
    }
    void SetStateIndex(std::size_t index, int stateIndex) override {
        model_->SetStateIndex(static_cast<int>(index), stateIndex);
    }
    bool Selected(std::size_t index) const override;
    void SetSelected(std::size_t index, bool selected) override;
    int SelectedRow() const override;

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
