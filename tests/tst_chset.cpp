// The channel settings group: waveform buttons, filter codes, limits, icons.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QtTest>

#include "drawnpicture.h"
#include "kd7240fp_chset.h"

class TestChSet : public QObject
{
    Q_OBJECT
private slots:
    void setWave_data();
    void setWave();
    void filterCodes_data();
    void filterCodes();
    void activatedIsReemitted();
    void setLimits_data();
    void setLimits();
    void icons_data();
    void icons();
    void chosenButtonStandsOut();
};

static const QStringList waveNames{ "sine", "square", "saw", "triangle" };

static QPushButton *button(kd7240fp_chSet &group, const QString &name)
{
    QPushButton *const buttons[] = { group.sineButton, group.squareButton, group.sawButton, group.triangleButton };
    return buttons[waveNames.indexOf(name)];
}

void TestChSet::setWave_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("waveType");
    QTest::addColumn<QString>("checked"); // empty: none
    QTest::newRow("nothing") << QStringList{} << 0 << "";
    QTest::newRow("sine") << QStringList{ "sine" } << 1 << "sine";
    QTest::newRow("sine then square") << QStringList{ "sine", "square" } << 2 << "square";
    QTest::newRow("square twice") << QStringList{ "square", "square" } << 0 << "";
    QTest::newRow("saw, triangle, sine") << QStringList{ "saw", "triangle", "sine" } << 1 << "sine";
    QTest::newRow("triangle then saw") << QStringList{ "triangle", "saw" } << 3 << "saw";
    QTest::newRow("off and on again") << QStringList{ "triangle", "triangle", "triangle" } << 4 << "triangle";
    QTest::newRow("square, sine, sine") << QStringList{ "square", "sine", "sine" } << 0 << "";
}

void TestChSet::setWave()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, waveType);
    QFETCH(QString, checked);
    kd7240fp_chSet group("Channel 1", nullptr);
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    for (const QString &name : clicks)
        QTest::mouseClick(button(group, name), Qt::LeftButton);
    QCOMPARE(group.waveType, waveType);
    for (const QString &name : waveNames)
        QCOMPARE(button(group, name)->isChecked(), name == checked);
    int type = -1;
    double offset = -1, amplitude = -1;
    group.offsetBox->setValue(1.5);
    group.getWaveParams(&type, &offset, &amplitude);
    QCOMPARE(type, waveType);
    QCOMPARE(offset, 1.5);
    QCOMPARE(amplitude, 0.0);
}

// Each step chooses a filter entry; '?' reads the codes right after it.
void TestChSet::filterCodes_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("filters"); // one per read
    QTest::addColumn<QList<int>>("terms");
    QTest::newRow("new group") << QStringList{ "?" } << QList<int>{ 0 } << QList<int>{ 0 };
    QTest::newRow("10KHz then Ground") << QStringList{ "10KHz?", "Ground?" } << QList<int>{ 2, 2 }
                                       << QList<int>{ 0, 2 };
    QTest::newRow("Ground at once") << QStringList{ "Ground?" } << QList<int>{ 0 } << QList<int>{ 2 };
    QTest::newRow("unread filter is not remembered") << QStringList{ "100KHz", "Ground?" } << QList<int>{ 0 }
                                                     << QList<int>{ 2 };
    QTest::newRow("ground, filter, ground") << QStringList{ "1KHz?", "Ground?", "100KHz?", "Ground?", "Bypass?" }
                                            << QList<int>{ 1, 1, 3, 3, 0 } << QList<int>{ 0, 2, 0, 2, 0 };
}

void TestChSet::filterCodes()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, filters);
    QFETCH(QList<int>, terms);
    kd7240fp_chSet group("Channel 2", nullptr);
    QList<int> readFilters, readTerms;
    for (QString step : steps) {
        const bool read = step.endsWith('?');
        step.remove('?');
        if (!step.isEmpty()) {
            const int index = group.filterBox->findText(step);
            QVERIFY2(index >= 0, qPrintable(step));
            group.filterBox->setCurrentIndex(index);
        }
        if (read) {
            readFilters << group.getFilt();
            readTerms << group.getTerm();
        }
    }
    QCOMPARE(readFilters, filters);
    QCOMPARE(readTerms, terms);
}

void TestChSet::activatedIsReemitted()
{
    kd7240fp_chSet group("Channel 1", nullptr);
    QSignalSpy spy(&group, &kd7240fp_chSet::activated);
    QTest::keyClick(group.filterBox, Qt::Key_Down);
    QTest::keyClick(group.filterBox, Qt::Key_Up);
    QTest::keyClick(group.filterBox, Qt::Key_Up);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QCOMPARE(spy.at(2).at(0).toInt(), 0);
    QCOMPARE(group.getTerm(), 2);
}

