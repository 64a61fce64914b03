#include "FrmManage/FrmEditProtect.h"
#include "app/RefreshDriveTable.h"
#include "platform/DeviceNotices.h"

void TFrmEditProtect::OnDeviceChange(platform::DeviceChangeEvent& message) {
    message.Result = 1; // also grants a removal request
    if (message.WParam() == platform::kDbtDeviceArrival ||
        message.WParam() == platform::kDbtDeviceRemoveComplete) {
        RefreshDriveTable();
    }
}
