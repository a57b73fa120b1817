// Starting and stopping generation: the samples, counts and rates the card
// receives, the trigger set-up, the buffer, and the window's two states.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "kd7240.h"
#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_remembered.h"
#include "modalscript.h"
#include "panelfixture.h"

namespace {

const ViStatus driverError = ViStatus(0xBFFC0803);

struct Channel
{
    int type = 0;
    double amplitude = 0;
    double offset = 0;
    int filterIndex = 1;
};

void setChannel(kd7240fp_chSet *group, const Channel &c)
{
    QPushButton *buttons[] = { group->sineButton, group->squareButton, group->sawButton, group->triangleButton };
    if (c.type != 0 && group->waveType != c.type)
        buttons[c.type - 1]->click();
    else if (c.type == 0 && group->waveType != 0)
        buttons[group->waveType - 1]->click();
    group->amplitudeBox->setValue(c.amplitude);
    group->offsetBox->setValue(c.offset);
    // As the operator chooses it: the card's front end is told at once.
    group->filterBox->setCurrentIndex(c.filterIndex);
    emit group->filterBox->activated(c.filterIndex);
}

// Empty when the window shows the state asked for, else what differs.
QString stateProblem(PanelPeek *panel, bool generating)
{
    QStringList problems;
    auto expect = [&](bool ok, const char *what) {
        if (!ok)
            problems << QString::fromLatin1(what);
    };
    expect(panel->startButton->isChecked() == generating, "start button checked");
    expect(panel->startButton->text() == (generating ? "Stop" : "Start"), "start button text");
    expect(panel->chan1->isEnabled() != generating, "channel 1 enabled");
    expect(panel->chan2->isEnabled() != generating, "channel 2 enabled");
    expect(panel->commonSettings->isEnabled() != generating, "common settings enabled");
    expect(panel->tabs->isTabEnabled(1) != generating, "DAC tab enabled");
    expect(panel->pauseButton->isEnabled() == generating, "pause enabled");
    expect(panel->timer->isActive() == generating, "timer");
    if (generating)
        expect(panel->timer->interval() == 100, "poll interval");
    else
        expect(!ledLit(panel->chan1->led) && !ledLit(panel->chan2->led), "LEDs off");
    return problems.join(QStringLiteral(", "));
}

// A sine of 1000 samples at 1 MHz, five cycles, on a clock that moves only
// when the test moves it.
void startFiveCycles(PanelPeek *panel)
{
    kdsim::useManualClock();
    setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    panel->commonSettings->stopBox->setCurrentIndex(1);
    panel->commonSettings->cyclesBox->setValue(5);
    panel->startButton->click();
}

QList<QMessageBox *> openBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

} // namespace

Q_DECLARE_METATYPE(Channel)

class tst_generation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void start_data();
    void start();
    void bufferOnlyGrows();
    void refusedStarts_data();
    void refusedStarts();
    void limitedBurstEndsThroughThePoll();
    void stopWhilePaused();
    void failingPollReportedOncePerStreak();
    void pollWaitsWhileABoxIsOpen();
    void pollGoesOnUnderAnyWindow();
    void boxesOfferWhatTheCardPlays_data();
    void boxesOfferWhatTheCardPlays();
    void failedStopKeepsGenerating_data();
    void failedStopKeepsGenerating();
    void failedStateReadStillStops();
    void demoGeneratesWithoutTheCard();
    void readoutMatchesWhatIsSent_data();
    void readoutMatchesWhatIsSent();
    void liveChanges_data();
    void liveChanges();

private:
    std::unique_ptr<PanelPeek> open(const QString &how = QStringLiteral("Auto Find"))
    {
        auto panel = openPanel(&card, "panel_vxi.json", how);
        kdsim::keepSamples(true);
        return panel;
    }
    kd7240_fc card;
};

void tst_generation::init()
{
    kdsim::reset();
    // Remembered from one panel to the next: each test starts without it.
    kd7240fp::remember(QStringLiteral("7240/LiveChanges"), false);
}

