// The panel window of one function card: connects to the card before any
// control of the card panel exists, keeps the session, and fills the title,
// header, status box and About dialog from the card and from where it sits.
#ifndef KD7010FP_APPFC_H
#define KD7010FP_APPFC_H

#include "kd7010fp_app.h"
#include "kd7010fp_connection.h"
#include "kd7010fp_genfc.h"
#include "visa.h"

class QCloseEvent;
class kd7010fp_fcSelect;

// How the panel is to reach its card before anyone is asked: the command
// line's --connect or --demo. Ask runs the connection flow as usual.
struct kd7010fp_connectRequest
{
    enum Kind { Ask, Demo, Address };
    Kind kind = Ask;
    QString descriptor;
    int fcNumber = 1;
};

class kd7010fp_AppFC : public kd7010fp_app
{
    Q_OBJECT

public:
    // Runs the connection flow unless startDemo is true; Cancel there ends
    // the process with status 0 before the window is ever shown.
    kd7010fp_AppFC(kd7010fp_genFC *card, int multiSelect, bool startDemo);
    // The same, reaching the card as `request` says first; when that fails
    // the operator is told what failed and the connection flow runs.
    kd7010fp_AppFC(kd7010fp_genFC *card, int multiSelect, bool startDemo, const kd7010fp_connectRequest &request);
    // Closes the driver session unless the panel runs in demo mode.
    ~kd7010fp_AppFC() override;

    // Closes the session and opens the card again on the same descriptor and
    // card number (reset: into its power-on state). A card that does not open
    // again leaves the panel without one, shown as "No card"; a later call
    // tries again. In demo mode it does nothing. Returns the open call's status.
    ViStatus reopenCard(bool reset);
    // Runs the connection flow again (Change Card): Cancel keeps the card
    // there is, and so does choosing that card again (the operator is told).
    // True when another card, or demo mode, was chosen; the old session is
    // then closed.
    bool changeCard();

    static constexpr int maxCards = 256;

    ViSession session = 0; // 0 in demo mode
    int demoMode = 0; // 1 without hardware (and without a card after a failed reopen)
    int fcNumbers[maxCards]; // entry 0 is the card in the status box
    int fcCount = 0;
    bool lxiMode = false; // the card's module has no VXI slot
    kd7010fp_genFC *card; // not owned
    // The connection the members above follow: the one owner of the session.
    kd7010fp_connection *connection;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Follows the connection: the members above, the title, header logo,
    // status box, LED and About's hardware page.
    void showConnection();
    // Runs the connection flow on a selection dialog; false when cancelled.
    bool runFlow(kd7010fp_fcSelect &select);
    // Takes the flow's outcome into the connection.
    void adoptSelection(const kd7010fp_fcSelect &select);
    QList<int> numbersInUse() const;

    int multiSelect;
};

#endif
