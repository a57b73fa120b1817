// The system file loader: any text either loads or is refused with one line
// of error; nothing else may happen (no exception, no crash, no hang).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kdsim.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::string error;
    if (kdsim::loadSystem(text, &error))
        return 0;
    // One line, naming what went wrong.
    if (error.empty() || error.find('\n') != std::string::npos || error.find('\r') != std::string::npos)
        std::abort();
    return 0;
}
