// The panel window of one function card: connects to the card before any
// control of the card panel exists, keeps the session, and fills the title,
// header, status box and About dialog from the card and from where it sits.
#ifndef KD7010FP_APPFC_H
#define KD7010FP_APPFC_H

#include "kd7010fp_app.h"
#include "kd7010fp_genfc.h"
#include "visa.h"

class QCloseEvent;

class kd7010fp_AppFC : public kd7010fp_app
{
    Q_OBJECT

public:
    // Runs the connection flow unless startDemo is true; Cancel there ends
    // the process with status 0 before the window is ever shown.
    kd7010fp_AppFC(kd7010fp_genFC *card, int multiSelect, bool startDemo);
    // Closes the driver session unless the panel runs in demo mode.
    ~kd7010fp_AppFC() override;

    static constexpr int maxCards = 256;

    ViSession session = 0; // 0 in demo mode
    int demoMode = 0; // 1 without hardware
    int fcNumbers[maxCards]; // entry 0 is the card in the status box
    int fcCount = 0;
    bool lxiMode = false; // the card's module has no VXI slot
    QString resourceDescriptor; // what the session was opened on; empty in demo mode
    kd7010fp_genFC *card; // not owned

protected:
    void closeEvent(QCloseEvent *event) override;
};

#endif