void tst_generation::start_data()
{
    QTest::addColumn<Channel>("ch1");
    QTest::addColumn<Channel>("ch2");
    QTest::addColumn<int>("freq");
    QTest::addColumn<int>("startIndex");
    QTest::addColumn<int>("cycles"); // 0: "Unlimited"
    QTest::addColumn<int>("nSam");
    QTest::addColumn<double>("rate");
    // index, value pairs: first channel 1's array, then channel 2's (or the
    // only array) in data2 / data1.
    QTest::addColumn<QList<QPointF>>("samples1");
    QTest::addColumn<QList<QPointF>>("samples2");

    const Channel none;
    QTest::newRow("sine on channel 1") << Channel { 1, 2, 1, 1 } << none << 1000 << 0 << 0 << 1000 << 1e6
                                       << QList<QPointF> { { 0, 1 }, { 250, 3 }, { 750, -1 } } << QList<QPointF> {};
    QTest::newRow("square on channel 2, by trigger, 5 cycles")
        << none << Channel { 2, 1, 0, 3 } << 100000 << 1 << 5 << 10 << 1e6 << QList<QPointF> {}
        << QList<QPointF> { { 0, 1 }, { 4, 1 }, { 5, -1 }, { 9, -1 } };
    QTest::newRow("saw and triangle") << Channel { 3, 1, 0, 2 } << Channel { 4, 1, 0, 4 } << 100000 << 0 << 0 << 10
                                      << 1e6 << QList<QPointF> { { 0, -1 }, { 1, -7.0 / 9 }, { 9, 1 } }
                                      << QList<QPointF> { { 0, -1 }, { 4, 7.0 / 9 }, { 5, 7.0 / 9 }, { 9, -1 } };
    QTest::newRow("1 Hz runs at the slower rate")
        << Channel { 1, 1, 0, 1 } << none << 1 << 0 << 1024 << 100000 << 1.0 / (1e-6 * 10)
        << QList<QPointF> { { 25000, 1 } } << QList<QPointF> {};
}

void tst_generation::start()
{
    QFETCH(Channel, ch1);
    QFETCH(Channel, ch2);
    QFETCH(int, freq);
    QFETCH(int, startIndex);
    QFETCH(int, cycles);
    QFETCH(int, nSam);
    QFETCH(double, rate);
    QFETCH(QList<QPointF>, samples1);
    QFETCH(QList<QPointF>, samples2);

    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan1, ch1);
    setChannel(panel->chan2, ch2);
    panel->commonSettings->frequencyBox->setValue(freq);
    panel->commonSettings->startBox->setCurrentIndex(startIndex);
    panel->commonSettings->stopBox->setCurrentIndex(cycles ? 1 : 0);
    panel->commonSettings->cyclesBox->setValue(cycles ? cycles : 7);
    kdsim::clearCalls();
    panel->startButton->click();

    QVERIFY2(stateProblem(panel.get(), true).isEmpty(), qPrintable(stateProblem(panel.get(), true)));
    QCOMPARE(ledLit(panel->chan1->led), ch1.type != 0);
    QCOMPARE(ledLit(panel->chan2->led), ch2.type != 0);

    const bool both = ch1.type && ch2.type;
    const std::string generate = both ? "kd7240_generateWaveforms" : "kd7240_generateWaveform";
    QCOMPARE(driverCalls(), (QStringList { "kd7240_setITRI", QString::fromStdString(generate) }));
    const QJsonObject itri = callArgs(firstCall("kd7240_setITRI"));
    QCOMPARE(itri.value(QLatin1String("source")).toInt(), startIndex ? kd7240_ITRI_SRC_BOTH : 0);
    QCOMPARE(itri.value(QLatin1String("pulse")).toInt(), 0);

    const kdsim::Call call = firstCall(generate);
    QCOMPARE(call.status, 0);
    const QJsonObject args = callArgs(call);
    QCOMPARE(args.value(QLatin1String("session")).toInteger(), qint64(panel->session));
    QCOMPARE(args.value(QLatin1String("nSam")).toInt(), nSam);
    QCOMPARE(args.value(QLatin1String("cycles")).toInt(), cycles);
    QCOMPARE(args.value(QLatin1String("rate")).toDouble(), rate);
    const int code1 = ch1.filterIndex - 1;
    const int code2 = ch2.filterIndex - 1;
    if (both) {
        QCOMPARE(args.value(QLatin1String("filter1")).toInt(), code1);
        QCOMPARE(args.value(QLatin1String("filter2")).toInt(), code2);
        QCOMPARE(panel->bufferSize, 2 * nSam);
    } else {
        QCOMPARE(args.value(QLatin1String("channel")).toInt(), ch1.type ? 1 : 2);
        QCOMPARE(args.value(QLatin1String("filter")).toInt(), ch1.type ? code1 : code2);
        QCOMPARE(panel->bufferSize, nSam);
    }

    // The only channel's samples sit at the start of the buffer; with both,
    // channel 2 follows at nSam.
    const std::vector<double> &first = call.data1;
    const std::vector<double> &second = both ? call.data2 : call.data1;
    QCOMPARE(int(first.size()), nSam);
    for (const QPointF &p : samples1)
        QVERIFY2(qAbs(first.at(size_t(p.x())) - p.y()) < 1e-9, qPrintable(QString::number(p.x())));
    for (const QPointF &p : samples2)
        QVERIFY2(qAbs(second.at(size_t(p.x())) - p.y()) < 1e-9, qPrintable(QString::number(p.x())));
    if (both)
        QCOMPARE(panel->buffer[nSam], second.front());

    panel->startButton->click();
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QCOMPARE(kdsim::calls("kd7240_stopBurst").size(), size_t(1));
    QVERIFY(!kdsim::cardState(panel->session).generating);
}

