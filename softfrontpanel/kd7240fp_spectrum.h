// The line spectrum of what the card plays. The card repeats its buffer of n
// samples without end, so the signal is periodic in n and the buffer's
// discrete Fourier transform is its exact spectrum: lines at k x rate / n,
// with no window and no leakage to account for. Numbers only; the Preview
// tab's spectrum view draws them.
//
// FFTW makes the transforms. Its planner keeps global state and is not
// thread-safe, and the plans are kept here between calls: call these from
// the GUI thread only.
#ifndef KD7240FP_SPECTRUM_H
#define KD7240FP_SPECTRUM_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace kd7240fp {

// The level given to a line that is exactly zero, dBV: far below anything
// rounding leaves (about -300 dBV for volts in doubles), so "zero" stays
// recognisable.
constexpr double zeroDbv = -400;

// 20 log10(rms), zeroDbv for 0.
inline double dbv(double rms) { return rms > 0 ? std::max(20 * std::log10(rms), zeroDbv) : zeroDbv; }

struct Spectrum
{
    int n = 0; // samples in the buffer
    double rate = 0; // Hz
    // The RMS of each line k = 0 .. n/2, volts. DC is its value; a line
    // between carries its positive and negative frequency together; the
    // Nyquist line of an even n is a cosine of its own.
    std::vector<double> rms;
    double mean = 0; // DC with its sign, volts

    int lines() const { return int(rms.size()); }
    double frequency(int k) const { return n > 0 ? k * rate / n : 0; }
    double level(int k) const { return dbv(rms[size_t(k)]); } // dBV
};

// The spectrum of n samples (volts) that play at `rate` Hz, into `spectrum`
// (its room reused). The first call for a size makes its plan; the plans of
// the last few sizes are kept.
void lineSpectrum(const double *samples, int n, double rate, Spectrum *spectrum);

// One line the analysis names. bin < 0: there is no such line (beyond the
// Nyquist frequency, or below 0 Hz).
struct NamedLine
{
    int bin = -1;
    double frequency = 0; // Hz
    double rms = 0; // volts
    double dbv = zeroDbv;
    double dbc = 0; // dB relative to the fundamental

    bool present() const { return bin >= 0; }
};

// What a spectrum tells about a periodic signal whose fundamental is line
// `fundamentalBin` (1 or more): its level, harmonics 2 to 10 and the total
// harmonic distortion they make, and, for a modulated signal, the sidebands
// spaced `sidebandStep` lines about it.
struct Analysis
{
    static constexpr int lastHarmonic = 10;
    static constexpr int sidebandPairs = 3;

    NamedLine fundamental;
    NamedLine harmonic[lastHarmonic + 1]; // [2] .. [10]; [0] and [1] unused
    // RMS of the harmonics present over the fundamental's; NaN when the
    // fundamental is silent.
    double thd = NAN;
    int sidebandStep = 0; // 0: none asked
    NamedLine lower[sidebandPairs + 1]; // [j] = fundamental - j steps, j = 1..3
    NamedLine upper[sidebandPairs + 1]; // [j] = fundamental + j steps

    double thdPercent() const { return 100 * thd; }
    double thdDb() const { return std::isnan(thd) ? thd : dbv(thd); }
};

// Harmonics count up to the last line, the Nyquist line of an even n
// included: it is a line the buffer holds, as any other. A lower sideband
// at or below 0 Hz is none of its own: it folds onto another line.
Analysis analyse(const Spectrum &spectrum, int fundamentalBin, int sidebandStep = 0);

} // namespace kd7240fp

#endif
