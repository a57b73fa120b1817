#include "kd7010fp_typednumber.h"


#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

using Quantity = kd7010fp_typedNumber::Quantity;
using Reading = kd7010fp_typedNumber::Reading;

// Right-to-left locales put these around signs; they are never typed on purpose.
bool isBidiMark(QChar c) { return c == u'\u200E' || c == u'\u200F' || c == u'\u061C'; }

QString withoutBidiMarks(QString text)
{
    text.removeIf(isBidiMark);
    return text;
}

// A locale's one-character mark, or nothing when it has none.
QChar markOf(const QString &localeText)
{
    const QString mark = withoutBidiMarks(localeText);
    return mark.size() == 1 ? mark.front() : QChar();
}

bool isSpaceMark(QChar c) { return c == u' ' || c == u'\u00A0' || c == u'\u202F'; }

// Whether `typed` is the locale's `mark` as a keyboard gives it: a plain
// blank for a no-break one, an apostrophe for a typographic one.
bool isMark(QChar typed, QChar mark)
{
    if (mark.isNull())
        return false;
    if (typed == mark)
        return true;
    if (isSpaceMark(mark))
        return isSpaceMark(typed);
    return mark == u'\u2019' && typed == u'\'';
}

bool isPlainDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Plain digits after an optional sign, the whole text.
bool isPlainExponent(const QString &text)
{
    const qsizetype first = text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0;
    return text.size() > first && std::all_of(text.begin() + first, text.end(), isPlainDigit);
}

// How a mantissa's pattern (d a digit, G the group mark, D the decimal mark)
// is grouped: one to three digits, then groups of a mark and three digits
// (their number is returned), then perhaps the decimal mark and digits
// (`decimalPart`). -1 for any other pattern.
int groupsIn(const QString &pattern, bool *decimalPart)
{
    qsizetype i = 0;
    while (i < pattern.size() && pattern.at(i) == u'd')
        ++i;
    if (i < 1 || i > 3)
        return -1;
    int groups = 0;
    while (QStringView(pattern).mid(i, 4) == u"Gddd") {
        i += 4;
        ++groups;
    }
    *decimalPart = i < pattern.size() && pattern.at(i) == u'D';
    if (*decimalPart)
        for (++i; i < pattern.size() && pattern.at(i) == u'd';)
            ++i;
    return i == pattern.size() && groups > 0 ? groups : -1;
}

// The locale's digits, signs and exponent as plain ones; marks and units as typed.
QString plainForms(const QString &text, const QLocale &locale)
{
    QString in = text;
    const QString exponent = withoutBidiMarks(locale.exponential());
    if (!exponent.isEmpty() && exponent.compare(QLatin1String("e"), Qt::CaseInsensitive) != 0)
        in.replace(exponent, QStringLiteral("e"), Qt::CaseInsensitive);
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    const uint zeroDigit = zero.isEmpty() ? uint('0') : zero.front();
    const QChar minus = markOf(locale.negativeSign());
    const QChar plus = markOf(locale.positiveSign());
    QString out;
    out.reserve(in.size());
    for (const uint c : in.toUcs4()) {
        if (c >= zeroDigit && c < zeroDigit + 10)
            out += QChar(u'0' + (c - zeroDigit));
        else if (c == 0x2212 || (!minus.isNull() && c == minus.unicode()))
            out += u'-';
        else if (!plus.isNull() && c == plus.unicode())
            out += u'+';
        else
            out += QStringView(QChar::fromUcs4(c));
    }
    return out;
}

struct Unit
{
    const char16_t *name;
    Quantity quantity; // None: a unit no box takes, known so that it is refused by name
    int tenPower;
};

