// The Select Function Card dialog. Besides the tree the operator picks cards
// from, it carries the whole outcome of the connection phase (descriptor,
// card numbers, demo flag, session) for the panel base to copy out.
#ifndef KD7010FP_FCSELECT_H
#define KD7010FP_FCSELECT_H

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include "kd7010fp_genfc.h"
#include "visa.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// What the search learns about one VISA resource. Plain value: the query
// fills a copy on a worker thread and the GUI thread copies it back.
struct resourceEntry_t
{
    QString descriptor; // as the VISA find returned it
    QStringList carrierTexts; // the carrier row's columns; empty when nothing could be opened
    qint16 carrierModel = 0; // identity entry 0, after the carrier remap
    QString modelSuffix; // working text: "-" and two variant characters, or empty
    QList<QStringList> fcTexts; // per occupied slot: "FC n" and the model text
    QList<int> slotNumbers; // per occupied slot: its number when it holds our model, else 0
    QString networkAddress; // TCPIP address text; the key for dropping duplicates
};

// One resource's query, handed to a worker thread.
struct getResourceInfo_params_t
{
    kd7010fp_genFC *card = nullptr;
    ViSession defaultRM = 0;
    resourceEntry_t entry;
    bool queried = false; // already filled in the GUI thread
};

class kd7010fp_fcSelect : public QDialog
{
    Q_OBJECT

public:
    static constexpr int maxCards = 256;
    static constexpr int maxSearchThreads = 128;

    kd7010fp_fcSelect(kd7010fp_genFC *card, int multiSelect);

    // Clears and fills the tree from every VISA resource of the system and
    // returns how many cards can be chosen (at most maxCards). Leaves the last
    // selectable card's descriptor and number in resourceDescriptor/fcNumbers[0].
    virtual int searchResources();
    // Asks the operator how to connect and connects; false when cancelled.
    bool connectCard();
    // Opens function card `fcNumber` on `descriptor` without asking (the
    // command line's --connect); false with the reason in `error` when it
    // does not open.
    bool connectTo(const QString &descriptor, int fcNumber, QString *error);
    // Fills params->entry for one resource; thread-safe for distinct records.
    static void getResourceInfo(getResourceInfo_params_t *params);
    // The card the panel has open (Change Card): choosing it again keeps
    // its session as it is, instead of opening it a second time with a
    // reset (which would drop its outputs), and sets keptInUse.
    void setCardInUse(ViSession session, int fcNumber);
    // Whether `descriptor` reaches the same resource as the open `session`:
    // the same interface and board and, on a network, the same address and
    // device; elsewhere the same resource name. Any spelling of it counts.
    static bool sameResource(const QString &descriptor, ViSession session);
    bool keptInUse = false;

    QPushButton *okButton;
    QTreeWidget *fcTree;
    QPushButton *cancelButton;
    QList<QTreeWidgetItem *> selection;
    QString resourceDescriptor;
    qint16 fcNumbers[maxCards];
    int demoMode;
    int fcCount;
    ViSession session;
    kd7010fp_genFC *card;

public slots:
    void okPressed();
    void dblClick(QTreeWidgetItem *item);

private:
    // The model code as the window titles show it: hexadecimal, width 4 ("7240").
    QString modelText() const;
    QString boxTitle() const;
    static bool isSelectable(const QTreeWidgetItem *item);
    static void reportUnavailableChoice();

    ViSession inUseSession = 0;
    int inUseNumber = 0;
};

#endif
