#include "kd7240fp_generator.h"

#include <QTimer>
#include <cstdio>

#include "kd7240.h"
#include "kd7240fp_plantext.h"

namespace {
constexpr int pollIntervalMs = 100;
}

kd7240fp_generator::kd7240fp_generator(QTimer *timer, kd7240fp::SampleRoom room,
    const kd7010fp_connection *connection, std::function<bool()> reportWaits, QObject *parent)
    : QObject(parent)
    , timer(timer)
    , room(std::move(room))
    , connection(connection)
    , reportWaits(std::move(reportWaits))
{
    connect(connection, &kd7010fp_connection::connectionChanged, this, &kd7240fp_generator::followConnection);
    state_ = connection->link() == kd7010fp_connection::Lost ? NoCard : Idle;
}

void kd7240fp_generator::followConnection()
{
    timer->stop();
    toldFilters = { -1, -1, -1, -1 }; // another session: its front ends are to be told
    setState(connection->link() == kd7010fp_connection::Lost ? NoCard : Idle);
}

void kd7240fp_generator::setState(State state)
{
    state_ = state;
    emit stateChanged(state);
}

ViStatus kd7240fp_generator::report(ViStatus status, const char *callText)
{
    if (status == VI_SUCCESS)
        return status;
    char message[kd7240_ERROR_MESSAGE_LEN] = {};
    if (kd7240_error_message(0, status, message) < 0 || message[0] == '\0')
        std::snprintf(message, sizeof message, "Unknown status 0x%08X", static_cast<unsigned>(status));
    message[sizeof message - 1] = '\0';
    emit callReported(status, QString::fromLatin1(callText), QString::fromLatin1(message));
    return status;
}

ViStatus kd7240fp_generator::sendSamples(const kd7240fp::Plan &plan)
{
    const int nSam = plan.timing.nSam;
    const double rate = plan.timing.rate;
    double *const first = const_cast<double *>(plan.samples[0] ? plan.samples[0] : plan.samples[1]);
    if (plan.active[0] && plan.active[1])
        return report(kd7240_generateWaveforms(session(), nSam, plan.length, rate, plan.filter[0], plan.filter[1],
                          first, const_cast<double *>(plan.samples[1])),
            "kd7240_generateWaveforms(d_vi, nSam, length, 1.0/uTime, chan1->getFilt(), chan2->getFilt(), "
            "buffer, buffer + nSam)");
    if (plan.active[0])
        return report(kd7240_generateWaveform(session(), kd7240_CH1, nSam, plan.length, rate, plan.filter[0], first),
            "kd7240_generateWaveform (d_vi, kd7240_CH1, nSam, length, 1.0/uTime, chan1->getFilt(), buffer)");
    return report(kd7240_generateWaveform(session(), kd7240_CH2, nSam, plan.length, rate, plan.filter[1], first),
        "kd7240_generateWaveform (d_vi, kd7240_CH2, nSam, length, 1.0/uTime, chan2->getFilt(), buffer)");
}

kd7240fp_generator::Resent kd7240fp_generator::resend(const kd7240fp::Plan &plan)
{
    if (state_ != Generating || !plan.playable())
        return NotSent;
    // A copy that keeps its samples: a report below may show a box, under
    // which the settings are planned again. A plan that shares its room
    // keeps it alive in the copy; any other is copied whole.
    std::vector<double> owned;
    const kd7240fp::Plan sending = plan.keep ? plan : kd7240fp::withOwnSamples(plan, owned);
    // The card takes new samples only from a new generate call, so the
    // burst is stopped and started again with them. The poll waits
    // meanwhile: run under a report's box it would find the burst stopped
    // for the moment between the calls and end generation.
    if (withCard()) {
        timer->stop();
        if (report(kd7240_stopBurst(session()), "kd7240_stopBurst(d_vi)") < 0) {
            // Still playing what it played: the new samples are not sent.
            timer->start(pollIntervalMs);
            setState(state_);
            return NotStopped;
        }
        if (sendSamples(sending) < 0) {
            // Stopped, and the new samples refused: nothing plays.
            active[0] = active[1] = false;
            setState(Idle);
            return NotGenerated;
        }
        emit sent(sending);
        timer->start(pollIntervalMs);
    }
    for (int k = 0; k < 2; ++k)
        active[k] = sending.active[k];
    setState(Generating);
    return Sent;
}

