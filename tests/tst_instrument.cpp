// The panel as a SCPI instrument: what a client's lines do to the model, the
// window and the card, and what comes back (replies and the error queue).
// No socket here: the lines go straight to the instrument.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTcpSocket>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cstring>
#include <functional>

#include "kd7240_fc.h"
#include "kd7240fp_chset.h"
#include "kd7240fp_comset.h"
#include "kd7010fp_scpi.h"
#include "kd7240fp_instrument.h"
#include "kd7240fp_remote.h"
#include "modalscript.h"
#include "panelfixture.h"

namespace {

const ViStatus driverError = ViStatus(0xBFFC0803);

// A definite-length block of float32 values in the given byte order.
QByteArray floatBlock(const QList<float> &values, bool littleEndian)
{
    QByteArray bytes(values.size() * 4, '\0');
    for (qsizetype i = 0; i < values.size(); ++i) {
        quint32 raw;
        std::memcpy(&raw, &values[i], 4);
        if (littleEndian)
            qToLittleEndian(raw, bytes.data() + 4 * i);
        else
            qToBigEndian(raw, bytes.data() + 4 * i);
    }
    const QByteArray length = QByteArray::number(bytes.size());
    return "#" + QByteArray::number(length.size()) + length + bytes;
}

// `count` lines that each store a shape named S1, S2...: `samples` int16
// values in a block.
QByteArrayList shapeLines(int count, int samples)
{
    QByteArray values(2 * samples, '\0');
    values[0] = 0x40; // one value is not 0
    const QByteArray length = QByteArray::number(values.size());
    QByteArrayList lines;
    for (int i = 1; i <= count; ++i)
        lines << "DATA:ARB:DAC S" + QByteArray::number(i) + ", #" + QByteArray::number(length.size()) + length + values;
    return lines;
}

// What the window shows, as "name=value" words.
QString shown(PanelPeek *panel)
{
    return QStringLiteral("frequency=%1 amplitude1=%2 offset1=%3 wave1=%4 stop=%5 dac1=%6 generating=%7")
        .arg(panel->commonSettings->frequencyBox->value())
        .arg(panel->chan1->amplitudeBox->value())
        .arg(panel->chan1->offsetBox->value())
        .arg(panel->chan1->waveType)
        .arg(panel->commonSettings->stopBox->currentIndex())
        .arg(panel->dac1Box->value())
        .arg(panel->startButton->isChecked());
}

// What the operator does between a client's lines, named by a line that
// starts with "@": a waveform clicked in channel 1's group (or 2's), the manual clock
// moved on by some milliseconds (the poll then runs), a value typed into the
// DAC 1 box, the card lost.
void operatorStep(PanelPeek *panel, const QByteArray &step)
{
    const QList<QByteArray> words = step.mid(1).split(' ');
    if (words[0] == "sine")
        panel->chan1->sineButton->click();
    else if (words[0] == "square")
        panel->chan1->squareButton->click();
    else if (words[0] == "sine2")
        panel->chan2->sineButton->click();
    else if (words[0] == "wait") {
        kdsim::advanceClock(words.value(1).toDouble());
        panel->model->generator()->poll();
    } else if (words[0] == "dac1") {
        panel->dac1Box->setValue(words.value(1).toDouble());
    } else if (words[0] == "lose") {
        kdsim::addFault("kd7240_init", driverError, 1);
        panel->connection->reopen(false);
    } else
        QFAIL(step.constData());
}

} // namespace

class tst_instrument : public QObject
{
    Q_OBJECT

private slots:
    // Every row in the C locale and in two that write decimal commas: the
    // client hears SCPI's numbers all the same.
    void initTestCase_data();
    void init();
    void lines_data();
    void lines();
    void remoteAndLocalAgree();
    void nothingRunsUnderTheOperatorsBox();

private:
    kd7240_fc card;
};

void tst_instrument::initTestCase_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("C") << "C";
    QTest::newRow("de_DE") << "de_DE";
    QTest::newRow("sv_SE") << "sv_SE";
}

void tst_instrument::init()
{
    kdsim::reset();
    QFETCH_GLOBAL(QString, locale);
    QLocale::setDefault(QLocale(locale));
}

