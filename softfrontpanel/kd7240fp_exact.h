// Playing a frequency exactly on the card's fixed clock: with one period per
// buffer only rate / n is playable, but k whole periods in N samples play
// k x rate / N, which comes within a few ppm of any frequency. Also the phase
// (where a channel's period starts) and the samples of k periods. Pure
// functions, like kd7240fp_waveform.h.
#ifndef KD7240FP_EXACT_H
#define KD7240FP_EXACT_H

#include "kd7240fp_waveform.h"

namespace kd7240fp {

// The most samples a buffer holds.
constexpr int exactMaxSamples = maxSamples;
// Fewer samples than this per period would no longer draw the waveform.
constexpr int exactMinSamplesPerPeriod = 10;
// Beyond this the played frequency is reported as missed.
constexpr double exactTolerancePpm = 1000;

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

// The samples a phase moves a period's start: round(phase / 360 x samples
// per period). samplesPerPeriod is N / k, not necessarily whole; the caller
// reduces the result mod N.
int phaseShift(double phaseDegrees, double samplesPerPeriod);

// Rotates a buffer so it starts `shift` samples in: out[i] = in[(i + shift) mod N].
// Any shift, negative too. The sample values stay exactly as they were.
void rotateSamples(double *samples, int N, int shift);

} // namespace kd7240fp

#endif
