#include "kdsim_descriptor.h"

#include <cctype>

#include "visa.h"

namespace kdsim::detail {

namespace {

struct Prefix {
    const char *text;
    int type;
};
// "GPIB-VXI" before "GPIB": the longer prefix must win.
const Prefix prefixes[] = {{"GPIB-VXI", VI_INTF_GPIB_VXI}, {"GPIB", VI_INTF_GPIB}, {"VXI", VI_INTF_VXI},
                           {"ASRL", VI_INTF_ASRL},         {"PXI", VI_INTF_PXI},   {"TCPIP", VI_INTF_TCPIP},
                           {"USB", VI_INTF_USB}};

} // namespace

Descriptor parseDescriptor(std::string_view text)
{
    Descriptor d;
    std::string up;
    up.reserve(text.size());
    for (char c : text)
        up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    d.normalised = up;
    for (const Prefix &p : prefixes) {
        const std::string_view prefix(p.text);
        if (up.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::size_t i = prefix.size();
        unsigned long board = 0;
        while (i < up.size() && std::isdigit(static_cast<unsigned char>(up[i])) && board <= 65535)
            board = board * 10 + static_cast<unsigned long>(up[i++] - '0');
        // Only "PREFIX[board]" followed by "::" or the end is this interface.
        if (board > 65535 || (i < up.size() && up.compare(i, 2, "::") != 0))
            continue;
        d.interfaceType = p.type;
        d.board = static_cast<std::uint16_t>(board);
        d.normalised = std::string(prefix) + std::to_string(board) + up.substr(i);
        break;
    }
    return d;
}

} // namespace kdsim::detail