bool kd7240fp_generator::start(const kd7240fp::Settings &settings)
{
    if (state_ == NoCard)
        return false;
    // Demo mode computes and sends nothing: only a channel to play is asked for.
    const kd7240fp::Plan plan = kd7240fp::planFor(settings, limits_, withCard() ? room : kd7240fp::SampleRoom());
    if (!plan.playable() && (withCard() || plan.problem == kd7240fp::Plan::NoWaveform)) {
        // What the card cannot play is refused here, in the operator's
        // words, before anything reaches it.
        emit refused(kd7240fp::problemText(plan));
        setState(state_);
        return false;
    }
    for (int k = 0; k < 2; ++k)
        active[k] = plan.active[k];

    if (withCard()) {
        const kd7240fp::ChannelSettings &c1 = settings.channel[0], &c2 = settings.channel[1];
        if (toldFilters != std::array { c1.filterCode(), c1.termCode(), c2.filterCode(), c2.termCode() })
            setFilters(c1.filterCode(), c1.termCode(), c2.filterCode(), c2.termCode());
        const QString caution = kd7240fp::cautionText(plan);
        if (!caution.isEmpty())
            emit cautioned(caution);
        if (plan.byTrigger)
            report(kd7240_setITRI(session(), kd7240_ITRI_SRC_BOTH, kd7240_ITRI_PULSE_ABORT),
                "kd7240_setITRI(d_vi, kd7240_ITRI_SRC_BOTH, kd7240_ITRI_PULSE_ABORT)");
        else
            report(kd7240_setITRI(session(), 0, 0), "kd7240_setITRI(d_vi, 0, 0)");

        sendSamples(plan);
        emit sent(plan);
        // Even after a failed generate call the panel goes on to generating:
        // the poll returns it to idle once the card reports no burst.
    }
    pollFailing = false;
    timer->start(pollIntervalMs);
    setState(Generating);
    return true;
}

void kd7240fp_generator::stop()
{
    timer->stop();
    if (withCard()) {
        // A state the card did not report counts as running, so the stop
        // call is sent all the same.
        ViInt32 burst = 1;
        const ViStatus status = report(kd7240_getBurstStatus(session(), &burst, nullptr, nullptr, nullptr),
            "kd7240_getBurstStatus (d_vi, &state, NULL, NULL, NULL)");
        if ((status < 0 || burst != 0) && report(kd7240_stopBurst(session()), "kd7240_stopBurst(d_vi)") < 0) {
            // The card did not stop, so the panel must not show idle: it
            // stays as it was, with Stop pressed for another try and the poll
            // watching the card. A pause stays too: resuming a card the
            // operator wanted stopped would start its output again.
            timer->start(pollIntervalMs);
            setState(state_);
            return;
        }
    }
    // Releasing Pause resumes the card, in demo mode too (on session 0).
    if (state_ == Paused)
        kd7240_resume(session());
    setState(Idle);
}

void kd7240fp_generator::pause()
{
    // Also in demo mode: the driver answers session 0 with an error, which
    // is not shown.
    kd7240_pause(session());
    if (state_ == Generating)
        setState(Paused);
}

void kd7240fp_generator::resume()
{
    kd7240_resume(session());
    if (state_ == Paused)
        setState(Generating);
}

void kd7240fp_generator::poll()
{
    if (!withCard() || !running())
        return;
    // Unknown counts as still generating: only the card's own word that the
    // burst has ended returns the panel to idle.
    ViInt32 stat = 1;
    const ViStatus status = kd7240_getBurstStatus(session(), &stat, nullptr, nullptr, nullptr);
    // A poll that keeps failing is reported once per streak, not every
    // 100 ms, or the box would return after each answer and Stop could
    // hardly be reached. While another box waits for the operator the
    // report waits too, so boxes never stack; the poll itself goes on, so a
    // burst that ends under the About box is seen at once.
    if (status == VI_SUCCESS) {
        pollFailing = false;
        emit burstRead(stat);
    } else if (!pollFailing && !reportWaits()) {
        pollFailing = true;
        report(status, "kd7240_getBurstStatus(d_vi, &stat, NULL, NULL, NULL)");
    }
    if (status < 0 || stat != 0 || !running())
        return;
    stop();
}

