// Modulation played as exact buffers. The card has no modulator, but it
// repeats a buffer of N samples at a rate R: a buffer that holds whole
// periods of both the carrier and the modulation repeats without a seam, so
// the modulated signal it plays is exact. Pure arithmetic: which buffer
// (modulationTiming) and its samples (synthesizeModulated); numbers and codes
// only.
//
// Conventions, as a bench generator's:
// - Every carrier period holds the same whole number S of samples (N = S K),
//   and the carrier is the channel's own waveform, sample for sample: one
//   period is what the channel plays alone with S samples a period
//   (synthesizePeriod: the square's whole high samples, the saw's -1 .. +1,
//   the triangle's own peak, short of 1 for an even S), the sine at its phase
//   exactly and the others moved by whole samples for theirs. FM, PM and FSK
//   read it between samples: at a phase of x samples (x = s + f, s whole, f
//   its part of a sample), the sine is sin(2 pi x / S + phase), the square
//   takes sample s's level (its edges lie on whole samples), the saw and the
//   triangle run straight from sample s to sample s + 1.
// - Edges are decided on the exact phase: for FSK, and for FM and PM by a
//   square, triangle or ramp, x is a fraction of whole numbers and s is found
//   in integers. A sine's modulation makes x irrational (the sine's own
//   rational points aside: 0, 30, 90 degrees and their kin), and doubles
//   decide. A sample exactly on an edge takes the level after it: high on
//   the rising edge, low on the falling one, as the plain square's samples.
// - The modulating shape m (sine, square, triangle or ramp = the saw, coded
//   as the WaveType of the same shape) runs from -1 to 1 at fm and starts at
//   phase 0 on the first sample: sin(2 pi u); +1 for the first half of a
//   period and -1 after; the triangle and the ramp start at -1 like the
//   card's own (-1 + 4u up to u = 1/2 and 3 - 4u after it; -1 + 2u), with u
//   = fm t the modulation's phase in turns. Each has the mean 0 over a
//   period, so FM leaves the carrier's mean frequency at fc. fm (and the FSK
//   rate and hop) are always the values played, which the timing may move.
// - AM, depth d: y = A (1 + d m) / 2 c + offset: 100 % swings from 0 to the
//   full amplitude, 0 % plays half of it (the plain waveform's samples at
//   half its amplitude, bit for bit).
// - FM, deviation df Hz: the carrier's phase is fc t + (df / fm) I(u) turns,
//   I the integral of m over u in closed form: (1 - cos 2 pi u) / (2 pi) for
//   the sine; u, then 1 - u for the square; u (2u - 1), then
//   -(2u - 1)(u - 1) for the triangle; u (u - 1) for the ramp. I is 0 at
//   every whole period, so the phase closes over the buffer.
// - PM, deviation dphi degrees: the phase is fc t + dphi / 360 m(u) turns.
// - FSK, hop fh and rate fr: the carrier's frequency is fc for the first half
//   of each 1 / fr and fh for the second, its phase continuous at each hop. A
//   rate period advances it by P = (fc + fh) / (2 fr) turns: the buffer only
//   closes when P is whole and the buffer holds whole rate periods. Two ways
//   get there: the rate fitted to the buffer, P the nearest whole number for
//   it and the hop 2 P fr - fc (the hop moves, the rate as little as the
//   buffer needs); or P the nearest for the values asked, the rate fitted to
//   (fc + fh) / (2 P) and the hop following from it (the rate moves, the hop
//   a little). The one whose larger relative move is the smaller is played;
//   both values may move, and each move is reported.
// - PWM (square carrier only), duty deviation D %: carrier period p's duty is
//   duty + D m(u_p), u_p the modulation's phase where that period starts, as
//   whole samples of the period (floor, as the plain square's duty). Refused
//   only when the samples cannot show it: a period with no high sample or
//   no low one. The phase moves a PWM channel by whole samples.
// - Values are those of the Modulation dialog's boxes (fitModulation): the
//   frequencies in hundredths of a hertz, depth, phase deviation and duty
//   deviation in tenths, so the arithmetic above is exact in whole numbers.
//
// The timing: the buffer lasts T = K / fc = M / fm (K carrier periods, M
// modulation periods, whole numbers) in N = S K samples at R = S fc: S at
// least ten samples of the highest frequency the signal reaches (below) per
// carrier period's share of it, R at most 1 MHz, N at most maxSamples. Of
// the buffers that hold the modulation exactly the shortest is taken (the
// highest rate), with the most samples that fit. When none holds it (coprime
// frequencies need long buffers), the carrier stays exact and fm moves to
// the nearest M fc / K a buffer can hold; the nearest wins over the rate, so
// a far-off fm may take a long buffer at a rate down to the ten samples.
// FSK too holds whole carrier periods (so fc and fh both have whole cycles in
// the buffer, and a channel beside it plays fc): a carrier of a few Hz
// hopping near 100 kHz finds no buffer.
//
// The highest frequency the signal reaches counts its sidebands: the top of
// its band, the carrier's highest frequency plus the modulating one (Carson's
// rule). AM and PWM: fc + fm; FM: fc + df + fm; PM: fc + dphi / 360 x max
// |dm/dt| + fm (max |dm/dt| is 2 pi fm for the sine, 4 fm for the triangle,
// 2 fm for the ramp, whose drop is a phase step; a square's steps add none);
// FSK: max(fc, fh) + fr. The further sidebands of a square, triangle or ramp
// modulation are not counted. AM of 100 kHz by 20 kHz reaches 120 kHz and is
// refused (TooFast); with whole samples a carrier period, a carrier above
// 90.9 kHz (fewer than 11 samples at 1 MHz) has no room for sidebands.
//
// Both channels modulated: one buffer holds whole periods of both. Channel 1
// is fitted as if it were alone; channel 2 then fits whole multiples of that
// buffer. When that plays channel 2's frequency more than
// modulationTolerance off, and farther off than a buffer of its own would,
// channel 2 is refused (NoCommonBuffer). A channel that is not modulated
// plays its own period of S samples beside (synthesizePeriod), K times over:
// what it plays alone, repeated, whenever S is its own samples per period.
#ifndef KD7240FP_MODULATION_H
#define KD7240FP_MODULATION_H

