// The program's start-up and its two early exits, each in a child process
// running the program's own main(): the splash while the connection flow
// runs, the window shown centred, the teardown, and exit status 0 always;
// and the splash picture drawn beforehand against the composer's.
#include <QFontInfo>
#include <QMessageBox>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "kd7240fp_comset.h"
#include "kd7240fp_setup.h"
#include "kdsim.h"
#include "modalscript.h"

#define main kd7240fp_programMain
#include "../softfrontpanel/main.cpp"
#undef main

namespace {

const char scenarioVariable[] = "SFP_STARTUP_SCENARIO";

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Reports what the operator would see appear and disappear, and closes the
// panel window once it is up (the exit question is answered by the script).
class Watcher : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(object);
        if (!widget || !widget->isWindow())
            return false;
        const char *name = widget->metaObject()->className();
        const bool watched = qstrcmp(name, "QSplashScreen") == 0 || qstrcmp(name, "kd7240fp_App") == 0;
        if (watched && event->type() == QEvent::Show) {
            say(QStringLiteral("SHOWN %1").arg(QString::fromLatin1(name)));
            if (auto *panel = qobject_cast<kd7240fp_App *>(widget)) {
                say(QStringLiteral("FREQUENCY %1").arg(panel->commonSettings->frequencyBox->value()));
                const QRect g = widget->geometry();
                const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
                say(QStringLiteral("PLACED %1 %2 EXPECTED %3 %4")
                        .arg(g.x())
                        .arg(g.y())
                        .arg((a.right() - a.left() - (g.right() - g.left())) / 2)
                        .arg((a.bottom() - a.top() - (g.bottom() - g.top())) / 2));
                // The splash goes once the window is up, its picture with it:
                // looked for until it has gone, or for 5 s.
                auto *look = new QTimer(widget);
                QObject::connect(look, &QTimer::timeout, widget, [widget, look, tries = 0]() mutable {
                    const QWidgetList windows = QApplication::topLevelWidgets();
                    const auto splashes = std::count_if(windows.cbegin(), windows.cend(),
                        [](QWidget *w) { return qobject_cast<QSplashScreen *>(w) != nullptr; });
                    if (splashes > 0 && ++tries < 100)
                        return;
                    look->stop();
                    say(QStringLiteral("SPLASHES LEFT %1").arg(splashes));
                    widget->close();
                });
                look->start(50);
            }
        } else if (auto *box = qobject_cast<QMessageBox *>(widget); box && event->type() == QEvent::Show) {
            say(QStringLiteral("BOX ") + box->text().replace(QLatin1Char('\n'), QLatin1String(" | ")));
        } else if (watched && event->type() == QEvent::Hide) {
            say(QStringLiteral("HIDDEN %1").arg(QString::fromLatin1(name)));
        }
        return false;
    }
};

// Runs inside the child once main() has built its QApplication.
void setUpChild()
{
    const QByteArray scenario = qgetenv(scenarioVariable);
    // Command-line options are answered on a plain QCoreApplication.
    if (scenario.isEmpty() || scenario.startsWith("splash@")
        || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    qApp->installEventFilter(new Watcher(qApp));
    auto *script = new ModalScript(qApp);
    if (scenario == "cancel") {
        script->answer(QStringLiteral("Cancel"));
    } else if (scenario == "told") {
        // A notice once the window is up, then the exit question.
        script->answer(QStringLiteral("Auto Find")).answer(QStringLiteral("OK")).answer(QStringLiteral("Yes"));
    } else if (scenario == "unwritable") {
        script->answer(QStringLiteral("Auto Find"))
            .answer(QStringLiteral("OK"))
            .answer(QStringLiteral("Yes"))
            .answer(QStringLiteral("Close anyway"));
    } else if (scenario == "connected") {
        // Connected by the command line: only the exit question is asked.
        script->answer(QStringLiteral("Yes"));
    } else if (scenario == "connected, told") {
        script->answer(QStringLiteral("OK")).answer(QStringLiteral("Yes"));
    } else if (scenario == "fallback") {
        script->answer(QStringLiteral("OK")).answer(QStringLiteral("Auto Find")).answer(QStringLiteral("Yes"));
    } else if (scenario == "error-yes") {
        kdsim::addFault("kd7240_getOutputLimits", ViStatus(0xBFFC0803), 1);
        script->answer(QStringLiteral("Auto Find")).answer(QStringLiteral("Yes"));
    } else {
        script->answer(QStringLiteral("Auto Find")).answer(QStringLiteral("Yes"));
    }
}
Q_COREAPP_STARTUP_FUNCTION(setUpChild)

struct ChildRun
{
    int exitCode = -1;
    bool crashed = true;
    QStringList lines;
    QStringList calls; // from the simulated system's trace
};

} // namespace

