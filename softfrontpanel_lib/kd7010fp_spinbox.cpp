#include "kd7010fp_spinbox.h"

#include <QLocale>

#include <cmath>

namespace {

// The number part of a spin box's text: what lies between prefix and suffix.
QString numberPart(QString text, const QString &prefix, const QString &suffix)
{
    if (!prefix.isEmpty() && text.startsWith(prefix))
        text.remove(0, prefix.size());
    if (!suffix.isEmpty() && text.endsWith(suffix))
        text.chop(suffix.size());
    return text.trimmed();
}

// An exponent ("1e3") is not something the boxes take at any value.
bool hasExponent(const QString &number, const QLocale &locale)
{
    return number.contains(locale.exponential(), Qt::CaseInsensitive) || number.contains(QLatin1Char('e'))
        || number.contains(QLatin1Char('E'));
}

} // namespace

kd7010fp_clampSpinBox::kd7010fp_clampSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
}

bool kd7010fp_clampSpinBox::typedNumber(const QString &input, qlonglong *number) const
{
    const QString text = numberPart(input, prefix(), suffix());
    if (text.isEmpty())
        return false;
    bool ok = false;
    if (displayIntegerBase() != 10) {
        *number = text.toLongLong(&ok, displayIntegerBase());
        return ok;
    }
    const QLocale loc = locale();
    if (hasExponent(text, loc))
        return false;
    *number = loc.toLongLong(text, &ok);
    if (!ok) {
        // Separators typed in places the locale would not put them.
        QString plain = text;
        plain.remove(loc.groupSeparator());
        *number = loc.toLongLong(plain, &ok);
    }
    return ok;
}

QValidator::State kd7010fp_clampSpinBox::validate(QString &input, int &pos) const
{
    const QValidator::State state = QSpinBox::validate(input, pos);
    qlonglong number = 0;
    if (state == QValidator::Invalid && typedNumber(input, &number) && (number < minimum() || number > maximum()))
        return QValidator::Intermediate;
    return state;
}

void kd7010fp_clampSpinBox::fixup(QString &input) const
{
    QSpinBox::fixup(input);
    qlonglong number = 0;
    if (typedNumber(input, &number) && (number < minimum() || number > maximum()))
        input = prefix() + textFromValue(number < minimum() ? minimum() : maximum()) + suffix();
}

kd7010fp_clampDoubleSpinBox::kd7010fp_clampDoubleSpinBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
}

bool kd7010fp_clampDoubleSpinBox::typedNumber(const QString &input, double *number) const
{
    const QString text = numberPart(input, prefix(), suffix());
    const QLocale loc = locale();
    if (text.isEmpty() || hasExponent(text, loc))
        return false;
    const qsizetype point = text.indexOf(loc.decimalPoint());
    if (point >= 0 && text.size() - point - loc.decimalPoint().size() > decimals())
        return false;
    bool ok = false;
    *number = loc.toDouble(text, &ok);
    if (!ok) {
        QString plain = text;
        plain.remove(loc.groupSeparator());
        *number = loc.toDouble(plain, &ok);
    }
    return ok && std::isfinite(*number);
}

QValidator::State kd7010fp_clampDoubleSpinBox::validate(QString &input, int &pos) const
{
    const QValidator::State state = QDoubleSpinBox::validate(input, pos);
    double number = 0;
    if (state == QValidator::Invalid && typedNumber(input, &number) && (number < minimum() || number > maximum()))
        return QValidator::Intermediate;
    return state;
}

void kd7010fp_clampDoubleSpinBox::fixup(QString &input) const
{
    QDoubleSpinBox::fixup(input);
    double number = 0;
    if (typedNumber(input, &number) && (number < minimum() || number > maximum()))
        input = prefix() + textFromValue(number < minimum() ? minimum() : maximum()) + suffix();
}
