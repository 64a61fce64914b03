#pragma once
// The resources of private-folder-setup.exe. The window's icon has the lowest number, so
// that it is also the program's icon.

#define IDI_WINDOW 1
#define IDI_DRIVE 2
#define IDI_FOLDER 3
#define IDI_PADLOCK 4
#define IDI_KEY 5
