// The capture protocols, each registered once: code, name, command names, row icon, command-line name.
#pragma once

#include <cstdint>
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
inline constexpr int32_t kProtocolNameTable = 6;
inline constexpr uint16_t kSmpp = 2;
inline constexpr uint16_t kTest = 8;

inline constexpr ProtocolInfo kAll[] = {
    // code  name     commands  icon  --protocol
    {1,      "CMPP",  12,       153,  "cmpp"},
    {2,      "SMPP",  1892,     160,  "smpp"},
    {3,      "SMGP",  298,      155,  "smgp"},
    {4,      "CMPP3", 1012,     153,  "cmpp3"},
    {6,      "SGIP",  1302,     160,  "sgip"},
    {7,      "CNGP",  1702,     160,  "cngp"},
    {8,      "TEST",  182,      160,  "test"},
    {9,      "SMGP3", 2298,     155,  "smgp3"},
};

// nullptr for a code no protocol has (5, say).
constexpr const ProtocolInfo* Find(uint16_t code) {
    for (const ProtocolInfo& protocol : kAll)
        if (protocol.code == code)
            return &protocol;
    return nullptr;
}

constexpr const ProtocolInfo* FindByCliName(std::string_view name) {
    for (const ProtocolInfo& protocol : kAll)
        if (protocol.cliName == name)
            return &protocol;
    return nullptr;
}

static_assert(Find(kSmpp)->name == "SMPP" && Find(kTest)->commandTable == 182);
static_assert(Find(5) == nullptr);

// "protocol:command" as the packet list and the trace show a record: the names of the protocol
// code and of the command id in that protocol's table, "未知" for either that has no name (a
// protocol we do not know, a PDU too short to hold a command id).
std::string Describe(const NameIndex& names, uint16_t protocol, std::optional<uint32_t> commandId);

} // namespace protocols
