// A client's change, made the way every command makes one: by the model, as
// the remote client's, with what the card cannot take in the error queue.
#ifndef KD7240FP_CLIENTCHANGE_H
#define KD7240FP_CLIENTCHANGE_H

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

namespace kd7240fp_clientChange {

constexpr kd7240fp_model::Origin remote = kd7240fp_model::Remote;
// What a generating card cannot take: SCPI's settings conflict.
extern const char *const stopFirst;

// The channel a command names (SOURce1, OUTPut2...), 0 or 1.
inline int channelOf(kd7010fp_scpi::Call &call) { return call.suffix(0) - 1; }

// Takes `settings` as a client's change: a conflict with the card's
// generation is -221 and nothing is taken; what the card cannot play is
// said. True when taken.
bool apply(kd7010fp_scpi::Call &call, kd7240fp_model *model, const kd7240fp::Settings &settings);

// Whether a card is there; without one -241 is queued.
bool hardwareThere(kd7010fp_scpi::Call &call, const kd7240fp_model *model);

} // namespace kd7240fp_clientChange

#endif
