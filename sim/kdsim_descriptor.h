// VISA resource names and the normal form under which they are compared:
// upper case, with the board number always written.
#ifndef KDSIM_DESCRIPTOR_H
#define KDSIM_DESCRIPTOR_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kdsim::detail {

struct Descriptor {
    int interfaceType = 0;   // VI_INTF_*, 0 when the prefix is none VISA knows
    std::uint16_t board = 0; // a missing board number means 0
    std::string normalised;  // upper case, board number always written: "TCPIP0::X::INSTR"
};

// Splits a resource descriptor into interface type, board number and normal form.
Descriptor parseDescriptor(std::string_view text);

} // namespace kdsim::detail

#endif
