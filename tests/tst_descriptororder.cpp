// The order of VISA resource descriptors in the search tree.

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

#include "kd7010fp_app.h"

class tst_DescriptorOrder : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void sortSurvivesCyclicOrder();
};

// Each row: a, b and the expected answers of less(a, b) and less(b, a).
// clang-format off
void tst_DescriptorOrder::order_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("aBeforeB");
    QTest::addColumn<bool>("bBeforeA");

    QTest::newRow("address .20 before .100") << "TCPIP0::192.168.2.20::INSTR"
                                             << "TCPIP0::192.168.2.100::INSTR" << true << false;
    QTest::newRow("TCPIP board first") << "TCPIP0::192.168.2.100::INSTR"
                                       << "TCPIP1::10.0.0.1::INSTR" << true << false;
    QTest::newRow("ASRL2 before ASRL10") << "ASRL2::INSTR"
                                         << "ASRL10::INSTR" << true << false;
    QTest::newRow("different prefixes: string order") << "GPIB0::5::INSTR"
                                                      << "VXI0::1::INSTR" << true << false;
    QTest::newRow("same VXI board equal") << "VXI0::1::INSTR"
                                          << "VXI0::2::INSTR" << false << false;
    QTest::newRow("GPIB by board") << "GPIB1::20::INSTR"
                                   << "GPIB12::1::INSTR" << true << false;
    QTest::newRow("PXI by board") << "PXI3::INSTR"
                                  << "PXI20::INSTR" << true << false;
    QTest::newRow("SOCKET by board") << "SOCKET2::1.2.3.4::80::SOCKET"
                                     << "SOCKET10::1.2.3.4::80::SOCKET" << true << false;
    QTest::newRow("BACKPLANE by board") << "BACKPLANE2::INSTR"
                                        << "BACKPLANE10::INSTR" << true << false;
    QTest::newRow("negative board") << "VXI-1::1::INSTR"
                                    << "VXI0::1::INSTR" << true << false;
    QTest::newRow("identical") << "TCPIP0::192.168.2.1::INSTR"
                               << "TCPIP0::192.168.2.1::INSTR" << false << false;
    QTest::newRow("identical other type") << "USB0::1::INSTR"
                                          << "USB0::1::INSTR" << false << false;
    QTest::newRow("host name counts as 0.0.0.0") << "TCPIP0::myhost::INSTR"
                                                 << "TCPIP0::0.0.0.1::INSTR" << true << false;
    QTest::newRow("host names compare equal") << "TCPIP0::zeta::INSTR"
                                              << "TCPIP0::alpha::INSTR" << false << false;
    QTest::newRow("no board: address not read") << "TCPIP::192.168.2.100::INSTR"
                                                 << "TCPIP0::0.0.0.1::INSTR" << true << false;
    QTest::newRow("no board equals board 0 with no address") << "TCPIP::192.168.2.100::INSTR"
                                                             << "TCPIP0::myhost::INSTR" << false << false;
    QTest::newRow("partial address: missing part is 0") << "TCPIP0::10.1.2::INSTR"
                                                        << "TCPIP0::10.1.2.1::INSTR" << true << false;
    QTest::newRow("lower-case prefix is TCPIP") << "tcpip0::192.168.2.20::INSTR"
                                                << "TCPIP0::192.168.2.100::INSTR" << true << false;
    QTest::newRow("lower-case asrl by board") << "asrl2::INSTR"
                                              << "ASRL10::INSTR" << true << false;
    QTest::newRow("other type: case-sensitive strings") << "USB0::a::INSTR"
                                                        << "usb0::A::INSTR" << true << false;
    QTest::newRow("other type: string order, not numbers") << "USB10::INSTR"
                                                           << "USB2::INSTR" << true << false;
    QTest::newRow("empty prefix: string order") << "0::X"
                                                << "1::A" << true << false;
    QTest::newRow("empty strings") << ""
                                   << "" << false << false;
    QTest::newRow("empty before anything") << ""
                                           << "A" << true << false;
    QTest::newRow("prefix only") << "VXI"
                                 << "VXI1::INSTR" << true << false;
    QTest::newRow("sign without digits is 0") << "VXI-::INSTR"
                                              << "VXI0::INSTR" << false << false;
    QTest::newRow("board beyond 32 bits saturates") << "VXI99999999999999999999::INSTR"
                                                    << "VXI2147483647::INSTR" << false << false;
    QTest::newRow("address part beyond 32 bits") << "TCPIP0::1.2.3.99999999999::INSTR"
                                                 << "TCPIP0::1.2.4.0::INSTR" << true << false;
    QTest::newRow("255-letter prefixes by string") << QString(255, QLatin1Char('Q')) + "1"
                                                   << QString(255, QLatin1Char('Q')) + "0" << false << true;
    QTest::newRow("long TCPIP-like prefix is not TCPIP")
        << QStringLiteral("TCPIP") + QString(400, QLatin1Char('X')) + "0::9.0.0.0::INSTR"
        << QStringLiteral("TCPIP") + QString(400, QLatin1Char('X')) + "0::10.0.0.0::INSTR" << false << true;
    QTest::newRow("4000-letter prefix vs VXI") << QString(4000, QLatin1Char('Z'))
                                               << "VXI0::1::INSTR" << false << true;
}
// clang-format on

