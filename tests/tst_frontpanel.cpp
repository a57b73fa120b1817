// The front panel window's own slots: what reaches the card when the
// operator writes DAC values, chooses filters, pulses the trigger or
// calibrates, and how a failing call is reported.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "focuschain.h"
#include "kd7010fp_about.h"
#include "kd7010fp_spinbox.h"
#include "kd7240.h"
#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_formuladialog.h"
#include "kd7240fp_preview.h"
#include "modalscript.h"
#include "panelfixture.h"

namespace {

const ViStatus driverError = ViStatus(0xBFFC0803);
const ViStatus driverWarning = ViStatus(0x3FFC0803);
const QString errorTitle = QStringLiteral("Vantix  SFP Error message");
const QString warningTitle = QStringLiteral("Vantix  SFP Warning message");
const QString infoTitle = QStringLiteral("Vantix  SFP Info message");

QString driverMessage(ViStatus status)
{
    char text[kd7240_ERROR_MESSAGE_LEN] = {};
    kd7240_error_message(0, status, text);
    return QString::fromLatin1(text);
}

void chooseFilter(kd7240fp_chSet *channel, int index)
{
    channel->filterBox->setCurrentIndex(index);
    emit channel->filterBox->activated(index);
}

} // namespace

class tst_frontpanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void constructionReadsTheCard();
    void demoModeLeavesTheCardAlone();
    void dacBoxesWriteBothChannels();
    void resetDevice_data();
    void resetDevice();
    void lostCardShowsEverywhereAndIsTriedAgain();
    void everyControlHasAName();
    void keyboardReachesEveryControl();
    void tipsSayWhatIsPlayed_data();
    void tipsSayWhatIsPlayed();
    void changeCardKeepsTheSettings_data();
    void changeCardKeepsTheSettings();
    void screenReadersHearTheText_data();
    void screenReadersHearTheText();
    void dacWritesOnlyCommittedValues_data();
    void dacWritesOnlyCommittedValues();
    void typedTextIsReadWhole_data();
    void typedTextIsReadWhole();
    void filterChoiceRewritesBothChannels();
    void triggerButtonPulses();
    void failedCallsAreReported_data();
    void failedCallsAreReported();
    void failedDacReadKeepsTheBox();
    void calibration_data();
    void calibration();

private:
    std::unique_ptr<PanelPeek> open(const char *system, const QString &how = QStringLiteral("Auto Find"))
    {
        return openPanel(&card, system, how);
    }
    kd7240_fc card;
};

void tst_frontpanel::init() { kdsim::reset(); }

void tst_frontpanel::constructionReadsTheCard()
{
    QVERIFY(loadTestSystem("panel_vxi.json"));
    ModalScript script;
    script.answer(QStringLiteral("Auto Find"));
    PanelPeek panel(&card);
    QCOMPARE(script.pending(), 0);

    QStringList calls = driverCalls();
    calls = calls.mid(calls.indexOf(QStringLiteral("kd7240_getOutputLimits")));
    QCOMPARE(calls,
        (QStringList { "kd7240_getOutputLimits", "kd7240_setFEConfig", "kd7240_setFEConfig", "kd7240_getDACval",
            "kd7240_getDACval", "kd7240_readSerialNo", "kd7240_revision_query" }));
    const auto fe = kdsim::calls("kd7240_setFEConfig");
    QCOMPARE(fe.size(), size_t(2));
    for (int i = 0; i < 2; ++i) {
        const QJsonObject args = callArgs(fe[i]);
        QCOMPARE(args.value(QLatin1String("channel")).toInt(), i + 1);
        QCOMPARE(args.value(QLatin1String("filter")).toInt(), 0);
        QCOMPARE(args.value(QLatin1String("term")).toInt(), 0);
        QCOMPARE(args.value(QLatin1String("session")).toInteger(), qint64(panel.session));
    }

    // The fixture card's limits are -5 V to 8 V.
    QCOMPARE(panel.lowLimit, -5.0);
    QCOMPARE(panel.hiLimit, 8.0);
    for (QDoubleSpinBox *box : { panel.dac1Box, panel.dac2Box }) {
        QCOMPARE(box->minimum(), -5.0);
        QCOMPARE(box->maximum(), 8.0);
        QCOMPARE(box->singleStep(), 0.1);
    }
    QCOMPARE(panel.chan1->offsetBox->minimum(), -5.0);
    QCOMPARE(panel.chan2->amplitudeBox->maximum(), 6.5);
    QCOMPARE(panel.buffer, nullptr);
    QCOMPARE(panel.bufferSize, 0);
}

