// The 7240 description object against the simulated driver.
#include <QtTest>
#include <cstring>
#include <string>

#include "kd7240.h"
#include "kd7240_fc.h"
#include "kdsim.h"

class TestCardObject : public QObject
{
    Q_OBJECT
private slots:
    void init() { kdsim::reset(); }
    void checkModel_data();
    void checkModel();
    void driverRevision();
    void driverRevisionEmptyWhenQueryFails();
    void errorMessage();
    void initAndCloseReachTheDriver();
    void initAndStoreTruncatesButOpensWithFullDescriptor();
    void initAndStoreKeepsAllNumbers();
    void reinitBeforeStoreCallsNothing();
    void reinitUsesStoredValues();
};

void TestCardObject::checkModel_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("7240") << 0x7240 << true;
    QTest::newRow("other card") << 0x6216 << false;
    QTest::newRow("decimal 7240") << 7240 << false;
    QTest::newRow("carrier model") << 3150 << false;
    QTest::newRow("empty slot") << 0 << false;
    QTest::newRow("all bits") << 0xFFFF << false;
}

void TestCardObject::checkModel()
{
    QFETCH(int, code);
    QFETCH(bool, accepted);
    kd7240_fc card;
    QCOMPARE(card.checkModel(quint16(code)), accepted);
}

void TestCardObject::driverRevision()
{
    kd7240_fc card;
    char expected[kd7240_DRIVER_REVISION_LEN] = {};
    QCOMPARE(kd7240_revision_query(0, expected, nullptr), VI_SUCCESS);
    QVERIFY(std::strlen(expected) > 0);
    QCOMPARE(card.getDriverRevision(), QString::fromLatin1(expected));
}

void TestCardObject::driverRevisionEmptyWhenQueryFails()
{
    kd7240_fc card;
    kdsim::addFault("kd7240_revision_query", VI_ERROR_SYSTEM_ERROR);
    QCOMPARE(card.getDriverRevision(), QString());
}

void TestCardObject::errorMessage()
{
    kd7240_fc card;
    QVERIFY(!card.getErrorMessage(VI_ERROR_RSRC_NFOUND).isEmpty());
    // A code the driver cannot translate gives an empty text, so the
    // connection flow falls back to the carrier library's message.
    QCOMPARE(card.getErrorMessage(ViStatus(0xBFFC7777)), QString());
    kdsim::addFault("kd7240_error_message", VI_ERROR_SYSTEM_ERROR);
    QCOMPARE(card.getErrorMessage(VI_ERROR_RSRC_NFOUND), QString());
}

void TestCardObject::initAndCloseReachTheDriver()
{
    kd7240_fc card;
    quint16 fc[1] = {1};
    ViSession session = 0;
    QCOMPARE(card.initCard("TCPIP::192.168.2.100::INSTR", fc, 1, 1, &session), VI_SUCCESS);
    QVERIFY(session != 0);
    QVERIFY(kdsim::cardState(session).open);
    QCOMPARE(card.closeCard(session), VI_SUCCESS);
    QVERIFY(!kdsim::cardState(session).open);

    fc[0] = 7; // no card there
    ViSession none = 0;
    QVERIFY(card.initCard("TCPIP::192.168.2.100::INSTR", fc, 1, 1, &none) < 0);
}

void TestCardObject::initAndStoreTruncatesButOpensWithFullDescriptor()
{
    // A resource whose name is longer than the stored copy: only the full
    // descriptor reaches it, so a successful open proves it was passed on.
    const std::string longDescriptor = "TCPIP0::" + std::string(2985, 'h') + "::INSTR";
    QCOMPARE(longDescriptor.size(), size_t(3000));
    std::string error;
    QVERIFY2(kdsim::loadSystem(R"({"resources":[{"descriptor":")" + longDescriptor +
                                   R"(","carrier":{"model":3150,"cards":[{"model":"0x7240"}]}}]})",
                               &error),
             error.c_str());
    kd7240_fc card;
    quint16 fc[1] = {1};
    ViSession session = 0;
    QCOMPARE(card.initAndStore(longDescriptor.c_str(), fc, 1, 1, 1, &session), VI_SUCCESS);
    QCOMPARE(std::strlen(card.storedDescriptor), size_t(2047));
    QCOMPARE(std::string(card.storedDescriptor), longDescriptor.substr(0, 2047));
    card.closeCard(session);
}

void TestCardObject::initAndStoreKeepsAllNumbers()
{
    kd7240_fc card;
    quint16 fc[256];
    for (int i = 0; i < 256; ++i)
        fc[i] = quint16(1000 + i);
    ViSession session = 0;
    card.initAndStore("VXI0::8::INSTR", fc, 256, 1, 1, &session);
    for (int i = 0; i < 256; ++i)
        QCOMPARE(card.storedFcNumbers[i], quint16(1000 + i));
}

void TestCardObject::reinitBeforeStoreCallsNothing()
{
    kd7240_fc card;
    ViSession session = 12345;
    kdsim::clearCalls();
    QVERIFY(card.reinitCard(&session) < 0);
    QCOMPARE(session, ViSession(12345));
    QVERIFY(kdsim::calls("kd7240_init").empty());
}

void TestCardObject::reinitUsesStoredValues()
{
    kd7240_fc card;
    quint16 fc[2] = {1, 3};
    ViSession first = 0;
    QCOMPARE(card.initAndStore("TCPIP::192.168.2.100::INSTR", fc, 2, 0, 0, &first), VI_SUCCESS);
    card.closeCard(first);
    kdsim::clearCalls();
    ViSession again = 0;
    QCOMPARE(card.reinitCard(&again), VI_SUCCESS);
    QVERIFY(again != 0);
    const auto inits = kdsim::calls("kd7240_init");
    QCOMPARE(inits.size(), size_t(1));
    const QJsonObject args = QJsonDocument::fromJson(QByteArray::fromStdString(inits[0].args)).object();
    QCOMPARE(args.value("descriptor").toString(), QString("TCPIP::192.168.2.100::INSTR"));
    QCOMPARE(args.value("fcNumber").toInt(), 1);
    QCOMPARE(args.value("idQuery").toInt(), 1);
    QCOMPARE(args.value("reset").toInt(), 1);
    card.closeCard(again);
}

QTEST_APPLESS_MAIN(TestCardObject)
#include "tst_cardobject.moc"
