#include "kd7010fp_scpi.h"

#include <QScopedValueRollback>
#include <QtDebug>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace kd7010fp_scpi {

namespace {

// IEEE 488.2 counts every control character as white space. The newline
// that ends a message is cut off before the parser sees it (MessageReader);
// one still in a message is either a block's or a string's own byte, read by
// length or by quote, or a terminator a caller left on (execute("*IDN?\n")).
bool isSpace(char c)
{
    return uchar(c) <= ' ';
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isMnemonicChar(char c)
{
    return isLetter(c) || isDigit(c) || c == '_';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Characters the language uses somewhere: met in the wrong place they are a
// syntax error, any other an invalid character.
bool isKnown(char c)
{
    return isMnemonicChar(c) || std::strchr(":;,?*#\"'+-.()", c) != nullptr;
}

int misplaced(char c)
{
    return c != '\0' && isKnown(c) ? -102 : -101;
}

void skipSpace(const char *line, qsizetype &pos, qsizetype end)
{
    while (pos < end && isSpace(line[pos]))
        ++pos;
}

// `typed` (of `length` characters, any case) against a mnemonic written with
// its short form in capitals, "MINimum".
bool matchesForm(const char *typed, qsizetype length, const char *form)
{
    qsizetype shortLength = 0;
    while (form[shortLength] != '\0' && !(form[shortLength] >= 'a' && form[shortLength] <= 'z'))
        ++shortLength;
    const qsizetype longLength = qsizetype(std::strlen(form));
    if (length != shortLength && length != longLength)
        return false;
    for (qsizetype i = 0; i < length; ++i)
        if (upper(typed[i]) != upper(form[i]))
            return false;
    return true;
}

bool sameWord(const char *typed, qsizetype length, const char *word)
{
    return qsizetype(std::strlen(word)) == length && matchesForm(typed, length, word);
}


struct UnitSuffix
{
    Unit unit;
    const char *name;
    int exponent;
};

constexpr UnitSuffix unitSuffixes[] = {
    { Unit::Hertz, "HZ", 0 },
    { Unit::Hertz, "KHZ", 3 },
    { Unit::Hertz, "MHZ", 6 },
    { Unit::Volt, "V", 0 },
    { Unit::Volt, "MV", -3 },
    { Unit::Degree, "DEG", 0 },
    { Unit::Percent, "PCT", 0 },
    { Unit::Second, "S", 0 },
    { Unit::Second, "MS", -3 },
    { Unit::Second, "US", -6 },
};

} // namespace

const char *errorText(int code)
{
    switch (code) {
    case 0: return "No error";
    case -101: return "Invalid character";
    case -102: return "Syntax error";
    case -103: return "Invalid separator";
    case -104: return "Data type error";
    case -108: return "Parameter not allowed";
    case -109: return "Missing parameter";
    case -112: return "Program mnemonic too long";
    case -113: return "Undefined header";
    case -114: return "Header suffix out of range";
    case -120: return "Numeric data error";
    case -131: return "Invalid suffix";
    case -138: return "Suffix not allowed";
    case -151: return "Invalid string data";
    case -160: return "Block data error";
    case -161: return "Invalid block data";
    case -200: return "Execution error";
    case -221: return "Settings conflict";
    case -222: return "Data out of range";
    case -223: return "Too much data";
    case -224: return "Illegal parameter value";
    case -225: return "Out of memory";
    case -240: return "Hardware error";
    case -241: return "Hardware missing";
    case -250: return "Mass storage error";
    case -256: return "File name not found";
    case -257: return "File name error";
    case -350: return "Queue overflow";
    case -363: return "Input buffer overrun";
    }
    if (code <= -100 && code > -200)
        return "Command error";
    if (code <= -200 && code > -300)
        return "Execution error";
    if (code <= -400 && code > -500)
        return "Query error";
    return "Device-specific error";
}

// --- ErrorQueue, Status ----------------------------------------------------

void ErrorQueue::push(int code, QByteArrayView detail)
{
    if (int(m_entries.size()) >= capacity) {
        m_entries.back() = QByteArrayLiteral("-350,\"Queue overflow\"");
        return;
    }
    QByteArray message = errorText(code);
    if (!detail.isEmpty())
        message += "; " + detail.first(std::min<qsizetype>(detail.size(), 200)).toByteArray();
    for (char &c : message) {
        if (c == ',')
            c = ';';
        else if (c == '"')
            c = '\'';
        else if (uchar(c) < ' ')
            c = ' ';
    }
    char number[16];
    const auto r = std::to_chars(number + 1, number + sizeof number, code);
    number[0] = '+';
    const char *from = code < 0 ? number + 1 : number;
    m_entries.push_back(QByteArray(from, r.ptr - from) + ",\"" + message + '"');
}

QByteArray ErrorQueue::next()
{
    if (m_entries.empty())
        return QByteArrayLiteral("+0,\"No error\"");
    QByteArray entry = std::move(m_entries.front());
    m_entries.pop_front();
    return entry;
}

void Status::error(int code, QByteArrayView detail)
{
    m_errors.push(code, detail);
    if (code <= -100 && code > -200)
        m_events |= CommandError;
    else if (code <= -200 && code > -300)
        m_events |= ExecutionError;
    else if (code <= -400 && code > -500)
        m_events |= QueryError;
    else if (code != 0)
        m_events |= DeviceError;
}

quint8 Status::takeEvents()
{
    const quint8 events = m_events;
    m_events = 0;
    return events;
}

quint8 Status::statusByte() const
{
    quint8 byte = 0;
    if (m_errors.count() > 0)
        byte |= ErrorQueueNotEmpty;
    if (m_events & m_eventEnable)
        byte |= EventSummary;
    if (byte & m_serviceEnable)
        byte |= MasterSummary;
    return byte;
}

void Status::clear()
{
    m_events = 0;
    m_errors.clear();
}

// --- Call --------------------------------------------------------------------

Call::Call(Parser &parser, const char *line, bool query)
    : m_parser(parser)
    , m_line(line)
    , m_query(query)
{
}

int Call::suffix(int i) const
{
    return i >= 0 && i < int(std::size(m_suffixes)) ? m_suffixes[i] : 1;
}

Status &Call::status()
{
    return m_parser.m_status;
}

bool Call::error(int code, QByteArrayView detail)
{
    m_parser.m_status.error(code, detail);
    m_failed = true;
    m_commandError = m_commandError || (code <= -100 && code > -200);
    return false;
}

bool Call::expectQuery(const Range &range)
{
    m_counted = true;
    if (m_count == 0)
        return true;
    if (m_count > 1)
        return error(-108);
    const Parameter &p = m_parameters[0];
    m_read = 1;
    if (p.type != Parameter::Character)
        return error(-108);
    if (const std::optional<double> named = namedValue(p, range))
        reply(*named);
    else
        return error(-224);
    return false;
}

// MINimum, MAXimum or DEFault of `range`, as a character parameter names it.
std::optional<double> Call::namedValue(const Parameter &p, const Range &range) const
{
    const char *text = m_line + p.begin;
    if (matchesForm(text, p.length, "MINimum"))
        return range.minimum;
    if (matchesForm(text, p.length, "MAXimum"))
        return range.maximum;
    if (matchesForm(text, p.length, "DEFault"))
        return range.byDefault;
    return std::nullopt;
}

void Call::operationComplete()
{
    if (m_parser.busy())
        m_parser.m_opcPending = true;
    else
        m_parser.m_status.setEvents(Status::OperationComplete);
}

bool Call::operationsDone()
{
    if (!m_parser.m_mayWait || !m_parser.busy())
        return true;
    m_waits = true;
    return false;
}

bool Call::expect(int least, int most)
{
    m_counted = true;
    if (m_count < least)
        return error(-109);
    if (m_count > most)
        return error(-108);
    return true;
}

const Parameter *Call::parameter(int index)
{
    if (index < 0 || index >= m_count) {
        error(-109);
        return nullptr;
    }
    m_read = std::max(m_read, index + 1);
    return m_parameters + index;
}

// The number `p` stands for; MINimum, MAXimum and DEFault are taken as they
// are and need no fitting.
bool Call::numberOf(const Parameter &p, Unit unit, const Range &range, double *value)
{
    if (p.type == Parameter::Character) {
        const std::optional<double> named = namedValue(p, range);
        if (!named)
            return error(-104);
        *value = *named;
        return true;
    }
    if (p.type != Parameter::Decimal && p.type != Parameter::NonDecimal)
        return error(-104);
    double v = p.number;
    if (p.type == Parameter::Decimal && p.suffixLength > 0) {
        const UnitSuffix *found = nullptr;
        for (const UnitSuffix &s : unitSuffixes)
            if (s.unit == unit && sameWord(m_line + p.begin, p.suffixLength, s.name))
                found = &s;
        if (!found)
            return error(unit == Unit::None ? -138 : -131);
        // Dividing keeps 100 mV exactly 0.1 V, as typed.
        if (found->exponent > 0)
            v *= std::pow(10.0, found->exponent);
        else if (found->exponent < 0)
            v /= std::pow(10.0, -found->exponent);
    }
    if (range.period > 0 && std::isfinite(v)) {
        v = std::fmod(v - range.minimum, range.period);
        if (v < 0)
            v += range.period;
        v += range.minimum;
    }
    if (v < range.minimum || v > range.maximum) {
        v = v < range.minimum ? range.minimum : range.maximum;
        // Taken at the nearest end, as the window's boxes take it, and said
        // once for the command (a shape's values are many); the rest of the
        // line goes on.
        if (!m_clipped)
            m_parser.m_status.error(-222, "value clipped to " + QByteArray::number(v, 'g', 15));
        m_clipped = true;
    }
    *value = v;
    return true;
}

bool Call::number(int index, Unit unit, const Range &range, double *value)
{
    const Parameter *p = parameter(index);
    return p && numberOf(*p, unit, range, value);
}

bool Call::numbers(int from, Unit unit, const Range &range, std::vector<double> *values)
{
    if (from < 0 || from >= m_count)
        return error(-109);
    m_read = m_count;
    values->resize(std::size_t(m_count - from));
    double *out = values->data();
    const bool plain = !(range.period > 0);
    for (int i = from; i < m_count; ++i, ++out) {
        const Parameter &p = m_parameters[i];
        if (plain && p.type == Parameter::Decimal && p.suffixLength == 0 && p.number >= range.minimum
            && p.number <= range.maximum)
            *out = p.number;
        else if (!numberOf(p, unit, range, out))
            return false;
    }
    return true;
}

bool Call::integer(int index, const Range &range, int *value)
{
    const Parameter *p = parameter(index);
    if (!p)
        return false;
    double v;
    if (p->type == Parameter::Character) {
        if (!numberOf(*p, Unit::None, range, &v))
            return false;
    } else {
        // Rounded first: 0.6 is 1, within a range from 1.
        Parameter rounded = *p;
        if (p->type == Parameter::Decimal || p->type == Parameter::NonDecimal)
            rounded.number = std::round(p->number);
        if (!numberOf(rounded, Unit::None, range, &v))
            return false;
    }
    *value = int(std::clamp(std::round(v), double(INT_MIN), double(INT_MAX)));
    return true;
}

bool Call::boolean(int index, bool *value)
{
    const Parameter *p = parameter(index);
    if (!p)
        return false;
    switch (p->type) {
    case Parameter::Decimal:
        if (p->suffixLength > 0)
            return error(-138);
        Q_FALLTHROUGH();
    case Parameter::NonDecimal:
        *value = p->number != 0;
        return true;
    case Parameter::Character:
        if (sameWord(m_line + p->begin, p->length, "ON"))
            *value = true;
        else if (sameWord(m_line + p->begin, p->length, "OFF"))
            *value = false;
        else
            return error(-224);
        return true;
    default:
        return error(-104);
    }
}

bool Call::isBlock(int index) const { return index >= 0 && index < m_count && m_parameters[index].type == Parameter::Block; }

bool Call::isMnemonic(int index, const char *mnemonic) const
{
    if (index < 0 || index >= m_count)
        return false;
    const Parameter &p = m_parameters[index];
    return p.type == Parameter::Character && matchesForm(m_line + p.begin, p.length, mnemonic);
}

bool Call::choice(int index, std::initializer_list<const char *> mnemonics, int *which)
{
    const Parameter *p = parameter(index);
    if (!p)
        return false;
    if (p->type != Parameter::Character)
        return error(-104);
    int i = 0;
    for (const char *form : mnemonics) {
        if (matchesForm(m_line + p->begin, p->length, form)) {
            *which = i;
            return true;
        }
        ++i;
    }
    return error(-224);
}

bool Call::text(int index, QByteArray *value)
{
    const Parameter *p = parameter(index);
    if (!p)
        return false;
    if (p->type == Parameter::Character) {
        *value = QByteArray(m_line + p->begin, p->length);
        return true;
    }
    if (p->type != Parameter::String)
        return error(-104);
    // Doubled quotes stand for one.
    value->resize(p->length);
    const char *in = m_line + p->begin;
    const char *end = in + p->length;
    char *out = value->data();
    while (in < end) {
        if (*in == p->quote)
            ++in;
        *out++ = *in++;
    }
    value->truncate(out - value->data());
    return true;
}

bool Call::block(int index, QByteArrayView *value)
{
    const Parameter *p = parameter(index);
    if (!p)
        return false;
    if (p->type != Parameter::Block)
        return error(-104);
    *value = QByteArrayView(m_line + p->begin, p->length);
    return true;
}

bool Call::block(int index, QByteArray *value)
{
    QByteArrayView view;
    if (!block(index, &view))
        return false;
    *value = view.toByteArray();
    return true;
}

void Call::startValue()
{
    QByteArray &out = m_parser.m_reply;
    if (m_replied)
        out += ',';
    else if (!out.isEmpty())
        out += ';';
    m_replied = true;
}

void Call::reply(double value)
{
    startValue();
    // SCPI's stand-ins for what is no number.
    if (std::isnan(value)) {
        m_parser.m_reply += "+9.91000000000000E+37";
        return;
    }
    if (std::isinf(value)) {
        m_parser.m_reply += value < 0 ? "-9.90000000000000E+37" : "+9.90000000000000E+37";
        return;
    }
    // to_chars knows no locale: a decimal comma never comes in.
    char text[40];
    text[0] = value < 0 ? '-' : '+';
    const auto r = std::to_chars(text + 1, text + sizeof text, std::fabs(value), std::chars_format::scientific, 14);
    for (char *c = text + 1; c < r.ptr; ++c)
        if (*c == 'e')
            *c = 'E';
    m_parser.m_reply.append(text, r.ptr - text);
}

void Call::reply(int value)
{
    startValue();
    char text[16];
    text[0] = '+';
    const auto r = std::to_chars(text + 1, text + sizeof text, value);
    const char *from = value < 0 ? text + 1 : text;
    m_parser.m_reply.append(from, r.ptr - from);
}

void Call::replyBool(bool value)
{
    startValue();
    m_parser.m_reply += value ? '1' : '0';
}

void Call::replyText(QByteArrayView text)
{
    startValue();
    m_parser.m_reply += text;
}

void Call::replyString(QByteArrayView text)
{
    startValue();
    QByteArray &out = m_parser.m_reply;
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// --- Parser ------------------------------------------------------------------

struct Parser::Node
{
    QByteArray form; // long form, upper case
    int shortLength;
    bool optional;
    int suffixIndex; // -1: takes no suffix
};

struct Parser::Pattern
{
    std::vector<Node> nodes;
    bool query = false;
    bool common = false;
    std::function<void(Call &)> handler;
};

namespace {

[[noreturn]] void malformed(const char *pattern)
{
    qFatal("kd7010fp_scpi: malformed command pattern \"%s\"", pattern);
}

} // namespace

Parser::Parser(int maxSuffix)
    : m_maxSuffix(maxSuffix)
{
}

Parser::~Parser() = default;

void Parser::add(const std::vector<Row> &rows)
{
    for (const Row &row : rows) {
        Pattern pattern;
        pattern.handler = row.handler;
        const char *p = row.pattern;
        int suffixes = 0;
        pattern.common = *p == '*';
        while (true) {
            Node node { {}, 0, false, -1 };
            if (*p == '[') {
                node.optional = true;
                ++p;
            }
            if (*p == ':')
                ++p;
            if (*p == '*' && pattern.nodes.empty() && pattern.common)
                node.form += *p++;
            const char *name = p;
            while (*p >= 'A' && *p <= 'Z')
                ++p;
            if (p == name)
                malformed(row.pattern);
            node.shortLength = int(node.form.size() + (p - name));
            while (*p >= 'a' && *p <= 'z')
                ++p;
            node.form += QByteArray(name, p - name).toUpper();
            if (*p == '#') {
                if (pattern.common || suffixes == 4)
                    malformed(row.pattern);
                node.suffixIndex = suffixes++;
                ++p;
            }
            if (node.optional && *p++ != ']')
                malformed(row.pattern);
            pattern.nodes.push_back(node);
            if (*p == ':' || *p == '[') {
                if (pattern.common)
                    malformed(row.pattern);
                continue;
            }
            if (*p == '?') {
                pattern.query = true;
                ++p;
            }
            if (*p != '\0')
                malformed(row.pattern);
            break;
        }
        m_patterns.push_back(std::move(pattern));
    }
}

// How well the typed header from mnemonic `typed` on fits the pattern from
// `node` on: 2 wholly, 1 but for a suffix, 0 not. Optional nodes are tried
// both taken and left out.
int Parser::match(const Pattern &pattern, int node, int typed, int *suffixes) const
{
    const int nodes = int(pattern.nodes.size());
    const int mnemonics = int(m_header.size());
    if (typed == mnemonics) {
        for (int i = node; i < nodes; ++i) {
            if (!pattern.nodes[i].optional)
                return 0;
            if (pattern.nodes[i].suffixIndex >= 0)
                suffixes[pattern.nodes[i].suffixIndex] = 1;
        }
        return 2;
    }
    if (mnemonics - typed > nodes - node)
        return 0;
    const Node &n = pattern.nodes[node];
    const Mnemonic &m = m_header[typed];
    int best = 0;
    if ((m.length == n.shortLength || m.length == n.form.size())
        && std::equal(m.text, m.text + m.length, n.form.constData(), [](char a, char b) { return upper(a) == b; })) {
        int fit = 2;
        if (n.suffixIndex >= 0) {
            suffixes[n.suffixIndex] = m.suffix < 0 ? 1 : m.suffix;
            if (m.suffix == 0 || m.suffix > m_maxSuffix)
                fit = 1;
        } else if (m.suffix >= 0) {
            fit = 1;
        }
        best = std::min(fit, match(pattern, node + 1, typed + 1, suffixes));
        if (best == 2)
            return 2;
    }
    if (n.optional) {
        if (n.suffixIndex >= 0)
            suffixes[n.suffixIndex] = 1;
        best = std::max(best, match(pattern, node + 1, typed, suffixes));
    }
    return best;
}

QByteArray Parser::execute(QByteArrayView message)
{
    // The message is only read: it is not copied in.
    Line line { QByteArray::fromRawData(message.data(), message.size()) };
    runLine(line, false);
    return takeReply(line);
}

bool Parser::run(Line &line)
{
    return runLine(line, true);
}

bool Parser::runLine(Line &line, bool mayWait)
{
    const QScopedValueRollback<bool> waiting(m_mayWait, mayWait);
    const char *text = line.text.constData();
    const qsizetype end = line.text.size();
    if (end > qsizetype(UINT32_MAX)) {
        m_status.error(-363);
        line.pos = end;
        return true;
    }
    // Another client's lines may have run since this one stopped.
    m_path = std::move(line.path);
    m_reply = std::move(line.reply);
    Ran ran = Ran::Next;
    while (ran == Ran::Next)
        ran = runCommand(text, line.pos, end);
    // Room for a shape's parameters is kept for the next one (4 MiB for
    // 262143 samples), more is given back.
    if (m_parameters.capacity() > (1u << 18))
        std::vector<Parameter>().swap(m_parameters);
    line.reply = std::exchange(m_reply, QByteArray());
    if (ran == Ran::Wait) {
        line.path = m_path;
        return false;
    }
    line.pos = end;
    return true;
}

QByteArray Parser::takeReply(Line &line)
{
    QByteArray reply = std::exchange(line.reply, QByteArray());
    if (!reply.isEmpty())
        reply += '\n';
    return reply;
}

void Parser::operationsCompleted()
{
    if (std::exchange(m_opcPending, false))
        m_status.setEvents(Status::OperationComplete);
}

// Reads and runs the command at `pos`: Next when another one follows, Wait
// when it is a *WAI or *OPC? that waits (`pos` stays on it).
Parser::Ran Parser::runCommand(const char *line, qsizetype &pos, qsizetype end)
{
    skipSpace(line, pos, end);
    if (pos == end)
        return Ran::End;
    if (line[pos] == ';') {
        ++pos;
        return Ran::Next;
    }
    const qsizetype start = pos;
    const auto fail = [this](int code) {
        m_status.error(code);
        return Ran::End;
    };

    // The header, completed by the path.
    const bool common = line[pos] == '*';
    const bool root = line[pos] == ':';
    if (root)
        ++pos;
    m_header.assign(m_path.begin(), m_path.begin() + (common || root ? 0 : m_path.size()));
    while (true) {
        const qsizetype first = pos;
        if (common)
            ++pos;
        if (pos == end || !isLetter(line[pos]))
            return fail(pos == end ? -102 : misplaced(line[pos]));
        while (pos < end && isMnemonicChar(line[pos]))
            ++pos;
        if (pos - first > 12)
            return fail(-112);
        qsizetype name = pos;
        while (isDigit(line[name - 1]))
            --name;
        int suffix = -1;
        if (name < pos) {
            suffix = 0;
            for (qsizetype i = name; i < pos; ++i)
                suffix = std::min(suffix * 10 + (line[i] - '0'), 100000);
        }
        m_header.push_back({ line + first, int(name - first), suffix });
        if (common || pos == end || line[pos] != ':')
            break;
        ++pos;
    }
    bool query = false;
    if (pos < end && line[pos] == '?') {
        query = true;
        ++pos;
    }
    if (pos < end && !isSpace(line[pos]) && line[pos] != ';')
        return fail(misplaced(line[pos]));

    const Pattern *found = nullptr;
    bool suffixOut = false;
    int suffixes[4] = { 1, 1, 1, 1 };
    for (const Pattern &pattern : m_patterns) {
        if (pattern.query != query || pattern.common != common)
            continue;
        const int fit = match(pattern, 0, 0, suffixes);
        if (fit == 2) {
            found = &pattern;
            break;
        }
        suffixOut = suffixOut || fit == 1;
    }
    if (!found)
        return fail(suffixOut ? -114 : -113);

    // The parameters, whole before anything runs.
    m_parameters.clear();
    skipSpace(line, pos, end);
    if (pos < end && line[pos] != ';') {
        while (true) {
            if (const int code = readParameter(line, pos, end))
                return fail(code);
            skipSpace(line, pos, end);
            if (pos == end || line[pos] == ';')
                break;
            if (line[pos] != ',')
                return fail(misplaced(line[pos]) == -102 ? -103 : -101);
            ++pos;
            skipSpace(line, pos, end);
            if (pos == end || line[pos] == ';' || line[pos] == ',')
                return fail(-102);
        }
    }
    const bool more = pos < end;
    if (more)
        ++pos;
    if (!common)
        m_path.assign(m_header.begin(), m_header.end() - 1);

    Call call(*this, line, query);
    call.m_parameters = m_parameters.data();
    call.m_count = int(m_parameters.size());
    std::copy(std::begin(suffixes), std::end(suffixes), call.m_suffixes);
    const qsizetype replied = m_reply.size();
    found->handler(call);
    if (call.m_waits) {
        m_reply.truncate(replied);
        pos = start;
        return Ran::Wait;
    }
    if (!call.m_failed && !call.m_counted && call.m_read < call.m_count)
        call.error(-108);
    if (call.m_failed) {
        m_reply.truncate(replied);
        // What could not be read ends the line; what could not be done is
        // said, and the next command is judged on its own.
        if (call.m_commandError)
            return Ran::End;
    }
    return more ? Ran::Next : Ran::End;
}

// Reads one parameter at `pos` into m_parameters; 0, or the error.
int Parser::readParameter(const char *line, qsizetype &pos, qsizetype end)
{
    Parameter p;
    p.begin = 0;
    p.suffixLength = 0;
    p.quote = 0;
    const char c = line[pos];
    if (isDigit(c) || c == '+' || c == '-' || c == '.') {
        qsizetype digits = c == '+' || c == '-' ? pos + 1 : pos;
        if (digits == end || !(isDigit(line[digits]) || line[digits] == '.'))
            return -120;
        // from_chars takes a minus but no plus, and no locale.
        const auto r = std::from_chars(line + (c == '-' ? pos : digits), line + end, p.number);
        if (r.ec == std::errc::result_out_of_range) {
            // Beyond what a double holds: as far out as it goes (1E400 is
            // clipped to the range like any large number), or 0 for a
            // number too small (1E-400, 0.000…1). Which it is, the power
            // of ten of its first digit that is not 0 tells.
            const QByteArrayView text(line + digits, r.ptr - (line + digits));
            const qsizetype e = std::max(text.indexOf('e'), text.indexOf('E'));
            const QByteArrayView mantissa = e >= 0 ? text.first(e) : text;
            const qsizetype point = mantissa.contains('.') ? mantissa.indexOf('.') : mantissa.size();
            qsizetype first = 0;
            while (first < mantissa.size() && (mantissa[first] < '1' || mantissa[first] > '9'))
                ++first;
            long long exponent = 0;
            if (e >= 0) {
                const char *from = text.data() + e + 1;
                const bool negative = *from == '-';
                if (std::from_chars(from + (*from == '+'), text.data() + text.size(), exponent).ec != std::errc())
                    exponent = negative ? -(1LL << 40) : 1LL << 40;
            }
            const long long power = (first < point ? point - first - 1 : point - first) + exponent;
            p.number = power < 0 ? 0.0 : std::numeric_limits<double>::infinity();
            if (c == '-')
                p.number = -p.number;
        } else if (r.ec != std::errc()) {
            return -120;
        }
        pos = r.ptr - line;
        if (pos < end && (line[pos] == '.' || isDigit(line[pos])))
            return -120;
        p.type = Parameter::Decimal;
        qsizetype unit = pos;
        skipSpace(line, unit, end);
        if (unit < end && isLetter(line[unit])) {
            pos = unit;
            while (pos < end && isLetter(line[pos]))
                ++pos;
            p.begin = quint32(unit);
            p.suffixLength = quint16(std::min<qsizetype>(pos - unit, 65535));
        }
    } else if (c == '#') {
        if (pos + 1 == end)
            return -102;
        const char kind = upper(line[pos + 1]);
        if (kind == 'H' || kind == 'Q' || kind == 'B') {
            const int base = kind == 'H' ? 16 : kind == 'Q' ? 8 : 2;
            quint64 value = 0;
            qsizetype at = pos + 2;
            for (; at < end && isMnemonicChar(line[at]); ++at) {
                const char d = upper(line[at]);
                const int digit = isDigit(d) ? d - '0' : d >= 'A' && d <= 'F' ? d - 'A' + 10 : 99;
                if (digit >= base || value > (~quint64(0) - quint64(digit)) / quint64(base))
                    return -120;
                value = value * quint64(base) + quint64(digit);
            }
            if (at == pos + 2)
                return -120;
            p.type = Parameter::NonDecimal;
            p.number = double(value);
            pos = at;
        } else if (kind == '0') {
            // The indefinite form would run to the end of the line, which
            // the client cannot know is where we look for it.
            return -161;
        } else if (kind >= '1' && kind <= '9') {
            const int digits = kind - '0';
            qsizetype at = pos + 2;
            if (end - at < digits)
                return -161;
            qint64 length = 0;
            for (const qsizetype stop = at + digits; at < stop; ++at) {
                if (!isDigit(line[at]))
                    return -161;
                length = length * 10 + (line[at] - '0');
            }
            if (end - at < length)
                return -160;
            p.type = Parameter::Block;
            p.begin = quint32(at);
            p.length = quint32(length);
            pos = at + length;
        } else {
            return -102;
        }
    } else if (c == '"' || c == '\'') {
        qsizetype at = pos + 1;
        while (true) {
            const void *quote = std::memchr(line + at, c, std::size_t(end - at));
            if (!quote)
                return -151;
            at = static_cast<const char *>(quote) - line + 1;
            if (at == end || line[at] != c)
                break;
            ++at;
        }
        p.type = Parameter::String;
        p.quote = c;
        p.begin = quint32(pos + 1);
        p.length = quint32(at - 1 - (pos + 1));
        pos = at;
    } else if (isLetter(c)) {
        qsizetype at = pos;
        while (at < end && isMnemonicChar(line[at]))
            ++at;
        p.type = Parameter::Character;
        p.begin = quint32(pos);
        p.length = quint32(at - pos);
        pos = at;
    } else {
        return misplaced(c);
    }
    m_parameters.push_back(p);
    return 0;
}

// --- common commands ---------------------------------------------------------

std::vector<Row> commonRows()
{
    const Range byte { 0, 255, 0 };
    return {
        { "*CLS", [](Call &c) { if (c.expect(0)) c.status().clear(); } },
        { "*ESE", [byte](Call &c) { int v; if (c.expect(1) && c.integer(0, byte, &v)) c.status().setEventEnable(quint8(v)); } },
        { "*ESE?", [](Call &c) { if (c.expect(0)) c.reply(int(c.status().eventEnable())); } },
        { "*ESR?", [](Call &c) { if (c.expect(0)) c.reply(int(c.status().takeEvents())); } },
        { "*OPC", [](Call &c) { if (c.expect(0)) c.operationComplete(); } },
        { "*OPC?", [](Call &c) { if (c.expect(0) && c.operationsDone()) c.replyBool(true); } },
        { "*SRE", [byte](Call &c) { int v; if (c.expect(1) && c.integer(0, byte, &v)) c.status().setServiceEnable(quint8(v)); } },
        { "*SRE?", [](Call &c) { if (c.expect(0)) c.reply(int(c.status().serviceEnable())); } },
        { "*STB?", [](Call &c) { if (c.expect(0)) c.reply(int(c.status().statusByte())); } },
        { "*TST?", [](Call &c) { if (c.expect(0)) c.reply(0); } },
        { "*WAI", [](Call &c) { if (c.expect(0)) c.operationsDone(); } },
        { "SYSTem:ERRor[:NEXT]?", [](Call &c) { if (c.expect(0)) c.replyText(c.status().errors().next()); } },
        { "SYSTem:VERSion?", [](Call &c) { if (c.expect(0)) c.replyText("1999.0"); } },
    };
}

// --- MessageReader -----------------------------------------------------------

MessageReader::MessageReader(qsizetype limit)
    : m_limit(limit)
{
}

void MessageReader::clear()
{
    *this = MessageReader(m_limit);
}

void MessageReader::keep(const char *from, qsizetype size, bool inBlock)
{
    if (size == 0)
        return;
    m_length += size;
    if (!m_skipping && m_length > m_limit) {
        m_skipping = true;
        m_buffer.truncate(m_start);
    }
    if (!m_skipping)
        m_buffer.append(from, size);
    m_carriageReturn = !inBlock && from[size - 1] == '\r';
}

void MessageReader::endMessage()
{
    if (m_skipping) {
        m_ends.push_back(-1);
        m_skipping = false;
    } else {
        if (m_carriageReturn)
            m_buffer.chop(1);
        if (m_buffer.size() > m_start)
            m_ends.push_back(m_buffer.size());
    }
    m_start = m_buffer.size();
    m_length = 0;
    m_carriageReturn = false;
}

void MessageReader::append(QByteArrayView bytes)
{
    if (m_taken > 0) {
        m_buffer.remove(0, m_taken);
        m_start -= m_taken;
        for (qsizetype &end : m_ends)
            if (end >= 0)
                end -= m_taken;
        m_taken = 0;
    }
    const char *d = bytes.data();
    const qsizetype n = bytes.size();
    // Where the next newline, quotes and # are, each found by memchr once:
    // a shape's megabytes pass at memchr's pace.
    static constexpr char stops[4] = { '\n', '"', '\'', '#' };
    qsizetype found[4] = { -1, -1, -1, -1 };
    const auto nextStop = [&](int k, qsizetype from) {
        if (found[k] < from) {
            const void *p = std::memchr(d + from, stops[k], std::size_t(n - from));
            found[k] = p ? static_cast<const char *>(p) - d : n;
        }
        return found[k];
    };
    qsizetype i = 0;
    while (i < n) {
        switch (m_state) {
        case Plain: {
            const qsizetype j = std::min({ nextStop(0, i), nextStop(1, i), nextStop(2, i), nextStop(3, i) });
            if (j == n) {
                keep(d + i, n - i, false);
                i = n;
            } else if (d[j] == '\n') {
                keep(d + i, j - i, false);
                endMessage();
                i = j + 1;
            } else {
                keep(d + i, j + 1 - i, false);
                m_state = d[j] == '#' ? BlockDigits : Quoted;
                m_quote = d[j];
                i = j + 1;
            }
            break;
        }
        case Quoted: {
            const qsizetype j = std::min(nextStop(0, i), nextStop(m_quote == '"' ? 1 : 2, i));
            if (j == n) {
                keep(d + i, n - i, false);
                i = n;
            } else if (d[j] == '\n') {
                // An unclosed string ends with its line.
                keep(d + i, j - i, false);
                m_state = Plain;
                endMessage();
                i = j + 1;
            } else {
                keep(d + i, j + 1 - i, false);
                m_state = Plain;
                i = j + 1;
            }
            break;
        }
        case BlockDigits:
            // Anything but a digit 1-9 is no block here (#0 ends with its
            // line; #H1F is a number): read it again as plain.
            m_state = Plain;
            if (d[i] >= '1' && d[i] <= '9') {
                m_digits = d[i] - '0';
                m_remaining = 0;
                m_state = BlockLength;
                keep(d + i, 1, false);
                ++i;
            }
            break;
        case BlockLength:
            m_state = Plain;
            if (isDigit(d[i])) {
                m_remaining = m_remaining * 10 + (d[i] - '0');
                m_state = --m_digits > 0 ? BlockLength : m_remaining > 0 ? BlockBytes : Plain;
                keep(d + i, 1, false);
                ++i;
            }
            break;
        case BlockBytes: {
            const qsizetype k = qsizetype(std::min<qint64>(m_remaining, n - i));
            keep(d + i, k, true);
            i += k;
            m_remaining -= k;
            if (m_remaining == 0)
                m_state = Plain;
            break;
        }
        }
    }
}

void MessageReader::finish()
{
    m_state = Plain;
    m_remaining = 0;
    endMessage();
}

MessageReader::Result MessageReader::next(QByteArray *message)
{
    if (m_ends.empty())
        return Nothing;
    const qsizetype end = m_ends.front();
    m_ends.pop_front();
    if (end < 0)
        return Overrun;
    if (m_taken == 0 && end == m_buffer.size()) {
        // The usual case, a large message above all: handed over, not copied.
        *message = std::move(m_buffer);
        m_buffer = QByteArray();
        m_start = 0;
        return Message;
    }
    *message = m_buffer.mid(m_taken, end - m_taken);
    m_taken = end;
    return Message;
}

// --- Conversation ------------------------------------------------------------

Conversation::Conversation(Parser &parser, qsizetype limit)
    : m_parser(parser)
    , m_reader(limit)
{
}

void Conversation::append(QByteArrayView bytes, bool end)
{
    m_reader.append(bytes);
    if (end)
        m_reader.finish();
}

void Conversation::run(const std::function<bool()> &hold)
{
    while (!(hold && hold())) {
        if (!m_line) {
            QByteArray message;
            const MessageReader::Result got = m_reader.next(&message);
            if (got == MessageReader::Nothing)
                return;
            if (got == MessageReader::Overrun) {
                m_parser.status().error(-363);
                continue;
            }
            m_line.emplace(std::move(message));
        }
        if (!m_parser.run(*m_line))
            return; // waits for an operation: run again when it has ended
        m_output += Parser::takeReply(*m_line);
        m_line.reset();
    }
}

void Conversation::clear()
{
    m_reader.clear();
    m_line.reset();
    m_output.clear();
}

} // namespace kd7010fp_scpi