class tst_startup : public QObject
{
    Q_OBJECT

private slots:
    void normalRunShowsSplashThenWindow();
    void cancelEndsBeforeAnyWindow();
    void errorAnsweredYesEndsAtOnce();
    void commandLine_data();
    void commandLine();
    void commandLineReachesTheCard_data();
    void commandLineReachesTheCard();
    void lastSettingsAreTakenUp_data();
    void lastSettingsAreTakenUp();
    void splashIsTheComposedPicture_data();
    void splashIsTheComposedPicture();

private:
    ChildRun runChild(const QByteArray &scenario, const QStringList &arguments = {});
};

ChildRun tst_startup::runChild(const QByteArray &scenario, const QStringList &arguments)
{
    ChildRun run;
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.jsonl"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(scenarioVariable), QString::fromLatin1(scenario));
    env.insert(QStringLiteral("KDSIM_SYSTEM"), QStringLiteral(SFP_TEST_SYSTEMS "/panel_vxi.json"));
    env.insert(QStringLiteral("KDSIM_TRACE"), trace);
    if (scenario == "options") {
        // Options need no display: a window here would abort the child.
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        return run;
    }
    run.crashed = child.exitStatus() != QProcess::NormalExit;
    run.exitCode = child.exitCode();
    run.lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QFile file(trace);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                run.calls << QJsonDocument::fromJson(line).object().value(QLatin1String("call")).toString();
    return run;
}

void tst_startup::normalRunShowsSplashThenWindow()
{
    const ChildRun run = runChild("run");
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    const QStringList shown = run.lines.filter(QRegularExpression(QStringLiteral("^(SHOWN|HIDDEN)")));
    QCOMPARE(shown.mid(0, 3), (QStringList { "SHOWN QSplashScreen", "SHOWN kd7240fp_App", "HIDDEN QSplashScreen" }));
    const QStringList placed = run.lines.filter(QStringLiteral("PLACED")).value(0).split(QLatin1Char(' '));
    QCOMPARE(placed.size(), 6);
    QCOMPARE(placed[1], placed[4]);
    QCOMPARE(placed[2], placed[5]);
    QVERIFY(run.lines.contains(QStringLiteral("SPLASHES LEFT 0")));
    QVERIFY(run.lines.contains(QStringLiteral("MAIN RETURNED 0")));
    // The window went away before main returned, closing the session.
    QVERIFY(run.calls.contains(QStringLiteral("kd7240_init")));
    QCOMPARE(run.calls.filter(QStringLiteral("kd7240_")).last(), QStringLiteral("kd7240_close"));
}

void tst_startup::cancelEndsBeforeAnyWindow()
{
    const ChildRun run = runChild("cancel");
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.contains(QStringLiteral("SHOWN QSplashScreen")));
    QVERIFY(!run.lines.contains(QStringLiteral("SHOWN kd7240fp_App")));
    QVERIFY(!run.lines.contains(QStringLiteral("MAIN RETURNED 0")));
    QVERIFY(!run.calls.contains(QStringLiteral("kd7240_init")));
}

void tst_startup::errorAnsweredYesEndsAtOnce()
{
    const ChildRun run = runChild("error-yes");
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.lines.contains(QStringLiteral("SHOWN kd7240fp_App")));
    QVERIFY(!run.lines.contains(QStringLiteral("MAIN RETURNED 0")));
    // The process ended inside the report: nothing after the failed call,
    // and the session was left open.
    QCOMPARE(run.calls.filter(QStringLiteral("kd7240_")).last(), QStringLiteral("kd7240_error_message"));
    QVERIFY(!run.calls.contains(QStringLiteral("kd7240_close")));
}

