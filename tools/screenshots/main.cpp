// Renders the program's windows into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen screenshots docs
#include <QApplication>

#include "shots.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    shotsFrame(dir);
    shotsSettings(dir);
    shotsAbout(dir);
    shotsConnection(dir);
    shotsPanel(dir);
    return 0;
}
