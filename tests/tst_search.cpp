// Auto Find against simulated systems: what the select tree shows, which
// cards can be chosen, and what the search leaves in the dialog's members.

#include <QProgressDialog>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <string>

#include "kd7010.h"
#include "kd7010fp_fcselect.h"
#include "kd7240_fc.h"
#include "kdsim.h"
#include "modalscript.h"

namespace {

// One line per tree item: indentation by depth, the column texts, the flags
// (e enabled, s selectable, x expanded) and, for card rows, the two values
// under Qt::StatusTipRole (#number @descriptor).
void dumpItem(const QTreeWidgetItem *item, int depth, QStringList &lines)
{
    QString line = QString(depth * 2, QLatin1Char(' ')) + item->text(0);
    if (!item->text(1).isEmpty())
        line += QStringLiteral(" | ") + item->text(1);
    QString flags;
    if (item->flags() & Qt::ItemIsEnabled)
        flags += QLatin1Char('e');
    if (item->flags() & Qt::ItemIsSelectable)
        flags += QLatin1Char('s');
    if (item->isExpanded())
        flags += QLatin1Char('x');
    line += QStringLiteral(" {%1}").arg(flags);
    if (item->data(0, Qt::StatusTipRole).isValid())
        line += QStringLiteral(" #%1 @%2")
                    .arg(item->data(0, Qt::StatusTipRole).toInt())
                    .arg(item->data(1, Qt::StatusTipRole).toString());
    lines << line;
    for (int i = 0; i < item->childCount(); ++i)
        dumpItem(item->child(i), depth + 1, lines);
}

QStringList dump(const QTreeWidget *tree)
{
    QStringList lines;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        dumpItem(tree->topLevelItem(i), 0, lines);
    return lines;
}

QString fixture(const char *name) { return QStringLiteral(SFP_TEST_SYSTEMS "/") + QLatin1String(name); }

// `count` VXI carriers, each holding `cards` (a JSON array text).
std::string vxiSystem(int count, const QString &cards, const QString &extra = QString())
{
    QStringList resources;
    for (int i = 1; i <= count; ++i)
        resources << QStringLiteral(R"({ "descriptor": "VXI0::%1::INSTR", "slot": %2,
            "carrier": { "model": 12345, "cards": %3 } })")
                         .arg(i)
                         .arg(i % 13)
                         .arg(cards);
    if (!extra.isEmpty())
        resources << extra;
    return QStringLiteral(R"({ "resources": [ %1 ] })").arg(resources.join(QStringLiteral(",\n"))).toStdString();
}

QString sevenTwoForties(int n)
{
    QStringList cards;
    for (int i = 0; i < n; ++i)
        cards << QStringLiteral(R"({ "model": "0x7240" })");
    return QStringLiteral("[%1]").arg(cards.join(QLatin1Char(',')));
}

const QString limitText
    = QStringLiteral("Found more Function Cards than supported by this SoftFrontPanel. Only first 256 are available.\n"
                     "Please contact Keldor's support if you need support for more cards.");

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void fixtures_data();
    void fixtures();
    void defaultSystem();
    void nothingToList_data();
    void nothingToList();
    void carrierThatCannotBeOpened();
    void exactly256Cards();
    void limitAt257Cards();
    void manyNetworkResources();
    void guiStaysLiveDuringNetworkSearch();

private:
    kd7240_fc card;
};

void tst_Search::cleanup() { kdsim::reset(); }