void TestChSet::setLimits_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("amplitudeBefore");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("amplitudeMax");
    QTest::addColumn<double>("amplitude");
    QTest::newRow("symmetric") << -10.0 << 10.0 << 0.0 << 0.0 << 10.0 << 0.0;
    QTest::newRow("positive only") << 0.0 << 5.0 << 1.0 << 2.5 << 2.5 << 1.0;
    QTest::newRow("amplitude clamped") << -2.0 << 2.0 << 8.0 << 0.0 << 2.0 << 2.0;
    QTest::newRow("asymmetric") << -5.0 << 10.0 << 7.5 << 2.5 << 7.5 << 7.5;
}

void TestChSet::setLimits()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, amplitudeBefore);
    kd7240fp_chSet group("Channel 1", nullptr);
    group.amplitudeBox->setValue(amplitudeBefore);
    group.setLimits(low, high);
    QCOMPARE(group.offsetBox->minimum(), low);
    QCOMPARE(group.offsetBox->maximum(), high);
    QTEST(group.offsetBox->value(), "offset");
    QCOMPARE(group.amplitudeBox->minimum(), 0.0);
    QTEST(group.amplitudeBox->maximum(), "amplitudeMax");
    QTEST(group.amplitudeBox->value(), "amplitude");
    QCOMPARE(group.offsetBox->singleStep(), 0.1);
    QCOMPARE(group.amplitudeBox->singleStep(), 0.1);
}

// The pictures row by row, '/' between rows: '#' black, '.' transparent.
// Each waveform button shows that picture unscaled where the operator sees it,
// its own drawing at twice the size on 200 % screens, and a name to be
// heard by, since it has no text.
void TestChSet::icons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("rows");
    // clang-format off
    QTest::newRow("sine") << "sine" << QSize(20, 6)
        << "....###............./..##...##.........../.#.......#.........#/#.........#.......#./"
           "...........##...##../.............###....";
    QTest::newRow("square") << "square" << QSize(21, 9)
        << "###########........../#.........#.........#/#.........#.........#/#.........#.........#/"
           "#.........#.........#/#.........#.........#/#.........#.........#/#.........#.........#/"
           "..........###########";
    QTest::newRow("saw") << "saw" << QSize(21, 9)
        << ".##...............##./#.#.............##.#./..#...........##...#./..#.........##.....#./"
           "..#.......##.......#./..#.....##.........#./..#...##...........#./..#.##.............#./"
           "..##...............##";
    QTest::newRow("triangle") << "triangle" << QSize(21, 9)
        << "......#............../.....#.#............./....#...#...........#/...#.....#.........#./"
           "..#.......#.......#../.#.........#.....#.../#...........#...#..../.............#.#...../"
           "..............#......";
    // clang-format on
}

void TestChSet::icons()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, rows);
    kd7240fp_chSet group("Channel 1", nullptr);
    QPushButton *b = button(group, name);
    QVERIFY(b->text().isEmpty());
    QVERIFY(b->icon().availableSizes().contains(size));
    QCOMPARE(b->iconSize(), size); // drawn unscaled
    const QImage picture = pictureFromRows(rows, { { QLatin1Char('#'), qRgb(0, 0, 0) } });
    QCOMPARE(picture.size(), size);
    QCOMPARE(b->icon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32), picture);
    QVERIFY(showsPicture(b, picture));
    // On 200 % screens its own drawing at twice the size, not a blurred copy.
    const QPixmap twice = b->icon().pixmap(size, 2.0);
    QCOMPARE(twice.devicePixelRatio(), 2.0);
    QCOMPARE(twice.size(), size * 2);
    QCOMPARE(twice.toImage().convertToFormat(QImage::Format_ARGB32),
             QImage(QStringLiteral(":/wave-%1@2x.png").arg(name)).convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(b->toolTip().toLower(), name);
    QCOMPARE(b->accessibleName(), "Channel 1 " + name);
}

// The chosen waveform reads at a glance: its button looks plainly different.
void TestChSet::chosenButtonStandsOut()
{
    kd7240fp_chSet group("Channel 1", nullptr);
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    const QImage before = group.sawButton->grab().toImage();
    group.sawButton->click();
    const QImage after = group.sawButton->grab().toImage();
    QCOMPARE(before.size(), after.size());
    int changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QColor a = before.pixelColor(x, y), b = after.pixelColor(x, y);
            changed += std::abs(a.lightness() - b.lightness()) > 48;
        }
    // Most of the button's face, not a faint shade at the edge.
    QVERIFY2(changed > before.width() * before.height() / 2, qPrintable(QString::number(changed)));
}

QTEST_MAIN(TestChSet)
#include "tst_chset.moc"