void tst_frontpanel::demoModeLeavesTheCardAlone()
{
    auto panel = open("panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    QCOMPARE(panel->lowLimit, -10.0);
    QCOMPARE(panel->hiLimit, 10.0);
    QCOMPARE(panel->dac1Box->value(), 0.0);
    QCOMPARE(panel->dac2Box->minimum(), -10.0);
    const QStringList identity = { panel->aboutDialog->valueLabels[3].text(), panel->aboutDialog->valueLabels[4].text(),
        panel->aboutDialog->valueLabels[5].text() };
    QCOMPARE(identity, (QStringList { "7240-AA (DEMO)", "1.0.1.0 (DEMO)", "62089481 (DEMO)" }));

    panel->dac1Box->setValue(2.5);
    chooseFilter(panel->chan1, 0);
    panel->triggerButton->click();
    ModalScript script;
    script.answer(QStringLiteral("OK"));
    panel->calibrateButton->click();
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].title, infoTitle);
    QCOMPARE(script.seen[0].text, QStringLiteral("Calibration procedure completed successfully."));
    QCOMPARE(driverCalls(), QStringList());
}

void tst_frontpanel::dacBoxesWriteBothChannels()
{
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    panel->dac1Box->setValue(-2);
    panel->dac2Box->setValue(1.5);

    const auto writes = kdsim::calls("kd7240_writeChannels");
    QCOMPARE(writes.size(), size_t(2));
    QCOMPARE(callArgs(writes[0]).value(QLatin1String("ch1")).toDouble(), -2.0);
    QCOMPARE(callArgs(writes[0]).value(QLatin1String("ch2")).toDouble(), 0.0);
    QCOMPARE(callArgs(writes[1]).value(QLatin1String("ch1")).toDouble(), -2.0);
    QCOMPARE(callArgs(writes[1]).value(QLatin1String("ch2")).toDouble(), 1.5);
    const kdsim::CardState state = kdsim::cardState(panel->session);
    QCOMPARE(state.dac[0], -2.0);
    QCOMPARE(state.dac[1], 1.5);
}

// A half-typed voltage never reaches the output: "-2.5" must not write -2
// on its way, nor "7.5" first write 7.
void tst_frontpanel::dacWritesOnlyCommittedValues_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QList<double>>("written");
    // clang-format off
    QTest::newRow("negative, Return") << "-2.5" << "Return" << QList<double> { -2.5 };
    QTest::newRow("decimals, Return") << "7.5" << "Return" << QList<double> { 7.5 };
    QTest::newRow("focus leaves") << "7.25" << "focus" << QList<double> { 7.25 };
    QTest::newRow("then the arrow") << "3" << "Up" << QList<double> { 3, 3.1 };
    // Beyond the range: the nearest bound (8 V on this card), never the
    // digits that were left (1 V).
    QTest::newRow("beyond the range") << "11" << "Return" << QList<double> { 8 };
    // clang-format on
}

void tst_frontpanel::dacWritesOnlyCommittedValues()
{
    QFETCH(QString, typed);
    QFETCH(QString, commit);
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    panel->tabs->setCurrentWidget(panel->dacPage);
    panel->show();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));
    panel->dac1Box->setFocus();
    panel->dac1Box->selectAll();
    QTest::keyClicks(panel->dac1Box, typed);
    QCOMPARE(kdsim::calls("kd7240_writeChannels").size(), size_t(0));
    if (commit == QLatin1String("focus")) {
        panel->dac2Box->setFocus();
    } else {
        QTest::keyClick(panel->dac1Box, Qt::Key_Return);
        if (commit == QLatin1String("Up"))
            QTest::keyClick(panel->dac1Box, Qt::Key_Up);
    }

    QList<double> written;
    for (const kdsim::Call &call : kdsim::calls("kd7240_writeChannels"))
        written << callArgs(call).value(QLatin1String("ch1")).toDouble();
    QTEST(written, "written");
}

// Whatever the operator types is judged as a whole once committed: a
// character a box cannot use never drops out, joining the digits around it
// into a number ten times too large.
void tst_frontpanel::typedTextIsReadWhole_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("gets"); // what the plan, the card or the dialog takes
    QTest::addColumn<bool>("refused");
    // clang-format off
    QTest::newRow("frequency, a fraction") << "frequency" << "33333.3" << 33333.0 << false;
    QTest::newRow("frequency, exponent") << "frequency" << "1e3" << 1000.0 << false;
    QTest::newRow("frequency, negative") << "frequency" << "-5" << 1.0 << false;
    QTest::newRow("frequency, no number") << "frequency" << "12a" << 1000.0 << true;
    QTest::newRow("amplitude, decimal comma") << "amplitude" << "1,5" << 1.5 << false;
    QTest::newRow("amplitude, no number") << "amplitude" << "1,5,0" << 0.0 << true;
    QTest::newRow("offset, decimal comma") << "offset" << "-2,25" << -2.25 << false;
    QTest::newRow("cycles, a fraction") << "cycles" << "7.5" << 8.0 << false;
    QTest::newRow("phase, decimal comma") << "phase" << "45,5" << 45.5 << false;
    QTest::newRow("duty, more decimals") << "duty" << "12.34" << 12.3 << false;
    QTest::newRow("DAC, decimal comma") << "dac" << "2,5" << 2.5 << false;
    QTest::newRow("formula samples, beyond") << "samples" << "300000" << 262143.0 << false;
    QTest::newRow("frequency, kilohertz") << "frequency" << "2 kHz" << 2000.0 << false;
    QTest::newRow("frequency, one group") << "frequency" << "1,000" << 1000.0 << true;
    QTest::newRow("amplitude, millivolts") << "amplitude" << "500 mV" << 0.5 << false;
    QTest::newRow("phase, below zero") << "phase" << "-90" << 270.0 << false;
    // clang-format on
}

