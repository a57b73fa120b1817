// The simulated 7240 driver: opening cards, every argument check, bursts on
// the manual clock (cycles, trigger, pause), faults, messages and the trace.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "kd7010.h"
#include "kd7240.h"
#include "kdsim.h"
#include "visa.h"

using DriverCall = std::function<ViStatus(ViSession)>;
Q_DECLARE_METATYPE(DriverCall)

namespace {

const char vxiCarrier[] = "VXI0::8::INSTR"; // the default system's VXI carrier: 7240, empty, 6216, 7240
const double NaN = std::numeric_limits<double>::quiet_NaN();

ViSession openCard(const char *descriptor = vxiCarrier, ViUInt16 fc = 1, ViUInt16 reset = 1)
{
    ViSession s = 0;
    const ViStatus st = kd7240_init(const_cast<ViRsrc>(descriptor), fc, 1, reset, &s);
    return st == VI_SUCCESS ? s : 0;
}

ViInt32 burstState(ViSession s)
{
    ViInt32 state = -1;
    return kd7240_getBurstStatus(s, &state, nullptr, nullptr, nullptr) == VI_SUCCESS ? state : -1;
}

// One period of nSam samples between lo and hi.
std::vector<double> ramp(int nSam, double lo, double hi)
{
    std::vector<double> v(nSam);
    for (int i = 0; i < nSam; ++i)
        v[i] = lo + (hi - lo) * i / std::max(1, nSam - 1);
    return v;
}

} // namespace

