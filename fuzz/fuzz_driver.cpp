// The C calls of the simulated VISA, carrier library and card driver with
// arguments a careless caller might pass: unknown or closed sessions, null
// pointers, out-of-range channels and codes, any doubles (NaN and infinity
// too), odd descriptors, sample counts beyond the limit. The input is a
// program of calls; the calls must answer with a status, never crash. The
// buffers passed are always as large as the interface asks for.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kd7010.h"
#include "kd7240.h"
#include "kdsim.h"
#include "visa.h"

namespace {

const char systemText[] = R"({ "resources": [
    { "descriptor": "VXI0::8::INSTR", "slot": 3, "carrier": { "model": 12345, "cards": [
        { "model": "0x7240", "lowLimit": -5, "highLimit": 8 }, null, { "model": "0x6216" } ] } },
    { "descriptor": "TCPIP0::10.0.0.1::INSTR", "address": "10.0.0.1", "hostname": "h", "deviceName": "inst0",
      "carrier": { "model": 3150, "cards": [ { "model": "0x7240" } ] } },
    { "descriptor": "ASRL1::INSTR" } ] })";

class Program
{
public:
    Program(const std::uint8_t *data, std::size_t size) : p(data), end(data + size) {}
    bool more() const { return p < end; }
    std::uint8_t byte() { return p < end ? *p++ : 0; }
    template <class T> T number()
    {
        T v{};
        const std::size_t n = std::min<std::size_t>(sizeof v, std::size_t(end - p));
        std::memcpy(&v, p, n);
        p += n;
        return v;
    }
    std::string text()
    {
        static const char *const known[] = { "VXI0::8::INSTR", "vxi::8::instr", "TCPIP::10.0.0.1::INSTR",
            "ASRL1::INSTR", "VXI0::9::INSTR", "" };
        const std::uint8_t pick = byte();
        if (pick < 200)
            return known[pick % 6];
        std::string s;
        for (std::size_t n = byte() * 2u; n > 0 && more(); --n)
            if (const char c = static_cast<char>(byte()))
                s += c;
        return s;
    }

private:
    const std::uint8_t *p;
    const std::uint8_t *end;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    kdsim::useManualClock(); // calibration would otherwise take real time
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (!kdsim::loadSystem(systemText))
        return 0;
    Program in(data, size);
    std::vector<ViSession> sessions = { 0, 1, 4097, 0xFFFFFFFFu };
    std::vector<carrierHandle_t> carriers;
    auto session = [&] { return sessions[in.byte() % sessions.size()]; };
    auto keep = [&](ViStatus st, ViSession s) {
        if (st >= 0 && s)
            sessions.push_back(s);
    };
    char text[KD7010_STATUS_TEXT_LEN];
    char attribute[VI_FIND_BUFLEN];
    for (int step = 0; step < 64 && in.more(); ++step) {
        const std::uint8_t op = in.byte();
        const bool nulls = op & 0x80;
        switch (op % 24) {
        case 0: {
            ViSession s = 0;
            const std::string d = in.text();
            keep(kd7240_init(const_cast<ViRsrc>(d.c_str()), in.number<ViUInt16>(), in.byte(), in.byte(),
                     nulls ? nullptr : &s),
                s);
            break;
        }
        case 1: kd7240_close(session()); break;
        case 2: kd7240_error_message(session(), in.number<ViStatus>(), nulls ? nullptr : text); break;
        case 3: {
            char driver[kd7240_DRIVER_REVISION_LEN], instrument[kd7240_INSTR_REVISION_LEN];
            kd7240_revision_query(session(), in.byte() & 1 ? driver : nullptr, in.byte() & 1 ? instrument : nullptr);
            break;
        }
        case 4: {
            double lo = 0, hi = 0;
            kd7240_getOutputLimits(session(), nulls ? nullptr : &lo, in.byte() & 1 ? nullptr : &hi);
            break;
        }
        case 5: {
            double v = 0;
            kd7240_getDACval(session(), in.number<ViInt16>(), nulls ? nullptr : &v);
            break;
        }
        case 6: {
            ViUInt32 serial = 0;
            char subtype[kd7240_SUBTYPE_LEN];
            kd7240_readSerialNo(session(), nulls ? nullptr : &serial, in.byte() & 1 ? nullptr : subtype);
            break;
        }
        case 7: kd7240_writeChannels(session(), in.number<double>(), in.number<double>()); break;
        case 8: kd7240_calibrate(session()); break;
        case 9: kd7240_setFEConfig(session(), in.number<ViInt16>(), in.number<ViInt16>(), in.number<ViInt16>()); break;
        case 10: kd7240_setITRI(session(), in.number<ViInt16>(), in.number<ViInt16>()); break;
        case 11: kd7240_pulseITRI(session(), in.number<ViInt16>()); break;
        case 12:
        case 13: {
            const ViSession s = session();
            const auto nSam = in.number<ViInt32>() % (kd7240_MAX_SAMPLES + 3);
            const ViInt32 cycles = in.number<ViInt32>();
            const double rate = in.number<double>();
            // As many samples as the count asks for, up to one past the limit.
            const std::size_t count = std::size_t(std::max<ViInt32>(nSam, 1));
            std::vector<double> a(count), b(count);
            for (std::size_t i = 0; i < count; ++i)
                a[i] = b[i] = i < 8 ? in.number<double>() : a[i % 8];
            if (op % 24 == 12)
                kd7240_generateWaveforms(s, nSam, cycles, rate, in.number<ViInt16>(), in.number<ViInt16>(),
                    nulls ? nullptr : a.data(), in.byte() & 1 ? nullptr : b.data());
            else
                kd7240_generateWaveform(s, in.number<ViInt16>(), nSam, cycles, rate, in.number<ViInt16>(),
                    nulls ? nullptr : a.data());
            break;
        }
        case 14: {
            ViInt32 a = 0, b = 0, c = 0, d = 0;
            const std::uint8_t which = in.byte();
            kd7240_getBurstStatus(session(), which & 1 ? nullptr : &a, which & 2 ? nullptr : &b,
                which & 4 ? nullptr : &c, which & 8 ? nullptr : &d);
            break;
        }
        case 15: kd7240_stopBurst(session()); break;
        case 16: kd7240_pause(session()); break;
        case 17: kd7240_resume(session()); break;
        case 18: kdsim::advanceClock(in.number<double>()); break;
        case 19: {
            ViSession s = 0;
            keep(viOpenDefaultRM(nulls ? nullptr : &s), s);
            break;
        }
        case 20: {
            ViSession s = 0;
            const std::string d = in.text();
            keep(viOpen(session(), d.c_str(), in.number<ViUInt32>(), 0, nulls ? nullptr : &s), s);
            break;
        }
        case 21: {
            static const ViAttr attributes[] = { VI_ATTR_RSRC_NAME, VI_ATTR_SLOT, VI_ATTR_INTF_TYPE, VI_ATTR_INTF_NUM,
                VI_ATTR_TCPIP_ADDR, VI_ATTR_TCPIP_HOSTNAME, VI_ATTR_TCPIP_DEVICE_NAME, 0x12345678 };
            viGetAttribute(session(), attributes[in.byte() % 8], nulls ? nullptr : attribute);
            break;
        }
        case 22: viClose(session()); break;
        case 23: {
            const std::uint8_t what = in.byte() % 4;
            if (what == 0) {
                carrierHandle_t handle {};
                handle.defaultRM = session();
                if (openCarrier(session(), nulls ? nullptr : &handle) >= 0 && handle.object)
                    carriers.push_back(handle);
            } else if (!carriers.empty()) {
                const std::size_t k = in.byte() % carriers.size();
                kd7010_carrier_t *object = carriers[k].object;
                if (what == 1) {
                    closeCarrier(&carriers[k]);
                    carriers.erase(carriers.begin() + std::ptrdiff_t(k));
                } else if (object->getAccess) {
                    kd7010_accessTable_t *access = object->getAccess(object, in.number<ViInt32>(), in.number<ViInt32>());
                    ViUInt16 word = 0;
                    if (access && access->readSlotWord)
                        access->readSlotWord(object, in.number<ViUInt16>(), in.number<ViUInt32>(), nulls ? nullptr : &word);
                }
            } else {
                getStatusText(in.number<ViStatus>(), nulls ? nullptr : text);
            }
            break;
        }
        }
    }
    for (carrierHandle_t &handle : carriers)
        closeCarrier(&handle);
    return 0;
}
