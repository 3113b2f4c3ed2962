// The filter table: one row per flag of the capture log's filter string, shown as a tree in "Define filter".
#pragma once

#include "capture/PacketLog.h"
#include "protocol/SmppCommands.h"
#include "ui/Icons.h"

#include <array>

namespace filter_table {

// A row's filter index is its place in today's layout of the flags string; what the settings keep is the row's
// name (protocol::filter::NameAt), which stays when rows are added.
struct FilterItem {
    int id;       // the row's filter index: its character in the filter string
    int parentId; // -1 for "All protocols"
    int icon;     // in the navigation icon list
    const char* label;
};

// The SMPP rows are the registry's commands, in its order, under "SMPP protocol".
inline constexpr std::array<FilterItem, protocol::filter::kRows> kTable = [] {
    std::array<FilterItem, protocol::filter::kRows> table{};
    table[protocol::filter::kAll] = {protocol::filter::kAll, -1, icons::kDecoder, "All protocols"};
    table[protocol::filter::kSmpp] = {protocol::filter::kSmpp, protocol::filter::kAll, icons::kSmppProtocol, "SMPP protocol"};
    for (const protocol::smpp::Command& command : protocol::smpp::kCommands)
        table[command.filterIndex] = {command.filterIndex, protocol::filter::kSmpp, icons::kSmppCommand, command.name.data()};
    table[protocol::filter::kMobile] = {protocol::filter::kMobile, protocol::filter::kAll, icons::kMobileProtocol, "Mobile protocol"};
    table[protocol::filter::kUcp] = {protocol::filter::kUcp, protocol::filter::kAll, icons::kSmppProtocol, "UCP protocol"};
    table[protocol::filter::kCimd] = {protocol::filter::kCimd, protocol::filter::kAll, icons::kSmppProtocol, "CIMD2 protocol"};
    return table;
}();

static_assert(kTable.size() == CPacketLog::kFilterLength, "one row per character of the filter string");

inline constexpr bool IdsArePositionsAndParentsComeFirst() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].id != static_cast<int>(i) || kTable[i].parentId >= kTable[i].id)
            return false;
    return true;
}
static_assert(IdsArePositionsAndParentsComeFirst(), "a row's id is its position and its parent precedes it");

} // namespace filter_table
