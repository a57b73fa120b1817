// The simulated 7240 driver. Driver sessions are instrument sessions of the
// simulated VISA; each names one card (resource and function-card number)
// whose state survives the session, as a real card's does.
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "kd7240.h"
#include "kdsim_callrecord.h"
#include "kdsim_descriptor.h"
#include "kdsim_sim.h"
#include "kdsim_status.h"

using namespace kdsim::detail;

namespace {

const char driverRevision[] = "2.1.0.0 (kdsim)";
static_assert(sizeof driverRevision <= kd7240_DRIVER_REVISION_LEN, "revision fits the caller's buffer");
const ViUInt16 cardModel = 0x7240;
const double calibrationMs = 200;
const double maxRate = 1e6;

bool validChannel(ViInt16 channel)
{
    return channel == kd7240_CH1 || channel == kd7240_CH2;
}

bool validFilter(ViInt16 filter)
{
    return filter >= kd7240_FILTER_BYPASS && filter <= kd7240_FILTER_100KHZ;
}

bool validPulse(ViInt16 pulse)
{
    return pulse >= 0 && pulse <= 3;
}

bool withinLimits(const CardRuntime &card, double v)
{
    return v >= card.config.lowLimit && v <= card.config.highLimit; // false for NaN
}

bool samplesWithinLimits(const CardRuntime &card, const double *data, ViInt32 nSam)
{
    for (ViInt32 i = 0; i < nSam; ++i)
        if (!withinLimits(card, data[i]))
            return false;
    return true;
}

// The checks every generate call shares; `first` is the parameter number of nSam.
ViStatus checkBurst(ViInt32 nSam, ViInt32 cycles, ViReal64 rate, int first)
{
    if (nSam < 1 || nSam > kd7240_MAX_SAMPLES)
        return VI_ERROR_PARAMETER1 + first - 1;
    if (cycles < 0)
        return VI_ERROR_PARAMETER1 + first;
    if (!(rate > 0 && rate <= maxRate))
        return VI_ERROR_PARAMETER1 + first + 1;
    return VI_SUCCESS;
}

void startBurst(CardRuntime &card, double now, int channels, ViInt32 nSam, ViInt32 cycles, ViReal64 rate)
{
    Burst b;
    b.active = true;
    b.triggered = card.itriSource == kd7240_ITRI_SRC_BOTH;
    b.waiting = b.triggered;
    b.channels = channels;
    b.nSam = nSam;
    b.cycles = cycles;
    b.rate = rate;
    b.runStart = now;
    card.burst = b;
}

// Runs `body` on the card of a driver session, after faults and the session
// check, with the burst brought up to date.
template <class Body>
ViStatus onCard(CallRecord &rec, ViSession session, Body body)
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), sim.resourceOf(session)))
        return rec.done(*fault);
    CardRuntime *card = sim.driverCard(session);
    if (!card)
        return rec.done(VI_ERROR_INV_OBJECT);
    const double now = sim.clock.now();
    card->burst.update(now);
    return rec.done(body(*card, now));
}

} // namespace