// clang-format off
void tst_Search::fixtures_data()
{
    QTest::addColumn<QString>("system");
    QTest::addColumn<int>("found");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("descriptor"); // the members after the search
    QTest::addColumn<int>("fcNumber");

    QTest::newRow("one card, only non-network resources")
        << fixture("search_one.json") << 1
        << QStringList({
               "ASRL1 {ex}",
               "VXI0 {ex}",
               "  Slot 2 - 12345 MB {ex}",
               "    FC 3 | 7240 {es} #3 @VXI0::4::INSTR",
           })
        << "VXI0::4::INSTR" << 3;

    // The members name the last card in tree order, not the last one found.
    QTest::newRow("two cards, remapped carrier")
        << fixture("search_two.json") << 2
        << QStringList({
               "TCPIP0 {ex}",
               "  10.0.0.5 - 3150 LXI {ex}",
               "    FC 1 | 7240 {es} #1 @TCPIP0::10.0.0.5::INSTR",
               "VXI0 {ex}",
               "  Slot 5 - 12345 MB {ex}",
               "    FC 1 | 6216-16 {} #0 @VXI0::8::INSTR",
               "    FC 2 | 7240 {es} #2 @VXI0::8::INSTR",
           })
        << "VXI0::8::INSTR" << 2;

    // The module reached twice keeps the descriptor found first.
    QTest::newRow("duplicate LXI addresses")
        << fixture("search_duplicates.json") << 2
        << QStringList({
               "TCPIP0 {ex}",
               "  10.0.0.10 - 3150 LXI {ex}",
               "    FC 1 | 7240 {es} #1 @TCPIP0::10.0.0.10::INSTR",
               "TCPIP1 {ex}",
               "  10.0.0.9 - 3150 LXI {ex}",
               "    FC 1 | 7240 {es} #1 @TCPIP1::10.0.0.9::INSTR",
           })
        << "TCPIP1::10.0.0.9::INSTR" << 1;

    QTest::newRow("only other models, carrier without cards")
        << fixture("search_othermodels.json") << 0
        << QStringList({
               "VXI0 {ex}",
               "  Slot 1 - 12345 MB {e}",
               "    FC 1 | 6216-AB {} #0 @VXI0::1::INSTR",
               "    FC 2 | 6208-08 {} #0 @VXI0::1::INSTR",
               "    FC 3 | 7030 {} #0 @VXI0::1::INSTR",
               "    FC 4 | 6208-08 {} #0 @VXI0::1::INSTR",
               "  Slot 2 - 12345 MB {e}",
           })
        << QString() << 0;

    QTest::newRow("empty slot keeps slot numbers")
        << fixture("search_emptyslot.json") << 2
        << QStringList({
               "VXI0 {ex}",
               "  Slot 4 - 12345 MB {ex}",
               "    FC 1 | 7240 {es} #1 @VXI0::3::INSTR",
               "    FC 3 | 7240 {es} #3 @VXI0::3::INSTR",
           })
        << "VXI0::3::INSTR" << 3;

    // VISA's unknown slot (-1) is shown as read; an unreadable slot as "?".
    QTest::newRow("unknown and unreadable slot")
        << fixture("search_slots.json") << 2
        << QStringList({
               "GPIB0 {ex}",
               "  Slot ? - 12345 MB {ex}",
               "    FC 1 | 7240 {es} #1 @GPIB0::7::INSTR",
               "VXI0 {ex}",
               "  Slot -1 - 12345 MB {ex}",
               "    FC 1 | 7240 {es} #1 @VXI0::6::INSTR",
           })
        << "VXI0::6::INSTR" << 1;

    // Equal prefixes that sorting does not bring together get a system row each.
    QTest::newRow("no colon, equal prefixes apart")
        << fixture("search_layout.json") << 3
        << QStringList({
               "LOOPBACKINSTR {ex}",
               "VXI0 {ex}",
               "  Slot 1 - 12345 MB {ex}",
               "    FC 1 | 7240 {es} #1 @VXI0::1::INSTR",
               "vxi0 {ex}",
               "  Slot 2 - 12345 MB {ex}",
               "    FC 1 | 7240 {es} #1 @vxi0::2::INSTR",
               "VXI0 {ex}",
               "  Slot 3 - 12345 MB {ex}",
               "    FC 1 | 7240 {es} #1 @VXI0::3::INSTR",
           })
        << "VXI0::3::INSTR" << 1;
}
// clang-format on

void tst_Search::fixtures()
{
    QFETCH(QString, system);
    QFETCH(int, found);
    QFETCH(QStringList, tree);
    QFETCH(QString, descriptor);
    QFETCH(int, fcNumber);

    std::string error;
    QVERIFY2(kdsim::loadSystemFile(system.toStdString(), &error), error.c_str());
    kd7010fp_fcSelect dialog(&card, 0);
    dialog.fcCount = 5; // left alone by the search
    QCOMPARE(dialog.searchResources(), found);
    QCOMPARE(dump(dialog.fcTree), tree);
    QCOMPARE(dialog.resourceDescriptor, descriptor);
    QCOMPARE(int(dialog.fcNumbers[0]), fcNumber);
    QCOMPARE(dialog.fcCount, 5);
    QCOMPARE(dialog.demoMode, 0);
    QCOMPARE(dialog.session, ViSession(0));
    QCOMPARE(kdsim::openSessionCount(), 0);

    // A second search starts from an empty tree.
    QCOMPARE(dialog.searchResources(), found);
    QCOMPARE(dump(dialog.fcTree), tree);
}

