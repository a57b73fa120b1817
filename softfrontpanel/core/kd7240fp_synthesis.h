// The arithmetic of generation, pure functions so tests and benchmarks call
// them without a window: the sample timing for a frequency, one period of a
// standard waveform, a square's duty, the phase (where a channel's period
// starts), and playing a frequency exactly on the card's fixed clock. With one
// period per buffer only rate / n is playable, but k whole periods in N samples
// play k x rate / N, which comes within a few ppm of any frequency.
#ifndef KD7240FP_SYNTHESIS_H
#define KD7240FP_SYNTHESIS_H

#include <cmath>
#include <vector>

namespace kd7240fp {

enum WaveType { waveNone = 0, waveSine = 1, waveSquare = 2, waveSaw = 3, waveTriangle = 4, waveArbitrary = 5 };

// Samples per channel must stay below this: a channel's buffer holds at
// most maxSamples. The one place the card's limit is written down.
constexpr int sampleLimit = 0x40000;
constexpr int maxSamples = sampleLimit - 1;

// Derives the sample period uTime (seconds) and the samples in one period
// nSam for a frequency in Hz. Starts at the card's 1 MHz and slows the rate
// tenfold until a period fits. Returns false when no period below 1000 s fits,
// and for frequencies without a whole sample in their period (0 Hz or less,
// above 1 MHz).
bool sampleTiming(int freq, double *uTime, int *nSam);

// What the card plays for a frequency: the sample period and rate and the
// samples in one period exactly as Start derives them, and the frequency
// that follows, rate / nSam (not the one asked for: a period holds a whole
// number of samples of the card's fixed clock).
//
// A channel playing a shape from a file fixes the samples per period to the
// file's n, and the rate to freq x n; a standard waveform beside it is then
// drawn with the same n. shapeSamples1/2: the file's n for a channel playing
// one, else 0.
struct Timing
{
    enum Problem { None, NoPeriod, TooFast, LengthsDiffer };
    bool ok = false; // false: see problem
    Problem problem = NoPeriod;
    int channel = 0; // TooFast: the channel (1 or 2) whose file needs the rate
    bool fromShape = false; // the samples per period come from a file
    double uTime = 0; // seconds
    double rate = 0; // 1.0 / uTime, Hz; for TooFast the rate that would be needed
    int nSam = 0;
    double played = 0; // rate / nSam, Hz
};
Timing timingFor(int freq, int shapeSamples1 = 0, int shapeSamples2 = 0);

// The card's fastest sample rate.
constexpr double maxRate = 1e6;
// Fewer samples than this per period would no longer draw a waveform: the
// least a standard waveform gets, and what Exact frequency and modulation
// keep at the highest frequency they play.
constexpr int exactMinSamplesPerPeriod = 10;
// The highest frequency the card plays: ten samples a period at its fastest rate.
constexpr int maxFrequency = int(maxRate) / exactMinSamplesPerPeriod;
// The most samples a shape's period may hold at `freq` Hz: its rate,
// freq x samples, stays within maxRate.
inline int mostShapeSamples(int freq) { return freq > 0 ? int(maxRate / freq) : 0; }

// Code that ran before (a string routine of the C library during the GUI's
// start, Qt's drawing) may leave the upper halves of the vector registers in
// use. Plain SSE arithmetic then pays a state transition on every
// instruction: measured, ten to fifteen times its time on processors with
// AVX-512. Called before each hot loop (synthesis, formulas, the preview's
// traces); where the processor has no AVX it does nothing.
void clearUpperVectorState();

// What one pass over n samples (n >= 1) tells: their range, and the sum of
// their squares about `offset`.
struct SampleStats
{
    double lowest = 0;
    double highest = 0;
    double squares = 0;
};
SampleStats sampleStats(const double *samples, int n, double offset);

// One period of a shape (normalised samples) as the card plays it:
// out[i] = shape[i] x amplitude + offset, like the standard waveforms;
// measured while written (sampleStats about the offset), as a shape of
// 262143 samples is too large to read twice for nothing.
SampleStats playShape(const double *shape, int n, double amplitude, double offset, double *out);

// The smallest and largest of n samples (n >= 1), as the card's limits check
// needs them: exact, and fast enough to run at every start.
void sampleRange(const double *samples, int n, double *lowest, double *highest);

// Writes one period of n samples of waveform `type` (amplitude and offset in
// volts) into out[0..n-1]. An unknown type writes nothing.
void synthesize(int type, int n, double amplitude, double offset, double *out);

// One period of a square of n samples whose first `high` samples are high
// (amplitude + offset) and the rest low. synthesize() draws high = n / 2.
void synthesizeSquare(int n, double amplitude, double offset, int high, double *out);

// A square's duty (percent) as it is played: whole tenths of a percent.
inline int dutyTenths(double dutyPercent) { return int(std::lround(dutyPercent * 10)); }
// The high samples of a square period of n samples at that duty: whole
// samples, rounded down (500 gives synthesize()'s n / 2). At 5 % a period of
// ten samples has none.
inline int highSamples(int n, int dutyTenths) { return int(static_cast<long long>(n) * dutyTenths / 1000); }

constexpr double radiansPerDegree = 3.14159265358979323846 / 180;

// One period of n samples of a standard waveform as a channel plays it
// alone: a sine started at `phaseDegrees` exactly, a square high for its
// first highSamples(n, dutyTenths) samples, a saw or triangle as
// synthesize() draws it. All but the sine start at phase 0: the caller moves
// them by whole samples (phaseShift). An unknown type writes nothing.
void synthesizePeriod(int type, int n, double amplitude, double offset, int dutyTenths, double phaseDegrees, double *out);

// --- Exact frequency, duty and phase ---

// The most samples a buffer holds.
constexpr int exactMaxSamples = maxSamples;
// A played frequency further than this share from the one asked for is
// off: said in the readout, and for Exact frequency reported as missed.
constexpr double offTolerance = 0.001;
constexpr double exactTolerancePpm = offTolerance * 1e6;

struct ExactFit
{
    bool ok = false; // false: no fraction satisfies the constraints (no positive frequency or rate)
    int periods = 1; // k: whole periods in the buffer
    int samples = 0; // N: samples in the buffer (N <= exactMaxSamples, N >= 10 k)
    double played = 0; // k * rate / N, Hz
    double errorPpm = 0; // (played - freq) / freq * 1e6
    bool withinTolerance = true; // |errorPpm| <= exactTolerancePpm
};

// The fraction k / N nearest to freq / rate with N <= exactMaxSamples and
// N >= 10 k, k >= 1. cycles > 0 (the card plays the buffer cycles / k times):
// k must divide cycles, and the nearest among the divisors is chosen. Of two
// equal fractions the one with fewer periods wins.
ExactFit exactFit(double freq, double rate, int cycles = 0);

// k periods of a standard waveform in N samples: sample i is sample
// m = (k * i) mod N of the one-period waveform of N samples (as synthesize()
// draws it), i.e. the waveform at the phase frac(k i / N). For k = 1 and a 50 %
// duty this is synthesize(type, N, ...) bit for bit. dutyTenths (square only,
// in 0.1 %): the one-period square is high for floor(N * dutyTenths / 1000)
// samples; 500 gives synthesize()'s N / 2. An unknown type writes nothing.
void synthesizePeriods(int type, int N, int k, double amplitude, double offset, int dutyTenths, double *out);

// k periods of a sine in N samples started at `phase` radians, exactly
// rather than rounded to a sample: sample i is
// sin(2 pi ((k i) mod N) / N + phase) x amplitude + offset. Phase 0 is
// synthesizePeriods(waveSine, ...) bit for bit.
void synthesizeSine(int N, int k, double phase, double amplitude, double offset, double *out);

// A frequency sweep as one period of `n` samples played at `frequency` Hz
// (the sweep lasts T = 1 / frequency): the frequency runs from `start` to
// `stop` Hz, linearly or logarithmically, with its phase continuous and
// starting at 0. With t = i / n running from 0 to 1 over the period, sample
// i is sin(phi(t)) where
//   linear:       phi(t) = 2 pi (start T t + (stop - start) T t^2 / 2)
//   logarithmic:  phi(t) = 2 pi start T (r^t - 1) / ln r,  r = stop / start.
std::vector<double> sweepShape(double start, double stop, bool logarithmic, int n, int frequency);
// The whole cycles and the part of one a sweep plays in its period: phi(1) / 2 pi.
double sweepCycles(double start, double stop, bool logarithmic, int frequency);

// The samples a phase moves a period's start: round(phase / 360 x samples
// per period). samplesPerPeriod is N / k, not necessarily whole; the caller
// reduces the result mod N.
int phaseShift(double phaseDegrees, double samplesPerPeriod);

// Rotates a buffer so it starts `shift` samples in: out[i] = in[(i + shift) mod N].
// Any shift, negative too. The sample values stay exactly as they were.
void rotateSamples(double *samples, int N, int shift);

} // namespace kd7240fp

#endif
