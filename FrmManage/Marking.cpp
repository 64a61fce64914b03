// "Mark as Private" and "Mark as Public": marks live only in the list until "Save".

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/ProtectionRules.h"

void TFrmEditProtect::BitBtn1Click() {
    const std::size_t wouldBePrivate =
        PrivateRowsAfterMarking(ListView1.RowCount(), ListView1.RowAt(),
                                [this](std::size_t i) { return ListView1.Selected(i); });
    if (wouldBePrivate > kMaxPrivateFolders) {
        ShowPrivateFolderLimit();
        return;
    }
    for (std::size_t i = 0; i < ListView1.RowCount(); ++i) {
        if (!ListView1.Selected(i)) {
            continue;
        }
        if (ListView1.Row(i).IsMarkable()) {
            ListView1.SetStateIndex(i, kPrivateStateIndex);
        }
        ListView1.SetSelected(i, false);
    }
    BitBtn1.SetEnabled(false);
    BitBtn2.SetEnabled(false);
}

void TFrmEditProtect::BitBtn2Click() {
    for (std::size_t i = 0; i < ListView1.RowCount(); ++i) {
        if (ListView1.Selected(i)) {
            ListView1.SetStateIndex(i, kPublicStateIndex);
        }
    }
    BitBtn1.SetEnabled(false);
    BitBtn2.SetEnabled(false);
}
