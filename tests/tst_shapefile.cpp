// Arbitrary waveforms from files: what the parser takes and refuses, and how
// a loaded shape plays through the panel (timing, both-channel rules, the
// limits of the card's clock, bad files, the remembered folder).
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <cstring>

#include "kd7010fp_fcenteraddress.h"
#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7240fp_shapefile.h"
#include "kd7240fp_synthesis.h"
#include "panelfixture.h"

namespace {

// A RIFF WAVE file: `format` 1 (PCM) or 3 (float), or 0xFFFE with that
// sub-format; frames of `channels` samples, channel 1 holding `first`, the
// others its negation.
QByteArray wav(int format, int channels, int bits, const QList<double> &first)
{
    auto put = [](QByteArray &b, quint32 v, int size) {
        for (int i = 0; i < size; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    QByteArray data;
    for (const double v : first)
        for (int c = 0; c < channels; ++c) {
            const double x = c == 0 ? v : -v;
            if (format == 3) {
                const float f = float(x);
                quint32 raw;
                std::memcpy(&raw, &f, 4);
                put(data, raw, 4);
            } else if (bits == 8) {
                put(data, quint32(int(x) + 128), 1);
            } else {
                put(data, quint32(qint32(x)), bits / 8);
            }
        }
    const bool extensible = format == 0xFFFE;
    QByteArray fmt;
    put(fmt, extensible ? 0xFFFE : quint32(format), 2);
    put(fmt, quint32(channels), 2);
    put(fmt, 48000, 4);
    put(fmt, quint32(48000 * channels * bits / 8), 4);
    put(fmt, quint32(channels * bits / 8), 2);
    put(fmt, quint32(bits), 2);
    if (extensible) {
        put(fmt, 22, 2);
        put(fmt, quint32(bits), 2);
        put(fmt, 0, 4);
        put(fmt, 1, 2); // PCM sub-format
        fmt.append(QByteArray(14, '\0'));
    }
    QByteArray out = "RIFF";
    put(out, quint32(4 + 8 + fmt.size() + 8 + data.size()), 4);
    out += "WAVEfmt ";
    put(out, quint32(fmt.size()), 4);
    out += fmt + "data";
    put(out, quint32(data.size()), 4);
    return out + data;
}

QString writeFile(QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return file.fileName();
}

} // namespace

class tst_shapefile : public QObject
{
    Q_OBJECT

private slots:
    void init() { kdsim::reset(); }
    void parse_data();
    void parse();
    void playsThroughThePanel_data();
    void playsThroughThePanel();
    void badFileKeepsTheWaveform();
    void folderIsRemembered();
    void decimalCommasAreAsked_data();
    void decimalCommasAreAsked();
    void fewSamplesBesideAShapeAreMentioned();

private:
    kd7240_fc card;
};

void tst_shapefile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<double>>("samples"); // normalised; empty when refused
    QTest::addColumn<QString>("error"); // a fragment of the message
    QTest::addColumn<kd7240fp::ShapeReading>("reading");
    QTest::addColumn<bool>("decimalCommaSuspect");
    const auto row = [](const char *name, const QByteArray &bytes, const QList<double> &samples, const char *error,
                         kd7240fp::ShapeReading reading = kd7240fp::ShapeReading::Auto, bool suspect = false) {
        QTest::newRow(name) << bytes << samples << QString::fromUtf8(error) << reading << suspect;
    };
    const auto decimalCommas = kd7240fp::ShapeReading::DecimalCommas;

    const QList<double> ramp { -1, -0.5, 0.5, 1 };
    // clang-format off
    row("one per line", QByteArray("-2\n-1\n1\n2\n"), ramp, "");
    row("CRLF, BOM, no last newline", QByteArray("\xEF\xBB\xBF-2\r\n-1\r\n1\r\n2"), ramp, "");
    row("heading, comments, blanks", QByteArray("volts\n# scope capture\n\n-2\n-1 # low\n1\n\n2\n"), ramp, "");
    row("first column of CSV", QByteArray("v,t\n-2,0\n-1,1\n1,2\n2,3\n"), ramp, "");
    row("semicolons and tabs", QByteArray("-2;9\n-1\t9\n1;9\n2\t9\n"), ramp, "");
    row("decimal commas beside semicolons", QByteArray("-0,2;9\n-0,1;9\n0,1;9\n0,2;9\n"), ramp, "");
    row("only zeros", QByteArray("0\n0\n0\n"), QList<double> {}, "\"s.csv\" holds only zeros: there is nothing to play.");
    row("exponents", QByteArray("-2e-3\n-1e-3\n1e-3\n2E-3\n"), ramp, "");
    row("second heading", QByteArray("a\n1\nb\n2\n"), QList<double> {}, "\"s.csv\", line 3: \"b\" is not a number.");
    row("NaN", QByteArray("1\nnan\n2\n"), QList<double> {}, "\"s.csv\", line 2: nan is not a finite number.");
    row("infinity", QByteArray("1\n2\n-inf\n"), QList<double> {}, "line 3: -inf is not a finite number.");
    row("no numbers", QByteArray("# nothing\n\n"), QList<double> {}, "\"s.csv\" holds no numbers.");
    row("one sample", QByteArray("5\n"), QList<double> {}, "holds only one sample");
    row("too many", QByteArray(262144, '1').replace("1", "1\n"), QList<double> {}, "holds more than 262143 samples");
    row("16-bit PCM, stereo", wav(1, 2, 16, { -20000, -10000, 10000, 20000 }), ramp, "");
    row("8-bit PCM", wav(1, 1, 8, { -100, -50, 50, 100 }), ramp, "");
    row("24-bit PCM", wav(1, 1, 24, { -4000000, -2000000, 2000000, 4000000 }), ramp, "");
    row("32-bit PCM", wav(1, 3, 32, { -2e9, -1e9, 1e9, 2e9 }), ramp, "");
    row("32-bit float", wav(3, 1, 32, { -0.5, -0.25, 0.25, 0.5 }), ramp, "");
    row("extensible 16-bit", wav(0xFFFE, 1, 16, { -2, -1, 1, 2 }), ramp, "");
    row("12-bit", wav(1, 1, 16, { 1, 2 }).replace(34, 2, QByteArray("\x0c\0", 2)), QList<double> {}, "format 1 with 12 bits is not supported");
    row("A-law", wav(1, 1, 8, { 1, 2 }).replace(20, 2, QByteArray("\x06\0", 2)), QList<double> {}, "format 6 with 8 bits is not supported");
    row("no data chunk", wav(1, 1, 16, { 1, 2 }).left(36), QList<double> {}, "it has no data chunk");
    row("cut short", wav(1, 1, 16, { 1, 2, 3, 4 }).left(48), QList<double> { 1.0 / 2, 1 }, "");
    row("semicolon in a comment", "# ramp; 4 samples\n0,9\n1,9\n2,9\n3,9\n", { 0, 1.0 / 3, 2.0 / 3, 1 }, "", kd7240fp::ShapeReading::Auto, true);
    row("tab in the heading, trailing tabs", "v\tt\n0,9.5\t\n1,9 \t\n2,9\n3,9\n", { 0, 1.0 / 3, 2.0 / 3, 1 }, "");
    row("NaN first", "NaN\n1\n2\n", {}, "\"s.csv\", line 1: NaN is not a finite number.");
    row("INF first", "INF,0\n1\n2\n", {}, "line 1: INF is not a finite number.");
    row("Infinity first", "# c\n-Infinity\n1\n2\n", {}, "line 2: -Infinity is not a finite number.");
    row("1e400 first", "1e400\n1\n2\n", {}, "line 1: 1e400 is not a finite number.");
    row("400 digits first", QByteArray(400, '9') + "\n1\n2\n", {}, "line 1: 9999999999999999999999999999999999999999... is not a finite number.");
    row("underflow is 0", "1e-400\n1\n-2\n0.5e-999999999999\n", { 0, 0.5, -1, 0 }, "");
    row("decimal commas in one column?", "0,5\n-2,25 # low\n4,5\n", { 0, -0.5, 1 }, "", kd7240fp::ShapeReading::Auto, true);
    row("read with decimal commas", "volts\n0,5\n-2,25 # low\n4,5\n", { 0.5 / 4.5, -0.5, 1 }, "", decimalCommas);
    row("two columns, not suspect", "0,5\n-2,2.5\n4,5\n", { 0, -0.5, 1 }, "");
    row("UTF-16 with BOM", QByteArray("\xFF\xFE" "1\0\n\0" "2\0\n\0", 10), {}, "\"s.csv\" is not a text file: it looks like UTF-16 text; save it as UTF-8.");
    row("UTF-16 without BOM", QByteArray("\0" "1\0\n\0" "2\0\n\0" "3\0\n", 12), {}, "is not a text file: it looks like UTF-16 text");
    row("binary", QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0", 10), {}, "\"s.csv\" is not a text file: it looks like binary data.");
    row("mostly control characters", "\x01\x02\x03\x1B\x1C\xFF\xFE\x9A", {}, "is not a text file: it looks like binary data.");
    // clang-format on
}

void tst_shapefile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<double>, samples);
    QFETCH(QString, error);
    QFETCH(kd7240fp::ShapeReading, reading);
    QFETCH(bool, decimalCommaSuspect);
    const kd7240fp::ShapeFile file = kd7240fp::parseShape(bytes, QStringLiteral("s.csv"), reading);
    QCOMPARE(file.ok, error.isEmpty());
    QCOMPARE(file.decimalCommaSuspect, decimalCommaSuspect);
    QVERIFY2(file.error.contains(error), qPrintable(file.error));
    QCOMPARE(QList<double>(file.samples.begin(), file.samples.end()), samples);
}

