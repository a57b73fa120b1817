// A plan in the operator's words: the readout beside the frequency and its
// tool tip, the warning Start shows for a problem, the caution it gives
// before sending, and the preview's title. The one place a plan is phrased.
#ifndef KD7240FP_PLANTEXT_H
#define KD7240FP_PLANTEXT_H

#include <QString>
#include <QStringList>

#include "kd7240fp_plan.h"

namespace kd7240fp {

// A number as the boxes write it: the locale's decimal mark, no group separators.
QString decimalText(double value, char format, int precision);

// While one lives (in this thread), the texts here are made with the C
// locale: the words a remote client hears are SCPI's ("1.5 MHz", "-5.00"),
// whatever the operator's locale, in which the window goes on speaking.
class CLocaleTexts
{
public:
    CLocaleTexts();
    ~CLocaleTexts();
    CLocaleTexts(const CLocaleTexts &) = delete;
    CLocaleTexts &operator=(const CLocaleTexts &) = delete;
};
// Texts joined into sentences: each part ends with a full stop (added when
// it has none of its own) before the next; empty parts are left out.
QString sentences(const QStringList &parts);

// "1 MHz", "100 kHz": a sample clock as the operator reads it.
QString clockText(double rate);

// The short readout: what the card plays ("plays 1000.00 Hz, 1000 samples").
QString readoutText(const Plan &plan);
// Its explanation, for the tool tip.
QString readoutTip(const Plan &plan);
// The warning for the plan's problem; empty without one.
QString problemText(const Plan &plan);
// The readout for a live change the card was not sent: "not sent: ...".
QString refusedReadout(const Plan &plan);
// Said before sending, though nothing stops it; empty when nothing is.
QString cautionText(const Plan &plan);
// A sweep as its channel's label reads it: "sweep 1 kHz → 10 kHz, linear",
// at the common frequency it plays at now. A sweep made at another one plays
// its frequencies scaled alike, and says so: "... (made at 10 Hz)".
QString sweepLabel(const Sweep &sweep, int frequency);

// A modulation as its channel's label reads it, as set: "AM 50 % at 100 Hz,
// sine".
QString modulationLabel(const Modulation &modulation);

// The preview's title for the period the plan plays (its seams named).
QString periodTitle(const Plan &plan, const QString &channel1Name, const QString &channel2Name, bool volts = true);

} // namespace kd7240fp

#endif
