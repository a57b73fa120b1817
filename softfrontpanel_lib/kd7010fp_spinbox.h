// Spin boxes that judge what the operator typed as a whole, when the entry is
// committed (Return, the focus leaving), never keystroke by keystroke. Plain
// Qt spin boxes refuse each character that would not fit, so the digits on
// either side of it join up: "33333.3" in a whole-number box becomes 333333,
// "1,5" in a box of two decimals becomes 15, "11" in a box of -10..10 becomes
// 1, each a tenfold error that reaches the card without a word.
//
// Every box of the panels reads a typed number the same way:
// - a decimal point or a decimal comma separates the decimals; "1e3" is 1000;
// - the number is rounded to what the box shows: its decimals, or a whole
//   number in a whole-number box (7.5 gives 8);
// - beyond the range it becomes the nearest end of it;
// - text that is no number leaves the box at its previous value, and the box
//   says so in a tool tip beside it (and emits `refused`).
// valueChanged waits for the commit (keyboard tracking is off by default), so
// the value a box had before the operator began typing is the one it keeps
// for text that is no number, and a half-typed "-2.5" never acts as -2.
// Prefix, suffix, arrows and wheel are those of QSpinBox and QDoubleSpinBox;
// a box is swapped in by its constructor alone.
#ifndef KD7010FP_SPINBOX_H
#define KD7010FP_SPINBOX_H

#include <QDoubleSpinBox>
#include <QSpinBox>
#include <functional>
#include <optional>

// The reading shared by both boxes.
class kd7010fp_typedNumber
{
public:
    // The number in `text` once `prefix` and `suffix` are taken off, when it
    // reads as a finite one; nothing otherwise.
    static std::optional<double> read(const QString &text, const QString &prefix, const QString &suffix);
    // What a box of `decimals` decimals (0: whole numbers) and range
    // [minimum, maximum] makes of `value`.
    static double fitToBox(double value, int decimals, double minimum, double maximum);
    // Acceptable for a number the box takes as it stands, else Intermediate:
    // never Invalid, so no keystroke is refused.
    static QValidator::State state(
        const QString &text, const QString &prefix, const QString &suffix, int decimals, double minimum, double maximum);
    // Rewrites `input` as the box shows the number it holds (`shown` writes a
    // value); false when it holds no number, blank text aside.
    static bool fixup(QString &input, const QString &prefix, const QString &suffix, int decimals, double minimum,
        double maximum, const std::function<QString(double)> &shown);
    // Once a commit has put `box` back to its value: the operator's words for
    // `typed`, text that was no number, shown beside the box for a few
    // seconds; `typed` is cleared. Empty when `typed` is.
    static QString tellRefusal(QAbstractSpinBox *box, QString &typed, const QString &prefix, const QString &suffix);
};

class kd7010fp_clampSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit kd7010fp_clampSpinBox(QWidget *parent = nullptr);
    // An arrow or the wheel commits what was typed before it steps.
    void stepBy(int steps) override;

signals:
    // Typed text that is no number was committed; the box kept its value.
    void refused(const QString &message);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    int valueFromText(const QString &text) const override;

private:
    void reportRefusal();
    mutable QString refusedText; // set by fixup, told once the commit is done
};

class kd7010fp_clampDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit kd7010fp_clampDoubleSpinBox(QWidget *parent = nullptr);
    void stepBy(int steps) override;

signals:
    void refused(const QString &message);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    double valueFromText(const QString &text) const override;

private:
    void reportRefusal();
    mutable QString refusedText;
};

#endif
