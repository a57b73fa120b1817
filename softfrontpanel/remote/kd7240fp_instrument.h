// The panel as a SCPI instrument, so the test scripts a lab already has for
// a two-channel function/arbitrary generator drive the 7240 unchanged while
// the window shows every change. One table of commands, read as a manual's,
// each row one call: the instrument's own, or the helper's for its part of
// the manual (outputs, voltage, bursts, sweeps, the shapes sent,
// modulation). Every change is the model's, which sends it to the card by
// the one path there is. What a command cannot do goes to the error queue,
// never to a box.
//
// What a channel plays, and what it comes back with, is read from the
// model's settings when a command needs it, so whatever the window, a setup
// or Reset Device changed in between counts. Beside them its helpers keep
// only what is a client's own: the unit of VOLTage, the trigger source as
// named, the shapes sent with DATA:ARBitrary, and the byte order of binary
// blocks.
// No sockets and no widgets here: the server hands it program messages.
#ifndef KD7240FP_INSTRUMENT_H
#define KD7240FP_INSTRUMENT_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "kd7010fp_scpi.h"
#include "kd7240fp_bursts.h"
#include "kd7240fp_model.h"
#include "kd7240fp_modulationrows.h"
#include "kd7240fp_outputs.h"
#include "kd7240fp_shapestore.h"
#include "kd7240fp_sweeps.h"
#include "kd7240fp_voltage.h"

class kd7240fp_instrument : public QObject
{
    Q_OBJECT

public:
    // `identity` is what *IDN? answers (maker, model, serial, revision),
    // read as the About box reads it.
    kd7240fp_instrument(kd7240fp_model *model, std::function<QByteArray()> identity, QObject *parent = nullptr);

    // Carries out one program message; the reply line, or nothing.
    QByteArray execute(QByteArrayView message);
    kd7010fp_scpi::Status &status() { return parser.status(); }
    // The commands, for the transports' conversations.
    kd7010fp_scpi::Parser *scpi() { return &parser; }

    // A burst a client triggered plays its cycles: *WAI and *OPC? wait for
    // it. An output without end never holds them.
    bool operationPending() const { return bursts.pending(); }

    // Where MMEMory:STORe:STATe and MMEMory:LOAD:STATe keep setups: a folder
    // beside the address history.
    static QString setupsFolder();
    // The file of the setup a command names (its one parameter) in that
    // folder; empty, the error queued, for a name that holds a folder.
    static QString setupPath(kd7010fp_scpi::Call &call);

signals:
    // The burst a client triggered has played its cycles (or stopped).
    void operationComplete();
    // A failure a command caused: the window says it in its status.
    void failed(const QString &what);

private:
    using Call = kd7010fp_scpi::Call;

    std::vector<kd7010fp_scpi::Row> rows();
    // The commands the table carries out itself; the others are its
    // helpers', each command one call.
    void identify(Call &call);
    void reset();
    void calibrate(Call &call);
    void setFrequency(Call &call);
    void queryFrequency(Call &call) const;
    void setExactFrequency(Call &call);
    void queryExactFrequency(Call &call) const;
    void setPhase(Call &call);
    void queryPhase(Call &call) const;
    void setDuty(Call &call);
    void queryDuty(Call &call) const;
    void chooseShape(Call &call);
    void queryShape(Call &call) const;
    void setSampleRate(Call &call);
    void querySampleRate(Call &call) const;
    // What FUNCtion:ARBitrary:SRATe takes: the channel's shape at 1 Hz to 100 kHz.
    kd7010fp_scpi::Range rateRange(int k) const;
    void storeSetup(Call &call);
    void loadSetup(Call &call);
    // The burst a client triggered is over: operationComplete.
    void burstEnded();

    kd7240fp_model *model;
    std::function<QByteArray()> identity;
    kd7240fp_outputs outputs;
    kd7240fp_voltage voltage;
    kd7240fp_bursts bursts;
    kd7240fp_sweeps sweeps;
    kd7240fp_shapeStore shapes;
    kd7240fp_modulationRows modulation;
    kd7010fp_scpi::Parser parser;
};

#endif
