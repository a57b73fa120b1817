// Setup files as the operator saves and opens them: the file dialogs, which
// start in the folder used last (kept beside the address history), and the
// settings the panel closed with (Last.kd7240). What went wrong or was
// changed comes back in the operator's words; the window shows it.
#ifndef KD7240FP_SETUPLOADER_H
#define KD7240FP_SETUPLOADER_H

#include <QCoreApplication>
#include <QString>
#include <optional>

#include "kd7240fp_range.h"
#include "kd7240fp_settings.h"

class QWidget;

class kd7240fp_setupLoader
{
    Q_DECLARE_TR_FUNCTIONS(kd7240fp_setupLoader)

public:
    // Asks where to save a setup; empty when the operator cancels. A name
    // typed without ".kd7240" gets it, and the file dialog asks before
    // replacing that file; `replaceUnasked` is set when it exists and the
    // dialog could not ask (a desktop's own dialog that adds no suffix).
    static QString askSavePath(QWidget *parent, bool *replaceUnasked);
    // Writes `settings` to `path`; what went wrong, or empty.
    static QString save(const QString &path, const kd7240fp::Settings &settings);
    // Asks for a setup to open; empty when the operator cancels.
    static QString askOpen(QWidget *parent);

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
