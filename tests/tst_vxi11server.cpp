// The VXI-11 server with RPC clients in the same process: links a and b,
// each on a core channel of its own, over one small command set. Each row
// is a script of calls and the replies the clients read, decoded from the
// wire as the protocol lays them out.

#include <QTcpSocket>
#include <QtTest>

#include "kd7010fp_rpc.h"
#include "kd7010fp_scpi.h"
#include "kd7010fp_vxi11.h"
#include "kd7010fp_vxi11server.h"

using namespace kd7010fp_vxi11;
namespace rpc = kd7010fp_rpc;

class tst_Vxi11Server : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void calls_data();
    void calls();

private:
    struct Client
    {
        QTcpSocket socket;
        rpc::RecordReader records { 1 << 20 };
        quint32 xid = 0;
        quint32 procedure = 0;
        qint32 link = 0;
    };

    bool open(Client &client, quint16 port);
    void send(Client &client, quint32 procedure, const QByteArray &arguments);
    QString reply(Client &client);
    QString step(const QString &line);

    std::unique_ptr<kd7010fp_scpi::Parser> parser;
    std::unique_ptr<kd7010fp_vxi11Server> server;
    std::map<QString, std::unique_ptr<Client>> clients; // a, b and the abort channel
    int triggers = 0;
    bool busy = false; // an operation under way: *OPC? waits
};

void tst_Vxi11Server::init()
{
    triggers = 0;
    busy = false;
    parser = std::make_unique<kd7010fp_scpi::Parser>(1);
    parser->setBusy([this] { return busy; });
    parser->add(kd7010fp_scpi::commonRows());
    parser->add({
        { "*IDN?", [](kd7010fp_scpi::Call &c) { c.replyText("Test,Device,0,1"); } },
        { "*TRG", [this](kd7010fp_scpi::Call &) { ++triggers; } },
        { "TRIGger:COUNt?", [this](kd7010fp_scpi::Call &c) { c.reply(triggers); } },
        { "BUSY", [this](kd7010fp_scpi::Call &) { busy = true; } },
    });
    server = std::make_unique<kd7010fp_vxi11Server>(parser.get());
    QVERIFY(server->listen());
    clients.clear();
    for (const QString name : { "a", "b" }) {
        auto &client = clients[name] = std::make_unique<Client>();
        QVERIFY(open(*client, server->serverPort()));
        QCOMPARE(step(name + " create inst0"), QString("link 0"));
    }
    QVERIFY(open(*(clients["abort"] = std::make_unique<Client>()), server->abortPort()));
}

bool tst_Vxi11Server::open(Client &client, quint16 port)
{
    client.socket.connectToHost(QHostAddress::LocalHost, port);
    return client.socket.waitForConnected(5000);
}

void tst_Vxi11Server::send(Client &client, quint32 procedure, const QByteArray &arguments)
{
    rpc::XdrWriter out;
    const bool abort = procedure == DeviceAbort;
    for (quint32 word : { ++client.xid, 0u, 2u, quint32(abort ? AbortProgram : CoreProgram), 1u, procedure, 0u, 0u,
             0u, 0u })
        out.u32(word);
    QByteArray record = out.record();
    record += arguments;
    qToBigEndian<quint32>(quint32(record.size() - 4) | 0x80000000u, record.data());
    client.procedure = procedure;
    client.socket.write(record);
}

// The reply, as text: "write <error> <size>", "read <error> <reason>
// <data>", "stb <error> <byte>", "link <error>", "error <error>", or
// "rpc <accept_stat>".
QString tst_Vxi11Server::reply(Client &client)
{
    QByteArray record;
    if (!QTest::qWaitFor([&] {
            client.records.append(client.socket.readAll());
            return client.records.next(&record);
        }, 5000))
        return QStringLiteral("no reply");
    rpc::XdrReader in(record);
    if (in.u32() != client.xid)
        return QStringLiteral("wrong xid");
    in.u32(); // REPLY
    in.u32(); // accepted
    in.u32(); // verifier
    in.opaque(400);
    if (const quint32 stat = in.u32())
        return QStringLiteral("rpc %1").arg(stat);
    const qint32 error = in.i32();
    switch (client.procedure) {
    case CreateLink:
        client.link = in.i32();
        return QStringLiteral("link %1").arg(error);
    case DeviceWrite:
        return QStringLiteral("write %1 %2").arg(error).arg(in.u32());
    case DeviceRead: {
        const qint32 reason = in.i32();
        return QStringLiteral("read %1 %2 %3").arg(error).arg(reason).arg(QString::fromLatin1(in.opaque(1 << 20)));
    }
    case DeviceReadStb:
        return QStringLiteral("stb %1 %2").arg(error).arg(in.u32());
    default:
        return QStringLiteral("error %1").arg(error);
    }
}