void tst_generation::bufferOnlyGrows()
{
    auto panel = open();
    QVERIFY(panel);
    auto run = [&](const Channel &c1, const Channel &c2, int freq) {
        setChannel(panel->chan1, c1);
        setChannel(panel->chan2, c2);
        panel->commonSettings->frequencyBox->setValue(freq);
        panel->startButton->click();
        panel->startButton->click();
    };
    const Channel sine { 1, 1, 0, 1 };
    run(sine, sine, 1000);
    QCOMPARE(panel->bufferSize, 2000);
    const double *kept = panel->buffer;
    run(sine, Channel {}, 1000);
    run(Channel {}, sine, 2000);
    QCOMPARE(panel->bufferSize, 2000);
    QCOMPARE(panel->buffer, kept);
    run(sine, Channel {}, 100);
    QCOMPARE(panel->bufferSize, 10000);
    QCOMPARE(kdsim::calls("kd7240_generateWaveform").size(), size_t(3));
}

void tst_generation::refusedStarts_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no waveform") << "none"
                                 << "At least for one channel the waveform type should be choosen";
    QTest::newRow("no sample period") << "frequency"
                                      << "Wrong output signal frequency has been choosen";
    QTest::newRow("no memory") << "memory"
                               << "Not enough memory for 1000 samples; the waveform cannot be generated.";
    // The card of panel_vxi.json plays -5 V to 8 V.
    QTest::newRow("beyond the limits") << "limits"
                                       << "Channel 1 reaches 8.50 V; the card's output range is -5.00 to 8.00 V.\n"
                                          "Channel 2 reaches -5.50 V; the card's output range is -5.00 to 8.00 V.";
}

void tst_generation::refusedStarts()
{
    QFETCH(QString, cause);
    auto panel = open();
    QVERIFY(panel);
    if (cause != QLatin1String("none"))
        setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    if (cause == QLatin1String("frequency")) {
        // The box never offers 0 Hz; widen it to reach the path.
        panel->commonSettings->frequencyBox->setMinimum(0);
        panel->commonSettings->frequencyBox->setValue(0);
    }
    panel->failAllocation = cause == QLatin1String("memory");
    if (cause == QLatin1String("limits")) {
        setChannel(panel->chan1, Channel { 1, 6, 2.5, 1 });
        setChannel(panel->chan2, Channel { 3, 6.5, 1, 1 });
    }

    ModalScript script;
    script.answer(QStringLiteral("OK"));
    kdsim::clearCalls();
    panel->startButton->click();
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].title, QStringLiteral("Vantix  SFP Warning message"));
    QTEST(script.seen[0].text, "warning");
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QCOMPARE(driverCalls(), QStringList());
    QCOMPARE(panel->bufferSize, cause == QLatin1String("limits") ? 2000 : 0);
}

void tst_generation::limitedBurstEndsThroughThePoll()
{
    auto panel = open();
    QVERIFY(panel);
    startFiveCycles(panel.get());

    // Five periods of 1000 samples at 1 MHz: 5 ms of card time, none passed yet.
    QTRY_VERIFY(kdsim::calls("kd7240_getBurstStatus").size() >= 2);
    QVERIFY(panel->startButton->isChecked());
    kdsim::advanceClock(6);
    QTRY_VERIFY(!panel->startButton->isChecked());
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QCOMPARE(kdsim::calls("kd7240_stopBurst").size(), size_t(0));
    QCOMPARE(driverCalls().last(), QStringLiteral("kd7240_getBurstStatus"));
}