void tst_frontpanel::typedTextIsReadWhole()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    kd7240fp_formulaDialog dialog(
        panel.get(), QStringLiteral("Channel 1"), QStringLiteral("sin(2*pi*t)"), 1000, 10);
    const std::map<QString, QAbstractSpinBox *> boxes = { { "frequency", panel->commonSettings->frequencyBox },
        { "amplitude", panel->chan1->amplitudeBox }, { "offset", panel->chan1->offsetBox },
        { "cycles", panel->commonSettings->cyclesBox }, { "phase", panel->chan1->phaseBox },
        { "duty", panel->chan1->dutyBox }, { "dac", panel->dac1Box }, { "samples", dialog.samplesBox } };
    QAbstractSpinBox *typedInto = boxes.at(box);
    QWidget *window = box == QLatin1String("samples") ? static_cast<QWidget *>(&dialog) : panel.get();
    panel->tabs->setCurrentWidget(box == QLatin1String("dac") ? panel->dacPage : panel->generationPage);
    typedInto->setEnabled(true); // cycles and duty wait for their mode
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QStringList told;
    if (auto *whole = qobject_cast<kd7010fp_clampSpinBox *>(typedInto))
        QObject::connect(whole, &kd7010fp_clampSpinBox::refused, this, [&](const QString &m) { told << m; });
    if (auto *decimal = qobject_cast<kd7010fp_clampDoubleSpinBox *>(typedInto))
        QObject::connect(decimal, &kd7010fp_clampDoubleSpinBox::refused, this, [&](const QString &m) { told << m; });
    const QString before = typedInto->text();
    typedInto->setFocus();
    typedInto->selectAll();
    QTest::keyClicks(typedInto, typed);
    QTest::keyClick(typedInto, Qt::Key_Return);
    QCoreApplication::processEvents(); // the dialog evaluates once the edits are in

    const kd7240fp::Settings s = panel->settings();
    const std::map<QString, double> taken = { { "frequency", s.common.frequency },
        { "amplitude", s.channel[0].amplitude }, { "offset", s.channel[0].offset }, { "cycles", s.common.cycles },
        { "phase", s.channel[0].phase }, { "duty", s.channel[0].duty },
        { "dac", callArgs(firstCall("kd7240_writeChannels")).value(QLatin1String("ch1")).toDouble() },
        { "samples", dialog.chosen().samples } };
    QTEST(taken.at(box), "gets");
    if (refused) {
        QCOMPARE(typedInto->text(), before);
        // Why, in the box's words (tst_spinbox holds them all).
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith(QStringLiteral("\"%1\" ").arg(typed)), qPrintable(told[0]));
    } else {
        QCOMPARE(told, QStringList());
    }
}

void tst_frontpanel::filterChoiceRewritesBothChannels()
{
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    chooseFilter(panel->chan2, 3); // 10KHz
    chooseFilter(panel->chan2, 0); // Ground keeps the filter it had

    const auto fe = kdsim::calls("kd7240_setFEConfig");
    QCOMPARE(fe.size(), size_t(4));
    const int expected[4][3] = { { 1, 0, 0 }, { 2, 2, 0 }, { 1, 0, 0 }, { 2, 2, 2 } };
    for (int i = 0; i < 4; ++i) {
        const QJsonObject args = callArgs(fe[i]);
        QCOMPARE(args.value(QLatin1String("channel")).toInt(), expected[i][0]);
        QCOMPARE(args.value(QLatin1String("filter")).toInt(), expected[i][1]);
        QCOMPARE(args.value(QLatin1String("term")).toInt(), expected[i][2]);
    }
    const kdsim::CardState state = kdsim::cardState(panel->session);
    QCOMPARE(state.filter[1], 2);
    QCOMPARE(state.term[1], 2);
    QCOMPARE(state.term[0], 0);
}

