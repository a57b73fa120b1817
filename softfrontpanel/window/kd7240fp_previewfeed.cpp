#include "kd7240fp_previewfeed.h"

#include <QTabWidget>
#include <QTimer>

#include "kd7240fp_model.h"
#include "kd7240fp_preview.h"

kd7240fp_previewFeed::kd7240fp_previewFeed(
    const kd7240fp_model *model, kd7240fp_preview *preview, QTabWidget *tabs, QObject *parent)
    : QObject(parent)
    , model(model)
    , preview(preview)
    , tabs(tabs)
    , timer(new QTimer(this))
{
    timer->setSingleShot(true);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, &kd7240fp_previewFeed::update);
}

void kd7240fp_previewFeed::follow() { timer->start(); }

bool kd7240fp_previewFeed::inSight() const { return tabs->currentWidget() == preview; }

void kd7240fp_previewFeed::update()
{
    // Out of sight, the preview is drawn when its tab is chosen. While
    // generating it keeps what was sent: planned again from the settings
    // sent when it was out of sight then (a plan gives the same samples
    // every time), so a live change sent unseen costs no copy of them.
    if (!inSight())
        return;
    if (model->running()) {
        if (!sentShown)
            preview->showPlan(kd7240fp::planFor(model->sentSettings(), model->generator()->limits(), [this](int count) {
                sentSamples.resize(size_t(count));
                return sentSamples.data();
            }));
        sentShown = true;
        return;
    }
    preview->showPlan(model->plan());
}

void kd7240fp_previewFeed::showSent(const kd7240fp::Plan &plan)
{
    sentShown = inSight();
    if (sentShown)
        preview->showPlan(plan);
}
