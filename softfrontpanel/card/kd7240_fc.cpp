#include "kd7240_fc.h"

#include <algorithm>
#include <cstring>

#include "kd7240.h"

namespace {
// The model codes this object serves.
const quint16 cardModels[] = {0x7240};
} // namespace

kd7240_fc::kd7240_fc()
{
    modelCode = 0x7240;
    std::memset(storedDescriptor, 0, sizeof storedDescriptor);
    std::memset(storedFcNumbers, 0, sizeof storedFcNumbers);
}

bool kd7240_fc::checkModel(quint16 code)
{
    return std::find(std::begin(cardModels), std::end(cardModels), code) != std::end(cardModels);
}

QString kd7240_fc::getDescription()
{
    return QStringLiteral("2-Channel, 1MHz Fast-DAC/AWG Function Card");
}

QString kd7240_fc::getCopyright()
{
    return QStringLiteral("Copyright (C) 2009-2026 Keldor Instruments. All rights reserved.");
}

QString kd7240_fc::getSfpRevision()
{
    return QStringLiteral("4.3.2.10269");
}

QString kd7240_fc::getDriverRevision()
{
    // Cleared first: a failed query must not show whatever the stack held.
    char revision[kd7240_DRIVER_REVISION_LEN] = {};
    kd7240_revision_query(0, revision, nullptr);
    revision[sizeof revision - 1] = '\0';
    return QString::fromLatin1(revision);
}

QString kd7240_fc::getErrorMessage(ViStatus status)
{
    char text[kd7240_ERROR_MESSAGE_LEN] = {};
    if (kd7240_error_message(0, status, text) != 0)
        return QString();
    text[sizeof text - 1] = '\0';
    return QString::fromLatin1(text);
}

ViStatus kd7240_fc::initCard(const char *descriptor, quint16 *fcNumbers, quint16 idQuery, quint16 reset,
                             ViSession *session)
{
    return kd7240_init(const_cast<ViRsrc>(descriptor), fcNumbers[0], idQuery, reset, session);
}

ViStatus kd7240_fc::initAndStore(const char *descriptor, quint16 *fcNumbers, qint16 count, quint16 idQuery,
                                 quint16 reset, ViSession *session)
{
    std::strncpy(storedDescriptor, descriptor, storedDescriptorSize - 1);
    storedDescriptor[storedDescriptorSize - 1] = '\0';
    const int n = std::clamp<int>(count, 0, storedFcNumbersSize);
    std::copy(fcNumbers, fcNumbers + n, storedFcNumbers);
    stored = true;
    return initCard(descriptor, fcNumbers, idQuery, reset, session);
}

ViStatus kd7240_fc::reinitCard(ViSession *session)
{
    if (!stored)
        return VI_ERROR_RSRC_NFOUND;
    return kd7240_init(storedDescriptor, storedFcNumbers[0], 1, 1, session);
}

ViStatus kd7240_fc::closeCard(ViSession session)
{
    return kd7240_close(session);
}