void tst_frontpanel::triggerButtonPulses()
{
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    panel->triggerButton->click();
    const auto pulses = kdsim::calls("kd7240_pulseITRI");
    QCOMPARE(pulses.size(), size_t(1));
    QCOMPARE(callArgs(pulses[0]).value(QLatin1String("pulse")).toInt(), kd7240_ITRI_PULSE);
    QCOMPARE(callArgs(pulses[0]).value(QLatin1String("session")).toInteger(), qint64(panel->session));
}

void tst_frontpanel::failedCallsAreReported_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("messageFails");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("callText");
    QTest::addColumn<int>("callsMade");

    const QString fe1 = QStringLiteral("kd7240_setFEConfig(d_vi, kd7240_CH1, chan1->getFilt(), chan1->getTerm())");
    QTest::newRow("error, slot goes on") << "kd7240_setFEConfig" << int(driverError) << false << "filter" << fe1 << 2;
    QTest::newRow("error without message") << "kd7240_setFEConfig" << int(driverError) << true << "filter" << fe1 << 2;
    QTest::newRow("warning") << "kd7240_writeChannels" << int(driverWarning) << false << "dac" << QString() << 1;
    QTest::newRow("trigger error") << "kd7240_pulseITRI" << int(driverError) << false << "trigger"
                                   << "kd7240_pulseITRI(d_vi, kd7240_ITRI_PULSE)" << 1;
}

void tst_frontpanel::failedCallsAreReported()
{
    QFETCH(QString, call);
    QFETCH(int, status);
    QFETCH(bool, messageFails);
    QFETCH(QString, action);
    QFETCH(QString, callText);
    QFETCH(int, callsMade);

    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    const QString message = messageFails
        ? QStringLiteral("Unknown status 0x") + QString::number(quint32(status), 16).toUpper()
        : driverMessage(status);
    QVERIFY(!message.isEmpty());
    kdsim::addFault(call.toStdString(), status, 1);
    if (messageFails)
        kdsim::addFault("kd7240_error_message", driverError, -1);

    ModalScript script;
    script.answer(status < 0 ? QStringLiteral("No") : QStringLiteral("OK"));
    if (action == QLatin1String("filter"))
        chooseFilter(panel->chan1, 2);
    else if (action == QLatin1String("dac"))
        panel->dac2Box->setValue(1);
    else
        panel->triggerButton->click();

    QCOMPARE(script.seen.size(), 1);
    if (status < 0) {
        QCOMPARE(script.seen[0].title, errorTitle);
        QCOMPARE(script.seen[0].text,
            callText + QStringLiteral(" failed due to [") + message + QStringLiteral("]\nDo you want to exit?"));
    } else {
        QCOMPARE(script.seen[0].title, warningTitle);
        QCOMPARE(script.seen[0].text, QStringLiteral("Warning: [") + message + QStringLiteral("]"));
    }
    QCOMPARE(int(kdsim::calls(call.toStdString()).size()), callsMade);
}

void tst_frontpanel::failedDacReadKeepsTheBox()
{
    QVERIFY(loadTestSystem("panel_vxi.json"));
    kdsim::addFault("kd7240_getDACval", driverError, 1);
    ModalScript script;
    script.answer(QStringLiteral("Auto Find")).answer(QStringLiteral("No"));
    PanelPeek panel(&card);
    QCOMPARE(script.pending(), 0);
    QCOMPARE(script.seen.last().text,
        QStringLiteral("kd7240_getDACval(d_vi, kd7240_CH1, &dac_val) failed due to [%1]\nDo you want to exit?")
            .arg(driverMessage(driverError)));
    // Nothing was read for channel 1, so nothing is written back.
    QCOMPARE(panel.dac1Box->value(), 0.0);
    QCOMPARE(kdsim::calls("kd7240_getDACval").size(), size_t(2));
    QCOMPARE(kdsim::calls("kd7240_writeChannels").size(), size_t(0));
}

void tst_frontpanel::calibration_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("success") << 0 << QStringList { infoTitle } << QStringList { "OK" };
    QTest::newRow("warning goes on") << int(driverWarning) << QStringList { warningTitle, infoTitle }
                                     << QStringList { "OK", "OK" };
    QTest::newRow("error stops early") << int(driverError) << QStringList { errorTitle } << QStringList { "No" };
}

void tst_frontpanel::calibration()
{
    QFETCH(int, status);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, answers);

    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    if (status != 0)
        kdsim::addFault("kd7240_calibrate", status, 1);
    ModalScript script;
    for (const QString &answer : answers)
        script.answer(answer);
    panel->calibrateButton->click();

    QStringList seenTitles;
    for (const SeenBox &box : script.seen)
        seenTitles << box.title;
    QCOMPARE(seenTitles, titles);
    if (status < 0)
        QCOMPARE(script.seen[0].text,
            QStringLiteral("kd7240_calibrate(d_vi) failed due to [%1]\nDo you want to exit?")
                .arg(driverMessage(status)));
    else
        QCOMPARE(script.seen.last().text, QStringLiteral("Calibration procedure completed successfully."));
    QCOMPARE(kdsim::calls("kd7240_calibrate").size(), size_t(1));
    QCOMPARE(panel->cursor().shape(), Qt::ArrowCursor);
}

