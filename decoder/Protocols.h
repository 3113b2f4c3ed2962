// What the decoder adds to each registered capture protocol: the code table naming its commands and its row icon.
#pragma once

#include "decoder/tables/TableIds.h"
#include "protocol/Registry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

class NameIndex;

struct ProtocolInfo {
    uint16_t code;             // protocol code of the capture header
    std::string_view name;     // as the decoder's protocol name table gives it
    int32_t commandTable;      // the decoder's code table that names the protocol's command ids
    int32_t rowIcon;           // decode icon of the protocol's rows in the packet list
    std::string_view cliName;  // the name tarnwick-decode --protocol takes
};

namespace protocols {

// The decoder's code table that names the protocol codes themselves.
inline constexpr int32_t kProtocolNameTable = decode_ids::kProtocolCodes;
inline constexpr uint16_t kSmpp = protocol::kSmpp;
inline constexpr uint16_t kTest = protocol::kTest;

namespace detail {
struct DecoderColumns {
    uint16_t code;
    int32_t commandTable;
    int32_t rowIcon;
};
// One row per registered protocol, in the registry's order; the names come from the registry.
inline constexpr DecoderColumns kColumns[] = {
    // code              commands                      icon
    {protocol::kCmpp,    decode_ids::kCmppCommands,    153},
    {protocol::kSmpp,    decode_ids::kSmppCommands,    160},
    {protocol::kSmgp,    decode_ids::kSmgpCommands,    155},
    {protocol::kCmpp3,   decode_ids::kCmpp3Commands,   153},
    {protocol::kSgip,    decode_ids::kSgipCommands,    160},
    {protocol::kCngp,    decode_ids::kCngpCommands,    160},
    {protocol::kTest,    decode_ids::kTestCommands,    160},
    {protocol::kSmgp3,   decode_ids::kSmgp3Commands,   155},
    {protocol::kSmgp13,  decode_ids::kSmgp13Commands,  155},
    {protocol::kUcp,     decode_ids::kUcpCommands,     160},
    {protocol::kCimd2,   decode_ids::kCimdCommands,    160},
};
static_assert(std::size(kColumns) == std::size(protocol::kProtocols), "a decoder row for every registered protocol");

constexpr auto Build() {
    std::array<ProtocolInfo, std::size(kColumns)> all{};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const protocol::Protocol& p = protocol::kProtocols[i];
        all[i] = {p.code, p.name, kColumns[i].commandTable, kColumns[i].rowIcon, p.cliName};
    }
    return all;
}
constexpr bool RowsFollowRegistry() {
    for (std::size_t i = 0; i < std::size(kColumns); ++i)
        if (kColumns[i].code != protocol::kProtocols[i].code)
            return false;
    return true;
}
static_assert(RowsFollowRegistry(), "the decoder's rows are the registry's, in its order");
} // namespace detail

inline constexpr std::array<ProtocolInfo, std::size(protocol::kProtocols)> kAll = detail::Build();

// nullptr for a code no protocol has (5, say).
constexpr const ProtocolInfo* Find(uint16_t code) {
    const int at = protocol::IndexOf(code);
    return at < 0 ? nullptr : &kAll[std::size_t(at)];
}

constexpr const ProtocolInfo* FindByCliName(std::string_view name) {
    const int at = protocol::IndexOfCliName(name);
    return at < 0 ? nullptr : &kAll[std::size_t(at)];
}

static_assert(kAll[std::size_t(protocol::IndexOf(kTest))].commandTable == decode_ids::kTestCommands);

// "protocol:command" as the packet list and the trace show a record: the names of the protocol
// code and of the command id in that protocol's table, "未知" for either that has no name (a
// protocol we do not know, a PDU too short to hold a command id).
std::string Describe(const NameIndex& names, uint16_t protocol, std::optional<uint32_t> commandId);

} // namespace protocols
