#include "kd7240fp_shapeplot.h"

#include <QChartView>
#include <QLabel>
#include <QVBoxLayout>

#include "kd7010fp_livelabel.h"
#include "kd7240fp_plantext.h"
#include "kd7240fp_preview.h"
#include "kd7240fp_shapefile.h"

kd7240fp_shapePlot::kd7240fp_shapePlot(const QString &name, QWidget *parent)
    : QWidget(parent)
{
    plot = new kd7240fp_preview(this);
    plot->setChannelName(0, name);
    plot->setAccessibleName(tr("Plot of the shape"));
    plot->setAccessibleDescription(tr("One period of the shape at the rate the card plays it"));
    sentLabel = new QLabel(this);
    sentLabel->setWordWrap(true);
    sentLabel->setAccessibleName(tr("What the card is sent"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot, 1);
    layout->addWidget(sentLabel);
}

void kd7240fp_shapePlot::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Read and zoomed with the mouse, so the keyboard passes the plot by
    // (it is built when first shown).
    if (plot->view) {
        plot->view->setFocusPolicy(Qt::NoFocus);
        plot->view->viewport()->setFocusPolicy(Qt::NoFocus);
    }
}

bool kd7240fp_shapePlot::show(
    const std::vector<double> *shape, int samples, int frequency, const QString &why, const kd7240fp::Sweep &sweep)
{
    // The shape played as a channel would play it at amplitude 1 and offset
    // 0: the plan's timing, rate check and seam, in the shape's own scale.
    kd7240fp::Settings settings;
    settings.common.frequency = frequency;
    kd7240fp::ChannelSettings &channel = settings.channel[0];
    channel.waveType = kd7240fp::waveArbitrary;
    channel.amplitude = 1;
    channel.shape = shape ? *shape : std::vector<double>(size_t(std::max(samples, 1)), 0.0);
    channel.sweep = sweep;
    const kd7240fp::Plan plan = kd7240fp::planFor(settings, { -1, 1 }, [this](int count) {
        plotted.resize(size_t(count));
        return plotted.data();
    });
    const bool tooFast = plan.problem == kd7240fp::Plan::TooFast;
    QString sent = tr("%1 samples per period, played at %2 (%3 Hz × %1)")
                       .arg(samples)
                       .arg(kd7240fp::clockText(plan.timing.rate))
                       .arg(frequency);
    if (tooFast) {
        const int most = kd7240fp::mostShapeSamples(frequency);
        sent += QLatin1String(": ")
            + (most >= kd7240fp::minShapeSamples
                    ? tr("too fast, the card plays at most %1; use at most %2 samples")
                          .arg(kd7240fp::clockText(kd7240fp::maxRate))
                          .arg(most)
                    : tr("too fast, the card plays at most %1; lower the frequency")
                          .arg(kd7240fp::clockText(kd7240fp::maxRate)));
    }
    kd7010fp_showLiveText(sentLabel, sent);
    sentLabel->setStyleSheet(tooFast ? QStringLiteral("color: #c62828") : QString());
    if (shape && plan.timing.ok)
        plot->showPlan(plan, true);
    else
        plot->showProblem(why);
    return !tooFast;
}
