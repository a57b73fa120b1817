// Shared pieces of the panel window tests: a window whose base members the
// tests may read, the simulated system's calls as Qt values, and what the
// operator sees of an LED.
#ifndef PANELFIXTURE_H
#define PANELFIXTURE_H

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QStringList>
#include <memory>
#include <string>

#include "kd7010fp_led.h"
#include "pickcard.h"
#include "kd7240fp_app.h"
#include "kdsim.h"
#include "modalscript.h"

// The panel base keeps its widgets protected; the tests read them through
// this subclass. failAllocation makes the sample buffer unobtainable.
class PanelPeek : public kd7240fp_App
{
public:
    using kd7010fp_app::aboutButton;
    using kd7010fp_app::aboutDialog;
    using kd7010fp_app::activeLed;
    using kd7010fp_app::fcLabel;
    using kd7010fp_app::logoLabel;
    using kd7010fp_app::resetButton;
    using kd7010fp_app::systemLabel;
    using kd7010fp_app::titleLabel;
    using kd7240fp_App::kd7240fp_App;

    bool failAllocation = false;

protected:
    double *allocateSamples(int count) override
    {
        return failAllocation ? nullptr : kd7240fp_App::allocateSamples(count);
    }
};

inline bool loadTestSystem(const char *name)
{
    std::string error;
    const bool ok = kdsim::loadSystemFile(std::string(SFP_TEST_SYSTEMS) + "/" + name, &error);
    if (!ok)
        qWarning("%s", error.c_str());
    return ok;
}

// A panel connected to the fixture system by the operator's first answer
// ("Auto Find", "Run In Demo Mode"), with the call list cleared; null when
// the connection did not go as scripted.
inline std::unique_ptr<PanelPeek> openPanel(kd7010fp_genFC *card, const char *system, const QString &how)
{
    if (!loadTestSystem(system))
        return nullptr;
    ModalScript script;
    script.answer(how);
    std::unique_ptr<PanelPeek> panel(new PanelPeek(card));
    if (!script.failure.isEmpty() || script.pending() != 0)
        return nullptr;
    kdsim::clearCalls();
    return panel;
}

inline QJsonObject callArgs(const kdsim::Call &call)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(call.args)).object();
}

// The first call of that name, or an empty record when there was none, so a
// missing call fails the comparisons that follow instead of crashing them.
inline kdsim::Call firstCall(const std::string &name)
{
    const std::vector<kdsim::Call> found = kdsim::calls(name);
    return found.empty() ? kdsim::Call() : found.front();
}

inline QStringList callNames(const std::vector<kdsim::Call> &calls)
{
    QStringList names;
    for (const kdsim::Call &call : calls)
        names << QString::fromStdString(call.call);
    return names;
}

// The names of the calls into the card's driver, in order.
inline QStringList driverCalls()
{
    return callNames(kdsim::calls()).filter(QRegularExpression(QStringLiteral("^kd7240_")));
}

// An LED is lit when the lamp shows its green on colour.
inline bool ledLit(kd7010fp_led *led)
{
    const QImage image = led->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.green() > 160 && c.red() < 90 && c.blue() < 90)
                return true;
        }
    return false;
}

inline bool samePicture(const QLabel *label, const QString &resource)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_RGB32)
        == QPixmap(resource).toImage().convertToFormat(QImage::Format_RGB32);
}

#endif
