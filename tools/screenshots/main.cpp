// Renders the program's windows into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen screenshots docs
//   QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 screenshots docs --double-density
#include <QApplication>
#include <QTemporaryDir>

#include "shots.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Nothing remembered from the operator's own use (live changes, the
    // last settings, folders) shows in the pictures.
    QTemporaryDir profile;
    qputenv("ALLUSERSPROFILE", profile.path().toLocal8Bit());
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    if (argc > 2 && qstrcmp(argv[2], "--double-density") == 0) {
        shotsPanelDoubleDensity(dir);
        return 0;
    }
    shotsFrame(dir);
    shotsSettings(dir);
    shotsAbout(dir);
    shotsConnection(dir);
    shotsPanel(dir);
    shotsFormula(dir);
    shotsSweep(dir);
    shotsModulation(dir);
    return 0;
}
