#include "kd7240fp_plantext.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace kd7240fp {

namespace {

QString tr(const char *text) { return QCoreApplication::translate("kd7240fp_plan", text); }

// A value beyond an end, with as many decimals as it takes to tell the two
// apart: "reaches 10.00 V; the range is -10.00 to 10.00 V" would contradict itself.
QString beyondText(double worst, double end)
{
    int decimals = 2;
    while (decimals < 6 && QString::number(worst, 'f', decimals) == QString::number(end, 'f', decimals))
        ++decimals;
    return decimalText(worst, 'f', decimals);
}

QString played(const Plan &plan) { return decimalText(plan.timing.played, 'f', 2); }

QString timingProblem(const Plan &plan)
{
    switch (plan.timing.problem) {
    case Timing::TooFast:
        return tr("Channel %1: %2 samples at %3 Hz need %4; the card plays at most %5")
            .arg(plan.timing.channel)
            .arg(plan.timing.nSam)
            .arg(plan.frequency)
            .arg(clockText(plan.timing.rate), clockText(maxRate));
    case Timing::LengthsDiffer:
        return tr("Channel 1 holds %1 samples and channel 2 %2: both channels play one period together, so their "
                  "shapes must hold the same number of samples.")
            .arg(plan.shapeSamples[0])
            .arg(plan.shapeSamples[1]);
    default:
        return QStringLiteral("Wrong output signal frequency has been choosen");
    }
}

} // namespace

QString decimalText(double value, char format, int precision)
{
    // As the number boxes write numbers: the locale's marks, no group separators.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, format, precision);
}

QString sentences(const QStringList &parts)
{
    QString joined;
    for (const QString &part : parts) {
        const QString text = part.trimmed();
        if (text.isEmpty())
            continue;
        if (!joined.isEmpty()) {
            if (!joined.endsWith(QLatin1Char('.')) && !joined.endsWith(QLatin1Char('!'))
                && !joined.endsWith(QLatin1Char('?')))
                joined += QLatin1Char('.');
            joined += QLatin1Char(' ');
        }
        joined += text;
    }
    return joined;
}

QString clockText(double rate)
{
    if (rate >= 999999.5)
        return tr("%1 MHz").arg(decimalText(rate / 1e6, 'g', 6));
    if (rate >= 999.5)
        return tr("%1 kHz").arg(decimalText(rate / 1e3, 'g', 6));
    return tr("%1 Hz").arg(decimalText(rate, 'g', 6));
}

QString readoutText(const Plan &plan)
{
    if (!plan.timing.ok) {
        switch (plan.timing.problem) {
        case Timing::TooFast:
            return tr("needs %1").arg(clockText(plan.timing.rate));
        case Timing::LengthsDiffer:
            return tr("shapes differ in length");
        default:
            return tr("no sample rate fits");
        }
    }
    if (plan.exact) {
        const QString ppm = decimalText(plan.errorPpm, 'f', 1);
        return plan.periods == 1
            ? tr("plays %1 Hz (%2 ppm),\n1 period in %3 samples").arg(played(plan), ppm).arg(plan.timing.nSam)
            : tr("plays %1 Hz (%2 ppm),\n%3 periods in %4 samples")
                  .arg(played(plan), ppm)
                  .arg(plan.periods)
                  .arg(plan.timing.nSam);
    }
    return tr("plays %1 Hz, %2 samples").arg(played(plan)).arg(plan.timing.nSam);
}

QString readoutTip(const Plan &plan)
{
    if (!plan.timing.ok)
        return timingProblem(plan);
    const Timing &timing = plan.timing;
    const QString clock = clockText(timing.rate);
    QStringList tip;
    if (plan.exact) {
        const QString periods
            = plan.periods == 1 ? tr("1 whole period") : tr("%1 whole periods").arg(plan.periods);
        tip << tr("%1 in %2 samples played at %3: %4 Hz, %5 ppm from the %6 Hz set.")
                   .arg(periods)
                   .arg(timing.nSam)
                   .arg(clock, played(plan), decimalText(plan.errorPpm, 'f', 1))
                   .arg(plan.frequency);
        if (plan.exactMissed)
            tip << tr("With %1 cycles the buffer must hold a number of periods that divides %1, and none comes within "
                      "%2 %.")
                       .arg(plan.cycles)
                       .arg(decimalText(offTolerance * 100, 'g', 3));
    } else {
        tip << (timing.fromShape ? tr("One period is the shape's %1 samples, played at %2 (the frequency times the "
                                      "samples): %3 Hz.")
                                       .arg(timing.nSam)
                                       .arg(clock, played(plan))
                                 : tr("One period is %1 samples played at %2: %3 Hz.")
                                       .arg(timing.nSam)
                                       .arg(clock, played(plan)));
        if (plan.exactBesideShape)
            tip << tr("Exact frequency does not apply to a shape: its samples are one period, played at the frequency "
                      "times their number.");
        const double deviation = (timing.played - plan.frequency) / plan.frequency;
        if (std::fabs(deviation) > offTolerance)
            tip << tr("A period holds only whole samples, so the card plays %1 % %2 the %3 Hz set.")
                       .arg(decimalText(std::fabs(deviation) * 100, 'f', 2))
                       .arg(deviation > 0 ? tr("above") : tr("below"))
                       .arg(plan.frequency);
    }
    const QString caution = cautionText(plan);
    if (!caution.isEmpty())
        tip << caution;
    return sentences(tip);
}

