// From what the operator chose to what the card is sent: the sample timing,
// the samples of each channel, what they measure, the channels the card's
// output range cannot hold, and what stands in the way of playing. Numbers
// and codes only; kd7240fp_plantext.h puts them into words. The readout, the
// preview and Start all take the same plan, so what the operator is shown is
// what the card gets.
#ifndef KD7240FP_PLAN_H
#define KD7240FP_PLAN_H

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "kd7240fp_range.h"
#include "kd7240fp_settings.h"
#include "kd7240fp_synthesis.h"

namespace kd7240fp {

// Room for `count` doubles, or null when there is none. The plan writes the
// samples there: channel 1 first, channel 2 following it when both play.
using SampleRoom = std::function<double *(int count)>;

struct Plan
{
    // What stands in the way of playing, in the order Start checks them.
    enum Problem { None, NoWaveform, NoShape, NoPeriod, TooFast, LengthsDiffer, Unmodulable, NoMemory, BeyondLimits };

    Problem problem = None;
    int problemChannel = 0; // NoShape, TooFast: the channel (1 or 2)
    int neededSamples = 0; // NoMemory: the doubles that could not be had

    int frequency = 0; // asked for, Hz
    // The sample timing. With Exact frequency, timing.nSam is the buffer's
    // samples (several periods) and timing.played the frequency they play.
    Timing timing;
    int periods = 1; // whole periods in the buffer: more than one only with Exact frequency
    // Samples of the buffer that make one period as played (the first of
    // `periods`), for the preview.
    int periodSamples = 0;
    bool exact = false; // Exact frequency fitted the buffer
    double errorPpm = 0; // exact: how far the played frequency is from the asked one
    bool exactMissed = false; // exact with cycles: no divisor of them comes within 0.1 %
    bool exactBesideShape = false; // Exact frequency is ticked, but a shape keeps its own timing
    // A channel is modulated: the buffer holds whole periods of the carrier
    // (`periods` of it) and of each modulation, as `modulation` says, with
    // the values it plays; its problem code when it cannot (Unmodulable).
    bool modulated = false;
    ModulationTiming modulation;
    bool exactBesideModulation = false; // Exact frequency is ticked: the buffer is exact anyway
    int cycles = 0; // as set, for the words about exactMissed
    int shapeSamples[2] = {}; // each channel's shape, when it plays one
    // A standard waveform drawn with a shape's few samples: said before
    // sending, but no reason not to send.
    bool fewSamples[2] = {};
    // The readout should stand out: the card plays something other than
    // what was asked (0.1 % off, an exact fit missed, a waveform drawn with
    // few samples, a square without a high sample), or nothing at all.
    bool off = false;

    bool active[2] = {};
    bool shape[2] = {}; // the channel plays a shape (from a file or a formula)
    int filter[2] = {}; // the driver's filter codes
    int length = 0; // cycles the card plays; 0 without end
    bool byTrigger = false;
    Limits limits; // what the samples are checked against

    // Where each channel's period starts, as played (degrees): a sine's
    // phase exactly (phaseExact), the others' rounded to whole samples.
    double phasePlayed[2] = {};
    bool phaseExact[2] = {};
    // A square's high part as played: whole samples of timing.nSam.
    int dutyHigh[2] = {};
    // The samples of the one period a standard waveform is drawn with: the
    // buffer's, or a modulated buffer's S a carrier period.
    int drawnSamples = 0;
    // A square whose duty holds no whole sample of that period (5 % of ten
    // samples): it would play a constant, so the readout says so.
    bool noHighSample[2] = {};

    // With room given and a timing: one period of each active channel,
    // timing.nSam samples, within the room; null for a silent channel.
    const double *samples[2] = {};
    int sampleCount = 0; // doubles used in the room
    // What keeps the room alive, when whoever planned shares it: a copy of
    // the plan then plays from the same samples for as long as it lives.
    std::shared_ptr<const void> keep;
    // Measured on the samples: peak to peak and root mean square about the
    // offset, volts (0 for a silent channel, and without samples).
    double peakToPeak[2] = {};
    double rms[2] = {};
    // A shape's seam: the step from its last sample back to its first,
    // played on every period. Named when it is a jump: more than 1 % of the
    // channel's span and more than twice the steps beside it (a steep slope
    // running on through the seam is none).
    struct Seam
    {
        bool shown = false; // the channel plays a shape of two samples or more
        double step = 0; // first - last, volts
        // A sweep that does not end on a whole cycle: how far its phase
        // jumps there (degrees, -180 to 180; 0 when it closes). Its
        // samples may step no more than anywhere else, yet the phase turns.
        double phaseJump = 0;
        bool named = false;
    };
    Seam seam[2];
    // The active channels whose samples leave the range: the value farthest
    // out, the end it passes, and the runs of samples beyond the range
    // (from, to: the first and one past the last), for the preview to mark.
    struct Beyond
    {
        int channel; // 1 or 2
        double worst;
        double end;
        std::vector<std::pair<int, int>> runs;
    };
    std::vector<Beyond> beyond;

    bool playable() const { return problem == None; }
};

// How far a sweep's phase jumps at its seam, in degrees (-180 to 180): the
// part of a cycle by which its cycles miss a whole number, times 360; 0 when
// it ends on a whole cycle (within a millionth of one).
double sweepSeamDegrees(const Sweep &sweep);

// What keeps a sweep made into `samples` (one period at sweep.frequency)
// from being played, wherever it is made (Sweep..., remote control): its
// top frequency gets fewer than ten samples a period, or its samples are 0
// but for rounding (they fall on whole cycles of the sweep).
enum class SweepProblem { None, TooFewAtTop, ZeroButRounding };
SweepProblem sweepProblem(const Sweep &sweep, const std::vector<double> &samples);

// The room a sweep topping at `top` Hz has over one period at `frequency`:
// the samples the top needs (ten a period of it), the most the card plays
// in a period, and the highest top those allow.
struct SweepRoom
{
    int needed;
    int most;
    double highest;
};
SweepRoom sweepRoom(double top, int frequency);

// The samples a new shape gets so that it plays at `frequency`: those a
// period of it has, within what a shape may hold.
int newShapeSamples(int frequency);

// A copy of `plan` whose samples live in `storage` (replaced), so it
// outlives the room the plan was computed into (a plan that keeps its room
// alive needs none).
Plan withOwnSamples(const Plan &plan, std::vector<double> &storage);

// What the card's samples, timing, cycles and trigger are made of: the
// settings as planFor reads them, everything it does not read at its
// default (a silent channel's values, a shape's name, a modulation turned
// off, the cycles of an unlimited output, Exact frequency beside a shape or
// a modulation, the function an output comes back with). Two settings
// whose parts are equal make the same samples and are played alike.
Settings samplesPart(const Settings &settings);

// The plan for `settings` on a card whose boxes offer `limits`. Without room
// no samples are computed (enough for the timing and the problems before
// sending) and the limits are not checked.
Plan planFor(const Settings &settings, const Limits &limits, const SampleRoom &room = SampleRoom());

} // namespace kd7240fp

#endif