void tst_instrument::lines_data()
{
    QTest::addColumn<QByteArrayList>("lines"); // a client's; "@step": the operator's (operatorStep)
    QTest::addColumn<QString>("fault"); // a driver call that fails once
    QTest::addColumn<QByteArray>("replies"); // every reply, in order (a prefix of them); "|" a step
    QTest::addColumn<QStringList>("calls"); // of the driver, the polls and message lookups left out
    QTest::addColumn<double>("peak"); // of the last samples generated; NaN: none
    QTest::addColumn<QString>("shown"); // words of what the window then shows; empty: not looked at
    const double none = qQNaN();
    const QStringList start { "kd7240_setITRI", "kd7240_generateWaveform" };
    // clang-format off
    // The card of panel_vxi.json plays -5 to 8 V.
    QTest::newRow("set, read back, shown; a channel off keeps its function for later")
        << QByteArrayList { "FREQ 1234;VOLT 2;VOLT:OFFS 0.5;:FUNC SQU", "FREQ?;VOLT?;VOLT:OFFS?;:FUNC?;:OUTP1?" } << ""
        << QByteArray("+1.23457000000000E+03;+2.00000000000000E+00;+5.00000000000000E-01;SQU;0\n") << QStringList() << none
        << "frequency=1234 amplitude1=1 offset1=0.5 wave1=0 stop=0 dac1=0 generating=0";
    QTest::newRow("the first output on starts, the last off stops")
        << QByteArrayList { "FUNC SQU;VOLT 2;:OUTP1 ON", "OUTP1?", "OUTP1 OFF", "OUTP1?" } << ""
        << QByteArray("1\n0\n") << start + QStringList { "kd7240_stopBurst" } << 2.5
        << "frequency=1000 amplitude1=1 offset1=1.5 wave1=0 stop=0 dac1=0 generating=0";
    QTest::newRow("beyond the card: clipped, amplitude beside offset")
        << QByteArrayList { "VOLT:OFFS 3;:VOLT 20", "SYST:ERR?;:VOLT?" } << ""
        << QByteArray("-222,\"Data out of range; value clipped to 10\";+1.00000000000000E+01\n") << QStringList() << none
        << "frequency=1000 amplitude1=5 offset1=3 wave1=0 stop=0 dac1=0 generating=0";
    QTest::newRow("a live change, whatever the box says")
        << QByteArrayList { "FUNC SIN;VOLT 1;:OUTP ON", "FREQ 2000" } << "" << QByteArray()
        << start + QStringList { "kd7240_stopBurst", "kd7240_generateWaveform" } << 2.0
        << "frequency=2000 amplitude1=0.5 offset1=1.5 wave1=1 stop=0 dac1=0 generating=1";
    QTest::newRow("what live changes never touch: -221, nothing taken")
        << QByteArrayList { "FUNC SIN;VOLT 1;:OUTP ON", "BURS:STAT ON", "SYST:ERR?" } << ""
        << QByteArray("-221,\"Settings conflict; stop generation first\"\n") << start << 2.0
        << "frequency=1000 amplitude1=0.5 offset1=1.5 wave1=1 stop=0 dac1=0 generating=1";
    QTest::newRow("a burst of 5 cycles")
        << QByteArrayList { "BURS:STAT ON;NCYC 5;:FUNC SIN;:VOLT 1;:OUTP ON" } << "" << QByteArray() << start << 2.0
        << "frequency=1000 amplitude1=0.5 offset1=1.5 wave1=1 stop=1 dac1=0 generating=1";
    // -1 to 1 is the amplitude either way: a shape of ±0.5 plays half of it.
    QTest::newRow("an ASCII shape plays as given")
        << QByteArrayList { "DATA:ARB half, -0.5, 0.5, 0.5, -0.5", "FUNC:ARB half;:FUNC ARB;:VOLT 4;:OUTP ON" } << ""
        << QByteArray() << start << 2.5 << QString();
    QTest::newRow("a binary shape, little-endian")
        << QByteArrayList { "FORM:BORD SWAP", "DATA:ARB bin, " + floatBlock({ 0.25f, -1, 0.75f, 0 }, true),
               "FUNC:ARB bin;:FUNC ARB;:VOLT 2;:OUTP ON" } << ""
        << QByteArray() << start << 2.25 << QString();
    // One value after the name can only be a block: no shape has one sample.
    QTest::newRow("shapes refused: one value, all zero")
        << QByteArrayList { "DATA:ARB one, 1", "DATA:ARB zero, 0, 0", "SYST:ERR?;ERR?;ERR?" } << ""
        << QByteArray("-104,\"Data type error\";"
                      "-224,\"Illegal parameter value; every value is 0: there is nothing to play\";+0,\"No error\"\n")
        << QStringList() << none << QString();
    QTest::newRow("DC holds the offset on the DAC while the output is on")
        << QByteArrayList { "FUNC DC;:VOLT:OFFS 3", "OUTP ON", "VOLT:OFFS 1.5", "FUNC?;:OUTP?" } << ""
        << QByteArray("DC;1\n") << QStringList { "kd7240_writeChannels", "kd7240_writeChannels" } << none
        << "frequency=1000 amplitude1=0 offset1=1.5 wave1=0 stop=0 dac1=1.5 generating=0";
    QTest::newRow("OUTP OFF puts a DC level's DAC at 0 V")
        << QByteArrayList { "FUNC DC;:VOLT:OFFS 3;:OUTP ON", "OUTP OFF", "OUTP?;:SYST:ERR?" } << ""
        << QByteArray("0;+0,\"No error\"\n") << QStringList { "kd7240_writeChannels", "kd7240_writeChannels" }
        << none << "frequency=1000 amplitude1=0 offset1=3 wave1=0 stop=0 dac1=0 generating=0";
    QTest::newRow("*RST: stopped, the defaults, outputs off, 0 V on the DACs")
        << QByteArrayList { "FREQ 500;FUNC SIN;VOLT 1;:OUTP ON", "*RST", "OUTP?;:FREQ?" } << ""
        << QByteArray("0;+1.00000000000000E+03\n") << start + QStringList { "kd7240_stopBurst", "kd7240_writeChannels" } << 2.0
        << "frequency=1000 amplitude1=0 offset1=1.5 wave1=0 stop=0 dac1=0 generating=0";
    QTest::newRow("a driver's failure goes to the queue, not to a box")
        << QByteArrayList { "FUNC SIN;VOLT 1;:OUTP ON", "SYST:ERR?" } << "kd7240_generateWaveform"
        << QByteArray("-240,\"Hardware error; kd7240_generateWaveform (d_vi; kd7240_CH1;") << start << 2.0 << QString();
    QTest::newRow("a DAC list is scaled to the full 32767")
        << QByteArrayList { "DATA:ARB:DAC d, 32767, -32767, 0, 0", "FUNC:ARB D;:FUNC ARB;:VOLT 2;:OUTP ON" } << ""
        << QByteArray() << start << 2.5 << QString();
    // 10, the last value, ends the line with the byte of a newline.
    QTest::newRow("a DAC block ending its line in a newline byte")
        << QByteArrayList { QByteArray("DATA:ARB:DAC nl, #14\x7f\xff\x00\x0a", 24), "FUNC:ARB NL;:FUNC ARB;:VOLT 2;:OUTP ON" }
        << "" << QByteArray() << start << 2.5 << QString();
    QTest::newRow("a setup's name is no folder: ..")
        << QByteArrayList { "MMEM:STOR:STAT \"..\"", "MMEM:LOAD:STAT \"..\"", "SYST:ERR?;ERR?" } << ""
        << QByteArray("-257,\"File name error; a setup's name holds no folder\";"
                      "-257,\"File name error; a setup's name holds no folder\"\n")
        << QStringList() << none << QString();
    QTest::newRow("setups by name, never by path")
        << QByteArrayList { "FREQ 777;:MMEM:STOR:STAT \"bench\"", "FREQ 1000", "MMEM:LOAD:STAT \"bench\"", "FREQ?",
               "MMEM:STOR:STAT \"../x\"", "SYST:ERR?" } << ""
        << QByteArray("+7.77000000000000E+02\n-257,\"File name error; a setup's name holds no folder\"\n")
        << QStringList() << none << QString();
    // AM of 50 % by a square on a 1 V sine: the peak is 1.5 x 1 V / 2 above the card's middle.
    QTest::newRow("AM, exact in one buffer")
        << QByteArrayList { "FREQ 10000;:FUNC SIN;:VOLT 2;:AM:STAT ON;DEPT 50;INT:FREQ 100;FUNC SQU;:OUTP ON", "AM:SOUR EXT",
               "SYST:ERR?;:AM:STAT?" } << ""
        << QByteArray("-241,\"Hardware missing; this card has no modulation input\";1\n") << start << 2.25
        << "frequency=10000 amplitude1=1 offset1=1.5 wave1=1 stop=0 dac1=0 generating=1";
    // The dialog's depth box has one decimal: what plays is said.
    QTest::newRow("a modulation value the box rounds is said")
        << QByteArrayList { "FREQ 10000;:FUNC SIN;:AM:STAT ON;DEPT 50.55", "SYST:ERR?;:AM:DEPT?" } << ""
        << QByteArray("-222,\"Data out of range; depth played 50.6 %\";+5.06000000000000E+01\n") << QStringList()
        << none << QString();
    QTest::newRow("undefined header, channel 3")
        << QByteArrayList { "FREQUENCE 5", "SOUR3:FREQ 5", "SYST:ERR?;ERR?" } << ""
        << QByteArray("-113,\"Undefined header\";-114,\"Header suffix out of range\"\n") << QStringList() << none
        << QString();
    // The settings are the one owner: what the operator does in between counts.
    QTest::newRow("a sweep the frequency cannot reach is refused")
        << QByteArrayList { "FREQ:STOP 200000;:SWE:STAT ON", "SYST:ERR?;:SWE:STAT?" } << ""
        << QByteArray("-221,\"Settings conflict; the sweep reaches 200000 Hz; at 1000 Hz it may reach 100000 Hz: "
                      "lower FREQuency:STOP or raise the frequency\";0\n")
        << QStringList() << none << QString();
    QTest::newRow("the operator's Square ends a client's sweep")
        << QByteArrayList { "SWE:STAT ON", "@square", "FREQ 2000", "SWE:STAT?;:FUNC?" } << ""
        << QByteArray("|0;SQU\n") << QStringList() << none
        << "frequency=2000 amplitude1=0 offset1=1.5 wave1=2 stop=0 dac1=0 generating=0";
    QTest::newRow("the operator's Sine after DC")
        << QByteArrayList { "FUNC DC", "@sine", "FUNC?" } << "" << QByteArray("|SIN\n") << QStringList() << none
        << "frequency=1000 amplitude1=0 offset1=1.5 wave1=1 stop=0 dac1=0 generating=0";
    QTest::newRow("SWE:STAT OFF where no sweep plays changes nothing")
        << QByteArrayList { "SWE:STAT ON", "@square", "SWE:STAT OFF", "FUNC ARB", "SWE:STAT?" } << ""
        << QByteArray("|1\n") << QStringList() << none << QString();
    QTest::newRow("OUTP OFF parks the function that plays")
        << QByteArrayList { "FUNC SQU;:VOLT 1;:OUTP ON", "FUNC TRI", "OUTP OFF", "FUNC?;:OUTP?" } << ""
        << QByteArray("TRI;0\n")
        << start + QStringList { "kd7240_stopBurst", "kd7240_generateWaveform", "kd7240_stopBurst" } << none
        << QString();
    QTest::newRow("a setup stored with outputs off recalls their functions")
        << QByteArrayList { "FUNC SQU;:MMEM:STOR:STAT \"off\"", "*RST", "MMEM:LOAD:STAT \"off\"", "FUNC?" } << ""
        << QByteArray("SQU\n") << QStringList { "kd7240_writeChannels" } << none << QString();
    QTest::newRow("a change the card cannot play is not taken")
        << QByteArrayList { "FUNC SIN;:VOLT 1;:OUTP ON;:FM:STAT ON", "FM:DEV 20000", "FM:DEV?;:SYST:ERR?" } << ""
        << QByteArray("+1.00000000000000E+02;-221,\"Settings conflict; not sent: Channel 1: the deviation takes the "
                      "carrier to 0 Hz or beyond 100 kHz.\"\n")
        << start + QStringList { "kd7240_stopBurst", "kd7240_generateWaveform" } << none << QString();
    // What plays is what was sent, or the queue says what plays instead.
    QTest::newRow("FREQ 1.4 plays 1 Hz, and says so")
        << QByteArrayList { "FREQ 1.4", "SYST:ERR?;:FREQ?" } << ""
        << QByteArray("-222,\"Data out of range; frequency played 1 Hz\";+1.00000000000000E+00\n") << QStringList()
        << none << QString();
    QTest::newRow("FREQ 66667 plays the clock's 1 MHz / 14")
        << QByteArrayList { "FREQ 66667", "SYST:ERR?;:FREQ?" } << ""
        << QByteArray("-222,\"Data out of range; frequency played 71428.57 Hz; FREQ:EXAC ON plays 66667 Hz\";"
                      "+7.14285700000000E+04\n")
        << QStringList() << none << QString();
    QTest::newRow("VOLT 0.01 plays 0.02 Vpp, 0.001 none, and says so")
        << QByteArrayList { "VOLT 0.01", "SYST:ERR?;:VOLT?", "VOLT 0.001", "SYST:ERR?" } << ""
        << QByteArray("-222,\"Data out of range; amplitude played 0.02 Vpp\";+2.00000000000000E-02\n"
                      "-222,\"Data out of range; amplitude played 0 Vpp\"\n")
        << QStringList() << none << QString();
    QTest::newRow("a duty of whole samples, said")
        << QByteArrayList { "FUNC SQU;:FREQ 100000;:FUNC:SQU:DCYC 33", "SYST:ERR?;:FUNC:SQU:DCYC?" } << ""
        << QByteArray("-222,\"Data out of range; duty played 30 %\";+3.00000000000000E+01\n") << QStringList() << none
        << QString();
    QTest::newRow("VOLT:OFFS 1000 is clipped once, beside the amplitude")
        << QByteArrayList { "VOLT 2;:VOLT:OFFS 1000", "SYST:ERR?;ERR?;:VOLT?" } << ""
        << QByteArray("-222,\"Data out of range; value clipped to 7\";+0,\"No error\";+2.00000000000000E+00\n")
        << QStringList() << none << QString();
    QTest::newRow("SWE:TIME with the sweep off waits for SWE:STAT ON")
        << QByteArrayList { "SWE:TIME 0.5", "FREQ?;:SWE:TIME?", "SWE:STAT ON", "FREQ?;:SWE:TIME?" } << ""
        << QByteArray("+1.00000000000000E+03;+5.00000000000000E-01\n+2.00000000000000E+00;+5.00000000000000E-01\n")
        << QStringList() << none << QString();
    QTest::newRow("FREQ:EXAC changes as the card plays")
        << QByteArrayList { "FUNC SIN;:VOLT 1;:OUTP ON", "FREQ:EXAC ON", "SYST:ERR?;:FREQ:EXAC?" } << ""
        << QByteArray("+0,\"No error\";1\n") << start + QStringList { "kd7240_stopBurst", "kd7240_generateWaveform" }
        << none << QString();
    QTest::newRow("MIN, MAX and DEF asked")
        << QByteArrayList { "FREQ? MAX;:VOLT? MIN;:VOLT:OFFS? MAX;:BURS:NCYC? MAX;:PHAS? MAX;:FUNC:SQU:DCYC? MIN;"
                            ":VOLT:OFFS? DEF" } << ""
        << QByteArray("+1.00000000000000E+05;+0.00000000000000E+00;+8.00000000000000E+00;+1.02400000000000E+03;"
                      "+3.59990000000000E+02;+1.00000000000000E+00;+1.50000000000000E+00\n")
        << QStringList() << none << QString();
    // FSK closes its buffer when a rate period holds whole carrier turns,
    // (1000 + 1500) / (2 rate): 42 of them at 2500 / 84 Hz.
    QTest::newRow("a modulation's rate moved to fit its buffer, said and answered")
        << QByteArrayList { "FUNC SIN;:FSK:STAT ON;:FSK:FREQ 1500;INT:RATE 30", "SYST:ERR?;:FSK:INT:RATE?" } << ""
        << QByteArray("-222,\"Data out of range; rate played 29.762 Hz\";+2.97619047619048E+01\n") << QStringList()
        << none << QString();
    // Nothing changed, nothing sent, nothing refused.
    QTest::newRow("a triggered burst takes what changes nothing")
        << QByteArrayList { "TRIG:SOUR BUS;:BURS:STAT ON;NCYC 3;:FUNC SIN;:VOLT 2;:OUTP ON",
               "VOLT 2;:OUTP ON;:BURS:STAT ON;:TRIG:SOUR BUS;:FREQ 1000", "SYST:ERR?" } << ""
        << QByteArray("+0,\"No error\"\n") << start << none << QString();
    QTest::newRow("a change that changes no sample sends nothing")
        << QByteArrayList { "FUNC SIN;:VOLT 1;:OUTP ON", "DATA:ARB x, 1, -1",
               "FUNC:ARB X;:AM:DEPT 50;:BURS:NCYC 5;:SOUR2:VOLT 3", "SYST:ERR?;:FUNC:ARB?" } << ""
        << QByteArray("+0,\"No error\";\"X\"\n") << start << none << QString();
    QTest::newRow("a triggered burst stays armed for the next *TRG")
        << QByteArrayList { "TRIG:SOUR BUS;:BURS:STAT ON;NCYC 3;:FUNC SIN;:VOLT 2;:OUTP ON", "*TRG", "@wait 10", "OUTP?",
               "*TRG", "@wait 10", "OUTP?" } << ""
        << QByteArray("|1\n|1\n") << QStringList { "kd7240_setITRI", "kd7240_generateWaveform", "kd7240_pulseITRI", "kd7240_pulseITRI" } << none << QString();
    QTest::newRow("*OPC? waits for the cycles *TRG started")
        << QByteArrayList { "TRIG:SOUR BUS;:BURS:STAT ON;NCYC 3;:FUNC SIN;:VOLT 2;:OUTP ON", "*TRG;*OPC?", "@wait 1",
               "@wait 10", "*TRG;*WAI;:OUTP?", "@wait 10" } << ""
        << QByteArray("||1\n|1\n") << QStringList { "kd7240_setITRI", "kd7240_generateWaveform", "kd7240_pulseITRI", "kd7240_pulseITRI" } << none << QString();
    QTest::newRow("*OPC? waits for no output without end")
        << QByteArrayList { "TRIG:SOUR BUS;:FUNC SIN;:VOLT 2;:OUTP ON", "*TRG;*OPC?" } << ""
        << QByteArray("1\n") << QStringList { "kd7240_setITRI", "kd7240_generateWaveform", "kd7240_pulseITRI" } << none << QString();
    QTest::newRow("OUTP OFF leaves the DAC at 0 V, whoever wrote it")
        << QByteArrayList { "@dac1 2", "OUTP OFF", "OUTP OFF" } << "" << QByteArray("|")
        << QStringList { "kd7240_writeChannels", "kd7240_writeChannels" } << none
        << "frequency=1000 amplitude1=0 offset1=1.5 wave1=0 stop=0 dac1=0 generating=0";
    QTest::newRow("a DC output on stays on with the function that follows")
        << QByteArrayList { "FUNC DC;:VOLT:OFFS 3;:OUTP ON", "FUNC SIN", "OUTP?;:SYST:ERR?" } << ""
        << QByteArray("1;+0,\"No error\"\n")
        << QStringList { "kd7240_writeChannels", "kd7240_writeChannels", "kd7240_setITRI", "kd7240_generateWaveform" }
        << none << "frequency=1000 amplitude1=0 offset1=3 wave1=1 stop=0 dac1=0 generating=1";
    QTest::newRow("*RST stops and writes 0 V to both DACs")
        << QByteArrayList { "FUNC DC;:VOLT:OFFS 3;:OUTP ON", "*RST", "FUNC?;:OUTP?" } << ""
        << QByteArray("SIN;0\n") << QStringList { "kd7240_writeChannels", "kd7240_writeChannels" } << none
        << "frequency=1000 amplitude1=0 offset1=1.5 wave1=0 stop=0 dac1=0 generating=0";
    // The shape store is bounded: 32 shapes, 4194304 samples in all.
    const QByteArray full = "-225,\"" + QByteArray(kd7010fp_scpi::errorText(-225))
        + "; the shapes sent keep at most 32 shapes of 4194304 samples in all: DATA:VOLatile:CLEar makes room\"\n";
    QTest::newRow("a 33rd shape is refused") << shapeLines(33, 2) + QByteArrayList { "SYST:ERR?" } << "" << full
        << QStringList() << none << QString();
    QTest::newRow("a 17th shape of the longest is refused, another replaced")
        << shapeLines(17, 262143) + QByteArrayList { "SYST:ERR?" } + shapeLines(1, 262143) + QByteArrayList { "SYST:ERR?" }
        << "" << full + "+0,\"No error\"\n" << QStringList() << none << QString();
    QTest::newRow("a refusal's words in SCPI's locale")
        << QByteArrayList { "DATA:ARB wide, 1" + QByteArray(", -1").repeated(1499), "FUNC:ARB WIDE;:FUNC ARB;:OUTP ON",
               "SYST:ERR?" } << ""
        << QByteArray("-221,\"Settings conflict; Channel 1: 1500 samples at 1000 Hz need 1.5 MHz; the card plays at "
                      "most 1 MHz\"\n")
        << QStringList() << none << QString();
    QTest::newRow("VRMS of a square beside a channel the card cannot play")
        << QByteArrayList { "@sine2", "SOUR2:FM:STAT ON;DEV 99999", "FUNC SQU;:VOLT:UNIT VRMS;:VOLT 1",
               "VOLT:UNIT VPP;:VOLT?" } << ""
        << QByteArray("|+2.00000000000000E+00\n") << QStringList() << none << QString();
    // Without a card nothing pretends.
    QTest::newRow("a card lost: hardware missing")
        << QByteArrayList { "@lose", "FUNC SIN;:OUTP ON", "CAL?", "FUNC DC", "*TRG", "SYST:ERR?;ERR?;ERR?;ERR?;ERR?;:OUTP?",
               "*IDN?" } << ""
        << QByteArray("|+1\n-241,\"Hardware missing; no card connected\";-241,\"Hardware missing; no card connected\";"
                      "-241,\"Hardware missing; no card connected\";-241,\"Hardware missing; no card connected\";"
                      "+0,\"No error\";0\nKeldor Instruments,7240 (no card connected),0,0\n")
        << QStringList { "kd7240_close", "kd7240_init" } << none << QString();
    QTest::newRow("the DAC box keeps what the card holds") << QByteArrayList { "@dac1 2" } << "kd7240_writeChannels"
        << QByteArray("|") << QStringList { "kd7240_writeChannels" } << none
        << "frequency=1000 amplitude1=0 offset1=1.5 wave1=0 stop=0 dac1=0 generating=0";
    // 1 MSa/s over 14 samples is 71428.57 Hz: a whole 71428 Hz plays.
    QTest::newRow("SRAT MAX stays within the card's 1 MSa/s, and says what plays")
        << QByteArrayList { "DATA:ARB s14, 1" + QByteArray(", -1").repeated(13), "FUNC:ARB S14;:FUNC:ARB:SRAT MAX",
               "SYST:ERR?;:FUNC:ARB:SRAT?" } << ""
        << QByteArray("-222,\"Data out of range; sample rate played 999992 Sa/s\";+9.99992000000000E+05\n")
        << QStringList() << none << QString();
    // A DC level of 7.5 V leaves 0.5 V of the card's 8 V to a peak.
    QTest::newRow("an offset that brings the amplitude down says so")
        << QByteArrayList { "VOLT 2;:FUNC DC;:VOLT:OFFS 7.5", "SYST:ERR?;:VOLT?" } << ""
        << QByteArray("-222,\"Data out of range; amplitude played 1 Vpp\";+1.00000000000000E+00\n") << QStringList()
        << none << QString();
    QTest::newRow("a function refused while the other channel plays changes nothing")
        << QByteArrayList { "FUNC SIN;:VOLT 1;:OUTP ON;:SOUR2:FUNC SIN;:OUTP2 ON", "FUNC DC", "SYST:ERR?;:FUNC?;:OUTP?" }
        << "" << QByteArray("-221,\"Settings conflict; stop generation first\";SIN;1\n")
        << start + QStringList { "kd7240_stopBurst", "kd7240_generateWaveforms" } << none << QString();
    QTest::newRow("a shape parked behind an output off is not modulated")
        << QByteArrayList { "DATA:ARB x, 1, -1", "FUNC:ARB X;:FUNC ARB;:AM:STAT ON", "SYST:ERR?;:AM:STAT?" } << ""
        << QByteArray("-221,\"Settings conflict; a shape is not modulated; choose a standard function first\";0\n")
        << QStringList() << none << QString();
    QTest::newRow("a DC level's DAC is not written while the other channel plays")
        << QByteArrayList { "FUNC DC;:VOLT:OFFS 3;:OUTP ON", "SOUR2:FUNC SIN;:OUTP2 ON", "VOLT:OFFS 2", "OUTP OFF",
               "SYST:ERR?;ERR?;:VOLT:OFFS?;:OUTP?" } << ""
        << QByteArray("-221,\"Settings conflict; stop generation first\";-221,\"Settings conflict; stop generation "
                      "first\";+3.00000000000000E+00;1\n")
        << QStringList { "kd7240_writeChannels", "kd7240_setITRI", "kd7240_generateWaveform" } << none << QString();
    QTest::newRow("CAL? judged by the call, the queue full") << QByteArrayList(21, "FREQUENCE 5") + QByteArrayList { "CAL?" }
        << "kd7240_calibrate" << QByteArray("+1\n") << QStringList { "kd7240_calibrate" } << none << QString();
    // clang-format on
}

