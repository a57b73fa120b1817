// Setup files: what is saved comes back exactly; a file that cannot be used
// changes nothing; values beyond the card's range are brought within it; a
// saved setup plays sample for sample what was played when it was saved.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>

#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_setup.h"
#include "kd7240fp_synthesis.h"
#include "modalscript.h"
#include "panelfixture.h"

using kd7240fp::Settings;

Q_DECLARE_METATYPE(kd7240fp::Settings)
Q_DECLARE_METATYPE(std::function<void(kd7240fp::Settings &)>)

namespace {

std::vector<double> ramp(int n)
{
    std::vector<double> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = -1 + 2.0 * i / (n - 1);
    return s;
}

QString writeText(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return file.fileName();
}

} // namespace

class tst_setup : public QObject
{
    Q_OBJECT

private slots:
    void init() { kdsim::reset(); }
    void roundTrip_data();
    void roundTrip();
    void brokenFilesChangeNothing_data();
    void brokenFilesChangeNothing();
    void valuesBeyondTheCardAreBroughtWithin_data();
    void valuesBeyondTheCardAreBroughtWithin();
    void saveAsksBeforeReplacing_data();
    void saveAsksBeforeReplacing();
    void savedSetupPlaysTheSame();

private:
    kd7240_fc card;
};

void tst_setup::roundTrip_data()
{
    QTest::addColumn<Settings>("settings");
    Settings s;
    QTest::newRow("a new panel") << s;
    s.channel[0].waveType = 1;
    s.channel[0].amplitude = 2.5;
    s.channel[0].offset = -1.25;
    s.channel[0].phase = 90;
    s.common = { 3, 1, 1, 1024, true };
    QTest::newRow("sine by trigger, limited, exact") << s;
    s.channel[1].waveType = 2;
    s.channel[1].duty = 12.5;
    s.channel[1].filterIndex = 0;
    s.channel[1].lastFilter = 2;
    QTest::newRow("square grounded, keeping its filter") << s;
    s.channel[0].waveType = 3;
    s.channel[1].waveType = 4;
    s.channel[1].filterIndex = 4;
    s.common = { 100000, 0, 0, 1, false };
    QTest::newRow("saw and triangle") << s;
    s.channel[1].waveType = 5;
    s.channel[1].shape = ramp(7);
    s.channel[1].shapeName = QStringLiteral("/lab/ramp \"7\".csv");
    s.channel[0].shape = { 0.1, -1, 1 / 3.0 }; // loaded but not chosen
    s.channel[0].shapeName = QStringLiteral("c:\\old\\x.wav");
    QTest::newRow("a shape, and another loaded") << s;
    s.channel[0].waveType = 5;
    s.channel[0].shape = ramp(262143);
    s.channel[0].formula = QStringLiteral("sin(2*pi*t)^3");
    s.channel[0].shapeName.clear();
    s.channel[1].shape = ramp(262143);
    QTest::newRow("two shapes at the longest") << s;
    s.channel[1].sweep = { 1000, 10000.5, true, 10 };
    QTest::newRow("a sweep beside a formula") << s;
    // Kept as played, bit for bit: this sweep peaks at 0.951, not 1.
    s.channel[1].shape = kd7240fp::sweepShape(10000, 10000, false, 100, 1000);
    s.channel[1].sweep = { 10000, 10000, false, 1000 };
    QTest::newRow("a sweep's samples as played") << s;
    // A modulation makes the file version 2: an older panel refuses it by name.
    Settings am;
    am.channel[0].waveType = 2;
    am.channel[0].modulation.type = kd7240fp::Modulation::FSK;
    am.channel[0].modulation.hop = 1234.5;
    QTest::newRow("a modulated channel") << am;
    // Outputs turned off remotely keep the functions they come back with.
    Settings off;
    off.channel[0].parked = kd7240fp::waveSquare;
    off.channel[1].parked = kd7240fp::waveDc;
    off.channel[1].sweepWhenOn = { 20, 2000.5, true, 50 };
    QTest::newRow("outputs off, their functions kept") << off;
}

