// The card's output range as the panel uses it, computed once when the card
// is read: its own limits, and what each box offers within them. A box rounds
// its range to its decimals, outward as often as not: a card's -9.9951 V
// would offer -10.00, which the card cannot play. So each end is rounded
// inward once, here, and the plan, the boxes and the setups take the result.
#ifndef KD7240FP_RANGE_H
#define KD7240FP_RANGE_H

namespace kd7240fp {

// The DAC boxes' decimals (the others are in kd7240fp_settings.h).
constexpr int dacDecimals = 3;

// An output range in volts.
struct Limits
{
    double low = -10;
    double high = 10;
    // Whether the card plays `v`: within the range, or beyond an end by no
    // more than the binary rounding of amplitude plus offset (1e-9 V), which
    // the boxes allowed and which is played as that end.
    bool holds(double v) const { return v >= low - slack && v <= high + slack; }
    static constexpr double slack = 1e-9;
};

struct CardRange
{
    Limits card; // as the card reports them
    Limits offsets; // what the offset boxes offer: the ends rounded inward to their decimals
    double maxAmplitude = 10; // what the amplitude boxes offer: half the offsets' span, rounded down
    Limits dac; // what the DAC boxes offer
    double defaultOffset = 0; // where the offset boxes start: the card's middle, as they show it
};

// The range of a card whose output limits are low..high volts.
CardRange cardRange(double low, double high);

} // namespace kd7240fp

#endif
