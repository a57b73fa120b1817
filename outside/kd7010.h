/* The carrier common library. A successful openCarrier hands back a carrier
 * object whose memory layout is fixed by the library; the structs below pin
 * the offsets the panel reads. */
#ifndef OUTSIDE_KD7010_H
#define OUTSIDE_KD7010_H

#include <stddef.h>
#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KD7010_MAX_SLOTS 256
#define KD7010_REVISION_LEN 32
#define KD7010_STATUS_TEXT_LEN 1024
/* Register of a function-card slot that holds the card's two variant characters. */
#define KD7010_VARIANT_REGISTER 252

typedef struct kd7010_carrier kd7010_carrier_t;

typedef struct kd7010_identityTable {
    char reserved[256];
    ViInt32 slotCount;
    /* Entry 0: the carrier's model number; entries 1..slotCount: slot identities, 0 = empty. */
    ViUInt16 identities[KD7010_MAX_SLOTS + 1];
} kd7010_identityTable_t;

typedef ViStatus (*kd7010_readSlotWord_t)(kd7010_carrier_t *object, ViUInt16 slot, ViUInt32 offset, ViUInt16 *value);

typedef struct kd7010_accessTable {
    void *reserved[4];
    kd7010_readSlotWord_t readSlotWord;
} kd7010_accessTable_t;

typedef kd7010_accessTable_t *(*kd7010_getAccess_t)(kd7010_carrier_t *object, ViInt32 index, ViInt32 version);

struct kd7010_carrier {
    kd7010_identityTable_t *identity;
    char reserved[56];
    kd7010_getAccess_t getAccess;
};

typedef struct carrierHandle {
    kd7010_carrier_t *object;
    ViUInt16 reserved8;
    ViUInt32 defaultRM;
    ViUInt32 reserved16;
    ViUInt16 reserved20;
} carrierHandle_t;

#ifdef __cplusplus
#define KD7010_STATIC_ASSERT static_assert
#else
#define KD7010_STATIC_ASSERT _Static_assert
#endif
KD7010_STATIC_ASSERT(offsetof(kd7010_identityTable_t, slotCount) == 256, "slot count at 256");
KD7010_STATIC_ASSERT(offsetof(kd7010_identityTable_t, identities) == 260, "identities from 260");
KD7010_STATIC_ASSERT(offsetof(kd7010_accessTable_t, readSlotWord) == 32, "readSlotWord at 32");
KD7010_STATIC_ASSERT(offsetof(struct kd7010_carrier, identity) == 0, "identity table at 0");
KD7010_STATIC_ASSERT(offsetof(struct kd7010_carrier, getAccess) == 64, "getAccess at 64");
KD7010_STATIC_ASSERT(offsetof(carrierHandle_t, object) == 0, "object at 0");
KD7010_STATIC_ASSERT(offsetof(carrierHandle_t, reserved8) == 8, "field at 8");
KD7010_STATIC_ASSERT(offsetof(carrierHandle_t, defaultRM) == 12, "resource manager at 12");
KD7010_STATIC_ASSERT(offsetof(carrierHandle_t, reserved16) == 16, "field at 16");
KD7010_STATIC_ASSERT(offsetof(carrierHandle_t, reserved20) == 20, "field at 20");
KD7010_STATIC_ASSERT(sizeof(carrierHandle_t) == 24, "24-byte handle");

ViStatus getCommonRevision(ViChar buffer[]);
ViStatus openCarrier(ViSession vi, carrierHandle_t *handle);
ViStatus closeCarrier(carrierHandle_t *handle);
ViStatus getStatusText(ViStatus status, ViChar buffer[]);

#ifdef __cplusplus
}
#endif

#endif
