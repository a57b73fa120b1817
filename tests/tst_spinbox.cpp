// The clamping spin boxes: what the operator types, how the entry is
// committed, what the box then shows, which values it reported and what it
// said.

#include <QLineEdit>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

#include <map>

#include "kd7010fp_spinbox.h"

namespace {

struct Kind
{
    bool integer;
    double minimum;
    double maximum;
    int decimals;
    const char *suffix;
    kd7010fp_typedNumber::Quantity quantity;
    bool wrapping;
};

const std::map<QString, Kind> kinds = {
    { "dac", { false, -10, 10, 3, " V", kd7010fp_typedNumber::Voltage, false } },
    { "amplitude", { false, 0, 10, 2, " V", kd7010fp_typedNumber::Voltage, false } },
    { "frequency", { true, 1, 100000, 0, " Hz", kd7010fp_typedNumber::Frequency, false } },
    { "phase", { false, 0, 359.99, 2, "°", kd7010fp_typedNumber::Angle, true } },
    { "wide", { false, -10000, 10000, 3, "", kd7010fp_typedNumber::Voltage, false } },
};

// A box of a kind in a window, beside a line edit to take the focus.
struct Bench
{
    Bench(const QString &kind, const QString &locale)
    {
        const Kind &k = kinds.at(kind);
        window.setLocale(QLocale(locale));
        if (k.integer) {
            auto *intBox = new kd7010fp_clampSpinBox(&window);
            intBox->setRange(int(k.minimum), int(k.maximum));
            intBox->setSuffix(QString::fromUtf8(k.suffix));
            intBox->setQuantity(k.quantity);
            QObject::connect(intBox, &QSpinBox::valueChanged, &window, [this](int v) { reported << v; });
            QObject::connect(intBox, &kd7010fp_clampSpinBox::refused, &window, [this](const QString &m) { told << m; });
            value = [intBox] { return double(intBox->value()); };
            setValue = [intBox](double v) { intBox->setValue(int(v)); };
            box = intBox;
        } else {
            auto *doubleBox = new kd7010fp_clampDoubleSpinBox(&window);
            doubleBox->setDecimals(k.decimals);
            doubleBox->setRange(k.minimum, k.maximum);
            doubleBox->setSuffix(QString::fromUtf8(k.suffix));
            doubleBox->setQuantity(k.quantity);
            QObject::connect(doubleBox, &QDoubleSpinBox::valueChanged, &window, [this](double v) { reported << v; });
            QObject::connect(
                doubleBox, &kd7010fp_clampDoubleSpinBox::refused, &window, [this](const QString &m) { told << m; });
            value = [doubleBox] { return doubleBox->value(); };
            setValue = [doubleBox](double v) { doubleBox->setValue(v); };
            box = doubleBox;
        }
        box->setWrapping(k.wrapping);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(box);
        layout->addWidget(next);
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        box->setFocus();
        return box->hasFocus();
    }
    void type(const QString &text, bool byReturn = true)
    {
        box->selectAll();
        QTest::keyClicks(box, text);
        if (byReturn)
            QTest::keyClick(box, Qt::Key_Return);
        else
            next->setFocus();
    }

    QWidget window;
    QLineEdit *next = new QLineEdit(&window);
    QAbstractSpinBox *box = nullptr;
    std::function<double()> value;
    std::function<void(double)> setValue;
    QList<double> reported;
    QStringList told;
};

} // namespace

class tst_SpinBox : public QObject
{
    Q_OBJECT

private slots:
    void typedValue_data();
    void typedValue();
    void untouchedTextReadsBack_data();
    void untouchedTextReadsBack();
    void refusalTipStaysUntilTheNextValueTaken();
};

