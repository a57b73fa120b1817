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

    // Closes the session through the card object and opens the card again on
    // the same descriptor and card number (reset: into its power-on state),
    // then shows the outcome everywhere the card is shown: title, header
    // logo, status box, "Active" LED and About's hardware page (cleared; the
    // card panel adds its identity again). A card that does not open again
    // leaves the panel without one (cardLost, demoMode 1, session 0), shown
    // as "No card"; a later call tries again. In demo mode it does nothing.
    // Returns the open call's status.
    ViStatus reopenCard(bool reset);

    static constexpr int maxCards = 256;

    ViSession session = 0; // 0 in demo mode
    int demoMode = 0; // 1 without hardware
    int fcNumbers[maxCards]; // entry 0 is the card in the status box
    int fcCount = 0;
    bool lxiMode = false; // the card's module has no VXI slot
    QString resourceDescriptor; // what the session was opened on; empty in demo mode
    bool cardLost = false; // the card did not open again: no session, nothing to talk to
    kd7010fp_genFC *card; // not owned

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Title, header logo, status box and LED for the session (or its absence).
    void showConnection();
};

#endif
