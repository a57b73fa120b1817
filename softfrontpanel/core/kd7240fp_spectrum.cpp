#include "kd7240fp_spectrum.h"

#include <fftw3.h>

#include <memory>

#include "kd7240fp_synthesis.h"

namespace kd7240fp {

namespace {

// A plan for one size and the buffers it runs on. FFTW_ESTIMATE plans at
// once, without trial runs, and copes with any length, large prime factors
// included (a shape's period may hold 262143 = 3^3 x 7 x 19 x 73 samples).
struct Transform
{
    explicit Transform(int size)
        : n(size)
        , in(fftw_alloc_real(size_t(size)))
        , out(fftw_alloc_complex(size_t(size / 2 + 1)))
        , plan(fftw_plan_dft_r2c_1d(size, in, out, FFTW_ESTIMATE))
    {
    }
    ~Transform()
    {
        fftw_destroy_plan(plan);
        fftw_free(out);
        fftw_free(in);
    }
    Transform(const Transform &) = delete;
    Transform &operator=(const Transform &) = delete;

    const int n;
    double *const in;
    fftw_complex *const out;
    const fftw_plan plan;
};

// The plans of the sizes used last, the latest first. Both channels share
// one size, and the operator going back and forth between a few settings
// finds theirs; more would hold memory (three doubles a sample) for sizes
// that may never come back.
constexpr size_t keptSizes = 4;

Transform &transformFor(int n)
{
    static std::vector<std::unique_ptr<Transform>> kept;
    auto found = std::find_if(kept.begin(), kept.end(), [n](const auto &t) { return t->n == n; });
    if (found == kept.end()) {
        if (kept.size() == keptSizes)
            kept.pop_back();
        kept.insert(kept.begin(), std::make_unique<Transform>(n));
    } else if (found != kept.begin()) {
        std::rotate(kept.begin(), found, found + 1);
    }
    return *kept.front();
}

} // namespace

double roundingFloor(int n, double peak)
{
    constexpr double unit = 1.0 / 9007199254740992.0; // 2^-53
    constexpr double sampleUnits = 8;
    return n > 0 ? std::sqrt(2.0) * (sampleUnits + std::log2(double(n))) * unit * peak : 0;
}

void lineSpectrum(const double *samples, int n, double rate, Spectrum *spectrum)
{
    spectrum->n = n;
    spectrum->rate = rate;
    if (!samples || n < 1) {
        spectrum->rms.clear();
        spectrum->mean = 0;
        spectrum->floor = 0;
        return;
    }
    double lowest = 0, highest = 0;
    sampleRange(samples, n, &lowest, &highest);
    spectrum->floor = roundingFloor(n, std::max(std::fabs(lowest), std::fabs(highest)));
    Transform &t = transformFor(n);
    std::copy(samples, samples + n, t.in);
    fftw_execute(t.plan);

    // X0 is n times the mean; a line between holds half its amplitude at +k
    // and half at -k, so its RMS is sqrt(2) |Xk| / n; the Nyquist line of an
    // even n has no twin: |X(n/2)| / n.
    const int lines = n / 2 + 1;
    spectrum->rms.resize(size_t(lines));
    double *rms = spectrum->rms.data();
    const fftw_complex *x = t.out;
    clearUpperVectorState();
    const double scale = std::sqrt(2.0) / n;
    for (int k = 1; k < lines; ++k)
        rms[k] = scale * std::sqrt(x[k][0] * x[k][0] + x[k][1] * x[k][1]);
    spectrum->mean = x[0][0] / n;
    rms[0] = std::fabs(spectrum->mean);
    if (n % 2 == 0 && n > 1)
        rms[lines - 1] = std::fabs(x[lines - 1][0]) / n;
}

Analysis analyse(const Spectrum &spectrum, int fundamentalBin, int sidebandStep)
{
    Analysis a;
    a.sidebandStep = std::max(sidebandStep, 0);
    const auto line = [&spectrum](long long bin) {
        NamedLine named;
        if (bin >= 0 && bin < spectrum.lines()) {
            named.bin = int(bin);
            named.frequency = spectrum.frequency(named.bin);
            named.rms = spectrum.rms[size_t(bin)];
            named.dbv = spectrum.level(named.bin);
            named.rounding = spectrum.rounding(named.bin);
        }
        return named;
    };
    a.floor = spectrum.floor;
    if (fundamentalBin < 1)
        return a;
    a.fundamental = line(fundamentalBin);
    if (!a.fundamental.present())
        return a;
    const auto relative = [&a](NamedLine &named) {
        if (named.present())
            named.dbc = a.measurable() ? named.dbv - a.fundamental.dbv : NAN;
    };
    double sum = 0;
    for (int h = 2; h <= Analysis::lastHarmonic; ++h) {
        a.harmonic[h] = line(static_cast<long long>(h) * fundamentalBin);
        relative(a.harmonic[h]);
        sum += a.harmonic[h].rms * a.harmonic[h].rms;
    }
    if (a.measurable() && a.fundamental.rms > 0)
        a.thd = std::sqrt(sum) / a.fundamental.rms;
    if (a.sidebandStep > 0)
        for (int j = 1; j <= Analysis::sidebandPairs; ++j) {
            const long long away = static_cast<long long>(j) * a.sidebandStep;
            if (fundamentalBin - away >= 1)
                a.lower[j] = line(fundamentalBin - away);
            a.upper[j] = line(fundamentalBin + away);
            relative(a.lower[j]);
            relative(a.upper[j]);
        }
    return a;
}

} // namespace kd7240fp
