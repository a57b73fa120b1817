// The resource query from many threads at once, on plain threads so that
// ThreadSanitizer sees every hand-off (Qt's own thread pool synchronises with
// locks that an uninstrumented Qt hides from it).
#include <QtTest>
#include <atomic>
#include <thread>
#include <vector>

#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "kdsim.h"

class TestSearchThreads : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { kdsim::reset(); }
    void queriesFromManyThreads();
};

void TestSearchThreads::queriesFromManyThreads()
{
    constexpr int resources = 300;
    QStringList list;
    for (int i = 0; i < resources; ++i) {
        const QString address = QStringLiteral("10.2.%1.%2").arg(i / 100).arg(i % 100);
        list << QStringLiteral(R"({ "descriptor": "TCPIP0::%1::INSTR", "address": "%1", "openLatencyMs": 1,
            "carrier": { "model": 3150, "cards": [ { "model": "%2" }, null, { "model": "0x6216", "variant": "16" } ] } })")
                    .arg(address, i % 2 ? QStringLiteral("0x7240") : QStringLiteral("0x6208"));
    }
    std::string error;
    QVERIFY2(kdsim::loadSystem(QStringLiteral(R"({ "resources": [ %1 ] })").arg(list.join(',')).toStdString(), &error),
             error.c_str());

    ViSession rm = 0;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    kd7240_fc card;
    std::vector<getResourceInfo_params_t> records(resources);
    for (int i = 0; i < resources; ++i) {
        records[i].card = &card;
        records[i].defaultRM = rm;
        records[i].entry.descriptor = QStringLiteral("TCPIP0::10.2.%1.%2::INSTR").arg(i / 100).arg(i % 100);
    }
    // A record already filled in the GUI thread must stay as it is.
    records[7].queried = true;

    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kd7010fp_fcSelect::maxSearchThreads; ++t)
        threads.emplace_back([&] {
            for (int i = next++; i < resources; i = next++)
                kd7010fp_fcSelect::getResourceInfo(&records[i]);
        });
    for (auto &t : threads)
        t.join();

    for (int i = 0; i < resources; ++i) {
        const resourceEntry_t &e = records[i].entry;
        if (i == 7) {
            QVERIFY(e.carrierTexts.isEmpty());
            continue;
        }
        const QString address = QStringLiteral("10.2.%1.%2").arg(i / 100).arg(i % 100);
        QCOMPARE(e.networkAddress, address);
        QCOMPARE(e.carrierTexts, QStringList{address + QStringLiteral(" - 3150 LXI")});
        QCOMPARE(e.fcTexts.size(), 2); // the empty slot adds nothing
        QCOMPARE(e.fcTexts[0].value(0), QStringLiteral("FC 1"));
        QCOMPARE(e.fcTexts[1], (QStringList{QStringLiteral("FC 3"), QStringLiteral("6216-16")}));
        QCOMPARE(e.slotNumbers, (QList<int>{i % 2 ? 1 : 0, 0}));
    }
    viClose(rm);
    QCOMPARE(kdsim::openSessionCount(), 0);
}

QTEST_APPLESS_MAIN(TestSearchThreads)
#include "tst_search_threads.moc"
