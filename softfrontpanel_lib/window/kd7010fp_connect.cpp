// The connection flow: ask how to reach the card, search or take typed
// addresses, open the card, and keep asking until a session is open, demo
// mode is chosen or the operator cancels.

#include "kd7010fp_fcselect.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <optional>

#include "kd7010.h"
#include "kd7010fp_app.h"
#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_icons.h"

namespace {

enum class Step { Ask, Search, NothingFound, Choose, Address, Validate, Connect, Unavailable, Demo, Cancelled };

// The error text of a failed open: the driver's own words when it has any,
// else the carrier library's.
QString statusText(kd7010fp_genFC *card, ViStatus status)
{
    QString text = card->getErrorMessage(status);
    if (text.isEmpty()) {
        char buffer[KD7010_STATUS_TEXT_LEN] = {};
        getStatusText(status, buffer);
        buffer[sizeof buffer - 1] = '\0';
        text = QString::fromLatin1(buffer);
    }
    return text;
}

// Empty when the rows entered can be connected to, else the warning to show.
QString checkEntries(const QStringList &descriptors, const QList<int> &numbers)
{
    if (descriptors.isEmpty() || numbers.isEmpty() || descriptors.size() != numbers.size())
        return QObject::tr("Please enter at least one resource descriptor and select the Function Card number.");
    for (int i = 0; i < descriptors.size(); ++i) {
        if (descriptors.at(i).isEmpty() || numbers.at(i) == 0) {
            return descriptors.size() < 2
                ? QObject::tr("Please enter the resource descriptor and select the Function Card number.")
                : QObject::tr("Please enter the resource descriptors and select the Function Card numbers.");
        }
    }
    return QString();
}

} // namespace

bool kd7010fp_fcSelect::connectCard()
{
    const QString model = modelText();
    const QString title = boxTitle();

    QMessageBox ask;
    ask.setIcon(QMessageBox::Question);
    ask.setWindowTitle(title);
    ask.setText(tr("How to connect to %1 Function Card?").arg(model));
    ask.setWindowIcon(QIcon(connectIconPixmap()));
    QPushButton *autoFindButton = ask.addButton(tr("Auto Find"), QMessageBox::ActionRole);
    QPushButton *demoButton = ask.addButton(tr("Run In Demo Mode"), QMessageBox::ActionRole);
    QPushButton *addressButton = ask.addButton(tr("Enter Address"), QMessageBox::ActionRole);
    ask.addButton(QMessageBox::Cancel);
    ask.setDefaultButton(autoFindButton);

    // Made when the operator asks for it: the question comes on screen first.
    std::optional<kd7010fp_fcEnterAddress> addressDialog;
    QStringList descriptors;
    QList<int> numbers;
    QString unavailableText;

    Step step = Step::Ask;
    for (;;) {
        switch (step) {
        case Step::Ask: {
            ask.exec();
            QAbstractButton *clicked = ask.clickedButton();
            if (clicked == autoFindButton)
                step = Step::Search;
            else if (clicked == demoButton)
                step = Step::Demo;
            else if (clicked == addressButton)
                step = Step::Address;
            else
                step = Step::Cancelled;
            break;
        }
        case Step::Search: {
            const int n = searchResources();
            if (n >= 2) {
                step = Step::Choose;
            } else if (n == 1) {
                fcCount = 1;
                step = Step::Connect;
            } else {
                step = Step::NothingFound;
            }
            break;
        }
        case Step::NothingFound: {
            const int answer = kd7010fp_app::questionBox(this, QMessageBox::Question, title,
                tr("No %1 Function Card found on your system.").arg(model),
                { tr("Try Again"), tr("Run In Demo Mode"), tr("Cancel") }, 0, -1);
            step = answer == 0 ? Step::Ask : answer == 1 ? Step::Demo : Step::Cancelled;
            break;
        }
        case Step::Choose:
            step = exec() == QDialog::Accepted ? Step::Connect : Step::Cancelled;
            break;
        case Step::Address:
            if (!addressDialog)
                addressDialog.emplace(card);
            addressDialog->loadDefaults();
            step = addressDialog->exec() == QDialog::Rejected ? Step::Ask : Step::Validate;
            break;
        case Step::Validate: {
            addressDialog->saveDefaults(descriptors, numbers);
            const QString warning = checkEntries(descriptors, numbers);
            if (!warning.isEmpty()) {
                kd7010fp_app::warningMessage(warning);
                step = Step::Address;
                break;
            }
            resourceDescriptor = descriptors.join(QLatin1Char(','));
            // saveDefaults returns at most one entry per row, far below maxCards.
            for (int i = 0; i < numbers.size() && i < maxCards; ++i)
                fcNumbers[i] = qint16(numbers.at(i));
            fcCount = int(numbers.size());
            step = Step::Connect;
            break;
        }
        case Step::Connect: {
            if (inUseSession != 0 && fcCount == 1 && fcNumbers[0] == inUseNumber
                && sameResource(resourceDescriptor, inUseSession)) {
                keptInUse = true;
                session = inUseSession;
                return true;
            }
            QByteArray descriptor = resourceDescriptor.toLatin1();
            // fcNumbers holds 16-bit numbers; the card reads them unsigned.
            const ViStatus status
                = card->initCard(descriptor.constData(), reinterpret_cast<quint16 *>(fcNumbers), 1, 1, &session);
            // A warning is no open session either.
            if (status == 0)
                return true;
            const QString error = statusText(card, status);
            unavailableText = fcCount > 1
                ? tr("At least one selected %1 Function Card is unavailable.\nError: %2").arg(model, error)
                : tr("Selected %1 Function Card is unavailable.\nError: %2").arg(model, error);
            step = Step::Unavailable;
            break;
        }
        case Step::Unavailable: {
            const int answer = kd7010fp_app::questionBox(
                this, QMessageBox::Question, title, unavailableText, { tr("Try Again"), tr("Cancel") }, 0, -1);
            step = answer == 0 ? Step::Ask : Step::Cancelled;
            break;
        }
        case Step::Demo:
            demoMode = 1;
            fcNumbers[0] = 1;
            resourceDescriptor = QStringLiteral("VXI0::1::INSTR");
            fcCount = 1;
            return true;
        case Step::Cancelled:
            return false;
        }
    }
}

