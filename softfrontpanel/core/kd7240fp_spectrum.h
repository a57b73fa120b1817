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

// The samples' rounding floor: the RMS below which a line of n samples whose
// largest magnitude is `peak` may be nothing but the rounding of their
// doubles. A double is exact to 2^-53 of its size; a sample is formed in a
// few steps (a sine or a quotient, a product, a sum), so it is within a few
// such units of the peak (8 are allowed). A line is a mean of the samples
// turned by unit phasors, so their errors move its RMS by at most sqrt(2)
// times theirs, and the transform adds about log2 n units of its own:
// floor = sqrt(2) (8 + log2 n) 2^-53 peak, about -285 dB below the peak for
// a thousand samples.
double roundingFloor(int n, double peak);

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
    double floor = 0; // roundingFloor of the samples, volts RMS

    int lines() const { return int(rms.size()); }
    // Line k, DC included, is no more than the samples' rounding.
    bool rounding(int k) const { return rms[size_t(k)] < floor; }
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
    double dbc = 0; // dB relative to the fundamental; NaN when the fundamental is only rounding
    bool rounding = false; // below the spectrum's floor: nothing but the samples' rounding

    bool present() const { return bin >= 0; }
};

// What a spectrum tells about a periodic signal whose fundamental is line
// `fundamentalBin` (1 or more): its level, harmonics 2 to 10 and the total
// harmonic distortion they make, and, for a modulated signal, the sidebands
// spaced `sidebandStep` lines about it. A fundamental (a carrier) below the
// samples' rounding floor is no line to measure against: then no ratio to
// it is given (dBc and THD are NaN).
struct Analysis
{
    static constexpr int lastHarmonic = 10;
    static constexpr int sidebandPairs = 3;

    NamedLine fundamental;
    NamedLine harmonic[lastHarmonic + 1]; // [2] .. [10]; [0] and [1] unused
    // RMS of the harmonics present over the fundamental's; NaN when the
    // fundamental is silent or only rounding.
    double thd = NAN;
    double floor = 0; // the spectrum's rounding floor, volts RMS
    int sidebandStep = 0; // 0: none asked
    NamedLine lower[sidebandPairs + 1]; // [j] = fundamental - j steps, j = 1..3
    NamedLine upper[sidebandPairs + 1]; // [j] = fundamental + j steps

    double thdPercent() const { return 100 * thd; }
    double thdDb() const { return std::isnan(thd) ? thd : dbv(thd); }
    // A fundamental to measure against: present and above the floor.
    bool measurable() const { return fundamental.present() && !fundamental.rounding; }
    // The harmonics together are below the floor: the distortion is rounding.
    bool thdRounding() const { return measurable() && thd * fundamental.rms < floor; }
    // The floor relative to the fundamental, dB.
    double floorDbc() const { return dbv(floor) - fundamental.dbv; }
};

// Harmonics count up to the last line, the Nyquist line of an even n
// included: it is a line the buffer holds, as any other. A lower sideband
// at or below 0 Hz is none of its own: it folds onto another line.
Analysis analyse(const Spectrum &spectrum, int fundamentalBin, int sidebandStep = 0);

} // namespace kd7240fp

#endif
