// The simulated VISA library: resource manager, resource search, sessions and
// the attributes the panel reads.
#include <chrono>
#include <cstring>
#include <thread>

#include "kdsim_callrecord.h"
#include "kdsim_descriptor.h"
#include "kdsim_findexpression.h"
#include "kdsim_sim.h"
#include "kdsim_status.h"
#include "visa.h"

using namespace kdsim::detail;

namespace {

void copyDescriptor(ViChar *desc, const std::string &text)
{
    if (desc)
        copyText(desc, VI_FIND_BUFLEN, text);
}

// A string attribute: written to the caller's 256-byte buffer, or not supported.
ViStatus stringAttribute(const std::optional<std::string> &value, void *out, CallRecord &rec)
{
    if (!value)
        return VI_ERROR_NSUP_ATTR;
    copyText(static_cast<char *>(out), VI_FIND_BUFLEN, *value);
    rec.out.string("value", *value);
    return VI_SUCCESS;
}

using SessionIterator = std::map<ViSession, Session>::iterator;

// The opening the session calls share: a fault named for the call answers
// first, then an unknown session; otherwise `body` runs under the lock.
template <class Body>
ViStatus onSession(CallRecord &rec, ViObject vi, Body body)
{
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), sim.resourceOf(vi)))
        return rec.done(*fault);
    auto it = sim.sessions.find(vi);
    if (it == sim.sessions.end())
        return rec.done(VI_ERROR_INV_OBJECT);
    return rec.done(body(sim, it));
}

} // namespace

extern "C" {

ViStatus viOpenDefaultRM(ViPSession vi)
{
    CallRecord rec("viOpenDefaultRM");
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), -1))
        return rec.done(*fault);
    if (!vi)
        return rec.done(kdsim::status::userBuffer);
    if (sim.broken())
        return rec.done(VI_ERROR_SYSTEM_ERROR);
    Session s;
    s.kind = SessionKind::ResourceManager;
    *vi = sim.open(std::move(s));
    rec.out.unsignedInteger("session", *vi);
    return rec.done(VI_SUCCESS);
}

ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[])
{
    CallRecord rec("viFindRsrc");
    rec.args.unsignedInteger("session", sesn).cString("expr", expr);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), -1))
        return rec.done(*fault);
    if (!sim.find(sesn, SessionKind::ResourceManager))
        return rec.done(VI_ERROR_INV_OBJECT);
    FindExpression expression;
    if (!expr || !expression.compile(expr))
        return rec.done(VI_ERROR_INV_EXPR);
    Session list;
    list.kind = SessionKind::FindList;
    list.parent = sesn;
    for (const ResourceConfig &r : sim.system->resources)
        if (expression.matches(r.descriptor))
            list.found.push_back(r.descriptor);
    const auto count = static_cast<ViUInt32>(list.found.size());
    if (retCnt)
        *retCnt = count;
    rec.out.unsignedInteger("count", count);
    if (count == 0) {
        if (vi)
            *vi = VI_NULL;
        copyDescriptor(desc, std::string());
        return rec.done(VI_ERROR_RSRC_NFOUND);
    }
    copyDescriptor(desc, list.found[0]);
    rec.out.string("descriptor", list.found[0]);
    if (vi) {
        list.next = 1;
        *vi = sim.open(std::move(list));
        rec.out.unsignedInteger("findList", *vi);
    }
    return rec.done(VI_SUCCESS);
}