QString problemText(const Plan &plan)
{
    switch (plan.problem) {
    case Plan::None:
        return QString();
    case Plan::NoWaveform:
        return QStringLiteral("At least for one channel the waveform type should be choosen");
    case Plan::NoShape:
        return tr("Channel %1 has no shape loaded.").arg(plan.problemChannel);
    case Plan::NoPeriod:
    case Plan::TooFast:
    case Plan::LengthsDiffer:
        return timingProblem(plan);
    case Plan::NoMemory:
        return tr("Not enough memory for %1 samples; the waveform cannot be generated.").arg(plan.neededSamples);
    case Plan::BeyondLimits: {
        QStringList lines;
        for (const Plan::Beyond &b : plan.beyond)
            lines << tr("Channel %1 reaches %2 V; the card's output range is %3 to %4 V.")
                         .arg(b.channel)
                         .arg(beyondText(b.worst, b.end))
                         .arg(decimalText(plan.limits.low, 'f', 2), decimalText(plan.limits.high, 'f', 2));
        return lines.join(QLatin1Char('\n'));
    }
    }
    return QString();
}

QString refusedReadout(const Plan &plan)
{
    switch (plan.problem) {
    case Plan::BeyondLimits:
        return tr("not sent: beyond the card's range");
    case Plan::NoWaveform:
        return tr("not sent: no waveform");
    case Plan::NoShape:
        return tr("not sent: no shape loaded");
    case Plan::TooFast:
    case Plan::LengthsDiffer:
    case Plan::NoPeriod:
        return tr("not sent: %1").arg(readoutText(plan));
    case Plan::NoMemory:
        return tr("not sent: not enough memory");
    case Plan::None:
        break;
    }
    return QString();
}

QString cautionText(const Plan &plan)
{
    for (int k = 0; k < 2; ++k)
        if (plan.fewSamples[k])
            return tr("Channel %1 draws its waveform with the shape's %2 samples per period; below %3 it no longer "
                      "looks like one.")
                .arg(k + 1)
                .arg(plan.timing.nSam)
                .arg(exactMinSamplesPerPeriod);
    return QString();
}

QString sweepLabel(const Sweep &sweep, int frequency)
{
    const double scale = sweep.frequency > 0 && frequency > 0 ? double(frequency) / sweep.frequency : 1;
    QString label = tr("sweep %1 → %2, %3")
                        .arg(clockText(sweep.start * scale), clockText(sweep.stop * scale),
                            sweep.logarithmic ? tr("logarithmic") : tr("linear"));
    if (scale != 1)
        label += QLatin1Char(' ') + tr("(made at %1 Hz)").arg(sweep.frequency);
    return label;
}

QString periodTitle(const Plan &plan, const QString &channel1Name, const QString &channel2Name, bool volts)
{
    if (!plan.timing.ok)
        return timingProblem(plan);
    if (!plan.samples[0] && !plan.samples[1])
        return tr("No waveform chosen");
    QString title = tr("One period: %1 at %2").arg(readoutText(plan), clockText(plan.timing.rate));
    QStringList seams;
    const QString names[2] = { channel1Name, channel2Name };
    for (int k = 0; k < 2; ++k)
        if (plan.seam[k].named && plan.seam[k].phaseJump != 0)
            seams << tr("%1 jumps %2° in phase at the seam")
                         .arg(names[k].toLower(), decimalText(std::fabs(plan.seam[k].phaseJump), 'f', 1));
        else if (plan.seam[k].named)
            seams << (volts ? tr("%1 steps %2 V at the seam") : tr("%1 steps %2 at the seam"))
                         .arg(names[k].toLower(), decimalText(plan.seam[k].step, 'g', 3));
    if (!seams.isEmpty())
        title += QLatin1String("; ") + seams.join(QLatin1String(", "));
    return title;
}

} // namespace kd7240fp
