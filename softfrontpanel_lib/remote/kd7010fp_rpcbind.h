// One RPC program registered with the system's rpcbind, so that clients
// asking the portmapper of this computer (port 111) for the program find
// the port it is served on. The registration goes to rpcbind on this
// computer (which accepts it from an ordinary user here), is replaced
// whatever an earlier run left, and is taken back by unset() or when the
// object goes.
#ifndef KD7010FP_RPCBIND_H
#define KD7010FP_RPCBIND_H

#include <QString>
#include <QtGlobal>

class kd7010fp_rpcbind
{
public:
    kd7010fp_rpcbind(quint32 program, quint32 version)
        : m_program(program)
        , m_version(version)
    {
    }
    ~kd7010fp_rpcbind() { unset(); }
    kd7010fp_rpcbind(const kd7010fp_rpcbind &) = delete;
    kd7010fp_rpcbind &operator=(const kd7010fp_rpcbind &) = delete;

    // The program on TCP `port`: false, with the reason in errorString(),
    // when rpcbind cannot be reached or refuses it.
    bool set(quint16 port);
    void unset();
    bool isSet() const { return m_set; }
    QString errorString() const { return m_error; }

private:
    quint32 m_program;
    quint32 m_version;
    bool m_set = false;
    QString m_error;
};

#endif
