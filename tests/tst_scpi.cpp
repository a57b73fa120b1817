// The SCPI parser against a small command set of its own, the framing of a
// byte stream into messages, the error queue and the status bytes.

#include <QtTest>

#include "kd7010fp_scpi.h"

using namespace kd7010fp_scpi;

class tst_Scpi : public QObject
{
    Q_OBJECT

private slots:
    void execute_data();
    void execute();
    void reader_data();
    void reader();
};

namespace {

QByteArray number(double v)
{
    return QByteArray::number(v, 'g', 15);
}

// A generator with two channels; each handler notes what it set.
struct Card
{
    QByteArray log;
    double frequency[3] = { 0, 1000, 1000 };
    double offset[3] = {};
    bool output[3] = {};
    int shape[3] = {};

    std::vector<Row> rows()
    {
        const auto set = [this](const char *name, int channel, double v) {
            log += name + QByteArray::number(channel) + '=' + number(v) + ' ';
        };
        return {
            { "[SOURce#]:FREQuency", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Hertz, { 1, 1e6, 1e3 }, &v)) set("f", c.suffix(), frequency[c.suffix()] = v); } },
            { "[SOURce#]:FREQuency?", [=](Call &c) { if (c.expectQuery({ 1, 1e6, 1e3 })) c.reply(frequency[c.suffix()]); } },
            { "[SOURce#]:VOLTage[:LEVel][:IMMediate][:AMPLitude]", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Volt, { 0, 10, 1 }, &v)) set("v", c.suffix(), v); } },
            { "[SOURce#]:VOLTage:OFFSet", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Volt, { -5, 5, 0 }, &v)) set("o", c.suffix(), offset[c.suffix()] = v); } },
            { "[SOURce#]:VOLTage:OFFSet?", [=](Call &c) { c.reply(offset[c.suffix()]); } },
            { "[SOURce#]:PHASe", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Degree, { 0, 359.99, 0, 360 }, &v)) set("p", c.suffix(), v); } },
            { "[SOURce#]:FUNCtion[:SHAPe]", [=](Call &c) { int v; if (c.expect(1) && c.choice(0, { "SINusoid", "SQUare", "RAMP" }, &v)) set("s", c.suffix(), shape[c.suffix()] = v); } },
            { "[SOURce#]:FUNCtion[:SHAPe]?", [=](Call &c) { c.replyText(QByteArrayList { "SIN", "SQU", "RAMP" }[shape[c.suffix()]]); } },
            { "OUTPut#", [=](Call &c) { bool v; if (c.expect(1) && c.boolean(0, &v)) set("out", c.suffix(), output[c.suffix()] = v); } },
            { "OUTPut#?", [=](Call &c) { c.replyBool(output[c.suffix()]); } },
            { "BURSt:NCYCles", [=](Call &c) { int v; if (c.expect(1) && c.integer(0, { 1, 1024, 1 }, &v)) set("n", 0, v); } },
            { "BURSt:TIME", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Second, { 0, 10, 1 }, &v)) set("t", 0, v); } },
            { "DISPlay:TEXT", [=](Call &c) { QByteArray v; if (c.expect(1) && c.text(0, &v)) log += "text=" + v + ' '; } },
            { "DATA:DAC", [=](Call &c) { QByteArray v; if (c.expect(1) && c.block(0, &v)) log += "dac=" + v + ' '; } },
            { "DATA:ARBitrary", [=](Call &c) {
                  QByteArray name;
                  std::vector<double> v;
                  if (c.expect(3, INT_MAX) && c.text(0, &name) && c.numbers(1, Unit::None, { -1, 1, 0 }, &v)) {
                      log += name + '=';
                      for (const double x : v)
                          log += number(x) + ',';
                      log += ' ';
                  } } },
            { "*IDN?", [](Call &c) { c.replyString("Test \"card\""); } },
            { "DRIVer:FAIL", [](Call &c) { c.error(-200, "driver says: no, never"); } },
        };
    }
};

QByteArrayList repeated(const QByteArray &line, int times)
{
    QByteArrayList lines;
    for (int i = 0; i < times; ++i)
        lines << line;
    return lines;
}

} // namespace

