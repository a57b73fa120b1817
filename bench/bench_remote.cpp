// Remote control against the least any server must do, measured in the same
// run on a panel connected to a simulated card:
//  - 1000 FREQ? round trips through a QTcpSocket client against the same
//    round trips to a bare QTcpServer echo server in this process (goal <= 2);
//  - FREQ while generating, from the write to the end of the generate call
//    that plays it, against the operator's frequency box with Live changes
//    ticked, to the end of its generate call (goal <= 1.2);
//  - DATA:ARBitrary with 262143 values, as text and as a float32 block,
//    through the instrument against a bare loop that reads the same text
//    with std::from_chars, or copies and scales the same bytes (goal <= 2).
// BENCH_REMOTE_SPLIT=1 prints, for each frequency change, when the window had
// shown it and when the generate call began and ended.
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QHostAddress>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchgenerate.h"
#include "benchpanel.h"
#include "benchsupport.h"
#include "kd7240.h"
#include "kd7240fp_app.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_instrument.h"
#include "kd7240fp_remote.h"
#include "kd7240fp_remotecontrol.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int queries = 1000;
constexpr int samples = 262143;
constexpr int rounds = 7;

Clock::time_point settingsShown;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Waits for `done`, the event loop running: the servers live in this thread.
template <typename Done> bool waitFor(Done done, double seconds = 5)
{
    const Clock::time_point t0 = Clock::now();
    while (!done()) {
        if (msSince(t0) > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// `count` lines written, each reply line read before the next is written.
double roundTrips(QTcpSocket &client, const QByteArray &line, int count)
{
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        client.write(line);
        client.flush();
        if (!waitFor([&client] { return client.canReadLine(); }))
            return -1;
        client.readLine();
    }
    return msSince(t0);
}

bool connectClient(QTcpSocket &client, quint16 port)
{
    client.connectToHost(QHostAddress::LocalHost, port);
    return waitFor([&client] { return client.state() == QAbstractSocket::ConnectedState; });
}

} // namespace



int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir profile;
    qputenv("ALLUSERSPROFILE", profile.path().toLocal8Bit());
    QApplication app(argc, argv);
    kd7240_fc card;
    const std::unique_ptr<kd7240fp_App> opened = openBenchPanel(&card, "bench_remote");
    if (!opened)
        return 0;
    kd7240fp_App &panel = *opened;
    if (!startBenchRemote(panel, "bench_remote"))
        return 0;
    kd7240fp_instrument &instrument = *panel.remote->control->instrument;

    // --- Round trips: the panel's server against a bare echo server ---
    QTcpServer echo;
    echo.listen(QHostAddress::LocalHost);
    QObject::connect(&echo, &QTcpServer::newConnection, [&echo] {
        QTcpSocket *socket = echo.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            while (socket->canReadLine())
                socket->write(socket->readLine());
        });
    });
    QTcpSocket toPanel, toEcho;
    if (!connectClient(toPanel, panel.remote->port()) || !connectClient(toEcho, echo.serverPort())) {
        std::printf("bench_remote: no connection\n");
        return 0;
    }
    std::vector<double> remoteTrips, echoTrips;
    for (int round = 0; round < rounds + 1; ++round) {
        const double r = roundTrips(toPanel, "FREQ?\n", queries);
        const double e = roundTrips(toEcho, "FREQ?\n", queries);
        if (r < 0 || e < 0) {
            std::printf("bench_remote: a round trip got no reply\n");
            return 0;
        }
        if (round > 0) {
            remoteTrips.push_back(r);
            echoTrips.push_back(e);
        }
    }
    const double trips = median(remoteTrips), bareTrips = median(echoTrips);
    std::printf("bench_remote: %d FREQ? round trips %.1f ms; to a bare echo server %.1f ms; ratio %.2f (goal <= 2)\n",
        queries, trips, bareTrips, trips / bareTrips);

    // --- A frequency change while generating: remote against live ---
    instrument.execute("FUNC SIN;VOLT 2;:SOUR2:FUNC SIN;VOLT 2;:OUTP1 ON;:OUTP2 ON");
    panel.liveBox->setChecked(true);
    if (!panel.model->running()) {
        std::printf("bench_remote: OUTP ON did not generate\n");
        return 0;
    }
    // Changes a spell apart: the window sends the first change after a
    // quiet spell at once, as a client's always is.
    const auto quietSpell = [] {
        QEventLoop loop;
        QTimer::singleShot(kd7240fp_model::liveSpacingMs * 3 / 2, &loop, &QEventLoop::quit);
        loop.exec();
    };
    // Connected after the window: called once it has shown the change.
    QObject::connect(panel.model, &kd7240fp_model::settingsChanged, [] { settingsShown = Clock::now(); });
    // Each change flips the frequency between two values, the two paths
    // taking turns at going first, so each makes both changes alike.
    const bool split = qEnvironmentVariableIsSet("BENCH_REMOTE_SPLIT");
    const auto changeBy = [&](bool remote) -> double {
        quietSpell();
        const int hz = panel.model->settings().common.frequency == 1234 ? 1250 : 1234;
        const Clock::time_point t0 = Clock::now();
        if (remote) {
            toPanel.write("FREQ " + QByteArray::number(hz) + '\n');
            toPanel.flush();
        } else {
            panel.commonSettings->frequencyBox->setValue(hz);
        }
        if (!waitFor([t0] { return generateReturned > t0; }))
            return -1;
        const auto ms = [t0](Clock::time_point t) { return std::chrono::duration<double, std::milli>(t - t0).count(); };
        if (split)
            std::printf("%s: shown %.3f, generate called %.3f, returned %.3f ms\n", remote ? "remote" : "live  ",
                ms(settingsShown), ms(generateCalled), ms(generateReturned));
        return ms(generateReturned);
    };
    std::vector<double> remoteChanges, liveChanges;
    for (int round = 0; round < 25 + 3; ++round) {
        const bool remoteFirst = round % 2 == 0;
        const double first = changeBy(remoteFirst), second = changeBy(!remoteFirst);
        if (first < 0 || second < 0) {
            std::printf("bench_remote: a frequency change made no generate call\n");
            return 0;
        }
        if (round >= 3) {
            remoteChanges.push_back(remoteFirst ? first : second);
            liveChanges.push_back(remoteFirst ? second : first);
        }
    }
    const double change = median(remoteChanges), liveChange = median(liveChanges);
    std::printf("bench_remote: FREQ while generating to the generate call %.3f ms; the frequency box with Live "
                "changes %.3f ms; ratio %.2f (goal <= 1.2)\n",
        change, liveChange, change / liveChange);
    // The frequencies above are not all the clock's: their -222 notes go, so
    // that the error queue speaks of the shapes alone.
    instrument.execute("OUTP1 OFF;:OUTP2 OFF;*CLS");

    // --- A shape of 262143 values: as text, and as a float32 block ---
    std::vector<double> shape(samples);
    for (int i = 0; i < samples; ++i)
        shape[size_t(i)] = std::sin(6.283185307179586 * i / samples);
    QByteArray text = "DATA:ARB BENCH";
    QByteArray bytes(samples * 4, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i) {
        text += ", " + QByteArray::number(shape[size_t(i)], 'g', 15);
        qToBigEndian(float(shape[size_t(i)]), bytes.data() + 4 * i);
    }
    const QByteArray length = QByteArray::number(bytes.size());
    const QByteArray block = "DATA:ARB BENCH, #" + QByteArray::number(length.size()) + length + bytes;

    std::vector<double> values(samples);
    // The least a reader of the text does: a number from each field.
    const auto bareText = [&] {
        const char *p = text.constData() + text.indexOf(',');
        const char *end = text.constData() + text.size();
        for (double &v : values) {
            p += 2; // ", "
            p = std::from_chars(p, end, v).ptr;
        }
    };
    // And of the block: each big-endian float copied, scaled to -1..1.
    const auto bareBlock = [&] {
        const char *p = block.constData() + block.size() - bytes.size();
        for (double &v : values) {
            v = double(qFromBigEndian<float>(p)) / 1.0;
            p += 4;
        }
    };
    const auto timed = [](auto run) {
        const Clock::time_point t0 = Clock::now();
        run();
        return msSince(t0);
    };
    std::vector<double> asText, bareTexts, asBlock, bareBlocks;
    for (int round = 0; round < 2 * rounds + 1; ++round) {
        // Taking turns at going first: the second finds the bytes in the cache.
        const bool bareFirst = round % 2;
        double bt = bareFirst ? timed(bareText) : 0;
        const double t = timed([&] { instrument.execute(text); });
        bt = bareFirst ? bt : timed(bareText);
        double bb = bareFirst ? timed(bareBlock) : 0;
        const double b = timed([&] { instrument.execute(block); });
        bb = bareFirst ? bb : timed(bareBlock);
        if (round > 0) {
            asText.push_back(t);
            bareTexts.push_back(bt);
            asBlock.push_back(b);
            bareBlocks.push_back(bb);
        }
    }
    const QByteArray error = instrument.execute("SYST:ERR?").trimmed();
    if (std::fabs(values[samples / 4] - 1) > 1e-6) {
        std::printf("bench_remote: the bare loops read something else\n");
        return 0;
    }
    if (!error.startsWith("+0")) {
        std::printf("bench_remote: DATA:ARB failed: %s\n", error.constData());
        return 0;
    }
    std::printf("bench_remote: DATA:ARB of %d values as text (%.1f MB) %.1f ms; std::from_chars over it %.1f ms; "
                "ratio %.2f (goal <= 2)\n",
        samples, text.size() / 1e6, median(asText), median(bareTexts), median(asText) / median(bareTexts));
    std::printf("bench_remote: DATA:ARB of %d values as a float32 block %.2f ms; copied and scaled bare %.2f ms; "
                "ratio %.2f (goal <= 2)\n",
        samples, median(asBlock), median(bareBlocks), median(asBlock) / median(bareBlocks));
    return 0;
}