void tst_instrument::lines()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QString, fault);
    QFETCH(QByteArray, replies);
    QFETCH(QStringList, calls);
    QFETCH(double, peak);
    QFETCH(QString, shown);
    QTemporaryDir home;
    qputenv("ALLUSERSPROFILE", home.path().toLocal8Bit());
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    kdsim::keepSamples(true);
    kdsim::useManualClock(); // a burst goes on while the test looks
    kd7240fp_instrument instrument(panel->model, [] { return QByteArray("Keldor Instruments,7240-AA,1,1"); });
    // A client's troubles never open a box; the operator's own do.
    bool boxed = false;
    bool operatorActs = false;
    ModalScript script;
    script.act([&](QWidget *w) {
        boxed = boxed || !operatorActs;
        w->close();
    });
    if (!fault.isEmpty())
        kdsim::addFault(fault.toStdString(), driverError, 1);
    kdsim::clearCalls();

    // As a client's connection runs them: a line that waits at *WAI or
    // *OPC? goes on once the operation ended. Each step of the operator's
    // is heard as "|" among the replies.
    kd7010fp_scpi::Conversation client(*instrument.scpi());
    QByteArray heard;
    for (const QByteArray &line : lines) {
        if (line.startsWith('@')) {
            operatorActs = true;
            operatorStep(panel.get(), line);
            operatorActs = false;
            heard += '|';
        } else {
            client.append(line + '\n');
        }
        client.run();
        heard += std::exchange(client.output(), QByteArray());
    }
    QVERIFY2(heard.startsWith(replies), heard.constData());
    QVERIFY(!boxed);
    QTEST(driverCalls().filter(QRegularExpression(QStringLiteral("^(?!kd7240_(getBurstStatus|error_message))"))),
        "calls");
    const std::vector<kdsim::Call> generated = kdsim::calls("kd7240_generateWaveform");
    if (!std::isnan(peak)) {
        QVERIFY(!generated.empty());
        QCOMPARE(*std::max_element(generated.back().data1.begin(), generated.back().data1.end()), peak);
    }
    if (!shown.isEmpty())
        QCOMPARE(::shown(panel.get()), shown);
    // The window's readout ("plays 1000.00 Hz...") keeps the operator's locale.
    if (panel->model->plan().timing.ok)
        QVERIFY(panel->commonSettings->playedLabel->text().contains(QLocale().decimalPoint()));
}