// Each row: the lines sent one after the other, what the handlers set, the
// replies of all lines together and the codes left in the error queue.
// clang-format off
void tst_Scpi::execute_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("applied");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<QByteArray>("errors");

    QTest::newRow("short, long, any case") << QByteArrayList { "FREQ 10", "frequency 20", "SoUr:FrEq 30", "FREQU 40", "FRE 50" }
        << QByteArray("f1=10 f1=20 f1=30 ") << QByteArray() << QByteArray("-113 -113");
    QTest::newRow("optional nodes") << QByteArrayList { "VOLT 2", "SOUR2:VOLT:LEV:IMM:AMPL 3", "volt:imm 4", "SOUR:LEV 5" }
        << QByteArray("v1=2 v2=3 v1=4 ") << QByteArray() << QByteArray("-113");
    QTest::newRow("suffixes") << QByteArrayList { "SOUR2:FREQ 10", "OUTP2 ON", "OUTP1 1", "OUTP OFF", "SOUR3:FREQ 1", "FREQ2 1", "OUTP0 1" }
        << QByteArray("f2=10 out2=1 out1=1 out1=0 ") << QByteArray() << QByteArray("-114 -114 -114");
    QTest::newRow("path after ;, leading :, common commands") << QByteArrayList { "SOUR2:VOLT:OFFS 0.5;*CLS;LEV 1;:FREQ 7;SOUR2:FREQ 8;VOLT 9" }
        << QByteArray("o2=0.5 v2=1 f1=7 f2=8 v2=9 ") << QByteArray() << QByteArray();
    QTest::newRow("queries joined, NR3") << QByteArrayList { "SOUR2:FREQ 123456.789;FREQ?;:VOLT:OFFS -2.5;OFFS?;:OUTP2?;FUNC?", "*IDN?;*TST?;SYST:VERS?" }
        << QByteArray("f2=123456.789 o1=-2.5 ")
        << QByteArray("+1.23456789000000E+05;-2.50000000000000E+00;0;SIN\n\"Test \"\"card\"\"\";+0;1999.0\n") << QByteArray();
    QTest::newRow("MIN, MAX, DEF") << QByteArrayList { "FREQ MIN", "FREQ maximum", "FREQ def", "FREQ MAXI" }
        << QByteArray("f1=1 f1=1000000 f1=1000 ") << QByteArray() << QByteArray("-104");
    QTest::newRow("units, MHZ is mega") << QByteArrayList { "FREQ 1.5KHZ", "FREQ 0.5 mhz", "VOLT 100 mV", "BURS:TIME 20MS", "BURS:TIME 7 us", "FREQ 5 V", "BURS:NCYC 5 HZ" }
        << QByteArray("f1=1500 f1=500000 v1=0.1 t0=0.02 t0=7e-06 ") << QByteArray() << QByteArray("-131 -138");
    QTest::newRow("clipped, reported without commas, the line goes on") << QByteArrayList { "FREQ 2E7;VOLT 1", "SYST:ERR?;:SYST:ERR:NEXT?" }
        << QByteArray("f1=1000000 v1=1 ") << QByteArray("-222,\"Data out of range; value clipped to 1000000\";+0,\"No error\"\n") << QByteArray();
    QTest::newRow("phase wraps") << QByteArrayList { "PHAS 450", "PHAS -90 DEG", "PHAS 359.995" }
        << QByteArray("p1=90 p1=270 p1=359.99 ") << QByteArray() << QByteArray("-222");
    QTest::newRow("numbers") << QByteArrayList { "FREQ +2e3", "FREQ .5e1", "FREQ #HFF", "FREQ #q17", "FREQ #B101", "FREQ 1.2.3", "FREQ ABC", "FREQ 'abc'", "FREQ 1e999", "FREQ 1E-400", "FREQ #HFG", "FREQ -", "FREQ #H" }
        << QByteArray("f1=2000 f1=5 f1=255 f1=15 f1=5 f1=1000000 f1=1 ") << QByteArray() << QByteArray("-120 -104 -104 -222 -222 -120 -120 -120");
    QTest::newRow("beyond a double, large however written")
        << QByteArrayList { "FREQ 0" + QByteArray(400, '9'), "FREQ 1" + QByteArray(500, '0') + "E-100" }
        << QByteArray("f1=1000000 f1=1000000 ") << QByteArray() << QByteArray("-222 -222");
    QTest::newRow("integers and booleans") << QByteArrayList { "BURS:NCYC 10.4", "BURS:NCYC 0.6", "BURS:NCYC MAX", "OUTP 0.5", "BURS:NCYC 2000", "OUTP MAYBE", "OUTP 'ON'", "OUTP 1V" }
        << QByteArray("n0=10 n0=1 n0=1024 out1=1 n0=1024 ") << QByteArray() << QByteArray("-222 -224 -104 -138");
    QTest::newRow("choices") << QByteArrayList { "FUNC SQU", "FUNC:SHAP ramp", "FUNC sinusoid", "FUNC SINUS", "FUNC 1" }
        << QByteArray("s1=1 s1=2 s1=0 ") << QByteArray() << QByteArray("-224 -104");
    QTest::newRow("parameter counts") << QByteArrayList { "FREQ", "FREQ 1,2", "FREQ? 5", "*TST? 1", "OUTP ON,", "FREQ ,1" }
        << QByteArray() << QByteArray() << QByteArray("-109 -108 -108 -108 -102 -102");
    QTest::newRow("strings") << QByteArrayList { "DISP:TEXT 'it''s'", "DISP:TEXT \"say \"\"hi\"\"\"", "DISP:TEXT bare_2", "DISP:TEXT \"a;b\";:FREQ 5", "DISP:TEXT \"open" }
        << QByteArray("text=it's text=say \"hi\" text=bare_2 text=a;b f1=5 ") << QByteArray() << QByteArray("-151");
    QTest::newRow("blocks") << QByteArrayList { QByteArray("DATA:DAC #15a\nb;c;:FREQ 3"), QByteArray("DATA:DAC #0abc"), "DATA:DAC #3ab", "DATA:DAC #19ab", "DATA:DAC 5" }
        << QByteArray("dac=a\nb;c f1=3 ") << QByteArray() << QByteArray("-161 -161 -160 -104");
    QTest::newRow("a shape's list") << QByteArrayList { "DATA:ARB ramp, -1, -0.5,0 ,0.5,1", "DATA:ARB ramp, 1, 2", "DATA:ARB x, 1" }
        << QByteArray("ramp=-1,-0.5,0,0.5,1, ramp=1,1, ") << QByteArray() << QByteArray("-222 -109");
    QTest::newRow("syntax") << QByteArrayList { "FREQ& 1", "FREQ 1 2", "FREQ::VOLT 1", "ABCDEFGHIJKLM 1", "FREQ?1", ":", "\xe9", "FREQ 1\n2", ";; FREQ 4 ;\n" }
        << QByteArray("f1=4 ") << QByteArray() << QByteArray("-101 -103 -102 -112 -102 -102 -101 -103");
    QTest::newRow("a command error stops the rest of the line") << QByteArrayList { "FREQ 5;VOLTS 1;FREQ 6", "FREQ?;FRQ?;FREQ?" }
        << QByteArray("f1=5 ") << QByteArray("+5.00000000000000E+00\n") << QByteArray("-113 -113");
    QTest::newRow("an execution error is said and the line goes on") << QByteArrayList { "FREQ 5;DRIV:FAIL;:FREQ 6;*OPC?" }
        << QByteArray("f1=5 f1=6 ") << QByteArray("1\n") << QByteArray("-200");
    QTest::newRow("MIN, MAX and DEF asked") << QByteArrayList { "FREQ? MAX;FREQ? minimum;FREQ? DEF;FREQ?", "FREQ? 5", "FREQ? MAXI" }
        << QByteArray() << QByteArray("+1.00000000000000E+06;+1.00000000000000E+00;+1.00000000000000E+03;+1.00000000000000E+03\n")
        << QByteArray("-108 -224");
    QTest::newRow("a block whose last byte is a newline") << QByteArrayList { QByteArray("DATA:DAC #13ab\n") }
        << QByteArray("dac=ab\n ") << QByteArray() << QByteArray();
    QTest::newRow("event status and status byte") << QByteArrayList { "FOO", "*ESR?;*ESR?;*STB?", "*ESE 49;*SRE 32;*OPC", "*STB?;*ESR?", "FREQ 1E9", "*STB?;*CLS;*STB?;*ESE?;*SRE?" }
        << QByteArray("f1=1000000 ") << QByteArray("+32;+0;+4\n+100;+1\n+100;+0;+49;+32\n") << QByteArray();
    QTest::newRow("a full queue ends in -350") << QByteArrayList { "DRIV:FAIL" } + repeated("FOO", 20) + QByteArrayList { "SYST:ERR?" }
        << QByteArray() << QByteArray("-200,\"Execution error; driver says: no; never\"\n")
        << QByteArray("-113 ").repeated(18) + "-350";
}
// clang-format on