void tst_setup::roundTrip()
{
    QFETCH(Settings, settings);
    const QByteArray written = kd7240fp::writeSetup(settings);
    QCOMPARE(QJsonDocument::fromJson(written).object().value(QLatin1String("version")).toInt(),
        settings.channel[0].modulation.active() ? 2 : 1);
    const kd7240fp::SetupRead read = kd7240fp::readSetup(written, QStringLiteral("s.kd7240"));
    QVERIFY2(read.ok, qPrintable(read.error));
    QVERIFY(read.settings == settings);
    // What a setup of an older panel holds is written as it was.
    const kd7240fp::ChannelSettings plain;
    const bool beyondOld = std::any_of(std::begin(settings.channel), std::end(settings.channel),
        [&](const kd7240fp::ChannelSettings &c) { return c.parked != plain.parked || !(c.sweepWhenOn == plain.sweepWhenOn); });
    QCOMPARE(written.contains("WhenOn\""), beyondOld);
}

void tst_setup::brokenFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("from"); // replaced in a valid setup of the panel's settings
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("error");
    QTest::newRow("no JSON") << QByteArray("{") << QByteArray("[")
                             << "\"s.kd7240\" is not a setup: missing value separator at character 19.";
    QTest::newRow("other JSON") << QByteArray("\"setup\"") << QByteArray("\"set-up\"")
                                << "\"s.kd7240\" is not a setup of this panel.";
    QTest::newRow("newer version") << QByteArray("\"version\": 1") << QByteArray("\"version\": 3")
                                   << "\"s.kd7240\" was saved by a newer panel (setup version 3); this panel reads "
                                      "version 2.";
    QTest::newRow("another card") << QByteArray("\"7240\"") << QByteArray("\"6208\"")
                                  << "\"s.kd7240\": model is \"6208\": this panel plays setups of the 7240.";
    QTest::newRow("missing key") << QByteArray("\"cycles\"") << QByteArray("\"cycle\"")
                                 << "\"s.kd7240\": cycles is missing.";
    QTest::newRow("mistyped key") << QByteArray("\"frequency\": 1000") << QByteArray("\"frequency\": \"1000\"")
                                  << "\"s.kd7240\": frequency must be a number.";
    QTest::newRow("frequency out of range") << QByteArray("\"frequency\": 1000") << QByteArray("\"frequency\": 0")
                                            << "\"s.kd7240\": frequency is 0, out of its range 1 to 100000.";
    QTest::newRow("cycles not whole") << QByteArray("\"cycles\": 10") << QByteArray("\"cycles\": 2.5")
                                      << "\"s.kd7240\": cycles must be a whole number.";
    QTest::newRow("waveform code") << QByteArray("\"waveform\": \"Sine\"") << QByteArray("\"waveform\": 1")
                                   << "\"s.kd7240\": channels[0].waveform must be one of \"None\", \"Sine\", "
                                      "\"Square\", \"Saw\", \"Triangle\", \"Arbitrary\".";
    QTest::newRow("filter") << QByteArray("\"filter\": \"Bypass\"") << QByteArray("\"filter\": \"2KHz\"")
                            << "\"s.kd7240\": channels[0].filter must be one of \"Ground\", \"Bypass\", \"1KHz\", "
                               "\"10KHz\", \"100KHz\".";
    QTest::newRow("shape too short") << QByteArray("0.5,\n") << QByteArray("")
                                     << "\"s.kd7240\": channels[1].shape.samples holds 1 samples; a period holds 2 to "
                                        "262143.";
    QTest::newRow("sample no number") << QByteArray("0.5,\n") << QByteArray("\"0.5\",\n")
                                      << "\"s.kd7240\": channels[1].shape.samples[0] must be a finite number.";
    // Just beyond an end, a value reads as itself, never as the end.
    QTest::newRow("frequency just above") << QByteArray("\"frequency\": 1000")
                                          << QByteArray("\"frequency\": 100000.00000000001")
                                          << "\"s.kd7240\": frequency is 100000.00000000001, out of its range 1 to "
                                             "100000.";
    QTest::newRow("version just above") << QByteArray("\"version\": 1") << QByteArray("\"version\": 2.0000000000000004")
                                        << "\"s.kd7240\" was saved by a newer panel (setup version "
                                           "2.0000000000000004); this panel reads version 2.";
    QTest::newRow("amplitude far above") << QByteArray("\"amplitude\": 0,") << QByteArray("\"amplitude\": 1000001,")
                                         << "\"s.kd7240\": channels[0].amplitude is 1000001, out of its range 0 to "
                                            "1000000.";
    QTest::newRow("key twice") << QByteArray("\"amplitude\": 0,") << QByteArray("\"amplitude\": 0, \"amplitude\": 5,")
                               << "\"s.kd7240\": channels[0].amplitude is given twice.";
    QTest::newRow("shape of zeros") << QByteArray("0.5,\n                    -1\n")
                                    << QByteArray("0,\n                    0\n")
                                    << "\"s.kd7240\": channels[1].shape.samples are 0 throughout: there is nothing "
                                       "to play.";
    QTest::newRow("shape played but missing") << QByteArray("\"shape\": {") << QByteArray("\"shape\": null, \"x\": {")
                                              << "\"s.kd7240\": channels[1].shape is missing: the channel plays a "
                                                 "shape.";
}