// clang-format off
void tst_SpinBox::typedValue_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("tracking");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byReturn");          // else the focus leaves the box
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QList<double>>("emitted");  // valueChanged, in order
    QTest::addColumn<QString>("told");           // the refusal, if any

    const QString en = "en_US";
    const QString de = "de_DE";
    QTest::newRow("DAC 11, Return") << "dac" << en << false << "11" << true
                                    << 10.0 << "10.000 V" << QList<double>{ 10 } << "";
    QTest::newRow("DAC 11, focus out") << "dac" << en << false << "11" << false
                                       << 10.0 << "10.000 V" << QList<double>{ 10 } << "";
    QTest::newRow("below minimum") << "dac" << en << false << "-20" << false
                                   << -10.0 << "-10.000 V" << QList<double>{ -10 } << "";
    QTest::newRow("below minimum, tracking") << "dac" << en << true << "-20" << false
                                             << -10.0 << "-10.000 V" << QList<double>{ -2, -10 } << "";
    QTest::newRow("amplitude 25") << "amplitude" << en << false << "25" << true
                                  << 10.0 << "10.00 V" << QList<double>{ 10 } << "";
    QTest::newRow("in range") << "dac" << en << false << "2.5" << true
                              << 2.5 << "2.500 V" << QList<double>{ 2.5 } << "";
    QTest::newRow("more decimals than shown") << "amplitude" << en << false << "1.234" << true
                                              << 1.23 << "1.23 V" << QList<double>{ 1.23 } << "";
    QTest::newRow("frequency 150000") << "frequency" << en << false << "150000" << true
                                      << 100000.0 << "100000 Hz" << QList<double>{ 100000 } << "";
    QTest::newRow("frequency 150000, tracking") << "frequency" << en << true << "150000" << false
                                                << 100000.0 << "100000 Hz"
                                                << QList<double>{ 15, 150, 1500, 15000, 100000 } << "";
    // One group of three could be thousands or three decimals: asked, not guessed.
    QTest::newRow("one group") << "frequency" << en << false << "150,000" << false << 1.0 << "1 Hz" << QList<double>{}
                               << "\"150,000\" could be 150000 or 150; type 150000 or 150.0.";
    QTest::newRow("one group, German") << "frequency" << de << false << "2.000" << true << 1.0 << "1 Hz"
                                       << QList<double>{} << "\"2.000\" could be 2000 or 2; type 2000 or 2,0.";
    QTest::newRow("groups") << "frequency" << en << false << "1,000,000" << true
                            << 100000.0 << "100000 Hz" << QList<double>{ 100000 } << "";
    QTest::newRow("a group and decimals, German") << "frequency" << de << false << "1.000,4" << true
                                                  << 1000.0 << "1000 Hz" << QList<double>{ 1000 } << "";
    QTest::newRow("decimal comma") << "amplitude" << en << false << "1,25" << true
                                   << 1.25 << "1.25 V" << QList<double>{ 1.25 } << "";
    QTest::newRow("decimal point, German") << "amplitude" << de << false << "1.5" << true
                                           << 1.5 << "1,50 V" << QList<double>{ 1.5 } << "";
    QTest::newRow("phase -90") << "phase" << en << false << "-90" << true
                               << 270.0 << "270.00°" << QList<double>{ 270 } << "";
    QTest::newRow("phase 450") << "phase" << en << false << "450" << false
                               << 90.0 << "90.00°" << QList<double>{ 90 } << "";
    QTest::newRow("phase 359.996") << "phase" << en << false << "359.996" << true
                                   << 0.0 << "0.00°" << QList<double>{} << "";
    QTest::newRow("beyond doubles") << "dac" << en << false << "1e400" << true
                                    << 10.0 << "10.000 V" << QList<double>{ 10 } << "";
    QTest::newRow("beyond doubles, negative") << "dac" << en << false << "-1e400" << true
                                              << -10.0 << "-10.000 V" << QList<double>{ -10 } << "";
    QTest::newRow("below doubles") << "dac" << en << false << "1e-400" << true
                                   << 0.0 << "0.000 V" << QList<double>{} << "";
    QTest::newRow("kilohertz") << "frequency" << en << false << "2 kHz" << true
                               << 2000.0 << "2000 Hz" << QList<double>{ 2000 } << "";
    QTest::newRow("millivolts") << "amplitude" << en << false << "500 mV" << true
                                << 0.5 << "0.50 V" << QList<double>{ 0.5 } << "";
    QTest::newRow("a unit of time") << "frequency" << en << false << "2 ms" << true << 1.0 << "1 Hz" << QList<double>{}
                                    << "\"2 ms\" is no frequency; the box keeps 1 Hz.";
}
// clang-format on

void tst_SpinBox::typedValue()
{
    QFETCH(QString, kind);
    QFETCH(QString, locale);
    QFETCH(bool, tracking);
    QFETCH(QString, typed);
    QFETCH(bool, byReturn);
    QFETCH(QString, told);

    Bench bench(kind, locale);
    bench.box->setKeyboardTracking(tracking);
    QVERIFY(bench.show());
    bench.type(typed, byReturn);

    QTEST(bench.value(), "value");
    QTEST(bench.box->text(), "shown");
    QTEST(bench.reported, "emitted");
    QCOMPARE(bench.told, told.isEmpty() ? QStringList() : QStringList { told });
}

void tst_SpinBox::untouchedTextReadsBack_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("groupsShown");
    for (const char *locale : { "en_US", "de_DE", "ar_EG", "fa_IR", "sv_SE", "bn_BD" })
        QTest::addRow("%s", locale) << locale << false;
    for (const char *locale : { "ar_EG", "sv_SE", "fr_FR", "de_CH" })
        QTest::addRow("%s, groups shown", locale) << locale << true;
}

void tst_SpinBox::untouchedTextReadsBack()
{
    QFETCH(QString, locale);
    QFETCH(bool, groupsShown);
    Bench bench("wide", locale);
    bench.box->setGroupSeparatorShown(groupsShown);
    bench.setValue(-1234.567);
    bench.reported.clear();
    const QString shown = bench.box->text();
    QVERIFY(bench.show());
    QTest::keyClick(bench.box, Qt::Key_Return);

    QCOMPARE(bench.value(), -1234.567);
    QCOMPARE(bench.box->text(), shown);
    QCOMPARE(bench.told, QStringList());
}

void tst_SpinBox::refusalTipStaysUntilTheNextValueTaken()
{
    Bench bench("frequency", "en_US");
    QVERIFY(bench.show());
    bench.type("12a");
    QCOMPARE(bench.told.size(), 1);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), bench.told[0]);
    // It stays while the box holds the value it kept, not a few seconds.
    QTest::qWait(6500);
    QVERIFY(QToolTip::isVisible());
    bench.type("5");
    QCOMPARE(bench.value(), 5.0);
    // Well before the tip would go by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), 2000);
}

QTEST_MAIN(tst_SpinBox)
#include "tst_spinbox.moc"
