// RPC records from a hostile peer: any bytes, cut into pieces of any size,
// through the record marking, the call header and every VXI-11 procedure's
// arguments. The reader must hold no more than its limit and a piece, a
// record no more than the limit, a decoded opaque must lie inside its record
// and within its bound, and every reply must be a whole last fragment.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QtEndian>

#include "kd7010fp_rpc.h"
#include "kd7010fp_vxi11.h"

using namespace kd7010fp_rpc;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkRecord(const QByteArray &reply)
{
    check(reply.size() >= 4 && reply.size() % 4 == 0);
    check(qFromBigEndian<quint32>(reply.constData()) == (quint32(reply.size() - 4) | 0x80000000u));
}

bool inside(QByteArrayView part, const QByteArray &whole)
{
    return part.isEmpty()
        || (part.data() >= whole.constData() && part.data() + part.size() <= whole.constData() + whole.size());
}

void serve(const QByteArray &record, quint32 maxData)
{
    Call call;
    QByteArray refusal;
    const Received got = readCall(record, &call, &refusal);
    if (got == Received::Refused)
        checkRecord(refusal);
    if (got != Received::Call)
        return;
    check(inside(call.arguments, record));
    kd7010fp_vxi11::Arguments a;
    // Both programs, whichever the header named: the fuzzer need not find
    // the program numbers to reach every procedure.
    for (const quint32 program : { quint32(kd7010fp_vxi11::CoreProgram), quint32(kd7010fp_vxi11::AbortProgram) }) {
        if (!kd7010fp_vxi11::readArguments(program, call.procedure, call.arguments, maxData, &a))
            continue;
        check(inside(a.data, record));
        check(a.data.size() <= qsizetype(std::max<quint32>(maxData, kd7010fp_vxi11::maxDeviceName)));
        checkRecord(kd7010fp_vxi11::readReply(call.xid, 0, kd7010fp_vxi11::EndOfMessage, a.data));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the pieces, the record limit and the bound of
    // a write's data.
    const qsizetype piece = 1 + data[0] % 32;
    const qsizetype limit = 8 + (data[0] >> 3) * 16;
    const quint32 maxData = 1 + data[0] % 61;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    // The bytes as one record, and as a stream.
    serve(bytes.toByteArray(), maxData);
    RecordReader reader(limit);
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArrayView part = bytes.sliced(at, std::min(piece, bytes.size() - at));
        const bool whole = reader.append(part);
        check(whole == !reader.broken());
        check(reader.buffered() <= limit + part.size());
        for (QByteArray record; reader.next(&record);) {
            check(record.size() <= limit);
            serve(record, maxData);
        }
    }
    return 0;
}