void tst_setup::brokenFilesChangeNothing()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, error);
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    panel->chan1->sineButton->click();
    panel->chan2->setShape({ 0.5, -1 }, QStringLiteral("two.csv"));
    const Settings before = panel->settings();
    QByteArray text = kd7240fp::writeSetup(before);
    // A compact document, so the replacements find their text.
    text = QJsonDocument::fromJson(text).toJson(QJsonDocument::Indented).replace("\n            0.5", "0.5");
    QVERIFY(text.contains(from));
    text.replace(text.indexOf(from), from.size(), to);

    QTemporaryDir dir;
    ModalScript script;
    script.answer(QStringLiteral("OK"));
    QVERIFY(!panel->openSetupFile(writeText(dir, QStringLiteral("s.kd7240"), text)));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].text, error);
    QVERIFY(panel->settings() == before);
}

// Saved on a card with a wider range, or by hand with more decimals than the
// boxes show: the values are brought within this card's range (-5 V to 8 V)
// and to the boxes' decimals, amplitude and offset as a pair so that what
// is listed plays, and one message lists each change.
void tst_setup::valuesBeyondTheCardAreBroughtWithin_data()
{
    QTest::addColumn<Settings>("saved");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<double>("peak"); // of channel 1 as Start then sends it
    const QString heading = QStringLiteral("\"wide.kd7240\" holds values beyond this card's output range or with "
                                           "more decimals than its boxes show; they were changed:\n");
    Settings s;
    s.channel[0].waveType = 2;
    s.channel[0].amplitude = 9;
    s.channel[0].phase = 12.3456;
    s.channel[1].offset = -7.5;
    s.channel[1].amplitude = 1.234;
    s.channel[1].duty = 33.333;
    QTest::newRow("a wider card") << s
                                  << heading
            + "Channel 1 amplitude: 9 V → 5.00 V, so that it fits beside the offset of 0.00 V\n"
              "Channel 1 phase: 12.3456° → 12.35°\nChannel 2 offset: -7.5 V → -5.00 V\n"
              "Channel 2 amplitude: 1.234 V → 0.00 V, so that it fits beside the offset of -5.00 V\n"
              "Channel 2 duty: 33.333 % → 33.3 %"
                                  << 5.0;
    Settings pair;
    pair.channel[0].waveType = 2;
    pair.channel[0].amplitude = 6;
    pair.channel[0].offset = 3;
    QTest::newRow("amplitude and offset, each within") << pair
                                                       << heading
            + "Channel 1 amplitude: 6 V → 5.00 V, so that it fits beside the offset of 3.00 V"
                                                       << 8.0;
    pair.channel[0].amplitude = 2;
    pair.channel[0].offset = 3;
    pair.channel[0].sweep = { 1000.004, 20000.125, false, 10 };
    QTest::newRow("a sweep's frequencies") << pair
                                           << heading
            + "Channel 1 sweep start: 1000.004 Hz → 1000.00 Hz\nChannel 1 sweep stop: 20000.125 Hz → 20000.13 Hz"
                                           << 5.0;
    pair.channel[0].sweep = kd7240fp::Sweep();
    pair.channel[0].sweepWhenOn = { 100.004, 2000.125, false, 0 };
    QTest::newRow("the sweep a client turns on") << pair
                                                 << heading
            + "Channel 1 remote sweep start: 100.004 Hz → 100.00 Hz\n"
              "Channel 1 remote sweep stop: 2000.125 Hz → 2000.13 Hz"
                                                 << 5.0;
}

