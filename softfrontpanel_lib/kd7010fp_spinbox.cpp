#include "kd7010fp_spinbox.h"

#include <QLocale>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr int refusalShownMs = 6000;

// What lies between prefix and suffix; a suffix typed without its blank
// (" Hz" as "Hz") counts too.
QString numberPart(QString text, const QString &prefix, const QString &suffix)
{
    text = text.trimmed();
    const QString head = prefix.trimmed();
    const QString tail = suffix.trimmed();
    if (!head.isEmpty() && text.startsWith(head))
        text.remove(0, head.size());
    if (!tail.isEmpty() && text.endsWith(tail))
        text.chop(tail.size());
    return text.trimmed();
}

} // namespace

std::optional<double> kd7010fp_typedNumber::read(const QString &text, const QString &prefix, const QString &suffix)
{
    QString number = numberPart(text, prefix, suffix);
    // A comma is a decimal comma, never a thousands separator: "1,5" is 1.5
    // on every keyboard. Two separators make no number.
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    if (number.isEmpty() || number.count(QLatin1Char('.')) > 1)
        return std::nullopt;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double kd7010fp_typedNumber::fitToBox(double value, int decimals, double minimum, double maximum)
{
    const double scale = std::pow(10.0, std::max(decimals, 0));
    const double rounded = std::round(value * scale) / scale;
    // Far beyond the range the product may overflow; the nearest end is the answer all the same.
    if (!std::isfinite(rounded))
        return value < 0 ? minimum : maximum;
    return std::clamp(rounded, minimum, maximum);
}

QValidator::State kd7010fp_typedNumber::state(
    const QString &text, const QString &prefix, const QString &suffix, int decimals, double minimum, double maximum)
{
    const std::optional<double> value = read(text, prefix, suffix);
    if (value && fitToBox(*value, decimals, minimum, maximum) == *value)
        return QValidator::Acceptable;
    return QValidator::Intermediate;
}

bool kd7010fp_typedNumber::fixup(QString &input, const QString &prefix, const QString &suffix, int decimals,
    double minimum, double maximum, const std::function<QString(double)> &shown)
{
    if (const std::optional<double> value = read(input, prefix, suffix)) {
        input = prefix + shown(fitToBox(*value, decimals, minimum, maximum)) + suffix;
        return true;
    }
    return numberPart(input, prefix, suffix).isEmpty();
}

QString kd7010fp_typedNumber::tellRefusal(
    QAbstractSpinBox *box, QString &typed, const QString &prefix, const QString &suffix)
{
    if (typed.isEmpty())
        return QString();
    const QString message
        = QSpinBox::tr("\"%1\" is not a number; the box keeps %2.").arg(numberPart(typed, prefix, suffix), box->text());
    typed.clear();
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), message, box, QRect(), refusalShownMs);
    return message;
}

kd7010fp_clampSpinBox::kd7010fp_clampSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &kd7010fp_clampSpinBox::reportRefusal);
}

QValidator::State kd7010fp_clampSpinBox::validate(QString &input, int &) const
{
    return kd7010fp_typedNumber::state(input, prefix(), suffix(), 0, minimum(), maximum());
}

void kd7010fp_clampSpinBox::fixup(QString &input) const
{
    const QString typed = input;
    if (!kd7010fp_typedNumber::fixup(input, prefix(), suffix(), 0, minimum(), maximum(),
            [this](double v) { return textFromValue(int(v)); }))
        refusedText = typed;
}

int kd7010fp_clampSpinBox::valueFromText(const QString &text) const
{
    const std::optional<double> value = kd7010fp_typedNumber::read(text, prefix(), suffix());
    return value ? int(kd7010fp_typedNumber::fitToBox(*value, 0, minimum(), maximum())) : this->value();
}

void kd7010fp_clampSpinBox::stepBy(int steps)
{
    // Text that was no number is put back to the value first: said now,
    // not at some later commit.
    QSpinBox::stepBy(steps);
    reportRefusal();
}

void kd7010fp_clampSpinBox::reportRefusal()
{
    const QString message = kd7010fp_typedNumber::tellRefusal(this, refusedText, prefix(), suffix());
    if (!message.isEmpty())
        emit refused(message);
}

kd7010fp_clampDoubleSpinBox::kd7010fp_clampDoubleSpinBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &kd7010fp_clampDoubleSpinBox::reportRefusal);
}

QValidator::State kd7010fp_clampDoubleSpinBox::validate(QString &input, int &) const
{
    return kd7010fp_typedNumber::state(input, prefix(), suffix(), decimals(), minimum(), maximum());
}

void kd7010fp_clampDoubleSpinBox::fixup(QString &input) const
{
    const QString typed = input;
    if (!kd7010fp_typedNumber::fixup(input, prefix(), suffix(), decimals(), minimum(), maximum(),
            [this](double v) { return textFromValue(v); }))
        refusedText = typed;
}

double kd7010fp_clampDoubleSpinBox::valueFromText(const QString &text) const
{
    const std::optional<double> value = kd7010fp_typedNumber::read(text, prefix(), suffix());
    return value ? kd7010fp_typedNumber::fitToBox(*value, decimals(), minimum(), maximum()) : this->value();
}

void kd7010fp_clampDoubleSpinBox::stepBy(int steps)
{
    // Text that was no number is put back to the value first: said now,
    // not at some later commit.
    QDoubleSpinBox::stepBy(steps);
    reportRefusal();
}

void kd7010fp_clampDoubleSpinBox::reportRefusal()
{
    const QString message = kd7010fp_typedNumber::tellRefusal(this, refusedText, prefix(), suffix());
    if (!message.isEmpty())
        emit refused(message);
}
