// The dialogs that make shapes: the Formula dialog with a band-limited
// square on channel 1 (the line, the samples, the live plot and what the card
// is sent), and the Sweep dialog with a linear sweep.
#include <QApplication>
#include <QDir>

#include "kd7010fp_app.h"
#include "kd7240fp_formuladialog.h"
#include "kd7240fp_sweepdialog.h"
#include "shots.h"

void shotsFormula(const QString &dir)
{
    kd7240fp_formulaDialog dialog(nullptr, QStringLiteral("Channel 1"),
        QStringLiteral("sin(2*pi*t) + sin(2*pi*3*t)/3 + sin(2*pi*5*t)/5 + sin(2*pi*7*t)/7 + sin(2*pi*9*t)/9"), 1000,
        1000);
    dialog.resize(760, 560);
    centerOnScreen(&dialog);
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(dir).filePath(QStringLiteral("formula-dialog.png"));
    if (!dialog.grab().save(path))
        qWarning("could not write %s", qPrintable(path));
}

void shotsSweep(const QString &dir)
{
    // Slow enough that the plot shows the cycles drawing closer: 20 Hz to
    // 200 Hz over a period of 10 Hz, 11 whole cycles.
    kd7240fp_sweepDialog dialog(
        nullptr, QStringLiteral("Channel 1"), kd7240fp::Sweep { 20, 200, false, 10 }, 10000, 10);
    dialog.resize(760, 600);
    centerOnScreen(&dialog);
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(dir).filePath(QStringLiteral("sweep-dialog.png"));
    if (!dialog.grab().save(path))
        qWarning("could not write %s", qPrintable(path));
}
