#include "kd7010fp_rpcbind.h"

#include <QCoreApplication>

#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>

bool kd7010fp_rpcbind::set(quint16 port)
{
    // What a crashed run left (or another server of the program) would
    // send clients to a dead port: taken away first. The calls reach
    // rpcbind through its local socket and take a few microseconds; no
    // service loop of the RPC library runs here.
    pmap_unset(m_program, m_version);
    m_set = pmap_set(m_program, m_version, IPPROTO_TCP, port);
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
