// ONC RPC and VXI-11 messages as bytes on the wire: records cut from a
// stream in any pieces, call headers, and the arguments of the calls, with
// the hostile lengths a peer can send. Expected bytes are written out by
// hand from the protocols' layouts.

#include <QtTest>

#include "kd7010fp_rpc.h"
#include "kd7010fp_vxi11.h"

using namespace kd7010fp_rpc;

class tst_Rpc : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void calls_data();
    void calls();
    void arguments_data();
    void arguments();
};

namespace {

// Hex with spaces between words, as the layouts are written.
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A call header: xid 1, RPC version `rpc`, the VXI-11 core program,
// procedure `procedure`, credentials of flavour `flavour` with `body`.
QByteArray callHeader(quint32 rpc, quint32 procedure, quint32 flavour = 0, QByteArray body = {})
{
    XdrWriter out;
    for (quint32 word : { 1u, 0u, rpc, quint32(kd7010fp_vxi11::CoreProgram), 1u, procedure, flavour })
        out.u32(word);
    out.opaque(body);
    out.u32(0);
    out.u32(0);
    return out.record().sliced(4);
}

} // namespace

// Each row: the stream, the size of the pieces it comes in, the limit, the
// records read and whether the stream broke; what stays held after it.
void tst_Rpc::records_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QByteArrayList>("records");
    QTest::addColumn<bool>("broken");
    QTest::addColumn<int>("held");

    QTest::newRow("two fragments, byte by byte") << hex("00000002 6162 80000001 63") << 1 << QByteArrayList { "abc" }
                                                 << false << 0;
    QTest::newRow("two records in one piece") << hex("80000001 61 80000002 6263") << 64 << QByteArrayList { "a", "bc" }
                                              << false << 0;
    QTest::newRow("empty fragments hold nothing")
        << hex("00000000 00000000 00000000 00000000 80000000") << 3 << QByteArrayList { "" } << false << 0;
    QTest::newRow("half a record held") << hex("80000004 6162") << 64 << QByteArrayList {} << false << 2;
    QTest::newRow("a fragment beyond the limit") << hex("7fffffff 6162") << 64 << QByteArrayList {} << true << 0;
    QTest::newRow("fragments adding up beyond the limit")
        << hex("00000008 0102030405060708 80000009 010203") << 5 << QByteArrayList {} << true << 0;
}

void tst_Rpc::records()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, piece);
    QFETCH(QByteArrayList, records);
    QFETCH(bool, broken);
    QFETCH(int, held);

    RecordReader reader(16);
    for (qsizetype at = 0; at < stream.size(); at += piece)
        reader.append(QByteArrayView(stream).sliced(at, std::min<qsizetype>(piece, stream.size() - at)));
    QByteArrayList got;
    for (QByteArray record; reader.next(&record);)
        got << record;
    QCOMPARE(got, records);
    QCOMPARE(reader.broken(), broken);
    QCOMPARE(reader.buffered(), held);
}

// Each row: a record, whether it is a call to answer, refused or ignored,
// and the refusal's bytes after the record mark.
void tst_Rpc::calls_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("received");
    QTest::addColumn<QByteArray>("refusal");

    const int call = int(Received::Call), refused = int(Received::Refused), ignored = int(Received::Ignored);
    QTest::newRow("AUTH_NONE") << callHeader(2, 10) << call << QByteArray();
    QTest::newRow("AUTH_SYS") << callHeader(2, 10, 1, QByteArray(20, 'x')) << call << QByteArray();
    QTest::newRow("RPC version 3: mismatch, 2 to 2")
        << callHeader(3, 10) << refused << hex("00000001 00000001 00000001 00000000 00000002 00000002");
    QTest::newRow("AUTH_DH: rejected credentials")
        << callHeader(2, 10, 3) << refused << hex("00000001 00000001 00000001 00000001 00000002");
    QTest::newRow("credentials beyond 400 bytes: bad credentials")
        << callHeader(2, 10, 1, QByteArray(404, 'x')) << refused << hex("00000001 00000001 00000001 00000001 00000001");
    QTest::newRow("a credentials length near 2^32")
        << hex("00000001 00000000 00000002 000607af 00000001 0000000a 00000001 fffffffd") << refused
        << hex("00000001 00000001 00000001 00000001 00000001");
    QTest::newRow("a reply") << hex("00000001 00000001 00000000") << ignored << QByteArray();
    QTest::newRow("three bytes") << hex("000000") << ignored << QByteArray();
}

void tst_Rpc::calls()
{
    QFETCH(QByteArray, record);
    QFETCH(int, received);
    QFETCH(QByteArray, refusal);

    Call call;
    QByteArray said;
    QCOMPARE(int(readCall(record, &call, &said)), received);
    QCOMPARE(said.isEmpty() ? said : said.sliced(4), refusal);
    if (received == int(Received::Call))
        QCOMPARE(call.procedure, 10u);
}

// Each row: a procedure, its arguments, whether they decode and then the
// data (device name or written bytes) they carry. Writes are bounded to 8.
void tst_Rpc::arguments_data()
{
    QTest::addColumn<int>("procedure");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QByteArray>("data");

    using namespace kd7010fp_vxi11;
    QTest::newRow("create_link inst0") << int(CreateLink) << hex("00000007 00000000 00002710 00000005 696e737430 000000")
                                       << true << QByteArray("inst0");
    QTest::newRow("create_link's lock neither true nor false")
        << int(CreateLink) << hex("00000007 00000002 00002710 00000005 696e737430 000000") << false << QByteArray();
    QTest::newRow("create_link, a name of 2^32-1") << int(CreateLink)
                                                   << hex("00000007 00000000 00002710 ffffffff 696e737430 000000")
                                                   << false << QByteArray();
    QTest::newRow("device_write of 5") << int(DeviceWrite)
                                       << hex("00000001 00002710 00002710 00000008 00000005 2a49444e3f 000000") << true
                                       << QByteArray("*IDN?");
    QTest::newRow("device_write beyond the bound") << int(DeviceWrite)
                                                   << hex("00000001 00002710 00002710 00000008 00000009 "
                                                          "414243444546474849 000000")
                                                   << false << QByteArray();
    QTest::newRow("device_write without its padding")
        << int(DeviceWrite) << hex("00000001 00002710 00002710 00000008 00000005 2a49444e3f") << false << QByteArray();
    QTest::newRow("device_read cut short") << int(DeviceRead) << hex("00000001 00000400 00002710") << false
                                           << QByteArray();
    QTest::newRow("create_intr_chan, whatever it holds") << int(CreateInterruptChannel) << hex("01") << true
                                                         << QByteArray();
}

void tst_Rpc::arguments()
{
    QFETCH(int, procedure);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, decoded);
    QFETCH(QByteArray, data);

    kd7010fp_vxi11::Arguments a;
    QCOMPARE(kd7010fp_vxi11::readArguments(kd7010fp_vxi11::CoreProgram, quint32(procedure), bytes, 8, &a), decoded);
    if (decoded)
        QCOMPARE(a.data.toByteArray(), data);
}

QTEST_GUILESS_MAIN(tst_Rpc)
#include "tst_rpc.moc"