// One call: "<link> <verb> [argument]", sent and its reply read; a link
// written "b&" only sends, "b?" only reads the reply of what it sent.
QString tst_Vxi11Server::step(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '));
    QString name = words.value(0);
    const bool onlySend = name.endsWith(QLatin1Char('&'));
    if (onlySend || name.endsWith(QLatin1Char('?')))
        name.chop(1);
    if (name == "done") { // the operation under way ends
        busy = false;
        parser->operationsCompleted();
        server->resume();
        return QString();
    }
    Client &client = *clients.at(name);
    if (words.size() == 1)
        return reply(client);
    const QString verb = words.value(1);
    if (verb == "close") { // the client goes, and the server has seen it go
        client.socket.disconnectFromHost();
        QTest::qWait(100);
        return QString();
    }
    QByteArray text = line.section(QLatin1Char(' '), 2).toLatin1().replace("\\n", "\n");
    if (const qsizetype star = text.indexOf('*'); star > 0 && text.first(star).toInt() > 0) // "<n>*<text>": n times
        text = text.sliced(star + 1).repeated(text.first(star).toInt());
    rpc::XdrWriter out;
    const auto generic = [&](quint32 procedure, qint32 flags = 0, quint32 lockTimeout = 0) {
        for (quint32 word : { quint32(client.link), quint32(flags), lockTimeout, 1000u })
            out.u32(word);
        return procedure;
    };
    quint32 procedure;
    if (verb == "create") {
        procedure = CreateLink;
        out.u32(7);
        out.u32(0);
        out.u32(0);
        out.opaque(text);
    } else if (verb == "write" || verb == "write-noend") {
        procedure = DeviceWrite;
        for (quint32 word : { quint32(client.link), 1000u, 0u, verb == "write" ? quint32(End) : 0u })
            out.u32(word);
        out.opaque(text);
    } else if (verb == "read") { // read <size> [<termination character>]
        procedure = DeviceRead;
        const bool term = text.size() > 2 && text[text.size() - 2] == ' ';
        for (quint32 word : { quint32(client.link), text.split(' ')[0].toUInt(), 300u, 0u,
                 term ? quint32(TermCharSet) : 0u, term ? quint32(uchar(text.back())) : 0u })
            out.u32(word);
    } else if (verb == "lock" || verb == "lock-wait") { // lock-wait <ms>
        procedure = DeviceLock;
        out.i32(client.link);
        out.i32(verb == "lock" ? 0 : WaitLock);
        out.u32(text.toUInt());
    } else if (verb == "abort") { // abort <link>: on the abort channel
        procedure = DeviceAbort;
        out.i32(clients.at(QString::fromLatin1(text))->link);
    } else {
        const std::map<QString, quint32> simple { { "readstb", DeviceReadStb }, { "trigger", DeviceTrigger },
            { "clear", DeviceClear }, { "remote", DeviceRemote }, { "local", DeviceLocal },
            { "srq", DeviceEnableSrq } };
        if (verb == "unlock" || verb == "destroy") {
            procedure = verb == "unlock" ? DeviceUnlock : DestroyLink;
            out.i32(client.link);
        } else if (verb == "intr") {
            procedure = CreateInterruptChannel;
            for (int i = 0; i < 5; ++i)
                out.u32(0);
        } else {
            procedure = generic(simple.at(verb));
        }
    }
    send(client, procedure, out.record().sliced(4));
    if (onlySend) // the server has it before the next call is sent
        QTest::qWait(100);
    return onlySend ? QString() : reply(client);
}

