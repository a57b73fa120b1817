#include "kd7240fp_range.h"

#include <cmath>

#include "kd7010fp_typednumber.h"
#include "kd7240fp_settings.h"

namespace kd7240fp {

namespace {

// A value as a box with `decimals` decimals shows it, pushed toward the
// middle of the range: ceil for the low end, floor for the high end. A value
// that already has that many decimals stays as it is (9.99 is 998.99999... hundredths).
double roundInward(double value, int decimals, bool up)
{
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    const double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) < 1e-6)
        return nearest / scale;
    return (up ? std::ceil(scaled) : std::floor(scaled)) / scale;
}

Limits inward(double low, double high, int decimals)
{
    return { roundInward(low, decimals, true), roundInward(high, decimals, false) };
}

} // namespace

CardRange cardRange(double low, double high)
{
    CardRange range;
    range.card = { low, high };
    range.offsets = inward(low, high, voltDecimals);
    range.maxAmplitude = roundInward((range.offsets.high - range.offsets.low) * 0.5, voltDecimals, false);
    range.dac = inward(low, high, dacDecimals);
    range.defaultOffset = kd7010fp_typedNumber::fitToBox((low + high) * 0.5, voltDecimals, range.offsets.low, range.offsets.high);
    return range;
}

} // namespace kd7240fp
