#include "kd7010fp_icons.h"

const char *const connectIcon_xpm[] = {
    "16 16 5 1",
    "# c #808080",
    "a c #ff0000",
    "b c #0000ff",
    "c c #ffffff",
    ". c None",
    "########....aaa.",
    "#########..aaaaa",
    "##########.aaaaa",
    "#########..aaaaa",
    "########....aaa.",
    "................",
    ".bbb....########",
    "bbbbb..#########",
    "bbbbb.##########",
    "bbbbb..#########",
    ".bbb....########",
    "................",
    "c..cc.cc.c.cc.cc",
    "cc.cc.c..c.cc.c.",
    "cc.cc..c.c.c..c.",
    "cc.cc.cc.c.cc.cc",
};

QPixmap connectIconPixmap()
{
    return QPixmap(connectIcon_xpm);
}
