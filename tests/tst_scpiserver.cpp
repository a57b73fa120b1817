// The remote socket with clients in the same process: whole messages run,
// several clients at once and one after another, a web browser's connection
// closed unread, a line waiting at *OPC? while an operation runs, a client
// that never reads dropped, and nothing run while the server is held (the
// window holds it while it shows a modal box).

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>

#include "kd7010fp_scpiserver.h"

using namespace kd7010fp_scpi;

class tst_ScpiServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void messages_data();
    void messages();
    void clients_data();
    void clients();
    void browsersClosedUnread_data();
    void browsersClosedUnread();
    void curlPostAppliesNothing();
    void opcWaitsForTheOperation();
    void clientThatNeverReadsDropped();
    void nothingRunsWhileHeld();
    void portInUseSaid();

private:
    bool connectClient(QTcpSocket &client);

    std::unique_ptr<Parser> parser;
    std::unique_ptr<kd7010fp_scpiServer> server;
    QByteArrayList executed; // each command run, as "HEADER parameter"
    QByteArray bigReply; // when set, the reply of BIG?
    bool busy = false; // an operation runs: *OPC? waits
};

void tst_ScpiServer::init()
{
    executed.clear();
    bigReply.clear();
    busy = false;
    server.reset();
    parser = std::make_unique<Parser>();
    parser->add(commonRows());
    // Every command notes itself; Q? replies how many ran so far.
    const auto note = [this](const char *name) {
        return [this, name](Call &c) {
            QByteArray text;
            QByteArrayView block;
            double value;
            if (c.count() == 1 && c.isBlock(0) && c.block(0, &block))
                text = block.toByteArray();
            else if (c.count() == 1 && c.number(0, Unit::None, { -1e9, 1e9, 0 }, &value))
                text = QByteArray::number(value);
            executed << (text.isEmpty() ? QByteArray(name) : name + (' ' + text));
        };
    };
    parser->add({
        { "A", note("A") },
        { "B?", [this](Call &c) { executed << "B?"; c.reply(int(executed.size())); } },
        { "Q?", [this](Call &c) { executed << "Q?"; c.reply(int(executed.size())); } },
        { "VALue", note("VAL") },
        { "DATA", note("DATA") },
        { "BIG?", [this](Call &c) { executed << "BIG?"; c.replyText(bigReply); } },
    });
    parser->setBusy([this] { return busy; });
    server = std::make_unique<kd7010fp_scpiServer>(parser.get());
    QVERIFY(server->listen(0));
}

bool tst_ScpiServer::connectClient(QTcpSocket &client)
{
    const int before = server->clientCount();
    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    return client.waitForConnected(5000) && QTest::qWaitFor([&] { return server->clientCount() > before; }, 5000);
}

// Each row: what the client sends, piece by piece, whether it then leaves,
// the commands run and the replies it reads.
void tst_ScpiServer::messages_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("leaves");
    QTest::addColumn<QByteArrayList>("commands");
    QTest::addColumn<QByteArray>("replies");

    QTest::newRow("a query") << QByteArrayList { "Q?\n" } << false << QByteArrayList { "Q?" } << QByteArray("+1\n");
    QTest::newRow("a block with newlines, in pieces")
        << QByteArrayList { "DATA #15a\n", "b\nc", "\r\nQ?\n" } << false << QByteArrayList { "DATA a\nb\nc", "Q?" }
        << QByteArray("+2\n");
    // The length says where the block ends, whatever its last byte is.
    QTest::newRow("a block whose last byte is a newline")
        << QByteArrayList { QByteArray("DATA #13\0\0\n\n", 12), "Q?\n" } << false
        << QByteArrayList { QByteArray("DATA \0\0\n", 8), "Q?" } << QByteArray("+2\n");
    QTest::newRow("half a line, then gone") << QByteArrayList { "A\nA 2" } << true << QByteArrayList { "A" }
                                            << QByteArray();
    QTest::newRow("sent and closed at once") << QByteArrayList { "A\nB?\n" } << true << QByteArrayList { "A", "B?" }
                                             << QByteArray();
}

