// The remote socket with clients in the same process: whole messages run,
// one client at a time, a client that never reads is dropped, and nothing
// runs while a message box is open.

#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include "kd7010fp_scpiserver.h"

class tst_ScpiServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void messages_data();
    void messages();
    void secondClientRefused();
    void clientThatNeverReadsDropped();
    void nothingRunsUnderAModalBox();
    void portInUseSaid();

private:
    bool connectClient(QTcpSocket &client);

    std::unique_ptr<kd7010fp_scpiServer> server;
    QByteArrayList executed;
    QByteArray bigReply; // when set, every message's reply
};

void tst_ScpiServer::init()
{
    executed.clear();
    bigReply.clear();
    server = std::make_unique<kd7010fp_scpiServer>();
    // A query's reply: how many messages ran so far.
    server->setExecutor([this](const QByteArray &message) {
        executed << message;
        if (!bigReply.isEmpty())
            return bigReply;
        return message.endsWith('?') ? QByteArray::number(executed.size()) + '\n' : QByteArray();
    });
    QVERIFY(server->listen(0));
}

bool tst_ScpiServer::connectClient(QTcpSocket &client)
{
    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    return client.waitForConnected(5000)
        && QTest::qWaitFor([this] { return server->clientAddress() == QLatin1String("127.0.0.1"); }, 5000);
}

// Each row: what the client sends, piece by piece, whether it then leaves,
// the messages run and the replies it reads.
void tst_ScpiServer::messages_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("leaves");
    QTest::addColumn<QByteArrayList>("messages");
    QTest::addColumn<QByteArray>("replies");

    QTest::newRow("a query") << QByteArrayList { "*IDN?\n" } << false << QByteArrayList { "*IDN?" } << QByteArray("1\n");
    QTest::newRow("a block with newlines, in pieces")
        << QByteArrayList { "DATA #15a\n", "b\nc", "\r\nX?\n" } << false << QByteArrayList { "DATA #15a\nb\nc", "X?" }
        << QByteArray("2\n");
    QTest::newRow("half a line, then gone") << QByteArrayList { "FREQ 1\nFREQ 2" } << true << QByteArrayList { "FREQ 1" }
                                            << QByteArray();
    QTest::newRow("sent and closed at once") << QByteArrayList { "A\nB?\n" } << true << QByteArrayList { "A", "B?" }
                                             << QByteArray();
}

void tst_ScpiServer::messages()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, leaves);
    QFETCH(QByteArrayList, messages);
    QFETCH(QByteArray, replies);

    QSignalSpy changes(server.get(), &kd7010fp_scpiServer::clientChanged);
    QTcpSocket client;
    QVERIFY(connectClient(client));
    for (const QByteArray &piece : pieces) {
        client.write(piece);
        QVERIFY(client.waitForBytesWritten(5000));
        QTest::qWait(20);
    }
    if (leaves) {
        client.disconnectFromHost();
        QTRY_COMPARE(changes.count(), 2);
        QCOMPARE(changes.last().first().toString(), QString());
    } else {
        QTRY_COMPARE(client.bytesAvailable(), qint64(replies.size()));
        QCOMPARE(client.readAll(), replies);
    }
    QCOMPARE(executed, messages);
}

void tst_ScpiServer::secondClientRefused()
{
    QTcpSocket first;
    QVERIFY(connectClient(first));
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, server->serverPort());
    QTRY_COMPARE(second.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(second.readAll(), QByteArray("-200,\"Execution error; another client is connected\"\n"));

    first.write("Q?\n");
    QTRY_COMPARE(first.bytesAvailable(), qint64(2));
    QCOMPARE(first.readAll(), QByteArray("1\n"));
    QCOMPARE(server->clientAddress(), QStringLiteral("127.0.0.1"));
}

// 200 queries of 1 MiB replies each, never read: the server stops at its
// limit and the socket buffers, far below the 200 MiB asked for.
void tst_ScpiServer::clientThatNeverReadsDropped()
{
    bigReply = QByteArray(1 << 20, 'x') + '\n';
    QTcpSocket client;
    client.setReadBufferSize(1024);
    QVERIFY(connectClient(client));
    client.write(QByteArray("Q?\n").repeated(200));
    QTRY_VERIFY_WITH_TIMEOUT(server->clientAddress().isEmpty(), 30000);
    QVERIFY2(executed.size() < 100, QByteArray::number(executed.size()));
}

void tst_ScpiServer::nothingRunsUnderAModalBox()
{
    QTcpSocket client;
    QVERIFY(connectClient(client));
    QMessageBox box(QMessageBox::Information, QStringLiteral("Box"), QStringLiteral("Open"));
    qsizetype runWhileOpen = -1;
    QTimer::singleShot(0, &box, [&] {
        client.write("FREQ 1\n");
        QTimer::singleShot(300, &box, [&] {
            runWhileOpen = executed.size();
            box.done(0);
        });
    });
    box.exec();
    QCOMPARE(runWhileOpen, 0);
    QTRY_COMPARE(executed, QByteArrayList { "FREQ 1" });
}

void tst_ScpiServer::portInUseSaid()
{
    kd7010fp_scpiServer other;
    QSignalSpy listening(&other, &kd7010fp_scpiServer::listening);
    QVERIFY(!other.listen(server->serverPort()));
    QVERIFY(!other.isListening());
    QCOMPARE(listening.count(), 1);
    QCOMPARE(listening.first().at(0).toBool(), false);
    QVERIFY2(other.errorString().contains(QString::number(server->serverPort())), qPrintable(other.errorString()));
}

QTEST_MAIN(tst_ScpiServer)
#include "tst_scpiserver.moc"
