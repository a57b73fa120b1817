#include "kd7240fp_shapefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kd7240fp {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("kd7240fp_shapefile", text); }

ShapeFile failed(const QString &error)
{
    ShapeFile result;
    result.error = error;
    return result;
}

// What a line held, for a message: printable and not too long.
QString shown(const QByteArray &text)
{
    QString s = QString::fromUtf8(text.left(40));
    for (QChar &c : s)
        if (!c.isPrint())
            c = QChar(u'?');
    return text.size() > 40 ? s + QStringLiteral("...") : s;
}

ShapeFile finished(std::vector<double> samples, const QString &name)
{
    if (samples.empty())
        return failed(tr("\"%1\" holds no numbers.").arg(name));
    if (int(samples.size()) < minShapeSamples)
        return failed(tr("\"%1\" holds only one sample; a period needs at least %2.").arg(name).arg(minShapeSamples));
    if (playsNothing(samples))
        return failed(tr("\"%1\" holds only zeros: there is nothing to play.").arg(name));
    normalise(samples);
    ShapeFile result;
    result.ok = true;
    result.samples = std::move(samples);
    return result;
}

QString tooMany(const QString &name)
{
    return tr("\"%1\" holds more than %2 samples, the most a period can hold.").arg(name).arg(maxShapeSamples);
}

