#include "kd7240fp_clienttext.h"

#include "kd7240fp_plantext.h"

namespace kd7240fp_clientText {

QByteArray plain(double value) { return QByteArray::number(value, 'g', 12); }

QByteArray decimals(double value, int places)
{
    QByteArray text = QByteArray::number(value, 'f', places);
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
    }
    return text == "-0" ? QByteArray("0") : text;
}

QByteArray ascii(const QString &text)
{
    QString plainText = text;
    plainText.replace(QChar(0x00B1), QLatin1String("+-"))
        .replace(QChar(0x00B0), QLatin1String(" deg"))
        .replace(QChar(0x2192), QLatin1String("->"))
        .replace(QChar(0x2212), QLatin1Char('-'))
        .replace(QChar(0x00B5), QLatin1Char('u'))
        .replace(QChar(0x00A0), QLatin1Char(' '))
        .replace(QChar(0x2026), QLatin1String("..."));
    QByteArray bytes = plainText.toLatin1();
    for (char &c : bytes)
        if (uchar(c) > 0x7e)
            c = '?';
    return bytes;
}

QByteArray ofPlan(const std::function<QString()> &make)
{
    const kd7240fp::CLocaleTexts c;
    return ascii(make());
}

} // namespace kd7240fp_clientText
