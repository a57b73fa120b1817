#include "kd7010fp_rpc.h"

#include <QtEndian>

#include <algorithm>

namespace kd7010fp_rpc {

namespace {

enum : quint32 {
    CallMessage = 0,
    ReplyMessage = 1,
    RpcVersion = 2,
    Accepted = 0,
    Denied = 1,
    RpcMismatch = 0,
    AuthError = 1,
    AuthNone = 0,
    AuthSys = 1,
    AuthBadCredentials = 1,
    AuthRejectedCredentials = 2,
    AuthMaximum = 400,
    LastFragment = 0x80000000u,
};

qsizetype padded(quint32 size)
{
    return (qsizetype(size) + 3) & ~qsizetype(3);
}

} // namespace

quint32 XdrReader::u32()
{
    if (!m_ok || m_bytes.size() - m_at < 4) {
        m_ok = false;
        return 0;
    }
    const quint32 value = qFromBigEndian<quint32>(m_bytes.data() + m_at);
    m_at += 4;
    return value;
}

bool XdrReader::boolean()
{
    const quint32 value = u32();
    m_ok = m_ok && value <= 1;
    return value == 1;
}

QByteArrayView XdrReader::opaque(quint32 maximum)
{
    const quint32 size = u32();
    if (size > maximum)
        m_ok = false;
    return fixed(size);
}

QByteArrayView XdrReader::fixed(quint32 size)
{
    // Compared with what is left, never added to the position first: a
    // length near 2^32 cannot wrap round.
    if (!m_ok || padded(size) > m_bytes.size() - m_at) {
        m_ok = false;
        return {};
    }
    const QByteArrayView bytes = m_bytes.sliced(m_at, size);
    m_at += padded(size);
    return bytes;
}

XdrWriter::XdrWriter()
    : m_bytes(4, '\0')
{
}

void XdrWriter::u32(quint32 value)
{
    const quint32 big = qToBigEndian(value);
    m_bytes.append(reinterpret_cast<const char *>(&big), 4);
}

void XdrWriter::opaque(QByteArrayView bytes)
{
    u32(quint32(bytes.size()));
    m_bytes.append(bytes);
    m_bytes.append(padded(quint32(bytes.size())) - bytes.size(), '\0');
}

QByteArray XdrWriter::record()
{
    qToBigEndian<quint32>(quint32(m_bytes.size() - 4) | LastFragment, m_bytes.data());
    return std::move(m_bytes);
}

bool RecordReader::append(QByteArrayView bytes)
{
    while (!m_broken && !bytes.isEmpty()) {
        if (m_headerBytes < 4) {
            const qsizetype n = std::min<qsizetype>(4 - m_headerBytes, bytes.size());
            std::copy_n(bytes.data(), n, m_header + m_headerBytes);
            m_headerBytes += int(n);
            bytes = bytes.sliced(n);
            if (m_headerBytes < 4)
                break;
            const quint32 header = qFromBigEndian<quint32>(m_header);
            m_remaining = header & ~LastFragment;
            m_last = header & LastFragment;
            if (qint64(m_remaining) > m_limit - m_record.size()) {
                m_broken = true;
                m_record = QByteArray();
                break;
            }
        }
        const qsizetype n = std::min<qsizetype>(m_remaining, bytes.size());
        m_record.append(bytes.first(n));
        bytes = bytes.sliced(n);
        m_remaining -= quint32(n);
        if (m_remaining == 0) {
            m_headerBytes = 0;
            if (m_last)
                m_records.push_back(std::exchange(m_record, QByteArray()));
        }
    }
    return !m_broken;
}

bool RecordReader::next(QByteArray *record)
{
    if (m_records.empty())
        return false;
    *record = std::move(m_records.front());
    m_records.pop_front();
    return true;
}

qsizetype RecordReader::buffered() const
{
    qsizetype held = m_record.size();
    for (const QByteArray &record : m_records)
        held += record.size();
    return held;
}

Received readCall(QByteArrayView record, Call *call, QByteArray *refusal)
{
    XdrReader in(record);
    call->xid = in.u32();
    if (in.u32() != CallMessage || !in.ok())
        return Received::Ignored;
    const quint32 rpcVersion = in.u32();
    call->program = in.u32();
    call->version = in.u32();
    call->procedure = in.u32();
    const quint32 credentials = in.u32();
    in.opaque(AuthMaximum);
    const quint32 verifier = in.u32();
    in.opaque(AuthMaximum);
    call->arguments = in.rest();

    XdrWriter out;
    out.u32(call->xid);
    out.u32(ReplyMessage);
    out.u32(Denied);
    if (rpcVersion != RpcVersion) {
        out.u32(RpcMismatch);
        out.u32(RpcVersion);
        out.u32(RpcVersion);
    } else if (!in.ok()) {
        out.u32(AuthError);
        out.u32(AuthBadCredentials);
    } else if ((credentials != AuthNone && credentials != AuthSys) || (verifier != AuthNone && verifier != AuthSys)) {
        out.u32(AuthError);
        out.u32(AuthRejectedCredentials);
    } else {
        return Received::Call;
    }
    *refusal = out.record();
    return Received::Refused;
}

void writeReply(XdrWriter &out, quint32 xid, AcceptStat stat)
{
    out.u32(xid);
    out.u32(ReplyMessage);
    out.u32(Accepted);
    out.u32(AuthNone);
    out.u32(0);
    out.u32(stat);
}

QByteArray reply(quint32 xid, AcceptStat stat, quint32 lowVersion, quint32 highVersion)
{
    XdrWriter out;
    writeReply(out, xid, stat);
    if (stat == ProgramMismatch) {
        out.u32(lowVersion);
        out.u32(highVersion);
    }
    return out.record();
}

} // namespace kd7010fp_rpc