// Reset Device asks first, then closes the session and opens the card again
// with reset; the card and the panel end as at start-up. Without a new
// session the panel goes on in demo mode; in demo mode only the controls
// are reset.
void tst_frontpanel::resetDevice_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("initFails");
    QTest::newRow("reset") << "Auto Find"
                           << "Yes" << false;
    QTest::newRow("not wanted") << "Auto Find"
                                << "No" << false;
    QTest::newRow("card lost") << "Auto Find"
                               << "Yes" << true;
    QTest::newRow("demo mode") << "Run In Demo Mode"
                               << "Yes" << false;
}

void tst_frontpanel::resetDevice()
{
    QFETCH(QString, how);
    QFETCH(QString, answer);
    QFETCH(bool, initFails);
    auto panel = open("panel_vxi.json", how);
    QVERIFY(panel);
    const ViSession before = panel->session;
    panel->dac1Box->setValue(1.5);
    chooseFilter(panel->chan2, 0);
    panel->chan1->sineButton->click();
    panel->commonSettings->frequencyBox->setValue(5000);
    panel->commonSettings->startBox->setCurrentIndex(1);
    panel->startButton->click();
    kdsim::clearCalls();
    if (initFails)
        kdsim::addFault("kd7240_init", ViStatus(0xBFFC0803), 1);

    ModalScript script;
    script.answer(answer);
    if (initFails)
        script.answer(QStringLiteral("No"));
    emit panel->resetButton->clicked();
    QCOMPARE(script.pending(), 0);
    QCOMPARE(script.seen[0].text,
        QStringLiteral("Reset the card to its power-on state? Generation stops and both outputs go to 0 V."));

    const bool reset = answer == QLatin1String("Yes");
    QCOMPARE(panel->startButton->isChecked(), !reset);
    if (!reset) {
        QCOMPARE(driverCalls(), QStringList());
        return;
    }
    QVERIFY(!panel->timer->isActive());
    QVERIFY(!panel->pauseButton->isEnabled());
    QCOMPARE(panel->chan1->waveType, 0);
    QCOMPARE(panel->chan2->filterBox->currentIndex(), 1);
    QCOMPARE(panel->commonSettings->frequencyBox->value(), 1000);
    QCOMPARE(panel->commonSettings->startBox->currentIndex(), 0);
    QCOMPARE(panel->dac1Box->value(), 0.0);

    if (how != QLatin1String("Auto Find") || initFails) {
        QCOMPARE(panel->demoMode, 1);
        QCOMPARE(panel->session, ViSession(0));
        QVERIFY(!ledLit(panel->activeLed));
        if (initFails) {
            QVERIFY(script.seen[1].text.startsWith(QStringLiteral("kd7240_init(")));
            QVERIFY(!kdsim::cardState(before).open);
            // Nobody can stop the card any more, so it must have stopped.
            ViSession probe = 0;
            QCOMPARE(kd7240_init(const_cast<ViRsrc>("VXI0::8::INSTR"), ViUInt16(panel->fcNumbers[0]), 1, 0, &probe),
                VI_SUCCESS);
            QVERIFY(!kdsim::cardState(probe).generating);
            kd7240_close(probe);
        }
        // From now on the driver is left alone.
        kdsim::clearCalls();
        panel->chan1->sineButton->click();
        panel->startButton->click();
        panel->startButton->click();
        QCOMPARE(driverCalls().filter(QRegularExpression("^kd7240_(?!pause|resume)")), QStringList());
        return;
    }
    QVERIFY(panel->session != before);
    QVERIFY(!kdsim::cardState(before).open);
    const kdsim::CardState card = kdsim::cardState(panel->session);
    QVERIFY(card.open);
    QVERIFY(!card.generating);
    QCOMPARE(card.dac[0], 0.0);
    QCOMPARE(card.dac[1], 0.0);
    QCOMPARE(card.filter[1], 0);
    QCOMPARE(card.term[1], 0);
    QCOMPARE(card.itriSource, 0);
    const QJsonObject init = callArgs(firstCall("kd7240_init"));
    QCOMPARE(init.value(QLatin1String("reset")).toInt(), 1);
    QCOMPARE(init.value(QLatin1String("idQuery")).toInt(), 1);
    QCOMPARE(init.value(QLatin1String("fcNumber")).toInt(), panel->fcNumbers[0]);
}

