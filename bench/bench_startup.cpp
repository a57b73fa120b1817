// Start-up of the panel against a bare Qt 6 program (startup_bare: Qt
// Widgets alone, a message box), each a fresh process, alternated and
// measured in the same run: the time from starting the process to its first
// question drawn on screen (the panel's connection question; goal: at most
// 1.10 times the bare program's) and to its first window (the panel's
// splash), and the resident memory once the panel window is up in demo mode
// (goal: at most the bare program's + 12 MB). The panel's libraries count:
// the bare program loads none of them.
#include <QAbstractButton>
#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <vector>

#define main kd7240fp_programMain
#include "../softfrontpanel/main.cpp"
#undef main
#include "benchsupport.h"
#include "startupwatch.h"

namespace {

const char childVariable[] = "BENCH_STARTUP_CHILD";

void setUpPanelChild()
{
    if (qgetenv(childVariable) != "panel")
        return;
    auto *watch = new StartupWatch("kd7240fp_App");
    qApp->installEventFilter(watch);
    // Demo mode, once the question is on screen: no card to find, the
    // window comes up at once.
    auto *answer = new QTimer(qApp);
    QObject::connect(answer, &QTimer::timeout, [watch] {
        if (QWidget *box = QApplication::activeModalWidget(); box && watch->boxMs >= 0)
            for (QAbstractButton *b : box->findChildren<QAbstractButton *>())
                if (b->text() == QLatin1String("Run In Demo Mode"))
                    b->click();
    });
    answer->start(5);
}
Q_COREAPP_STARTUP_FUNCTION(setUpPanelChild)

struct Sample {
    double ms = 0; // the first window drawn (the panel's splash)
    double boxMs = 0; // the first message box drawn
    double rss = 0;
};

bool runChild(const char *which, const QProcessEnvironment &base, Sample &sample)
{
    QProcess child;
    QProcessEnvironment env = base;
    env.insert(QString::fromLatin1(childVariable), QString::fromLatin1(which));
    child.setProcessEnvironment(env);
    const double started = startupNowMs();
    child.start(qstrcmp(which, "bare") == 0 ? QStringLiteral(SFP_STARTUP_BARE)
                                            : QCoreApplication::applicationFilePath(),
        {});
    if (!child.waitForFinished(30000))
        return false;
    double first = 0, box = 0, rss = 0;
    if (std::sscanf(child.readAllStandardOutput().constData(), "FIRST %lf BOX %lf RSS %lf", &first, &box, &rss) != 3)
        return false;
    sample.ms = first - started;
    sample.boxMs = box - started;
    sample.rss = rss;
    return true;
}

// A virtual X server of its own, for the start-up on a real display server
// (the offscreen platform draws nothing and talks to nobody, so it hides
// what a window costs there). Stopped when the object goes.
class XServer
{
public:
    XServer()
    {
        server.setProgram(QStringLiteral("Xvfb"));
        // -displayfd: the server picks a free display and writes its number.
        server.setArguments({ QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
            QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp") });
        server.start();
        if (!server.waitForStarted(5000) || !server.waitForReadyRead(10000))
            return;
        const QByteArray number = server.readLine().trimmed();
        if (!number.isEmpty())
            display = QStringLiteral(":") + QString::fromLatin1(number);
    }
    ~XServer()
    {
        server.terminate();
        server.waitForFinished(3000);
    }
    QString display;

private:
    QProcess server;
};

struct Figures {
    double bare = 0, panel = 0, bareBox = 0, panelBox = 0, bareRss = 0, panelRss = 0;
};

bool measure(const QProcessEnvironment &env, Figures &f)
{
    std::vector<double> bareMs, panelMs, bareBox, panelBox, bareRss, panelRss;
    for (int run = 0; run < 11; ++run) {
        Sample bare, panel;
        if (!runChild("bare", env, bare) || !runChild("panel", env, panel))
            return false;
        bareMs.push_back(bare.ms);
        panelMs.push_back(panel.ms);
        bareBox.push_back(bare.boxMs);
        panelBox.push_back(panel.boxMs);
        bareRss.push_back(bare.rss);
        panelRss.push_back(panel.rss);
    }
    f = { median(bareMs), median(panelMs), median(bareBox), median(panelBox), median(bareRss), median(panelRss) };
    return true;
}

} // namespace

// The goals hold on the X server; offscreen, where no window is drawn for
// anybody, tells what the libraries and the widgets cost alone.
void report(const char *where, const Figures &f, const char *timeGoal, const char *memoryGoal)
{
    std::printf("bench_startup, %s: first question after %.1f ms, bare Qt program %.1f ms: ratio %.2f%s; first window "
                "(the splash) after %.1f ms: ratio %.2f; resident memory with the panel up %.1f MB, bare Qt %.1f MB: "
                "+%.1f MB%s\n",
        where, f.panelBox, f.bareBox, f.panelBox / f.bareBox, timeGoal, f.panel, f.panel / f.bare, f.panelRss,
        f.bareRss, f.panelRss - f.bareRss, memoryGoal);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv(childVariable) == "panel")
        return kd7240fp_programMain(argc, argv);

    QCoreApplication app(argc, argv);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Figures offscreen;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!measure(env, offscreen)) {
        std::fprintf(stderr, "bench_startup: a child did not report\n");
        return 1;
    }
    report("offscreen", offscreen, "", "");
    XServer x;
    if (x.display.isEmpty()) {
        std::printf("bench_startup, X server: no Xvfb here, not measured\n");
        return 0;
    }
    Figures xcb;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), x.display);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!measure(env, xcb)) {
        std::fprintf(stderr, "bench_startup: a child did not report on the X server\n");
        return 1;
    }
    report("X server", xcb, " (goal <= 1.10)", " (goal <= 12)");
    return 0;
}