// The lines of a text file with "#" comments and surrounding white space
// removed; blank ones are skipped. Views into the bytes, so a file of
// millions of lines costs nothing to walk twice.
class TextLines
{
public:
    explicit TextLines(const QByteArray &bytes)
        : m_bytes(bytes)
        , m_start(bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0) // a UTF-8 byte order mark
    {
    }
    // The next line holding something, or false at the end.
    bool next(QByteArrayView *line, int *lineNumber)
    {
        while (m_start <= m_bytes.size()) {
            qsizetype end = m_bytes.indexOf('\n', m_start);
            if (end < 0)
                end = m_bytes.size();
            QByteArrayView text(m_bytes.constData() + m_start, end - m_start);
            m_start = end + 1;
            ++m_number;
            const qsizetype hash = text.indexOf('#');
            if (hash >= 0)
                text.truncate(hash);
            text = text.trimmed();
            if (!text.isEmpty()) {
                *line = text;
                *lineNumber = m_number;
                return true;
            }
        }
        return false;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_start;
    int m_number = 0;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The first field of a line: up to the first separator. With decimal commas,
// only semicolons and tabs separate.
QByteArrayView firstField(QByteArrayView line, bool decimalComma)
{
    for (qsizetype i = 0; i < line.size(); ++i)
        if (line[i] == ';' || line[i] == '\t' || (line[i] == ',' && !decimalComma))
            return line.first(i).trimmed();
    return line;
}

enum class Field { NotANumber, Finite, NotFinite };

// A decimal number ("-1", "2.", ".5e-3") or a word for one that is not
// finite ("nan", "-Infinity"): what a heading's first field is not.
Field readNumber(QByteArrayView field, double *value)
{
    qsizetype i = 0;
    const qsizetype n = field.size();
    if (i < n && (field[i] == '+' || field[i] == '-'))
        ++i;
    const QByteArray word = field.sliced(i).toByteArray().toLower();
    if (word == "nan" || word == "inf" || word == "infinity")
        return Field::NotFinite;
    const qsizetype mantissa = i;
    int digits = 0;
    qsizetype point = -1;
    for (; i < n && (isDigit(field[i]) || (field[i] == '.' && point < 0)); ++i) {
        if (field[i] == '.')
            point = i;
        else
            ++digits;
    }
    const qsizetype mantissaEnd = i;
    if (digits == 0)
        return Field::NotANumber;
    qint64 exponent = 0;
    if (i < n && (field[i] == 'e' || field[i] == 'E')) {
        ++i;
        const bool negative = i < n && field[i] == '-';
        if (i < n && (field[i] == '+' || field[i] == '-'))
            ++i;
        if (i == n)
            return Field::NotANumber;
        for (; i < n && isDigit(field[i]); ++i)
            exponent = std::min<qint64>(exponent * 10 + (field[i] - '0'), 1000000);
        if (negative)
            exponent = -exponent;
    }
    if (i != n)
        return Field::NotANumber;
    bool ok = false;
    *value = field.toDouble(&ok);
    if (ok)
        return std::isfinite(*value) ? Field::Finite : Field::NotFinite;
    // Out of range: too large to hold, or so small that it is 0. The decimal
    // exponent of the first significant digit tells which.
    const qsizetype integerEnd = point < 0 ? mantissaEnd : point;
    qsizetype firstSignificant = -1;
    for (qsizetype k = mantissa; k < mantissaEnd && firstSignificant < 0; ++k)
        if (field[k] >= '1' && field[k] <= '9')
            firstSignificant = k;
    *value = 0;
    if (firstSignificant < 0)
        return Field::Finite;
    const qint64 magnitude = exponent
        + (firstSignificant < integerEnd ? integerEnd - firstSignificant - 1 : integerEnd - firstSignificant);
    return magnitude >= 0 ? Field::NotFinite : Field::Finite;
}

// The first field of a line as a number; `field` is what it held, for a
// message.
Field readFirstField(QByteArrayView line, bool decimalComma, QByteArray *field, double *value)
{
    *field = firstField(line, decimalComma).toByteArray();
    if (decimalComma)
        field->replace(',', '.');
    return readNumber(*field, value);
}

// "0,5" or "-2,25": an integer, a comma and a digit string.
bool looksLikeDecimalComma(QByteArrayView line)
{
    const qsizetype comma = line.indexOf(',');
    if (comma < 0)
        return false;
    QByteArrayView whole = line.first(comma);
    if (whole.startsWith('-') || whole.startsWith('+'))
        whole = whole.sliced(1);
    const QByteArrayView fraction = line.sliced(comma + 1);
    const auto allDigits = [](QByteArrayView v) { return !v.isEmpty() && std::all_of(v.begin(), v.end(), isDigit); };
    return allDigits(whole) && allDigits(fraction);
}

// One number per line, or the first column of lines separated by commas,
// semicolons or tabs. A file whose data lines are separated by semicolons or
// tabs may write decimal commas ("0,5;1"), as spreadsheets do in many
// languages; a comment or a heading holding one decides nothing.
ShapeFile parseText(const QByteArray &bytes, const QString &name, ShapeReading reading)
{
    QByteArrayView line;
    int lineNumber = 0;
    // The heading is the first line, when its first field is not number-like.
    int headingLine = 0;
    QByteArray field;
    double value = 0;
    {
        TextLines lines(bytes);
        if (lines.next(&line, &lineNumber)
            && readFirstField(line, reading == ShapeReading::DecimalCommas, &field, &value) == Field::NotANumber)
            headingLine = lineNumber;
    }
    bool decimalComma = reading == ShapeReading::DecimalCommas;
    // A heading such as "v,t" names two columns; one that would read as a
    // number with decimal commas (",5") leaves the other reading a sample more.
    const bool headingSaysColumns
        = headingLine > 0 && (line.contains(',') || readFirstField(line, true, &field, &value) != Field::NotANumber);
    bool suspect = !decimalComma && !headingSaysColumns;
    {
        TextLines lines(bytes);
        while (!decimalComma && lines.next(&line, &lineNumber)) {
            if (lineNumber == headingLine)
                continue;
            decimalComma = line.contains(';') || line.contains('\t');
            suspect = suspect && looksLikeDecimalComma(line);
        }
    }

    std::vector<double> samples;
    TextLines lines(bytes);
    while (lines.next(&line, &lineNumber)) {
        if (lineNumber == headingLine)
            continue;
        switch (readFirstField(line, decimalComma, &field, &value)) {
        case Field::NotANumber:
            return failed(tr("\"%1\", line %2: \"%3\" is not a number.").arg(name).arg(lineNumber).arg(shown(field)));
        case Field::NotFinite:
            return failed(
                tr("\"%1\", line %2: %3 is not a finite number.").arg(name).arg(lineNumber).arg(shown(field)));
        case Field::Finite:
            break;
        }
        if (int(samples.size()) == maxShapeSamples)
            return failed(tooMany(name));
        samples.push_back(value);
    }
    ShapeFile result = finished(std::move(samples), name);
    result.decimalCommaSuspect = result.ok && suspect;
    return result;
}

// Why bytes that did not read as numbers are not text at all, or an empty
// text when they may be: UTF-16 (every other byte NUL for the digits and
// signs of a shape) or binary data (NUL bytes, or mostly control characters
// and broken UTF-8).
QString notText(const QByteArray &bytes)
{
    const QByteArrayView head = QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), 4096));
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return tr("it looks like UTF-16 text; save it as UTF-8");
    qsizetype nul[2] = { 0, 0 };
    for (qsizetype i = 0; i < head.size(); ++i)
        if (head[i] == '\0')
            ++nul[i & 1];
    const qsizetype pairs = head.size() / 2;
    for (int parity = 0; parity < 2; ++parity)
        if (pairs > 0 && nul[parity] * 2 >= pairs && nul[1 - parity] * 16 <= nul[parity])
            return tr("it looks like UTF-16 text; save it as UTF-8");
    if (nul[0] + nul[1] > 0)
        return tr("it looks like binary data");
    const QString text = QString::fromUtf8(head);
    qsizetype odd = 0;
    for (const QChar c : text)
        if (c == QChar::ReplacementCharacter || (c.category() == QChar::Other_Control && !c.isSpace()))
            ++odd;
    return odd * 4 > text.size() ? tr("it looks like binary data") : QString();
}