// The operator and a client change settings in the same moment: the last
// change wins, and the boxes and the card end agreeing.
void tst_instrument::remoteAndLocalAgree()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    kdsim::keepSamples(true);
    kd7240fp_instrument instrument(panel->model, [] { return QByteArray(); });
    panel->liveBox->setChecked(true);
    instrument.execute("FUNC SIN;VOLT 2;:OUTP ON");
    panel->chan1->amplitudeBox->setValue(1.5); // paced: sent within 100 ms
    instrument.execute("FREQ 2000"); // sent at once, the operator's change with it
    QTest::qWait(150);
    const std::vector<kdsim::Call> generated = kdsim::calls("kd7240_generateWaveform");
    QVERIFY(!generated.empty());
    const kdsim::Call &last = generated.back();
    QCOMPARE(callArgs(last).value(QLatin1String("nSam")).toInt(), 500);
    QCOMPARE(*std::max_element(last.data1.begin(), last.data1.end()), 1.5 + 1.5); // the card's middle is 1.5 V
    QCOMPARE(panel->commonSettings->frequencyBox->value(), 2000);
    QCOMPARE(panel->chan1->amplitudeBox->value(), 1.5);
    panel->startButton->click();
}

// A client's command waits while the operator answers a box: the box's own
// event loop never runs it, and it runs once the box is closed.
void tst_instrument::nothingRunsUnderTheOperatorsBox()
{
    auto panel = openPanel(&card, "panel_vxi.json", QStringLiteral("Auto Find"));
    QVERIFY(panel);
    QString error;
    QVERIFY2(panel->startRemote(0, {}, &error), qPrintable(error));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, panel->remote->port());
    QVERIFY(client.waitForConnected(5000));
    QMessageBox box(QMessageBox::Information, QStringLiteral("Box"), QStringLiteral("Open"));
    int whileOpen = -1;
    QTimer::singleShot(0, &box, [&] {
        client.write("FREQ 2000\n");
        QTimer::singleShot(300, &box, [&] {
            whileOpen = panel->commonSettings->frequencyBox->value();
            box.done(0);
        });
    });
    box.exec();
    QCOMPARE(whileOpen, 1000);
    QTRY_COMPARE(panel->commonSettings->frequencyBox->value(), 2000);
}

QTEST_MAIN(tst_instrument)
#include "tst_instrument.moc"
