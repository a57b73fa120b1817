// Start-up of the panel against a bare Qt program (a message box), each a
// fresh process, alternated and measured in the same run: the
// time from starting the process to its first window drawn on screen (the
// panel's splash; goal: at most 1.10 times the bare program's), and the
// resident memory once the panel window is up in demo mode (goal: at most the
// bare program's + 12 MB).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#define main kd7240fp_programMain
#include "../softfrontpanel/main.cpp"
#include "benchsupport.h"
#undef main

namespace {

const char childVariable[] = "BENCH_STARTUP_CHILD";

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}


// In a child: notes when the first window and the first message box are
// drawn, and once the window that counts is up (`finalClass`, or any for the
// bare program) prints the figures and ends the process.
class Watch : public QObject
{
public:
    explicit Watch(const char *finalClass) : finalClass(finalClass) {}

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *w = qobject_cast<QWidget *>(object);
        if (!w || !w->isWindow())
            return false;
        if (event->type() == QEvent::Paint && firstMs < 0)
            firstMs = nowMs();
        if (event->type() == QEvent::Paint && boxMs < 0 && qobject_cast<QMessageBox *>(w))
            boxMs = nowMs();
        if (event->type() == QEvent::Show && (!finalClass || qstrcmp(w->metaObject()->className(), finalClass) == 0))
            QTimer::singleShot(200, [this] {
                std::printf("FIRST %.3f BOX %.3f RSS %.2f\n", firstMs, boxMs, residentMB());
                std::fflush(stdout);
                std::_Exit(0);
            });
        return false;
    }

    double boxMs = -1;

private:
    const char *finalClass;
    double firstMs = -1;
};

void setUpPanelChild()
{
    if (qgetenv(childVariable) != "panel")
        return;
    auto *watch = new Watch("kd7240fp_App");
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
    double ms = 0; // the first window drawn
    double boxMs = 0; // the first message box drawn
    double rss = 0;
};

bool runChild(const char *which, const QProcessEnvironment &base, Sample &sample)
{
    QProcess child;
    QProcessEnvironment env = base;
    env.insert(QString::fromLatin1(childVariable), QString::fromLatin1(which));
    child.setProcessEnvironment(env);
    const double started = nowMs();
    child.start(QCoreApplication::applicationFilePath(), {});
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

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray child = qgetenv(childVariable);
    if (child == "panel")
        return kd7240fp_programMain(argc, argv);
    if (child == "bare") {
        // A bare program asking its first question: a message box.
        QApplication app(argc, argv);
        app.installEventFilter(new Watch(nullptr));
        QMessageBox box(QMessageBox::Question, QStringLiteral("Vantix 7240"), QStringLiteral("How to connect?"),
            QMessageBox::Ok | QMessageBox::Cancel);
        box.show();
        return app.exec();
    }

    QCoreApplication app(argc, argv);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Figures offscreen;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!measure(env, offscreen)) {
        std::fprintf(stderr, "bench_startup: a child did not report\n");
        return 1;
    }
    std::printf("bench_startup, offscreen: first window after %.1f ms, bare Qt program %.1f ms: ratio %.2f (goal <= "
                "1.10); first question after %.1f ms, bare %.1f ms: ratio %.2f; resident memory with the panel up "
                "%.1f MB, bare Qt %.1f MB: +%.1f MB (goal <= 12)\n",
        offscreen.panel, offscreen.bare, offscreen.panel / offscreen.bare, offscreen.panelBox, offscreen.bareBox,
        offscreen.panelBox / offscreen.bareBox, offscreen.panelRss, offscreen.bareRss,
        offscreen.panelRss - offscreen.bareRss);
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
    std::printf("bench_startup, X server: first window after %.1f ms, bare Qt program %.1f ms: ratio %.2f; first "
                "question after %.1f ms, bare %.1f ms: ratio %.2f (goal <= 1.10); resident memory with the panel up "
                "%.1f MB, bare Qt %.1f MB: +%.1f MB (goal <= 12)\n",
        xcb.panel, xcb.bare, xcb.panel / xcb.bare, xcb.panelBox, xcb.bareBox, xcb.panelBox / xcb.bareBox, xcb.panelRss,
        xcb.bareRss, xcb.panelRss - xcb.bareRss);
    return 0;
}
