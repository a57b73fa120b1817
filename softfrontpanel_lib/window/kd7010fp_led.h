#ifndef KD7010FP_LED_H
#define KD7010FP_LED_H

#include <QColor>
#include <QString>
#include <QWidget>

class QPaintEvent;

// A round panel lamp with a text to its right. At normal font sizes the lamp
// gets a sunken bevel of light and dark arcs; below 10-pixel fonts it is a
// flat disc.
class kd7010fp_led : public QWidget
{
    Q_OBJECT

public:
    // An off colour of Qt::magenta stands for "the background": the
    // palette's window colour, read once here, is stored instead.
    kd7010fp_led(QString text, const QColor &onColor, const QColor &offColor, QWidget *parent = nullptr);
    // On colour by name ("#FF0000" when colorName is null); off colour is
    // the palette's window colour.
    kd7010fp_led(QString text, const char *colorName, QWidget *parent = nullptr);

    void setValue(bool value);
    void setText(QString text);
    void setOnColor(const QColor &color);
    void setOffColor(const QColor &color);

    QSize minimumSizeHint() const override;

public slots:
    void toggleValue();

signals:
    void valueToggled();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int value = 0;
    QColor onColor;
    QColor offColor;
    QString text;
};

#endif