void tst_Scpi::execute()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, applied);
    QFETCH(QByteArray, replies);
    QFETCH(QByteArray, errors);

    Card card;
    Parser parser(2);
    parser.add(commonRows());
    parser.add(card.rows());
    QByteArray replied;
    for (const QByteArray &line : lines)
        replied += parser.execute(line);
    QCOMPARE(card.log, applied);
    QCOMPARE(replied, replies);
    QByteArrayList codes;
    for (QByteArray entry; (entry = parser.status().errors().next()) != "+0,\"No error\"";)
        codes << entry.left(entry.indexOf(','));
    QCOMPARE(codes.join(' '), errors);
}

// Each row: the bytes as they arrive, the reader's limit and the messages
// taken after each piece ("overrun" for one refused).
// clang-format off
void tst_Scpi::reader_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QByteArrayList>("messages");

    QTest::newRow("a block split, newlines in it") << QByteArrayList { "DATA:DAC #210ab\n", "cdefgh", "ij;FREQ 1\r", "\nFREQ?\n" } << 64
        << QByteArrayList { "DATA:DAC #210ab\ncdefghij;FREQ 1", "FREQ?" };
    QTest::newRow("CR LF, blank lines, a block's own CR") << QByteArrayList { "A\r\n\r\n\nB\n", "C #12a\r", "\nD\r\n" } << 64
        << QByteArrayList { "A", "B", "C #12a\r", "D" };
    QTest::newRow("quotes hide #, their line ends them") << QByteArrayList { "T '#9'\nU \"ab", "c\nV #H12\n" } << 64
        << QByteArrayList { "T '#9'", "U \"abc", "V #H12" };
    QTest::newRow("#0 ends at the newline") << QByteArrayList { "D #0ab\ncd\n" } << 64 << QByteArrayList { "D #0ab", "cd" };
    QTest::newRow("over-long: refused up to its newline") << QByteArrayList { "SHORT\n0123", "456789", "abc\nNEXT\n" } << 8
        << QByteArrayList { "SHORT", "overrun", "NEXT" };
    QTest::newRow("over-long block: skipped by its length") << QByteArrayList { "B #220", "0123456789\n12345678", "9\nX\n" } << 8
        << QByteArrayList { "overrun", "X" };
    QTest::newRow("garbage, never a newline") << repeated(QByteArray(1000, '\xab') + "\"#9" + QByteArray(500, '#'), 40) << 16
        << QByteArrayList();
    QTest::newRow("a huge block announced") << QByteArrayList { "#9999999999", QByteArray(5000, '\n'), "A\n" } << 16
        << QByteArrayList();
}
// clang-format on

void tst_Scpi::reader()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(int, limit);
    QFETCH(QByteArrayList, messages);

    MessageReader reader(limit);
    QByteArrayList taken;
    for (const QByteArray &piece : pieces) {
        reader.append(piece);
        QVERIFY(reader.buffered() <= limit + piece.size());
        QByteArray message;
        for (MessageReader::Result r; (r = reader.next(&message)) != MessageReader::Nothing;)
            taken << (r == MessageReader::Overrun ? QByteArray("overrun") : message);
    }
    QCOMPARE(taken, messages);
}

QTEST_GUILESS_MAIN(tst_Scpi)
#include "tst_scpi.moc"