// A loaded shape plays as its n samples at frequency x n, scaled by
// amplitude and offset; a standard waveform beside it is drawn with the same
// n. What the card's clock cannot play is refused before anything is sent.
void tst_shapefile::playsThroughThePanel_data()
{
    QTest::addColumn<int>("samples1"); // 0: channel 1 plays a sine
    QTest::addColumn<int>("samples2"); // 0: channel 2 plays a sine
    QTest::addColumn<int>("freq");
    QTest::addColumn<QString>("warning");
    QTest::newRow("shape on channel 1") << 4 << -1 << 1000 << "";
    QTest::newRow("shape and sine") << 40 << 0 << 250 << "";
    QTest::newRow("two shapes of one length") << 400 << 400 << 2000 << "";
    QTest::newRow("lengths differ") << 4 << 5 << 1000
                                    << "Channel 1 holds 4 samples and channel 2 5: both channels play one period "
                                       "together, so their shapes must hold the same number of samples.";
    QTest::newRow("too fast for the clock") << 5000 << -1 << 1000
                                            << "Channel 1: 5000 samples at 1000 Hz need 5 MHz; the card plays at "
                                               "most 1 MHz";
}

void tst_shapefile::playsThroughThePanel()
{
    QFETCH(int, samples1);
    QFETCH(int, samples2);
    QFETCH(int, freq);
    QFETCH(QString, warning);
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    kdsim::keepSamples(true);
    QTemporaryDir dir;
    kd7240fp_chSet *groups[2] = { panel->chan1, panel->chan2 };
    const int counts[2] = { samples1, samples2 };
    for (int k = 0; k < 2; ++k) {
        if (counts[k] < 0)
            continue;
        if (counts[k] == 0) {
            groups[k]->sineButton->click();
        } else {
            QByteArray text;
            for (int i = 0; i < counts[k]; ++i)
                text += QByteArray::number((i % 7) - 3) + '\n'; // -3..3: normalised to -1..1
            QVERIFY(panel->loadShapeFile(groups[k], writeFile(dir, QStringLiteral("c%1.txt").arg(k), text)));
            QCOMPARE(groups[k]->waveType, int(kd7240fp::waveArbitrary));
            QVERIFY(groups[k]->arbitraryButton->isChecked());
            QCOMPARE(groups[k]->shapeLabel->text(), QStringLiteral("c%1.txt").arg(k));
        }
        groups[k]->amplitudeBox->setValue(2);
        groups[k]->offsetBox->setValue(1);
    }
    panel->commonSettings->frequencyBox->setValue(freq);
    const int n = samples1 > 0 ? samples1 : samples2;
    if (warning.isEmpty())
        QCOMPARE(
            panel->commonSettings->playedLabel->text(), QStringLiteral("plays %1.00 Hz, %2 samples").arg(freq).arg(n));

    ModalScript script;
    if (!warning.isEmpty())
        script.answer(QStringLiteral("OK"));
    panel->startButton->click();
    if (!warning.isEmpty()) {
        QCOMPARE(script.seen.size(), 1);
        QCOMPARE(script.seen[0].text, warning);
        QVERIFY(!panel->startButton->isChecked());
        QCOMPARE(driverCalls(), QStringList());
        return;
    }
    const bool both = samples2 >= 0;
    const kdsim::Call call = firstCall(both ? "kd7240_generateWaveforms" : "kd7240_generateWaveform");
    const QJsonObject args = callArgs(call);
    QCOMPARE(args.value(QLatin1String("nSam")).toInt(), n);
    QCOMPARE(args.value(QLatin1String("rate")).toDouble(), double(freq) * n);
    for (int k = 0; k < (both ? 2 : 1); ++k) {
        const std::vector<double> &sent = k == 0 ? call.data1 : call.data2;
        QCOMPARE(int(sent.size()), n);
        std::vector<double> expected(static_cast<size_t>(n));
        if (counts[k] > 0)
            for (int i = 0; i < n; ++i)
                expected[size_t(i)] = ((i % 7) - 3) / 3.0 * 2 + 1;
        else
            kd7240fp::synthesize(kd7240fp::waveSine, n, 2, 1, expected.data());
        for (int i = 0; i < n; ++i)
            QVERIFY2(std::fabs(sent[size_t(i)] - expected[size_t(i)]) < 1e-12, qPrintable(QString::number(i)));
    }
    panel->startButton->click();
}

