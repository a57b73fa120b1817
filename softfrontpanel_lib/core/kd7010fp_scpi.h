// SCPI, the command language of test instruments, as the panel answers it on
// its remote socket. No sockets and no widgets here: the server, the tests and
// the fuzzer drive the same code.
//
// A command set is a table of rows: a header written the way an instrument
// manual writes it, and a handler making one call of the model.
//
//     using namespace kd7010fp_scpi;
//     Parser parser(2);              // channel suffixes 1..2
//     parser.add(commonRows());      // *CLS, *ESR?, SYSTem:ERRor? ...
//     parser.add({
//         { "[SOURce#]:FREQuency", [&](Call &c) {
//               double hz;
//               if (c.expect(1) && c.number(0, Unit::Hertz, { 1, 1e5, 1e3 }, &hz))
//                   model.setFrequency(hz); } },
//         { "[SOURce#]:FREQuency?", [&](Call &c) { if (c.expect(0)) c.reply(model.frequency()); } },
//         { "OUTPut#", [&](Call &c) {
//               bool on;
//               if (c.expect(1) && c.boolean(0, &on)) model.setOutput(c.suffix(0), on); } },
//     });
//     parser.execute("SOUR2:FREQ 1.5KHZ;FREQ?");    // "+1.50000000000000E+03\n"
//
// Headers: capitals are the short form, the whole word the long form
// (FREQuency takes FREQ and FREQUENCY in any case, nothing in between);
// `[...]` is a node that may be left out, `#` a numeric suffix (1 when left
// out), a trailing `?` the query form, `*XXX` a common command. Rows are
// tried in order; the first whose header matches runs.
//
// A program message is one line of commands separated by `;`. After a `;` the
// header goes on from where the last one left off (its header less its last
// mnemonic), a leading `:` starts again from the root, and common commands
// leave the place alone. A handler runs only once its header and all its
// parameters have been read whole, and is expected to check them all
// (expect() first) before it changes anything. A command error (-1xx: what
// was sent cannot be read) ends the line there, as IEEE 488.2 allows; an
// execution error (-2xx: read, but not done) is queued and the line goes on
// with the next command, so a `;*OPC?` at its end is always answered. The
// replies of the line's queries come back as one line.
//
// *WAI and *OPC? wait for the operations under way (setBusy()): a line that
// meets one while one runs stops there and goes on where it stopped when it
// is run again (Parser::run, Conversation).
#ifndef KD7010FP_SCPI_H
#define KD7010FP_SCPI_H

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

namespace kd7010fp_scpi {

// The quantity a number is given in, with the suffixes it takes: Hertz HZ
// KHZ MHZ (mega), Volt V MV, Degree DEG, Percent PCT, Second S MS US. A
// suffix is never required; None takes none.
enum class Unit { None, Hertz, Volt, Degree, Percent, Second };

// What a number may be, and what MINimum, MAXimum and DEFault stand for. With
// a period, values are first brought round into [minimum, minimum + period),
// as a phase box does (450 deg is 90 deg).
struct Range
{
    double minimum = 0;
    double maximum = 0;
    double byDefault = 0;
    double period = 0;
};

// The error codes and their texts, as SCPI numbers them.
const char *errorText(int code);

// The instrument's error queue: SYSTem:ERRor? takes from it. Entries read
// `<code>,"<message>"`; messages never carry a comma, since some clients
// split the whole entry on commas.
class ErrorQueue
{
public:
    static constexpr int capacity = 20;

    // Queues `code` with its standard text, followed by `detail` when given.
    // A full queue keeps its first entries and turns its last into -350.
    void push(int code, QByteArrayView detail = {});
    // The oldest entry, taken out; `+0,"No error"` when there is none.
    QByteArray next();
    int count() const { return int(m_entries.size()); }
    void clear() { m_entries.clear(); }

private:
    std::deque<QByteArray> m_entries;
};

// IEEE 488.2 status: the event register and its enable mask, the service
// request enable mask and the status byte made of them and the error queue.
class Status
{
public:
    enum Event : quint8 {
        OperationComplete = 0x01,
        QueryError = 0x04,
        DeviceError = 0x08,
        ExecutionError = 0x10,
        CommandError = 0x20,
    };
    enum Summary : quint8 {
        ErrorQueueNotEmpty = 0x04,
        EventSummary = 0x20,
        MasterSummary = 0x40,
    };

