// The simulated carrier common library. openCarrier hands out a block of
// memory laid out as the library's carrier object; getAccess and readSlotWord
// are reached only through the function pointers stored in it.
#include <cstddef>
#include <cstring>

#include "kd7010.h"
#include "kdsim_callrecord.h"
#include "kdsim_sim.h"
#include "kdsim_status.h"

using namespace kdsim::detail;

static_assert(offsetof(CarrierBlock, object) == 0, "the carrier object starts the block");

namespace {

const char commonRevision[] = "1.4.0.0 (kdsim)";
static_assert(sizeof commonRevision <= KD7010_REVISION_LEN, "revision fits the caller's buffer");

// The block of a live carrier object, or null. Under the lock.
CarrierBlock *liveBlock(Sim &sim, const kd7010_carrier_t *object)
{
    if (!object || !sim.carriers.count(object))
        return nullptr;
    return reinterpret_cast<CarrierBlock *>(const_cast<kd7010_carrier_t *>(object));
}

// The resource behind a carrier's session, for resource-limited faults (-1 when it is closed).
int resourceOf(Sim &sim, const CarrierBlock *block)
{
    return block ? sim.resourceOf(block->session) : -1;
}

// What getAccess and readSlotWord start with: the live block (or null) and its session in the record.
CarrierBlock *objectCall(Sim &sim, const kd7010_carrier_t *object, CallRecord &rec)
{
    CarrierBlock *block = liveBlock(sim, object);
    if (block)
        rec.args.unsignedInteger("session", block->session);
    return block;
}

ViStatus readSlotWord(kd7010_carrier_t *object, ViUInt16 slot, ViUInt32 offset, ViUInt16 *value)
{
    CallRecord rec("readSlotWord");
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    CarrierBlock *block = objectCall(sim, object, rec);
    rec.args.integer("slot", slot).unsignedInteger("offset", offset);
    if (auto fault = sim.takeFault(rec.call(), resourceOf(sim, block)))
        return rec.done(*fault);
    if (!block)
        return rec.done(kdsim::status::carrierInvalid);
    if (slot < 1 || static_cast<ViInt32>(slot) > block->identity.slotCount)
        return rec.done(kdsim::status::carrierBadSlot);
    if (offset % 2 || offset > 254)
        return rec.done(kdsim::status::carrierBadRegister);
    const ViUInt16 identity = block->identity.identities[slot];
    if (identity == 0)
        return rec.done(kdsim::status::carrierEmptySlot);
    if (!value)
        return rec.done(kdsim::status::userBuffer);
    // Register 0 holds the card's identity, KD7010_VARIANT_REGISTER its two variant characters.
    *value = offset == 0 ? identity : offset == KD7010_VARIANT_REGISTER ? block->variants[slot] : 0;
    rec.out.unsignedInteger("value", *value);
    return rec.done(VI_SUCCESS);
}

kd7010_accessTable_t *getAccess(kd7010_carrier_t *object, ViInt32 index, ViInt32 version)
{
    CallRecord rec("getAccess");
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    CarrierBlock *block = objectCall(sim, object, rec);
    rec.args.integer("index", index).integer("version", version);
    kd7010_accessTable_t *table = nullptr;
    ViStatus status = VI_SUCCESS;
    if (auto fault = sim.takeFault(rec.call(), resourceOf(sim, block)))
        status = *fault;
    else if (!block)
        status = kdsim::status::carrierInvalid;
    else if (index != 1 || version != 1)
        status = kdsim::status::carrierNoAccess;
    else
        table = &block->access;
    rec.out.boolean("table", table != nullptr);
    rec.done(status);
    return table;
}

} // namespace

extern "C" {

ViStatus getCommonRevision(ViChar buffer[])
{
    CallRecord rec("getCommonRevision");
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), -1))
        return rec.done(*fault);
    if (!buffer)
        return rec.done(kdsim::status::userBuffer);
    std::memcpy(buffer, commonRevision, sizeof commonRevision);
    rec.out.string("revision", commonRevision);
    return rec.done(VI_SUCCESS);
}

ViStatus openCarrier(ViSession vi, carrierHandle_t *handle)
{
    CallRecord rec("openCarrier");
    rec.args.unsignedInteger("session", vi);
    if (handle)
        rec.args.unsignedInteger("defaultRM", handle->defaultRM);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), sim.resourceOf(vi)))
        return rec.done(*fault);
    Session *s = sim.find(vi, SessionKind::Instrument);
    if (!s)
        return rec.done(VI_ERROR_INV_OBJECT);
    if (!handle)
        return rec.done(kdsim::status::carrierInvalid);
    const ResourceConfig *r = sim.resource(s->resource);
    if (!r || !r->carrier)
        return rec.done(kdsim::status::carrierNone);
    const CarrierConfig &carrier = *r->carrier;
    auto *block = new CarrierBlock;
    std::memset(block, 0, sizeof *block);
    block->object.identity = &block->identity;
    block->object.getAccess = &getAccess;
    block->access.readSlotWord = &readSlotWord;
    block->identity.slotCount = static_cast<ViInt32>(carrier.slots.size());
    block->identity.identities[0] = carrier.model;
    for (std::size_t i = 0; i < carrier.slots.size(); ++i) {
        if (!carrier.slots[i])
            continue;
        const std::string &v = carrier.slots[i]->variant;
        block->identity.identities[i + 1] = carrier.slots[i]->model;
        block->variants[i + 1] = static_cast<ViUInt16>(static_cast<unsigned char>(v[0]) << 8 | static_cast<unsigned char>(v[1]));
    }
    block->session = vi;
    sim.carriers.insert(&block->object);
    handle->object = &block->object;
    rec.out.integer("model", carrier.model).integer("slotCount", block->identity.slotCount);
    return rec.done(VI_SUCCESS);
}

ViStatus closeCarrier(carrierHandle_t *handle)
{
    CallRecord rec("closeCarrier");
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    CarrierBlock *block = handle ? liveBlock(sim, handle->object) : nullptr;
    if (block)
        rec.args.unsignedInteger("session", block->session);
    if (auto fault = sim.takeFault(rec.call(), resourceOf(sim, block)))
        return rec.done(*fault);
    if (!handle)
        return rec.done(kdsim::status::carrierInvalid);
    if (!handle->object) // nothing was opened with this handle
        return rec.done(VI_SUCCESS);
    if (!block)
        return rec.done(kdsim::status::carrierInvalid);
    sim.carriers.erase(&block->object);
    delete block;
    handle->object = nullptr;
    return rec.done(VI_SUCCESS);
}

ViStatus getStatusText(ViStatus status, ViChar buffer[])
{
    CallRecord rec("getStatusText");
    rec.args.integer("status", status);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), -1))
        return rec.done(*fault);
    if (!buffer)
        return rec.done(kdsim::status::userBuffer);
    const char *known = carrierMessage(status);
    const std::string text = known ? known : unknownMessage(status);
    copyText(buffer, KD7010_STATUS_TEXT_LEN, text);
    rec.out.string("text", text);
    return rec.done(known ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS);
}

} // extern "C"