void tst_ScpiServer::messages()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, leaves);
    QFETCH(QByteArrayList, commands);
    QFETCH(QByteArray, replies);

    QTcpSocket client;
    QVERIFY(connectClient(client));
    for (const QByteArray &piece : pieces) {
        client.write(piece);
        QVERIFY(client.waitForBytesWritten(5000));
        QTest::qWait(20);
    }
    if (leaves) {
        client.disconnectFromHost();
        QTRY_COMPARE(server->clientCount(), 0);
    } else {
        QTRY_COMPARE(client.bytesAvailable(), qint64(replies.size()));
        QCOMPARE(client.readAll(), replies);
    }
    QCOMPARE(executed, commands);
}

// Each row: how many scripts connect, what each sends, whether each closes
// at once after sending (the next one connecting right after), and what
// must have run. A silent client is connected first when asked.
void tst_ScpiServer::clients_data()
{
    QTest::addColumn<int>("scripts");
    QTest::addColumn<bool>("silentFirst");
    QTest::addColumn<bool>("closeAtOnce");
    QTest::addColumn<int>("served"); // scripts whose value ran
    QTest::addColumn<int>("turnedAway"); // told that too many are connected

    QTest::newRow("back to back, each closing at once") << 20 << false << true << 20 << 0;
    QTest::newRow("a silent client keeps no one out") << 3 << true << false << 3 << 0;
    QTest::newRow("beyond the limit, turned away")
        << kd7010fp_scpiServer::maxClients + 2 << false << false << kd7010fp_scpiServer::maxClients << 2;
}

void tst_ScpiServer::clients()
{
    QFETCH(int, scripts);
    QFETCH(bool, silentFirst);
    QFETCH(bool, closeAtOnce);

    QSignalSpy away(server.get(), &kd7010fp_scpiServer::turnedAway);
    QTcpSocket silent;
    if (silentFirst)
        QVERIFY(connectClient(silent));
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < scripts; ++i) {
        auto &socket = sockets.emplace_back(std::make_unique<QTcpSocket>());
        socket->connectToHost(QHostAddress::LocalHost, server->serverPort());
        QVERIFY(socket->waitForConnected(5000));
        socket->write("VAL " + QByteArray::number(i) + "\n");
        QVERIFY(socket->waitForBytesWritten(5000));
        if (closeAtOnce)
            socket->disconnectFromHost();
    }
    QFETCH(int, served);
    QFETCH(int, turnedAway);
    QTRY_COMPARE(executed.size(), served);
    QTRY_COMPARE(away.count(), turnedAway);
    if (!closeAtOnce)
        QCOMPARE(server->clientCount(), served + (silentFirst ? 1 : 0));
    QCOMPARE(executed.first(), QByteArray("VAL 0"));
    if (turnedAway > 0) {
        QTRY_COMPARE(sockets.back()->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(sockets.back()->readAll().startsWith("-200,\"Execution error; 8 clients are connected already\""));
    }
    server->closeClients();
    QCOMPARE(server->clientCount(), 0);
}

// A browser's first line against SCPI's: the first is closed unread.
void tst_ScpiServer::browsersClosedUnread_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("closed");

    QTest::newRow("a POST whose body holds commands")
        << QByteArray("POST / HTTP/1.1\r\nHost: 127.0.0.1:5025\r\nContent-Length: 17\r\n\r\nA 1\nVAL 10\nA 2\n") << true;
    QTest::newRow("a request line in pieces, no newline yet") << QByteArray("GET /index.html HTTP/1.0") << true;
    QTest::newRow("a header first") << QByteArray("Origin: http://example.com\r\nA\n") << true;
    QTest::newRow("SCPI") << QByteArray("A 1;:VAL 2\n") << false;
    QTest::newRow("SCPI with a block") << QByteArray("DATA #14HTTP\n") << false;
}

