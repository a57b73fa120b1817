// Auto Find: every VISA instrument resource is asked which carrier it is and
// which function cards sit in its slots; the answers fill the select tree.
// Network resources answer slowly, so they are queried on worker threads
// while a progress box keeps the GUI alive.

#include "kd7010fp_fcselect.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSet>
#include <QThreadPool>
#include <QTreeWidget>
#include <QVector>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstring>
#include <vector>

#include "kd7010.h"
#include "kd7010fp_app.h"
#include "visa.h"

namespace {

// Some cards report a raw slot identity that differs from the model code the
// operator knows them by. Rows are tried in order, the first match wins.
struct SlotModelRow
{
    quint16 raw;
    quint16 mask; // the raw identity is ANDed with this before comparing
    quint16 shown;
};
const SlotModelRow slotModelDisplay[] = {
    { 0x1208, 0xFFFF, 0x6208 },
    { 0x1216, 0xFFFF, 0x6216 },
    { 0x1110, 0xFFFF, 0x7110 },
    { 0x1120, 0xFFFF, 0x7120 },
    // The 7030 family keeps its hardware revision in bits 8 and 9.
    { 0x8030, 0xFCFF, 0x7030 },
};

// A carrier generation that reports an older model number for the same module.
struct CarrierRemapRow
{
    quint16 reported;
    quint16 stored;
};
const CarrierRemapRow carrierRemap[] = {
    { 3151, 3150 },
};

quint16 shownModel(quint16 raw)
{
    for (const SlotModelRow &row : slotModelDisplay) {
        if ((raw & row.mask) == row.raw)
            return row.shown;
    }
    return raw;
}

quint16 remappedCarrier(quint16 model)
{
    for (const CarrierRemapRow &row : carrierRemap) {
        if (model == row.reported)
            return row.stored;
    }
    return model;
}

// The variant register holds two characters, high byte first. An unreadable
// or blank register gives no suffix rather than invisible NUL characters.
QString variantSuffix(quint16 word)
{
    QString text;
    for (const quint8 byte : { quint8(word >> 8), quint8(word & 0xFF) }) {
        if (byte != 0)
            text.append(QChar::fromLatin1(char(byte)));
    }
    return text.isEmpty() ? QString() : QLatin1Char('-') + text;
}

// The search's progress box. The queries cannot be cancelled, so neither
// Escape nor the window's close button may take the box away: the GUI would
// then wait for them with nothing on screen. Only the watcher's reset() at
// the end hides it.
class SearchProgress : public QProgressDialog
{
public:
    using QProgressDialog::QProgressDialog;

    void reject() override { }

protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

} // namespace

void kd7010fp_fcSelect::getResourceInfo(getResourceInfo_params_t *params)
{
    if (params->queried)
        return;
    resourceEntry_t entry = params->entry;

    const QByteArray descriptor = entry.descriptor.toLatin1();
    ViSession vi = 0;
    if (viOpen(params->defaultRM, descriptor.constData(), 0, 0, &vi) < 0)
        return;

    carrierHandle_t handle;
    std::memset(&handle, 0, sizeof handle);
    handle.defaultRM = params->defaultRM;
    if (openCarrier(vi, &handle) < 0) {
        viClose(vi);
        return;
    }
    kd7010_carrier_t *object = handle.object;
    // A library that reports success without a carrier object gives nothing to read.
    if (!object || !object->identity) {
        closeCarrier(&handle);
        viClose(vi);
        return;
    }
    const kd7010_identityTable_t *identity = object->identity;
    kd7010_accessTable_t *access = object->getAccess ? object->getAccess(object, 1, 1) : nullptr;

    entry.carrierModel = qint16(remappedCarrier(identity->identities[0]));

    ViUInt16 interfaceType = 0;
    viGetAttribute(vi, VI_ATTR_INTF_TYPE, &interfaceType);
    if (interfaceType == VI_INTF_TCPIP) {
        char address[VI_FIND_BUFLEN] = {};
        viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, address);
        address[sizeof address - 1] = '\0';
        const QString addressText = QString::fromLatin1(address);
        entry.carrierTexts.append(QStringLiteral("%1 - %2 LXI").arg(addressText).arg(entry.carrierModel));
        entry.networkAddress = addressText;
    } else {
        // A slot that cannot be read shows as "?"; whatever was read, also
        // VISA's -1 for an unknown slot, shows as the signed number.
        ViInt16 slot = 0;
        const bool slotRead = viGetAttribute(vi, VI_ATTR_SLOT, &slot) >= 0;
        const QString slotText = slotRead ? QString::number(slot) : QStringLiteral("?");
        entry.carrierTexts.append(QStringLiteral("Slot %1 - %2 MB").arg(slotText).arg(entry.carrierModel));
        entry.networkAddress.clear();
    }

    // The table holds at most KD7010_MAX_SLOTS slots, whatever count it claims.
    const int slotCount = std::clamp<int>(identity->slotCount, 0, KD7010_MAX_SLOTS);
    for (int i = 1; i <= slotCount; ++i) {
        const quint16 raw = identity->identities[i];
        if (raw == 0)
            continue;
        const quint16 shown = shownModel(raw);
        entry.modelSuffix.clear();
        if (access && access->readSlotWord && (shown == 0x6208 || shown == 0x6216)) {
            ViUInt16 word = 0;
            access->readSlotWord(object, ViUInt16(i), KD7010_VARIANT_REGISTER, &word);
            entry.modelSuffix = variantSuffix(word);
        }
        entry.fcTexts.append({ QStringLiteral("FC %1").arg(i),
            QStringLiteral("%1%2").arg(shown, 4, 16, QLatin1Char(' ')).arg(entry.modelSuffix) });
        // The card object judges the raw identity, not the code shown.
        entry.slotNumbers.append(params->card->checkModel(raw) ? i : 0);
    }