ViStatus viFindNext(ViFindList vi, ViChar desc[])
{
    CallRecord rec("viFindNext");
    rec.args.unsignedInteger("findList", vi);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    if (auto fault = sim.takeFault(rec.call(), -1))
        return rec.done(*fault);
    Session *list = sim.find(vi, SessionKind::FindList);
    if (!list)
        return rec.done(VI_ERROR_INV_OBJECT);
    if (list->next >= list->found.size())
        return rec.done(VI_ERROR_RSRC_NFOUND);
    const std::string &next = list->found[list->next++];
    copyDescriptor(desc, next);
    rec.out.string("descriptor", next);
    return rec.done(VI_SUCCESS);
}

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi)
{
    CallRecord rec("viOpen");
    rec.args.unsignedInteger("session", sesn).cString("descriptor", name).unsignedInteger("mode", mode).unsignedInteger(
        "timeout", timeout);
    Sim &sim = Sim::instance();
    auto lock = sim.lock();
    const int index = name && sim.system ? sim.system->find(parseDescriptor(name).normalised) : -1;
    if (auto fault = sim.takeFault(rec.call(), index))
        return rec.done(*fault);
    if (!sim.find(sesn, SessionKind::ResourceManager))
        return rec.done(VI_ERROR_INV_OBJECT);
    if (!name)
        return rec.done(VI_ERROR_INV_RSRC_NAME);
    if (mode & ~ViAccessMode(7)) // VI_EXCLUSIVE_LOCK, VI_SHARED_LOCK, VI_LOAD_CONFIG
        return rec.done(VI_ERROR_INV_ACC_MODE);
    if (!vi)
        return rec.done(kdsim::status::userBuffer);
    if (index < 0)
        return rec.done(VI_ERROR_RSRC_NFOUND);
    const double latency = sim.resource(index)->openLatencyMs;
    const std::uint64_t generation = sim.generation;
    if (latency > 0) {
        // A network round trip: other threads' opens overlap with this one.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(latency));
        lock.lock();
        if (sim.generation != generation || !sim.find(sesn, SessionKind::ResourceManager))
            return rec.done(VI_ERROR_INV_OBJECT);
    }
    Session s;
    s.kind = SessionKind::Instrument;
    s.parent = sesn;
    s.resource = index;
    *vi = sim.open(std::move(s));
    rec.out.unsignedInteger("session", *vi);
    return rec.done(VI_SUCCESS);
}

ViStatus viClose(ViObject vi)
{
    CallRecord rec("viClose");
    rec.args.unsignedInteger("session", vi);
    return onSession(rec, vi, [&](Sim &sim, SessionIterator it) {
        // Closing a resource manager closes everything opened through it.
        if (it->second.kind == SessionKind::ResourceManager) {
            for (auto child = sim.sessions.begin(); child != sim.sessions.end();)
                child = child->second.parent == vi ? sim.sessions.erase(child) : std::next(child);
        }
        sim.sessions.erase(vi);
        return VI_SUCCESS;
    });
}

ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue)
{
    CallRecord rec("viGetAttribute");
    rec.args.unsignedInteger("session", vi).unsignedInteger("attribute", attrName);
    return onSession(rec, vi, [&](Sim &sim, SessionIterator it) -> ViStatus {
        if (!attrValue)
            return kdsim::status::userBuffer;
        const ResourceConfig *r = sim.resource(it->second.resource);
        if (it->second.kind != SessionKind::Instrument || !r)
            return VI_ERROR_NSUP_ATTR;
        const bool tcpip = r->interfaceType == VI_INTF_TCPIP;
        switch (attrName) {
        case VI_ATTR_INTF_TYPE:
            if (r->interfaceType == 0)
                return VI_ERROR_NSUP_ATTR;
            *static_cast<ViUInt16 *>(attrValue) = static_cast<ViUInt16>(r->interfaceType);
            rec.out.integer("value", r->interfaceType);
            return VI_SUCCESS;
        case VI_ATTR_INTF_NUM:
            *static_cast<ViUInt16 *>(attrValue) = r->board;
            rec.out.integer("value", r->board);
            return VI_SUCCESS;
        case VI_ATTR_RSRC_NAME:
            return stringAttribute(r->descriptor, attrValue, rec);
        case VI_ATTR_SLOT:
            if (!r->slot)
                return VI_ERROR_NSUP_ATTR;
            *static_cast<ViInt16 *>(attrValue) = *r->slot;
            rec.out.integer("value", *r->slot);
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_ADDR:
            return tcpip ? stringAttribute(r->address, attrValue, rec) : VI_ERROR_NSUP_ATTR;
        case VI_ATTR_TCPIP_HOSTNAME:
            return tcpip ? stringAttribute(r->hostname, attrValue, rec) : VI_ERROR_NSUP_ATTR;
        case VI_ATTR_TCPIP_DEVICE_NAME:
            return tcpip ? stringAttribute(r->deviceName, attrValue, rec) : VI_ERROR_NSUP_ATTR;
        default:
            return VI_ERROR_NSUP_ATTR;
        }
    });
}

} // extern "C"
