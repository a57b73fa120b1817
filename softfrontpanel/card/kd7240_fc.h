// The 7240's description object: its model code and texts, and sessions
// opened and closed through the card's driver.
#ifndef KD7240_FC_H
#define KD7240_FC_H

#include "kd7010fp_genfc.h"

class kd7240_fc : public kd7010fp_genFC
{
public:
    kd7240_fc();
    ~kd7240_fc() override = default;

    bool checkModel(quint16 modelCode) override;
    QString getDescription() override;
    QString getCopyright() override;
    QString getSfpRevision() override;
    QString getDriverRevision() override;
    QString getErrorMessage(ViStatus status) override;
    ViStatus initCard(const char *descriptor, quint16 *fcNumbers, quint16 idQuery, quint16 reset,
                      ViSession *session) override;
    ViStatus initAndStore(const char *descriptor, quint16 *fcNumbers, qint16 count, quint16 idQuery, quint16 reset,
                          ViSession *session) override;
    ViStatus reinitCard(ViSession *session) override;
    ViStatus closeCard(ViSession session) override;

    static constexpr int storedDescriptorSize = 2048;
    static constexpr int storedFcNumbersSize = 256;

    char storedDescriptor[storedDescriptorSize];
    quint16 storedFcNumbers[storedFcNumbersSize];

private:
    // reinitCard has nothing to open before the first initAndStore.
    bool stored = false;
};

#endif