#include <tuple>

#include "kd7240fp_synthesis.h"

namespace kd7240fp {

// What one channel's modulation is set to. frequency, deviation, hop and rate
// in Hz, depth and dutyDeviation in percent, phaseDeviation in degrees. Only
// the fields of `type` count.
struct Modulation
{
    enum Type { None, AM, FM, PM, FSK, PWM };

    Type type = None;
    int shape = waveSine; // the modulating shape: waveSine, waveSquare, waveSaw (the ramp), waveTriangle
    double frequency = 100; // fm
    double depth = 100; // AM
    double deviation = 100; // FM
    double phaseDeviation = 180; // PM
    double hop = 100; // FSK: the frequency of each period's second half
    double rate = 10; // FSK: hops back and forth per second
    double dutyDeviation = 10; // PWM

    bool active() const { return type != None; }
    // Every field, named by a structured binding: a field added and not
    // named here stops the build, so the comparison never passes over one.
    auto fields() const
    {
        const auto &[type_, shape_, frequency_, depth_, deviation_, phaseDeviation_, hop_, rate_, dutyDeviation_]
            = *this;
        return std::tie(
            type_, shape_, frequency_, depth_, deviation_, phaseDeviation_, hop_, rate_, dutyDeviation_);
    }
    bool operator==(const Modulation &o) const { return fields() == o.fields(); }
    bool operator!=(const Modulation &o) const { return !(*this == o); }
};

// The ranges the fields may take; the timing refuses values outside them.
// FM further needs fc - deviation > 0 and fc + deviation <= maxFrequency;
// PWM a duty deviation that leaves every period a high and a low sample.
constexpr double minModulationFrequency = 0.01; // fm and the FSK rate
constexpr double maxModulationFrequency = 20000;
constexpr double maxDepth = 120;
constexpr double maxDeviation = 99999; // FM, Hz
constexpr double maxPhaseDeviation = 360;
constexpr double minHop = 0.01;
constexpr double maxHop = maxFrequency;
constexpr double maxDutyDeviation = 49;

// The decimals of a field's box in the Modulation dialog: 2 (0.01 Hz) for
// frequency, deviation, hop and rate; 1 for depth, phase deviation and duty
// deviation.
int modulationDecimals(double Modulation::*field);
// A value of `field` as its box holds it: rounded to the box's decimals and
// brought within low .. high. The one rounding of modulation values: the
// dialog's boxes, remote control and the timing take it.
double fitModulation(double Modulation::*field, double value, double low, double high);

// Channel 2 may be moved this share off beside channel 1 (see above).
constexpr double modulationTolerance = offTolerance;

// What the timing needs of a channel: its waveform (waveNone: silent), the
// square's duty (percent) and the modulation.
struct ModulatedChannel
{
    int waveType = waveNone;
    double duty = 50;
    Modulation modulation;

