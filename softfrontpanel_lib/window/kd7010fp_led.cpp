#include "kd7010fp_led.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

kd7010fp_led::kd7010fp_led(QString text, const QColor &onColor, const QColor &offColor, QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
    , onColor(onColor)
    , offColor(offColor == QColor(Qt::magenta) ? palette().color(QPalette::Window) : offColor)
    , text(std::move(text))
{
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
}

kd7010fp_led::kd7010fp_led(QString text, const char *colorName, QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
    , onColor(QString::fromLatin1(colorName ? colorName : "#FF0000"))
    , offColor(palette().color(QPalette::Window))
    , text(std::move(text))
{
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
}

void kd7010fp_led::setValue(bool newValue)
{
    if (int(newValue) == value)
        return;
    value = newValue;
    repaint();
}

void kd7010fp_led::setText(QString newText)
{
    if (newText == text)
        return;
    text = std::move(newText);
    repaint();
}

void kd7010fp_led::setOnColor(const QColor &color)
{
    onColor = color;
    if (value)
        repaint();
}

void kd7010fp_led::setOffColor(const QColor &color)
{
    offColor = color;
    if (!value)
        repaint();
}

void kd7010fp_led::toggleValue()
{
    value = !value;
    repaint();
    emit valueToggled();
}

QSize kd7010fp_led::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    const int h = fm.height();
    return QSize(h + fm.horizontalAdvance(text) + ((h + 1) >> 1) + 1, h + 2);
}

void kd7010fp_led::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor base = p.background().color();
    const QColor light = base.lighter(150);
    const QColor dark = base.darker(200);
    const QColor fill = value ? onColor : offColor;

    const int h = QFontMetrics(font()).height();
    // Arithmetic shift on purpose: a widget narrower than its minimum moves
    // the lamp left of its usual 2-pixel inset rather than rounding toward 0.
    const int left = ((width() - minimumSizeHint().width()) >> 1) + 2;

    p.setRenderHint(QPainter::Antialiasing);
    p.drawText(QPointF(left + h + (h >> 1), h - 1), text);

    constexpr int fullCircle = 5760; // sixteenths of a degree
    const QRectF outer(left, 0, h, h);
    if (h < 10) {
        // Too small for a bevel: a flat disc outlined in the text colour.
        p.setBrush(QBrush(fill));
        p.drawChord(outer, 0, fullCircle);
        return;
    }

    const QRectF inner(left + 2, 2, h - 4, h - 4);
    p.setPen(light);
    p.drawArc(outer, 720, 2880);
    p.drawArc(inner, 720, 2880);
    p.setPen(dark);
    p.drawArc(outer, 3600, 2880);
    p.drawArc(inner, 3600, 2880);
    p.setPen(base);
    p.drawArc(QRectF(left + 1, 1, h - 2, h - 2), 0, fullCircle);
    p.setPen(fill);
    p.setBrush(QBrush(fill));
    p.drawChord(QRectF(left + 3, 3, h - 6, h - 6), 0, fullCircle);
}
