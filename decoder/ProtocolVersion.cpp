// Version sniffing for CMPP and SMGP: the rules name the bodies and fields, the decode tables give the widths.
#include "decoder/ProtocolVersion.h"

#include "decoder/BodyLayout.h"
#include "decoder/FieldDescriptor.h"
#include "decoder/tables/Tables.h"
#include "protocol/Registry.h"
#include "wire/Cursor.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace protocol_version {
namespace {

using protocol::kCmpp;
using protocol::kSmgp;

constexpr uint32_t kHeaderSize = protocol::HeaderSizeOf(kCmpp);
static_assert(protocol::HeaderSizeOf(kSmgp) == kHeaderSize, "the command id and body start alike in both");

constexpr uint8_t kFirstVersion3 = 0x30; // version octets: 0x13 for SMGP 1.3, 0x20 for 2.0, 0x30 for 3.0
constexpr uint8_t kFirstVersion1 = 0x10, kFirstVersion2 = 0x20;

// Command ids; CMPP_CONNECT and SMGP Login share theirs.
constexpr uint32_t kConnect = 0x00000001, kConnectResp = 0x80000001;
constexpr uint32_t kCmppSubmit = 0x00000004, kCmppSubmitResp = 0x80000004;
constexpr uint32_t kCmppDeliver = 0x00000005, kCmppDeliverResp = 0x80000005;
constexpr uint32_t kCmppForward = 0x00000009, kCmppForwardResp = 0x80000009;
constexpr uint32_t kSmgpSubmit = 0x00000002, kSmgpDeliver = 0x00000003;

// A CONNECT or Login, read once its whole body is in: the descriptor of the body and of its version field.
struct VersionOctet {
    uint16_t family;
    uint32_t command;
    int32_t body, field;
};
constexpr VersionOctet kVersionOctets[] = {
    // family  command        body  field
    {kCmpp,    kConnect,      20,   23},  // CONNECT: Version
    {kSmgp,    kConnect,      299,  304}, // Login: ClientVersion
    {kSmgp,    kConnectResp,  400,  403}, // Login_Resp: ServerVersion
};

// A command whose body is laid out one way in 2.0 and another in 3.0: the descriptors of the two bodies.
struct BodyPair {
    uint16_t family;
    uint32_t command;
    int32_t body2, body3;
};
// Responses whose Status or Result grows from 1 to 4 octets in 3.0: the body's length tells.
constexpr BodyPair kByBodyLength[] = {
    // family  command            2.0   3.0
    {kCmpp,    kConnectResp,      30,   1030},
    {kCmpp,    kCmppSubmitResp,   100,  1100},
    {kCmpp,    kCmppDeliverResp,  160,  1160},
    {kCmpp,    kCmppForwardResp,  280,  1250},
};
// SUBMIT, DELIVER and FWD, for a connection caught after its CONNECT or Login: where the fields end tells.
constexpr BodyPair kByLayoutEnd[] = {
    // family  command        2.0   3.0
    {kCmpp,    kCmppSubmit,   60,   1060},
    {kCmpp,    kCmppDeliver,  120,  1120},
    {kCmpp,    kCmppForward,  250,  1200}, // FWD between gateways
    {kSmgp,    kSmgpSubmit,   499,  2499}, // 3.0: the 2.0 fields, then TLVs
    {kSmgp,    kSmgpDeliver,  600,  2600},
};

using body_layout::End;
using body_layout::Field;
using body_layout::Resolve;
using body_layout::Walk;

// The offset of a field in a body of fixed widths, and the body's whole width.
uint32_t OffsetOf(const Walk& walk, int32_t id) {
    uint32_t at = 0;
    for (std::size_t i = 0; i < walk.size() && walk[i].id != id; ++i)
        at += uint32_t(walk[i].width);
    return at;
}
uint32_t WidthOf(const Walk& walk) {
    uint32_t width = 0;
    for (const Field& field : walk)
        width += uint32_t(field.width);
    return width;
}

// The walks of every body the rules name, resolved once from the tables.
struct Walks {
    std::vector<Walk> octets, bodyLengths2, bodyLengths3, layouts2, layouts3;
    std::vector<Walk> alternatives2; // the layout a 2.0 body may also come in (SMGP 1.3's SUBMIT); empty for none
};

decode_table::Family FamilyOf(uint16_t family) {
    return family == kCmpp ? decode_table::CmppFamily() : decode_table::SmgpFamily();
}
std::span<const FieldDescriptor> RowsOf(uint16_t family) { return FamilyOf(family).descriptors; }

Walk AlternativeOf(uint16_t family, int32_t body) {
    for (const LayoutChoice& choice : FamilyOf(family).layoutChoices)
        if (choice.body == body)
            return Resolve(RowsOf(family), choice.alternative);
    return {};
}

const Walks& TheWalks() {
    static const Walks walks = [] {
        Walks w;
        for (const VersionOctet& rule : kVersionOctets)
            w.octets.push_back(Resolve(RowsOf(rule.family), rule.body));
        for (const BodyPair& pair : kByBodyLength) {
            w.bodyLengths2.push_back(Resolve(RowsOf(pair.family), pair.body2));
            w.bodyLengths3.push_back(Resolve(RowsOf(pair.family), pair.body3));
        }
        for (const BodyPair& pair : kByLayoutEnd) {
            w.layouts2.push_back(Resolve(RowsOf(pair.family), pair.body2));
            w.layouts3.push_back(Resolve(RowsOf(pair.family), pair.body3));
            w.alternatives2.push_back(AlternativeOf(pair.family, pair.body2));
        }
        return w;
    }();
    return walks;
}

// An SMGP 1.x login (0x13) announces the SUBMIT without FixedFee; CMPP has no such older layout.
int ByOctet(uint16_t family, uint8_t version) {
    if (version >= kFirstVersion3)
        return 3;
    return family == kSmgp && version >= kFirstVersion1 && version < kFirstVersion2 ? 13 : 2;
}

// A PDU as the rules read it: its command id and its body.
struct Body {
    uint32_t command;
    const uint8_t* bytes;
    wire::Cursor cursor;
    uint32_t length;
};
// Nothing for a PDU shorter than its header.
std::optional<Body> BodyOf(const uint8_t* pdu, uint32_t length) {
    if (length < kHeaderSize)
        return std::nullopt;
    return Body{wire::ReadBe32(pdu + 4), pdu + kHeaderSize, wire::Cursor(pdu + kHeaderSize, length - kHeaderSize),
                length - kHeaderSize};
}

} // namespace