void tst_startup::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("--help") << QStringList { "--help" } << 0 << "Usage: ";
    QTest::newRow("-h") << QStringList { "-h" } << 0 << "-v, --version";
    QTest::newRow("--version")
        << QStringList { "--version" } << 0
        << "kd7240fp " SFP_VERSION "\nCopyright (C) 2009-2026 Keldor Instruments.\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
    QTest::newRow("unknown option") << QStringList { "--frobnicate" } << 1 << "kd7240fp: Unknown option 'frobnicate'.";
    QTest::newRow("argument") << QStringList { "VXI0::8::INSTR" } << 1 << "Unexpected argument 'VXI0::8::INSTR'";
    // Qt's own options pass on to the application (which here finds no display).
    QTest::newRow("Qt's option") << QStringList { "-style", "Fusion", "--version" } << 0 << "kd7240fp " SFP_VERSION;
    QTest::newRow("X11 -name") << QStringList { "-name", "bench2", "--version" } << 0 << "kd7240fp " SFP_VERSION;
    QTest::newRow("X11 -title") << QStringList { "-title", "AWG bench 2", "--version" } << 0 << "kd7240fp " SFP_VERSION;
    QTest::newRow("X11 -icon") << QStringList { "-icon", "/tmp/awg.png", "--version" } << 0 << "kd7240fp " SFP_VERSION;
    QTest::newRow("--card alone") << QStringList { "--card", "2" } << 1 << "kd7240fp: --card needs --connect.";
    QTest::newRow("--card 0") << QStringList { "--connect", "VXI0::8::INSTR", "--card", "0" } << 1
                              << "kd7240fp: --card takes a function-card number from 1 to 8, not '0'.";
    QTest::newRow("--connect and --demo") << QStringList { "--connect", "VXI0::8::INSTR", "--demo" } << 1
                                          << "kd7240fp: --connect and --demo exclude each other.";
}

void tst_startup::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const ChildRun run = runChild("options", arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, exitCode);
    const QString printed = run.lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    QVERIFY2(printed.contains(output), qPrintable(printed));
    QVERIFY(run.calls.isEmpty());
}

// The picture the program shows is the one its composer makes for the card,
// at 100 % and 200 %. The pre-drawn one has DejaVu Sans as the default font.
void tst_startup::splashIsTheComposedPicture_data()
{
    QTest::addColumn<QByteArray>("scale");
    QTest::newRow("100 %") << QByteArray("1");
    QTest::newRow("200 %") << QByteArray("2");
}

void tst_startup::splashIsTheComposedPicture()
{
    QFETCH(QByteArray, scale);
    const ChildRun run = runChild("splash@" + scale);
    QVERIFY(!run.crashed);
    const QString result = run.lines.filter(QStringLiteral("SPLASH")).value(0);
    if (result.startsWith(QLatin1String("SPLASH FONT")))
        QSKIP(qPrintable(result.mid(12) + QStringLiteral(" is the default font here, not DejaVu Sans")));
    QVERIFY2(result == QLatin1String("SPLASH SAME"),
        "the pre-drawn splash screen is not the composed one: run tools/drawimages");
}

