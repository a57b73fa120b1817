// What the card plays, or would as the settings stand: queries answer it, and
// a value taken is said with it when it plays otherwise than it was sent.
#ifndef KD7240FP_PLAYED_H
#define KD7240FP_PLAYED_H

#include <QByteArray>

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

namespace kd7240fp_played {

// Says what plays in place of the value a client sent, unless it is that
// value to `places` decimals: "<what> played <value> <unit>", and `more`.
void say(kd7010fp_scpi::Call &call, const QByteArray &what, double sent, double played, int places,
    const QByteArray &unit, const QByteArray &more = {});

// The common frequency, to the hundredth of a hertz the readout shows.
double frequency(const kd7240fp_model *model);
// Says the frequency that plays in place of `sent`.
void sayFrequency(kd7010fp_scpi::Call &call, const kd7240fp_model *model, double sent);
// Channel k's phase and duty, by whole samples where the waveform moves by
// them, and its modulation as a buffer fits it.
double phase(const kd7240fp_model *model, int k);
double duty(const kd7240fp_model *model, int k);
kd7240fp::Modulation modulation(const kd7240fp_model *model, int k);

} // namespace kd7240fp_played

#endif
