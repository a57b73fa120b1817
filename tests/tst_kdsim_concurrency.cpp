// kdsim from many plain threads at once, as the resource search uses it: 128
// resources queried concurrently, and the trace staying one whole record per
// line. Run under ThreadSanitizer too.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <thread>
#include <vector>

#include "kd7010.h"
#include "kd7240.h"
#include "kdsim.h"
#include "visa.h"

namespace {

const int resourceCount = 128;

std::string address(int i)
{
    return "10.1." + std::to_string(i / 100) + "." + std::to_string(i % 100);
}

// 128 LXI carriers, each with a 7240 and a 6216 whose variant encodes the resource number.
std::string bigSystem()
{
    std::string json = "{\"resources\": [";
    for (int i = 0; i < resourceCount; ++i) {
        char variant[3];
        std::snprintf(variant, sizeof variant, "%02d", i % 100);
        json += std::string(i ? "," : "") + "{\"descriptor\": \"TCPIP0::" + address(i) + "::INSTR\", \"address\": \""
            + address(i) + "\", \"openLatencyMs\": 30, \"carrier\": {\"model\": "
            + std::to_string(1000 + i) + ", \"cards\": [{\"model\": \"0x7240\", \"serial\": " + std::to_string(i)
            + "}, null, {\"model\": \"0x6216\", \"variant\": \"" + variant + "\"}]}}";
    }
    return json + "]}";
}

// What one worker of the resource search does; returns an empty text when all was as expected.
std::string queryResource(ViSession rm, int i)
{
    const std::string descriptor = "tcpip::" + address(i) + "::instr";
    ViSession vi = 0;
    if (viOpen(rm, descriptor.c_str(), 0, 0, &vi) != VI_SUCCESS)
        return "viOpen failed";
    std::string failure;
    carrierHandle_t handle = {};
    handle.defaultRM = rm;
    ViUInt16 type = 0;
    char addr[VI_FIND_BUFLEN] = {};
    viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type);
    viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, addr);
    if (type != VI_INTF_TCPIP || addr != address(i))
        failure = "attributes";
    else if (openCarrier(vi, &handle) != VI_SUCCESS)
        failure = "openCarrier";
    else {
        const kd7010_identityTable_t *id = handle.object->identity;
        kd7010_accessTable_t *access = handle.object->getAccess(handle.object, 1, 1);
        ViUInt16 word = 0;
        if (id->slotCount != 3 || id->identities[0] != 1000 + i || id->identities[1] != 0x7240 || !access)
            failure = "identity table";
        else if (access->readSlotWord(handle.object, 3, KD7010_VARIANT_REGISTER, &word) != VI_SUCCESS
                 || word != ('0' + (i % 100) / 10) * 256 + '0' + i % 10)
            failure = "slot word";
        closeCarrier(&handle);
    }
    viClose(vi);
    return failure;
}

} // namespace

class TestKdsimConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv("KDSIM_SYSTEM", "");
        qputenv("KDSIM_TRACE", "");
        kdsim::reset();
    }

    void concurrentQueries()
    {
        QVERIFY(kdsim::loadSystem(bigSystem()));
        ViSession rm = 0;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        std::vector<std::string> failures(resourceCount);
        std::vector<std::thread> threads;
        for (int i = 0; i < resourceCount; ++i)
            threads.emplace_back([&, i] { failures[i] = queryResource(rm, i); });
        for (auto &t : threads)
            t.join();
        for (int i = 0; i < resourceCount; ++i)
            QVERIFY2(failures[i].empty(), qPrintable(QString("resource %1: %2").arg(i).arg(failures[i].c_str())));
        QCOMPARE(kdsim::openSessionCount(), 1);
        QCOMPARE(kdsim::calls("openCarrier").size(), std::size_t(resourceCount));
        viClose(rm);
    }

    // Concurrent calls never interleave inside a trace line, and every call gets its own seq.
    void concurrentTrace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("trace.jsonl");
        qputenv("KDSIM_TRACE", path.toLocal8Bit());
        kdsim::reset();
        const int n = 64, perThread = 50;
        std::vector<std::thread> threads;
        for (int i = 0; i < n; ++i)
            threads.emplace_back([] {
                char text[1024];
                for (int k = 0; k < perThread; ++k)
                    getStatusText(VI_ERROR_RSRC_NFOUND, text);
            });
        for (auto &t : threads)
            t.join();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        QCOMPARE(lines.size(), n * perThread);
        QSet<int> seqs;
        for (const QByteArray &line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            QCOMPARE(o.value("call").toString(), "getStatusText");
            seqs.insert(o.value("seq").toInt());
        }
        QCOMPARE(seqs.size(), n * perThread);
        qputenv("KDSIM_TRACE", "");
        kdsim::reset();
    }
};

QTEST_GUILESS_MAIN(TestKdsimConcurrency)
#include "tst_kdsim_concurrency.moc"