// Looked up exactly first, then regardless of case in this order: "mhz" is
// the megahertz nobody types as "MHz", "mHz" the millihertz a sweep may want.
constexpr Unit units[] = {
    { u"Hz", kd7010fp_typedNumber::Frequency, 0 },
    { u"kHz", kd7010fp_typedNumber::Frequency, 3 },
    { u"MHz", kd7010fp_typedNumber::Frequency, 6 },
    { u"mHz", kd7010fp_typedNumber::Frequency, -3 },
    { u"V", kd7010fp_typedNumber::Voltage, 0 },
    { u"mV", kd7010fp_typedNumber::Voltage, -3 },
    { u"µV", kd7010fp_typedNumber::Voltage, -6 },
    { u"uV", kd7010fp_typedNumber::Voltage, -6 },
    { u"kV", kd7010fp_typedNumber::Voltage, 3 },
    { u"°", kd7010fp_typedNumber::Angle, 0 },
    { u"º", kd7010fp_typedNumber::Angle, 0 },
    { u"deg", kd7010fp_typedNumber::Angle, 0 },
    { u"degrees", kd7010fp_typedNumber::Angle, 0 },
    { u"rad", kd7010fp_typedNumber::Angle, 0 },
    { u"%", kd7010fp_typedNumber::Percent, 0 },
    { u"s", kd7010fp_typedNumber::None, 0 },
    { u"ms", kd7010fp_typedNumber::None, 0 },
    { u"µs", kd7010fp_typedNumber::None, 0 },
    { u"us", kd7010fp_typedNumber::None, 0 },
    { u"ns", kd7010fp_typedNumber::None, 0 },
    { u"min", kd7010fp_typedNumber::None, 0 },
    { u"mA", kd7010fp_typedNumber::None, 0 },
    { u"µA", kd7010fp_typedNumber::None, 0 },
    { u"W", kd7010fp_typedNumber::None, 0 },
    { u"mW", kd7010fp_typedNumber::None, 0 },
    { u"Ω", kd7010fp_typedNumber::None, 0 },
    { u"ohm", kd7010fp_typedNumber::None, 0 },
    { u"dB", kd7010fp_typedNumber::None, 0 },
    { u"dBm", kd7010fp_typedNumber::None, 0 },
    { u"S/s", kd7010fp_typedNumber::None, 0 },
    { u"Sa/s", kd7010fp_typedNumber::None, 0 },
};

const Unit *findUnit(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (const Unit &u : units)
        if (name == QStringView(u.name))
            return &u;
    for (const Unit &u : units)
        if (name.compare(QStringView(u.name), Qt::CaseInsensitive) == 0)
            return &u;
    return nullptr;
}

struct Split
{
    QString number;
    QString unit;
    bool apart = false; // a blank between them
};

// The unit after the number: the trailing run of what is neither digit,
// blank, sign nor mark.
Split splitUnit(const QString &text, QChar group, QChar decimal)
{
    qsizetype i = text.size();
    while (i > 0) {
        const QChar c = text.at(i - 1);
        if (isPlainDigit(c) || c.isSpace() || c == u'+' || c == u'-' || c == u'.' || c == u',' || isMark(c, group)
            || isMark(c, decimal))
            break;
        --i;
    }
    const QString number = text.left(i);
    return { number.trimmed(), text.mid(i), !number.isEmpty() && number.back().isSpace() };
}

