// Spin boxes that judge what the operator typed as a whole, when the entry is
// committed (Return, the focus leaving), never keystroke by keystroke. Plain
// Qt spin boxes refuse each character that would not fit, so the digits on
// either side of it join up: "33333.3" in a whole-number box becomes 333333,
// "1,5" in a box of two decimals becomes 15, "11" in a box of -10..10 becomes
// 1, each a tenfold error that reaches the card without a word.
//
// Every box of the panels reads a typed number the same way
// (kd7010fp_typednumber.h): its unit, decimal and group marks, its locale's
// digits; rounded to what the box shows, beyond the range the nearest end,
// wrapped in a wrapping box. Text it cannot take leaves the box at its
// previous value, and the box says why in a tool tip beside it (and emits
// `refused`); the tip goes at the next commit the box takes.
// valueChanged waits for the commit (keyboard tracking is off by default), so
// the value a box had before the operator began typing is the one it keeps
// for text that is no number, and a half-typed "-2.5" never acts as -2.
// Prefix, suffix, arrows and wheel are those of QSpinBox and QDoubleSpinBox;
// a box is swapped in by its constructor alone.
#ifndef KD7010FP_SPINBOX_H
#define KD7010FP_SPINBOX_H

#include <QDoubleSpinBox>
#include <QSpinBox>

#include "kd7010fp_typednumber.h"

class kd7010fp_clampSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit kd7010fp_clampSpinBox(QWidget *parent = nullptr);
    // The units the box reads beside its own suffix.
    void setQuantity(kd7010fp_typedNumber::Quantity quantity);
    kd7010fp_typedNumber::Quantity quantity() const;
    // An arrow or the wheel commits what was typed before it steps.
    void stepBy(int steps) override;

signals:
    // Typed text the box cannot take was committed; the box kept its value.
    void refused(const QString &message);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    int valueFromText(const QString &text) const override;

private:
    kd7010fp_typedNumber::Box typedBox() const;
    void committed();
    kd7010fp_typedNumber::Quantity numberQuantity = kd7010fp_typedNumber::None;
    mutable QString refusedText; // set by fixup, told once the commit is done
    QString shownRefusal; // the tip beside the box, while it may show
};

class kd7010fp_clampDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit kd7010fp_clampDoubleSpinBox(QWidget *parent = nullptr);
    void setQuantity(kd7010fp_typedNumber::Quantity quantity);
    kd7010fp_typedNumber::Quantity quantity() const;
    void stepBy(int steps) override;

signals:
    void refused(const QString &message);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    double valueFromText(const QString &text) const override;

private:
    kd7010fp_typedNumber::Box typedBox() const;
    void committed();
    kd7010fp_typedNumber::Quantity numberQuantity = kd7010fp_typedNumber::None;
    mutable QString refusedText;
    QString shownRefusal;
};

#endif
