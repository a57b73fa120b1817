// Setup files as the operator saves and opens them: the file dialogs, which
// start in the folder used last (kept beside the address history), the
// reports, and the settings the panel closed with (Last.kd7240).
#ifndef KD7240FP_SETUPLOADER_H
#define KD7240FP_SETUPLOADER_H

#include <QCoreApplication>
#include <QString>
#include <optional>

#include "kd7240fp_plan.h"
#include "kd7240fp_settings.h"

class QWidget;

class kd7240fp_setupLoader
{
    Q_DECLARE_TR_FUNCTIONS(kd7240fp_setupLoader)

public:
    // What the boxes of this card offer: an opened setup is brought within it.
    struct Range
    {
        kd7240fp::Limits offsets;
        double maxAmplitude = 0;
    };

    // Asks for a file name (.kd7240 added when none is given) and writes
    // `settings` there; a failure is reported.
    static void askSave(QWidget *parent, const kd7240fp::Settings &settings);
    // Asks for a setup to open; empty when the operator cancels.
    static QString askOpen(QWidget *parent);
    // Reads a setup: a file that cannot be used is reported and gives
    // nothing; values beyond `range` are brought within it and listed in one
    // message.
    static std::optional<kd7240fp::Settings> open(const QString &path, const Range &range);

    // Last.kd7240 beside DefaultInstrDescr.ini. Problems go to standard
    // error only: they never stop a start or an end.
    static QString lastPath();
    static std::optional<kd7240fp::Settings> openLast(const Range &range);
    static void saveLast(const kd7240fp::Settings &settings);
};

#endif
