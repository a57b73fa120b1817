// One operator session through the real panel against the simulated card,
// run once more for every driver call it makes, each time with that one call
// failing. Whatever fails, the panel must not crash or hang, must never stack
// two report boxes, and must end showing what the card does: generating if
// and only if the card has a burst.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "panelfixture.h"

namespace {

const ViStatus driverError = ViStatus(0xBFFC0803);

// Answers every box as an operator who never quits would: No in error boxes,
// OK in the others, Auto Find (again) when asked how to connect, Yes to the
// exit question. Counts the message boxes open at the same time.
class Operator : public QObject
{
public:
    Operator()
    {
        connect(&timer, &QTimer::timeout, this, &Operator::look);
        timer.start(5);
    }

    int mostBoxesAtOnce = 0;
    QStringList unexpected;

private:
    void look()
    {
        int open = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            open += qobject_cast<QMessageBox *>(w) && w->isVisible();
        mostBoxesAtOnce = qMax(mostBoxesAtOnce, open);

        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == answered)
            return;
        answered = box;
        if (box->text() == QLatin1String("Do you really want to exit?") && ModalScript::clickButton(box, "Yes"))
            return;
        for (const char *answer : { "No", "OK", "Auto Find", "Try Again" })
            if (ModalScript::clickButton(box, QString::fromLatin1(answer)))
                return;
        unexpected << box->text();
        box->reject();
    }

    QTimer timer;
    QPointer<QMessageBox> answered;
};

struct Step
{
    const char *name;
    std::function<void(PanelPeek *)> act;
};

void clickUntilIdle(PanelPeek *panel)
{
    // The operator presses Stop again while the card refuses to stop.
    for (int i = 0; i < 2 && panel->startButton->isChecked(); ++i)
        panel->startButton->click();
}

// Connect (in the constructor), set both channels, Start, one poll, Pause,
// Resume, Trigger, Stop, a DAC write, Calibrate; Close comes after the check.
const QList<Step> session = {
    { "channels",
        [](PanelPeek *p) {
            p->chan1->sineButton->click();
            p->chan2->squareButton->click();
            p->chan2->filterBox->setCurrentIndex(2);
            emit p->chan2->filterBox->activated(2);
        } },
    { "start", [](PanelPeek *p) { p->startButton->click(); } },
    { "poll", [](PanelPeek *p) { p->timerCallback(); } },
    { "pause", [](PanelPeek *p) { p->pauseButton->click(); } },
    { "resume", [](PanelPeek *p) { p->pauseButton->click(); } },
    { "trigger", [](PanelPeek *p) { p->triggerButton->click(); } },
    { "stop", clickUntilIdle },
    { "DAC write",
        [](PanelPeek *p) {
            p->tabs->setCurrentIndex(1);
            p->dac1Box->setValue(1.5);
        } },
    { "calibrate", [](PanelPeek *p) { p->calibrateButton->click(); } },
};

struct Run
{
    QStringList driverCalls;
    QString problem; // empty when every check held
};

} // namespace

class tst_faultsweep : public QObject
{
    Q_OBJECT

private slots:
    void everyDriverCallMayFail();

private:
    Run runSession(const QString &faultCall, int nth);
    kd7240_fc card;
};

Run tst_faultsweep::runSession(const QString &faultCall, int nth)
{
    Run run;
    kdsim::reset();
    if (!loadTestSystem("panel_vxi.json"))
        return { {}, QStringLiteral("system file") };
    if (!faultCall.isEmpty())
        kdsim::addFaultAt(faultCall.toStdString(), driverError, nth);

    Operator operatorAtWork;
    auto panel = std::make_unique<PanelPeek>(&card);
    for (const Step &step : session) {
        step.act(panel.get());
        QCoreApplication::processEvents();
    }

    const bool windowGenerating = panel->startButton->isChecked();
    const bool cardGenerating = panel->session != 0 && kdsim::cardState(panel->session).generating;
    if (windowGenerating != cardGenerating)
        run.problem = QStringLiteral("the window shows %1, the card %2")
                          .arg(windowGenerating ? "generating" : "idle", cardGenerating ? "generating" : "idle");

    panel->close();
    panel.reset();
    run.driverCalls = driverCalls();
    if (operatorAtWork.mostBoxesAtOnce > 1)
        run.problem += QStringLiteral(" %1 boxes open at once").arg(operatorAtWork.mostBoxesAtOnce);
    if (!operatorAtWork.unexpected.isEmpty())
        run.problem += QStringLiteral(" unexpected box: ") + operatorAtWork.unexpected.join(QStringLiteral(" / "));
    return run;
}

void tst_faultsweep::everyDriverCallMayFail()
{
    const Run clean = runSession(QString(), 0);
    QVERIFY2(clean.problem.isEmpty(), qPrintable(clean.problem));
    QVERIFY(clean.driverCalls.contains(QStringLiteral("kd7240_generateWaveforms")));
    QVERIFY(clean.driverCalls.contains(QStringLiteral("kd7240_close")));

    QHash<QString, int> seen;
    int runs = 0;
    for (const QString &call : clean.driverCalls) {
        const int nth = ++seen[call];
        const Run faulty = runSession(call, nth);
        ++runs;
        QVERIFY2(faulty.problem.isEmpty(), qPrintable(QStringLiteral("%1 #%2 failing: %3").arg(call).arg(nth).arg(faulty.problem)));
    }
    qInfo("fault sweep: %d runs, one for each of the session's %d driver calls (%d distinct)", runs,
          int(clean.driverCalls.size()), int(seen.size()));
}

QTEST_MAIN(tst_faultsweep)
#include "tst_faultsweep.moc"