void kd7240fp_generator::abandon()
{
    timer->stop();
    if (withCard() && running())
        report(kd7240_stopBurst(session()), "kd7240_stopBurst(d_vi)");
    setState(connection->link() == kd7010fp_connection::Lost ? NoCard : Idle);
}

void kd7240fp_generator::trigger()
{
    if (!withCard())
        return;
    report(kd7240_pulseITRI(session(), kd7240_ITRI_PULSE), "kd7240_pulseITRI(d_vi, kd7240_ITRI_PULSE)");
}

void kd7240fp_generator::setFilters(int filter1, int term1, int filter2, int term2)
{
    if (!withCard())
        return;
    toldFilters = { filter1, term1, filter2, term2 };
    report(kd7240_setFEConfig(session(), kd7240_CH1, filter1, term1),
        "kd7240_setFEConfig(d_vi, kd7240_CH1, chan1->getFilt(), chan1->getTerm())");
    report(kd7240_setFEConfig(session(), kd7240_CH2, filter2, term2),
        "kd7240_setFEConfig(d_vi, kd7240_CH2, chan2->getFilt(), chan2->getTerm())");
}

bool kd7240fp_generator::writeDacs(double dac1, double dac2)
{
    // Demo mode takes any value and calls nothing; a lost card takes none,
    // nor does a card that generates.
    if (running())
        return false;
    if (!withCard())
        return connection->link() == kd7010fp_connection::Demo;
    return report(kd7240_writeChannels(session(), dac1, dac2), "kd7240_writeChannels(d_vi, dac1_val, dac2_val)") >= 0;
}

bool kd7240fp_generator::calibrate()
{
    if (connection->link() == kd7010fp_connection::Lost)
        return false;
    if (withCard() && report(kd7240_calibrate(session()), "kd7240_calibrate(d_vi)") < 0)
        return false;
    emit calibrated();
    return true;
}

bool kd7240fp_generator::readLimits(double *low, double *high)
{
    if (!withCard())
        return false;
    double l = *low, h = *high;
    if (report(kd7240_getOutputLimits(session(), &l, &h), "kd7240_getOutputLimits(d_vi, &lowLimit, &hiLimit)") < 0)
        return false;
    *low = l;
    *high = h;
    return true;
}

double kd7240fp_generator::readDac(int channel, double current)
{
    if (!withCard())
        return current;
    // A failed read leaves the box as it is rather than showing a value the
    // card never sent.
    double value = current;
    const ViStatus status = report(kd7240_getDACval(session(), channel, &value),
        channel == kd7240_CH1 ? "kd7240_getDACval(d_vi, kd7240_CH1, &dac_val)"
                              : "kd7240_getDACval(d_vi, kd7240_CH2, &dac_val)");
    return status < 0 ? current : value;
}

kd7240fp_generator::Identity kd7240fp_generator::readIdentity()
{
    if (connection->link() == kd7010fp_connection::Demo)
        return { QStringLiteral("62089481 (DEMO)"), QStringLiteral("1.0.1.0 (DEMO)"),
            QStringLiteral("7240-AA (DEMO)") };
    if (connection->link() == kd7010fp_connection::Lost)
        return {};
    ViUInt32 serial = 0;
    char subtype[kd7240_SUBTYPE_LEN] = {};
    report(kd7240_readSerialNo(session(), &serial, subtype), "kd7240_readSerialNo(d_vi, &serialNumber, subtype)");
    subtype[sizeof subtype - 1] = '\0';
    char revision[kd7240_INSTR_REVISION_LEN] = {};
    kd7240_revision_query(session(), nullptr, revision);
    revision[sizeof revision - 1] = '\0';
    return { QString::asprintf("%08x", serial), QString::fromLatin1(revision),
        QStringLiteral("7240-%1").arg(QString::fromLatin1(subtype), 0, QChar(' ')) };
}