    // Queues an error and sets the event bit of its class.
    void error(int code, QByteArrayView detail = {});
    ErrorQueue &errors() { return m_errors; }

    void setEvents(quint8 events) { m_events |= events; }
    quint8 events() const { return m_events; }
    quint8 takeEvents(); // reads and clears, as *ESR? does
    void setEventEnable(quint8 mask) { m_eventEnable = mask; }
    quint8 eventEnable() const { return m_eventEnable; }
    void setServiceEnable(quint8 mask) { m_serviceEnable = mask & ~MasterSummary; }
    quint8 serviceEnable() const { return m_serviceEnable; }
    quint8 statusByte() const;
    // *CLS: the events and the error queue.
    void clear();

private:
    ErrorQueue m_errors;
    quint8 m_events = 0;
    quint8 m_eventEnable = 0;
    quint8 m_serviceEnable = 0;
};

// One parameter as the line holds it. Light, since a shape brings hundreds of
// thousands of them; handlers read them through Call.
struct Parameter
{
    enum Type : quint8 { Decimal, NonDecimal, Character, String, Block };
    union {
        double number; // Decimal (unscaled), NonDecimal
        quint32 length; // Character, String (between the quotes), Block
    };
    quint32 begin; // Decimal: its suffix; the others: their text
    quint16 suffixLength; // Decimal; saturates
    Type type;
    char quote; // String
};

class Parser;

// One command being carried out: its suffixes, its parameters and its
// replies. The readers queue their error themselves and return false.
class Call
{
public:
    bool isQuery() const { return m_query; }
    // The numeric suffix of the pattern's `i`-th `#` node, 1 when left out.
    int suffix(int i = 0) const;

    int count() const { return m_count; }
    // Exactly `count`, or `least` to `most`, parameters: fewer is -109,
    // more -108. A handler that checks no count and leaves parameters
    // unread is answered -108 after it ran, too late to refuse: check first.
    bool expect(int count) { return expect(count, count); }
    bool expect(int least, int most);

    // A number, in the base unit of `unit`; beyond `range` it becomes the
    // nearest end and is taken, as the window's boxes take it, -222 queued,
    // and the rest of the line goes on.
    bool number(int index, Unit unit, const Range &range, double *value);
    // The numbers from `from` to the last parameter (at least one), without
    // a call per number: a shape's samples.
    bool numbers(int from, Unit unit, const Range &range, std::vector<double> *values);
    // A whole number: rounded, then as number().
    bool integer(int index, const Range &range, int *value);
    // ON, OFF or a number (nonzero is true).
    bool boolean(int index, bool *value);
    // A query's parameters: none, and true (the handler replies the value
    // it has), or one MINimum, MAXimum or DEFault, answered from `range` in
    // its place, and false; anything else is an error, and false.
    bool expectQuery(const Range &range);
    // For *WAI and *OPC?: true when no operation is under way; otherwise the
    // line stops before this command and goes on from it when run again
    // (a caller that cannot wait, execute(), is told true at once).
    bool operationsDone();
    // For *OPC: the operation-complete event, set now or, while busy, once
    // the operations under way have ended.
    void operationComplete();

    // Whether parameter `index` is the character data `mnemonic` ("INFinity"),
    // or a block, without a word to the error queue.
    bool isMnemonic(int index, const char *mnemonic) const;
    bool isBlock(int index) const;
    // Character data matching one of `mnemonics` (written as in a pattern,
    // "SINusoid"): `which` is its index.
    bool choice(int index, std::initializer_list<const char *> mnemonics, int *which);
    // A string or character data.
    bool text(int index, QByteArray *value);
    // A definite-length block. The view lasts as long as the handler.
    bool block(int index, QByteArray *value);
    bool block(int index, QByteArrayView *value);

