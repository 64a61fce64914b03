#pragma once
// The setup window "Private folder setup Ver.1.01".

#include <QDialog>

class TFrmEditProtect : public QDialog {
    Q_OBJECT

public:
    TFrmEditProtect();

    // The letter of the drive whose folders the list shows; 0 until a drive is listed.
    char16_t CurrentDriveLetter = 0;
};

// The one setup window, created by the start-up.
extern TFrmEditProtect* FrmEditProtect;
