#include "app/RefreshDriveTable.h"

#include "FrmManage/FrmEditProtect.h"
#include "app/DriveTable.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <cstdint>

namespace {

// Counts started refreshes, so one resuming after its message can tell that another ran.
std::uint64_t refreshRuns = 0;

} // namespace

void RefreshDriveTable() {
    const std::uint64_t run = ++refreshRuns;
    TFrmEditProtect& window = *FrmEditProtect;
    QComboBox& selector = *window.ComboBox1;

    const int found = BuildDriveTable();
    if (found <= 0) {
        SetNoDriveState(window);
        return;
    }

    const int rememberedIndex = selector.currentIndex();
    const QString rememberedText = selector.currentText();
    {
        const QSignalBlocker quiet(selector);
        window.FillDriveSelector(DriveTable, static_cast<int>(kDriveTableEntries));
        selector.setCurrentIndex(
            selector.findText(rememberedText, Qt::MatchExactly | Qt::MatchCaseSensitive));
        selector.setEditText(rememberedText);
    }

    if (selector.currentIndex() < 0) {
        if (rememberedIndex >= 0) {
            const std::string text = rememberedText.toLocal8Bit().toStdString() +
                                     " is not found. Change the current drive to " +
                                     selector.itemText(0).toLocal8Bit().toStdString();
            platform::ShowMessageBox({text, window.windowTitle().toLocal8Bit().toStdString(),
                                      platform::BoxOwner::Window, platform::BoxKind::Plain});
            if (refreshRuns != run) {
                return; // a notice during the message refreshed the window for a newer table
            }
        }
        const QSignalBlocker quiet(selector);
        selector.setCurrentIndex(0);
    }

    const int current = selector.currentIndex();
    if (current < 0) { // discovery counted drives but gave no letter
        SetNoDriveState(window);
        return;
    }
    if (OsVersionInfo.MajorVersion == 0) {
        RecordOsVersion(); // the window opened without drives
    }
    window.ShowDrive(DriveTable[static_cast<std::size_t>(current)], OsVersionInfo.MajorVersion < 5);
    window.BitBtn4->setEnabled(true);
}
