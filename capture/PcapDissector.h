// The link, IPv4 and TCP headers of one captured frame taken apart: a pure function of the frame's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>

namespace pcap {

// Why a frame carries no TCP segment the importer reads; UnknownPort is the importer's own verdict.
enum class Skip : uint8_t { NotIpv4, NotTcp, Cut, Fragment, UnknownPort, Count };
inline constexpr const char* kSkipNames[] = {"not IPv4", "not TCP", "cut short by the snap length",
                                             "IPv4 fragments", "on a port no protocol is decoded on"};
static_assert(std::size(kSkipNames) == std::size_t(Skip::Count));

struct TcpSegment {
    uint32_t sourceAddress = 0, destinationAddress = 0; // first octet in the most significant byte
    uint16_t sourcePort = 0, destinationPort = 0;
    uint32_t sequence = 0;
    uint8_t flags = 0;
    std::span<const uint8_t> payload; // inside the frame's bytes
};

struct Dissected {
    std::optional<Skip> skipped; // set: no segment
    TcpSegment segment;
};

// Whether frames of this link type (libpcap's DLT number) can be taken apart.
bool IsReadableLinkType(int linkType);

// The TCP segment of a frame of a readable link type: `frame` is what was captured, `wireLength` the
// frame's length on the wire (a longer wire length means the snap length cut the frame). Reads nothing
// outside `frame`; the segment's payload points into it.
Dissected Dissect(int linkType, std::span<const uint8_t> frame, uint32_t wireLength);

} // namespace pcap