// A card that does not open again after Reset Device leaves a panel that
// says so everywhere and claims nothing; the next Reset Device tries again.
// The system file lets the first open through and fails the second.
void tst_frontpanel::lostCardShowsEverywhereAndIsTriedAgain()
{
    auto panel = open("panel_lxi_reopenfails.json");
    QVERIFY(panel);
    QCOMPARE(panel->windowTitle(), QStringLiteral("Vantix 7240 Soft Front Panel: sfp-lxi-7"));
    auto look = [&] {
        return QStringList { panel->windowTitle(), panel->systemLabel->text(), panel->fcLabel->text(),
            samePicture(panel->logoLabel, QStringLiteral(":/lxi-logo.bmp")) ? "LXI" : "VXI",
            panel->aboutDialog->valueLabels[3].text(), panel->aboutDialog->valueLabels[5].text(),
            QString::number(panel->startButton->isEnabled()) + QString::number(panel->triggerButton->isEnabled())
                + QString::number(panel->calibrateButton->isEnabled()) + QString::number(panel->dac1Box->isEnabled())
                + QString::number(panel->resetButton->isEnabled()) };
    };
    const QStringList connected = look();

    ModalScript script;
    script.answer(QStringLiteral("Yes")).answer(QStringLiteral("No"));
    emit panel->resetButton->clicked();
    QCOMPARE(script.pending(), 0);
    QCOMPARE(look(), (QStringList { "Vantix 7240 Soft Front Panel", "No card", "", "VXI", "No card", "", "00001" }));
    QVERIFY(!ledLit(panel->activeLed));

    script.answer(QStringLiteral("Yes"));
    emit panel->resetButton->clicked();
    QCOMPARE(script.pending(), 0);
    QCOMPARE(script.seen.size(), 3);
    QCOMPARE(look(), connected);
    QVERIFY(ledLit(panel->activeLed));
    kdsim::clearCalls();
    panel->chan1->sineButton->click();
    panel->startButton->click();
    QCOMPARE(callArgs(firstCall("kd7240_generateWaveform")).value(QLatin1String("session")).toInteger(),
        qint64(panel->session));
    panel->startButton->click();
}

// Every control the operator can reach has a name a screen reader can say,
// the icon-only buttons included.
void tst_frontpanel::everyControlHasAName()
{
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QSet<QString> unnamed;
    int controls = 0;
    for (int tab = 0; tab < panel->tabs->count(); ++tab) {
        panel->tabs->setCurrentIndex(tab);
        QList<QAccessibleInterface *> pending { QAccessible::queryAccessibleInterface(panel.get()) };
        while (!pending.isEmpty()) {
            QAccessibleInterface *node = pending.takeFirst();
            if (!node)
                continue;
            for (int i = 0; i < node->childCount(); ++i)
                pending << node->child(i);
            static const QList<QAccessible::Role> interactive = { QAccessible::PushButton, QAccessible::CheckBox,
                QAccessible::ComboBox, QAccessible::SpinBox, QAccessible::EditableText, QAccessible::PageTab };
            if (!interactive.contains(node->role()) || node->state().invisible)
                continue;
            ++controls;
            // Qt falls back on a group's title or a combo box's current
            // text, which names nothing: a control needs a name of its own
            // or its own text.
            auto *widget = qobject_cast<QWidget *>(node->object());
            auto *button = qobject_cast<QAbstractButton *>(node->object());
            const bool named = node->role() == QAccessible::PageTab
                || (widget && !widget->accessibleName().trimmed().isEmpty())
                || (button && !button->text().remove(QLatin1Char('&')).trimmed().isEmpty());
            if (!named)
                unnamed << QString::fromLatin1(widget ? widget->metaObject()->className() : "?") + QLatin1Char(' ')
                        + node->text(QAccessible::Name);
        }
    }
    QVERIFY(controls > 20);
    QVERIFY2(unnamed.isEmpty(), qPrintable(QStringList(unnamed.begin(), unnamed.end()).join(", ")));
}

// Tab reaches every control on every tab, in each channel group in the order
// the eye reads it.
void tst_frontpanel::keyboardReachesEveryControl()
{
    auto panel = open("panel_vxi.json");
    QVERIFY(panel);
    panel->show();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));
    for (int tab = 0; tab < panel->tabs->count(); ++tab) {
        panel->tabs->setCurrentIndex(tab);
        QCOMPARE(focusChainProblems(panel.get()), QStringList());
    }
    panel->tabs->setCurrentIndex(0);
    panel->chan1->squareButton->click(); // the duty box is for the square only
    panel->chan1->sineButton->setFocus();
    QList<QWidget *> visited;
    kd7240fp_chSet *c = panel->chan1;
    const QList<QWidget *> expected = { c->squareButton, c->sawButton, c->triangleButton, c->arbitraryButton,
        c->amplitudeBox, c->offsetBox, c->filterBox, c->loadButton, c->formulaButton, c->sweepButton,
        c->modulationButton, c->phaseBox, c->dutyBox };
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, expected);
}

