// The panel as a SCPI instrument, so the test scripts a lab already has for
// a two-channel function/arbitrary generator drive the 7240 unchanged while
// the window shows every change. One table of commands, each row one call
// of the model; the model sends what changes to the card by the one path
// there is. What a command cannot do goes to the error queue, never to a box.
//
// What a channel plays, and what it comes back with, is read from the
// model's settings when a command needs it, so whatever the window, a setup
// or Reset Device changed in between counts. Beside them it keeps only what
// is a client's own: the unit of VOLTage, the trigger source as named, the
// shapes sent with DATA:ARBitrary, and the byte order of binary blocks.
// No sockets and no widgets here: the server hands it program messages.
#ifndef KD7240FP_INSTRUMENT_H
#define KD7240FP_INSTRUMENT_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"
#include "kd7240fp_modulationrows.h"
#include "kd7240fp_shapestore.h"
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
    bool operationPending() const { return triggered; }

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
    std::vector<kd7010fp_scpi::Row> rows();
    // Whether channel k's output is on: it is generated, or holds its DC level.
    bool outputOn(int k) const;
    // The channel's shape made from its sweepWhenOn at the common frequency
    // (the sweep's own, when SWEep:TIME set one); its function becomes the
    // shape.
    bool makeSweep(kd7010fp_scpi::Call &call, kd7240fp::Settings &settings, int k);
    // The channel's sweep made again at the common frequency of `settings`,
    // when it plays one.
    bool remakeSweep(kd7010fp_scpi::Call &call, kd7240fp::Settings &settings, int k);
    // The sweep channel `k` plays, or makes when its SWEep:STATe goes on,
    // with the frequency it lasts a period of.
    kd7240fp::Sweep sweepOf(int k) const;
    // Changes the sweep channel `k` makes by `edit`, and plays it when the
    // channel plays a sweep.
    void changeSweep(kd7010fp_scpi::Call &call, int k, const std::function<void(kd7240fp::Sweep &)> &edit);
    // What FUNCtion:ARBitrary:SRATe takes: the channel's shape at 1 Hz to 100 kHz.
    kd7010fp_scpi::Range rateRange(int k) const;
    bool setFunction(kd7010fp_scpi::Call &call, int k, int waveType);
    bool setOutput(kd7010fp_scpi::Call &call, int k, bool on);
    // Pulses the trigger line: a limited burst waiting for it is pending.
    void trigger(kd7010fp_scpi::Call &call);
    // The burst a client triggered is over: operationComplete.
    void burstEnded();
    void reset();

    kd7240fp_model *model;
    std::function<QByteArray()> identity;
    kd7240fp_voltage voltage;
    kd7240fp_modulationRows modulation;
    kd7010fp_scpi::Parser parser;
    QByteArray triggerSource = "IMM"; // as named: EXTernal and BUS both arm the trigger line
    bool triggered = false; // operationPending()
    kd7240fp_shapeStore shapes;
};

#endif