void tst_setup::valuesBeyondTheCardAreBroughtWithin()
{
    QFETCH(Settings, saved);
    QFETCH(QString, listed);
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.kd7240"));
    QString error;
    if (saved.channel[0].sweep.isSweep())
        saved.channel[0].shape = { 1, -1 };
    QVERIFY(kd7240fp::writeSetupFile(path, saved, &error));
    ModalScript script;
    script.answer(QStringLiteral("OK"));
    QVERIFY(panel->openSetupFile(path));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].text, listed);
    QCOMPARE(driverCalls(), QStringList());
    // What is listed plays.
    kdsim::keepSamples(true);
    panel->startButton->click();
    const std::vector<double> sent = firstCall("kd7240_generateWaveform").data1;
    QVERIFY(!sent.empty());
    QTEST(*std::max_element(sent.begin(), sent.end()), "peak");
    panel->startButton->click();
}

// The question about replacing a file comes for the file that is written.
// A desktop's own dialog may return the name as typed, without ".kd7240":
// the panel adds it and asks itself (the dialog here is told to add no
// suffix, as such a dialog does).
void tst_setup::saveAsksBeforeReplacing_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("kept") << "No";
    QTest::newRow("replaced") << "Yes";
}

void tst_setup::saveAsksBeforeReplacing()
{
    QFETCH(QString, answer);
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    QTemporaryDir dir;
    const QString path = writeText(dir, QStringLiteral("keep.kd7240"), QByteArray("before"));
    QVERIFY(!path.isEmpty());
    ModalScript script;
    script.act([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog)
            return void(w->close());
        dialog->setDefaultSuffix(QString());
        dialog->setDirectory(dir.path());
        dialog->selectFile(QStringLiteral("keep"));
        QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog *>(dialog)->accept(); });
    });
    script.answer(answer);
    panel->saveSetupButton->click();
    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(script.pending(), 0);
    QCOMPARE(script.seen.value(1).text, QStringLiteral("\"keep.kd7240\" already exists.\nDo you want to replace it?"));
    QCOMPARE(kd7240fp::readSetupFile(path).ok, answer == QLatin1String("Yes"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("keep"))));
}

// Both channels set (one a shape), saved, everything changed, opened: Start
// sends what it sent before, sample for sample.
void tst_setup::savedSetupPlaysTheSame()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    kdsim::keepSamples(true);
    panel->chan1->triangleButton->click();
    panel->chan1->amplitudeBox->setValue(2.25);
    panel->chan1->offsetBox->setValue(-1);
    panel->chan1->filterBox->setCurrentIndex(3);
    panel->chan2->setShape(ramp(500), QStringLiteral("ramp.csv"));
    panel->chan2->amplitudeBox->setValue(1.5);
    panel->commonSettings->frequencyBox->setValue(250);
    panel->commonSettings->stopBox->setCurrentIndex(1);
    panel->commonSettings->cyclesBox->setValue(7);
    panel->startButton->click();
    const kdsim::Call first = firstCall("kd7240_generateWaveforms");
    panel->startButton->click();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.kd7240"));
    QString error;
    QVERIFY(kd7240fp::writeSetupFile(path, panel->settings(), &error));

    panel->chan1->sawButton->click();
    panel->chan1->amplitudeBox->setValue(0.5);
    panel->chan1->filterBox->setCurrentIndex(0);
    panel->chan2->setShape(ramp(20), QStringLiteral("other.csv"));
    panel->commonSettings->frequencyBox->setValue(999);
    panel->commonSettings->stopBox->setCurrentIndex(0);
    kdsim::clearCalls();
    QVERIFY(panel->openSetupFile(path));
    QCOMPARE(driverCalls(), QStringList());
    panel->startButton->click();
    const kdsim::Call again = firstCall("kd7240_generateWaveforms");
    QCOMPARE(again.args, first.args);
    QVERIFY(again.data1 == first.data1);
    QVERIFY(again.data2 == first.data2);
    QVERIFY(!first.data1.empty());
    panel->startButton->click();
}

QTEST_MAIN(tst_setup)
#include "tst_setup.moc"