// Each row: the calls in turn, and what each one's reply says (sent-only
// calls say nothing).
void tst_Vxi11Server::calls_data()
{
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("replies");

    QTest::newRow("a query written and read")
        << QStringList { "a write *IDN?\\n", "a read 1024" } << QStringList { "write 0 6", "read 0 4 Test,Device,0,1\n" };
    QTest::newRow("pieces without END wait for the one with it")
        << QStringList { "a write-noend *IDN", "a write ?", "a read 1024" }
        << QStringList { "write 0 4", "write 0 1", "read 0 4 Test,Device,0,1\n" };
    QTest::newRow("requestSize cuts the reply, END on its last piece")
        << QStringList { "a write *IDN?", "a read 4", "a read 1024" }
        << QStringList { "write 0 5", "read 0 1 Test", "read 0 4 ,Device,0,1\n" };
    QTest::newRow("the termination character ends a read")
        << QStringList { "a write *IDN?", "a read 1024 ," } << QStringList { "write 0 5", "read 0 2 Test," };
    QTest::newRow("each link reads its own replies")
        << QStringList { "a write *IDN?", "b write TRIG:COUN?", "b read 1024", "a read 1024" }
        << QStringList { "write 0 5", "write 0 10", "read 0 4 +0\n", "read 0 4 Test,Device,0,1\n" };
    QTest::newRow("status byte: an error, a reply, after *CLS")
        << QStringList { "a write BOGUS", "a readstb", "b write *IDN?", "b readstb", "a readstb", "a write *CLS",
               "a readstb" }
        << QStringList { "write 0 5", "stb 0 4", "write 0 5", "stb 0 20", "stb 0 4", "write 0 4", "stb 0 0" };
    QTest::newRow("trigger is *TRG")
        << QStringList { "a trigger", "a write TRIG:COUN?", "a read 1024" }
        << QStringList { "error 0", "write 0 10", "read 0 4 +1\n" };
    QTest::newRow("clear drops the unread reply")
        << QStringList { "a write *IDN?", "a clear", "a read 1024", "a write SYST:ERR?", "a read 1024" }
        << QStringList { "write 0 5", "error 0", "read 15 0 ", "write 0 9", "read 0 4 -420,\"Query error\"\n" };
    QTest::newRow("a lock refuses the other link until unlocked")
        << QStringList { "a lock", "b write *IDN?", "b read 1024", "b readstb", "a write *IDN?", "a unlock",
               "b write *IDN?" }
        << QStringList { "error 0", "write 11 0", "read 11 0 ", "stb 11 0", "write 0 5", "error 0", "write 0 5" };
    QTest::newRow("a lock waited for, given back in time")
        << QStringList { "a lock", "b& lock-wait 5000", "a unlock", "b?", "a write *IDN?" }
        << QStringList { "error 0", "", "error 0", "error 0", "write 11 0" };
    QTest::newRow("a lock waited for past its timeout")
        << QStringList { "a lock", "b lock-wait 100", "a destroy", "b lock" }
        << QStringList { "error 0", "error 11", "error 0", "error 0" };
    QTest::newRow("device_abort ends a wait")
        << QStringList { "a lock", "b& lock-wait 60000", "abort abort b", "b?" }
        << QStringList { "error 0", "", "error 0", "error 23" };
    QTest::newRow("a read waits for *OPC? until the operation ends")
        << QStringList { "a write BUSY;*OPC?", "a& read 1024", "done now", "a?", "b write *IDN?", "b read 1024" }
        << QStringList { "write 0 10", "", "", "read 0 4 1\n", "write 0 5", "read 0 4 Test,Device,0,1\n" };
    QTest::newRow("a read waiting at *OPC? times out")
        << QStringList { "a write BUSY;*OPC?", "a read 1024", "done now", "a read 1024" }
        << QStringList { "write 0 10", "read 15 0 ", "", "read 0 4 1\n" };
    QTest::newRow("writes behind a waiting line are held back")
        << QStringList { "a write BUSY;*WAI", "a write 30000*TRIG:COUN?\\n", "a write *IDN?" }
        << QStringList { "write 0 9", "write 0 330000", "write 15 0" };
    QTest::newRow("unlock without the lock") << QStringList { "a unlock" } << QStringList { "error 12" };
    QTest::newRow("another device name") << QStringList { "a create gpib0,5" } << QStringList { "link 3" };
    QTest::newRow("a destroyed link") << QStringList { "a destroy", "a write *IDN?" }
                                      << QStringList { "error 0", "write 4 0" };
    QTest::newRow("a client gone before another")
        << QStringList { "a close", "b write *IDN?", "b read 1024" }
        << QStringList { "", "write 0 5", "read 0 4 Test,Device,0,1\n" };
    QTest::newRow("remote, local") << QStringList { "a remote", "a local" } << QStringList { "error 0", "error 0" };
    QTest::newRow("no interrupt channel")
        << QStringList { "a srq", "a intr" } << QStringList { "error 8", "error 8" };
}

void tst_Vxi11Server::calls()
{
    QFETCH(QStringList, calls);
    QFETCH(QStringList, replies);

    QStringList got;
    for (const QString &call : calls)
        got << step(call);
    QCOMPARE(got, replies);
}

QTEST_MAIN(tst_Vxi11Server)
#include "tst_vxi11server.moc"