void tst_generation::stopWhilePaused()
{
    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan1, Channel { 4, 1, 0, 1 });
    panel->startButton->click();
    panel->pauseButton->click();
    QCOMPARE(panel->pauseButton->text(), QStringLiteral("Resume"));
    QVERIFY(kdsim::cardState(panel->session).paused);
    kdsim::clearCalls();

    panel->startButton->click();
    QCOMPARE(driverCalls(), (QStringList { "kd7240_getBurstStatus", "kd7240_stopBurst", "kd7240_resume" }));
    QVERIFY(!panel->pauseButton->isChecked());
    QCOMPARE(panel->pauseButton->text(), QStringLiteral("Pause"));
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QVERIFY(!kdsim::cardState(panel->session).generating);
    QVERIFY(!kdsim::cardState(panel->session).paused);
}

void tst_generation::failingPollReportedOncePerStreak()
{
    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    panel->startButton->click();
    kdsim::addFault("kd7240_getBurstStatus", driverError, -1);

    // A poll that always fails: one box, then silent polls while the window
    // stays generating.
    ModalScript script;
    script.answer(QStringLiteral("No"));
    QTest::qWait(2000);
    QCOMPARE(script.seen.size(), 1);
    QVERIFY(script.seen[0].text.startsWith(
        QStringLiteral("kd7240_getBurstStatus(d_vi, &stat, NULL, NULL, NULL) failed due to [")));
    QVERIFY(openBoxes().isEmpty());
    QVERIFY(kdsim::calls("kd7240_getBurstStatus").size() >= 5);
    QVERIFY2(stateProblem(panel.get(), true).isEmpty(), qPrintable(stateProblem(panel.get(), true)));

    // A clean poll ends the streak, so the next failure is reported again.
    kdsim::clearFaults();
    const size_t polls = kdsim::calls("kd7240_getBurstStatus").size();
    QTRY_VERIFY(kdsim::calls("kd7240_getBurstStatus").size() > polls);
    kdsim::addFault("kd7240_getBurstStatus", driverError, 1);
    script.answer(QStringLiteral("No"));
    QTRY_COMPARE(script.seen.size(), 2);

    panel->startButton->click();
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QVERIFY(!kdsim::cardState(panel->session).generating);
}

// A box that waits for the operator holds the poll back, so a failing poll
// never stacks its report on it; it reports once the box is answered.
void tst_generation::pollWaitsWhileABoxIsOpen()
{
    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    panel->startButton->click();
    kdsim::addFault("kd7240_pulseITRI", driverError, 1);
    kdsim::addFault("kd7240_getBurstStatus", driverError, -1);
    int boxesWhileOpen = -1;
    ModalScript script;
    script.act([&](QWidget *box) {
        QTimer::singleShot(350, box, [&, box] {
            boxesWhileOpen = int(openBoxes().size());
            ModalScript::clickButton(box, QStringLiteral("No"));
        });
    });
    script.answer(QStringLiteral("No"));
    panel->triggerButton->click();
    QCOMPARE(boxesWhileOpen, 1);
    QTRY_COMPARE(script.seen.size(), 2);
    QVERIFY(script.seen[1].text.startsWith(QStringLiteral("kd7240_getBurstStatus(d_vi, &stat")));
    kdsim::clearFaults();
    panel->startButton->click();
}

// A limited burst that ends while the operator reads another window (About,
// the licence, a file dialog) returns the panel to idle at once.
void tst_generation::pollGoesOnUnderAnyWindow()
{
    auto panel = open();
    QVERIFY(panel);
    startFiveCycles(panel.get());
    bool idleUnderTheWindow = false;
    ModalScript script;
    script.act([&](QWidget *window) {
        kdsim::advanceClock(6);
        idleUnderTheWindow = QTest::qWaitFor([&] { return !panel->startButton->isChecked(); }, 2000);
        window->close();
    });
    QDialog reading(panel.get());
    reading.setModal(true);
    reading.exec();
    QVERIFY(idleUnderTheWindow);
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
}

