#include "kdsim_status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "kdsim.h"

namespace kdsim::detail {

namespace {

struct Message {
    ViStatus status;
    const char *text;
};

const Message driverMessages[] = {
    {VI_SUCCESS, "Operation completed successfully."},
    {VI_SUCCESS_MAX_CNT, "The number of bytes transferred is equal to the requested input count."},
    {VI_WARN_UNKNOWN_STATUS, "The status code passed to the operation could not be interpreted."},
    {VI_ERROR_SYSTEM_ERROR, "Unknown system error (miscellaneous error)."},
    {VI_ERROR_INV_OBJECT, "The given session or object reference is invalid."},
    {VI_ERROR_RSRC_LOCKED, "Specified type of lock cannot be obtained, or specified operation cannot be performed, "
                           "because the resource is locked."},
    {VI_ERROR_INV_EXPR, "Invalid expression specified for search."},
    {VI_ERROR_RSRC_NFOUND, "Insufficient location information or the requested device or resource is not present "
                           "in the system."},
    {VI_ERROR_INV_RSRC_NAME, "Invalid resource reference specified. Parsing error."},
    {VI_ERROR_INV_ACC_MODE, "Invalid access mode."},
    {VI_ERROR_TMO, "Timeout expired before operation completed."},
    {VI_ERROR_NSUP_ATTR, "The specified attribute is not defined or supported by the referenced resource."},
    {VI_ERROR_ALLOC, "Insufficient system resources to perform necessary memory allocation."},
    {VI_ERROR_NSUP_OPER, "The given session or object reference does not support this operation."},
    {status::userBuffer, "A specified user buffer is not valid or cannot be accessed for the required size."},
    {VI_ERROR_PARAMETER1, "Parameter 1 out of range."},
    {VI_ERROR_PARAMETER2, "Parameter 2 out of range."},
    {VI_ERROR_PARAMETER3, "Parameter 3 out of range."},
    {VI_ERROR_PARAMETER4, "Parameter 4 out of range."},
    {VI_ERROR_PARAMETER5, "Parameter 5 out of range."},
    {VI_ERROR_PARAMETER6, "Parameter 6 out of range."},
    {VI_ERROR_PARAMETER7, "Parameter 7 out of range."},
    {VI_ERROR_PARAMETER8, "Parameter 8 out of range."},
    {VI_ERROR_FAIL_ID_QUERY, "Instrument identification query failed."},
    {VI_ERROR_INV_RESPONSE, "Errors interpreting instrument response."},
    {status::noCarrier, "No function-card carrier answers at this resource."},
    {status::noSuchSlot, "The carrier has no function-card slot with this number."},
    {status::emptySlot, "No function card sits in this slot of the carrier."},
    {status::wrongModel, "The function card in this slot is not a 7240."},
    {status::sampleOutOfLimits, "A sample value lies outside the output limits of the card."},
    {status::notGenerating, "No waveform generation is in progress."},
    {status::notPaused, "Waveform generation is not paused."},
};

const Message carrierMessages[] = {
    {status::carrierNone, "The resource is not a carrier of function cards."},
    {status::carrierInvalid, "The carrier handle or carrier object is not valid."},
    {status::carrierBadSlot, "The slot number is not valid for this carrier."},
    {status::carrierEmptySlot, "The carrier slot is empty."},
    {status::carrierBadRegister, "The register offset is not valid for a function-card slot."},
    {status::carrierNoAccess, "The carrier offers no access table of this index and version."},
};

template <std::size_t N>
const char *lookUp(const Message (&table)[N], ViStatus status)
{
    for (const Message &m : table)
        if (m.status == status)
            return m.text;
    return nullptr;
}

} // namespace

const char *driverMessage(ViStatus status)
{
    return lookUp(driverMessages, status);
}

const char *carrierMessage(ViStatus status)
{
    const char *text = lookUp(carrierMessages, status);
    return text ? text : driverMessage(status);
}

std::string unknownMessage(ViStatus status)
{
    char text[96];
    std::snprintf(text, sizeof text, "Unknown %s code 0x%08X.",
                  status < 0 ? "error" : status > 0 ? "warning" : "status", static_cast<unsigned>(status));
    return text;
}

void copyText(char *buffer, std::size_t size, const std::string &text)
{
    const std::size_t n = std::min(size - 1, text.size());
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace kdsim::detail
