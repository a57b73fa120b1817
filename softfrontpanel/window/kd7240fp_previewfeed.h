// What the Preview tab shows, in step with the model: the plan of the
// settings while the card is idle, what was sent while it generates. It is
// drawn only while the tab is in sight (when it comes into sight, the window
// asks again), and once after many changes at once (a reset, the limits).
#ifndef KD7240FP_PREVIEWFEED_H
#define KD7240FP_PREVIEWFEED_H

#include <QObject>
#include <vector>

#include "kd7240fp_plan.h"

class QTabWidget;
class QTimer;
class kd7240fp_model;
class kd7240fp_preview;

class kd7240fp_previewFeed : public QObject
{
    Q_OBJECT

public:
    // `preview` is a page of `tabs`.
    kd7240fp_previewFeed(const kd7240fp_model *model, kd7240fp_preview *preview, QTabWidget *tabs, QObject *parent);

    // Drawn again once the changes of this turn are made.
    void follow();
    // A start is asked for: until what it sends is drawn, the preview does
    // not show what the card plays.
    void starting() { sentShown = false; }
    // What the generator sent, drawn at once while in sight.
    void showSent(const kd7240fp::Plan &plan);

private:
    bool inSight() const;
    void update();

    const kd7240fp_model *model;
    kd7240fp_preview *preview;
    QTabWidget *tabs;
    QTimer *timer;
    // Whether the preview shows what the card plays, and the room to plan
    // it again for it.
    bool sentShown = true;
    std::vector<double> sentSamples;
};

#endif
