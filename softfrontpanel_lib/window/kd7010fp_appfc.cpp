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
    : kd7010fp_AppFC(card, multiSelect, startDemo, kd7010fp_connectRequest())
{
}

kd7010fp_AppFC::kd7010fp_AppFC(
    kd7010fp_genFC *card, int multiSelect, bool startDemo, const kd7010fp_connectRequest &request)
    : card(card)
    , connection(new kd7010fp_connection(card, this))
    , multiSelect(multiSelect)
{
    const QString model = QStringLiteral("%1").arg(card->modelCode, 4, 16, QChar(' '));
    std::fill(std::begin(fcNumbers), std::end(fcNumbers), 0);
    connect(connection, &kd7010fp_connection::connectionChanged, this, &kd7010fp_AppFC::showConnection);

    if (startDemo || request.kind == kd7010fp_connectRequest::Demo) {
        // Nobody chose a card: no numbers to keep.
        connection->adopt(0, QString(), {}, true);
    } else {
        kd7010fp_fcSelect select(card, multiSelect);
        bool connected = false;
        if (request.kind == kd7010fp_connectRequest::Address) {
            QString error;
            connected = select.connectTo(request.descriptor, request.fcNumber, &error);
            if (!connected) {
                const QString said = tr("Cannot connect to %1, function card %2: %3").arg(request.descriptor).arg(request.fcNumber).arg(error);
                std::fprintf(stderr, "kd7240fp: %s\n", qPrintable(said));
                warningMessage(said + QLatin1Char('\n') + tr("Choose how to connect."));
            }
        }
        if (!connected && !runFlow(select)) {
            // The operator cancelled: end here, before any window shows, as
            // the error box's exit does (nothing torn down under the
            // running dialogs; only the C streams flushed).
            demoMode = 1;
            std::fflush(nullptr);
            std::_Exit(0);
        }
        adoptSelection(select);
    }

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

bool kd7010fp_AppFC::runFlow(kd7010fp_fcSelect &select)
{
    select.setWindowIcon(windowIcon());
    centerOnScreen(&select);
    return select.connectCard();
}

void kd7010fp_AppFC::adoptSelection(const kd7010fp_fcSelect &select)
{
    QList<int> numbers;
    for (int i = 0; i < std::max(select.fcCount, 1) && i < maxCards; ++i)
        numbers << select.fcNumbers[i];
    connection->adopt(select.session, select.resourceDescriptor, numbers, select.demoMode != 0);
}

bool kd7010fp_AppFC::changeCard()
{
    kd7010fp_fcSelect select(card, multiSelect);
    if (connection->withCard() && !numbersInUse().isEmpty())
        select.setCardInUse(connection->session(), numbersInUse().constFirst());
    if (!runFlow(select))
        return false;
    if (select.keptInUse) {
        // Opened a second time it would be reset; it stays as it is.
        infoMessage(tr("Function card %1 on %2 is the card in use; it stays connected as it is.")
                        .arg(numbersInUse().constFirst())
                        .arg(connection->descriptor()));
        return false;
    }
    adoptSelection(select);
    return true;
}

QList<int> kd7010fp_AppFC::numbersInUse() const { return connection->fcNumbers(); }

void kd7010fp_AppFC::showConnection()
{
    const kd7010fp_connection::Link link = connection->link();
    session = connection->session();
    demoMode = link == kd7010fp_connection::Card ? 0 : 1;
    const QList<int> numbers = connection->fcNumbers();
    for (int i = 0; i < maxCards; ++i)
        fcNumbers[i] = i < numbers.size() ? numbers[i] : 0;
    fcCount = int(numbers.size());

    const QString model = QStringLiteral("%1").arg(card->modelCode, 4, 16, QChar(' '));
    setDemoMode(demoMode != 0);
    QString systemText;
    QString fcText;
    QString hostName;
    if (link == kd7010fp_connection::Lost) {
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
    // The card panel adds the identity of a card it reads.
    if (aboutDialog) {
        aboutDialog->clearHardwarePages();
        if (link == kd7010fp_connection::Lost)
            aboutDialog->addHardwarePage(QString(), QString(), tr("No card"));
    }
}

ViStatus kd7010fp_AppFC::reopenCard(bool reset) { return connection->reopen(reset); }

kd7010fp_AppFC::~kd7010fp_AppFC()
{
    // The session is closed here, before the window's parts go.
    delete connection;
    connection = nullptr;
}

void kd7010fp_AppFC::closeEvent(QCloseEvent *event) { kd7010fp_app::closeEvent(event); }