quint32 little(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// RIFF WAVE: PCM of 8, 16, 24 or 32 bits or 32-bit float, plain or in the
// extensible format; the first channel of every frame.
ShapeFile parseWav(const QByteArray &bytes, const QString &name)
{
    const auto bad = [&name](const QString &why) {
        return failed(tr("\"%1\" is not a WAV file this panel can read: %2.").arg(name, why));
    };
    int format = -1, channels = 0, blockAlign = 0, bits = 0;
    qsizetype dataAt = -1, dataSize = 0;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = qsizetype(little(bytes, at + 4, 4));
        const qsizetype body = at + 8;
        const qsizetype available = bytes.size() - body;
        if (id == "fmt ") {
            if (size < 16 || available < 16)
                return bad(tr("its format chunk is too short"));
            format = int(little(bytes, body, 2));
            channels = int(little(bytes, body + 2, 2));
            blockAlign = int(little(bytes, body + 12, 2));
            bits = int(little(bytes, body + 14, 2));
            if (format == 0xFFFE) {
                if (size < 40 || available < 40)
                    return bad(tr("its extensible format chunk is too short"));
                format = int(little(bytes, body + 24, 2)); // the sub-format's first two bytes
            }
        } else if (id == "data") {
            dataAt = body;
            // Writers that stream leave the size unknown: take what is there.
            dataSize = std::min(size, available);
        }
        if (size > available)
            break;
        at = body + size + (size & 1);
    }
    if (format < 0)
        return bad(tr("it has no format chunk"));
    if (dataAt < 0)
        return bad(tr("it has no data chunk"));
    const bool pcm = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool real = format == 3 && bits == 32;
    if (!pcm && !real)
        return failed(tr("\"%1\": WAV data of format %2 with %3 bits is not supported; use PCM of 8, 16, 24 or 32 "
                         "bits or 32-bit float.")
                          .arg(name)
                          .arg(format)
                          .arg(bits));
    if (channels < 1 || blockAlign != channels * (bits / 8))
        return bad(
            tr("its frames of %1 bytes do not fit %2 channels of %3 bits").arg(blockAlign).arg(channels).arg(bits));
    const qsizetype frames = dataSize / blockAlign;
    if (frames > maxShapeSamples)
        return failed(tooMany(name));

    std::vector<double> samples;
    samples.reserve(size_t(frames));
    for (qsizetype f = 0; f < frames; ++f) {
        const qsizetype at = dataAt + f * blockAlign;
        double value = 0;
        if (real) {
            const quint32 raw = little(bytes, at, 4);
            float x;
            std::memcpy(&x, &raw, sizeof x);
            if (!std::isfinite(x))
                return failed(tr("\"%1\", sample %2: not a finite number.").arg(name).arg(f + 1));
            value = x;
        } else if (bits == 8) {
            value = int(quint8(bytes[at])) - 128; // 8-bit PCM is unsigned
        } else {
            const quint32 raw = little(bytes, at, bits / 8);
            const int shift = 32 - bits;
            value = double(qint32(raw << shift) >> shift); // sign-extended
        }
        samples.push_back(value);
    }
    return finished(std::move(samples), name);
}

} // namespace

bool playsNothing(const std::vector<double> &samples)
{
    return std::all_of(samples.begin(), samples.end(), [](double s) { return s == 0; });
}

double peakOf(const std::vector<double> &samples)
{
    double largest = 0;
    for (const double s : samples)
        largest = std::max(largest, std::fabs(s));
    return largest;
}

bool zeroButRounding(const std::vector<double> &samples) { return peakOf(samples) < roundingFloor; }

void normalise(std::vector<double> &samples)
{
    const double largest = peakOf(samples);
    if (largest > 0)
        for (double &s : samples)
            s /= largest;
}

ShapeFile parseShape(const QByteArray &bytes, const QString &name, ShapeReading reading)
{
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE")
        return parseWav(bytes, name);
    ShapeFile result = parseText(bytes, name, reading);
    if (!result.ok) {
        // Rather than a line of raw bytes, say what the file is.
        const QString why = notText(bytes);
        if (!why.isEmpty())
            result.error = tr("\"%1\" is not a text file: %2.").arg(name, why);
    }
    return result;
}

ShapeFile readShapeFile(const QString &path, ShapeReading reading)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    // A pipe or a device would never end (or never start) reading.
    if (info.exists() && !info.isFile())
        return failed(tr("Cannot read \"%1\": it is not a file.").arg(name));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(tr("Cannot read \"%1\": %2.").arg(name, file.errorString()));
    // No period needs more; a larger file is refused, not read on and on.
    constexpr qint64 largest = 64 * 1024 * 1024;
    const QByteArray bytes = file.read(largest + 1);
    if (bytes.size() > largest)
        return failed(tr("\"%1\" is larger than 64 MB, far more than one period of samples.").arg(name));
    return parseShape(bytes, name, reading);
}

} // namespace kd7240fp
