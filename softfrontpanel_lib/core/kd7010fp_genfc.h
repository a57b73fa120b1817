// The interface through which the shared panel library talks to one card
// model without knowing it. A card panel supplies one implementation.
#ifndef KD7010FP_GENFC_H
#define KD7010FP_GENFC_H

#include <QString>
#include <cstdint>

#include "visa.h"

class kd7010fp_genFC
{
public:
    virtual ~kd7010fp_genFC() = default;

    // True when a 16-bit model code read from a carrier slot belongs to this
    // card model. Called concurrently by the resource search.
    virtual bool checkModel(quint16 modelCode) = 0;
    virtual QString getDescription() = 0;
    virtual QString getCopyright() = 0;
    virtual QString getSfpRevision() = 0;
    virtual QString getDriverRevision() = 0;
    // The driver's text for a status, or an empty text when it has none.
    virtual QString getErrorMessage(ViStatus status) = 0;
    virtual ViStatus initCard(const char *descriptor, quint16 *fcNumbers, quint16 idQuery, quint16 reset,
                              ViSession *session) = 0;
    // As initCard, remembering the descriptor and the first `count` numbers.
    virtual ViStatus initAndStore(const char *descriptor, quint16 *fcNumbers, qint16 count, quint16 idQuery,
                                  quint16 reset, ViSession *session) = 0;
    // Opens a session again on what initAndStore remembered.
    virtual ViStatus reinitCard(ViSession *session) = 0;
    virtual ViStatus closeCard(ViSession session) = 0;

    // Hexadecimal digits read as the decimal model number (0x7240).
    qint32 modelCode = 0;
};

#endif
