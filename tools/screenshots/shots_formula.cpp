// The dialogs that make shapes: the Formula dialog with a band-limited
// square on channel 1 (the line, the samples, the live plot and what the card
// is sent), the Sweep dialog with a linear sweep, and the Modulation dialog.
#include <QApplication>
#include <QDir>

#include "kd7010fp_app.h"
#include "kd7240fp_formuladialog.h"
#include "kd7240fp_modulationdialog.h"
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

void shotsModulation(const QString &dir)
{
    // AM of 50 % at 100 Hz on a 10 kHz sine: one buffer of 10000 samples
    // holds a whole period of the modulation.
    kd7240fp::Settings settings;
    settings.common.frequency = 10000;
    settings.channel[0].waveType = kd7240fp::waveSine;
    settings.channel[0].amplitude = 4;
    settings.channel[0].modulation = { kd7240fp::Modulation::AM, kd7240fp::waveSine, 100, 50 };
    kd7240fp_modulationDialog dialog(nullptr, QStringLiteral("Channel 1"), settings, 0, { -10, 10 });
    dialog.resize(760, 640);
    centerOnScreen(&dialog);
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(dir).filePath(QStringLiteral("modulation-dialog.png"));
    if (!dialog.grab().save(path))
        qWarning("could not write %s", qPrintable(path));
}