// The amplitude is the peak; its tool tip says what a scope would show.
// The tool tips give what the card plays, from the samples it is sent: a
// triangle of ten samples stops short of its peak, a duty is whole samples,
// and Exact frequency leaves a shape's timing as it is.
void tst_frontpanel::tipsSayWhatIsPlayed_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("duty");
    QTest::addColumn<QString>("tip"); // whose tool tip
    QTest::addColumn<QString>("said");
    // clang-format off
    QTest::newRow("sine") << 1 << 1000 << 2.0 << 50.0 << "amplitude" << "4.00 Vpp, 1.41 Vrms";
    QTest::newRow("square") << 2 << 1000 << 1.5 << 50.0 << "amplitude" << "3.00 Vpp, 1.50 Vrms";
    QTest::newRow("triangle, 1000 samples") << 4 << 1000 << 3.0 << 50.0 << "amplitude" << "5.99 Vpp, 1.73 Vrms";
    QTest::newRow("triangle, 10 samples") << 4 << 100000 << 1.0 << 50.0 << "amplitude" << "1.78 Vpp, 0.64 Vrms";
    QTest::newRow("shape 0, 1, 0, -1") << 5 << 1000 << 2.0 << 50.0 << "amplitude" << "4.00 Vpp, 1.41 Vrms";
    QTest::newRow("duty 25 %, 10 samples") << 2 << 100000 << 1.0 << 25.0 << "duty" << "Plays 20.0 % (2 of 10 samples high)";
    QTest::newRow("duty 25 %, 1000 samples") << 2 << 1000 << 1.0 << 25.0 << "duty" << "Plays 25.0 % (250 of 1000 samples high)";
    QTest::newRow("shape, exact frequency") << 5 << 1000 << 1.0 << 50.0 << "readout"
                                            << "One period is the shape's 4 samples, played at 4 kHz (the frequency "
                                               "times the samples): 1000.00 Hz. Exact frequency does not apply to a "
                                               "shape";
    // clang-format on
}

