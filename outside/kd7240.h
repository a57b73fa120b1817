/* The 7240 instrument driver library: every call the panel makes and the
 * constants it passes. Sessions are VISA sessions; every call returns a
 * status (0 success, negative error, positive warning). */
#ifndef OUTSIDE_KD7240_H
#define OUTSIDE_KD7240_H

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kd7240_CH1 1
#define kd7240_CH2 2

/* Output filter codes. */
#define kd7240_FILTER_BYPASS 0
#define kd7240_FILTER_1KHZ 1
#define kd7240_FILTER_10KHZ 2
#define kd7240_FILTER_100KHZ 3

/* Output termination codes. */
#define kd7240_TERM_NORMAL 0
#define kd7240_TERM_GROUND 2

/* Input trigger set-up and pulse codes. */
#define kd7240_ITRI_SRC_NONE 0
#define kd7240_ITRI_SRC_BOTH 3
#define kd7240_ITRI_PULSE_ABORT 0
#define kd7240_ITRI_PULSE 2

#define kd7240_ERROR_MESSAGE_LEN 1024
#define kd7240_DRIVER_REVISION_LEN 64
#define kd7240_INSTR_REVISION_LEN 16
#define kd7240_SUBTYPE_LEN 4
#define kd7240_MAX_SAMPLES 262143

ViStatus kd7240_init(ViRsrc descriptor, ViUInt16 fcNumber, ViUInt16 idQuery, ViUInt16 reset, ViSession *session);
ViStatus kd7240_close(ViSession session);
ViStatus kd7240_error_message(ViSession session, ViStatus status, ViChar message[]);
ViStatus kd7240_revision_query(ViSession session, ViChar driverRevision[], ViChar instrumentRevision[]);
ViStatus kd7240_getOutputLimits(ViSession session, ViReal64 *low, ViReal64 *high);
ViStatus kd7240_getDACval(ViSession session, ViInt16 channel, ViReal64 *value);
ViStatus kd7240_readSerialNo(ViSession session, ViUInt32 *serial, ViChar subtype[]);
ViStatus kd7240_writeChannels(ViSession session, ViReal64 ch1, ViReal64 ch2);
ViStatus kd7240_calibrate(ViSession session);
ViStatus kd7240_setFEConfig(ViSession session, ViInt16 channel, ViInt16 filter, ViInt16 term);
ViStatus kd7240_setITRI(ViSession session, ViInt16 source, ViInt16 pulse);
ViStatus kd7240_pulseITRI(ViSession session, ViInt16 pulse);
ViStatus kd7240_generateWaveforms(ViSession session, ViInt32 nSam, ViInt32 cycles, ViReal64 rate, ViInt16 filter1,
                                  ViInt16 filter2, ViReal64 *data1, ViReal64 *data2);
ViStatus kd7240_generateWaveform(ViSession session, ViInt16 channel, ViInt32 nSam, ViInt32 cycles, ViReal64 rate,
                                 ViInt16 filter, ViReal64 *data);
ViStatus kd7240_getBurstStatus(ViSession session, ViInt32 *state, ViInt32 *cyclesDone, ViInt32 *samplePosition,
                               ViInt32 *reserved);
ViStatus kd7240_stopBurst(ViSession session);
ViStatus kd7240_pause(ViSession session);
ViStatus kd7240_resume(ViSession session);

#ifdef __cplusplus
}
#endif

#endif
