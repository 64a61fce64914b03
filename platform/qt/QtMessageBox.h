#pragma once

class QWidget;

namespace platform {

// Shows every box of the seam as a QMessageBox with one OK button; owner() gives the widget
// that owns the boxes marked BoxOwner::Window (null while there is none).
void InstallQtMessageBoxes(QWidget* (*owner)());

} // namespace platform
