#include "kd7010.h"
#include "kd7240.h"
#define STUB(name, ...) extern "C" ViStatus name(__VA_ARGS__) { return VI_ERROR_NSUP_OPER; }
STUB(viOpenDefaultRM, ViPSession) STUB(viFindRsrc, ViSession, ViConstString, ViPFindList, ViPUInt32, ViChar *)
STUB(viFindNext, ViFindList, ViChar *) STUB(viOpen, ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViPSession)
STUB(viClose, ViObject) STUB(viGetAttribute, ViObject, ViAttr, void *)
STUB(getCommonRevision, ViChar *) STUB(openCarrier, ViSession, carrierHandle_t *) STUB(closeCarrier, carrierHandle_t *)
STUB(getStatusText, ViStatus, ViChar *)
STUB(kd7240_init, ViRsrc, ViUInt16, ViUInt16, ViUInt16, ViSession *) STUB(kd7240_close, ViSession)
STUB(kd7240_error_message, ViSession, ViStatus, ViChar *) STUB(kd7240_revision_query, ViSession, ViChar *, ViChar *)
STUB(kd7240_getOutputLimits, ViSession, ViReal64 *, ViReal64 *) STUB(kd7240_getDACval, ViSession, ViInt16, ViReal64 *)
STUB(kd7240_readSerialNo, ViSession, ViUInt32 *, ViChar *) STUB(kd7240_writeChannels, ViSession, ViReal64, ViReal64)
STUB(kd7240_calibrate, ViSession) STUB(kd7240_setFEConfig, ViSession, ViInt16, ViInt16, ViInt16)
STUB(kd7240_setITRI, ViSession, ViInt16, ViInt16) STUB(kd7240_pulseITRI, ViSession, ViInt16)
STUB(kd7240_generateWaveforms, ViSession, ViInt32, ViInt32, ViReal64, ViInt16, ViInt16, ViReal64 *, ViReal64 *)
STUB(kd7240_generateWaveform, ViSession, ViInt16, ViInt32, ViInt32, ViReal64, ViInt16, ViReal64 *)
STUB(kd7240_getBurstStatus, ViSession, ViInt32 *, ViInt32 *, ViInt32 *, ViInt32 *) STUB(kd7240_stopBurst, ViSession)
STUB(kd7240_pause, ViSession) STUB(kd7240_resume, ViSession)
