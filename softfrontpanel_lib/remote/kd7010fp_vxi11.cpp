#include "kd7010fp_vxi11.h"

namespace kd7010fp_vxi11 {

using kd7010fp_rpc::XdrReader;
using kd7010fp_rpc::XdrWriter;

bool readArguments(quint32 program, quint32 procedure, QByteArrayView bytes, quint32 maxData, Arguments *a)
{
    XdrReader in(bytes);
    if (program == AbortProgram) {
        a->link = in.i32();
        return in.ok();
    }
    switch (procedure) {
    case CreateLink:
        in.i32(); // the client's id, for its own use
        a->lockDevice = in.boolean();
        a->lockTimeout = in.u32();
        a->data = in.opaque(maxDeviceName);
        break;
    case DeviceWrite:
        a->link = in.i32();
        a->ioTimeout = in.u32();
        a->lockTimeout = in.u32();
        a->flags = in.i32();
        a->data = in.opaque(maxData);
        break;
    case DeviceRead:
        a->link = in.i32();
        a->requestSize = in.u32();
        a->ioTimeout = in.u32();
        a->lockTimeout = in.u32();
        a->flags = in.i32();
        a->termChar = char(in.i32()); // an XDR char travels as a whole unit
        break;
    case DeviceReadStb:
    case DeviceTrigger:
    case DeviceClear:
    case DeviceRemote:
    case DeviceLocal:
        a->link = in.i32();
        a->flags = in.i32();
        a->lockTimeout = in.u32();
        a->ioTimeout = in.u32();
        break;
    case DeviceLock:
        a->link = in.i32();
        a->flags = in.i32();
        a->lockTimeout = in.u32();
        break;
    case DeviceUnlock:
    case DestroyLink:
        a->link = in.i32();
        break;
    default: // answered "not supported" whatever they hold
        break;
    }
    return in.ok();
}

namespace {

// Every VXI-11 reply starts with the RPC's accepted reply and the error.
XdrWriter replyHead(quint32 xid, qint32 error)
{
    XdrWriter out;
    kd7010fp_rpc::writeReply(out, xid);
    out.i32(error);
    return out;
}

} // namespace

QByteArray errorReply(quint32 xid, qint32 error)
{
    return replyHead(xid, error).record();
}

QByteArray createLinkReply(quint32 xid, qint32 error, qint32 link, quint16 abortPort, quint32 maxRecvSize)
{
    XdrWriter out = replyHead(xid, error);
    out.i32(link);
    out.u32(abortPort);
    out.u32(maxRecvSize);
    return out.record();
}

QByteArray writeReply(quint32 xid, qint32 error, quint32 size)
{
    XdrWriter out = replyHead(xid, error);
    out.u32(size);
    return out.record();
}

QByteArray readReply(quint32 xid, qint32 error, qint32 reason, QByteArrayView data)
{
    XdrWriter out = replyHead(xid, error);
    out.i32(reason);
    out.opaque(data);
    return out.record();
}

QByteArray readStbReply(quint32 xid, qint32 error, quint8 statusByte)
{
    XdrWriter out = replyHead(xid, error);
    out.u32(statusByte);
    return out.record();
}

QByteArray docmdReply(quint32 xid, qint32 error)
{
    XdrWriter out = replyHead(xid, error);
    out.opaque({});
    return out.record();
}

} // namespace kd7010fp_vxi11
