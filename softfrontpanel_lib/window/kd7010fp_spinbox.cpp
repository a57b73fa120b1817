#include "kd7010fp_spinbox.h"

#include <QToolTip>

#include <functional>
#include <limits>

namespace {

using Reading = kd7010fp_typedNumber::Reading;
// A refusal's tip stays until the box takes a value (or the operator goes
// elsewhere, which closes any tip): no time of its own.
constexpr int refusalShownMs = std::numeric_limits<int>::max();

// Acceptable for a number the box takes as it stands, else Intermediate:
// never Invalid, so no keystroke is refused.
QValidator::State stateOf(const QString &input, const kd7010fp_typedNumber::Box &box)
{
    const Reading reading = kd7010fp_typedNumber::read(input, box);
    return reading.verdict == Reading::Number && kd7010fp_typedNumber::fitToBox(reading.value, box) == reading.value
        ? QValidator::Acceptable
        : QValidator::Intermediate;
}

// Rewrites `input` as the box shows the number it holds (`shown` writes a
// value); else keeps what was typed in `refused`, blank text aside.
void fixInput(
    QString &input, const kd7010fp_typedNumber::Box &box, const std::function<QString(double)> &shown, QString &refused)
{
    const Reading reading = kd7010fp_typedNumber::read(input, box);
    if (reading.verdict == Reading::Number)
        input = box.prefix + shown(kd7010fp_typedNumber::fitToBox(reading.value, box)) + box.suffix;
    else if (!reading.typed.isEmpty())
        refused = input;
}

// Once a commit is done: for refused text, why, beside the box (`typed` is
// cleared, `shown` holds the tip); for a value taken, the
// tip of an earlier refusal goes, as it speaks of a value the box may no
// longer hold. The refusal, or nothing.
QString tellCommit(QAbstractSpinBox *box, QString &typed, const kd7010fp_typedNumber::Box &typedBox, QString &shown)
{
    if (typed.isEmpty()) {
        if (!shown.isEmpty() && QToolTip::isVisible() && QToolTip::text() == shown)
            QToolTip::hideText();
        shown.clear();
        return QString();
    }
    shown = kd7010fp_typedNumber::refusal(kd7010fp_typedNumber::read(typed, typedBox), typedBox, box->text());
    typed.clear();
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), shown, box, QRect(), refusalShownMs);
    return shown;
}

} // namespace

kd7010fp_clampSpinBox::kd7010fp_clampSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &kd7010fp_clampSpinBox::committed);
}

void kd7010fp_clampSpinBox::setQuantity(kd7010fp_typedNumber::Quantity quantity) { numberQuantity = quantity; }

kd7010fp_typedNumber::Quantity kd7010fp_clampSpinBox::quantity() const { return numberQuantity; }

kd7010fp_typedNumber::Box kd7010fp_clampSpinBox::typedBox() const
{
    return { locale(), prefix(), suffix(), numberQuantity, 0, double(minimum()), double(maximum()), wrapping(),
        isGroupSeparatorShown() };
}

QValidator::State kd7010fp_clampSpinBox::validate(QString &input, int &) const { return stateOf(input, typedBox()); }

void kd7010fp_clampSpinBox::fixup(QString &input) const
{
    fixInput(
        input, typedBox(), [this](double v) { return textFromValue(int(v)); }, refusedText);
}

int kd7010fp_clampSpinBox::valueFromText(const QString &text) const
{
    const kd7010fp_typedNumber::Box box = typedBox();
    const Reading reading = kd7010fp_typedNumber::read(text, box);
    return reading.verdict == Reading::Number ? int(kd7010fp_typedNumber::fitToBox(reading.value, box)) : value();
}

void kd7010fp_clampSpinBox::stepBy(int steps)
{
    // Refused text is put back to the value first: said now, not at some
    // later commit.
    QSpinBox::stepBy(steps);
    committed();
}

void kd7010fp_clampSpinBox::committed()
{
    const QString message = tellCommit(this, refusedText, typedBox(), shownRefusal);
    if (!message.isEmpty())
        emit refused(message);
}

kd7010fp_clampDoubleSpinBox::kd7010fp_clampDoubleSpinBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &kd7010fp_clampDoubleSpinBox::committed);
}

void kd7010fp_clampDoubleSpinBox::setQuantity(kd7010fp_typedNumber::Quantity quantity) { numberQuantity = quantity; }

kd7010fp_typedNumber::Quantity kd7010fp_clampDoubleSpinBox::quantity() const { return numberQuantity; }

kd7010fp_typedNumber::Box kd7010fp_clampDoubleSpinBox::typedBox() const
{
    return { locale(), prefix(), suffix(), numberQuantity, decimals(), minimum(), maximum(), wrapping(),
        isGroupSeparatorShown() };
}

QValidator::State kd7010fp_clampDoubleSpinBox::validate(QString &input, int &) const
{
    return stateOf(input, typedBox());
}

void kd7010fp_clampDoubleSpinBox::fixup(QString &input) const
{
    fixInput(
        input, typedBox(), [this](double v) { return textFromValue(v); }, refusedText);
}

double kd7010fp_clampDoubleSpinBox::valueFromText(const QString &text) const
{
    const kd7010fp_typedNumber::Box box = typedBox();
    const Reading reading = kd7010fp_typedNumber::read(text, box);
    return reading.verdict == Reading::Number ? kd7010fp_typedNumber::fitToBox(reading.value, box) : value();
}

void kd7010fp_clampDoubleSpinBox::stepBy(int steps)
{
    // Refused text is put back to the value first: said now, not at some
    // later commit.
    QDoubleSpinBox::stepBy(steps);
    committed();
}

void kd7010fp_clampDoubleSpinBox::committed()
{
    const QString message = tellCommit(this, refusedText, typedBox(), shownRefusal);
    if (!message.isEmpty())
        emit refused(message);
}
