// "Mark as Private" and "Mark as Public": marks live only in the list until "Save".

#include "FrmManage/FrmEditProtect.h"
#include "platform/MessageBox.h"

#include <QItemSelectionModel>
#include <QPushButton>

namespace {

constexpr int kMaxPrivateRows = 16;

bool IsSelected(const TListView& list, int row) {
    return list.selectionModel()->isRowSelected(row, QModelIndex());
}

} // namespace

void TFrmEditProtect::BitBtn1Click() {
    int wouldBePrivate = 0;
    for (int i = 0; i < ListView1->RowCount(); ++i) {
        const FolderRowView row = ListView1->Row(i);
        if ((IsSelected(*ListView1, i) && row.IsMarkable()) || row.IsPrivate()) {
            ++wouldBePrivate;
        }
    }
    if (wouldBePrivate > kMaxPrivateRows) {
        platform::ShowMessageBox({"Lunavio cannot protect more than 16 folders", "Lunavio Utility",
                                  platform::BoxOwner::None, platform::BoxKind::Plain});
        return;
    }
    for (int i = 0; i < ListView1->RowCount(); ++i) {
        if (!IsSelected(*ListView1, i)) {
            continue;
        }
        if (ListView1->Row(i).IsMarkable()) {
            ListView1->SetStateIndex(i, kPrivateStateIndex);
        }
        ListView1->selectionModel()->select(ListView1->model()->index(i, 0),
                                            QItemSelectionModel::Deselect |
                                                QItemSelectionModel::Rows);
    }
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
}

void TFrmEditProtect::BitBtn2Click() {
    for (int i = 0; i < ListView1->RowCount(); ++i) {
        if (IsSelected(*ListView1, i)) {
            ListView1->SetStateIndex(i, kPublicStateIndex);
        }
    }
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
}