extern "C" {

ViStatus kd7240_init(ViRsrc descriptor, ViUInt16 fcNumber, ViUInt16 idQuery, ViUInt16 reset, ViSession *session)
{
    CallRecord rec("kd7240_init");
    rec.args.cString("descriptor", descriptor).integer("fcNumber", fcNumber).integer("idQuery", idQuery).integer(
        "reset", reset);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    const int index = descriptor && sim.system ? sim.system->find(parseDescriptor(descriptor).normalised) : -1;
    if (auto fault = sim.takeFault(rec.call(), index))
        return rec.done(*fault);
    if (!descriptor)
        return rec.done(VI_ERROR_PARAMETER1);
    if (fcNumber == 0)
        return rec.done(VI_ERROR_PARAMETER2);
    if (idQuery > 1)
        return rec.done(VI_ERROR_PARAMETER3);
    if (reset > 1)
        return rec.done(VI_ERROR_PARAMETER4);
    if (!session)
        return rec.done(VI_ERROR_PARAMETER5);
    if (sim.broken())
        return rec.done(VI_ERROR_SYSTEM_ERROR);
    if (index < 0)
        return rec.done(VI_ERROR_RSRC_NFOUND);
    const ResourceConfig *r = sim.resource(index);
    if (!r->carrier)
        return rec.done(kdsim::status::noCarrier);
    if (fcNumber > r->carrier->slots.size())
        return rec.done(kdsim::status::noSuchSlot);
    const auto &slot = r->carrier->slots[fcNumber - 1];
    if (!slot)
        return rec.done(kdsim::status::emptySlot);
    if (slot->model != cardModel)
        return rec.done(kdsim::status::wrongModel);
    const CardConfig config = *slot;
    if (r->openLatencyMs > 0) {
        const std::uint64_t generation = sim.generation;
        const double latency = r->openLatencyMs;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(latency));
        lock.lock();
        if (sim.generation != generation)
            return rec.done(VI_ERROR_RSRC_NFOUND);
    }
    // Descriptors with the same network address reach the same module, so the same card.
    int owner = index;
    if (r->address)
        for (std::size_t i = 0; i < sim.system->resources.size(); ++i)
            if (sim.system->resources[i].address == r->address) {
                owner = static_cast<int>(i);
                break;
            }
    const std::pair<int, int> key(owner, fcNumber);
    auto [it, fresh] = sim.cards.try_emplace(key);
    CardRuntime &card = it->second;
    if (fresh)
        card.config = config;
    if (reset) {
        const int calibrations = card.calibrations;
        card = CardRuntime();
        card.config = config;
        card.calibrations = calibrations;
    }
    Session s;
    s.kind = SessionKind::Instrument;
    s.resource = index;
    s.driver = true;
    s.card = key;
    *session = sim.open(std::move(s));
    rec.out.unsignedInteger("session", *session);
    return rec.done(VI_SUCCESS);
}

ViStatus kd7240_close(ViSession session)
{
    CallRecord rec("kd7240_close");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &, double) {
        Sim::instance().sessions.erase(session); // the card keeps its state, as hardware does
        return VI_SUCCESS;
    });
}

ViStatus kd7240_error_message(ViSession session, ViStatus status, ViChar message[])
{
    CallRecord rec("kd7240_error_message");
    rec.args.unsignedInteger("session", session).integer("status", status);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), -1))
        return rec.done(*fault);
    if (!message)
        return rec.done(VI_ERROR_PARAMETER3);
    const char *known = driverMessage(status);
    const std::string text = known ? known : unknownMessage(status);
    copyText(message, kd7240_ERROR_MESSAGE_LEN, text);
    rec.out.string("message", text);
    // Codes the driver cannot translate: the caller may ask the carrier library instead.
    return rec.done(known ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS);
}

ViStatus kd7240_revision_query(ViSession session, ViChar driverRevisionOut[], ViChar instrumentRevision[])
{
    CallRecord rec("kd7240_revision_query");
    rec.args.unsignedInteger("session", session);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), sim.resourceOf(session)))
        return rec.done(*fault);
    // The driver's own revision needs no session; the instrument's does.
    const CardRuntime *card = sim.driverCard(session);
    if ((session != VI_NULL || instrumentRevision) && !card)
        return rec.done(VI_ERROR_INV_OBJECT);
    if (driverRevisionOut) {
        std::memcpy(driverRevisionOut, driverRevision, sizeof driverRevision);
        rec.out.string("driverRevision", driverRevision);
    }
    if (instrumentRevision) {
        copyText(instrumentRevision, kd7240_INSTR_REVISION_LEN, card->config.revision);
        rec.out.string("instrumentRevision", card->config.revision);
    }
    return rec.done(VI_SUCCESS);
}

ViStatus kd7240_getOutputLimits(ViSession session, ViReal64 *low, ViReal64 *high)
{
    CallRecord rec("kd7240_getOutputLimits");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        if (!low)
            return VI_ERROR_PARAMETER2;
        if (!high)
            return VI_ERROR_PARAMETER3;
        *low = card.config.lowLimit;
        *high = card.config.highLimit;
        rec.out.number("low", *low).number("high", *high);
        return VI_SUCCESS;
    });
}

ViStatus kd7240_getDACval(ViSession session, ViInt16 channel, ViReal64 *value)
{
    CallRecord rec("kd7240_getDACval");
    rec.args.unsignedInteger("session", session).integer("channel", channel);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        if (!validChannel(channel))
            return VI_ERROR_PARAMETER2;
        if (!value)
            return VI_ERROR_PARAMETER3;
        *value = card.dac[channel - 1];
        rec.out.number("value", *value);
        return VI_SUCCESS;
    });
}