void tst_DescriptorOrder::order()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, aBeforeB);
    QFETCH(bool, bBeforeA);
    QCOMPARE(kd7010fp_app::descriptorLess(a, b), aBeforeB);
    QCOMPARE(kd7010fp_app::descriptorLess(b, a), bBeforeA);
}

// The order is cyclic on mixed-case and letter-run prefixes ("asrl2" <
// "ASRL10" by board, "ASRL10" < "Asrl5" by text; "ASRL" < "ASRLZ" < "ASRL~"
// while "ASRL" ties with "ASRL~"). The sort must still end, stay inside the
// range (checked under AddressSanitizer) and keep every element: 6600
// arrays built from such cycles, then one large shuffled one.
void tst_DescriptorOrder::sortSurvivesCyclicOrder()
{
    const QStringList cyclic = { "PXI", "U", "pxi", "ASRL", "ASRLZ", "ASRL~", "asrl2::INSTR", "ASRL10::INSTR",
        "Asrl5::INSTR", "TCPIP0::10.0.0.1::INSTR", "tcpip0::9.0.0.1::INSTR", "TcPiP::INSTR", "", "VXI", "vxi1",
        "Vxi-3", "GPIB+2", "gpib-2", "USB", "usb" };
    QRandomGenerator random(7240);
    QList<QStringList> arrays;
    for (int i = 0; i < 6600; ++i) {
        QStringList array;
        const int size = 2 + random.bounded(63);
        for (int k = 0; k < size; ++k)
            array << cyclic.at(random.bounded(int(cyclic.size())));
        arrays << array;
    }
    const QStringList prefixes = { "ASRL", "asrl", "Asrl", "TCPIP", "tcpip", "TcPiP", "VXI", "vxi", "Vxi", "GPIB",
        "gpib", "USB", "usb", "", "PXI", "pXi" };
    QStringList large;
    for (int i = 0; i < 5000; ++i) {
        const QString prefix = prefixes.at(random.bounded(int(prefixes.size())));
        large << QStringLiteral("%1%2::10.0.%3.%4::INSTR")
                     .arg(prefix)
                     .arg(random.bounded(20))
                     .arg(random.bounded(256))
                     .arg(random.bounded(256));
    }
    arrays << large;

    for (const QStringList &array : std::as_const(arrays)) {
        QStringList sorted = array;
        kd7010fp_app::sortByDescriptor(sorted.begin(), sorted.end(), [](const QString &d) { return d; });
        QStringList original = array;
        std::sort(original.begin(), original.end());
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, original);
    }
}

QTEST_GUILESS_MAIN(tst_DescriptorOrder)
#include "tst_descriptororder.moc"
