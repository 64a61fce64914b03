#pragma once
// The window's 16 x 16 pictures, drawn in plain palette colours. Needs a QGuiApplication.

#include <QIcon>
#include <QPixmap>

// A grey hard-disk drive seen from the front: two black slots, a small red light.
QPixmap DrivePicture();
// A closed yellow folder with a white dither and a black outline.
QPixmap FolderPicture();
// A grey padlock with a black keyhole: the private mark.
QPixmap PadlockPicture();
// A yellow key lying diagonally, bowl at the top left; its background (the colour of the
// bottom-left pixel) is transparent.
QPixmap KeyPicture();
// The window's icon: a grey hard disk with red lights.
QIcon WindowIcon();