    params->entry = entry;
    closeCarrier(&handle);
    viClose(vi);
}

int kd7010fp_fcSelect::searchResources()
{
    fcTree->clear();
    QList<resourceEntry_t> entries;

    ViSession rm = 0;
    if (viOpenDefaultRM(&rm) != 0) {
        viClose(rm);
        return 0;
    }

    ViFindList findList = 0;
    ViUInt32 count = 0;
    char buffer[VI_FIND_BUFLEN] = {};
    if (viFindRsrc(rm, "?*INSTR", &findList, &count, buffer) != 0) {
        viClose(rm);
        return 0;
    }
    if (count == 0) {
        viClose(findList);
        viClose(rm);
        return 0;
    }

    ViStatus next = 0;
    do {
        buffer[sizeof buffer - 1] = '\0';
        resourceEntry_t entry;
        entry.descriptor = QString::fromLatin1(buffer);
        entries.append(entry);
        --count;
        next = viFindNext(findList, buffer);
    } while (next == 0 && count != 0);

    // Non-network resources answer at once and are asked here; the network
    // ones go to the thread pool.
    const int n = int(entries.size());
    std::vector<getResourceInfo_params_t> records(n);
    QVector<getResourceInfo_params_t *> work;
    work.reserve(n);
    for (int i = 0; i < n; ++i) {
        getResourceInfo_params_t &record = records[i];
        record.card = card;
        record.defaultRM = rm;
        record.entry = entries.at(i);
        record.queried = false;
        if (!record.entry.descriptor.toUpper().contains(QLatin1String("TCPIP"))) {
            getResourceInfo(&record);
            record.queried = true;
        }
        work.append(&record);
    }

    // The queries get threads of their own. Qt's painting also runs on the
    // global pool, so slow network opens filling it would freeze the GUI
    // thread in its next paint, progress box included.
    QThreadPool pool;
    pool.setMaxThreadCount(std::min(n, maxSearchThreads));

    SearchProgress progress(this);
    progress.setWindowTitle(QStringLiteral("Vantix %1").arg(modelText()));
    progress.setLabelText(tr("Searching..."));
    progress.setCancelButton(nullptr);
    QFutureWatcher<void> watcher;
    connect(&watcher, &QFutureWatcher<void>::finished, &progress, &QProgressDialog::reset);
    connect(&watcher, &QFutureWatcher<void>::progressRangeChanged, &progress, &QProgressDialog::setRange);
    connect(&watcher, &QFutureWatcher<void>::progressValueChanged, &progress, &QProgressDialog::setValue);
    QFuture<void> future = QtConcurrent::map(&pool, work, &kd7010fp_fcSelect::getResourceInfo);
    watcher.setFuture(future);
    progress.exec();
    future.waitForFinished();

    for (int i = 0; i < n; ++i)
        entries[i] = records[i].entry;
    records.clear();

    // One LXI module reached through several descriptors is listed once,
    // under the descriptor found first.
    QList<resourceEntry_t> kept;
    QSet<QString> addresses;
    for (const resourceEntry_t &entry : std::as_const(entries)) {
        if (!entry.networkAddress.isEmpty()) {
            if (addresses.contains(entry.networkAddress))
                continue;
            addresses.insert(entry.networkAddress);
        }
        kept.append(entry);
    }

    kd7010fp_app::sortByDescriptor(kept.begin(), kept.end(), [](const resourceEntry_t &e) { return e.descriptor; });

    int found = 0;
    QTreeWidgetItem *system = nullptr;
    QString lastPrefix;
    bool limitReached = false;
    for (const resourceEntry_t &entry : std::as_const(kept)) {
        const QString prefix = entry.descriptor.left(entry.descriptor.indexOf(QLatin1Char(':')));
        if (!system || prefix != lastPrefix) {
            system = new QTreeWidgetItem(fcTree, QStringList(prefix));
            system->setExpanded(true);
            system->setFlags(Qt::ItemIsEnabled);
            lastPrefix = prefix;
        }
        if (entry.carrierTexts.isEmpty())
            continue;

        auto *carrier = new QTreeWidgetItem(system, entry.carrierTexts);
        carrier->setFlags(Qt::ItemIsEnabled);
        int carrierFound = 0;
        for (int k = 0; k < entry.fcTexts.size(); ++k) {
            const int slotNumber = entry.slotNumbers.value(k);
            if (slotNumber != 0 && found == maxCards) {
                kd7010fp_app::questionBox(QApplication::activeWindow(), QMessageBox::Question, boxTitle(),
                    tr("Found more Function Cards than supported by this SoftFrontPanel. Only first %1 are "
                       "available.\nPlease contact Keldor's support if you need support for more cards.")
                        .arg(maxCards),
                    { tr("Continue") }, 0, -1);
                carrier->setExpanded(true);
                limitReached = true;
                break;
            }
            auto *cardItem = new QTreeWidgetItem(carrier, entry.fcTexts.at(k));
            cardItem->setData(0, Qt::StatusTipRole, slotNumber);
            cardItem->setData(1, Qt::StatusTipRole, entry.descriptor);
            if (slotNumber != 0) {
                resourceDescriptor = entry.descriptor;
                fcNumbers[0] = qint16(slotNumber);
                ++found;
                ++carrierFound;
                cardItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            } else {
                cardItem->setFlags(Qt::NoItemFlags);
            }
        }
        if (limitReached)
            break;
        if (carrierFound >= 1)
            carrier->setExpanded(true);
    }

    fcTree->resizeColumnToContents(0);
    fcTree->resizeColumnToContents(1);
    viClose(findList);
    viClose(rm);
    return found;
}
