#include "FrmManage/FrmEditProtect.h"

TFrmEditProtect* FrmEditProtect = nullptr;

TFrmEditProtect::TFrmEditProtect() {
    setWindowTitle(QStringLiteral("Private folder setup Ver.1.01"));
}
