// VXI-11 against the raw socket, measured in the same run on a panel
// connected to a simulated card, with the clients a lab uses:
//  - 1000 *IDN? round trips with pyvisa-py, TCPIP0::127.0.0.1::inst0::INSTR
//    against TCPIP0::127.0.0.1::<port>::SOCKET (goal <= 2);
//  - the same with lxi-tools' benchmark, VXI-11 against -r (goal <= 2);
//  - DATA:ARBitrary with a 262143-value float32 block and *OPC?, with
//    pyvisa-py over both (goal <= 1.5).
// The clients run as programs beside this one while its event loop serves
// them. Without rpcbind, pyvisa-py or lxi-tools the figure is skipped, said.
#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "benchpanel.h"
#include "kd7010fp_vxi11server.h"
#include "kd7240fp_app.h"
#include "kd7240fp_remote.h"
#include "kd7240fp_remotecontrol.h"

namespace {

// pyvisa-py's times in ms, one "<what> <ms>" a line, medians of 5 rounds.
const char *pyvisaScript = R"(
import statistics, sys, time, pyvisa
rm = pyvisa.ResourceManager("@py")
socket = rm.open_resource(f"TCPIP0::127.0.0.1::{sys.argv[1]}::SOCKET", read_termination="\n",
                          write_termination="\n", timeout=20000)
vxi11 = rm.open_resource("TCPIP0::127.0.0.1::inst0::INSTR", timeout=20000)
block = [((i % 200) - 100) / 128 for i in range(262143)]
def idn(inst):
    t = time.perf_counter()
    for _ in range(1000):
        inst.query("*IDN?")
    return (time.perf_counter() - t) * 1000
def arb(inst):
    t = time.perf_counter()
    inst.write_binary_values("DATA:ARB BENCH, ", block, datatype="f", is_big_endian=True)
    inst.query("*OPC?")
    return (time.perf_counter() - t) * 1000
for what, f in (("idn", idn), ("block", arb)):
    s, v = [], []
    for _ in range(5):
        s.append(f(socket))
        v.append(f(vxi11))
    print(what, statistics.median(s), statistics.median(v), flush=True)
for inst in (socket, vxi11):
    print("errors", inst.query("SYST:ERR?").strip())
)";

// Runs `program` while the event loop serves the panel; its output.
QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const auto t0 = std::chrono::steady_clock::now();
    while (process.state() != QProcess::NotRunning && std::chrono::steady_clock::now() - t0 < std::chrono::minutes(5))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    process.waitForFinished(1000);
    return process.readAll();
}

// lxi's requests per second for `arguments`, 0 when it said none.
double lxiRate(const QStringList &arguments)
{
    const QByteArray out = run(QStringLiteral("lxi"), QStringList { QStringLiteral("benchmark") } + arguments);
    const auto match = QRegularExpression(QStringLiteral("([0-9.]+) requests/second")).match(QString::fromLatin1(out));
    if (!match.hasMatch())
        std::printf("bench_vxi11: lxi said: %s\n", out.trimmed().constData());
    return match.hasMatch() ? match.captured(1).toDouble() : 0;
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
    const std::unique_ptr<kd7240fp_App> opened = openBenchPanel(&card, "bench_vxi11");
    if (!opened)
        return 0;
    kd7240fp_App &panel = *opened;
    if (!startBenchRemote(panel, "bench_vxi11"))
        return 0;
    if (!panel.remote->control->vxi11->isListening()
        || !run(QStringLiteral("rpcinfo"), { QStringLiteral("-p"), QStringLiteral("127.0.0.1") }).contains(" 395183 ")) {
        std::printf("bench_vxi11: skipped: VXI-11 is not registered (is rpcbind running?)\n");
        return 0;
    }
    const QString port = QString::number(panel.remote->port());

    const QByteArray measured
        = run(QStringLiteral("/usr/bin/python3"), { QStringLiteral("-c"), QString::fromLatin1(pyvisaScript), port });
    double idnSocket = 0, idnVxi11 = 0, blockSocket = 0, blockVxi11 = 0;
    for (const QByteArray &line : measured.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "idn")
            idnSocket = f[1].toDouble(), idnVxi11 = f[2].toDouble();
        else if (f.size() == 3 && f[0] == "block")
            blockSocket = f[1].toDouble(), blockVxi11 = f[2].toDouble();
        else if (f[0] == "errors" && !line.contains("+0,"))
            std::printf("bench_vxi11: the panel said %s\n", line.constData());
    }
    if (idnSocket <= 0 || blockSocket <= 0) {
        std::printf("bench_vxi11: skipped: pyvisa-py measured nothing: %s\n", measured.trimmed().right(400).constData());
    } else {
        std::printf("bench_vxi11: pyvisa-py, 1000 *IDN? round trips over VXI-11 %.1f ms; over the socket %.1f ms; "
                    "ratio %.2f (goal <= 2)\n",
            idnVxi11, idnSocket, idnVxi11 / idnSocket);
        std::printf("bench_vxi11: pyvisa-py, a 262143-value float32 block over VXI-11 %.1f ms (%d calls of %u bytes); "
                    "over the socket %.1f ms; ratio %.2f (goal <= 1.5)\n",
            blockVxi11, int(262143 * 4 / kd7010fp_vxi11Server::maxRecvSize + 1), kd7010fp_vxi11Server::maxRecvSize,
            blockSocket, blockVxi11 / blockSocket);
    }

    const double lxiVxi11 = lxiRate({ QStringLiteral("-a"), QStringLiteral("127.0.0.1"), QStringLiteral("-c"),
        QStringLiteral("1000") });
    const double lxiRaw = lxiRate({ QStringLiteral("-a"), QStringLiteral("127.0.0.1"), QStringLiteral("-r"),
        QStringLiteral("-p"), port, QStringLiteral("-c"), QStringLiteral("1000") });
    if (lxiVxi11 > 0 && lxiRaw > 0)
        std::printf("bench_vxi11: lxi benchmark, 1000 *IDN?: VXI-11 %.0f requests/s, socket %.0f requests/s; time "
                    "ratio %.2f (goal <= 2)\n",
            lxiVxi11, lxiRaw, lxiRaw / lxiVxi11);
    else
        std::printf("bench_vxi11: skipped: lxi benchmark measured nothing (Debian: lxi-tools)\n");
    return 0;
}