// "1e400" is beyond every double and "1e-400" below the least: which one,
// from the place of the leading digit and the exponent.
double beyondDoubles(const QByteArray &mantissa, long long exponent, bool negative)
{
    const qsizetype point = mantissa.contains('.') ? mantissa.indexOf('.') : mantissa.size();
    qsizetype lead = 0;
    while (lead < mantissa.size() && (mantissa.at(lead) == '0' || mantissa.at(lead) == '.'))
        ++lead;
    const long long order = point - lead - (lead < point ? 1 : 0) + exponent;
    const double magnitude = order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

// `mantissa` is plain digits with at most one '.', `exponent` plain digits
// after an optional sign or empty; `tenPower` shifts the exponent for a unit.
std::optional<double> plainNumber(bool negative, const QString &mantissa, const QString &exponent, int tenPower)
{
    if (!std::any_of(mantissa.begin(), mantissa.end(), isPlainDigit))
        return std::nullopt;
    long long power = tenPower;
    if (!exponent.isEmpty()) {
        if (!isPlainExponent(exponent))
            return std::nullopt;
        // Far beyond any double the digits no longer matter, only the sign.
        constexpr long long far = 100000;
        long long e = 0;
        for (const QChar c : exponent)
            if (isPlainDigit(c))
                e = std::min(far, e * 10 + (c.unicode() - u'0'));
        power += exponent.startsWith(u'-') ? -e : e;
    }
    const QByteArray digits = mantissa.toLatin1();
    const QByteArray text = (negative ? "-" : "") + digits + 'e' + QByteArray::number(power);
    double value = 0;
    const auto [end, error] = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return beyondDoubles(digits, power, negative);
    if (error != std::errc() || end != text.constData() + text.size())
        return std::nullopt;
    return value;
}

struct Number
{
    Reading::Verdict verdict = Reading::NoNumber;
    double value = 0;
    double grouped = 0;
    double decimal = 0;
};

// The number part of a text, unit off: digits, marks, an exponent.
Number readNumber(QString text, QChar group, QChar decimal, bool groupsShown, int tenPower)
{
    bool negative = false;
    if (text.startsWith(u'-') || text.startsWith(u'+')) {
        negative = text.front() == u'-';
        text.remove(0, 1);
    }
    QString exponent;
    if (const qsizetype e = text.indexOf(u'e', 0, Qt::CaseInsensitive); e >= 0) {
        exponent = text.mid(e + 1);
        text.truncate(e);
        if (exponent.isEmpty())
            return {};
    }
    // The mantissa as a pattern: d a digit, G the group mark, D the decimal
    // mark, L a point or comma that is neither.
    QString pattern;
    QString joined; // the groups joined, the decimal mark a point
    QString asDecimal; // every mark a decimal point
    for (const QChar c : text) {
        if (isPlainDigit(c)) {
            pattern += u'd';
            joined += c;
            asDecimal += c;
            continue;
        }
        if (isMark(c, group))
            pattern += u'G';
        else if (isMark(c, decimal))
            pattern += u'D';
        else if (c == u'.' || c == u',')
            pattern += u'L';
        else
            return {};
        if (pattern.back() != u'G')
            joined += u'.';
        asDecimal += u'.';
    }
    bool decimalPart = false;
    const int groups = groupsIn(pattern, &decimalPart);
    // Only a point or a comma may be taken for the decimal mark.
    const bool groupMayBeDecimal = group == u'.' || group == u',';
    const auto number = [&](const QString &mantissa, int power) -> Number {
        if (const std::optional<double> value = plainNumber(negative, mantissa, exponent, power))
            return { Reading::Number, *value };
        return {};
    };

    if (groups == 1 && !decimalPart && groupMayBeDecimal && !groupsShown) {
        const Number grouped = number(joined, 0);
        const Number fraction = number(asDecimal, 0);
        // "0,000" is 0 either way; with an exponent the mark is a decimal one, as ever.
        if (exponent.isEmpty() && grouped.value != fraction.value)
            return { Reading::Ambiguous, 0, grouped.value, fraction.value };
        return number(asDecimal, tenPower);
    }
    if (groups > 0)
        return number(joined, tenPower);
    // Else one mark at most, and a lone group mark only where it may be decimal.
    if (pattern.count(u'G') + pattern.count(u'D') + pattern.count(u'L') > 1
        || (pattern.contains(u'G') && !groupMayBeDecimal))
        return {};
    return number(asDecimal, tenPower);
}

} // namespace

kd7010fp_typedNumber::Reading kd7010fp_typedNumber::read(const QString &text, const Box &box)
{
    Reading reading;
    QString t = withoutBidiMarks(text).trimmed();
    const QString head = withoutBidiMarks(box.prefix).trimmed();
    const QString tail = withoutBidiMarks(box.suffix).trimmed();
    if (!head.isEmpty() && t.startsWith(head))
        t = t.mid(head.size()).trimmed();
    const QString body = !tail.isEmpty() && t.endsWith(tail) ? t.chopped(tail.size()).trimmed() : t;
    reading.typed = body;

    const QChar group = markOf(box.locale.groupSeparator());
    const QChar decimal = markOf(box.locale.decimalPoint());
    // The suffix stays while the number is typed over it ("2 kHz" and " Hz");
    // typed over as well, it may end a unit ("2 kHz").
    const QString plainBody = plainForms(body, box.locale);
    for (const QString &candidate : { plainBody, plainForms(t, box.locale) }) {
        const Split split = splitUnit(candidate, group, decimal);
        const Unit *unit = findUnit(split.unit);
        int tenPower = 0;
        double factor = 1;
        if (split.unit.isEmpty() || split.unit.compare(tail, Qt::CaseInsensitive) == 0) {
            // the box's own unit
        } else if (unit && unit->quantity == box.quantity && box.quantity != None) {
            tenPower = unit->tenPower;
            if (QStringView(unit->name) == u"rad")
                factor = 180 / 3.14159265358979323846;
        } else {
            continue;
        }
        const Number number = readNumber(split.number, group, decimal, box.groupsShown, tenPower);
        if (number.verdict != Reading::NoNumber) {
            reading.verdict = number.verdict;
            reading.value = number.value * factor;
            reading.grouped = number.grouped;
            reading.decimal = number.decimal;
            return reading;
        }
    }
    // A number with a unit the box does not take is refused by the unit's
    // name; letters glued to digits that name no unit ("12a") are no number.
    const Split split = splitUnit(plainBody, group, decimal);
    if ((findUnit(split.unit) || split.apart)
        && readNumber(split.number, group, decimal, box.groupsShown, 0).verdict != Reading::NoNumber)
        reading.verdict = Reading::ForeignUnit;
    return reading;
}

