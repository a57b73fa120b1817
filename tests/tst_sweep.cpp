// Sweeps: the shape a sweep makes, against its phase integrated in the test;
// the dialog's refusals and its word on the seam; the channel's label.
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <cmath>

#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_shapeplot.h"
#include "kd7240fp_sweepdialog.h"
#include "kd7240fp_synthesis.h"
#include "modalscript.h"
#include "panelfixture.h"

class tst_sweep : public QObject
{
    Q_OBJECT

private slots:
    void shape_data();
    void shape();
    void dialog_data();
    void dialog();

private:
    kd7240_fc card;
};

// The instantaneous frequency runs from start to stop over one period T;
// the phase is its integral, taken here step by step (Simpson's rule over
// each sample), not from the closed form the panel uses.
void tst_sweep::shape_data()
{
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("stop");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("samples");
    QTest::newRow("linear, 1 kHz to 10 kHz in 0.1 s") << false << 1000.0 << 10000.0 << 10 << 100000;
    QTest::newRow("logarithmic, 100 Hz to 10 kHz") << true << 100.0 << 10000.0 << 10 << 100000;
    QTest::newRow("linear, downwards") << false << 5000.0 << 500.0 << 100 << 10000;
    QTest::newRow("logarithmic, downwards") << true << 5000.0 << 500.0 << 100 << 10000;
    QTest::newRow("logarithmic, one frequency") << true << 1000.0 << 1000.0 << 100 << 10000;
}

void tst_sweep::shape()
{
    QFETCH(bool, logarithmic);
    QFETCH(double, start);
    QFETCH(double, stop);
    QFETCH(int, frequency);
    QFETCH(int, samples);
    const std::vector<double> s = kd7240fp::sweepShape(start, stop, logarithmic, samples, frequency);
    QCOMPARE(int(s.size()), samples);
    const double T = 1.0 / frequency;
    const auto hertz = [&](double t) { return logarithmic ? start * std::pow(stop / start, t) : start + (stop - start) * t; };
    double turns = 0; // the phase in cycles at sample i
    for (int i = 0; i < samples; ++i) {
        QVERIFY2(std::fabs(s[size_t(i)] - std::sin(2 * M_PI * (turns - std::floor(turns)))) < 1e-6,
            qPrintable(QStringLiteral("sample %1").arg(i)));
        const double a = double(i) / samples, b = double(i + 1) / samples;
        turns += T * (b - a) / 6 * (hertz(a) + 4 * hertz((a + b) / 2) + hertz(b));
    }
    QVERIFY(std::fabs(kd7240fp::sweepCycles(start, stop, logarithmic, frequency) - turns) < 1e-6);
}

// What the dialog takes, and what it says: a top frequency above a tenth of
// the sample rate and a rate above the card's are refused, with the reason
// and OK disabled; a sweep that ends off a whole cycle has its seam named.
// OK gives the channel its shape, labelled with the sweep.
void tst_sweep::dialog_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("stop");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("said"); // in the problem, the seam's line or what is sent; empty: none of the first two
    QTest::newRow("whole cycles") << 1000.0 << 10000.0 << 10 << 100000 << true << "";
    QTest::newRow("off a whole cycle") << 1000.0 << 10001.0 << 10 << 100000 << true
                                       << "The sweep plays 550.050 cycles, not a whole number: at the seam back to "
                                          "its start its phase jumps 18.0°.";
    // Its samples step no more at the seam than elsewhere, yet the phase turns half a cycle.
    QTest::newRow("half a cycle off") << 1000.0 << 10010.0 << 10 << 100000 << true
                                      << "its phase jumps 180.0°";
    QTest::newRow("top above a tenth of the rate") << 100.0 << 5000.0 << 10 << 1000 << false
                                                   << "The sweep reaches 5 kHz, above a tenth of the sample rate "
                                                      "(10 kHz): fewer than 10 samples a period at the top. Use at "
                                                      "least 5000 samples, or a lower stop frequency.";
    // More samples would pass the card's 1 MHz: the advice is what works.
    QTest::newRow("no samples would do") << 100.0 << 150000.0 << 1000 << 100 << false
                                         << "At 1000 Hz the card plays at most 1000 samples a period, so the sweep "
                                            "may reach 100 kHz: lower the stop frequency";
    QTest::newRow("rate above 1 MHz") << 100.0 << 1000.0 << 10 << 200000 << false
                                      << "too fast, the card plays at most 1 MHz; use at most 100000 samples";
}

void tst_sweep::dialog()
{
    QFETCH(double, start);
    QFETCH(double, stop);
    QFETCH(int, frequency);
    QFETCH(int, samples);
    QFETCH(bool, ok);
    QFETCH(QString, said);
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    panel->commonSettings->frequencyBox->setValue(frequency);
    QString heard;
    bool offered = !ok;
    ModalScript script;
    script.act([&](QWidget *w) {
        auto *dialog = qobject_cast<kd7240fp_sweepDialog *>(w);
        dialog->samplesBox->setValue(samples);
        dialog->startBox->setValue(start);
        dialog->stopBox->setValue(stop);
        QCoreApplication::processEvents();
        heard = dialog->problemLabel->text() + dialog->seamLabel->text();
        if (!said.isEmpty())
            heard += dialog->shapePlot->sentLabel->text();
        offered = dialog->okButton->isEnabled();
        (offered ? dialog->okButton : dialog->buttons->button(QDialogButtonBox::Cancel))->click();
    });
    panel->chan1->sweepButton->click();
    QCOMPARE(script.pending(), 0);
    QCOMPARE(offered, ok);
    QVERIFY2(said.isEmpty() ? heard.isEmpty() : heard.contains(said), qPrintable(heard));
    if (!ok)
        return;
    const kd7240fp::ChannelSettings played = panel->settings().channel[0];
    QCOMPARE(played.waveType, int(kd7240fp::waveArbitrary));
    QCOMPARE(played.shape.vector(), kd7240fp::sweepShape(start, stop, false, samples, frequency));
    QCOMPARE(played.sweep.start, start);
    QCOMPARE(played.sweep.frequency, frequency);
    QVERIFY(panel->chan1->shapeLabel->toolTip().startsWith(kd7240fp::sweepLabel(played.sweep, frequency)));
    // At another common frequency the sweep plays its frequencies scaled alike, and says so.
    panel->commonSettings->frequencyBox->setValue(2 * frequency);
    QVERIFY2(panel->chan1->shapeLabel->toolTip().startsWith(
                 QStringLiteral("sweep %1 → %2, linear (made at %3 Hz)")
                     .arg(kd7240fp::clockText(2 * start), kd7240fp::clockText(2 * stop))
                     .arg(frequency)),
        qPrintable(panel->chan1->shapeLabel->toolTip()));
}

QTEST_MAIN(tst_sweep)
#include "tst_sweep.moc"
