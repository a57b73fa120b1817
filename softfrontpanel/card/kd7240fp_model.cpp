#include "kd7240fp_model.h"

#include <QTimer>
#include <utility>
#include <algorithm>

#include "kd7240fp_plantext.h"

namespace {

// Who asked for the call under way, for as long as it runs: reports
// emitted meanwhile carry it.
class Asking
{
public:
    Asking(kd7240fp_model::Origin &current, kd7240fp_model::Origin origin)
        : current(current)
        , before(current)
    {
        current = origin;
    }
    ~Asking() { current = before; }
    Asking(const Asking &) = delete;
    Asking &operator=(const Asking &) = delete;

private:
    kd7240fp_model::Origin &current;
    kd7240fp_model::Origin before;
};

// Whether channel k's DC level goes to another value from `from` to `to`:
// one held on its DAC is written again.
bool levelMoves(const kd7240fp::Settings &from, const kd7240fp::Settings &to, int k)
{
    const kd7240fp::ChannelSettings &c = to.channel[k];
    return c.function() == kd7240fp::waveDc && c.offset != from.channel[k].offset;
}

} // namespace

kd7240fp_model::kd7240fp_model(QTimer *pollTimer, kd7240fp::SampleRoom room, const kd7010fp_connection *connection,
    std::function<bool()> reportWaits, QObject *parent)
    : QObject(parent)
    , generator_(new kd7240fp_generator(pollTimer, std::move(room), connection, reportWaits, this))
    , reportWaits_(std::move(reportWaits))
    , liveTimer_(new QTimer(this))
{
    liveTimer_->setSingleShot(true);
    connect(liveTimer_, &QTimer::timeout, this, [this] { sendLive(false); });
    connect(generator_, &kd7240fp_generator::stateChanged, this, &kd7240fp_model::followState);
    connect(generator_, &kd7240fp_generator::sent, this, &kd7240fp_model::sent);
    connect(generator_, &kd7240fp_generator::callReported, this,
        [this](ViStatus status, const QString &callText, const QString &message) {
            emit callReported(status, callText, message, origin_);
        });
    connect(generator_, &kd7240fp_generator::refused, this, [this](const QString &why) { emit refused(why, origin_); });
    connect(generator_, &kd7240fp_generator::cautioned, this,
        [this](const QString &what) { emit cautioned(what, origin_); });
    connect(generator_, &kd7240fp_generator::calibrated, this, [this] { emit calibrated(origin_); });
    replan();
}

void kd7240fp_model::replan()
{
    // The room is shared with the plan: a live change under way keeps the
    // one it plays from, and the new plan then takes a room of its own.
    plan_ = kd7240fp::Plan();
    if (!planRoom_ || planRoom_.use_count() > 1)
        planRoom_ = std::make_shared<std::vector<double>>();
    std::vector<double> *room = planRoom_.get();
    plan_ = kd7240fp::planFor(settings_, generator_->limits(), [room](int count) {
        room->resize(size_t(count));
        return room->data();
    });
    plan_.keep = planRoom_;
}

void kd7240fp_model::setRange(const kd7240fp::CardRange &range)
{
    range_ = range;
    generator_->setLimits(range.offsets);
    replan();
    emit settingsChanged(Window);
}

QString kd7240fp_model::lockedReason(const kd7240fp::Settings &settings, Origin origin) const
{
    if (!running())
        return QString();
    for (int k = 0; k < 2; ++k)
        if (levelHeld_[k] && levelMoves(settings_, settings, k))
            return tr("a DC level reaches its DAC only while the card is idle");
    // What plays the same samples needs nothing sent, whatever plays.
    const kd7240fp::Settings asked = kd7240fp::samplesPart(settings);
    const kd7240fp::Settings now = kd7240fp::samplesPart(settings_);
    if (asked == now)
        return QString();
    if (asked.common.startIndex != now.common.startIndex || asked.common.length() != now.common.length())
        return tr("the start, the stop and the cycles change only while the card is idle");
    if (!liveAllowed())
        return tr("live changes need Immediate start and Unlimited stop");
    if (origin == Window && !live_)
        return tr("Live changes is not ticked");
    return QString();
}

bool kd7240fp_model::liveAllowed() const
{
    return running() && !settings_.common.byTrigger() && settings_.common.length() == 0;
}

kd7240fp_model::Outcome kd7240fp_model::change(const kd7240fp::Settings &settings, Origin origin)
{
    if (settings == settings_)
        return Applied;
    if (!lockedReason(settings, origin).isEmpty())
        return Locked;
    const kd7240fp::Settings before = std::exchange(settings_, settings);
    if (origin == Remote && running()) {
        // The client asked for it: sent now (or, while paused, at Resume),
        // before the window redraws, so its next command finds the card
        // playing it. What the card cannot play, or did not take, is not
        // taken: the plan before it (and its room) come back.
        const kd7240fp::Plan planBefore = plan_;
        const std::shared_ptr<std::vector<double>> roomBefore = planRoom_;
        replan();
        remoteWaiting_ = true;
        const Asking asking(origin_, Remote);
        const Outcome outcome = plan_.playable() ? sendLive(true) : NotSent;
        if (outcome == NotSent || outcome == NotStopped) {
            notTaken_ = plan_;
            notTaken_.samples[0] = notTaken_.samples[1] = nullptr;
            notTaken_.keep.reset();
            settings_ = before;
            refusedLive_.reset();
            plan_ = planBefore;
            planRoom_ = roomBefore;
            remoteWaiting_ = false;
            return outcome;
        }
        followLevels(before, origin);
        emit settingsChanged(origin);
        return outcome;
    }
    replan();
    followLevels(before, origin);
    emit settingsChanged(origin);
    if (running() && liveNow())
        scheduleLive();
    return Applied;
}

