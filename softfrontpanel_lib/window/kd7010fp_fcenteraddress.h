// The Enter Address dialog: the operator types or picks the descriptor and
// function-card number of one card (of up to eight for the multi-card
// models). Entries are remembered per card model in DefaultInstrDescr.ini.
#ifndef KD7010FP_FCENTERADDRESS_H
#define KD7010FP_FCENTERADDRESS_H

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

class QComboBox;
class QShowEvent;
class kd7010fp_genFC;
class kd7010fp_fcEnterAddressFc;

class kd7010fp_fcEnterAddress : public QDialog
{
    Q_OBJECT

public:
    static constexpr int maxRows = 8;
    static constexpr int historyLength = 5;

    explicit kd7010fp_fcEnterAddress(kd7010fp_genFC *card);

    // Fills the rows and the count from the settings file: whatever of the
    // model's group can be read, the defaults for the rest. A file that is
    // missing, unreadable or no regular file gives the defaults.
    void loadDefaults();
    // Stores the dialog in the settings file and returns descriptor and card
    // number of every row in use, row 1 first. A file that could not be read
    // cleanly is copied to DefaultInstrDescr.ini.bak before it is written
    // over; when the entries cannot be stored, the operator is told once.
    void saveDefaults(QStringList &descriptors, QList<int> &fcNumbers);

    // Where DefaultInstrDescr.ini lives on this platform.
    static QString settingsFilePath();
    // False when something other than a regular file (a FIFO, a device, a
    // folder) is in the settings file's place: opening it could block the
    // panel, so it must not be opened at all. True for a missing file.
    static bool settingsFileOpenable(const QString &path);

    kd7010fp_fcEnterAddressFc *rows[maxRows] = {};
    QString modelName;
    QString iniFileName;
    QComboBox *countBox;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void countChanged();

private:
    // Writes the entries to the settings file; returns what the operator is
    // to be told, or nothing.
    QString store(const QList<QPair<QString, QVariant>> &entries) const;
};

#endif
