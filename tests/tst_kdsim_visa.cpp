// The simulated VISA and carrier library as the panel meets them: resource
// search expressions, descriptor names, attributes per interface, the carrier
// object read through raw byte offsets, and broken system files.
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "kd7010.h"
#include "kd7240.h"
#include "kdsim.h"
#include "visa.h"

namespace {

// Descriptors of every interface, some with characters the expression language treats specially.
const char namesSystem[] = R"({ "resources": [
  { "descriptor": "VXI0::8::INSTR", "slot": 3, "carrier": { "model": 1, "cards": [ { "model": "0x7240" } ] } },
  { "descriptor": "VXI0::12::INSTR", "slot": 5 },
  { "descriptor": "VXI1::0::INSTR", "slot": 0 },
  { "descriptor": "GPIB0::5::INSTR" },
  { "descriptor": "GPIB-VXI0::3::INSTR", "slot": 2 },
  { "descriptor": "TCPIP0::192.168.2.100::INSTR", "address": "192.168.2.100", "hostname": "lxi-a", "deviceName": "inst0" },
  { "descriptor": "TCPIP0::192.168.2.100::inst0::INSTR", "address": "192.168.2.100" },
  { "descriptor": "ASRL1::INSTR" },
  { "descriptor": "TCPIP0::10.0.0.1::5025::SOCKET", "address": "10.0.0.1" },
  { "descriptor": "VXI0::MEMACC" },
  { "descriptor": "USB0::0x1234::0x5678::SN1::INSTR" },
  { "descriptor": "PXI3::2::INSTR" },
  { "descriptor": "A*B::INSTR" } ] })";

// All descriptors viFindRsrc lists for `expr`, joined by ","; "INV_EXPR" or "NFOUND" on those statuses.
QString find(const char *expr)
{
    ViSession rm = 0;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS)
        return "no RM";
    ViFindList list = 0;
    ViUInt32 count = 99;
    char desc[VI_FIND_BUFLEN] = "untouched";
    const ViStatus st = viFindRsrc(rm, expr, &list, &count, desc);
    QStringList found;
    if (st == VI_SUCCESS) {
        found << desc;
        for (ViUInt32 i = 1; i < count; ++i) {
            if (viFindNext(list, desc) != VI_SUCCESS)
                return "viFindNext failed early";
            found << desc;
        }
        if (viFindNext(list, desc) != VI_ERROR_RSRC_NFOUND)
            return "viFindNext did not end";
    }
    viClose(list);
    viClose(rm);
    if (st == VI_ERROR_INV_EXPR)
        return "INV_EXPR";
    if (st == VI_ERROR_RSRC_NFOUND)
        return count == 0 ? "NFOUND" : "NFOUND with a count";
    return st == VI_SUCCESS ? found.join(',') : QString::number(st, 16);
}

template <class T>
T read(const void *base, std::size_t offset)
{
    T value;
    std::memcpy(&value, static_cast<const char *>(base) + offset, sizeof value);
    return value;
}

} // namespace