    // Replies: values of one command are separated by `,`, the commands of a
    // line by `;`.
    void reply(double value); // +1.00000000000000E+03
    void reply(int value); // +0
    void replyBool(bool value); // 0 or 1
    void replyText(QByteArrayView text); // as it is
    void replyString(QByteArrayView text); // quoted

    // Queues `code` (with `detail`) and stops the line; the command's
    // replies are dropped. Returns false.
    bool error(int code, QByteArrayView detail = {});
    Status &status();

private:
    friend class Parser;
    Call(Parser &parser, const char *line, bool query);

    const Parameter *parameter(int index);
    bool numberOf(const Parameter &p, Unit unit, const Range &range, double *value);
    std::optional<double> namedValue(const Parameter &p, const Range &range) const;
    void startValue();

    Parser &m_parser;
    const char *m_line;
    const Parameter *m_parameters = nullptr;
    int m_count = 0;
    int m_read = 0; // parameters looked at
    bool m_counted = false;
    bool m_query;
    bool m_failed = false;
    bool m_replied = false;
    bool m_clipped = false; // a value was brought within its range: said once
    bool m_commandError = false; // the failure was a -1xx: the line ends
    bool m_waits = false; // stopped before *WAI or *OPC?: the line waits
    int m_suffixes[4] = { 1, 1, 1, 1 };
};

struct Row
{
    const char *pattern;
    std::function<void(Call &)> handler;
};

// *CLS, *ESE, *ESE?, *ESR?, *OPC, *OPC?, *SRE, *SRE?, *STB?, *TST?, *WAI,
// SYSTem:ERRor[:NEXT]? and SYSTem:VERSion?. The card's own *IDN?, *RST and
// *TRG belong to its table.
std::vector<Row> commonRows();

class Parser
{
public:
    // Suffixes run from 1 to `maxSuffix`.
    explicit Parser(int maxSuffix = 1);
    ~Parser();
    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;

    // Adds rows after those there; a malformed pattern is a programming
    // error and ends the program.
    void add(const std::vector<Row> &rows);

    // Carries out one program message whole; returns the reply line, ending
    // in "\n", or nothing when the line asked nothing. *WAI and *OPC? do not
    // wait here.
    QByteArray execute(QByteArrayView message);

    // Whether an operation is under way that *WAI and *OPC? wait for (a
    // triggered burst playing its cycles); none by default.
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    bool busy() const { return m_busy && m_busy(); }
    // The operations under way have ended: an *OPC sent meanwhile sets the
    // event it promised.
    void operationsCompleted();

    struct Mnemonic
    {
        const char *text;
        int length; // without the suffix
        int suffix; // -1: none typed
    };
    // A program message being carried out, kept whole while it waits.
    struct Line
    {
        explicit Line(QByteArray text)
            : text(std::move(text))
        {
        }
        QByteArray text; // never changed, so the path may point into it
        qsizetype pos = 0; // the next command
        std::vector<Mnemonic> path;
        QByteArray reply; // of the commands run so far
    };
    // Runs `line` from where it stands: true when it has ended (its reply,
    // "\n" included when there is one, taken with takeReply()), false when
    // it stopped at *WAI or *OPC? while busy(), to go on from there.
    bool run(Line &line);
    static QByteArray takeReply(Line &line);

    Status &status() { return m_status; }

private:
    friend class Call;
    struct Node;
    struct Pattern;

    enum class Ran { Next, End, Wait };
    bool runLine(Line &line, bool mayWait);
    Ran runCommand(const char *line, qsizetype &pos, qsizetype end);
    int readParameter(const char *line, qsizetype &pos, qsizetype end);
    int match(const Pattern &pattern, int node, int typed, int *suffixes) const;

