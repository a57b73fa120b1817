// Spin boxes that take a typed number beyond their range and, when the entry
// is committed (Return, the focus leaving), set the nearest bound, which the
// box then shows. Plain Qt spin boxes refuse the keystroke that leaves the
// range, so typing 11 into a box of -10..10 commits 1: a tenfold error that
// reaches the card without a word. Everything else (prefix and suffix,
// keyboard tracking, arrows, wheel, the locale's group separators) is that of
// QSpinBox and QDoubleSpinBox; a box is swapped in by its constructor alone.
//
// While the typed number lies beyond the range it is an unfinished entry:
// valueChanged is not emitted for it, not even with keyboard tracking on.
#ifndef KD7010FP_SPINBOX_H
#define KD7010FP_SPINBOX_H

#include <QDoubleSpinBox>
#include <QSpinBox>

class kd7010fp_clampSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit kd7010fp_clampSpinBox(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    // The number in `input` (prefix and suffix removed), when it reads as one.
    bool typedNumber(const QString &input, qlonglong *number) const;
};

class kd7010fp_clampDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit kd7010fp_clampDoubleSpinBox(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    // The number in `input` (prefix and suffix removed), when it reads as a
    // finite one with no more decimals than the box shows.
    bool typedNumber(const QString &input, double *number) const;
};

#endif