// A test rack starts the panel unattended: the command line reaches the card
// (or demo mode) without the connection dialog and presses Start; a card
// that does not open is said, and the dialog asks as usual.
void tst_startup::commandLineReachesTheCard_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<QStringList>("boxes"); // the beginnings of the boxes shown, in order
    QTest::addColumn<QStringList>("calls"); // of the card's driver, in order, among others
    QTest::addColumn<double>("amplitude"); // of the setup's sine
    QTest::addColumn<double>("offset");
    QTest::addColumn<QString>("said"); // the beginning of a line on standard error; empty: none
    const QString ask = QStringLiteral("BOX How to connect to 7240 Function Card?");
    const QString exit = QStringLiteral("BOX Do you really want to exit?");
    const QString fitted = QStringLiteral("\"sine.kd7240\" holds values beyond this card's output range");
    // clang-format off
    QTest::newRow("--connect, --start")
        << QStringList { "--connect", "VXI0::8::INSTR", "--card", "2", "--setup", "SETUP", "--start" }
        << QByteArray("connected") << QStringList { exit }
        << QStringList { "kd7240_init", "kd7240_generateWaveform", "kd7240_close" } << 1.0 << 0.0 << QString();
    // 6 V on 3 V reaches 9 V on a card of -5 to 8 V: fitted as a pair, it
    // plays, and what was changed is said after the start, never before it.
    QTest::newRow("--start with values fitted")
        << QStringList { "--connect", "VXI0::8::INSTR", "--card", "2", "--setup", "SETUP", "--start" }
        << QByteArray("connected, told") << QStringList { "BOX " + fitted, exit }
        << QStringList { "kd7240_init", "kd7240_generateWaveform", "kd7240_close" } << 6.0 << 3.0
        << "kd7240fp: " + fitted;
    QTest::newRow("--setup that cannot be read")
        << QStringList { "--connect", "VXI0::8::INSTR", "--card", "2", "--setup", "/nowhere/gone.kd7240", "--start" }
        << QByteArray("connected, told") << QStringList { "BOX The setup \"/nowhere/gone.kd7240\" was not taken up: ", exit }
        << QStringList { "kd7240_init", "kd7240_close" } << 1.0 << 0.0
        << "kd7240fp: The setup \"/nowhere/gone.kd7240\" was not taken up: ";
    QTest::newRow("--demo") << QStringList { "--demo" } << QByteArray("connected") << QStringList { exit }
                            << QStringList() << 1.0 << 0.0 << QString();
    QTest::newRow("--connect to nothing")
        << QStringList { "--connect", "VXI0::9::INSTR" } << QByteArray("fallback")
        << QStringList { "BOX Cannot connect to VXI0::9::INSTR, function card 1: ", ask, exit }
        << QStringList { "kd7240_init", "kd7240_init", "kd7240_close" } << 1.0 << 0.0
        << "kd7240fp: Cannot connect to VXI0::9::INSTR";
    // clang-format on
}

void tst_startup::commandLineReachesTheCard()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, scenario);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, calls);
    QFETCH(double, amplitude);
    QFETCH(double, offset);
    QFETCH(QString, said);
    QTemporaryDir dir;
    kd7240fp::Settings sine;
    sine.channel[0].waveType = kd7240fp::waveSine;
    sine.channel[0].amplitude = amplitude;
    sine.channel[0].offset = offset;
    QString error;
    QVERIFY(kd7240fp::writeSetupFile(dir.filePath(QStringLiteral("sine.kd7240")), sine, &error));
    arguments.replaceInStrings(QStringLiteral("SETUP"), dir.filePath(QStringLiteral("sine.kd7240")));
    const ChildRun run = runChild(scenario, arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    const QStringList shown = run.lines.filter(QRegularExpression(QStringLiteral("^BOX ")));
    QCOMPARE(shown.size(), boxes.size());
    for (int k = 0; k < boxes.size(); ++k)
        QVERIFY2(shown[k].startsWith(boxes[k]), qPrintable(shown[k]));
    const QStringList driver = run.calls.filter(QRegularExpression(QStringLiteral("^kd7240_(init|generate|close)")));
    QCOMPARE(driver, calls);
    const QStringList errors = run.lines.filter(QRegularExpression(QStringLiteral("^kd7240fp: ")));
    QVERIFY2(said.isEmpty() ? errors.isEmpty() : !errors.filter(said).isEmpty(), qPrintable(errors.join('\n')));
}

// The panel closes with its settings kept beside the address history and
// takes them up at the next start, unless told otherwise. A damaged file, or
// one that cannot be written, is told in the window: started from the
// desktop's menu, nobody reads standard error.
void tst_startup::lastSettingsAreTakenUp_data()
{
    QTest::addColumn<QByteArray>("last"); // empty: no file; "folder": a folder in its place
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<QStringList>("said"); // the boxes about the settings, each by its beginning
    kd7240fp::Settings kept;
    kept.common.frequency = 4321;
    const QByteArray keptText = kd7240fp::writeSetup(kept);
    // clang-format off
    const QString notRestored = QStringLiteral("BOX The settings of the last run were not restored: ");
    QTest::newRow("first start") << QByteArray() << QStringList() << QByteArray("run") << 1000 << QStringList();
    QTest::newRow("as it was") << keptText << QStringList() << QByteArray("run") << 4321 << QStringList();
    QTest::newRow("--no-restore") << keptText << QStringList { "--no-restore" } << QByteArray("run") << 1000
                                  << QStringList();
    QTest::newRow("--setup") << keptText << QStringList { "--setup", "SETUP" } << QByteArray("run") << 777
                             << QStringList();
    // Told (see commandLineReachesTheCard), and the last settings taken instead of the defaults.
    QTest::newRow("--setup that cannot be read") << keptText << QStringList { "--setup", "/nowhere/gone.kd7240" }
                                                 << QByteArray("told") << 4321 << QStringList();
    QTest::newRow("damaged") << QByteArray("{\"setup\"") << QStringList() << QByteArray("told") << 1000
                             << QStringList { notRestored + "\"Last.kd7240\" is not a setup:" };
    QTest::newRow("cannot be written") << QByteArray("folder") << QStringList() << QByteArray("unwritable") << 1000
                                       << QStringList { notRestored + "Cannot read \"Last.kd7240\": it is not a file.",
                                              "BOX The settings cannot be kept for the next start: Cannot write" };
    // clang-format on
}

