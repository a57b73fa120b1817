// Each function renders some of the program's windows into PNG files in dir.
#ifndef SHOTS_H
#define SHOTS_H

#include <QString>

void shotsFrame(const QString &dir);
void shotsSettings(const QString &dir);
void shotsAbout(const QString &dir);
void shotsConnection(const QString &dir);
void shotsPanel(const QString &dir);
// The Formula dialog of a channel.
void shotsFormula(const QString &dir);
void shotsSweep(const QString &dir);
void shotsModulation(const QString &dir);
// The panel at twice the pixel density (run with QT_SCALE_FACTOR=2).
void shotsPanelDoubleDensity(const QString &dir);

#endif