int Shown(uint16_t family, const uint8_t* pdu, uint32_t length) {
    const std::optional<Body> read = BodyOf(pdu, length);
    if (!read)
        return 0;
    const auto& [command, bytes, body, bodyLength] = *read;
    const Walks& walks = TheWalks();
    for (std::size_t i = 0; i < std::size(kVersionOctets); ++i) {
        const VersionOctet& rule = kVersionOctets[i];
        if (rule.family == family && rule.command == command && !walks.octets[i].empty() &&
            bodyLength >= WidthOf(walks.octets[i]))
            return ByOctet(family, body.At(OffsetOf(walks.octets[i], rule.field)).U8());
    }
    for (std::size_t i = 0; i < std::size(kByBodyLength); ++i) {
        const BodyPair& pair = kByBodyLength[i];
        if (pair.family != family || pair.command != command)
            continue;
        if (!walks.bodyLengths2[i].empty() && bodyLength == WidthOf(walks.bodyLengths2[i]))
            return 2;
        if (!walks.bodyLengths3[i].empty() && bodyLength == WidthOf(walks.bodyLengths3[i]))
            return 3;
    }
    return 0;
}

int ByLength(uint16_t family, const uint8_t* pdu, uint32_t length) {
    const std::optional<Body> read = BodyOf(pdu, length);
    if (!read)
        return 0;
    const auto& [command, body, cursor, bodyLength] = *read;
    const Walks& walks = TheWalks();
    for (std::size_t i = 0; i < std::size(kByLayoutEnd); ++i) {
        const BodyPair& pair = kByLayoutEnd[i];
        if (pair.family != family || pair.command != command)
            continue;
        // The 2.0 family also reads the older layout its rows offer as an alternative.
        const bool two = End(walks.layouts2[i], body, bodyLength) == bodyLength;
        const bool older = !walks.alternatives2[i].empty() && End(walks.alternatives2[i], body, bodyLength) == bodyLength;
        const bool three = End(walks.layouts3[i], body, bodyLength) == bodyLength;
        // A 3.0 layout that only adds TLVs ends where 2.0 does when there are none: the two read the same.
        // The older layout shares nothing with 3.0's, so a PDU that both fit is one the length cannot tell.
        const bool onlyAddsTlvs = !walks.layouts3[i].empty() && walks.layouts3[i].back().tlvs;
        if (three && (older || (two && !onlyAddsTlvs)))
            return 0;
        return two || older ? 2 : three ? 3 : 0;
    }
    return 0;
}

} // namespace protocol_version
