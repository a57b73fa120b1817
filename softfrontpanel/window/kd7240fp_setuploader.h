// The file dialogs through which the operator saves and opens setups; they
// start in the folder used last (kept beside the address history). Reading,
// writing and fitting the files is kd7240fp_setupFiles's.
#ifndef KD7240FP_SETUPLOADER_H
#define KD7240FP_SETUPLOADER_H

#include <QCoreApplication>
#include <QString>

class QWidget;

class kd7240fp_setupLoader
{
    Q_DECLARE_TR_FUNCTIONS(kd7240fp_setupLoader)

public:
    // Asks where to save a setup; empty when the operator cancels. A name
    // typed without ".kd7240" gets it, and the file dialog asks before
    // replacing that file; where it could not ask (a desktop's own dialog
    // that adds no suffix), a box asks.
    static QString askSavePath(QWidget *parent);
    // Asks for a setup to open; empty when the operator cancels.
    static QString askOpen(QWidget *parent);
};

#endif