class TestKdsimVisa : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv("KDSIM_SYSTEM", "");
        kdsim::reset();
    }

    void findExpression_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every INSTR") << "?*INSTR"
                                     << "VXI0::8::INSTR,VXI0::12::INSTR,VXI1::0::INSTR,GPIB0::5::INSTR,"
                                        "GPIB-VXI0::3::INSTR,TCPIP0::192.168.2.100::INSTR,"
                                        "TCPIP0::192.168.2.100::inst0::INSTR,ASRL1::INSTR,"
                                        "USB0::0x1234::0x5678::SN1::INSTR,PXI3::2::INSTR,A*B::INSTR";
        QTest::newRow("whole string") << "VXI0::8" << "NFOUND";
        QTest::newRow("case") << "vxi0::8::instr" << "VXI0::8::INSTR";
        QTest::newRow("any one") << "VXI?::0::INSTR" << "VXI1::0::INSTR";
        QTest::newRow("star of class") << "VXI0::[0-9]*::INSTR" << "VXI0::8::INSTR,VXI0::12::INSTR";
        QTest::newRow("one class") << "VXI0::[0-9]::INSTR" << "VXI0::8::INSTR";
        QTest::newRow("plus") << "VXI0::[0-9]+::INSTR" << "VXI0::8::INSTR,VXI0::12::INSTR";
        QTest::newRow("negated") << "VXI[^0]::?*" << "VXI1::0::INSTR";
        QTest::newRow("list") << "GPIB[0-9]*::?*" << "GPIB0::5::INSTR";
        QTest::newRow("prefix") << "GPIB?*INSTR" << "GPIB0::5::INSTR,GPIB-VXI0::3::INSTR";
        QTest::newRow("group or") << "(GPIB|ASRL)[0-9]::?*" << "GPIB0::5::INSTR,ASRL1::INSTR";
        QTest::newRow("top-level or") << "ASRL1::INSTR|VXI0::8::INSTR" << "VXI0::8::INSTR,ASRL1::INSTR";
        QTest::newRow("group star") << "TCPIP0::192.168.2.100::(inst0::)*INSTR"
                                    << "TCPIP0::192.168.2.100::INSTR,TCPIP0::192.168.2.100::inst0::INSTR";
        QTest::newRow("not INSTR") << "?*[^R]" << "TCPIP0::10.0.0.1::5025::SOCKET,VXI0::MEMACC";
        QTest::newRow("escaped star") << "A\\*B::INSTR" << "A*B::INSTR";
        QTest::newRow("star repeats A") << "A*B::INSTR" << "NFOUND";
        QTest::newRow("escaped question") << "VXI0::8::INSTR\\?" << "NFOUND";
        QTest::newRow("class ranges") << "[s-u]?*" << "TCPIP0::192.168.2.100::INSTR,TCPIP0::192.168.2.100::inst0::INSTR,"
                                                      "TCPIP0::10.0.0.1::5025::SOCKET,USB0::0x1234::0x5678::SN1::INSTR";
        for (const char *bad : {"", "(VXI?*", "VXI?*)", "[0-9", "*INSTR", "+", "VXI|", "|VXI", "[]", "[9-0]", "abc\\",
                                "()", "(|)", "a**b|(+)"})
            QTest::newRow(qPrintable(QString("malformed '%1'").arg(bad))) << bad << "INV_EXPR";
    }
    void findExpression()
    {
        QFETCH(QString, expr);
        QFETCH(QString, expected);
        QVERIFY(kdsim::loadSystem(namesSystem));
        QCOMPARE(find(expr.toLatin1().constData()), expected);
        QCOMPARE(kdsim::openSessionCount(), 0);
    }

    // Expressions built to make a backtracking matcher take exponential time
    // or a recursive one overflow its stack: all answer at once, the too
    // deeply nested ones as invalid.
    void hostileExpressions_data()
    {
        QTest::addColumn<QByteArray>("expr");
        QTest::addColumn<QString>("expected");
        QTest::newRow("V and 20 '+'") << QByteArray("V") + QByteArray(20, '+') << "NFOUND";
        QTest::newRow("R and 20 '+'") << QByteArray("VXI0::8::INSTR") + QByteArray(20, '+') << "VXI0::8::INSTR";
        QTest::newRow("?* and 40 '+'") << QByteArray("?*") + QByteArray(40, '+') + "ASRL1::INSTR" << "ASRL1::INSTR";
        QTest::newRow("a and 200000 '*'") << QByteArray("A") + QByteArray(200000, '*') + "\\*B::INSTR"
                                           << "A*B::INSTR";
        QTest::newRow("64 nested") << QByteArray(64, '(') + "ASRL1::INSTR" + QByteArray(64, ')') << "ASRL1::INSTR";
        QTest::newRow("65 nested") << QByteArray(65, '(') + "ASRL1::INSTR" + QByteArray(65, ')') << "INV_EXPR";
        QTest::newRow("20000 nested") << QByteArray(20000, '(') + "a" + QByteArray(20000, ')') << "INV_EXPR";
    }
    void hostileExpressions()
    {
        QFETCH(QByteArray, expr);
        QVERIFY(kdsim::loadSystem(namesSystem));
        QTEST(find(expr.constData()), "expected");
    }

    // Texts count characters and reach the C interfaces in Latin-1, hexadecimal
    // texts may start with any number of zeros, and a system of 30000
    // resources loads at once (the check for twins is linear).
    void acceptedSystems()
    {
        QVERIFY(kdsim::loadSystem(R"({"resources": [{"descriptor": "VXI0::1::INSTR", "carrier": {"model": 1, )"
                                  R"("cards": [{"model": "0x00000000000000000000007240", "subtype": "ÄÄÄ"}]}}]})"));
        ViSession vi = 0;
        QCOMPARE(kd7240_init(const_cast<ViRsrc>("VXI0::1::INSTR"), 1, 1, 0, &vi), VI_SUCCESS);
        ViUInt32 serial = 0;
        char subtype[kd7240_SUBTYPE_LEN] = {};
        QCOMPARE(kd7240_readSerialNo(vi, &serial, subtype), VI_SUCCESS);
        QCOMPARE(QByteArray(subtype), QByteArray("\xC4\xC4\xC4"));
        kd7240_close(vi);

        std::string many = "{\"resources\": [";
        for (int i = 0; i < 30000; ++i)
            many += std::string(i ? "," : "") + "{\"descriptor\": \"TCPIP0::10.0." + std::to_string(i / 250) + "."
                + std::to_string(i % 250) + "::INSTR\"}";
        QVERIFY(kdsim::loadSystem(many + "]}"));
        QCOMPARE(find("TCPIP0::10.0.119.249::INSTR"), QStringLiteral("TCPIP0::10.0.119.249::INSTR"));
    }

    // Memory keeps the most recent calls only; the trace file gets them all.
    void boundedCallWindow()
    {
        QTemporaryDir dir;
        qputenv("KDSIM_TRACE", dir.filePath("trace.jsonl").toLocal8Bit());
        QVERIFY(kdsim::loadSystem(namesSystem));
        const std::uint64_t total = kdsim::keptCalls + 1000;
        char text[KD7010_STATUS_TEXT_LEN];
        for (std::uint64_t i = 0; i < total; ++i)
            getStatusText(VI_SUCCESS, text);
        const std::vector<kdsim::Call> kept = kdsim::calls();
        qputenv("KDSIM_TRACE", "");
        kdsim::reset();
        QCOMPARE(kept.size(), kdsim::keptCalls);
        QCOMPARE(kept.front().seq, total - kdsim::keptCalls + 1);
        QCOMPARE(kept.back().seq, total);
        QFile file(dir.filePath("trace.jsonl"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(std::uint64_t(file.readAll().count('\n')), total);
    }

    // "?*" against the longest descriptor a system may name.
    void longestDescriptor()
    {
        const std::string longest(65535, 'X');
        QVERIFY(kdsim::loadSystem(R"({ "resources": [ { "descriptor": ")" + longest + R"(" } ] })"));
        QCOMPARE(find("?*X+?*+"), QString::fromStdString(longest.substr(0, VI_FIND_BUFLEN - 1)));
    }

    void defaultSystemSearch()
    {
        QCOMPARE(find("?*INSTR").split(',').size(), 7);
        ViSession rm = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viFindRsrc(rm, nullptr, nullptr, nullptr, nullptr), VI_ERROR_INV_EXPR);
        QCOMPARE(viFindRsrc(rm + 1000, "?*", nullptr, nullptr, nullptr), VI_ERROR_INV_OBJECT);
        QCOMPARE(viFindNext(rm, nullptr), VI_ERROR_INV_OBJECT);
        viClose(rm);
    }

    // Descriptors as an operator types them name the system's resources.
    void openNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("resource"); // VI_ATTR_RSRC_NAME, empty: not found
        QTest::newRow("exact") << "TCPIP0::192.168.2.100::INSTR" << "TCPIP0::192.168.2.100::INSTR";
        QTest::newRow("no board") << "TCPIP::192.168.2.100::INSTR" << "TCPIP0::192.168.2.100::INSTR";
        QTest::newRow("lower case") << "tcpip0::192.168.2.100::instr" << "TCPIP0::192.168.2.100::INSTR";
        QTest::newRow("VXI no board") << "VXI::8::INSTR" << "VXI0::8::INSTR";
        QTest::newRow("GPIB no board") << "gpib::5::instr" << "GPIB0::5::INSTR";
        QTest::newRow("other board") << "TCPIP1::192.168.2.100::INSTR" << "";
        QTest::newRow("other address") << "VXI0::9::INSTR" << "";
        QTest::newRow("partial") << "VXI0::8" << "";
        QTest::newRow("empty") << "" << "";
    }
    void openNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, resource);
        ViSession rm = 0, vi = 12345;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        const ViStatus st = viOpen(rm, name.toLatin1().constData(), 0, 0, &vi);
        if (resource.isEmpty()) {
            QCOMPARE(st, VI_ERROR_RSRC_NFOUND);
            QCOMPARE(vi, ViSession(12345));
        } else {
            QCOMPARE(st, VI_SUCCESS);
            QVERIFY(vi != 0 && vi != rm);
            char text[VI_FIND_BUFLEN] = {};
            QCOMPARE(viGetAttribute(vi, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
            QCOMPARE(QString(text), resource);
        }
        viClose(rm);
        QCOMPARE(kdsim::openSessionCount(), 0);
    }

    void attributes_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<uint>("attribute");
        QTest::addColumn<int>("status");
        QTest::addColumn<QVariant>("value"); // int for 16-bit attributes, QString for texts
        const uint type = VI_ATTR_INTF_TYPE, num = VI_ATTR_INTF_NUM, slot = VI_ATTR_SLOT, addr = VI_ATTR_TCPIP_ADDR,
                   host = VI_ATTR_TCPIP_HOSTNAME, dev = VI_ATTR_TCPIP_DEVICE_NAME;
        const int ok = VI_SUCCESS, nsup = VI_ERROR_NSUP_ATTR;
        QTest::newRow("VXI type") << "VXI0::8::INSTR" << type << ok << QVariant(VI_INTF_VXI);
        QTest::newRow("VXI slot") << "VXI0::8::INSTR" << slot << ok << QVariant(3);
        QTest::newRow("VXI address") << "VXI0::8::INSTR" << addr << nsup << QVariant();
        QTest::newRow("VXI no slot") << "VXI0::MEMACC" << slot << nsup << QVariant();
        QTest::newRow("GPIB type") << "GPIB0::5::INSTR" << type << ok << QVariant(VI_INTF_GPIB);
        QTest::newRow("GPIB-VXI type") << "GPIB-VXI0::3::INSTR" << type << ok << QVariant(VI_INTF_GPIB_VXI);
        QTest::newRow("GPIB-VXI slot") << "GPIB-VXI0::3::INSTR" << slot << ok << QVariant(2);
        QTest::newRow("ASRL type") << "ASRL1::INSTR" << type << ok << QVariant(VI_INTF_ASRL);
        QTest::newRow("ASRL board") << "ASRL1::INSTR" << num << ok << QVariant(1);
        QTest::newRow("PXI type") << "PXI3::2::INSTR" << type << ok << QVariant(VI_INTF_PXI);
        QTest::newRow("USB type") << "USB0::0x1234::0x5678::SN1::INSTR" << type << ok << QVariant(VI_INTF_USB);
        QTest::newRow("unknown type") << "A*B::INSTR" << type << nsup << QVariant();
        QTest::newRow("TCPIP type") << "TCPIP::192.168.2.100::INSTR" << type << ok << QVariant(VI_INTF_TCPIP);
        QTest::newRow("TCPIP address") << "TCPIP::192.168.2.100::INSTR" << addr << ok << QVariant("192.168.2.100");
        QTest::newRow("TCPIP host") << "TCPIP::192.168.2.100::INSTR" << host << ok << QVariant("lxi-a");
        QTest::newRow("TCPIP device") << "TCPIP::192.168.2.100::INSTR" << dev << ok << QVariant("inst0");
        QTest::newRow("TCPIP no host") << "TCPIP0::192.168.2.100::inst0::INSTR" << host << nsup << QVariant();
        QTest::newRow("name") << "vxi::12::instr" << uint(VI_ATTR_RSRC_NAME) << ok << QVariant("VXI0::12::INSTR");
        QTest::newRow("unsupported") << "VXI0::8::INSTR" << 0x3FFF0001u << nsup << QVariant();
    }
    void attributes()
    {
        QFETCH(QString, descriptor);
        QFETCH(uint, attribute);
        QFETCH(int, status);
        QFETCH(QVariant, value);
        QVERIFY(kdsim::loadSystem(namesSystem));
        ViSession rm = 0, vi = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viOpen(rm, descriptor.toLatin1().constData(), 0, 0, &vi), VI_SUCCESS);
        char buffer[VI_FIND_BUFLEN + 8];
        std::memset(buffer, 0x5A, sizeof buffer);
        QCOMPARE(viGetAttribute(vi, attribute, buffer), status);
        if (value.typeId() == QMetaType::Int) {
            QCOMPARE(int(attribute == VI_ATTR_SLOT ? read<ViInt16>(buffer, 0) : read<ViUInt16>(buffer, 0)),
                     value.toInt());
            QCOMPARE(buffer[2], char(0x5A)); // exactly 16 bits written
        } else if (value.isValid()) {
            QCOMPARE(QString::fromLatin1(buffer), value.toString());
        } else {
            QCOMPARE(buffer[0], char(0x5A));
        }
        viClose(rm);
    }

    void sessions()
    {
        ViSession rm = 0, rm2 = 0, a = 0, b = 0;
        ViFindList list = 0;
        ViUInt32 count = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viOpenDefaultRM(&rm2), VI_SUCCESS);
        QCOMPARE(viOpen(rm, "VXI0::8::INSTR", 0, 0, &a), VI_SUCCESS);
        QCOMPARE(viOpen(rm2, "ASRL1::INSTR", 0, 0, &b), VI_SUCCESS);
        QCOMPARE(viFindRsrc(rm, "?*", &list, &count, nullptr), VI_SUCCESS);
        QCOMPARE(QSet<ViSession>({rm, rm2, a, b, list, 0}).size(), 6);
        QCOMPARE(viOpen(a, "ASRL1::INSTR", 0, 0, &b), VI_ERROR_INV_OBJECT); // not a resource manager
        QCOMPARE(viOpen(rm, "ASRL1::INSTR", 0, 0, nullptr), kdsim::status::userBuffer);
        QCOMPARE(viGetAttribute(0, VI_ATTR_INTF_TYPE, &count), VI_ERROR_INV_OBJECT);
        QCOMPARE(viGetAttribute(rm, VI_ATTR_INTF_TYPE, &count), VI_ERROR_NSUP_ATTR);
        // Closing a resource manager closes what was opened through it, and nothing else.
        QCOMPARE(kdsim::openSessionCount(), 5);
        QCOMPARE(viClose(rm), VI_SUCCESS);
        QCOMPARE(kdsim::openSessionCount(), 2);
        QCOMPARE(viClose(a), VI_ERROR_INV_OBJECT);
        QCOMPARE(viFindNext(list, nullptr), VI_ERROR_INV_OBJECT);
        ViUInt16 type = 0;
        QCOMPARE(viGetAttribute(b, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
        QCOMPARE(type, ViUInt16(VI_INTF_ASRL));
        QCOMPARE(viClose(0), VI_ERROR_INV_OBJECT);
        QCOMPARE(viClose(rm2), VI_SUCCESS);
        QCOMPARE(kdsim::openSessionCount(), 0);
    }

    // The carrier object read exactly as the panel reads vendor memory: raw offsets, no structs.
    void carrierObject()
    {
        ViSession rm = 0, vi = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viOpen(rm, "VXI0::8::INSTR", 0, 0, &vi), VI_SUCCESS);
        unsigned char handle[24] = {};
        std::memcpy(handle + 12, &rm, 4);
        QCOMPARE(openCarrier(vi, reinterpret_cast<carrierHandle_t *>(handle)), VI_SUCCESS);
        void *object = read<void *>(handle, 0);
        QVERIFY(object);
        const void *identity = read<void *>(object, 0);
        QCOMPARE(read<ViInt32>(identity, 256), 4);
        const ViUInt16 expected[] = {12345, 0x7240, 0, 0x6216, 0x7240};
        for (int i = 0; i <= 4; ++i)
            QCOMPARE(read<ViUInt16>(identity, 260 + 2 * i), expected[i]);

        using GetAccess = void *(*)(void *, ViInt32, ViInt32);
        using ReadSlotWord = ViStatus (*)(void *, ViUInt16, ViUInt32, ViUInt16 *);
        auto getAccess = read<GetAccess>(object, 64);
        QVERIFY(!getAccess(object, 2, 1));
        QVERIFY(!getAccess(object, 1, 2));
        void *access = getAccess(object, 1, 1);
        QVERIFY(access);
        auto readSlotWord = read<ReadSlotWord>(access, 32);
        ViUInt16 word = 0;
        QCOMPARE(readSlotWord(object, 3, 252, &word), VI_SUCCESS);
        QCOMPARE(word, ViUInt16('1' << 8 | '6'));
        QCOMPARE(readSlotWord(object, 1, 0, &word), VI_SUCCESS);
        QCOMPARE(word, ViUInt16(0x7240));
        word = 77;
        QCOMPARE(readSlotWord(object, 2, 252, &word), kdsim::status::carrierEmptySlot);
        QCOMPARE(readSlotWord(object, 5, 252, &word), kdsim::status::carrierBadSlot);
        QCOMPARE(readSlotWord(object, 1, 251, &word), kdsim::status::carrierBadRegister);
        QCOMPARE(word, ViUInt16(77));

        QCOMPARE(closeCarrier(reinterpret_cast<carrierHandle_t *>(handle)), VI_SUCCESS);
        QCOMPARE(read<void *>(handle, 0), nullptr);
        QCOMPARE(closeCarrier(reinterpret_cast<carrierHandle_t *>(handle)), VI_SUCCESS); // zeroed handle
        QCOMPARE(read<ViUInt32>(handle, 12), rm); // the caller's fields stay
        viClose(rm);
    }

    void carrierVariantsAndFailures()
    {
        ViSession rm = 0, lxi = 0, serial = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viOpen(rm, "TCPIP0::192.168.2.101::INSTR", 0, 0, &lxi), VI_SUCCESS);
        QCOMPARE(viOpen(rm, "ASRL1::INSTR", 0, 0, &serial), VI_SUCCESS);
        carrierHandle_t handle = {};
        QVERIFY(openCarrier(serial, &handle) < 0);
        QCOMPARE(handle.object, nullptr);
        QCOMPARE(openCarrier(rm, &handle), VI_ERROR_INV_OBJECT);
        QVERIFY(openCarrier(lxi, nullptr) < 0);
        QCOMPARE(openCarrier(lxi, &handle), VI_SUCCESS);
        QCOMPARE(handle.object->identity->identities[1], ViUInt16(0x6208));
        ViUInt16 word = 0;
        kd7010_accessTable_t *access = handle.object->getAccess(handle.object, 1, 1);
        QCOMPARE(access->readSlotWord(handle.object, 1, KD7010_VARIANT_REGISTER, &word), VI_SUCCESS);
        QCOMPARE(word, ViUInt16('0' << 8 | '8'));
        // The object stays readable after its session closed, until closeCarrier.
        viClose(rm);
        QCOMPARE(access->readSlotWord(handle.object, 2, KD7010_VARIANT_REGISTER, &word), VI_SUCCESS);
        QCOMPARE(word, ViUInt16('1' << 8 | '6'));
        QCOMPARE(closeCarrier(&handle), VI_SUCCESS);
        QVERIFY(closeCarrier(nullptr) < 0);

        char revision[KD7010_REVISION_LEN];
        std::memset(revision, 0x5A, sizeof revision);
        getCommonRevision(revision);
        QVERIFY(std::memchr(revision, 0, sizeof revision));
        QVERIFY(std::strlen(revision) > 0);
    }

    // Every broken file prints one line naming the file and the place, and the RM then fails.
    void brokenFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("syntax") << "sim_broken_syntax.json" << ": line 3, column 35: syntax error";
        QTest::newRow("empty") << "sim_broken_empty.json" << ": line 1, column 1: syntax error";
        QTest::newRow("model") << "sim_broken_model.json"
                               << ": resources[2].carrier.cards[0].model: \"0x72g0\" is not a number";
        QTest::newRow("type") << "sim_broken_types.json"
                              << ": resources[0].openLatencyMs: expected a number, found a text";
        QTest::newRow("range") << "sim_broken_range.json" << ": resources[0].carrier.model: 70000 is out of range";
        QTest::newRow("duplicate") << "sim_broken_duplicate.json"
                                   << ": resources[2].descriptor: \"tcpip::192.168.2.100::instr\" names the same "
                                      "resource as resources[0]";
        QTest::newRow("fault") << "sim_broken_fault.json" << ": faults[0].call: \"kd7240_explode\" is not a call";
        QTest::newRow("top level") << "sim_broken_toplevel.json" << ": top level: expected an object, found an array";
        QTest::newRow("missing") << "sim_no_such_file.json" << ": cannot read the system file";
        // Written out by the test: what a fuzzer found.
        QTest::newRow("huge number") << R"({"comment": 1e400})" << ": line 1, column 18: number overflow parsing '1e400'";
        QTest::newRow("huge latency") << R"({"resources": [{"descriptor": "VXI0::1::INSTR", "openLatencyMs": 1e400}]})"
                                      << ": number overflow parsing '1e400'";
        QTest::newRow("NUL") << R"({"resources": [{"descriptor": "VXI0::1::INSTR\u0000x"}]})"
                             << ": resources[0].descriptor: \"VXI0::1::INSTR\\u0000x\" contains a NUL character";
        QTest::newRow("twice") << R"({"resources": [], "resources": []})" << ": resources: key given twice";
        QTest::newRow("twice inside") << R"({"resources": [{"descriptor": "A", "descriptor": "B"}]})"
                                      << ": resources[0].descriptor: key given twice";
        QTest::newRow("control in key") << "{\"a\\nb\": 1}" << ": a\\u000ab: unknown key";
        QTest::newRow("deep") << R"({"comment": )" + QString(40, '[') + QString(40, ']') + "}"
                              << "[0][0]: nested deeper than 32 levels";
        QTest::newRow("beyond Latin-1") << R"({"resources": [{"descriptor": "VXI0::1::INSTR\u20ac"}]})"
                                        << "has a character beyond Latin-1";
    }
    void brokenFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, fragment);
        QString path = QString(SFP_TEST_SYSTEMS) + "/" + file;
        QTemporaryFile written;
        if (file.startsWith('{')) {
            QVERIFY(written.open());
            written.write(file.toUtf8());
            written.close();
            path = written.fileName();
        }
        QTemporaryFile err;
        QVERIFY(err.open());
        // Capture standard error while the system loads.
        std::fflush(stderr);
        const int saved = dup(2);
        dup2(err.handle(), 2);
        qputenv("KDSIM_SYSTEM", path.toLocal8Bit());
        kdsim::reset();
        ViSession rm = 0;
        const ViStatus st = viOpenDefaultRM(&rm);
        ViSession card = 0;
        const ViStatus init = kd7240_init(const_cast<ViRsrc>("VXI0::8::INSTR"), 1, 1, 1, &card);
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        QCOMPARE(st, VI_ERROR_SYSTEM_ERROR);
        QCOMPARE(init, VI_ERROR_SYSTEM_ERROR);
        err.seek(0);
        const QString text = QString::fromLocal8Bit(err.readAll());
        QCOMPARE(text.count('\n'), 1);
        QVERIFY2(text.startsWith("kdsim: " + path + ": "), qPrintable(text));
        QVERIFY2(text.contains(fragment), qPrintable(text));
        // A valid system brings the resource manager back.
        qputenv("KDSIM_SYSTEM", QByteArray(SFP_TEST_SYSTEMS) + "/panel_vxi.json");
        kdsim::reset();
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    }
};

QTEST_GUILESS_MAIN(TestKdsimVisa)
#include "tst_kdsim_visa.moc"