// A card whose range the boxes cannot show exactly (-9.9951 to 9.9951 V):
// every value the boxes offer plays, and a refusal never contradicts itself.
void tst_generation::boxesOfferWhatTheCardPlays_data()
{
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<QString>("warning");
    QTest::newRow("highest offset") << 99.0 << 0.0 << "";
    QTest::newRow("lowest offset") << -99.0 << 0.0 << "";
    QTest::newRow("largest amplitude") << 0.0 << 99.0 << "";
    QTest::newRow("offset and amplitude at the top") << 4.99 << 5.0 << "";
    QTest::newRow("beyond") << 5.0 << 99.0 << "Channel 1 reaches 14.99 V; the card's output range is -9.99 to 9.99 V.";
}

void tst_generation::boxesOfferWhatTheCardPlays()
{
    QFETCH(double, offset);
    QFETCH(double, amplitude);
    QFETCH(QString, warning);
    auto panel = openPanel(&card, "panel_odd_limits.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    QCOMPARE(panel->dac1Box->maximum(), 9.995);
    setChannel(panel->chan1, Channel { 2, amplitude, offset, 1 }); // the boxes clamp 99 to what they offer
    ModalScript script;
    if (!warning.isEmpty())
        script.answer(QStringLiteral("OK"));
    panel->startButton->click();
    QCOMPARE(script.seen.isEmpty() ? QString() : script.seen[0].text, warning);
    QCOMPARE(panel->startButton->isChecked(), warning.isEmpty());
    const auto sent = kdsim::calls("kd7240_generateWaveform");
    QCOMPARE(sent.size(), size_t(warning.isEmpty() ? 1 : 0));
    if (!sent.empty())
        QCOMPARE(sent[0].status, VI_SUCCESS);
    if (panel->startButton->isChecked())
        panel->startButton->click();
}

// A stop the card refused leaves the window generating, paused or not, and
// Stop can be pressed again.
void tst_generation::failedStopKeepsGenerating_data()
{
    QTest::addColumn<bool>("paused");
    QTest::newRow("running") << false;
    QTest::newRow("paused") << true;
}

void tst_generation::failedStopKeepsGenerating()
{
    QFETCH(bool, paused);
    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    panel->startButton->click();
    if (paused)
        panel->pauseButton->click();
    kdsim::addFault("kd7240_stopBurst", driverError, 1);
    ModalScript script;
    script.answer(QStringLiteral("No"));
    panel->startButton->click();

    QCOMPARE(script.seen.size(), 1);
    QVERIFY(script.seen[0].text.startsWith(QStringLiteral("kd7240_stopBurst(d_vi) failed due to [")));
    QVERIFY2(stateProblem(panel.get(), true).isEmpty(), qPrintable(stateProblem(panel.get(), true)));
    QVERIFY(ledLit(panel->chan1->led));
    QVERIFY(kdsim::cardState(panel->session).generating);
    QCOMPARE(panel->pauseButton->isChecked(), paused);
    QCOMPARE(kdsim::cardState(panel->session).paused, paused);

    panel->startButton->click();
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QVERIFY(!kdsim::cardState(panel->session).generating);
    QVERIFY(!kdsim::cardState(panel->session).paused);
}

void tst_generation::failedStateReadStillStops()
{
    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan2, Channel { 2, 1, 0, 1 });
    panel->startButton->click();
    kdsim::addFault("kd7240_getBurstStatus", driverError, 1);
    ModalScript script;
    script.answer(QStringLiteral("No"));
    panel->startButton->click();

    QCOMPARE(script.seen.size(), 1);
    QVERIFY(script.seen[0].text.startsWith(
        QStringLiteral("kd7240_getBurstStatus (d_vi, &state, NULL, NULL, NULL) failed due to [")));
    QCOMPARE(kdsim::calls("kd7240_stopBurst").size(), size_t(1));
    QVERIFY(!kdsim::cardState(panel->session).generating);
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
}

