#pragma once
// Brings the drive table and the setup window in line with the device after a device change.

// Rebuilds DriveTable, then the window FrmEditProtect: the no-drive state when no drive is
// found; otherwise the selector's entries, the chosen drive (kept while its label is still
// listed, else entry 0 after a message naming the drive that went), the folder list, the
// password box, the wait-state box, CurrentDriveLetter and "Save" enabled. No change it makes
// to the selector counts as the user's choice. A refresh that runs nested inside the message
// of another leaves the window as it set it; the outer one then ends.
void RefreshDriveTable();
