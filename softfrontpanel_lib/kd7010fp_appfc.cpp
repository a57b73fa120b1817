#include "kd7010fp_appfc.h"

#include <QCloseEvent>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "kd7010.h"
#include "kd7010fp_about.h"
#include "kd7010fp_fcselect.h"
#include "kd7010fp_icons.h"

namespace {

// A VISA string attribute, or an empty text unless the query succeeded
// outright: a warning leaves the buffer in no defined state.
QString stringAttribute(ViSession session, ViAttr attribute)
{
    char text[256] = {};
    if (viGetAttribute(session, attribute, text) != VI_SUCCESS)
        return QString();
    text[sizeof text - 1] = '\0';
    return QString::fromLatin1(text);
}

} // namespace

kd7010fp_AppFC::kd7010fp_AppFC(kd7010fp_genFC *card, int multiSelect, bool startDemo)
    : card(card)
{
    const QString model = QStringLiteral("%1").arg(card->modelCode, 4, 16, QChar(' '));

    auto *select = new kd7010fp_fcSelect(card, multiSelect);
    if (!startDemo) {
        select->setWindowIcon(windowIcon());
        centerOnScreen(select);
        if (!select->connectCard()) {
            // The operator cancelled: end here, before any window shows, as
            // the error box's exit does (nothing torn down under the
            // running dialogs; only the C streams flushed).
            demoMode = 1;
            std::fflush(nullptr);
            std::_Exit(0);
        }
        demoMode = select->demoMode;
        session = select->session;
        if (!demoMode)
            resourceDescriptor = select->resourceDescriptor;
        for (int i = 0; i < maxCards; ++i)
            fcNumbers[i] = select->fcNumbers[i];
        fcCount = select->fcCount;
    } else {
        // Nobody chose a card: the numbers carry no meaning, keep them defined.
        demoMode = 1;
        session = select->session;
        std::fill(std::begin(fcNumbers), std::end(fcNumbers), 0);
        fcCount = 0;
    }
    if (demoMode)
        session = 0;
    delete select;
    showConnection();

    // Cleared and terminated: the library's result is not examined, so a
    // failed call must still leave a text.
    char commonRevision[KD7010_REVISION_LEN] = {};
    getCommonRevision(commonRevision);
    commonRevision[sizeof commonRevision - 1] = '\0';
    aboutDialog = new kd7010fp_About(card->getSfpRevision().toLocal8Bit().constData(),
        card->getDriverRevision().toLocal8Bit().constData(), model.toLocal8Bit().constData(),
        card->getCopyright().toLocal8Bit().constData(), this, commonRevision);
    aboutDialog->setWindowIcon(windowIcon());
    connect(aboutButton, &QPushButton::clicked, aboutDialog, &QWidget::show);
}

void kd7010fp_AppFC::showConnection()
{
    const QString model = QStringLiteral("%1").arg(card->modelCode, 4, 16, QChar(' '));
    setDemoMode(demoMode != 0);
    QString systemText;
    QString fcText;
    QString hostName;
    if (cardLost) {
        lxiMode = false;
        systemText = tr("No card");
    } else if (demoMode) {
        lxiMode = false;
    } else {
        ViInt16 slot = 0;
        if (viGetAttribute(session, VI_ATTR_SLOT, &slot) < 0) {
            // No VXI slot: the card sits on a module on the network.
            lxiMode = true;
            systemText = stringAttribute(session, VI_ATTR_TCPIP_DEVICE_NAME);
            hostName = stringAttribute(session, VI_ATTR_TCPIP_HOSTNAME);
        } else {
            lxiMode = false;
            systemText = QStringLiteral("Slot %1").arg(slot);
        }
        fcText = QStringLiteral("FC %1").arg(fcNumbers[0]);
    }

    QString title = QStringLiteral("Vantix ") + model + QStringLiteral(" Soft Front Panel");
    if (!hostName.isEmpty())
        title += QStringLiteral(": ") + hostName;
    setWindowTitle(title);
    setHeaderText(QStringLiteral("<html>Vantix ") + model + QStringLiteral("<br><font size='2'>")
        + card->getDescription() + QStringLiteral("</font></html>"));
    // The logo names the carrier's bus; without a card it is the plain one.
    if (lxiMode)
        showLxiLogo(true);
    else
        logoLabel->setPixmap(densityPixmap(QStringLiteral(":/vxi-logo.bmp")));
    setSystemLabel(systemText,
        lxiMode ? QStringLiteral("Shows which LXI module is connected to the Soft Front Panel")
                : QStringLiteral("Shows which VXI module is connected to the Soft Front Panel"));
    setFcLabel(fcText, QStringLiteral("Shows which function card is connected to the Soft Front Panel"));
}

ViStatus kd7010fp_AppFC::reopenCard(bool reset)
{
    if (demoMode && !cardLost)
        return VI_SUCCESS;
    if (!demoMode)
        card->closeCard(session);
    session = 0;
    quint16 numbers[maxCards];
    for (int i = 0; i < maxCards; ++i)
        numbers[i] = quint16(fcNumbers[i]);
    const QByteArray descriptor = resourceDescriptor.toLatin1();
    ViSession opened = 0;
    const ViStatus status = card->initCard(descriptor.constData(), numbers, 1, reset ? 1 : 0, &opened);
    if (status == VI_SUCCESS) {
        session = opened;
        demoMode = 0;
        cardLost = false;
    } else {
        // Nothing to talk to: no session is kept, so nothing calls the
        // driver with a dead one.
        if (opened != 0)
            card->closeCard(opened);
        demoMode = 1;
        cardLost = true;
    }
    showConnection();
    aboutDialog->clearHardwarePages();
    if (cardLost)
        aboutDialog->addHardwarePage(QString(), QString(), tr("No card"));
    return status;
}

kd7010fp_AppFC::~kd7010fp_AppFC()
{
    if (!demoMode)
        card->closeCard(session);
}

void kd7010fp_AppFC::closeEvent(QCloseEvent *event) { kd7010fp_app::closeEvent(event); }
