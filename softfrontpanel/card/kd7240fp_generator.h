// The card's session as the 7240 panel uses it: the generation lifecycle
// (start from a plan, stop, pause, resume, trigger, the poll that notices a
// burst has ended) and every other driver call of the panel. Whether the
// panel generates is held here, in one state, changed in one place. It
// reports and never shows: what went wrong, what was refused and what the
// operator should hear are signals, emitted at once (the window's boxes
// then show them in the order the calls were made).
//
// What happens when...
//   Start is pressed: start() plans the settings into the window's sample
//     room; a problem is refused and nothing is sent; otherwise the trigger
//     is set up, the samples are sent, the poll starts: Generating.
//   a burst ends by itself: poll() reads the card's burst state every 100 ms;
//     state 0 runs the stop path: Idle.
//   Stop is refused: stop() keeps the state it had (Generating or Paused)
//     and the poll running, so Stop can be pressed again.
//   the poll fails: reported once per streak of failures; a report waits
//     while the operator is busy with another box; the window stays generating.
//   the connection changes (a reset, another card, a card lost): the poll
//     stops and the state is Idle, or NoCard without a card.
#ifndef KD7240FP_GENERATOR_H
#define KD7240FP_GENERATOR_H

#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "kd7010fp_connection.h"
#include "kd7240fp_plan.h"
#include "visa.h"

class QTimer;

class kd7240fp_generator : public QObject
{
    Q_OBJECT

public:
    enum State {
        Idle, // nothing sent, or the last burst has ended
        Generating, // a burst runs (or waits for its trigger)
        Paused, // a burst is held by Pause
        NoCard, // the card could not be opened again: nothing to talk to
    };
    Q_ENUM(State)

    // `timer` paces the poll (not owned; its timeout is wired to poll() by
    // the window); `room` gives the sample buffer Start fills; calls go to
    // `connection`'s session, followed as it changes. `reportWaits` tells
    // whether a poll's report must wait (the operator is answering a box).
    kd7240fp_generator(QTimer *timer, kd7240fp::SampleRoom room, const kd7010fp_connection *connection,
        std::function<bool()> reportWaits, QObject *parent);

    // The range the boxes offer, which Start checks the samples against.
    void setLimits(const kd7240fp::Limits &limits) { limits_ = limits; }
    kd7240fp::Limits limits() const { return limits_; }

    State state() const { return state_; }
    bool running() const { return state_ == Generating || state_ == Paused; }
    // A card is open: neither demo mode nor a card lost.
    bool withCard() const { return connection->withCard(); }
    // Whether channel k (0, 1) of the running burst plays a waveform.
    bool channelActive(int k) const { return running() && active[k]; }

    // Starts generating `settings`; true when it did. Anything in the way is
    // refused (`refused`) and nothing reaches the card; the state is told
    // again either way, so the window shows what it is. Front ends told
    // other filters than the settings give (a setup was opened, a client
    // chose them) are told theirs first.
    bool start(const kd7240fp::Settings &settings);
    // What became of a live change.
    enum Resent {
        Sent, // the card plays the new samples
        NotSent, // not generating, or the plan cannot be played: the card plays what it played
        NotStopped, // the card refused to stop: it plays what it played, and nothing more was sent
        NotGenerated, // stopped, but the new samples were refused: the card plays nothing (Idle)
    };
    // Live changes: sends `plan` (its samples already computed) to the burst
    // that runs, by stopping it and generating the new samples, and stays
    // Generating. After a failed call nothing more is sent, and the state
    // says what the card is known to play.
    Resent resend(const kd7240fp::Plan &plan);
    // Stops the burst. A stop the card refuses keeps the state as it was.
    void stop();
    void pause();
    void resume();
    // One poll of the burst state; the burst's end stops generation.
    void poll();
    // Back to Idle for a reset: a running burst is stopped on this session
    // (should the card not open again, nobody could stop it later); a pause
    // is dropped without resuming.
    void abandon();

    // The other operations of the panel.
    void trigger();
    void setFilters(int filter1, int term1, int filter2, int term2);
    // False when the card did not take them, was lost, or generates.
    bool writeDacs(double dac1, double dac2);
    // Emits `calibrated` unless the call failed; whether it did.
    bool calibrate();
    // The card's output limits; false (and nothing written) when the read failed.
    bool readLimits(double *low, double *high);
    // A channel's DAC value, or `current` when the read failed.
    double readDac(int channel, double current);
    struct Identity
    {
        QString serialNumber;
        QString revision;
        QString model;
    };
    Identity readIdentity();

    // A call's status: a failure (negative) or a warning (positive) is
    // reported with the call's text and the driver's message; 0 says
    // nothing. Returns `status`.
    ViStatus report(ViStatus status, const char *callText);

signals:
    void stateChanged(kd7240fp_generator::State state);
    // What a poll read of the burst: 0 ended, 1 running, 2 armed and
    // waiting for its trigger, 3 paused.
    void burstRead(int state);
    // What was sent to the card (a start or a live change): its plan, the
    // samples valid for the time of the call.
    void sent(const kd7240fp::Plan &plan);
    // A driver call failed (negative status) or warned (positive).
    void callReported(ViStatus status, const QString &callText, const QString &driverMessage);
    // Start sent nothing, for this reason.
    void refused(const QString &why);
    // Start sends, but the operator should know this first.
    void cautioned(const QString &what);
    void calibrated();

private:
    void setState(State state);
    // The generate call for the plan's channels, reported; its status.
    ViStatus sendSamples(const kd7240fp::Plan &plan);
    // Follows the connection: the poll stops, the state is Idle or NoCard.
    void followConnection();
    ViSession session() const { return connection->session(); }

    QTimer *timer;
    kd7240fp::SampleRoom room;
    const kd7010fp_connection *connection;
    std::function<bool()> reportWaits;
    kd7240fp::Limits limits_;
    State state_ = Idle;
    bool active[2] = {};
    // Set from a poll that failed until one succeeds.
    bool pollFailing = false;
    // What the front ends were last told: filter and termination of each
    // channel (-1: nothing yet).
    std::array<int, 4> toldFilters = { -1, -1, -1, -1 };
};

#endif