void tst_generation::demoGeneratesWithoutTheCard()
{
    auto panel = open(QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    setChannel(panel->chan2, Channel { 3, 1, 0, 1 });
    panel->startButton->click();
    QVERIFY2(stateProblem(panel.get(), true).isEmpty(), qPrintable(stateProblem(panel.get(), true)));
    QVERIFY(ledLit(panel->chan2->led));
    QVERIFY(!ledLit(panel->chan1->led));
    QTest::qWait(250); // a few poll periods: the poll leaves demo mode alone
    QVERIFY(panel->startButton->isChecked());
    QCOMPARE(driverCalls(), QStringList());

    // Pause and resume are the driver calls demo mode still makes, on session 0.
    panel->pauseButton->click();
    panel->startButton->click();
    QVERIFY2(stateProblem(panel.get(), false).isEmpty(), qPrintable(stateProblem(panel.get(), false)));
    QCOMPARE(panel->pauseButton->text(), QStringLiteral("Pause"));
    QCOMPARE(driverCalls(), (QStringList { "kd7240_pause", "kd7240_resume" }));
    for (const kdsim::Call &call : kdsim::calls())
        QCOMPARE(callArgs(call).value(QLatin1String("session")).toInteger(), qint64(0));
    QCOMPARE(panel->bufferSize, 0);
}

// The readout in Common Settings says what the card then really gets.
void tst_generation::readoutMatchesWhatIsSent_data()
{
    QTest::addColumn<int>("freq");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("highlighted");
    QTest::newRow("1000 Hz") << 1000 << "plays 1000.00 Hz, 1000 samples" << false;
    QTest::newRow("66667 Hz") << 66667 << "plays 71428.57 Hz, 14 samples" << true;
    QTest::newRow("95000 Hz") << 95000 << "plays 100000.00 Hz, 10 samples" << true;
    QTest::newRow("99999 Hz, within 0.1 %") << 99999 << "plays 100000.00 Hz, 10 samples" << false;
    QTest::newRow("3 Hz, slower clock") << 3 << "plays 3.00 Hz, 33333 samples" << false;
}

void tst_generation::readoutMatchesWhatIsSent()
{
    QFETCH(int, freq);
    QFETCH(QString, text);
    QFETCH(bool, highlighted);
    auto panel = open();
    QVERIFY(panel);
    setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    panel->commonSettings->frequencyBox->setValue(freq);
    QLabel *readout = panel->commonSettings->playedLabel;
    QCOMPARE(readout->text(), text);
    QCOMPARE(readout->property("offFrequency").toBool(), highlighted);
    QCOMPARE(readout->toolTip().contains(QLatin1String("only whole samples")), highlighted);

    panel->startButton->click();
    const QJsonObject args = callArgs(firstCall("kd7240_generateWaveform"));
    const double rate = args.value(QLatin1String("rate")).toDouble();
    const int nSam = args.value(QLatin1String("nSam")).toInt();
    QCOMPARE(QStringLiteral("plays %1 Hz, %2 samples").arg(rate / nSam, 0, 'f', 2).arg(nSam), text);
    panel->startButton->click();
}

// Live changes: while the card generates at once and without end, a change
// is planned and sent at once (a stop, then the new samples), several in one
// turn as one and a quick series at most once per 100 ms, the last value
// always; a change the card cannot play sends nothing and the readout says
// why; without the box, or triggered or limited, the groups stay locked; a
// change made while paused goes out at Resume; after a failed stop nothing
// more is sent.
void tst_generation::liveChanges_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<QString>("mode"); // "limited", "by trigger", "paused", or as started
    QTest::addColumn<QString>("fault"); // a driver call that fails once, answered No
    QTest::addColumn<int>("spacing"); // ms between the changes; 0: all in one turn
    QTest::addColumn<QList<double>>("amplitudes"); // set one after another
    QTest::addColumn<double>("offset");
    QTest::addColumn<QStringList>("calls"); // of the driver after the changes
    QTest::addColumn<double>("peak"); // of the samples last sent
    QTest::addColumn<bool>("generating"); // afterwards
    const QStringList resend { "kd7240_stopBurst", "kd7240_generateWaveform" };
    const QList<double> series { 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2.0 };
    // clang-format off
    QTest::newRow("amplitude 1 to 2") << true << "" << "" << 0 << QList<double> { 2 } << 0.0 << resend << 2.0 << true;
    QTest::newRow("a wheel spin, one call") << true << "" << "" << 0 << QList<double> { 1.1, 1.2, 1.3 } << 0.0
                                            << resend << 1.3 << true;
    QTest::newRow("ten notches 5 ms apart") << true << "" << "" << 5 << series << 0.0 << resend + resend << 2.0 << true;
    QTest::newRow("beyond the card's range") << true << "" << "" << 0 << QList<double> { 2 } << 7.0 << QStringList()
                                             << 0.0 << true;
    QTest::newRow("without the box") << false << "" << "" << 0 << QList<double> { 2 } << 0.0 << QStringList() << 0.0
                                     << true;
    QTest::newRow("limited") << true << "limited" << "" << 0 << QList<double> { 2 } << 0.0 << QStringList() << 0.0
                             << true;
    QTest::newRow("by trigger") << true << "by trigger" << "" << 0 << QList<double> { 2 } << 0.0 << QStringList()
                                << 0.0 << true;
    QTest::newRow("paused, sent at Resume") << true << "paused" << "" << 0 << QList<double> { 2 } << 0.0
                                            << QStringList { "kd7240_resume" } + resend << 2.0 << true;
    QTest::newRow("the stop fails") << true << "" << "kd7240_stopBurst" << 0 << QList<double> { 2 } << 0.0
                                    << QStringList { "kd7240_stopBurst", "kd7240_error_message" } << 0.0 << true;
    QTest::newRow("the new samples are refused") << true << "" << "kd7240_generateWaveform" << 0
                                                 << QList<double> { 2 } << 0.0
                                                 << resend + QStringList { "kd7240_error_message" } << 2.0 << false;
    // clang-format on
}

