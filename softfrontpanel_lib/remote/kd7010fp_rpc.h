// ONC RPC over TCP as a LAN instrument's clients speak it: XDR values, the
// record marking that cuts a stream into records, and the call and reply
// headers. No sockets here: the VXI-11 server, the tests and the fuzzer
// drive the same code.
//
// Whatever a peer sends, nothing here allocates more than the bounds its
// user gives: a record beyond the record limit breaks the stream, and an
// opaque or string longer than its maximum, or longer than what is left of
// the record, fails the decoding. Decoded opaques are views into the record,
// so a long device_write is never copied on the way in.
#ifndef KD7010FP_RPC_H
#define KD7010FP_RPC_H

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <deque>

namespace kd7010fp_rpc {

// Reads XDR's big-endian 4-byte units. A read past the end, or an opaque
// beyond its maximum, fails the reader for good: ok() says so, and every
// later read gives 0 or nothing.
class XdrReader
{
public:
    explicit XdrReader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }

    quint32 u32();
    qint32 i32() { return qint32(u32()); }
    bool boolean(); // 0 or 1; anything else fails
    // A variable-length opaque or string of at most `maximum` bytes, its
    // padding skipped; a view into the bytes read.
    QByteArrayView opaque(quint32 maximum);
    // Fixed-length: exactly `size` bytes and their padding.
    QByteArrayView fixed(quint32 size);
    QByteArrayView rest() const { return m_ok ? m_bytes.sliced(m_at) : QByteArrayView(); }
    bool ok() const { return m_ok; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// Writes a record: its 4-byte mark first, filled in by record().
class XdrWriter
{
public:
    XdrWriter();
    void u32(quint32 value);
    void i32(qint32 value) { u32(quint32(value)); }
    void opaque(QByteArrayView bytes); // length, bytes, padding
    // The record as one last fragment, its mark in front.
    QByteArray record();

private:
    QByteArray m_bytes;
};

// Cuts a byte stream into records. Each fragment has a 4-byte header: its
// length in the low 31 bits, the top bit set on a record's last fragment.
// A record whose fragments add up to more than the limit breaks the stream
// (append() returns false from then on): the connection is to be closed.
// Fragments cost nothing but their bytes, so an endless run of empty ones
// holds no memory.
class RecordReader
{
public:
    explicit RecordReader(qsizetype limit)
        : m_limit(limit)
    {
    }

    bool append(QByteArrayView bytes);
    // The oldest whole record, taken out; false when there is none.
    bool next(QByteArray *record);
    bool broken() const { return m_broken; }
    // Bytes held: whole records not yet taken and the one being read.
    qsizetype buffered() const;

private:
    qsizetype m_limit;
    std::deque<QByteArray> m_records;
    QByteArray m_record; // being read
    char m_header[4];
    int m_headerBytes = 0;
    quint32 m_remaining = 0; // of the fragment being read
    bool m_last = false;
    bool m_broken = false;
};

enum AcceptStat : quint32 {
    Success = 0,
    ProgramUnavailable = 1,
    ProgramMismatch = 2,
    ProcedureUnavailable = 3,
    GarbageArguments = 4,
    SystemError = 5,
};

struct Call
{
    quint32 xid = 0;
    quint32 program = 0;
    quint32 version = 0;
    quint32 procedure = 0;
    QByteArrayView arguments; // into the record
};

// What a record holds for a server.
enum class Received {
    Call, // a call to answer
    Refused, // a call refused before its program saw it: the reply is made
    Ignored, // not a call (a reply, garbage too short to hold an xid): no answer
};

// Reads a call's header: RPC version 2, AUTH_NONE or AUTH_SYS credentials
// of at most 400 bytes. A call with another RPC version or another kind of
// credentials gets its refusal in `refusal`.
Received readCall(QByteArrayView record, Call *call, QByteArray *refusal);

// An accepted reply's header (AUTH_NONE verifier, `stat`); the results, if
// any, follow in the same writer. ProgramMismatch carries the versions.
void writeReply(XdrWriter &out, quint32 xid, AcceptStat stat = Success);
QByteArray reply(quint32 xid, AcceptStat stat, quint32 lowVersion = 0, quint32 highVersion = 0);

} // namespace kd7010fp_rpc

#endif
