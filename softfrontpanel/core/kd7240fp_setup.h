// Setup files (.kd7240): everything that shapes what the card plays, as JSON
// a person can read, so a setup plays the same on the next day, on another
// machine, and when the shape's own file is gone:
//
//   { "setup": "Vantix 7240 soft front panel", "version": 1, "model": "7240",
//     "frequency": 1000, "start": "Immediate", "stop": "Limited by", "cycles": 10,
//     "exactFrequency": false,
//     "channels": [ { "waveform": "Sine", "amplitude": 2, "offset": 0, "filter": "Bypass",
//                     "filterWhenGrounded": "Bypass", "phase": 0, "duty": 50, "shape": null },
//                   { "waveform": "Arbitrary", ..., "shape": { "name": "/lab/pulse.csv",
//                     "formula": "", "sweep": null, "samples": [ 0, 0.5, 1, ... ] } } ] }
//
// A sweep's shape also holds "sweep": { "start": 1000, "stop": 10000,
// "scale": "Linear", "frequency": 10 }; older files without the key read as
// shapes that are no sweep. A modulated channel holds "modulation": { "type":
// "AM", "shape": "Sine", "frequency": 100, "depth": 50, ... } (its samples
// follow from it), and makes the file version 2. A channel whose output
// remote control turned off keeps the function it comes back with,
// "waveformWhenOn": "Square" (or "DC"), and the sweep SWEep:STATe ON makes,
// "sweepWhenOn": { "start": 100, ... }; each is written only when it is not
// the default (a sine; 100 Hz to 1 kHz, linear), so older files read as before.
//
// Names are the panel's own texts. Reading is all or nothing: the first
// problem is named and nothing is taken; a key given twice is a problem.
// DAC values are not part of a setup: writing them acts on the card at once.
#ifndef KD7240FP_SETUP_H
#define KD7240FP_SETUP_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "kd7240fp_range.h"
#include "kd7240fp_settings.h"

namespace kd7240fp {

// The newest version this panel reads and writes; a setup with a modulation
// is version 2, one without is written as version 1, as before.
constexpr int setupVersion = 2;

QByteArray writeSetup(const Settings &settings);
// Writes atomically: an existing file is replaced only by a complete one.
bool writeSetupFile(const QString &path, const Settings &settings, QString *error);

struct SetupRead
{
    bool ok = false;
    Settings settings;
    QString error; // names the file (`name`) and the first problem
};
SetupRead readSetup(const QByteArray &bytes, const QString &name);
// Only regular files are read (a pipe would never end).
SetupRead readSetupFile(const QString &path);

// The largest amplitude that plays beside `offset` on a card whose boxes
// offer `offsets` and at most `maxAmplitude`: both peaks within the range,
// to the amplitude box's decimals, rounded down.
double mostAmplitude(double offset, const Limits &offsets, double maxAmplitude);

// Brings amplitudes and offsets within what this card's boxes offer (a setup
// saved on a card with a wider range), the offset first and then the
// amplitude beside it (mostAmplitude), and every value to the decimals its
// box shows (1.234 V plays as 1.23 V); returns a line for each value changed.
QStringList fitSetup(Settings &settings, const Limits &offsets, double maxAmplitude);

} // namespace kd7240fp

#endif
