// The LED as the operator sees it: lamp colours, bevel, repaints, signal.
#include <QtTest>

#include <QFontMetrics>
#include <QImage>

#include <memory>

#include "kd7010fp_led.h"

namespace {

// Counts paint events delivered to one widget.
class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

QFont pixelFont(int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    return font;
}

// Lamp geometry of an LED laid out at its minimum size: the lamp's box
// starts 2 pixels in and is as wide and high as the font.
struct Lamp {
    int h;
    QPoint centre;
};

Lamp lampOf(const kd7010fp_led &led)
{
    const int h = QFontMetrics(led.font()).height();
    return {h, QPoint(2 + h / 2, h / 2)};
}

QImage shot(kd7010fp_led &led)
{
    led.resize(led.minimumSizeHint());
    return led.grab().toImage();
}

} // namespace

class tst_led : public QObject
{
    Q_OBJECT

private slots:
    void lampColours_data();
    void lampColours();
    void magentaIsReadOnce();
    void bevel_data();
    void bevel();
    void repaintsOnlyOnChange_data();
    void repaintsOnlyOnChange();
};

void tst_led::lampColours_data()
{
    QTest::addColumn<QByteArray>("colorName"); // "-": the constructor with two colours
    QTest::addColumn<QColor>("offColor");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QColor>("expected"); // invalid: the palette's window colour

    QTest::newRow("lit") << QByteArray("-") << QColor(Qt::magenta) << true << QColor(Qt::green);
    QTest::newRow("dark shows the window colour") << QByteArray("-") << QColor(Qt::magenta) << false << QColor();
    QTest::newRow("dark with an own colour") << QByteArray("-") << QColor(Qt::blue) << false << QColor(Qt::blue);
    QTest::newRow("named, lit") << QByteArray("blue") << QColor() << true << QColor(Qt::blue);
    QTest::newRow("named, dark") << QByteArray("#00ff00") << QColor() << false << QColor();
    QTest::newRow("no name: red") << QByteArray() << QColor() << true << QColor(0xff, 0, 0);
}

void tst_led::lampColours()
{
    QFETCH(QByteArray, colorName);
    QFETCH(QColor, offColor);
    QFETCH(bool, lit);
    QFETCH(QColor, expected);

    std::unique_ptr<kd7010fp_led> led;
    if (colorName == "-")
        led = std::make_unique<kd7010fp_led>(QStringLiteral("Active"), Qt::green, offColor);
    else
        led = std::make_unique<kd7010fp_led>(QStringLiteral("Active"),
                                             colorName.isNull() ? nullptr : colorName.constData());
    led->setFont(pixelFont(20));
    led->setValue(lit);
    if (!expected.isValid())
        expected = led->palette().color(QPalette::Window);
    QCOMPARE(QColor(shot(*led).pixel(lampOf(*led).centre)), expected);
}

void tst_led::magentaIsReadOnce()
{
    kd7010fp_led led(QString(), Qt::green, Qt::magenta);
    led.setFont(pixelFont(20));
    const QColor original = led.palette().color(QPalette::Window);
    QPalette changed = led.palette();
    changed.setColor(QPalette::Window, Qt::red);
    led.setPalette(changed);

    const QImage image = shot(led);
    // The background follows the palette, the dark lamp keeps the colour
    // read at construction.
    QCOMPARE(QColor(image.pixel(image.width() - 1, image.height() - 1)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(lampOf(led).centre)), original);
}

void tst_led::bevel_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bevel");

    QTest::newRow("small font: flat disc") << 6 << false;
    QTest::newRow("normal font: bevelled lamp") << 13 << true;
    QTest::newRow("large font: bevelled lamp") << 24 << true;
}

void tst_led::bevel()
{
    QFETCH(int, pixelSize);
    QFETCH(bool, bevel);

    kd7010fp_led led(QString(), Qt::green, Qt::magenta);
    led.setFont(pixelFont(pixelSize));
    // A mid grey background, so light and dark arcs are told from plain
    // white or black ones.
    QPalette grey = led.palette();
    grey.setColor(QPalette::Window, QColor(100, 100, 100));
    led.setPalette(grey);
    const Lamp lamp = lampOf(led);
    if ((lamp.h >= 10) != bevel)
        QSKIP("this font does not give the height the row is about");
    led.setValue(true);
    const QImage image = shot(led);
    const QColor base = led.palette().color(QPalette::Window);
    const int x = lamp.centre.x();

    // Two pixels below the top edge lies the bevel's inner ring, or the
    // lamp itself when there is no bevel.
    QCOMPARE(QColor(image.pixel(x, 2)) == QColor(Qt::green), !bevel);
    if (bevel) {
        const int top = QColor(image.pixel(x, 0)).lightness();
        const int bottom = QColor(image.pixel(x, lamp.h - 1)).lightness();
        QVERIFY2(top > base.lightness() && top < 200, qPrintable(QString::number(top)));             // light arc
        QVERIFY2(bottom < base.lightness() && bottom > 20, qPrintable(QString::number(bottom)));     // dark arc
        QCOMPARE(QColor(image.pixel(x, 3 + (lamp.h - 6) / 2)), QColor(Qt::green));
    }
}

void tst_led::repaintsOnlyOnChange_data()
{
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("paints");
    QTest::addColumn<int>("toggledSignals");

    QTest::newRow("same value") << false << "setValue(false)" << 0 << 0;
    QTest::newRow("new value") << false << "setValue(true)" << 1 << 0;
    QTest::newRow("same value, lit") << true << "setValue(true)" << 0 << 0;
    QTest::newRow("same text") << false << "setText(Active)" << 0 << 0;
    QTest::newRow("new text") << false << "setText(Idle)" << 1 << 0;
    QTest::newRow("on colour while dark") << false << "setOnColor" << 0 << 0;
    QTest::newRow("on colour while lit") << true << "setOnColor" << 1 << 0;
    QTest::newRow("off colour while dark") << false << "setOffColor" << 1 << 0;
    QTest::newRow("off colour while lit") << true << "setOffColor" << 0 << 0;
    QTest::newRow("toggle") << false << "toggleValue" << 1 << 1;
}

void tst_led::repaintsOnlyOnChange()
{
    QFETCH(bool, lit);
    QFETCH(QString, operation);
    QFETCH(int, paints);
    QFETCH(int, toggledSignals);

    kd7010fp_led led(QStringLiteral("Active"), Qt::green, Qt::magenta);
    led.setValue(lit);
    led.show();
    QVERIFY(QTest::qWaitForWindowExposed(&led));
    QCoreApplication::processEvents();
    PaintCounter counter;
    led.installEventFilter(&counter);
    QSignalSpy toggled(&led, &kd7010fp_led::valueToggled);

    if (operation == "setValue(false)")
        led.setValue(false);
    else if (operation == "setValue(true)")
        led.setValue(true);
    else if (operation == "setText(Active)")
        led.setText(QStringLiteral("Active"));
    else if (operation == "setText(Idle)")
        led.setText(QStringLiteral("Idle"));
    else if (operation == "setOnColor")
        led.setOnColor(Qt::yellow);
    else if (operation == "setOffColor")
        led.setOffColor(Qt::darkGray);
    else if (operation == "toggleValue")
        led.toggleValue();
    else
        QFAIL("unknown operation");

    // Counted before the event loop runs again: a change repaints at once.
    QCOMPARE(counter.count, paints);
    QCOMPARE(toggled.count(), toggledSignals);
}

QTEST_MAIN(tst_led)
#include "tst_led.moc"