double kd7010fp_typedNumber::fitToBox(double value, int decimals, double minimum, double maximum)
{
    const double scale = std::pow(10.0, std::max(decimals, 0));
    const double rounded = std::round(value * scale) / scale;
    // Far beyond the range the product may overflow; the nearest end is the answer all the same.
    if (!std::isfinite(rounded))
        return value < 0 ? minimum : maximum;
    // + 0.0: a box shows no "-0.00".
    return std::clamp(rounded, minimum, maximum) + 0.0;
}

double kd7010fp_typedNumber::fitToBox(double value, int decimals, double minimum, double maximum, bool wrapping)
{
    if (!wrapping || !std::isfinite(value))
        return fitToBox(value, decimals, minimum, maximum);
    // The arrows step from the top to the bottom as from one step to the next.
    const double step = std::pow(10.0, -std::max(decimals, 0));
    const double turn = fitToBox(maximum - minimum + step, decimals, 0, std::numeric_limits<double>::max());
    if (!(turn > 0))
        return fitToBox(value, decimals, minimum, maximum);
    double within = std::fmod(value - minimum, turn);
    if (within < 0)
        within += turn;
    const double fitted = fitToBox(minimum + within, decimals, minimum, minimum + turn);
    // A hair below a whole turn rounds up to it: that is the bottom again.
    return fitted > maximum ? minimum : fitted;
}

double kd7010fp_typedNumber::fitToBox(double value, const Box &box)
{
    return fitToBox(value, box.decimals, box.minimum, box.maximum, box.wrapping);
}

QString kd7010fp_typedNumber::refusal(const Reading &reading, const Box &box, const QString &kept)
{
    switch (reading.verdict) {
    case Reading::Number:
        return QString();
    case Reading::NoNumber:
        return tr("\"%1\" is not a number; the box keeps %2.").arg(reading.typed, kept);
    case Reading::Ambiguous: {
        QLocale locale = box.locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        const QString grouped = locale.toString(reading.grouped, 'f', QLocale::FloatingPointShortest);
        const QString decimal = locale.toString(reading.decimal, 'f', QLocale::FloatingPointShortest);
        // What reads as the fraction beyond doubt: with its decimal mark.
        const QString withMark
            = decimal.contains(locale.decimalPoint()) ? decimal : decimal + locale.decimalPoint() + locale.zeroDigit();
        return tr("\"%1\" could be %2 or %3; type %2 or %4.").arg(reading.typed, grouped, decimal, withMark);
    }
    case Reading::ForeignUnit:
        break;
    }
    switch (box.quantity) {
    case Frequency:
        return tr("\"%1\" is no frequency; the box keeps %2.").arg(reading.typed, kept);
    case Voltage:
        return tr("\"%1\" is no voltage; the box keeps %2.").arg(reading.typed, kept);
    case Angle:
        return tr("\"%1\" is no angle; the box keeps %2.").arg(reading.typed, kept);
    case Percent:
        return tr("\"%1\" is no percentage; the box keeps %2.").arg(reading.typed, kept);
    case None:
        break;
    }
    return tr("\"%1\" takes no unit; the box keeps %2.").arg(reading.typed, kept);
}