void tst_generation::liveChanges()
{
    QFETCH(bool, live);
    QFETCH(QString, mode);
    QFETCH(QString, fault);
    QFETCH(int, spacing);
    QFETCH(QList<double>, amplitudes);
    QFETCH(double, offset);
    QFETCH(QStringList, calls);
    QFETCH(bool, generating);
    auto panel = open();
    QVERIFY(panel);
    kdsim::keepSamples(true);
    kdsim::useManualClock(); // a limited burst goes on while the test waits
    panel->liveBox->setChecked(live);
    setChannel(panel->chan1, Channel { 1, 1, 0, 1 });
    panel->commonSettings->stopBox->setCurrentIndex(mode == QLatin1String("limited"));
    panel->commonSettings->startBox->setCurrentIndex(mode == QLatin1String("by trigger"));
    panel->startButton->click();
    if (mode == QLatin1String("paused"))
        panel->pauseButton->click();
    const bool open = live && mode.isEmpty();
    QCOMPARE(panel->chan1->isEnabled(), open);
    QCOMPARE(panel->commonSettings->frequencyBox->isEnabled(), open);
    QVERIFY(!panel->commonSettings->stopBox->isEnabled());
    // A locked box says why.
    QCOMPARE(panel->chan1->amplitudeBox->toolTip().contains(QLatin1String("Locked while the card")), !open);
    kdsim::clearCalls();
    ModalScript script;
    if (!fault.isEmpty()) {
        kdsim::addFault(fault.toStdString(), driverError, 1);
        script.answer(QStringLiteral("No"));
    }

    panel->chan1->offsetBox->setValue(offset);
    for (double amplitude : amplitudes) {
        panel->chan1->amplitudeBox->setValue(amplitude);
        if (spacing > 0)
            QTest::qWait(spacing);
    }
    QTest::qWait(150);
    if (mode == QLatin1String("paused")) {
        QCOMPARE(driverCalls().filter(QStringLiteral("kd7240_generate")), QStringList());
        panel->pauseButton->click();
        QTest::qWait(150);
    }
    QCOMPARE(script.pending(), 0);
    // The poll may have come round meanwhile; it changes nothing.
    QTEST(driverCalls().filter(QRegularExpression(QStringLiteral("^(?!kd7240_getBurstStatus)"))), "calls");
    const std::vector<kdsim::Call> sent = kdsim::calls("kd7240_generateWaveform");
    if (calls.contains(QLatin1String("kd7240_generateWaveform")))
        QTEST(*std::max_element(sent.back().data1.begin(), sent.back().data1.end()), "peak");
    QCOMPARE(panel->startButton->isChecked(), generating);
    QCOMPARE(panel->timer->isActive(), generating);
    QCOMPARE(ledLit(panel->chan1->led), generating);
    if (offset != 0 || fault == QLatin1String("kd7240_stopBurst"))
        QVERIFY2(panel->commonSettings->playedLabel->text().startsWith(QLatin1String("not sent")),
            qPrintable(panel->commonSettings->playedLabel->text()));
    if (generating)
        panel->startButton->click();
}

QTEST_MAIN(tst_generation)
#include "tst_generation.moc"
