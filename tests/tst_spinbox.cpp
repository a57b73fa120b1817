// The clamping spin boxes: what the operator types, how the entry is
// committed, what the box then shows and which values it reported.

#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

#include "kd7010fp_spinbox.h"

class tst_SpinBox : public QObject
{
    Q_OBJECT

private slots:
    void typedValue_data();
    void typedValue();
};

// clang-format off
void tst_SpinBox::typedValue_data()
{
    QTest::addColumn<bool>("integer");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("tracking");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byReturn");          // else the focus leaves the box
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QList<double>>("emitted");  // valueChanged, in order

    QTest::newRow("DAC 11, Return") << false << -10.0 << 10.0 << 3 << " V" << false << "11" << true
                                    << 10.0 << "10.000 V" << QList<double>{ 10 };
    QTest::newRow("DAC 11, focus out") << false << -10.0 << 10.0 << 3 << " V" << false << "11" << false
                                       << 10.0 << "10.000 V" << QList<double>{ 10 };
    QTest::newRow("below minimum") << false << -10.0 << 10.0 << 3 << " V" << false << "-20" << false
                                   << -10.0 << "-10.000 V" << QList<double>{ -10 };
    QTest::newRow("below minimum, tracking") << false << -10.0 << 10.0 << 3 << " V" << true << "-20" << false
                                             << -10.0 << "-10.000 V" << QList<double>{ -2, -10 };
    QTest::newRow("amplitude 25") << false << 0.0 << 10.0 << 2 << " V" << false << "25" << true
                                  << 10.0 << "10.00 V" << QList<double>{ 10 };
    QTest::newRow("in range") << false << -10.0 << 10.0 << 3 << " V" << false << "2.5" << true
                              << 2.5 << "2.500 V" << QList<double>{ 2.5 };
    QTest::newRow("more decimals than shown") << false << 0.0 << 10.0 << 2 << " V" << false << "1.234" << true
                                              << 1.23 << "1.23 V" << QList<double>{ 1.23 };
    QTest::newRow("frequency 150000") << true << 1.0 << 100000.0 << 0 << " Hz" << false << "150000" << true
                                      << 100000.0 << "100000 Hz" << QList<double>{ 100000 };
    // A comma is a decimal comma in every box, never a thousands separator.
    QTest::newRow("frequency with a comma") << true << 1.0 << 100000.0 << 0 << " Hz" << false << "150,000"
                                            << false << 150.0 << "150 Hz" << QList<double>{ 150 };
    QTest::newRow("frequency 150000, tracking") << true << 1.0 << 100000.0 << 0 << " Hz" << true << "150000" << false
                                                << 100000.0 << "100000 Hz"
                                                << QList<double>{ 15, 150, 1500, 15000, 100000 };
}
// clang-format on

void tst_SpinBox::typedValue()
{
    QFETCH(bool, integer);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(int, decimals);
    QFETCH(QString, suffix);
    QFETCH(bool, tracking);
    QFETCH(QString, typed);
    QFETCH(bool, byReturn);
    QFETCH(double, value);
    QFETCH(QString, shown);
    QFETCH(QList<double>, emitted);

    QWidget window;
    window.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    auto *layout = new QVBoxLayout(&window);
    QAbstractSpinBox *box = nullptr;
    QList<double> reported;
    std::function<double()> current;
    if (integer) {
        auto *intBox = new kd7010fp_clampSpinBox(&window);
        intBox->setRange(int(minimum), int(maximum));
        intBox->setSuffix(suffix);
        connect(intBox, &QSpinBox::valueChanged, this, [&](int v) { reported << v; });
        current = [intBox] { return double(intBox->value()); };
        box = intBox;
    } else {
        auto *doubleBox = new kd7010fp_clampDoubleSpinBox(&window);
        doubleBox->setDecimals(decimals);
        doubleBox->setRange(minimum, maximum);
        doubleBox->setSuffix(suffix);
        connect(doubleBox, &QDoubleSpinBox::valueChanged, this, [&](double v) { reported << v; });
        current = [doubleBox] { return doubleBox->value(); };
        box = doubleBox;
    }
    box->setKeyboardTracking(tracking);
    auto *next = new QLineEdit(&window);
    layout->addWidget(box);
    layout->addWidget(next);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    box->setFocus();
    QVERIFY(box->hasFocus());
    box->selectAll();
    QTest::keyClicks(box, typed);
    if (byReturn)
        QTest::keyClick(box, Qt::Key_Return);
    else
        next->setFocus();

    QCOMPARE(current(), value);
    QCOMPARE(box->text(), shown);
    QCOMPARE(reported, emitted);
}

QTEST_MAIN(tst_SpinBox)
#include "tst_spinbox.moc"
