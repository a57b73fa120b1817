// What the operator chose and what the card makes of it, held once for
// every way in. The window's boxes and a remote client change it through
// the same calls and both show it from here; every change reaches the card
// by the one path there is: planned, then started or, while the card plays,
// sent as a live change. No widgets and no sockets here.
//
// Who made a change matters only for how its troubles are told: the
// operator's in the window's boxes, a remote client's in its error queue.
#ifndef KD7240FP_MODEL_H
#define KD7240FP_MODEL_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "kd7240fp_generator.h"
#include "kd7240fp_plan.h"
#include "kd7240fp_range.h"
#include "kd7240fp_settings.h"

class QTimer;
class kd7010fp_connection;

class kd7240fp_model : public QObject
{
    Q_OBJECT

public:
    enum Origin {
        Window, // the operator, at the window
        Remote, // a client of the remote control
    };
    Q_ENUM(Origin)

    // What became of a change.
    enum Outcome {
        Applied, // taken (and, while the card plays, sent to it)
        Locked, // the card generates and this change cannot reach it now: nothing taken
        NotSent, // taken, but the card cannot play it: it goes on with what it played
        NotStopped, // taken, but the card refused to stop: it plays what it played
        Stopped, // taken, the card stopped, and refused the new samples: nothing plays
    };
    Q_ENUM(Outcome)

    // `pollTimer` paces the generator's poll, `room` gives the sample buffer
    // Start fills, calls go to `connection`'s session; `reportWaits` tells
    // whether a poll's report must wait (a box is open).
    kd7240fp_model(QTimer *pollTimer, kd7240fp::SampleRoom room, const kd7010fp_connection *connection,
        std::function<bool()> reportWaits, QObject *parent = nullptr);

    // The card's session and generation state.
    kd7240fp_generator *generator() const { return generator_; }
    kd7240fp_generator::State state() const { return generator_->state(); }
    bool running() const { return generator_->running(); }

    // --- What the operator chose ---
    const kd7240fp::Settings &settings() const { return settings_; }
    // The one way to change it. While the card generates, a change a live
    // change can carry (Immediate, Unlimited) is sent: the operator's when
    // Live changes is ticked, a remote client's always (it asked for it);
    // anything else is Locked and nothing is taken. The operator's changes
    // are paced (a quick series at most once per liveSpacingMs); a remote
    // client's go out at once, so its next command finds the card playing it,
    // and one the card cannot play (NotSent) or did not take (NotStopped) is
    // not taken either: the settings stay what the card plays.
    Outcome change(const kd7240fp::Settings &settings, Origin origin);
    // Whether a change to `settings` could be taken now, and why not: empty
    // when it can (the card idle, or a live change that may carry it).
    QString lockedReason(const kd7240fp::Settings &settings, Origin origin) const;
    // What the card plays: the settings last started or sent live.
    const kd7240fp::Settings &sentSettings() const { return sent_; }
    // The plan of the settings: the readout, the tool tips, the preview and
    // the remote client's questions take it, and Start sends the same.
    const kd7240fp::Plan &plan() const { return plan_; }
    // The plan of the last remote change that was not taken, without its
    // samples: why, in its problem.
    const kd7240fp::Plan &notTaken() const { return notTaken_; }

    // The card's output range; the plan checks against it.
    const kd7240fp::CardRange &range() const { return range_; }
    void setRange(const kd7240fp::CardRange &range);

    // --- Live changes ---
    // The operator's Live changes box, remembered beside the address history.
    bool liveChanges() const { return live_; }
    void setLiveChanges(bool on);
    // The card plays so that a live change can reach it: generating (or
    // paused), started at once and without end.
    bool liveAllowed() const;
    // And the operator asked for it: the window's groups stay open.
    bool liveNow() const { return live_ && liveAllowed() && state() == kd7240fp_generator::Generating; }
    static constexpr int liveSpacingMs = 100;

    // --- The card ---
    // Starts generating the settings; false when refused (told by `refused`).
    bool start(Origin origin);
    void stop(Origin origin);
    void pause();
    void resume();
    void trigger(Origin origin);
    // Whether the card calibrated.
    bool calibrate(Origin origin);
    // The front ends' filters and terminations (the window's setFilt, as
    // the operator chooses them). Settings that came from elsewhere (a
    // setup, a client) may hold others: the next start tells the card first.
    void setFilters(int filter1, int term1, int filter2, int term2, Origin origin);
    // The constant DAC voltages: both channels written at once; what the
    // card did not take, it keeps (dacsChanged tells the boxes either way).
    double dac(int channel) const { return dac_[channel]; }
    void setDacs(double dac1, double dac2, Origin origin);
    // What the DAC boxes show after the card was read (no write).
    void takeDacs(double dac1, double dac2);
    // A channel whose function is the DC level (kd7240fp::waveDc) plays it
    // as its DAC's value while its output is on: on puts the offset there,
    // off 0 V, the other DAC keeping its value; false when the card did not
    // take it, as while the card generates. While on, a change of the
    // offset is written too (Locked while the card generates); writing the
    // DACs otherwise, or another function, ends it.
    bool holdLevel(int channel, bool on, Origin origin);
    bool levelHeld(int channel) const { return levelHeld_[channel]; }

signals:
    // The settings changed (by `origin`); the plan follows them.
    void settingsChanged(kd7240fp_model::Origin origin);
    void dacsChanged(kd7240fp_model::Origin origin);
    void stateChanged(kd7240fp_generator::State state);
    // What reached the card (a start, a live change): its plan, samples valid for the call.
    void sent(const kd7240fp::Plan &plan);
    // A live change that was not sent: the readout's words and why.
    void liveNotSent(const QString &readout, const QString &why);
    // What went wrong or is worth knowing, with who asked for it: the
    // window shows the operator's in boxes, the remote server queues its
    // client's.
    void callReported(ViStatus status, const QString &callText, const QString &driverMessage,
        kd7240fp_model::Origin origin);
    void refused(const QString &why, kd7240fp_model::Origin origin);
    void cautioned(const QString &what, kd7240fp_model::Origin origin);
    void calibrated(kd7240fp_model::Origin origin);

private:
    void replan();
    // The held levels after `origin` changed the settings from `before`.
    void followLevels(const kd7240fp::Settings &before, Origin origin);
    void scheduleLive();
    // Sends the settings to the burst that runs, when they differ from what
    // it plays; what became of it.
    Outcome sendLive(bool asked);
    void followState(kd7240fp_generator::State state);
    // A live change of the operator's not sent, said in the readout.
    void tellNotSent(const QString &readout, const QString &why);

    kd7240fp_generator *generator_;
    std::function<bool()> reportWaits_;
    kd7240fp::Settings settings_;
    kd7240fp::Settings sent_;
    // What a live change could not send because the card refused to stop
    // (its samplesPart).
    std::optional<kd7240fp::Settings> refusedLive_;
    kd7240fp::CardRange range_ = kd7240fp::cardRange(-10, 10);
    kd7240fp::Plan plan_;
    kd7240fp::Plan notTaken_;
    std::shared_ptr<std::vector<double>> planRoom_; // the plan's samples
    bool live_ = false;
    QTimer *liveTimer_;
    QElapsedTimer lastLiveSend_;
    // A remote client's change waits to be sent (the card was paused).
    bool remoteWaiting_ = false;
    Origin origin_ = Window; // who asked for the call under way
    double dac_[2] = {};
    bool levelHeld_[2] = {};
};

#endif
