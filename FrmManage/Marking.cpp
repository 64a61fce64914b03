// "Mark as Private" and "Mark as Public": marks live only in the list until "Save".

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/ProtectionRules.h"

#include <QItemSelectionModel>
#include <QPushButton>

namespace {

bool IsSelected(const TListView& list, int row) {
    return list.selectionModel()->isRowSelected(row, QModelIndex());
}

} // namespace

void TFrmEditProtect::BitBtn1Click() {
    const int wouldBePrivate = PrivateRowsAfterMarking(
        static_cast<std::size_t>(ListView1->RowCount()), ListView1->RowAt(),
        [this](std::size_t i) { return IsSelected(*ListView1, static_cast<int>(i)); });
    if (wouldBePrivate > kMaxPrivateRows) {
        ShowPrivateFolderLimit();
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