// clang-format off
void tst_Search::defaultSystem()
{
    kd7010fp_fcSelect dialog(&card, 0);
    QCOMPARE(dialog.searchResources(), 3);
    QCOMPARE(dump(dialog.fcTree), QStringList({
                                      "ASRL1 {ex}",
                                      "GPIB0 {ex}",
                                      "TCPIP0 {ex}",
                                      "  192.168.2.100 - 3150 LXI {ex}",
                                      "    FC 1 | 7240 {es} #1 @TCPIP0::192.168.2.100::INSTR",
                                      "  192.168.2.101 - 3150 LXI {e}",
                                      "    FC 1 | 6208-08 {} #0 @TCPIP0::192.168.2.101::INSTR",
                                      "    FC 2 | 6216-16 {} #0 @TCPIP0::192.168.2.101::INSTR",
                                      "VXI0 {ex}",
                                      "  Slot 3 - 12345 MB {ex}",
                                      "    FC 1 | 7240 {es} #1 @VXI0::8::INSTR",
                                      "    FC 3 | 6216-16 {} #0 @VXI0::8::INSTR",
                                      "    FC 4 | 7240 {es} #4 @VXI0::8::INSTR",
                                  }));
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("VXI0::8::INSTR"));
    QCOMPARE(int(dialog.fcNumbers[0]), 4);
}
// clang-format on

void tst_Search::nothingToList_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("broken system: no resource manager") << "{ \"resources\": 7 }";
    QTest::newRow("no resources") << "{ \"resources\": [] }";
    QTest::newRow("only resources without carrier") << "{ \"resources\": [ { \"descriptor\": \"GPIB0::1::INSTR\" } ] }";
}

void tst_Search::nothingToList()
{
    QFETCH(QString, json);
    kdsim::loadSystem(json.toStdString());
    kd7010fp_fcSelect dialog(&card, 0);
    dialog.resourceDescriptor = QStringLiteral("untouched");
    QCOMPARE(dialog.searchResources(), 0);
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("untouched"));
    QVERIFY(dump(dialog.fcTree).size() <= 1);
    QCOMPARE(kdsim::openSessionCount(), 0);
}

void tst_Search::carrierThatCannotBeOpened()
{
    QVERIFY(kdsim::loadSystemFile(fixture("search_two.json").toStdString()));
    // The first carrier asked is the VXI one: non-network resources go first.
    kdsim::addFault("openCarrier", VI_ERROR_RSRC_NFOUND, 1);
    kd7010fp_fcSelect dialog(&card, 0);
    QCOMPARE(dialog.searchResources(), 1);
    QCOMPARE(dump(dialog.fcTree),
        QStringList({
            "TCPIP0 {ex}",
            "  10.0.0.5 - 3150 LXI {ex}",
            "    FC 1 | 7240 {es} #1 @TCPIP0::10.0.0.5::INSTR",
            "VXI0 {ex}",
        }));
    QCOMPARE(kdsim::openSessionCount(), 0);
}

void tst_Search::exactly256Cards()
{
    QVERIFY(kdsim::loadSystem(vxiSystem(32, sevenTwoForties(8))));
    kd7010fp_fcSelect dialog(&card, 0);
    ModalScript script;
    script.answer("Continue");
    QCOMPARE(dialog.searchResources(), 256);
    QCOMPARE(script.pending(), 1); // no limit box
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("VXI0::32::INSTR"));
    QCOMPARE(int(dialog.fcNumbers[0]), 8);
}

void tst_Search::limitAt257Cards()
{
    // 32 full carriers, then one holding another model, a 257th and a 258th card.
    const QString extra = QStringLiteral(R"({ "descriptor": "VXI0::33::INSTR", "slot": 7,
        "carrier": { "model": 12345, "cards": [ { "model": "0x6216" }, { "model": "0x7240" },
                                                { "model": "0x7240" } ] } },
        { "descriptor": "VXI0::34::INSTR", "slot": 8,
          "carrier": { "model": 12345, "cards": [ { "model": "0x7240" } ] } })");
    QVERIFY(kdsim::loadSystem(vxiSystem(32, sevenTwoForties(8), extra)));
    kd7010fp_fcSelect dialog(&card, 0);
    ModalScript script;
    script.answer("Continue");
    QCOMPARE(dialog.searchResources(), 256);
    QVERIFY(script.failure.isEmpty());
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen.first().title, QStringLiteral("Vantix 7240 SFP: Select Function Card"));
    QCOMPARE(script.seen.first().text, limitText);
    QCOMPARE(script.seen.first().buttons, QStringList("Continue"));

    const QStringList lines = dump(dialog.fcTree);
    QCOMPARE(lines.last(), QStringLiteral("    FC 1 | 6216-16 {} #0 @VXI0::33::INSTR"));
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("  Slot 7 - 12345 MB {ex}"));
    QCOMPARE(lines.filter(QStringLiteral("{es}")).size(), 256);
    QCOMPARE(dialog.resourceDescriptor, QStringLiteral("VXI0::32::INSTR"));
    QCOMPARE(kdsim::openSessionCount(), 0);
}