void tst_frontpanel::tipsSayWhatIsPlayed()
{
    QFETCH(int, type);
    QFETCH(int, frequency);
    QFETCH(double, amplitude);
    QFETCH(double, duty);
    QFETCH(QString, tip);
    QFETCH(QString, said);
    auto panel = open("panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    kd7240fp_chSet *c = panel->chan1;
    if (type == 5)
        c->setShape({ 0, 1, 0, -1 }, QStringLiteral("four.csv"));
    else
        (QList<QPushButton *> { c->sineButton, c->squareButton, c->sawButton, c->triangleButton })[type - 1]->click();
    panel->commonSettings->frequencyBox->setValue(frequency);
    panel->commonSettings->exactBox->setChecked(tip == QLatin1String("readout"));
    c->amplitudeBox->setValue(amplitude);
    c->dutyBox->setValue(duty);
    const std::map<QString, QWidget *> tips
        = { { "amplitude", c->amplitudeBox }, { "duty", c->dutyBox }, { "readout", panel->commonSettings->playedLabel } };
    const QString shown = tips.at(tip)->toolTip();
    QVERIFY2(shown.contains(said), qPrintable(shown));
}

// Change Card… connects to another card without a restart: the old session
// is closed, the new card read and shown everywhere, and the settings stay,
// fitted to its range and listed. Cancel keeps the card there is.
void tst_frontpanel::changeCardKeepsTheSettings_data()
{
    QTest::addColumn<QString>("choice"); // the second card, the card in use, demo mode, or cancel
    QTest::addColumn<QStringList>("shown"); // status line, About's model, amplitude
    QTest::addColumn<bool>("oldClosed");
    QTest::addColumn<QString>("told"); // the box after the flow; empty: none
    const QString fitted = QStringLiteral("The settings hold values beyond this card's output range; they were "
                                          "changed:\nChannel 1 amplitude: 8 V → 3.50 V, so that it fits beside the "
                                          "offset of 1.50 V");
    QTest::newRow("a card of a narrower range") << "card" << QStringList { "Slot 6", "7240-AB", "3.5" } << true
                                                << fitted;
    QTest::newRow("the card in use") << "same" << QStringList { "Slot 5", "7240-AA", "8" } << false
                                     << "Function card 1 on VXI0::8::INSTR is the card in use; it stays connected "
                                        "as it is.";
    QTest::newRow("demo mode") << "demo" << QStringList { "", "7240-AA (DEMO)", "8" } << true << "";
    QTest::newRow("cancel") << "cancel" << QStringList { "Slot 5", "7240-AA", "8" } << false << "";
}

void tst_frontpanel::changeCardKeepsTheSettings()
{
    QFETCH(QString, choice);
    QFETCH(bool, oldClosed);
    QFETCH(QString, told);
    QVERIFY(loadTestSystem("two_cards.json"));
    ModalScript script;
    script.answer(QStringLiteral("Auto Find")).act(pickCard(0));
    std::unique_ptr<PanelPeek> panel(new PanelPeek(&card));
    QCOMPARE(script.pending(), 0);
    const ViSession first = panel->session;
    panel->chan1->sineButton->click();
    panel->chan1->amplitudeBox->setValue(8);
    panel->chan1->offsetBox->setValue(1.5);
    panel->dac1Box->setValue(2.5);
    panel->startButton->click();
    QVERIFY(!panel->changeCardButton->isEnabled());
    panel->startButton->click();
    QVERIFY(panel->changeCardButton->isEnabled());
    kdsim::clearCalls();
    const int boxesBefore = int(script.seen.size());

    if (choice == QLatin1String("card") || choice == QLatin1String("same"))
        script.answer(QStringLiteral("Auto Find")).act(pickCard(choice == QLatin1String("card") ? 1 : 0));
    else
        script.answer(choice == QLatin1String("demo") ? QStringLiteral("Run In Demo Mode") : QStringLiteral("Cancel"));
    if (!told.isEmpty())
        script.answer(QStringLiteral("OK"));
    panel->changeCardButton->click();
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.pending(), 0);
    QStringList after;
    for (const SeenBox &box : script.seen.mid(boxesBefore + 1))
        if (box.className == QLatin1String("QMessageBox"))
            after << box.text;
    QCOMPARE(after, told.isEmpty() ? QStringList() : QStringList { told });
    QTEST(QStringList({ panel->systemLabel->text(), panel->aboutDialog->valueLabels[3].text(),
              QString::number(panel->chan1->amplitudeBox->value()) }),
        "shown");
    bool closed = false;
    for (const kdsim::Call &call : kdsim::calls("kd7240_close"))
        closed = closed || callArgs(call).value(QLatin1String("session")).toInt() == int(first);
    QCOMPARE(closed, oldClosed);
    QCOMPARE(panel->chan1->waveType, 1);
    if (!oldClosed) {
        // The card in use was neither opened again nor reset: its output stays.
        QCOMPARE(kdsim::calls("kd7240_init").size(), size_t(0));
        QCOMPARE(kdsim::cardState(first).dac[0], 2.5);
    }

    // What the window shows is what the new card is sent.
    if (choice == QLatin1String("card")) {
        panel->startButton->click();
        const kdsim::Call sent = firstCall("kd7240_generateWaveform");
        QCOMPARE(callArgs(sent).value(QLatin1String("session")).toInt(), int(panel->session));
        QCOMPARE(callArgs(sent).value(QLatin1String("data")).toObject().value(QLatin1String("max")).toDouble(), 5.0);
        panel->startButton->click();
    }
}

// A label whose text changes is heard with that text, not only by its name.
void tst_frontpanel::screenReadersHearTheText_data()
{
    QTest::addColumn<QString>("label");
    QTest::newRow("played frequency") << "played";
    QTest::newRow("shape") << "shape";
    QTest::newRow("problem with the formula") << "problem";
    QTest::newRow("what the card is sent") << "sent";
    QTest::newRow("sample under the pointer") << "pointer";
}

void tst_frontpanel::screenReadersHearTheText()
{
    QFETCH(QString, label);
    auto panel = open("panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    panel->chan1->setFormulaShape({ 0, 1, 0, -1 }, QStringLiteral("sin(2*pi*t"));
    panel->commonSettings->frequencyBox->setValue(66667);
    kd7240fp_formulaDialog dialog(panel.get(), QStringLiteral("Channel 1"), QStringLiteral("sin(2*pi*t"), 1000, 2000);
    panel->tabs->setCurrentWidget(panel->preview);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    const std::map<QString, QLabel *> labels = { { "played", panel->commonSettings->playedLabel },
        { "shape", panel->chan1->shapeLabel }, { "problem", dialog.problemLabel }, { "sent", dialog.sentLabel },
        { "pointer", panel->preview->readout } };
    QLabel *shown = labels.at(label);
    QVERIFY(!shown->text().isEmpty());
    QAccessibleInterface *heard = QAccessible::queryAccessibleInterface(shown);
    QVERIFY(heard);
    const QString words = heard->text(QAccessible::Name) + QLatin1Char(' ') + heard->text(QAccessible::Description);
    QVERIFY2(words.contains(shown->text()), qPrintable(words));
}

QTEST_MAIN(tst_frontpanel)
#include "tst_frontpanel.moc"
