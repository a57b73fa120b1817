// The order in which the resource search lists VISA resource descriptors:
// by interface type, then by the numbers in the descriptor, so that
// ASRL2 comes before ASRL10 and 192.168.2.20 before 192.168.2.100.

#include "kd7010fp_app.h"

#include <limits>

namespace {

// Walks a descriptor the way the order reads it. Every read stops at the
// first character that does not fit and leaves the cursor there; a failed
// read makes every later read fail too, so fields it does not get to stay 0.
class DescriptorReader
{
public:
    explicit DescriptorReader(const QString &text)
        : s(text)
    {
    }

    // The leading run of ASCII letters, upper-cased. It is kept in a QString,
    // so a prefix of any length is read whole.
    QString prefix()
    {
        QString result;
        while (pos < s.size() && isAsciiLetter(s.at(pos))) {
            result.append(s.at(pos).toUpper());
            ++pos;
        }
        return result;
    }

    // A decimal integer with an optional sign; values beyond 32 bits saturate,
    // which keeps the order consistent for absurdly long digit runs.
    int number()
    {
        if (failed)
            return 0;
        qsizetype p = pos;
        bool negative = false;
        if (p < s.size() && (s.at(p) == QLatin1Char('+') || s.at(p) == QLatin1Char('-'))) {
            negative = s.at(p) == QLatin1Char('-');
            ++p;
        }
        const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
        qint64 value = 0;
        const qsizetype firstDigit = p;
        while (p < s.size() && isAsciiDigit(s.at(p))) {
            value = qMin(value * 10 + (s.at(p).unicode() - '0'), limit);
            ++p;
        }
        if (p == firstDigit) {
            failed = true;
            return 0;
        }
        pos = p;
        return int(negative ? -value : value);
    }

    // Consumes `literal` when the text continues with it.
    void expect(QLatin1String literal)
    {
        if (failed)
            return;
        if (QStringView(s).mid(pos).startsWith(literal))
            pos += literal.size();
        else
            failed = true;
    }

private:
    static bool isAsciiLetter(QChar c)
    {
        const char16_t u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    }
    static bool isAsciiDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

    const QString &s;
    qsizetype pos = 0;
    bool failed = false;
};

// Board number and the four parts of a dotted address, read after the prefix.
struct TcpipNumbers
{
    int values[5] = { 0, 0, 0, 0, 0 };
};

TcpipNumbers readTcpip(DescriptorReader &reader)
{
    TcpipNumbers n;
    n.values[0] = reader.number();
    reader.expect(QLatin1String("::"));
    for (int i = 1; i <= 4; ++i) {
        if (i > 1)
            reader.expect(QLatin1String("."));
        n.values[i] = reader.number();
    }
    return n;
}

bool comparedByBoard(const QString &prefix)
{
    static const char *const types[] = { "VXI", "GPIB", "SOCKET", "BACKPLANE", "PXI", "ASRL" };
    for (const char *type : types) {
        if (prefix == QLatin1String(type))
            return true;
    }
    return false;
}

} // namespace

bool kd7010fp_app::descriptorLess(QString a, QString b)
{
    DescriptorReader readerA(a);
    DescriptorReader readerB(b);
    const QString prefixA = readerA.prefix();
    const QString prefixB = readerB.prefix();

    if (prefixA != prefixB)
        return a < b;

    if (prefixA == QLatin1String("TCPIP")) {
        const TcpipNumbers na = readTcpip(readerA);
        const TcpipNumbers nb = readTcpip(readerB);
        for (int i = 0; i < 5; ++i) {
            if (na.values[i] != nb.values[i])
                return na.values[i] < nb.values[i];
        }
        return false;
    }

    if (comparedByBoard(prefixA))
        return readerA.number() < readerB.number();

    return a < b;
}
