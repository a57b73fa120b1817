// What the operator chose on the generation tab, as a plain value: both
// channels (with a loaded shape's samples) and the settings they share. The
// groups produce it and can be set from it; the plan turns it into what the
// card is sent. It holds everything needed to play, so it can be kept.
#ifndef KD7240FP_SETTINGS_H
#define KD7240FP_SETTINGS_H

#include <QString>
#include <initializer_list>
#include <memory>
#include <tuple>
#include <vector>

#include "kd7240fp_modulation.h"

namespace kd7240fp {

// The decimals the boxes show, and so the finest values the operator can set:
// volts (amplitude, offset), degrees of phase, percent of duty.
constexpr int voltDecimals = 2;
constexpr int phaseDecimals = 2;
constexpr int dutyDecimals = 1;
// The ranges of phase (degrees) and duty (percent).
constexpr double maxPhase = 359.99;
constexpr double minDuty = 1;
constexpr double maxDuty = 99;
// The common frequency (whole hertz; the highest, maxFrequency, is the
// card's) and the cycles of a limited burst.
constexpr int minFrequency = 1;
constexpr int minCycles = 1;
constexpr int maxCycles = 1024;
// A sweep's start and stop frequencies: their decimals and lowest value
// (the highest is the card's rate).
constexpr int sweepDecimals = 2;
constexpr double minSweepFrequency = 0.01;
// A function beyond the window's waveforms, for remote control: a constant
// level, the channel's offset held on its DAC. Never a channel's waveType;
// only what an output turned off comes back with.
constexpr int waveDc = 6;

// The driver's filter code (0 bypass .. 3 100 kHz) of the filter box's entry
// `filterIndex`. "Ground" (0) has none of its own: a grounded channel keeps
// the code it had, `lastFilter`.
constexpr int filterCode(int filterIndex, int lastFilter) { return filterIndex > 0 ? filterIndex - 1 : lastFilter; }

// A shape's samples as a value that is cheap to copy. Settings are copied
// wherever they go (into the plan, the setups, live changes, the last
// settings sent), and a shape holds up to 262143 samples: the copies share
// them, and nobody changes them in place; a new shape is a new value.
class ShapeSamples
{
public:
    ShapeSamples() = default;
    ShapeSamples(std::vector<double> samples) // implicit: a shape is its samples
        : shared(samples.empty() ? nullptr : std::make_shared<const std::vector<double>>(std::move(samples)))
    {
    }
    ShapeSamples(std::initializer_list<double> samples)
        : ShapeSamples(std::vector<double>(samples))
    {
    }

    const std::vector<double> &vector() const { return shared ? *shared : none(); }
    bool empty() const { return vector().empty(); }
    std::size_t size() const { return vector().size(); }
    const double *data() const { return vector().data(); }
    const double &operator[](std::size_t i) const { return vector()[i]; }
    std::vector<double>::const_iterator begin() const { return vector().begin(); }
    std::vector<double>::const_iterator end() const { return vector().end(); }
    bool operator==(const ShapeSamples &o) const { return shared == o.shared || vector() == o.vector(); }
    bool operator!=(const ShapeSamples &o) const { return !(*this == o); }

private:
    static const std::vector<double> &none()
    {
        static const std::vector<double> nothing;
        return nothing;
    }
    std::shared_ptr<const std::vector<double>> shared;
};

// A frequency sweep made into a shape (Sweep…): from `start` to `stop` Hz
// over one period of the common frequency it was made at, linearly or
// logarithmically. start 0: the shape is no sweep.
struct Sweep
{
    double start = 0;
    double stop = 0;
    bool logarithmic = false;
    int frequency = 0; // Hz: the common frequency whose period the sweep lasts

