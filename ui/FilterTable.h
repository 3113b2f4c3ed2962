// The filter table: one row per flag of the capture log's filter string, shown as a tree in "Define filter".
#pragma once

#include "capture/PacketLog.h"
#include "ui/Icons.h"

#include <array>

namespace filter_table {

struct FilterItem {
    int id;       // the row's filter index: its character in the filter string
    int parentId; // -1 for "All protocols"
    int icon;     // in the navigation icon list
    const char* label;
};

inline constexpr std::array<FilterItem, 30> kTable = {{
    {0,  -1, icons::kDecoder,       "All protocols"},
    {1,  0,  icons::kSmppProtocol,  "SMPP protocol"},
    {2,  1,  icons::kSmppCommand,   "generic_nack"},
    {3,  1,  icons::kSmppCommand,   "bind_receiver"},
    {4,  1,  icons::kSmppCommand,   "bind_receiver_resp"},
    {5,  1,  icons::kSmppCommand,   "bind_transmitter"},
    {6,  1,  icons::kSmppCommand,   "bind_transmitter_resp"},
    {7,  1,  icons::kSmppCommand,   "query_sm"},
    {8,  1,  icons::kSmppCommand,   "query_sm_resp"},
    {9,  1,  icons::kSmppCommand,   "submit_sm"},
    {10, 1,  icons::kSmppCommand,   "submit_sm_resp"},
    {11, 1,  icons::kSmppCommand,   "deliver_sm"},
    {12, 1,  icons::kSmppCommand,   "deliver_sm_resp"},
    {13, 1,  icons::kSmppCommand,   "unbind"},
    {14, 1,  icons::kSmppCommand,   "unbind_resp"},
    {15, 1,  icons::kSmppCommand,   "replace_sm"},
    {16, 1,  icons::kSmppCommand,   "replace_sm_resp"},
    {17, 1,  icons::kSmppCommand,   "cancel_sm"},
    {18, 1,  icons::kSmppCommand,   "cancel_sm_resp"},
    {19, 1,  icons::kSmppCommand,   "bind_transceiver"},
    {20, 1,  icons::kSmppCommand,   "bind_transceiver_resp"},
    {21, 1,  icons::kSmppCommand,   "outbind"},
    {22, 1,  icons::kSmppCommand,   "enquire_link"},
    {23, 1,  icons::kSmppCommand,   "enquire_link_resp"},
    {24, 1,  icons::kSmppCommand,   "submit_multi"},
    {25, 1,  icons::kSmppCommand,   "submit_multi_resp"},
    {26, 1,  icons::kSmppCommand,   "alert_notification"},
    {27, 1,  icons::kSmppCommand,   "data_sm"},
    {28, 1,  icons::kSmppCommand,   "data_sm_resp"},
    {29, 0,  icons::kMobileProtocol, "Mobile protocol"},
}};

static_assert(kTable.size() == CPacketLog::kFilterLength, "one row per character of the filter string");

inline constexpr bool IdsArePositionsAndParentsComeFirst() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].id != static_cast<int>(i) || kTable[i].parentId >= kTable[i].id)
            return false;
    return true;
}
static_assert(IdsArePositionsAndParentsComeFirst(), "a row's id is its position and its parent precedes it");

} // namespace filter_table
