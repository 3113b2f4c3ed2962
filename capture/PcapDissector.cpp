// Taking a captured frame apart down to its TCP segment: link layers by table, then IPv4 and TCP.
#include "capture/PcapDissector.h"

#include "wire/Cursor.h"

namespace pcap {
namespace {

constexpr uint32_t kIpSize = 20, kTcpSize = 20;
constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint8_t kTcp = 6;
constexpr auto Be16 = wire::ReadBe16;

// Link types whose frames we can find IPv4 in (libpcap's DLT numbers), and how.
constexpr int kDltEthernet = 1;
constexpr int kNoTypeField = -1;  // the frame is IPv4 itself
constexpr int kFamilyField = -2;  // a 4-octet address family in the capturing host's byte order

struct LinkLayer {
    int linkType;
    uint32_t headerSize;
    int typeOffset; // of the 2-octet big-endian protocol type
};

constexpr LinkLayer kLinkLayers[] = {
    {kDltEthernet, 14, 12},
    {113, 16, 14},          // Linux cooked capture
    {276, 20, 0},           // Linux cooked capture v2
    {0, 4, kFamilyField},   // BSD loopback
    {12, 0, kNoTypeField},  // raw IP
    {14, 0, kNoTypeField},  // raw IP as OpenBSD numbers it
    {101, 0, kNoTypeField}, // raw IP by its file link type
    {228, 0, kNoTypeField}, // IPv4
};

const LinkLayer* FindLinkLayer(int linkType) {
    for (const LinkLayer& link : kLinkLayers)
        if (link.linkType == linkType)
            return &link;
    return nullptr;
}

// Where IPv4 starts: behind the link layer's header, when its type field says IPv4.
struct IpStart {
    std::optional<Skip> skipped;
    uint32_t at = 0;
};

IpStart FindIpv4(const LinkLayer& link, const uint8_t* data, uint32_t captured, bool cutByCapture) {
    uint32_t at = link.headerSize;
    if (captured < at) return {cutByCapture ? Skip::Cut : Skip::NotIpv4};
    if (link.typeOffset == kFamilyField) {
        // The address family in the byte order of the host that captured: AF_INET is 2 everywhere.
        const uint32_t family = wire::ReadLe32(data);
        if (family != 2 && family != 0x02000000) return {Skip::NotIpv4};
    } else if (link.typeOffset != kNoTypeField) {
        uint16_t etherType = wire::ReadBe16(data + link.typeOffset);
        // Ethernet: up to two VLAN tags before the type that counts.
        const auto isVlanTag = [](uint16_t type) { return type == 0x8100 || type == 0x88A8; };
        for (int tag = 0; link.linkType == kDltEthernet && tag < 2 && isVlanTag(etherType); ++tag) {
            if (captured < at + 4) return {cutByCapture ? Skip::Cut : Skip::NotIpv4};
            etherType = wire::ReadBe16(data + at + 2);
            at += 4;
        }
        if (etherType != kEtherIpv4) return {Skip::NotIpv4};
    }
    return {std::nullopt, at};
}

// The IPv4 packet at `at` and the TCP segment in it.
Dissected DissectIpv4(const uint8_t* data, uint32_t captured, uint32_t at, bool cutByCapture) {
    const auto skip = [](Skip why) { return Dissected{why, {}}; };
    if (captured < at + kIpSize) return skip(cutByCapture ? Skip::Cut : Skip::NotIpv4);
    const uint8_t* ip = data + at;
    if (ip[0] >> 4 != 4) return skip(Skip::NotIpv4);
    const uint32_t ipHeader = (ip[0] & 0x0F) * 4u;
    // A total length of 0 comes from captures taken before segmentation offload cut the data: the frame
    // holds it all, and may hold more than the 65,535 octets the field could have said.
    const uint32_t total = Be16(ip + 2) != 0 || cutByCapture ? Be16(ip + 2) : captured - at;
    if (ipHeader < kIpSize || total < ipHeader) return skip(Skip::NotIpv4);
    if (captured - at < total) return skip(cutByCapture ? Skip::Cut : Skip::NotIpv4);
    if (Be16(ip + 6) & 0x3FFF) return skip(Skip::Fragment); // more fragments, or a fragment offset
    if (ip[9] != kTcp) return skip(Skip::NotTcp);
    const uint8_t* tcp = ip + ipHeader;
    const uint32_t tcpLength = total - ipHeader;
    if (tcpLength < kTcpSize) return skip(Skip::NotTcp);
    const uint32_t tcpHeader = (tcp[12] >> 4) * 4u;
    if (tcpHeader < kTcpSize || tcpHeader > tcpLength) return skip(Skip::NotTcp);

    Dissected result;
    TcpSegment& segment = result.segment;
    segment.sourceAddress = wire::ReadBe32(ip + 12);
    segment.destinationAddress = wire::ReadBe32(ip + 16);
    segment.sourcePort = Be16(tcp);
    segment.destinationPort = Be16(tcp + 2);
    segment.sequence = wire::ReadBe32(tcp + 4);
    segment.flags = tcp[13];
    segment.payload = {tcp + tcpHeader, tcpLength - tcpHeader};
    return result;
}

} // namespace

bool IsReadableLinkType(int linkType) { return FindLinkLayer(linkType) != nullptr; }

Dissected Dissect(int linkType, std::span<const uint8_t> frame, uint32_t wireLength) {
    const LinkLayer* link = FindLinkLayer(linkType);
    if (!link) return {Skip::NotIpv4, {}};
    const uint32_t captured = static_cast<uint32_t>(frame.size());
    const bool cutByCapture = captured < wireLength;
    const IpStart start = FindIpv4(*link, frame.data(), captured, cutByCapture);
    if (start.skipped) return {start.skipped, {}};
    return DissectIpv4(frame.data(), captured, start.at, cutByCapture);
}

} // namespace pcap