void kd7240fp_model::setLiveChanges(bool on)
{
    live_ = on;
    if (liveNow())
        scheduleLive();
}

void kd7240fp_model::scheduleLive()
{
    if (liveTimer_->isActive())
        return;
    // The first change after a quiet spell goes at once; the changes that
    // keep coming after it wait for the spacing, and the last one is sent.
    const qint64 since = lastLiveSend_.isValid() ? lastLiveSend_.elapsed() : liveSpacingMs;
    liveTimer_->start(int(std::max<qint64>(0, liveSpacingMs - since)));
}

kd7240fp_model::Outcome kd7240fp_model::sendLive(bool asked)
{
    // Paused: the change goes out at Resume.
    if (!liveAllowed() || state() != kd7240fp_generator::Generating)
        return Applied;
    if (!asked && !live_ && !remoteWaiting_)
        return Applied;
    // Under an open box (a report of the last change, say) nothing is sent:
    // the change waits for the operator's answer.
    if (!asked && reportWaits_ && reportWaits_()) {
        liveTimer_->start(liveSpacingMs);
        return Applied;
    }
    remoteWaiting_ = false;
    // A filter reaches the card when it is chosen; only what changes the
    // samples is sent again.
    kd7240fp::Settings samplesOnly = settings_;
    for (int k = 0; k < 2; ++k) {
        samplesOnly.channel[k].filterIndex = sent_.channel[k].filterIndex;
        samplesOnly.channel[k].lastFilter = sent_.channel[k].lastFilter;
    }
    // Nothing new since it was sent, or since the card refused to stop for
    // it (the next change tries again).
    const kd7240fp::Settings part = kd7240fp::samplesPart(samplesOnly);
    if (part == kd7240fp::samplesPart(sent_) || (refusedLive_ && part == *refusedLive_))
        return Applied;
    if (!plan_.playable()) {
        tellNotSent(kd7240fp::refusedReadout(plan_),
            kd7240fp::sentences({ kd7240fp::problemText(plan_), tr("The card goes on playing what it played.") }));
        return NotSent;
    }
    lastLiveSend_.start();
    switch (generator_->resend(plan_)) {
    case kd7240fp_generator::Sent:
        sent_ = samplesOnly;
        refusedLive_.reset();
        return Applied;
    case kd7240fp_generator::NotStopped:
        refusedLive_ = part;
        tellNotSent(tr("not sent: the card did not stop"),
            tr("The card refused to stop, so the new samples were not sent; it goes on playing what it played."));
        return NotStopped;
    case kd7240fp_generator::NotGenerated:
        return Stopped;
    case kd7240fp_generator::NotSent:
        break;
    }
    return NotSent;
}

void kd7240fp_model::tellNotSent(const QString &readout, const QString &why)
{
    // A client's change that was not sent is not taken: the window has
    // nothing to say about it.
    if (origin_ != Remote)
        emit liveNotSent(readout, why);
}

void kd7240fp_model::followState(kd7240fp_generator::State state)
{
    emit stateChanged(state);
    // A change made while paused, or while a box was open, goes out now.
    if (state == kd7240fp_generator::Generating && (liveNow() || remoteWaiting_))
        scheduleLive();
}

bool kd7240fp_model::start(Origin origin)
{
    const Asking asking(origin_, origin);
    sent_ = settings_;
    refusedLive_.reset();
    remoteWaiting_ = false;
    return generator_->start(sent_);
}

void kd7240fp_model::stop(Origin origin)
{
    const Asking asking(origin_, origin);
    generator_->stop();
}

void kd7240fp_model::pause() { generator_->pause(); }

void kd7240fp_model::resume() { generator_->resume(); }

void kd7240fp_model::trigger(Origin origin)
{
    const Asking asking(origin_, origin);
    generator_->trigger();
}

bool kd7240fp_model::calibrate(Origin origin)
{
    const Asking asking(origin_, origin);
    return generator_->calibrate();
}

void kd7240fp_model::setFilters(int filter1, int term1, int filter2, int term2, Origin origin)
{
    const Asking asking(origin_, origin);
    generator_->setFilters(filter1, term1, filter2, term2);
}

void kd7240fp_model::setDacs(double dac1, double dac2, Origin origin)
{
    const Asking asking(origin_, origin);
    // What the card did not take it does not hold; a level it did not
    // give up it still holds.
    if (generator_->writeDacs(dac1, dac2)) {
        dac_[0] = dac1;
        dac_[1] = dac2;
        levelHeld_[0] = levelHeld_[1] = false;
    }
    emit dacsChanged(origin);
}

void kd7240fp_model::takeDacs(double dac1, double dac2)
{
    dac_[0] = dac1;
    dac_[1] = dac2;
}

bool kd7240fp_model::holdLevel(int channel, bool on, Origin origin)
{
    const Asking asking(origin_, origin);
    double dacs[2] = { dac_[0], dac_[1] };
    dacs[channel] = on ? settings_.channel[channel].offset : 0;
    if (!generator_->writeDacs(dacs[0], dacs[1]))
        return false;
    dac_[channel] = dacs[channel];
    levelHeld_[channel] = on;
    emit dacsChanged(origin);
    return true;
}

void kd7240fp_model::followLevels(const kd7240fp::Settings &before, Origin origin)
{
    for (int k = 0; k < 2; ++k) {
        if (!levelHeld_[k])
            continue;
        if (settings_.channel[k].function() != kd7240fp::waveDc)
            levelHeld_[k] = false;
        else if (levelMoves(before, settings_, k))
            holdLevel(k, true, origin);
    }
}