    bool isSweep() const { return start > 0; }
    // Every field, named by a structured binding: a field added to the
    // struct and not named here stops the build, so the comparison, which
    // setups are checked by, can never pass over one.
    auto fields() const
    {
        const auto &[start_, stop_, logarithmic_, frequency_] = *this;
        return std::tie(start_, stop_, logarithmic_, frequency_);
    }
    bool operator==(const Sweep &o) const { return fields() == o.fields(); }
};

struct ChannelSettings
{
    int waveType = 0; // 0 none, 1 sine, 2 square, 3 saw, 4 triangle, 5 the loaded shape
    double amplitude = 0; // volts, peak
    double offset = 0; // volts
    // The filter box's entry: 0 "Ground", 1 "Bypass", 2 "1KHz", 3 "10KHz", 4 "100KHz".
    int filterIndex = 1;
    // The filter a grounded channel keeps reporting: the last one read
    // while it was not grounded.
    int lastFilter = 0;
    ShapeSamples shape; // normalised to -1..1; empty until one is loaded
    QString shapeName; // where the shape came from, as the operator knows it (a file's path)
    QString formula; // the formula the shape was computed from; empty for a file's
    Sweep sweep; // the sweep the shape was made from, if it was
    double phase = 0; // degrees, 0 to 359.99: where in the period the buffer starts
    double duty = 50; // percent, 1 to 99: the square's high part
    // The standard waveform modulated (AM, FM, ...); none by default. A
    // shape and a modulation exclude each other.
    Modulation modulation;
    // What remote control keeps beside the boxes. The function the channel
    // comes back with when its output is turned on (a waveform, or waveDc);
    // while it plays, its waveType is what counts.
    int parked = waveSine;
    // The sweep SWEep:STATe ON makes: start, stop and spacing; its frequency
    // is the common one it lasts a period of (SWEep:TIME), 0 for the one set.
    Sweep sweepWhenOn { 100, 1000, false, 0 };

    bool active() const { return waveType != 0; }
    // The channel's function: its waveform, or the one it comes back with.
    int function() const { return active() ? waveType : parked; }
    // A standard waveform with a modulation chosen.
    bool modulated() const { return waveType >= waveSine && waveType <= waveTriangle && modulation.active(); }
    // The driver's filter code 0..3 and termination code (2: grounded).
    int filterCode() const { return kd7240fp::filterCode(filterIndex, lastFilter); }
    int termCode() const { return filterIndex == 0 ? 2 : 0; }
    // Every field (see Sweep::fields): setups are checked by their round
    // trip, and a field left out would let a reader drop it unseen.
    auto fields() const
    {
        const auto &[waveType_, amplitude_, offset_, filterIndex_, lastFilter_, shape_, shapeName_, formula_, sweep_,
            phase_, duty_, modulation_, parked_, sweepWhenOn_]
            = *this;
        return std::tie(waveType_, amplitude_, offset_, filterIndex_, lastFilter_, shape_, shapeName_, formula_, sweep_,
            phase_, duty_, modulation_, parked_, sweepWhenOn_);
    }
    bool operator==(const ChannelSettings &o) const { return fields() == o.fields(); }
};

struct CommonSettings
{
    int frequency = 1000; // Hz
    int startIndex = 0; // 0 "Immediate", 1 "By Trigger"
    int stopIndex = 0; // 0 "Unlimited", 1 "Limited by"
    int cycles = 10; // for "Limited by"
    // Whole periods packed into one buffer so the card plays the frequency
    // asked for, not the nearest 1 MHz / n.
    bool exactFrequency = false;

    bool byTrigger() const { return startIndex != 0; }
    // The cycles the card is told to play: 0 for without end.
    int length() const { return stopIndex != 0 ? cycles : 0; }
    auto fields() const
    {
        const auto &[frequency_, startIndex_, stopIndex_, cycles_, exactFrequency_] = *this;
        return std::tie(frequency_, startIndex_, stopIndex_, cycles_, exactFrequency_);
    }
    bool operator==(const CommonSettings &o) const { return fields() == o.fields(); }
};

struct Settings
{
    ChannelSettings channel[2];
    CommonSettings common;

    bool anyActive() const { return channel[0].active() || channel[1].active(); }
    bool operator==(const Settings &o) const
    {
        return channel[0] == o.channel[0] && channel[1] == o.channel[1] && common == o.common;
    }
    bool operator!=(const Settings &o) const { return !(*this == o); }
};

} // namespace kd7240fp

#endif
