// Message texts of the status codes kdsim returns.
#ifndef KDSIM_STATUS_H
#define KDSIM_STATUS_H

#include <string>

#include "visa.h"

namespace kdsim::detail {

// The text of a code the driver knows (VISA, VXIplug&play, kd7240), or nullptr.
const char *driverMessage(ViStatus status);
// The text of a code the carrier library knows (the driver's and its own), or nullptr.
const char *carrierMessage(ViStatus status);
// The text for a code nobody knows.
std::string unknownMessage(ViStatus status);
// Copies `text` into a caller's buffer of `size` bytes, always terminated.
void copyText(char *buffer, std::size_t size, const std::string &text);

} // namespace kdsim::detail

#endif