// Enough network resources to fill the thread pool twice over; the same test
// runs under ThreadSanitizer.
void tst_Search::manyNetworkResources()
{
    QStringList resources;
    for (int i = 0; i < 300; ++i) {
        const QString address = QStringLiteral("10.1.%1.%2").arg(i / 100).arg(i % 100);
        resources << QStringLiteral(R"({ "descriptor": "TCPIP0::%1::INSTR", "address": "%1", "openLatencyMs": 2,
            "carrier": { "model": 3150, "cards": [ { "model": "%2" } ] } })")
                         .arg(address, i % 3 == 0 ? QStringLiteral("0x7240") : QStringLiteral("0x6216"));
    }
    resources << QStringLiteral(R"({ "descriptor": "VXI0::8::INSTR", "slot": 3,
        "carrier": { "model": 12345, "cards": [ { "model": "0x7240" } ] } })");
    QVERIFY(kdsim::loadSystem(QStringLiteral(R"({ "resources": [ %1 ] })").arg(resources.join(",")).toStdString()));

    kd7010fp_fcSelect dialog(&card, 0);
    QCOMPARE(dialog.searchResources(), 101);
    QCOMPARE(dialog.fcTree->topLevelItemCount(), 2);
    QTreeWidgetItem *network = dialog.fcTree->topLevelItem(0);
    QCOMPARE(network->text(0), QStringLiteral("TCPIP0"));
    QCOMPARE(network->childCount(), 300);
    // Numerically sorted addresses, each carrier with its own card.
    QCOMPARE(network->child(0)->text(0), QStringLiteral("10.1.0.0 - 3150 LXI"));
    QCOMPARE(network->child(1)->text(0), QStringLiteral("10.1.0.1 - 3150 LXI"));
    QCOMPARE(network->child(10)->text(0), QStringLiteral("10.1.0.10 - 3150 LXI"));
    QCOMPARE(network->child(299)->text(0), QStringLiteral("10.1.2.99 - 3150 LXI"));
    for (int i = 0; i < 300; ++i)
        QCOMPARE(network->child(i)->child(0)->data(0, Qt::StatusTipRole).toInt(), i % 3 == 0 ? 1 : 0);
    QCOMPARE(kdsim::openSessionCount(), 0);
}

// Slow network queries run on the search's own threads: the GUI thread keeps
// painting and running timers, and the global pool (which Qt's painting
// shares) keeps its own size. Escape does not take the progress box away
// while queries run.
void tst_Search::guiStaysLiveDuringNetworkSearch()
{
    QStringList resources;
    for (int i = 0; i < 8; ++i)
        resources << QStringLiteral(R"({ "descriptor": "TCPIP0::10.0.0.%1::INSTR", "address": "10.0.0.%1",
            "openLatencyMs": 1000, "carrier": { "model": 3150, "cards": [ { "model": "0x7240" } ] } })")
                         .arg(i + 1);
    QVERIFY(kdsim::loadSystem(QStringLiteral(R"({ "resources": [ %1 ] })").arg(resources.join(",")).toStdString()));
    const int globalThreads = QThreadPool::globalInstance()->maxThreadCount();

    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    // Escape as soon as the progress box is up.
    bool progressShownAfterEscape = false;
    QTimer escape;
    connect(&escape, &QTimer::timeout, [&] {
        auto *progress = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        if (!progress || !progress->isVisible())
            return;
        escape.stop();
        QTest::keyClick(progress, Qt::Key_Escape);
        progressShownAfterEscape = progress->isVisible();
    });
    escape.start(20);
    kd7010fp_fcSelect dialog(&card, 0);
    QCOMPARE(dialog.searchResources(), 8);
    ticker.stop();

    // A second of search: about 50 ticks when the GUI runs on, 1 when it hangs.
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QVERIFY(progressShownAfterEscape);
    QCOMPARE(QThreadPool::globalInstance()->maxThreadCount(), globalThreads);
}

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