ViStatus kd7240_readSerialNo(ViSession session, ViUInt32 *serial, ViChar subtype[])
{
    CallRecord rec("kd7240_readSerialNo");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        if (!serial)
            return VI_ERROR_PARAMETER2;
        if (!subtype)
            return VI_ERROR_PARAMETER3;
        *serial = card.config.serial;
        copyText(subtype, kd7240_SUBTYPE_LEN, card.config.subtype);
        rec.out.unsignedInteger("serial", *serial).string("subtype", card.config.subtype);
        return VI_SUCCESS;
    });
}

ViStatus kd7240_writeChannels(ViSession session, ViReal64 ch1, ViReal64 ch2)
{
    CallRecord rec("kd7240_writeChannels");
    rec.args.unsignedInteger("session", session).number("ch1", ch1).number("ch2", ch2);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        if (!withinLimits(card, ch1))
            return VI_ERROR_PARAMETER2;
        if (!withinLimits(card, ch2))
            return VI_ERROR_PARAMETER3;
        card.dac[0] = ch1;
        card.dac[1] = ch2;
        return VI_SUCCESS;
    });
}

ViStatus kd7240_calibrate(ViSession session)
{
    CallRecord rec("kd7240_calibrate");
    rec.args.unsignedInteger("session", session);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), sim.resourceOf(session)))
        return rec.done(*fault);
    if (!sim.driverCard(session))
        return rec.done(VI_ERROR_INV_OBJECT);
    if (sim.clock.isReal()) {
        // The DACs take a moment; tests on a manual clock need not wait.
        const std::uint64_t generation = sim.generation;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(calibrationMs));
        lock.lock();
        if (sim.generation != generation)
            return rec.done(VI_ERROR_INV_OBJECT);
    }
    CardRuntime *card = sim.driverCard(session);
    if (!card)
        return rec.done(VI_ERROR_INV_OBJECT);
    ++card->calibrations;
    return rec.done(VI_SUCCESS);
}

ViStatus kd7240_setFEConfig(ViSession session, ViInt16 channel, ViInt16 filter, ViInt16 term)
{
    CallRecord rec("kd7240_setFEConfig");
    rec.args.unsignedInteger("session", session).integer("channel", channel).integer("filter", filter).integer(
        "term", term);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        if (!validChannel(channel))
            return VI_ERROR_PARAMETER2;
        if (!validFilter(filter))
            return VI_ERROR_PARAMETER3;
        if (term != kd7240_TERM_NORMAL && term != kd7240_TERM_GROUND)
            return VI_ERROR_PARAMETER4;
        card.filter[channel - 1] = filter;
        card.term[channel - 1] = term;
        return VI_SUCCESS;
    });
}

ViStatus kd7240_setITRI(ViSession session, ViInt16 source, ViInt16 pulse)
{
    CallRecord rec("kd7240_setITRI");
    rec.args.unsignedInteger("session", session).integer("source", source).integer("pulse", pulse);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        if (source != kd7240_ITRI_SRC_NONE && source != kd7240_ITRI_SRC_BOTH)
            return VI_ERROR_PARAMETER2;
        if (!validPulse(pulse))
            return VI_ERROR_PARAMETER3;
        card.itriSource = source;
        card.itriPulse = pulse;
        return VI_SUCCESS;
    });
}

ViStatus kd7240_pulseITRI(ViSession session, ViInt16 pulse)
{
    CallRecord rec("kd7240_pulseITRI");
    rec.args.unsignedInteger("session", session).integer("pulse", pulse);
    return onCard(rec, session, [&](CardRuntime &card, double now) {
        if (!validPulse(pulse))
            return VI_ERROR_PARAMETER2;
        card.burst.trigger(now); // a pulse while nothing waits for it passes unnoticed
        return VI_SUCCESS;
    });
}

ViStatus kd7240_generateWaveforms(ViSession session, ViInt32 nSam, ViInt32 cycles, ViReal64 rate, ViInt16 filter1,
                                  ViInt16 filter2, ViReal64 *data1, ViReal64 *data2)
{
    CallRecord rec("kd7240_generateWaveforms");
    Sim::instance().lock(); // the sample settings come with the system
    rec.args.unsignedInteger("session", session).integer("nSam", nSam).integer("cycles", cycles).number("rate", rate);
    rec.args.integer("filter1", filter1).integer("filter2", filter2);
    rec.args.raw("data1", rec.samples(data1, nSam, rec.data1)).raw("data2", rec.samples(data2, nSam, rec.data2));
    return onCard(rec, session, [&](CardRuntime &card, double now) {
        if (ViStatus st = checkBurst(nSam, cycles, rate, 2))
            return st;
        if (!validFilter(filter1))
            return VI_ERROR_PARAMETER5;
        if (!validFilter(filter2))
            return VI_ERROR_PARAMETER6;
        if (!data1)
            return VI_ERROR_PARAMETER7;
        if (!data2)
            return VI_ERROR_PARAMETER8;
        if (!samplesWithinLimits(card, data1, nSam) || !samplesWithinLimits(card, data2, nSam))
            return kdsim::status::sampleOutOfLimits;
        card.filter[0] = filter1;
        card.filter[1] = filter2;
        startBurst(card, now, 3, nSam, cycles, rate);
        return VI_SUCCESS;
    });
}

