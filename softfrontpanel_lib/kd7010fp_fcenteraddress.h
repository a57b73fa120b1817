// The Enter Address dialog: the operator types or picks the descriptor and
// function-card number of one card (of up to eight for the multi-card
// models). Entries are remembered per card model in DefaultInstrDescr.ini.
#ifndef KD7010FP_FCENTERADDRESS_H
#define KD7010FP_FCENTERADDRESS_H

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;
class kd7010fp_genFC;
class kd7010fp_fcEnterAddressFc;

class kd7010fp_fcEnterAddress : public QDialog
{
    Q_OBJECT

public:
    static constexpr int maxRows = 8;
    static constexpr int historyLength = 5;

    explicit kd7010fp_fcEnterAddress(kd7010fp_genFC *card);

    // Fills the rows and the count from the settings file; a missing or
    // unreadable file gives the defaults.
    void loadDefaults();
    // Stores the dialog in the settings file and returns descriptor and card
    // number of every row in use, row 1 first.
    void saveDefaults(QStringList &descriptors, QList<int> &fcNumbers);

    // Where DefaultInstrDescr.ini lives on this platform.
    static QString settingsFilePath();

    kd7010fp_fcEnterAddressFc *rows[maxRows] = {};
    QString modelName;
    QString iniFileName;
    QComboBox *countBox;

private slots:
    void countChanged();
};

#endif