void kd7010fp_fcSelect::setCardInUse(ViSession session, int fcNumber)
{
    inUseSession = session;
    inUseNumber = fcNumber;
}

namespace {

// What tells one resource from another, read from an open session.
QStringList resourceIdentity(ViSession session)
{
    ViUInt16 type = 0, board = 0;
    if (viGetAttribute(session, VI_ATTR_INTF_TYPE, &type) < VI_SUCCESS
        || viGetAttribute(session, VI_ATTR_INTF_NUM, &board) < VI_SUCCESS)
        return {};
    const auto text = [session](ViAttr attribute) {
        char value[256] = {};
        if (viGetAttribute(session, attribute, value) != VI_SUCCESS)
            return QString();
        value[sizeof value - 1] = '\0';
        return QString::fromLatin1(value).toUpper();
    };
    QStringList identity { QString::number(type), QString::number(board) };
    if (type == VI_INTF_TCPIP)
        identity << text(VI_ATTR_TCPIP_ADDR) << text(VI_ATTR_TCPIP_DEVICE_NAME);
    else
        identity << text(VI_ATTR_RSRC_NAME);
    return identity;
}

} // namespace

bool kd7010fp_fcSelect::sameResource(const QString &descriptor, ViSession session)
{
    const QStringList inUse = resourceIdentity(session);
    if (inUse.isEmpty() || descriptor.contains(QLatin1Char(',')))
        return false;
    ViSession manager = 0, opened = 0;
    if (viOpenDefaultRM(&manager) < VI_SUCCESS)
        return false;
    bool same = false;
    if (viOpen(manager, descriptor.toLatin1().constData(), VI_NULL, VI_NULL, &opened) >= VI_SUCCESS) {
        same = resourceIdentity(opened) == inUse;
        viClose(opened);
    }
    viClose(manager);
    return same;
}

bool kd7010fp_fcSelect::connectTo(const QString &descriptor, int fcNumber, QString *error)
{
    demoMode = 0;
    resourceDescriptor = descriptor.trimmed();
    fcNumbers[0] = qint16(fcNumber);
    fcCount = 1;
    const QByteArray bytes = resourceDescriptor.toLatin1();
    const ViStatus status = card->initCard(bytes.constData(), reinterpret_cast<quint16 *>(fcNumbers), 1, 1, &session);
    if (status == 0)
        return true;
    // A warning is no open session either; nothing is kept of it.
    if (session != 0)
        card->closeCard(session);
    session = 0;
    *error = statusText(card, status);
    return false;
}
