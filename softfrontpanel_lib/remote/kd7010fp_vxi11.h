// The messages of VXI-11, the ONC RPC protocol by which VISA libraries open
// a LAN instrument as TCPIP::host::inst0::INSTR: the core channel (links,
// writes, reads, status byte, trigger, clear, locks), the abort channel,
// and the numbers both use. Read with kd7010fp_rpc's XDR reader; a message
// that does not decode whole is the caller's GARBAGE_ARGS.
#ifndef KD7010FP_VXI11_H
#define KD7010FP_VXI11_H

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include "kd7010fp_rpc.h"

namespace kd7010fp_vxi11 {

enum : quint32 {
    CoreProgram = 0x0607AF,
    AbortProgram = 0x0607B0,
    Version = 1,
};

enum Procedure : quint32 {
    DeviceAbort = 1, // abort channel
    CreateLink = 10,
    DeviceWrite = 11,
    DeviceRead = 12,
    DeviceReadStb = 13,
    DeviceTrigger = 14,
    DeviceClear = 15,
    DeviceRemote = 16,
    DeviceLocal = 17,
    DeviceLock = 18,
    DeviceUnlock = 19,
    DeviceEnableSrq = 20,
    DeviceDocmd = 22,
    DestroyLink = 23,
    CreateInterruptChannel = 25,
    DestroyInterruptChannel = 26,
};

enum Error : qint32 {
    NoError = 0,
    SyntaxError = 1,
    DeviceNotAccessible = 3,
    InvalidLink = 4,
    ParameterError = 5,
    OperationNotSupported = 8,
    OutOfResources = 9,
    LockedByAnotherLink = 11,
    NoLockHeld = 12,
    IoTimeout = 15,
    IoError = 17,
    Aborted = 23,
};

enum Flag : qint32 {
    WaitLock = 0x01,
    End = 0x08,
    TermCharSet = 0x80,
};

// Why a read returned: its bits may combine.
enum Reason : qint32 {
    RequestCount = 0x01,
    TermChar = 0x02,
    EndOfMessage = 0x04,
};

// What a call's arguments hold; each procedure reads the fields it has.
struct Arguments
{
    qint32 link = 0;
    qint32 flags = 0;
    quint32 lockTimeout = 0; // ms
    quint32 ioTimeout = 0; // ms
    quint32 requestSize = 0; // device_read
    char termChar = 0; // device_read
    bool lockDevice = false; // create_link
    QByteArrayView data; // device_write's bytes, create_link's device name
};

// Device names of at most this many characters are read; a longer one is
// no device of ours.
constexpr quint32 maxDeviceName = 256;

// Reads procedure `procedure`'s arguments; false when they do not decode
// (`maxData` bounds device_write's data). Procedures without arguments
// read none.
bool readArguments(quint32 program, quint32 procedure, QByteArrayView bytes, quint32 maxData, Arguments *arguments);

// Replies, each a whole record for call `xid`.
QByteArray errorReply(quint32 xid, qint32 error); // Device_Error
QByteArray createLinkReply(quint32 xid, qint32 error, qint32 link, quint16 abortPort, quint32 maxRecvSize);
QByteArray writeReply(quint32 xid, qint32 error, quint32 size);
QByteArray readReply(quint32 xid, qint32 error, qint32 reason, QByteArrayView data);
QByteArray readStbReply(quint32 xid, qint32 error, quint8 statusByte);
QByteArray docmdReply(quint32 xid, qint32 error);

} // namespace kd7010fp_vxi11

#endif
