// Start-up of the panel against a bare Qt program (a window with a line of
// text), each a fresh process, alternated and measured in the same run: the
// time from starting the process to its first window drawn on screen (the
// panel's splash; goal: at most 1.10 times the bare program's), and the
// resident memory once the panel window is up in demo mode (goal: at most the
// bare program's + 12 MB).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
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


// In a child: notes when the first window is exposed, and once the window
// that counts is up (`finalClass`, or any for the bare program) prints both
// figures and ends the process.
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
        if (event->type() == QEvent::Show && (!finalClass || qstrcmp(w->metaObject()->className(), finalClass) == 0))
            QTimer::singleShot(200, [this] {
                std::printf("FIRST %.3f RSS %.2f\n", firstMs, residentMB());
                std::fflush(stdout);
                std::_Exit(0);
            });
        return false;
    }

private:
    const char *finalClass;
    double firstMs = -1;
};

void setUpPanelChild()
{
    if (qgetenv(childVariable) != "panel")
        return;
    qApp->installEventFilter(new Watch("kd7240fp_App"));
    // Demo mode: no card to find, the window comes up at once.
    auto *answer = new QTimer(qApp);
    QObject::connect(answer, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            for (QAbstractButton *b : box->findChildren<QAbstractButton *>())
                if (b->text() == QLatin1String("Run In Demo Mode"))
                    b->click();
    });
    answer->start(5);
}
Q_COREAPP_STARTUP_FUNCTION(setUpPanelChild)

struct Sample {
    double ms = 0;
    double rss = 0;
};

bool runChild(const char *which, Sample &sample)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(childVariable), QString::fromLatin1(which));
    child.setProcessEnvironment(env);
    const double started = nowMs();
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(30000))
        return false;
    double first = 0, rss = 0;
    if (std::sscanf(child.readAllStandardOutput().constData(), "FIRST %lf RSS %lf", &first, &rss) != 2)
        return false;
    sample.ms = first - started;
    sample.rss = rss;
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
        QApplication app(argc, argv);
        app.installEventFilter(new Watch(nullptr));
        QLabel window(QStringLiteral("Vantix 7240"));
        window.resize(640, 480);
        window.show();
        return app.exec();
    }

    QCoreApplication app(argc, argv);
    std::vector<double> bareMs, panelMs, bareRss, panelRss;
    for (int run = 0; run < 11; ++run) {
        Sample bare, panel;
        if (!runChild("bare", bare) || !runChild("panel", panel)) {
            std::fprintf(stderr, "bench_startup: a child did not report\n");
            return 1;
        }
        bareMs.push_back(bare.ms);
        panelMs.push_back(panel.ms);
        bareRss.push_back(bare.rss);
        panelRss.push_back(panel.rss);
    }
    const double b = median(bareMs), p = median(panelMs);
    const double br = median(bareRss), pr = median(panelRss);
    std::printf("bench_startup: first window after %.1f ms, bare Qt program %.1f ms: ratio %.2f (goal <= 1.10); "
                "resident memory with the panel up %.1f MB, bare Qt %.1f MB: +%.1f MB (goal <= 12)\n",
        p, b, p / b, pr, br, pr - br);
    return 0;
}
