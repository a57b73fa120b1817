// The Formula dialog with a band-limited square on channel 1: the line, the
// samples, the live plot and what the card is sent.
#include <QApplication>
#include <QDir>

#include "kd7010fp_app.h"
#include "kd7240fp_formuladialog.h"
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
