// The panel as a SCPI instrument, so the test scripts a lab already has for
// a two-channel function/arbitrary generator drive the 7240 unchanged while
// the window shows every change. One table of commands, each row one call
// of the model; the model sends what changes to the card by the one path
// there is. What a command cannot do goes to the error queue, never to a box.
//
// Beside the model's settings it keeps what only a remote client has: the
// function a channel turned off comes back with, the unit of VOLTage, the
// trigger source as named, the sweep a channel's SWEep:STATe makes, the
// shapes sent with DATA:ARBitrary, and the byte order of binary blocks.
// No sockets and no widgets here: the server hands it program messages.
#ifndef KD7240FP_INSTRUMENT_H
#define KD7240FP_INSTRUMENT_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "kd7010fp_scpi.h"
#include "kd7240fp_model.h"

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

    // Where MMEMory:STORe:STATe and MMEMory:LOAD:STATe keep setups: a folder
    // beside the address history.
    static QString setupsFolder();

signals:
    // A failure a command caused: the window says it in its status.
    void failed(const QString &what);

private:
    struct Channel
    {
        int parked = 1; // the waveform a channel turned off comes back with (sine)
        bool dc = false; // FUNCtion DC: the channel holds its offset as a DAC value
        bool rms = false; // VOLTage:UNIT VRMS
        QByteArray arb; // the shape FUNCtion:ARBitrary chose
        double sweepStart = 100, sweepStop = 1000;
        bool sweepLog = false;
        bool sweep = false; // SWEep:STATe
        QByteArray triggerSource = "IMM";
    };

    std::vector<kd7010fp_scpi::Row> rows();
    // The rows of one kind of modulation, headed `name` (AM, FSKey...).
    std::vector<kd7010fp_scpi::Row> modulationRows(kd7240fp::Modulation::Type type, const QByteArray &name);
    // A pattern made from parts, kept for as long as the parser takes it in.
    const char *pattern(const QByteArray &text) { return patterns.emplace_back(text).constData(); }
    // Changes channel `k`'s modulation by `edit`; a client's change as any.
    bool changeModulation(kd7010fp_scpi::Call &call, const std::function<void(kd7240fp::Modulation &)> &edit);
    // Takes `settings` as a client's change: a conflict with the card's
    // generation is -221 and nothing is taken; what the card cannot play
    // is said. True when taken.
    bool apply(kd7010fp_scpi::Call &call, const kd7240fp::Settings &settings);
    // The channel a command names (SOURce1, OUTPut2...), 0 or 1.
    static int channelOf(kd7010fp_scpi::Call &call) { return call.suffix(0) - 1; }
    // The channel's waveform, or the one it comes back with when it is off.
    int function(int k) const;
    // The RMS of one volt of amplitude as the channel plays its waveform.
    double rmsPerVolt(int k) const;
    // The channel's shape made from its sweep at the common frequency.
    bool makeSweep(kd7010fp_scpi::Call &call, kd7240fp::Settings &settings, int k);
    bool setFunction(kd7010fp_scpi::Call &call, int k, int waveType);
    bool setOutput(kd7010fp_scpi::Call &call, int k, bool on);
    bool setVoltage(kd7010fp_scpi::Call &call, int k, double amplitude, double offset);
    bool storeShape(kd7010fp_scpi::Call &call, bool dacUnits);
    void reset();

    kd7240fp_model *model;
    std::function<QByteArray()> identity;
    kd7010fp_scpi::Parser parser;
    Channel channel[2];
    bool swapped = false; // FORMat:BORDer SWAPped: blocks little-endian
    std::map<QByteArray, std::vector<double>> shapes; // DATA:ARBitrary, by name
    std::deque<QByteArray> patterns;
    std::vector<double> room; // what the last shape replaced, for the next one
};

#endif
