// Setup files as the panel reads and writes them, and the settings it closed
// with (Last.kd7240 beside the address history): values beyond what the
// card's boxes offer are fitted, and what went wrong or was changed comes
// back in the operator's words. No dialogs here: the window asks for the
// files (kd7240fp_setupLoader), a remote client names them.
#ifndef KD7240FP_SETUPFILES_H
#define KD7240FP_SETUPFILES_H

#include <QCoreApplication>
#include <QString>
#include <optional>

#include "kd7240fp_range.h"
#include "kd7240fp_settings.h"

class kd7240fp_setupFiles
{
    Q_DECLARE_TR_FUNCTIONS(kd7240fp_setupFiles)

public:
    // Writes `settings` to `path`; what went wrong, or empty.
    static QString save(const QString &path, const kd7240fp::Settings &settings);

    struct Opened
    {
        std::optional<kd7240fp::Settings> settings; // nothing when the file cannot be used
        QString problem; // why not, naming the file
        // The values brought within `range` or to their boxes' decimals,
        // one per line after a heading naming the file; empty when none.
        QString changes;
    };
    // Reads a setup: all of it or nothing; values beyond what the card's
    // boxes offer are brought within `range`.
    static Opened open(const QString &path, const kd7240fp::CardRange &range);
    // Brings settings made on another card within `range` (Change Card);
    // `changes` lists what changed after `heading`, empty when nothing did.
    static void fitToCard(kd7240fp::Settings &settings, const kd7240fp::CardRange &range, const QString &heading,
        QString *changes);

    // Last.kd7240 beside DefaultInstrDescr.ini. A damaged one is copied to
    // Last.kd7240.bak before the panel may write over it; its problem then
    // says so.
    static QString lastPath();
    static Opened openLast(const kd7240fp::CardRange &range);
    // What went wrong, or empty.
    static QString saveLast(const kd7240fp::Settings &settings);
};

#endif
