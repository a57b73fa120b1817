// Labels whose text changes while they are shown (a problem, a readout, what
// the card is sent). A screen reader hears a label by its accessible name,
// and a label given a fixed name ("Problem with the formula") exposes that
// name alone, never the problem. Its text is therefore kept as its accessible
// description too, changed with it.
#ifndef KD7010FP_LIVELABEL_H
#define KD7010FP_LIVELABEL_H

#include <QString>

class QLabel;

// Shows `text` and tells it to screen readers, followed by `explanation`
// (the label's tool tip, say) when there is one.
void kd7010fp_showLiveText(QLabel *label, const QString &text, const QString &explanation = QString());

#endif
