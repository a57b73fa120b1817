#include "kd7010fp_rpcbind.h"

#include <QCoreApplication>

#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>

#include <cstring>

namespace {

// What pmap_set() does, with the address kept on the stack: the library's
// own pmap_set() frees the netbuf it builds but not the address inside it,
// 16 bytes lost on every registration.
bool registerTcp(quint32 program, quint32 version, quint16 port)
{
    netconfig *tcp = getnetconfigent("tcp");
    if (!tcp)
        return false;
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    netbuf where;
    where.maxlen = where.len = sizeof address;
    where.buf = &address;
    const bool done = rpcb_set(program, version, tcp, &where);
    freenetconfigent(tcp);
    return done;
}

} // namespace

bool kd7010fp_rpcbind::set(quint16 port)
{
    // What a crashed run left (or another server of the program) would
    // send clients to a dead port: taken away first. The calls reach
    // rpcbind through its local socket and take a few microseconds; no
    // service loop of the RPC library runs here.
    rpc_createerr.cf_stat = RPC_SUCCESS; // what an earlier failure left says nothing now
    pmap_unset(m_program, m_version);
    m_set = registerTcp(m_program, m_version, port);
    if (m_set)
        m_error.clear();
    else if (rpc_createerr.cf_stat != RPC_SUCCESS)
        m_error = QCoreApplication::translate("kd7010fp_rpcbind", "rpcbind is not running (%1)")
                      .arg(QString::fromLocal8Bit(clnt_sperrno(rpc_createerr.cf_stat)));
    else
        m_error = QCoreApplication::translate("kd7010fp_rpcbind", "rpcbind refused the registration");
    return m_set;
}

void kd7010fp_rpcbind::unset()
{
    if (m_set)
        pmap_unset(m_program, m_version);
    m_set = false;
}