// A file that cannot be used is reported by name, and the channel keeps the
// waveform it had.
void tst_shapefile::badFileKeepsTheWaveform()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    QTemporaryDir dir;
    panel->chan1->sawButton->click();
    ModalScript script;
    script.answer(QStringLiteral("OK")).answer(QStringLiteral("OK"));
    QVERIFY(!panel->loadShapeFile(panel->chan1, writeFile(dir, QStringLiteral("broken.csv"), "1\n2\nthree\n")));
    QVERIFY(!panel->loadShapeFile(panel->chan1, dir.filePath(QStringLiteral("missing.wav"))));
    script.answer(QStringLiteral("OK"));
    QVERIFY(!panel->loadShapeFile(panel->chan1, dir.path())); // no file to read, and never ending ones alike
    QCOMPARE(script.seen.size(), 3);
    QCOMPARE(script.seen[2].text,
        QStringLiteral("Cannot read \"%1\": it is not a file.").arg(QFileInfo(dir.path()).fileName()));
    QCOMPARE(script.seen[0].text, QStringLiteral("\"broken.csv\", line 3: \"three\" is not a number."));
    QVERIFY(script.seen[1].text.startsWith(QStringLiteral("Cannot read \"missing.wav\"")));
    QCOMPARE(panel->chan1->waveType, int(kd7240fp::waveSaw));
    QVERIFY(panel->chan1->shape.empty());
    QCOMPARE(panel->chan1->shapeLabel->text(), QStringLiteral("no file"));
}

