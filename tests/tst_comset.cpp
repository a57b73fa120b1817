// The common settings group: defaults, the cycles controls, the frequency range.
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QtTest>

#include "kd7240fp_comset.h"

class TestComSet : public QObject
{
    Q_OBJECT
private slots:
    void cyclesEnabling_data();
    void cyclesEnabling();
    void typedFrequency_data();
    void typedFrequency();
};

// The operator walks the stop box with the arrow keys; each key is an activation.
void TestComSet::cyclesEnabling_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("new group") << QList<int>{} << false;
    QTest::newRow("limited") << QList<int>{ Qt::Key_Down } << true;
    QTest::newRow("limited, unlimited again") << QList<int>{ Qt::Key_Down, Qt::Key_Up } << false;
    QTest::newRow("limited chosen twice") << QList<int>{ Qt::Key_Down, Qt::Key_Down } << true;
}

void TestComSet::cyclesEnabling()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, enabled);
    kd7240fp_comSet group("Common Settings", nullptr);
    QCOMPARE(group.cyclesBox->value(), 10);
    group.cyclesBox->setValue(37);
    for (int key : keys)
        QTest::keyClick(group.stopBox, Qt::Key(key));
    QCOMPARE(group.cyclesBox->isEnabled(), enabled);
    QCOMPARE(group.cyclesLabel->isEnabled(), enabled);
    int frequency = 0, start = -1, stop = -1, cycles = 0;
    group.getSettings(&frequency, &start, &stop, &cycles);
    QCOMPARE(frequency, 1000);
    QCOMPARE(start, 0);
    QCOMPARE(stop, int(enabled));
    QCOMPARE(cycles, 37); // kept even while unused
}

void TestComSet::typedFrequency_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::newRow("in range") << "2500" << 2500;
    QTest::newRow("highest") << "100000" << 100000;
    // Beyond the range the box takes the nearest bound, never a number
    // with a digit dropped (150000 once became 15000).
    QTest::newRow("zero, the lowest") << "0" << 1;
    QTest::newRow("above, the highest") << "150000" << 100000;
}

void TestComSet::typedFrequency()
{
    QFETCH(QString, typed);
    kd7240fp_comSet group("Common Settings", nullptr);
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    group.frequencyBox->setFocus();
    group.frequencyBox->selectAll();
    QTest::keyClicks(group.frequencyBox, typed);
    QTest::keyClick(group.frequencyBox, Qt::Key_Return);
    QTEST(group.frequencyBox->value(), "value");
    QCOMPARE(group.frequencyBox->text(), QString::number(group.frequencyBox->value()) + " Hz");
}

QTEST_MAIN(TestComSet)
#include "tst_comset.moc"