ViStatus kd7240_generateWaveform(ViSession session, ViInt16 channel, ViInt32 nSam, ViInt32 cycles, ViReal64 rate,
                                 ViInt16 filter, ViReal64 *data)
{
    CallRecord rec("kd7240_generateWaveform");
    Sim::instance().lock();
    rec.args.unsignedInteger("session", session).integer("channel", channel).integer("nSam", nSam).integer(
        "cycles", cycles);
    rec.args.number("rate", rate).integer("filter", filter).raw("data", rec.samples(data, nSam, rec.data1));
    return onCard(rec, session, [&](CardRuntime &card, double now) {
        if (!validChannel(channel))
            return VI_ERROR_PARAMETER2;
        if (ViStatus st = checkBurst(nSam, cycles, rate, 3))
            return st;
        if (!validFilter(filter))
            return VI_ERROR_PARAMETER6;
        if (!data)
            return VI_ERROR_PARAMETER7;
        if (!samplesWithinLimits(card, data, nSam))
            return kdsim::status::sampleOutOfLimits;
        card.filter[channel - 1] = filter;
        startBurst(card, now, channel, nSam, cycles, rate);
        return VI_SUCCESS;
    });
}

ViStatus kd7240_getBurstStatus(ViSession session, ViInt32 *state, ViInt32 *cyclesDone, ViInt32 *samplePosition,
                               ViInt32 *reserved)
{
    CallRecord rec("kd7240_getBurstStatus");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &card, double now) {
        if (!state)
            return VI_ERROR_PARAMETER2;
        const Burst &b = card.burst;
        // 0 idle, 1 running, 2 armed and waiting for the trigger, 3 paused.
        *state = !b.active ? 0 : b.paused ? 3 : b.waiting ? 2 : 1;
        rec.out.integer("state", *state);
        // Samples played so far; a clock that reads no finite time (a custom
        // one may) counts as none played, so no conversion below sees NaN.
        double done = b.active ? b.elapsed(now) * b.rate / 1000.0 : 0;
        if (!(done >= 0))
            done = 0;
        if (cyclesDone) {
            double cycles = std::floor(done / std::max(b.nSam, 1));
            if (b.cycles > 0)
                cycles = std::min(cycles, static_cast<double>(b.cycles));
            *cyclesDone = static_cast<ViInt32>(std::min(cycles, double(std::numeric_limits<ViInt32>::max())));
            rec.out.integer("cyclesDone", *cyclesDone);
        }
        if (samplePosition) {
            *samplePosition = b.active && std::isfinite(done)
                ? static_cast<ViInt32>(std::fmod(std::floor(done), std::max(b.nSam, 1)))
                : 0;
            rec.out.integer("samplePosition", *samplePosition);
        }
        if (reserved) {
            *reserved = 0;
            rec.out.integer("reserved", 0);
        }
        return VI_SUCCESS;
    });
}

ViStatus kd7240_stopBurst(ViSession session)
{
    CallRecord rec("kd7240_stopBurst");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &card, double) {
        card.burst = Burst();
        return VI_SUCCESS;
    });
}

ViStatus kd7240_pause(ViSession session)
{
    CallRecord rec("kd7240_pause");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &card, double now) {
        if (!card.burst.active)
            return kdsim::status::notGenerating;
        card.burst.pause(now);
        return VI_SUCCESS;
    });
}

ViStatus kd7240_resume(ViSession session)
{
    CallRecord rec("kd7240_resume");
    rec.args.unsignedInteger("session", session);
    return onCard(rec, session, [&](CardRuntime &card, double now) {
        if (!card.burst.active)
            return kdsim::status::notGenerating;
        if (!card.burst.paused)
            return kdsim::status::notPaused;
        card.burst.resume(now);
        return VI_SUCCESS;
    });
}

} // extern "C"
