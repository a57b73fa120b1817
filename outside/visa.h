/* The subset of the VISA library that the panel calls: types, the standard
 * attribute ids and interface types, and the status codes we meet. */
#ifndef OUTSIDE_VISA_H
#define OUTSIDE_VISA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef char ViChar;
typedef double ViReal64;
typedef ViUInt16 ViBoolean;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViObject ViFindList;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViAttr;
typedef ViUInt32 ViAccessMode;
typedef ViChar *ViRsrc;
typedef const ViChar *ViConstRsrc;
typedef const ViChar *ViConstString;
typedef ViSession *ViPSession;
typedef ViFindList *ViPFindList;
typedef ViUInt32 *ViPUInt32;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_FIND_BUFLEN 256

/* Completion and warning codes. */
#define VI_SUCCESS ((ViStatus)0)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006)
#define VI_WARN_UNKNOWN_STATUS ((ViStatus)0x3FFF0085)

/* Error codes. */
#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000E)
#define VI_ERROR_INV_SESSION VI_ERROR_INV_OBJECT
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000F)
#define VI_ERROR_INV_EXPR ((ViStatus)0xBFFF0010)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001D)
#define VI_ERROR_ALLOC ((ViStatus)0xBFFF003C)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067)

/* VXIplug&play instrument driver codes. */
#define VI_ERROR_PARAMETER1 ((ViStatus)0xBFFC0001)
#define VI_ERROR_PARAMETER2 ((ViStatus)0xBFFC0002)
#define VI_ERROR_PARAMETER3 ((ViStatus)0xBFFC0003)
#define VI_ERROR_PARAMETER4 ((ViStatus)0xBFFC0004)
#define VI_ERROR_PARAMETER5 ((ViStatus)0xBFFC0005)
#define VI_ERROR_PARAMETER6 ((ViStatus)0xBFFC0006)
#define VI_ERROR_PARAMETER7 ((ViStatus)0xBFFC0007)
#define VI_ERROR_PARAMETER8 ((ViStatus)0xBFFC0008)
#define VI_ERROR_FAIL_ID_QUERY ((ViStatus)0xBFFC0011)
#define VI_ERROR_INV_RESPONSE ((ViStatus)0xBFFC0012)
#define VI_INSTR_ERROR_OFFSET ((ViStatus)0xBFFC0800)
#define VI_INSTR_WARNING_OFFSET ((ViStatus)0x3FFC0800)

/* Attributes. */
#define VI_ATTR_RSRC_NAME ((ViAttr)0xBFFF0002)
#define VI_ATTR_SLOT ((ViAttr)0x3FFF00E8)
#define VI_ATTR_INTF_TYPE ((ViAttr)0x3FFF0171)
#define VI_ATTR_INTF_NUM ((ViAttr)0x3FFF0176)
#define VI_ATTR_TCPIP_ADDR ((ViAttr)0xBFFF0195)
#define VI_ATTR_TCPIP_HOSTNAME ((ViAttr)0xBFFF0196)
#define VI_ATTR_TCPIP_DEVICE_NAME ((ViAttr)0xBFFF0199)

/* Interface types (VI_ATTR_INTF_TYPE). */
#define VI_INTF_GPIB 1
#define VI_INTF_VXI 2
#define VI_INTF_GPIB_VXI 3
#define VI_INTF_ASRL 4
#define VI_INTF_PXI 5
#define VI_INTF_TCPIP 6
#define VI_INTF_USB 7

ViStatus viOpenDefaultRM(ViPSession vi);
ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[]);
ViStatus viFindNext(ViFindList vi, ViChar desc[]);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi);
ViStatus viClose(ViObject vi);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue);

#ifdef __cplusplus
}
#endif

#endif
