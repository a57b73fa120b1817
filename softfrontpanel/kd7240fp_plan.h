// From what the operator chose to what the card is sent: the sample timing,
// the samples of each channel, the channels the card's output range cannot
// hold, the readout's words and what stands in the way of playing. The
// readout, the preview and Start all take the same plan, so what the
// operator is shown is what the card gets.
#ifndef KD7240FP_PLAN_H
#define KD7240FP_PLAN_H

#include <QString>
#include <functional>
#include <vector>

#include "kd7240fp_settings.h"
#include "kd7240fp_waveform.h"

namespace kd7240fp {

// An output range in volts.
struct Limits
{
    double low = -10;
    double high = 10;
};

// The card's range as a box with `decimals` decimals can show it: each end
// rounded inward, so every value the box offers lies within the card's range.
Limits shownLimits(double low, double high, int decimals);

// "1 MHz", "100 kHz": a sample clock as the operator reads it.
QString clockText(double rate);

// Room for `count` doubles, or null when there is none. The plan writes the
// samples there: channel 1 first, channel 2 following it when both play.
using SampleRoom = std::function<double *(int count)>;

struct Plan
{
    // What stands in the way of playing, in the order Start checks them.
    enum Problem { None, NoWaveform, NoShape, NoPeriod, TooFast, LengthsDiffer, NoMemory, BeyondLimits };

    Problem problem = None;
    QString problemText; // the warning Start shows; empty without a problem

    // The sample timing. With Exact frequency, timing.nSam is the buffer's
    // samples (several periods) and timing.played the frequency they play.
    Timing timing;
    QString timingText; // why the settings give no timing; empty when they do
    int periods = 1; // whole periods in the buffer: more than one only with Exact frequency
    // Samples of the buffer that make one period as played (the first of
    // `periods`), for the preview.
    int periodSamples = 0;
    // Where each channel's period starts, as played: the phase asked for,
    // rounded to whole samples (degrees).
    double phasePlayed[2] = {};
    // A square's high part as played: whole samples of the timing.nSam.
    int dutyHigh[2] = {};
    // Each channel's size as the operator reads it off a scope, from the
    // samples played: peak to peak and root mean square about the offset,
    // volts (0 for a silent channel, and without room for samples).
    double peakToPeak[2] = {};
    double rms[2] = {};
    // Said before sending, but no reason not to: a standard waveform drawn
    // with a shape's few samples.
    QString caution;

    // The readout beside the frequency: a short text, the explanation for
    // its tool tip, and whether it should stand out (the card plays
    // something other than what was asked, or nothing at all).
    QString readout;
    QString readoutTip;
    bool readoutOff = false;

    bool active[2] = {};
    bool shape[2] = {}; // the channel plays a shape (from a file or a formula)
    int filter[2] = {}; // the driver's filter codes
    int length = 0; // cycles the card plays; 0 without end
    bool byTrigger = false;
    Limits limits;

    // With room given and a timing: one period of each active channel,
    // timing.nSam samples, within the room; null for a silent channel.
    const double *samples[2] = {};
    int sampleCount = 0; // doubles used in the room
    // The active channels whose samples leave the output range, with the
    // value farthest out.
    struct Beyond
    {
        int channel; // 1 or 2
        double worst;
    };
    std::vector<Beyond> beyond;

    bool playable() const { return problem == None; }
};

// The plan for `settings` on a card whose boxes offer `limits`. Without room
// no samples are computed (enough for the readout) and the limits are not
// checked.
Plan planFor(const Settings &settings, const Limits &limits, const SampleRoom &room = SampleRoom());

} // namespace kd7240fp

#endif
