// The arithmetic of generation: the sample timing for a frequency and one
// period of a waveform. Pure functions, so tests and benchmarks call them
// without a window.
#ifndef KD7240FP_WAVEFORM_H
#define KD7240FP_WAVEFORM_H

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

// One period of a shape (normalised samples) as the card plays it:
// out[i] = shape[i] x amplitude + offset, like the standard waveforms.
void playShape(const double *shape, int n, double amplitude, double offset, double *out);

// The smallest and largest of n samples (n >= 1), as the card's limits check
// needs them: exact, and fast enough to run at every start.
void sampleRange(const double *samples, int n, double *lowest, double *highest);

// Writes one period of n samples of waveform `type` (amplitude and offset in
// volts) into out[0..n-1]. An unknown type writes nothing.
void synthesize(int type, int n, double amplitude, double offset, double *out);

// One period of a square of n samples whose first `high` samples are high
// (amplitude + offset) and the rest low. synthesize() draws high = n / 2.
void synthesizeSquare(int n, double amplitude, double offset, int high, double *out);

} // namespace kd7240fp

#endif