void tst_startup::lastSettingsAreTakenUp()
{
    QFETCH(QByteArray, last);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, scenario);
    QFETCH(int, frequency);
    QFETCH(QStringList, said);
    const QString path = kd7240fp_App::lastSetupPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QDir(path).removeRecursively(); // left by a row that failed
    QFile::remove(path);
    QFile::remove(path + ".bak");
    if (last == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (!last.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(last);
    }
    QTemporaryDir dir;
    kd7240fp::Settings asked;
    asked.common.frequency = 777;
    QString error;
    QVERIFY(kd7240fp::writeSetupFile(dir.filePath(QStringLiteral("asked.kd7240")), asked, &error));
    arguments.replaceInStrings(QStringLiteral("SETUP"), dir.filePath(QStringLiteral("asked.kd7240")));

    const ChildRun run = runChild(scenario, arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.lines.contains(QStringLiteral("FREQUENCY %1").arg(frequency)), qPrintable(run.lines.join('\n')));
    const QStringList boxes = run.lines.filter(QRegularExpression(QStringLiteral("^BOX The settings")));
    QCOMPARE(boxes.size(), said.size());
    for (int k = 0; k < said.size(); ++k)
        QVERIFY2(boxes[k].startsWith(said[k]), qPrintable(boxes[k]));
    if (last == "folder") {
        QVERIFY(QDir().rmdir(path));
        return;
    }
    // What the panel closed with is kept for the next start; a damaged
    // file it wrote over is kept beside it.
    const kd7240fp::SetupRead kept = kd7240fp::readSetupFile(path);
    QVERIFY2(kept.ok, qPrintable(kept.error));
    QCOMPARE(kept.settings.common.frequency, frequency);
    QFile backup(path + ".bak");
    const bool damaged = !last.isEmpty() && !kd7240fp::readSetup(last, QStringLiteral("Last.kd7240")).ok;
    QCOMPARE(backup.open(QIODevice::ReadOnly) ? backup.readAll() : QByteArray(), damaged ? last : QByteArray());
    QFile::remove(path);
    QFile::remove(path + ".bak");
}

int main(int argc, char *argv[])
{
    const QByteArray scenario = qgetenv(scenarioVariable);
    if (scenario.startsWith("splash@")) {
        qputenv("QT_SCALE_FACTOR", scenario.mid(7));
        QApplication app(argc, argv);
        kd7240_fc card;
        const QString family = QFontInfo(QApplication::font()).family();
        const QPixmap drawn = drawnSplash();
        const QPixmap composed = composedSplash(card);
        if (family != QLatin1String("DejaVu Sans"))
            say(QStringLiteral("SPLASH FONT ") + family);
        else if (drawn.deviceIndependentSize() == composed.deviceIndependentSize()
            && drawn.toImage().convertToFormat(QImage::Format_RGB32)
                == composed.toImage().convertToFormat(QImage::Format_RGB32))
            say(QStringLiteral("SPLASH SAME"));
        else
            say(QStringLiteral("SPLASH DIFFERENT"));
        return 0;
    }
    if (!scenario.isEmpty()) {
        const int status = kd7240fp_programMain(argc, argv);
        say(QStringLiteral("MAIN RETURNED %1").arg(status));
        return status;
    }
    QApplication app(argc, argv);
    tst_startup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
