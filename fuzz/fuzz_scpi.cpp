// Remote commands: any bytes, as one message and cut into messages in pieces
// of any size, against a command set using every reader of parameters and
// every kind of reply. A number taken must lie within its range, a reply line
// must end with its newline, the reader must hold no more than its limit and
// a piece, and the error queue must keep its bound and its comma-free texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kd7010fp_scpi.h"

using namespace kd7010fp_scpi;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

std::vector<Row> rows()
{
    const Range frequency { 1, 1e6, 1e3 };
    const Range volts { -5, 5, 0 };
    const Range phase { 0, 359.99, 0, 360 };
    const Range sample { -1, 1, 0 };
    return {
        { "[SOURce#]:FREQuency", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Hertz, frequency, &v)) check(v >= 1 && v <= 1e6); } },
        { "[SOURce#]:FREQuency?", [](Call &c) { c.reply(1e3 * c.suffix()); } },
        { "[SOURce#]:VOLTage[:LEVel][:IMMediate][:AMPLitude]", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Volt, volts, &v)) check(v >= -5 && v <= 5); } },
        { "[SOURce#]:VOLTage:OFFSet?", [](Call &c) { if (c.expect(0)) c.reply(-2.5); } },
        { "[SOURce#]:PHASe", [=](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Degree, phase, &v)) check(v >= 0 && v <= 359.99); } },
        { "[SOURce#]:FUNCtion:SQUare:DCYCle", [](Call &c) { double v; if (c.expect(1) && c.number(0, Unit::Percent, { 1, 99, 50 }, &v)) check(v >= 1 && v <= 99); } },
        { "[SOURce#]:FUNCtion[:SHAPe]", [](Call &c) { int v; if (c.expect(1) && c.choice(0, { "SINusoid", "SQUare", "RAMP" }, &v)) check(v >= 0 && v < 3); } },
        { "[SOURce#]:FUNCtion[:SHAPe]?", [](Call &c) { c.replyText("SIN"); } },
        { "OUTPut#", [](Call &c) { bool v; if (c.expect(1) && c.boolean(0, &v)) check(c.suffix() >= 1 && c.suffix() <= 2); } },
        { "OUTPut#?", [](Call &c) { c.replyBool(c.suffix() == 2); } },
        { "BURSt:NCYCles", [](Call &c) { int v; if (c.expect(1, 2) && c.integer(0, { 1, 1024, 1 }, &v)) check(v >= 1 && v <= 1024); } },
        { "BURSt:TIME", [](Call &c) { double v; if (c.number(0, Unit::Second, { 0, 10, 1 }, &v)) check(v >= 0 && v <= 10); } },
        { "DISPlay:TEXT", [](Call &c) { QByteArray v; if (c.expect(1) && c.text(0, &v)) c.replyString(v); } },
        { "DATA:DAC", [](Call &c) { QByteArrayView v; if (c.expect(1) && c.block(0, &v)) c.reply(int(v.size())); } },
        { "DATA:COPY", [](Call &c) { QByteArray v; if (c.expect(1) && c.block(0, &v)) c.replyString(v); } },
        { "DATA:ARBitrary", [=](Call &c) {
              QByteArray name;
              std::vector<double> v;
              if (c.expect(2, 1 << 20) && c.text(0, &name) && c.numbers(1, Unit::None, sample, &v))
                  for (const double x : v)
                      check(x >= -1 && x <= 1);
          } },
        { "*IDN?", [](Call &c) { c.replyString("Fuzz,\"card\",0,1"); } },
        { "DRIVer:FAIL", [](Call &c) { c.error(-200, "driver says: a, \"b\"\n"); } },
    };
}

void checkQueue(Status &status)
{
    ErrorQueue &queue = status.errors();
    check(queue.count() <= ErrorQueue::capacity);
    check(bool(status.statusByte() & Status::ErrorQueueNotEmpty) == (queue.count() > 0));
    while (queue.count() > 0) {
        const QByteArray entry = queue.next();
        const qsizetype comma = entry.indexOf(',');
        check(comma > 1 && (entry[0] == '-' || entry[0] == '+'));
        check(entry.indexOf(',', comma + 1) < 0 && entry.count('"') == 2 && entry.endsWith('"'));
        check(entry.indexOf('\n') < 0);
    }
}

void checkReply(const QByteArray &reply)
{
    check(reply.isEmpty() || reply.endsWith('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static bool busy = false;
    static Parser *parser = [] {
        auto *p = new Parser(2);
        p->add(commonRows());
        p->add(rows());
        p->setBusy([] { return busy; });
        return p;
    }();
    if (size == 0)
        return 0;
    // The first byte chooses the pieces and the limit.
    const qsizetype piece = 1 + data[0] % 64;
    const qsizetype limit = 16 + (data[0] >> 2) * 4;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    checkReply(parser->execute(bytes));
    checkQueue(parser->status());

    MessageReader reader(limit);
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArrayView part = bytes.sliced(at, std::min(piece, bytes.size() - at));
        reader.append(part);
        check(reader.buffered() <= limit + part.size());
        QByteArray message;
        for (MessageReader::Result r; (r = reader.next(&message)) != MessageReader::Nothing;) {
            if (r == MessageReader::Overrun) {
                parser->status().error(-363);
                continue;
            }
            check(message.size() <= limit);
            checkReply(parser->execute(message));
        }
    }
    checkQueue(parser->status());

    // Two clients in turns, their pieces ended by END or not and an operation
    // starting and ending as the bytes say: a waiting line goes on once it
    // has ended, and nothing is left waiting.
    Conversation clients[2] = { Conversation(*parser, limit), Conversation(*parser, limit) };
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArrayView part = bytes.sliced(at, std::min(piece, bytes.size() - at));
        Conversation &client = clients[(at / piece) % 2];
        busy = part[0] & 1;
        client.append(part, part[0] & 2);
        client.run();
        checkReply(client.output());
        client.output().clear();
    }
    busy = false;
    for (Conversation &client : clients) {
        client.run();
        check(!client.waiting() && !client.hasInput());
        checkReply(client.output());
    }
    checkQueue(parser->status());
    parser->status().clear();
    return 0;
}
