// The Formula dialog as the operator uses it: type a formula, see whether OK
// takes it and why not, accept, and find it first in the remembered formulas.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include "kd7010fp_fcenteraddress.h"
#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_formula.h"
#include "kd7240fp_formuladialog.h"
#include "modalscript.h"
#include "panelfixture.h"

class tst_formulaDialog : public QObject
{
    Q_OBJECT

private slots:
    void typed_data();
    void typed();
    void formulaPlaysThroughThePanel();

private:
    kd7240_fc card;
};

namespace {

// Ten formulas remembered before each row, newest first. The last two
// begin with what some rows type: the line must never complete into them.
QStringList earlier()
{
    QStringList formulas;
    for (int k = 1; k <= kd7240fp_formulaDialog::historySize - 2; ++k)
        formulas << QStringLiteral("sin(2*pi*%1*t)").arg(k);
    return formulas << QStringLiteral("tri(t)") << QStringLiteral("sin(2*pi*t) + sin(2*pi*3*t)/3 + 0.2*saw(2*t)");
}

} // namespace

void tst_formulaDialog::typed_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<bool>("okEnabled");

    // clang-format off
    QTest::newRow("sine") << "sin(2*pi*t)" << 1000 << 1000 << ""
                          << "1000 samples per period, played at 1 MHz (1000 Hz × 1000)" << true;
    QTest::newRow("10 % pulses") << "  saw(10*t) < -0.8 ? 1 : -1 " << 100000 << 10 << ""
                                 << "100000 samples per period, played at 1 MHz (10 Hz × 100000)" << true;
    QTest::newRow("t alone") << "t" << 1000 << 1000 << ""
                             << "1000 samples per period, played at 1 MHz (1000 Hz × 1000)" << true;
    QTest::newRow("one remembered already") << "sin(2*pi*4*t)" << 500 << 50 << ""
                                            << "500 samples per period, played at 25 kHz (50 Hz × 500)" << true;
    QTest::newRow("extra parenthesis") << "sin(2*pi*t))" << 1000 << 1000 << "Unexpected token ')' at position 12"
                                       << "1000 samples per period, played at 1 MHz (1000 Hz × 1000)" << false;
    QTest::newRow("not finite") << "log(t)" << 100 << 1000 << "The result is not finite: sample 0 is -inf."
                                << "100 samples per period, played at 100 kHz (1000 Hz × 100)" << false;
    QTest::newRow("too fast") << "sin(2*pi*t)" << 2000 << 1000 << ""
                              << "2000 samples per period, played at 2 MHz (1000 Hz × 2000): too fast, the card "
                                 "plays at most 1 MHz; use at most 1000 samples" << false;
    // clang-format on
}

void tst_formulaDialog::typed()
{
    QFETCH(QString, formula);
    QFETCH(int, samples);
    QFETCH(int, frequency);
    QFETCH(QString, problem);
    QFETCH(QString, sent);
    QFETCH(bool, okEnabled);

    QSettings(kd7010fp_fcEnterAddress::settingsFilePath(), QSettings::IniFormat)
        .setValue(QStringLiteral("7240/Formulas"), earlier());

    QString title, seenProblem, seenSent, lineAtStart;
    bool seenOk = !okEnabled;
    ModalScript script;
    script.act([&](QWidget *w) {
        auto *dialog = qobject_cast<kd7240fp_formulaDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        title = dialog->windowTitle();
        lineAtStart = dialog->formulaBox->currentText();
        dialog->samplesBox->setValue(samples);
        dialog->formulaBox->clearEditText();
        QTest::keyClicks(dialog->formulaBox->lineEdit(), formula);
        QTest::qWait(20);
        seenProblem = dialog->problemLabel->text();
        seenSent = dialog->sentLabel->text();
        seenOk = dialog->okButton->isEnabled();
        (seenOk ? dialog->okButton : dialog->buttons->button(QDialogButtonBox::Cancel))->click();
    });
    const std::optional<kd7240fp_formulaDialog::Result> result
        = kd7240fp_formulaDialog::ask(nullptr, QStringLiteral("Channel 2"), QString(), 1000, frequency);
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.pending(), 0);

    QCOMPARE(title, QStringLiteral("Channel 2: Formula"));
    QCOMPARE(lineAtStart, earlier().first());
    QCOMPARE(seenProblem, problem);
    QCOMPARE(seenSent, sent);
    QCOMPARE(seenOk, okEnabled);
    QCOMPARE(result.has_value(), okEnabled);

    QStringList remembered = earlier();
    if (okEnabled) {
        const kd7240fp::Formula expected = kd7240fp::evaluateFormula(formula, samples);
        QCOMPARE(result->formula, formula.trimmed());
        QCOMPARE(result->samples, samples);
        QVERIFY(result->shape == expected.samples);
        remembered.removeAll(formula.trimmed());
        remembered.prepend(formula.trimmed());
        remembered = remembered.mid(0, kd7240fp_formulaDialog::historySize);
    }
    QCOMPARE(kd7240fp_formulaDialog::history(), remembered);
}

// Formula… on a channel: the dialog starts with the samples a period of the
// frequency set has; what is accepted is the channel's shape, named by its
// formula, and Start plays it at that frequency.
void tst_formulaDialog::formulaPlaysThroughThePanel()
{
    kdsim::reset();
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    kdsim::keepSamples(true);
    panel->commonSettings->frequencyBox->setValue(2500);
    panel->chan2->amplitudeBox->setValue(2);
    panel->chan2->offsetBox->setValue(0);
    int offered = 0;
    ModalScript script;
    script.act([&](QWidget *w) {
        auto *dialog = qobject_cast<kd7240fp_formulaDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        offered = dialog->samplesBox->value();
        dialog->formulaBox->setEditText(QStringLiteral("square(t)"));
        dialog->accept();
    });
    panel->chan2->formulaButton->click();
    QCOMPARE(offered, 400);
    QCOMPARE(panel->chan2->waveType, int(kd7240fp::waveArbitrary));
    QCOMPARE(panel->chan2->shapeLabel->text(), QStringLiteral("square(t)"));
    QCOMPARE(panel->settings().channel[1].formula, QStringLiteral("square(t)"));
    panel->startButton->click();
    const kdsim::Call sent = firstCall("kd7240_generateWaveform");
    QCOMPARE(callArgs(sent).value(QLatin1String("nSam")).toInt(), 400);
    QCOMPARE(callArgs(sent).value(QLatin1String("rate")).toDouble(), 1e6);
    QCOMPARE(sent.data1.size(), size_t(400));
    QCOMPARE(sent.data1.front(), 2.0);
    QCOMPARE(sent.data1.back(), -2.0);
    panel->startButton->click();
}

QTEST_MAIN(tst_formulaDialog)
#include "tst_formuladialog.moc"