    bool modulated() const { return waveType != waveNone && modulation.active(); }
};

struct ModulationTiming
{
    enum Problem {
        None,
        NotModulated, // neither active channel is modulated
        NoFrequency, // fc outside 1 .. maxFrequency
        OutOfRange, // a field outside its range (problemChannel)
        NoStandardWave, // a modulated channel, or one beside modulation, plays a shape
        NotSquare, // PWM of a carrier that is not a square
        DeviationTooWide, // FM would reach 0 Hz or pass maxFrequency
        TooFast, // ten samples of the highest frequency (`highest`) need more than the card's rate
        NoBuffer, // not one carrier period fits at ten samples of the highest frequency
        HopOutOfRange, // FSK: the hop moved out of its range
        DutyTooWide, // PWM: a period would have no high or no low sample; pwmStep gives the step
        NoCommonBuffer, // channel 2 does not fit channel 1's buffer
    };
    bool ok = false;
    Problem problem = NotModulated;
    int problemChannel = 0; // 1 or 2 where a channel is at fault

    int frequency = 0; // fc, Hz, played exactly
    int samples = 0; // N
    double rate = 0; // R = S fc, Hz; TooFast: the rate ten samples of `highest` would need
    int carrierPeriods = 0; // K
    int samplesPerPeriod = 0; // S = N / K
    double highest = 0; // Hz, the frequency R serves ten samples of (TooFast: the one it cannot)
    bool moved = false; // some channel plays other values than asked

    struct Channel
    {
        bool modulated = false;
        int periods = 0; // M: modulation (FSK: rate) periods in the buffer
        Modulation asked; // as the boxes hold it (fitModulation)
        // As asked, but frequency (or hop and rate) as played: M fc / K.
        Modulation played;
        int fskTurns = 0; // FSK: P, the carrier's turns in one rate period
        bool moved = false;
        double error = 0; // the largest relative move of a played value
        double pwmStep = 0; // PWM: the duty's step, 100 / samplesPerPeriod %
    };
    Channel channels[2];
};

// The buffer for fc Hz and both channels (either may be silent or
// unmodulated; at least one modulated).
ModulationTiming modulationTiming(int frequency, const ModulatedChannel &channel1, const ModulatedChannel &channel2);

// The timing.samples samples of modulated channel `channel` (1 or 2) of an
// ok timing, into out: carrier waveType (1..4) with the square's duty
// (percent), amplitude and offset in volts, the carrier's phase in degrees.
void synthesizeModulated(const ModulationTiming &timing, int channel, int waveType, double duty, double amplitude,
    double offset, double phaseDegrees, double *out);

} // namespace kd7240fp

#endif
