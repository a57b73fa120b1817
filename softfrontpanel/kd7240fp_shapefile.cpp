#include "kd7240fp_shapefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

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

// One number per line, or the first column of lines separated by commas,
// semicolons or tabs. A file whose lines are separated by semicolons or tabs
// may write decimal commas ("0,5;1"), as spreadsheets do in many languages.
// Blank lines and "#" comments are skipped, and so is one heading line
// before the first number.
ShapeFile parseText(const QByteArray &bytes, const QString &name)
{
    const bool decimalComma = bytes.contains(';') || bytes.contains('\t');
    std::vector<double> samples;
    bool headingSkipped = false;
    qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a UTF-8 byte order mark
    for (int lineNumber = 1; start <= bytes.size(); ++lineNumber) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        qsizetype cut = line.size();
        for (const char separator : { ',', ';', '\t' }) {
            const qsizetype at = line.indexOf(separator);
            if (at >= 0 && at < cut && !(separator == ',' && decimalComma))
                cut = at;
        }
        QByteArray field = line.left(cut).trimmed();
        if (decimalComma)
            field.replace(',', '.');
        bool isNumber = false;
        const double value = field.toDouble(&isNumber);
        if (!isNumber) {
            if (samples.empty() && !headingSkipped) {
                headingSkipped = true;
                continue;
            }
            return failed(tr("\"%1\", line %2: \"%3\" is not a number.").arg(name).arg(lineNumber).arg(shown(field)));
        }
        if (!std::isfinite(value))
            return failed(
                tr("\"%1\", line %2: %3 is not a finite number.").arg(name).arg(lineNumber).arg(shown(field)));
        if (int(samples.size()) == maxShapeSamples)
            return failed(tooMany(name));
        samples.push_back(value);
    }
    return finished(std::move(samples), name);
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

void normalise(std::vector<double> &samples)
{
    double largest = 0;
    for (const double s : samples)
        largest = std::max(largest, std::fabs(s));
    if (largest > 0)
        for (double &s : samples)
            s /= largest;
}

ShapeFile parseShape(const QByteArray &bytes, const QString &name)
{
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE")
        return parseWav(bytes, name);
    return parseText(bytes, name);
}

ShapeFile readShapeFile(const QString &path)
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
    return parseShape(bytes, name);
}

} // namespace kd7240fp
