#include "FrmManage/qt/Pictures.h"

#include <QBitmap>
#include <QImage>

namespace {

const char* const kDriveXpm[] = {
    "16 16 6 1",        "  c None",         ". c #000000",      "g c #808080",
    "l c #C0C0C0",      "w c #FFFFFF",      "r c #FF0000",      "                ",
    "                ", "                ", "                ", " .............. ",
    " .wwwwwwwwwwwl. ", " .wllllllllllg. ", " .wl.........g. ", " .wllllllllllg. ",
    " .wl.........g. ", " .wllllllllllg. ", " .wllllllllrrg. ", " .lggggggggggg. ",
    " .............. ", "                ", "                ",
};

const char* const kFolderXpm[] = {
    "16 16 4 1",        "  c None",         ". c #000000",      "y c #FFFF00",
    "w c #FFFFFF",      "                ", "                ", "  .....         ",
    " .ywywy.        ", ".ywywywy....... ", ".wywywywywywyw. ", ".ywywywywywywy. ",
    ".wywywywywywyw. ", ".ywywywywywywy. ", ".wywywywywywyw. ", ".ywywywywywywy. ",
    ".wywywywywywyw. ", ".ywywywywywywy. ", "............... ", "                ",
    "                ",
};

const char* const kPadlockXpm[] = {
    "16 16 5 1",        "  c None",         ". c #000000",      "g c #808080",
    "l c #C0C0C0",      "w c #FFFFFF",      "                ", "     ......     ",
    "    .gllllg.    ", "   .gl....lg.   ", "   .l.    .l.   ", "   .l.    .l.   ",
    "   .l.    .l.   ", "  ............  ", "  .wllllllllg.  ", "  .wllll.lllg.  ",
    "  .wlll...llg.  ", "  .wllll.lllg.  ", "  .wllll.lllg.  ", "  .wggggggggg.  ",
    "  ............  ", "                ",
};

const char* const kKeyXpm[] = {
    "16 16 3 1",        "p c #FF00FF",      ". c #000000",      "y c #FFFF00",
    "pppppppppppppppp", "p....ppppppppppp", ".yyyy.pppppppppp", ".y..yy.ppppppppp",
    ".y..yy.ppppppppp", ".yyyyyy.pppppppp", "p.yyyyyy.ppppppp", "pp....yyy.pppppp",
    "pppppp.yyy.ppppp", "ppppppp.yyy.pppp", "pppppppp.yyy.ppp", "ppppppppp.yyy.pp",
    "pppppppp.y.yyy.p", "ppppppppp.yyyy.p", "pppppppppp.y..pp", "ppppppppppp.pppp",
};

const char* const kWindowIconXpm[] = {
    "16 16 6 1",        "  c None",         ". c #000000",      "g c #808080",
    "l c #C0C0C0",      "w c #FFFFFF",      "r c #FF0000",      "                ",
    "                ", "                ", " .............. ", " .wwwwwwwwwwwl. ",
    " .wllllllllllg. ", " .wl.........g. ", " .wllllllllllg. ", " .wl.........g. ",
    " .wllllllllllg. ", " .wlrrllllrrlg. ", " .wllllllllllg. ", " .lggggggggggg. ",
    " .............. ", "                ", "                ",
};
} // namespace

QPixmap DrivePicture() {
    return QPixmap(kDriveXpm);
}

QPixmap FolderPicture() {
    return QPixmap(kFolderXpm);
}

QPixmap PadlockPicture() {
    return QPixmap(kPadlockXpm);
}

QPixmap KeyPicture() {
    QPixmap key(kKeyXpm);
    const QColor background = key.toImage().pixelColor(0, key.height() - 1);
    key.setMask(key.createMaskFromColor(background, Qt::MaskInColor));
    return key;
}

QIcon WindowIcon() {
    return QIcon(QPixmap(kWindowIconXpm));
}
