#pragma once
// The program's run, whatever toolkit draws its window.

#include "FrmManage/Controls.h"

// Builds the drive table, creates the window FrmEditProtect on toolkit's controls with the
// drive table's refresh as its device-change hook, and runs it: in its no-drive state when
// discovery found no drive, else filled from the table. Returns 0 when the window has closed.
int StartUp(const TFormFactory& toolkit);
