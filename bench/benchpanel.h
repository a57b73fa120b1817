// A panel window for the benchmarks that time the panel itself, connected
// as an operator connects: one simulated 7240 card with an output range of
// -10 to 10 V, the connection question answered "Auto Find".
#ifndef BENCHPANEL_H
#define BENCHPANEL_H

#include <QAbstractButton>
#include <QApplication>
#include <QHostAddress>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "kd7240_fc.h"
#include "kd7240fp_app.h"
#include "kdsim.h"

// Null, with the reason printed after `bench`'s name, when no card connects.
inline std::unique_ptr<kd7240fp_App> openBenchPanel(kd7240_fc *card, const char *bench)
{
    static const char system[] = R"({"resources":[{"descriptor":"VXI0::8::INSTR","slot":3,
      "carrier":{"model":12345,"cards":[{"model":"0x7240","lowLimit":-10,"highLimit":10}]}}]})";
    std::string error;
    if (!kdsim::loadSystem(system, &error)) {
        std::printf("%s: %s\n", bench, error.c_str());
        return nullptr;
    }
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        for (QAbstractButton *b : box->findChildren<QAbstractButton *>())
            if (b->text().remove(QLatin1Char('&')) == QLatin1String("Auto Find"))
                b->click();
    });
    answer.start(5);
    auto panel = std::make_unique<kd7240fp_App>(card);
    answer.stop();
    if (panel->demoMode) {
        std::printf("%s: no card connected\n", bench);
        return nullptr;
    }
    return panel;
}

// Remote control on a free port; false, with the reason printed after
// `bench`'s name, when it cannot listen.
inline bool startBenchRemote(kd7240fp_App &panel, const char *bench)
{
    QString problem;
    if (panel.startRemote(0, {}, &problem))
        return true;
    std::printf("%s: %s\n", bench, qPrintable(problem));
    return false;
}

#endif