// Arbitrary with nothing loaded asks for a file; the folder chosen is kept
// beside the address history and offered the next time.
void tst_shapefile::folderIsRemembered()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("shape.csv"), "0\n1\n0\n-1\n");
    QString offered;
    ModalScript script;
    script.act([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        QVERIFY(dialog);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    script.act([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        offered = dialog ? dialog->directory().absolutePath() : QString();
        w->close();
    });
    panel->chan2->arbitraryButton->click();
    QCOMPARE(panel->chan2->waveType, int(kd7240fp::waveArbitrary));
    QCOMPARE(panel->chan2->shape.size(), size_t(4));
    QSettings settings(kd7010fp_fcEnterAddress::settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("7240/ShapeFolder")).toString(), QFileInfo(path).absolutePath());

    panel->chan1->loadButton->click();
    QCOMPARE(offered, QFileInfo(path).absolutePath());
    QCOMPARE(panel->chan1->waveType, 0); // the dialog was closed: nothing changed
}

// "0,5" on every line: asked before loading; No (the default) reads one
// column of decimal commas, Yes the first of two columns.
void tst_shapefile::decimalCommasAreAsked_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QList<double>>("shape");
    QTest::newRow("one column of decimal commas") << "No" << QList<double> { 0.25, -1, 0.5 };
    QTest::newRow("the first column") << "Yes" << QList<double> { 0, -1, 0.5 };
}

void tst_shapefile::decimalCommasAreAsked()
{
    QFETCH(QString, answer);
    QFETCH(QList<double>, shape);
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Run In Demo Mode"));
    QVERIFY(panel);
    QTemporaryDir dir;
    ModalScript script;
    script.answer(answer);
    QVERIFY(panel->loadShapeFile(panel->chan1, writeFile(dir, QStringLiteral("volts.csv"), "0,5\n-2,0\n1,0\n")));
    QCOMPARE(script.seen.size(), 1);
    QVERIFY(script.seen[0].text.startsWith(QStringLiteral("\"volts.csv\" looks like decimal commas in one column")));
    QCOMPARE(script.seen[0].buttons, (QStringList { "Yes", "No" }));
    QCOMPARE(QList<double>(panel->chan1->shape.begin(), panel->chan1->shape.end()), shape);
}

// A sine beside a 4-sample shape gets 4 samples a period: the readout says
// so, and Start warns before it sends.
void tst_shapefile::fewSamplesBesideAShapeAreMentioned()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    QTemporaryDir dir;
    QVERIFY(panel->loadShapeFile(panel->chan1, writeFile(dir, QStringLiteral("four.txt"), "0\n1\n0\n-1\n")));
    panel->chan2->sineButton->click();
    QVERIFY(panel->commonSettings->playedLabel->property("offFrequency").toBool());
    QVERIFY(panel->commonSettings->playedLabel->toolTip().contains(QLatin1String("4 samples per period")));
    ModalScript script;
    script.answer(QStringLiteral("OK"));
    panel->startButton->click();
    QCOMPARE(script.seen.size(), 1);
    QVERIFY(script.seen[0].text.startsWith(QStringLiteral("Channel 2 draws its waveform with the shape's 4 samples")));
    QCOMPARE(kdsim::calls("kd7240_generateWaveforms").size(), size_t(1));
    panel->startButton->click();
}

QTEST_MAIN(tst_shapefile)
#include "tst_shapefile.moc"