    int m_maxSuffix;
    std::vector<Pattern> m_patterns;
    Status m_status;
    std::function<bool()> m_busy;
    bool m_mayWait = false; // the line under way can wait (run(), not execute())
    bool m_opcPending = false; // *OPC was sent while busy
    // Kept from line to line so that long lines cost no allocations.
    std::vector<Mnemonic> m_path;
    std::vector<Mnemonic> m_header;
    std::vector<Parameter> m_parameters;
    QByteArray m_reply;
};

// Cuts the byte stream of a connection into program messages. A message ends
// at a newline, a trailing carriage return dropped; a definite-length block
// (#<n><length><bytes>) is read by its length whatever it holds, newlines
// included, and quotes hide what they enclose.
//
// A message longer than the limit is refused as a whole: next() says Overrun
// in its place (error -363 for the parser) and the rest of it, up to its
// newline, is skipped unread. The default, 8 MiB, holds a shape of 262143
// samples written with up to 31 characters and a separator each (a
// 15-decimal sample with its comma and space takes 20). The reader holds no
// more than the limit plus what one append() brings.
class MessageReader
{
public:
    static constexpr qsizetype defaultLimit = qsizetype(8) << 20;
    enum Result { Nothing, Message, Overrun };

    explicit MessageReader(qsizetype limit = defaultLimit);

    void append(QByteArrayView bytes);
    // Ends the message being read here, as a newline would, whatever it is
    // in (VXI-11's END; a block cut short is then the parser's to refuse).
    void finish();
    Result next(QByteArray *message);
    // Bytes held: whole messages not yet taken and the one being read.
    qsizetype buffered() const { return m_buffer.size() - m_taken; }
    // A whole message (or an overrun) waits to be taken.
    bool hasMessage() const { return !m_ends.empty(); }
    void clear();

private:
    enum State : quint8 { Plain, Quoted, BlockDigits, BlockLength, BlockBytes };

    void keep(const char *from, qsizetype size, bool inBlock);
    void endMessage();

    qsizetype m_limit;
    QByteArray m_buffer;
    qsizetype m_taken = 0; // bytes of m_buffer already handed out
    qsizetype m_start = 0; // where the message being read starts
    qsizetype m_length = 0; // its length so far, skipped bytes too
    bool m_skipping = false;
    bool m_carriageReturn = false; // it ends in a '\r' outside any block
    std::deque<qsizetype> m_ends; // of the whole messages; -1: an overrun
    State m_state = Plain;
    char m_quote = 0;
    int m_digits = 0;
    qint64 m_remaining = 0;
};

// One client's conversation with the instrument: its own unread input and
// unread output, over the one parser every client shares (one error queue,
// one status byte, as one instrument has). No sockets: each transport feeds
// it the bytes its client sends and sends back what output() holds.
class Conversation
{
public:
    explicit Conversation(Parser &parser, qsizetype limit = MessageReader::defaultLimit);

    // Bytes as they come. A newline outside blocks and strings ends a
    // message; `end` (VXI-11's END) ends the message at the last byte too.
    void append(QByteArrayView bytes, bool end = false);
    // Runs the whole messages that can run now, their replies appended to
    // output(); stops early while `hold()` is true (a modal window is open)
    // or when a line waits at *WAI or *OPC? for an operation (waiting()).
    void run(const std::function<bool()> &hold = {});
    // A line waits for an operation to complete.
    bool waiting() const { return m_line.has_value(); }
    // Whole messages not yet run, or a line that waits.
    bool hasInput() const { return m_line.has_value() || m_reader.hasMessage(); }
    // Bytes of input not yet run: whole messages and the one being read.
    qsizetype buffered() const { return m_reader.buffered(); }
    // Replies the client has not read yet.
    QByteArray &output() { return m_output; }
    // Device clear: unread input, the waiting line and unread output dropped.
    void clear();

private:
    Parser &m_parser;
    MessageReader m_reader;
    std::optional<Parser::Line> m_line;
    QByteArray m_output;
};

} // namespace kd7010fp_scpi

#endif