class TestKdsimDriver : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv("KDSIM_SYSTEM", "");
        qputenv("KDSIM_TRACE", "");
        qputenv("KDSIM_TRACE_SAMPLES", "");
        kdsim::reset();
        kdsim::useManualClock();
    }

    void initCard_data()
    {
        QTest::addColumn<QByteArray>("descriptor");
        QTest::addColumn<int>("fc");
        QTest::addColumn<int>("idQuery");
        QTest::addColumn<int>("reset");
        QTest::addColumn<bool>("nullSession");
        QTest::addColumn<int>("status");
        QTest::newRow("first 7240") << QByteArray(vxiCarrier) << 1 << 1 << 1 << false << 0;
        QTest::newRow("second 7240") << QByteArray(vxiCarrier) << 4 << 0 << 0 << false << 0;
        QTest::newRow("default address") << QByteArray("TCPIP::192.168.2.100::INSTR") << 1 << 1 << 1 << false << 0;
        QTest::newRow("empty slot") << QByteArray(vxiCarrier) << 2 << 1 << 1 << false << kdsim::status::emptySlot;
        QTest::newRow("other model") << QByteArray(vxiCarrier) << 3 << 1 << 1 << false << kdsim::status::wrongModel;
        QTest::newRow("beyond slots") << QByteArray(vxiCarrier) << 5 << 1 << 1 << false << kdsim::status::noSuchSlot;
        QTest::newRow("fc 0") << QByteArray(vxiCarrier) << 0 << 1 << 1 << false << VI_ERROR_PARAMETER2;
        QTest::newRow("no carrier") << QByteArray("ASRL1::INSTR") << 1 << 1 << 1 << false << kdsim::status::noCarrier;
        QTest::newRow("not found") << QByteArray("VXI0::9::INSTR") << 1 << 1 << 1 << false << VI_ERROR_RSRC_NFOUND;
        QTest::newRow("null descriptor") << QByteArray() << 1 << 1 << 1 << false << VI_ERROR_PARAMETER1;
        QTest::newRow("idQuery 2") << QByteArray(vxiCarrier) << 1 << 2 << 1 << false << VI_ERROR_PARAMETER3;
        QTest::newRow("reset 2") << QByteArray(vxiCarrier) << 1 << 1 << 2 << false << VI_ERROR_PARAMETER4;
        QTest::newRow("null session") << QByteArray(vxiCarrier) << 1 << 1 << 1 << true << VI_ERROR_PARAMETER5;
    }
    void initCard()
    {
        QFETCH(QByteArray, descriptor);
        QFETCH(int, fc);
        QFETCH(int, idQuery);
        QFETCH(int, reset);
        QFETCH(bool, nullSession);
        QFETCH(int, status);
        ViSession s = 0xDEAD;
        QCOMPARE(kd7240_init(descriptor.isNull() ? nullptr : descriptor.data(), ViUInt16(fc), ViUInt16(idQuery),
                             ViUInt16(reset), nullSession ? nullptr : &s),
                 status);
        if (status != VI_SUCCESS) {
            QCOMPARE(s, ViSession(0xDEAD));
            QCOMPARE(kdsim::openSessionCount(), 0);
            return;
        }
        // A driver session is a VISA session.
        ViUInt16 type = 0;
        QCOMPARE(viGetAttribute(s, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
        QVERIFY(kdsim::cardState(s).open);
        QCOMPARE(kd7240_close(s), VI_SUCCESS);
        QCOMPARE(kd7240_close(s), VI_ERROR_INV_OBJECT);
        QCOMPARE(kdsim::openSessionCount(), 0);
    }

    // Every argument check of the driver, on an open card with limits -10..10 V; with session 0, a
    // closed driver session or a plain VISA session every call is refused first, never a crash.
    void argumentChecks_data()
    {
        QTest::addColumn<DriverCall>("call");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("needsSession");
        static std::vector<double> good = ramp(1000, -10, 10), high = ramp(10, 0, 10.01), low = ramp(10, -10.5, 0),
                                   withNan = {0, NaN, 1}, big = std::vector<double>(kd7240_MAX_SAMPLES, 0.5);
        double *g = good.data();
        auto row = [](const char *name, DriverCall call, ViStatus status, bool needsSession = true) {
            QTest::newRow(name) << call << int(status) << needsSession;
        };
        row("limits low", [](ViSession s) { double h; return kd7240_getOutputLimits(s, nullptr, &h); }, VI_ERROR_PARAMETER2);
        row("limits high", [](ViSession s) { double l; return kd7240_getOutputLimits(s, &l, nullptr); }, VI_ERROR_PARAMETER3);
        row("dac ch 0", [](ViSession s) { double v; return kd7240_getDACval(s, 0, &v); }, VI_ERROR_PARAMETER2);
        row("dac ch 3", [](ViSession s) { double v; return kd7240_getDACval(s, 3, &v); }, VI_ERROR_PARAMETER2);
        row("dac value", [](ViSession s) { return kd7240_getDACval(s, 1, nullptr); }, VI_ERROR_PARAMETER3);
        row("serial", [](ViSession s) { char t[4]; return kd7240_readSerialNo(s, nullptr, t); }, VI_ERROR_PARAMETER2);
        row("subtype", [](ViSession s) { ViUInt32 n; return kd7240_readSerialNo(s, &n, nullptr); }, VI_ERROR_PARAMETER3);
        row("write ch1 high", [](ViSession s) { return kd7240_writeChannels(s, 10.5, 0); }, VI_ERROR_PARAMETER2);
        row("write ch1 NaN", [](ViSession s) { return kd7240_writeChannels(s, NaN, 0); }, VI_ERROR_PARAMETER2);
        row("write ch2 low", [](ViSession s) { return kd7240_writeChannels(s, 0, -10.5); }, VI_ERROR_PARAMETER3);
        row("write at limits", [](ViSession s) { return kd7240_writeChannels(s, 10, -10); }, VI_SUCCESS);
        row("fe channel", [](ViSession s) { return kd7240_setFEConfig(s, 0, 0, 0); }, VI_ERROR_PARAMETER2);
        row("fe filter 4", [](ViSession s) { return kd7240_setFEConfig(s, 1, 4, 0); }, VI_ERROR_PARAMETER3);
        row("fe filter -1", [](ViSession s) { return kd7240_setFEConfig(s, 1, -1, 0); }, VI_ERROR_PARAMETER3);
        row("fe term 1", [](ViSession s) { return kd7240_setFEConfig(s, 2, 3, 1); }, VI_ERROR_PARAMETER4);
        row("fe good", [](ViSession s) { return kd7240_setFEConfig(s, 2, 3, 2); }, VI_SUCCESS);
        row("itri source", [](ViSession s) { return kd7240_setITRI(s, 1, 0); }, VI_ERROR_PARAMETER2);
        row("itri pulse", [](ViSession s) { return kd7240_setITRI(s, 3, 4); }, VI_ERROR_PARAMETER3);
        row("pulse code", [](ViSession s) { return kd7240_pulseITRI(s, -1); }, VI_ERROR_PARAMETER2);
        auto both = [g](ViInt32 n, ViInt32 c, double r, ViInt16 f1, ViInt16 f2, double *d1, double *d2) {
            return [=](ViSession s) { return kd7240_generateWaveforms(s, n, c, r, f1, f2, d1, d2); };
        };
        row("both nSam 0", both(0, 0, 1e6, 0, 0, g, g), VI_ERROR_PARAMETER2);
        row("both nSam max+1", both(kd7240_MAX_SAMPLES + 1, 0, 1e6, 0, 0, g, g), VI_ERROR_PARAMETER2);
        row("both cycles", both(1000, -1, 1e6, 0, 0, g, g), VI_ERROR_PARAMETER3);
        row("both rate 0", both(1000, 0, 0, 0, 0, g, g), VI_ERROR_PARAMETER4);
        row("both rate high", both(1000, 0, 1e6 + 1, 0, 0, g, g), VI_ERROR_PARAMETER4);
        row("both rate NaN", both(1000, 0, NaN, 0, 0, g, g), VI_ERROR_PARAMETER4);
        row("both filter1", both(1000, 0, 1e6, 4, 0, g, g), VI_ERROR_PARAMETER5);
        row("both filter2", both(1000, 0, 1e6, 0, -1, g, g), VI_ERROR_PARAMETER6);
        row("both data1", both(1000, 0, 1e6, 0, 0, nullptr, g), VI_ERROR_PARAMETER7);
        row("both data2", both(1000, 0, 1e6, 0, 0, g, nullptr), VI_ERROR_PARAMETER8);
        row("both sample high", both(10, 0, 1e6, 0, 0, g, high.data()), kdsim::status::sampleOutOfLimits);
        row("both sample NaN", both(3, 0, 1e6, 0, 0, withNan.data(), g), kdsim::status::sampleOutOfLimits);
        row("both good", both(1000, 5, 1e6, 3, 1, g, g), VI_SUCCESS);
        row("both most samples", both(kd7240_MAX_SAMPLES, 1, 1, 0, 0, big.data(), big.data()), VI_SUCCESS);
        auto one = [g](ViInt16 ch, ViInt32 n, ViInt32 c, double r, ViInt16 f, double *d) {
            return [=](ViSession s) { return kd7240_generateWaveform(s, ch, n, c, r, f, d); };
        };
        row("one channel", one(3, 1000, 0, 1e6, 0, g), VI_ERROR_PARAMETER2);
        row("one nSam", one(1, 0, 0, 1e6, 0, g), VI_ERROR_PARAMETER3);
        row("one cycles", one(1, 1000, -5, 1e6, 0, g), VI_ERROR_PARAMETER4);
        row("one rate", one(1, 1000, 0, -1, 0, g), VI_ERROR_PARAMETER5);
        row("one filter", one(2, 1000, 0, 1e6, 4, g), VI_ERROR_PARAMETER6);
        row("one data", one(2, 1000, 0, 1e6, 0, nullptr), VI_ERROR_PARAMETER7);
        row("one sample low", one(2, 10, 0, 1e6, 0, low.data()), kdsim::status::sampleOutOfLimits);
        row("one good", one(2, 1, 1, 1e6, 0, g), VI_SUCCESS);
        row("burst state", [](ViSession s) { return kd7240_getBurstStatus(s, nullptr, nullptr, nullptr, nullptr); },
            VI_ERROR_PARAMETER2);
        row("pause idle", [](ViSession s) { return kd7240_pause(s); }, kdsim::status::notGenerating);
        row("resume idle", [](ViSession s) { return kd7240_resume(s); }, kdsim::status::notGenerating);
        row("calibrate", [](ViSession s) { return kd7240_calibrate(s); }, VI_SUCCESS);
        row("stop", [](ViSession s) { return kd7240_stopBurst(s); }, VI_SUCCESS);
        row("instrument revision", [](ViSession s) { char r[16]; return kd7240_revision_query(s, nullptr, r); }, VI_SUCCESS);
        row("close", [](ViSession s) { return kd7240_close(s); }, VI_SUCCESS);
        row("message buffer", [](ViSession) { return kd7240_error_message(0, 0, nullptr); }, VI_ERROR_PARAMETER3, false);
        row("message", [](ViSession) { char t[1024]; return kd7240_error_message(0, VI_ERROR_PARAMETER5, t); },
            VI_SUCCESS, false);
    }
    void argumentChecks()
    {
        QFETCH(DriverCall, call);
        QFETCH(int, status);
        QFETCH(bool, needsSession);
        const ViSession s = openCard(), closed = openCard();
        QCOMPARE(kd7240_close(closed), VI_SUCCESS);
        ViSession rm = 0, plain = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viOpen(rm, vxiCarrier, 0, 0, &plain), VI_SUCCESS);
        if (needsSession)
            for (ViSession bad : {ViSession(0), closed, plain, rm, ViSession(0xFFFFFFFF)})
                QCOMPARE(call(bad), VI_ERROR_INV_OBJECT);
        kd7240_writeChannels(s, 1.5, -2.5);
        const kdsim::CardState before = kdsim::cardState(s);
        QCOMPARE(call(s), status);
        if (status != VI_SUCCESS) { // a refused call changes nothing
            const kdsim::CardState after = kdsim::cardState(s);
            QCOMPARE(after.dac[0], before.dac[0]);
            QCOMPARE(after.dac[1], before.dac[1]);
            QCOMPARE(after.filter[1], before.filter[1]);
            QCOMPARE(after.generating, before.generating);
            QCOMPARE(after.itriSource, before.itriSource);
        }
    }

    void dacsAndReset()
    {
        ViSession s = openCard(vxiCarrier, 4);
        QCOMPARE(kd7240_writeChannels(s, -2, 1.5), VI_SUCCESS);
        QCOMPARE(kd7240_setFEConfig(s, 2, 1, 2), VI_SUCCESS);
        double v = 0;
        QCOMPARE(kd7240_getDACval(s, 2, &v), VI_SUCCESS);
        QCOMPARE(v, 1.5);
        kd7240_close(s);
        // The card keeps its state without reset and loses it with reset.
        s = openCard(vxiCarrier, 4, 0);
        QCOMPARE(kd7240_getDACval(s, 1, &v), VI_SUCCESS);
        QCOMPARE(v, -2.0);
        QCOMPARE(kdsim::cardState(s).term[1], 2);
        kd7240_close(s);
        s = openCard(vxiCarrier, 4, 1);
        const kdsim::CardState state = kdsim::cardState(s);
        QCOMPARE(state.dac[0], 0.0);
        QCOMPARE(state.filter[1], 0);
        QCOMPARE(state.term[1], 0);
        // The other card on the carrier is another card.
        const ViSession first = openCard(vxiCarrier, 1);
        QCOMPARE(kd7240_writeChannels(first, 3, 3), VI_SUCCESS);
        QCOMPARE(kdsim::cardState(s).dac[0], 0.0);
        // Two names of one LXI module reach the same card.
        const ViSession lxi = openCard("TCPIP0::192.168.2.100::INSTR");
        QCOMPARE(kd7240_writeChannels(lxi, 4, 4), VI_SUCCESS);
        const ViSession alias = openCard("TCPIP0::192.168.2.100::inst0::INSTR", 1, 0);
        QCOMPARE(kdsim::cardState(alias).dac[1], 4.0);
    }

    void identityAndLimits()
    {
        QVERIFY(kdsim::loadSystem(R"({"resources": [ {"descriptor": "VXI0::1::INSTR", "carrier": {"model": 1,
            "cards": [ {"model": 29248, "serial": 6699, "subtype": "XY", "revision": "3.2.1.0",
                        "lowLimit": -5, "highLimit": 2.5} ] } } ] })"));
        const ViSession s = openCard("VXI::1::INSTR");
        QVERIFY(s);
        double lo = 0, hi = 0;
        QCOMPARE(kd7240_getOutputLimits(s, &lo, &hi), VI_SUCCESS);
        QCOMPARE(lo, -5.0);
        QCOMPARE(hi, 2.5);
        QCOMPARE(kd7240_writeChannels(s, 2.6, 0), VI_ERROR_PARAMETER2);
        ViUInt32 serial = 0;
        char subtype[kd7240_SUBTYPE_LEN] = "zzz";
        QCOMPARE(kd7240_readSerialNo(s, &serial, subtype), VI_SUCCESS);
        QCOMPARE(serial, ViUInt32(0x1A2B));
        QCOMPARE(QString(subtype), "XY");
        char driver[kd7240_DRIVER_REVISION_LEN] = {}, instrument[kd7240_INSTR_REVISION_LEN] = {};
        QCOMPARE(kd7240_revision_query(0, driver, nullptr), VI_SUCCESS);
        QVERIFY(std::strlen(driver) > 0);
        QCOMPARE(kd7240_revision_query(0, nullptr, instrument), VI_ERROR_INV_OBJECT);
        QCOMPARE(kd7240_revision_query(s, nullptr, instrument), VI_SUCCESS);
        QCOMPARE(QString(instrument), "3.2.1.0");
    }

    void burstEndsAfterCycles()
    {
        const ViSession s = openCard();
        std::vector<double> data = ramp(1000, -1, 3);
        // 5 cycles of 1000 samples at 1 MHz: 5 ms.
        QCOMPARE(kd7240_generateWaveform(s, 1, 1000, 5, 1e6, 0, data.data()), VI_SUCCESS);
        QCOMPARE(burstState(s), 1);
        kdsim::advanceClock(2.5);
        ViInt32 state = 0, cycles = -1, position = -1, reserved = -1;
        QCOMPARE(kd7240_getBurstStatus(s, &state, &cycles, &position, &reserved), VI_SUCCESS);
        QCOMPARE(cycles, 2);
        QCOMPARE(position, 500);
        QCOMPARE(reserved, 0);
        kdsim::advanceClock(2.4);
        QCOMPARE(burstState(s), 1);
        kdsim::advanceClock(0.1);
        QCOMPARE(burstState(s), 0);
        QVERIFY(!kdsim::cardState(s).generating);
        // Unlimited runs until stopped.
        QCOMPARE(kd7240_generateWaveforms(s, 1000, 0, 1e6, 0, 0, data.data(), data.data()), VI_SUCCESS);
        kdsim::advanceClock(1e9);
        QCOMPARE(burstState(s), 1);
        // Steps that are no time leave the clock alone: every count stays a number.
        for (const double step : { std::numeric_limits<double>::infinity(), NaN, -5.0 })
            kdsim::advanceClock(step);
        QCOMPARE(kd7240_getBurstStatus(s, &state, &cycles, &position, &reserved), VI_SUCCESS);
        QCOMPARE(cycles, ViInt32(1e12 / 1000));
        QCOMPARE(position, 0);
        kdsim::setClock([] { return NaN; });
        QCOMPARE(kd7240_getBurstStatus(s, &state, &cycles, &position, &reserved), VI_SUCCESS);
        QCOMPARE(state, 1);
        QCOMPARE(position, 0);
        kdsim::useManualClock();
        QCOMPARE(kd7240_stopBurst(s), VI_SUCCESS);
        QCOMPARE(burstState(s), 0);
    }

    void triggerWaitsAndRearms()
    {
        const ViSession s = openCard();
        std::vector<double> data = ramp(100, 0, 1);
        QCOMPARE(kd7240_setITRI(s, kd7240_ITRI_SRC_BOTH, kd7240_ITRI_PULSE_ABORT), VI_SUCCESS);
        // 2 cycles of 100 samples at 1 kHz: 200 ms once triggered.
        QCOMPARE(kd7240_generateWaveform(s, 2, 100, 2, 1000, 0, data.data()), VI_SUCCESS);
        QCOMPARE(burstState(s), 2);
        QVERIFY(kdsim::cardState(s).waitingForTrigger);
        kdsim::advanceClock(1000);
        QCOMPARE(burstState(s), 2); // waiting counts as generating, without time running
        for (int run = 0; run < 2; ++run) {
            QCOMPARE(kd7240_pulseITRI(s, kd7240_ITRI_PULSE), VI_SUCCESS);
            QCOMPARE(burstState(s), 1);
            kdsim::advanceClock(199);
            QCOMPARE(kd7240_pulseITRI(s, kd7240_ITRI_PULSE), VI_SUCCESS); // ignored while running
            QCOMPARE(burstState(s), 1);
            kdsim::advanceClock(1);
            QCOMPARE(burstState(s), 2); // re-armed
        }
        QCOMPARE(kd7240_stopBurst(s), VI_SUCCESS);
        QCOMPARE(burstState(s), 0);
        // Immediate start again.
        QCOMPARE(kd7240_setITRI(s, 0, 0), VI_SUCCESS);
        QCOMPARE(kd7240_generateWaveform(s, 2, 100, 2, 1000, 0, data.data()), VI_SUCCESS);
        QCOMPARE(burstState(s), 1);
    }

    void pauseExcludesTime()
    {
        const ViSession s = openCard();
        std::vector<double> data = ramp(1000, 0, 1);
        QCOMPARE(kd7240_generateWaveform(s, 1, 1000, 10, 1e6, 0, data.data()), VI_SUCCESS); // 10 ms
        kdsim::advanceClock(4);
        QCOMPARE(kd7240_resume(s), kdsim::status::notPaused);
        QVERIFY(kdsim::status::notPaused > 0);
        QCOMPARE(kd7240_pause(s), VI_SUCCESS);
        QCOMPARE(burstState(s), 3);
        QVERIFY(kdsim::cardState(s).paused);
        kdsim::advanceClock(100);
        QCOMPARE(burstState(s), 3);
        QCOMPARE(kd7240_resume(s), VI_SUCCESS);
        kdsim::advanceClock(5.9);
        QCOMPARE(burstState(s), 1);
        kdsim::advanceClock(0.1);
        QCOMPARE(burstState(s), 0);
        QCOMPARE(kd7240_resume(s), kdsim::status::notGenerating);
        // Pausing while armed keeps the trigger's run paused until resumed.
        kd7240_setITRI(s, 3, 0);
        QCOMPARE(kd7240_generateWaveform(s, 1, 1000, 1, 1e6, 0, data.data()), VI_SUCCESS); // 1 ms
        QCOMPARE(kd7240_pause(s), VI_SUCCESS);
        kd7240_pulseITRI(s, 2);
        kdsim::advanceClock(50);
        QCOMPARE(burstState(s), 3);
        QCOMPARE(kd7240_resume(s), VI_SUCCESS);
        kdsim::advanceClock(1);
        QCOMPARE(burstState(s), 2);
    }

    void calibrate()
    {
        const ViSession s = openCard();
        QCOMPARE(kd7240_calibrate(s), VI_SUCCESS);
        QCOMPARE(kdsim::cardState(s).calibrations, 1);
    }

    void faults()
    {
        const ViSession s = openCard();
        double v = 7;
        kdsim::addFault("kd7240_getDACval", VI_ERROR_TMO, 1);
        QCOMPARE(kd7240_getDACval(s, 1, &v), VI_ERROR_TMO);
        QCOMPARE(v, 7.0); // a faulted call writes nothing
        QCOMPARE(kd7240_getDACval(s, 1, &v), VI_SUCCESS);
        kdsim::addFault("kd7240_writeChannels", VI_ERROR_TMO);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(kd7240_writeChannels(s, 1, 1), VI_ERROR_TMO);
        QCOMPARE(kdsim::cardState(s).dac[0], 0.0);
        kdsim::clearFaults();
        QCOMPARE(kd7240_writeChannels(s, 1, 1), VI_SUCCESS);
        // Limited to one resource.
        kdsim::addFault("viOpen", VI_ERROR_TMO, -1, "vxi::8::instr");
        ViSession rm = 0, vi = 0;
        viOpenDefaultRM(&rm);
        QCOMPARE(viOpen(rm, vxiCarrier, 0, 0, &vi), VI_ERROR_TMO);
        QCOMPARE(viOpen(rm, "ASRL1::INSTR", 0, 0, &vi), VI_SUCCESS);
        // From the system file, with the status as hexadecimal text.
        QVERIFY(kdsim::loadSystem(R"({"resources": [ {"descriptor": "VXI0::8::INSTR", "carrier": {"model": 1,
            "cards": [ {"model": "0x7240"} ] } } ],
            "faults": [ {"call": "kd7240_calibrate", "status": "0x3FFC0801", "count": 1},
                        {"call": "getAccess", "status": -1} ] })"));
        const ViSession t = openCard();
        QCOMPARE(kd7240_calibrate(t), ViStatus(0x3FFC0801));
        QCOMPARE(kdsim::cardState(t).calibrations, 0);
        QCOMPARE(kd7240_calibrate(t), VI_SUCCESS);
        QCOMPARE(kdsim::cardState(t).calibrations, 1);
        viOpenDefaultRM(&rm);
        QCOMPARE(viOpen(rm, vxiCarrier, 0, 0, &vi), VI_SUCCESS);
        carrierHandle_t handle = {};
        QCOMPARE(openCarrier(vi, &handle), VI_SUCCESS);
        QVERIFY(!handle.object->getAccess(handle.object, 1, 1)); // a faulted getAccess gives no table
        closeCarrier(&handle);
    }

    // The driver translates its own codes and VISA's; the carrier library translates everything.
    void messages_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("driverKnows");
        QTest::addColumn<bool>("carrierKnows");
        using namespace kdsim::status;
        for (int code : {int(VI_SUCCESS), int(VI_ERROR_PARAMETER1), int(VI_ERROR_PARAMETER8), int(VI_ERROR_RSRC_NFOUND),
                         noCarrier, noSuchSlot, emptySlot, wrongModel, sampleOutOfLimits, notGenerating, notPaused})
            QTest::newRow(qPrintable(QString::number(uint(code), 16))) << code << true << true;
        for (int code : {carrierNone, carrierInvalid, carrierBadSlot})
            QTest::newRow(qPrintable(QString::number(uint(code), 16))) << code << false << true;
        QTest::newRow("unknown error") << int(0xBFFC07FF) << false << false;
        QTest::newRow("unknown warning") << 0x12345 << false << false;
    }
    void messages()
    {
        QFETCH(int, status);
        QFETCH(bool, driverKnows);
        QFETCH(bool, carrierKnows);
        char driver[kd7240_ERROR_MESSAGE_LEN] = {}, carrier[KD7010_STATUS_TEXT_LEN] = {};
        QCOMPARE(kd7240_error_message(0, status, driver) == VI_SUCCESS, driverKnows);
        QCOMPARE(getStatusText(status, carrier) == VI_SUCCESS, carrierKnows);
        QVERIFY(std::strlen(driver) > 0);
        QVERIFY(std::strlen(carrier) > 0);
        // Unknown codes are named by their number.
        QCOMPARE(QString(carrier).contains(QString::number(uint(status), 16), Qt::CaseInsensitive), !carrierKnows);
        if (driverKnows)
            QCOMPARE(QString(driver), QString(carrier));
    }

    // The trace: one JSON object per line with the documented names, flushed as it goes.
    void trace_data()
    {
        QTest::addColumn<bool>("samples");
        QTest::newRow("summaries") << false;
        QTest::newRow("with samples") << true;
    }
    void trace()
    {
        QFETCH(bool, samples);
        QTemporaryDir dir;
        const QString path = dir.filePath("trace.jsonl");
        qputenv("KDSIM_TRACE", path.toLocal8Bit());
        qputenv("KDSIM_TRACE_SAMPLES", samples ? "1" : "");
        kdsim::reset();
        kdsim::keepSamples(true);
        const double rate = 1.0 / 3e-6; // needs all 17 digits to survive
        std::vector<double> data = ramp(1000, -1, 3);
        const ViSession s = openCard();
        QCOMPARE(kd7240_generateWaveform(s, 1, 1000, 0, rate, 2, data.data()), VI_SUCCESS);
        ViInt32 state = 0;
        kd7240_getBurstStatus(s, &state, nullptr, nullptr, nullptr);
        kd7240_writeChannels(s, NaN, std::numeric_limits<double>::infinity());
        kd7240_generateWaveforms(s, 0, 0, 1e6, 0, 0, data.data(), nullptr);
        ViSession rm = 0;
        viOpenDefaultRM(&rm);
        viOpen(rm, "GPIB\"5\\\x01\xE9", 0, 0, &rm);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 8); // seven calls and the empty rest after the last newline
        QVERIFY(lines.last().isEmpty());
        QList<QJsonObject> records;
        for (int i = 0; i < 7; ++i) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(lines[i], &error);
            QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
            const QJsonObject o = doc.object();
            QCOMPARE(o.value("seq").toInt(), i + 1);
            QVERIFY(o.value("ms").isDouble());
            QVERIFY(o.value("args").isObject());
            QVERIFY(o.value("status").isDouble());
            records << o;
        }
        QCOMPARE(records[0].value("call").toString(), "kd7240_init");
        QCOMPARE(records[0].value("args").toObject().keys(),
                 QStringList({"descriptor", "fcNumber", "idQuery", "reset"}));
        QCOMPARE(records[0].value("out").toObject().value("session").toInt(), int(s));

        const QJsonObject gen = records[1];
        QCOMPARE(gen.value("call").toString(), "kd7240_generateWaveform");
        const QJsonObject args = gen.value("args").toObject();
        QCOMPARE(args.keys(), QStringList({"channel", "cycles", "data", "filter", "nSam", "rate", "session"}));
        QCOMPARE(args.value("rate").toDouble(), rate);
        QCOMPARE(args.value("filter").toInt(), 2);
        const QJsonObject summary = args.value("data").toObject();
        QCOMPARE(summary.value("count").toInt(), 1000);
        QCOMPARE(summary.value("min").toDouble(), -1.0);
        QCOMPARE(summary.value("max").toDouble(), 3.0);
        QCOMPARE(summary.contains("values"), samples);
        if (samples) {
            const QJsonArray values = summary.value("values").toArray();
            QCOMPARE(values.size(), 1000);
            QCOMPARE(values.at(333).toDouble(), data[333]);
        }
        QCOMPARE(records[2].value("out").toObject().value("state").toInt(), 1);
        QCOMPARE(records[3].value("args").toObject().value("ch1").type(), QJsonValue::Null);
        QCOMPARE(records[3].value("status").toInt(), int(VI_ERROR_PARAMETER2));
        QCOMPARE(records[4].value("args").toObject().value("data2").type(), QJsonValue::Null);
        QCOMPARE(records[6].value("args").toObject().value("descriptor").toString(),
                 QString::fromLatin1("GPIB\"5\\\x01\xE9"));

        // The same records in memory, with the samples kept.
        const std::vector<kdsim::Call> calls = kdsim::calls("kd7240_generateWaveform");
        QCOMPARE(calls.size(), std::size_t(1));
        QCOMPARE(calls[0].seq, std::uint64_t(2));
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(calls[0].args)).object(), args);
        QCOMPARE(calls[0].data1, data);
        QCOMPARE(kdsim::calls().size(), std::size_t(7));
        qputenv("KDSIM_TRACE", "");
        kdsim::reset();
    }
};

QTEST_GUILESS_MAIN(TestKdsimDriver)
#include "tst_kdsim_driver.moc"