void tst_ScpiServer::browsersClosedUnread()
{
    QFETCH(QByteArray, sent);
    QFETCH(bool, closed);

    QSignalSpy away(server.get(), &kd7010fp_scpiServer::turnedAway);
    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.write(sent);
    if (closed) {
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(away.count(), 1);
        QVERIFY(away.first().first().toString().contains(QLatin1String("web browser")));
        QCOMPARE(executed, QByteArrayList());
    } else {
        QTRY_VERIFY(!executed.isEmpty());
        QCOMPARE(away.count(), 0);
        QCOMPARE(client.state(), QAbstractSocket::ConnectedState);
    }
}

// What a web page can send: curl's own POST, as a browser makes it.
void tst_ScpiServer::curlPostAppliesNothing()
{
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty())
        QSKIP("curl is not installed (Debian package curl)");
    QSignalSpy away(server.get(), &kd7010fp_scpiServer::turnedAway);
    QProcess process;
    process.start(curl,
        { QStringLiteral("-s"), QStringLiteral("-m"), QStringLiteral("5"), QStringLiteral("-X"), QStringLiteral("POST"),
            QStringLiteral("--data-binary"), QStringLiteral("A 1\nVAL 10\n"),
            QStringLiteral("http://127.0.0.1:%1/").arg(server->serverPort()) });
    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
    QCOMPARE(away.count(), 1);
    QCOMPARE(executed, QByteArrayList());
}

// A triggered burst plays: *OPC? answers when it has ended, and holds its
// own client alone.
void tst_ScpiServer::opcWaitsForTheOperation()
{
    QTcpSocket waiting, other;
    QVERIFY(connectClient(waiting));
    QVERIFY(connectClient(other));
    busy = true;
    waiting.write("A 1;*OPC?;B?\nA 2\n");
    QTRY_COMPARE(executed, QByteArrayList { "A 1" });
    other.write("Q?\n");
    QTRY_COMPARE(other.bytesAvailable(), qint64(3));
    QCOMPARE(other.readAll(), QByteArray("+2\n"));
    QTest::qWait(50);
    QCOMPARE(waiting.bytesAvailable(), qint64(0));
    busy = false;
    server->resume();
    QTRY_COMPARE(executed, (QByteArrayList { "A 1", "Q?", "B?", "A 2" }));
    QTRY_COMPARE(waiting.bytesAvailable(), qint64(5));
    QCOMPARE(waiting.readAll(), QByteArray("1;+3\n"));
}

// 200 queries of 1 MiB replies each, never read: the server stops at its
// limit and the socket buffers, far below the 200 MiB asked for.
void tst_ScpiServer::clientThatNeverReadsDropped()
{
    bigReply = QByteArray(1 << 20, 'x');
    QTcpSocket client;
    client.setReadBufferSize(1024);
    QVERIFY(connectClient(client));
    client.write(QByteArray("BIG?\n").repeated(200));
    QTRY_VERIFY_WITH_TIMEOUT(server->clientCount() == 0, 30000);
    QVERIFY2(executed.size() < 100, QByteArray::number(executed.size()));
}

void tst_ScpiServer::nothingRunsWhileHeld()
{
    bool held = true;
    server->setHold([&held] { return held; });
    QTcpSocket client;
    QVERIFY(connectClient(client));
    client.write("A 1\n");
    QVERIFY(client.waitForBytesWritten(5000));
    QTest::qWait(300);
    QCOMPARE(executed, QByteArrayList());
    held = false;
    QTRY_COMPARE(executed, QByteArrayList { "A 1" });
}

void tst_ScpiServer::portInUseSaid()
{
    kd7010fp_scpiServer other(parser.get());
    QSignalSpy listening(&other, &kd7010fp_scpiServer::listening);
    QVERIFY(!other.listen(server->serverPort()));
    QVERIFY(!other.isListening());
    QCOMPARE(listening.count(), 1);
    QCOMPARE(listening.first().at(0).toBool(), false);
    QVERIFY2(other.errorString().contains(QString::number(server->serverPort())), qPrintable(other.errorString()));
}

QTEST_MAIN(tst_ScpiServer)
#include "tst_scpiserver.moc"
