// The capture filter's rows by name: the id of a row is its name ("all", "smpp", "submit_sm", "mobile"), which
// does not move when commands are added; the flags string the capture log reads is today's layout of those rows,
// and what is stored is the names of the rows switched off. The 30-character strings that earlier versions
// stored are still read as they meant.
#pragma once

#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace protocol::filter {

inline constexpr std::string_view kAllName = "all";
inline constexpr std::string_view kSmppName = "smpp";
inline constexpr std::string_view kMobileName = "mobile";
inline constexpr std::string_view kUcpName = "ucp";
inline constexpr std::string_view kCimdName = "cimd2";

// The row name at a filter index of today's layout; empty for an index without a row.
constexpr std::string_view NameAt(int32_t index) {
    if (index == kAll) return kAllName;
    if (index == kSmpp) return kSmppName;
    if (index == kMobile) return kMobileName;
    if (index == kUcp) return kUcpName;
    if (index == kCimd) return kCimdName;
    for (const smpp::Command& command : smpp::kCommands)
        if (command.filterIndex == index) return command.name;
    return {};
}

// The filter index of today's layout that a row name has; kUnknown for a name without a row.
constexpr int32_t IndexOfName(std::string_view name) {
    for (int32_t index = 0; index < kRows; ++index)
        if (NameAt(index) == name) return index;
    return kUnknown;
}

// What each character of a stored 30-character string meant, position by position. Fixed: the strings in
// users' settings were written in this layout, whatever rows come after.
inline constexpr std::array<std::string_view, 30> kThirtyCharacterRows = {
    "all",            "smpp",              "generic_nack",     "bind_receiver",    "bind_receiver_resp",
    "bind_transmitter", "bind_transmitter_resp", "query_sm",   "query_sm_resp",    "submit_sm",
    "submit_sm_resp", "deliver_sm",        "deliver_sm_resp",  "unbind",           "unbind_resp",
    "replace_sm",     "replace_sm_resp",   "cancel_sm",        "cancel_sm_resp",   "bind_transceiver",
    "bind_transceiver_resp", "outbind",    "enquire_link",     "enquire_link_resp", "submit_multi",
    "submit_multi_resp", "alert_notification", "data_sm",      "data_sm_resp",     "mobile",
};

// The flags (one '0' or '1' per row of today's layout) that a stored filter means: the names of the rows switched
// off, separated by blanks (a name no row has is passed over), or a 30-character string of the earlier layout.
// Anything else, empty included, is every row on.
inline std::string ReadStored(std::string_view stored) {
    std::string flags(static_cast<size_t>(kRows), '1');
    if (stored.size() == kThirtyCharacterRows.size() && stored.find_first_not_of("01") == std::string_view::npos) {
        for (size_t i = 0; i < stored.size(); ++i) {
            const int32_t index = IndexOfName(kThirtyCharacterRows[i]);
            if (index >= 0 && stored[i] == '0') flags[static_cast<size_t>(index)] = '0';
        }
        return flags;
    }
    constexpr std::string_view kOff = "off:";
    if (!stored.starts_with(kOff)) return flags;
    stored.remove_prefix(kOff.size());
    while (!stored.empty()) {
        const size_t end = std::min(stored.find(' '), stored.size());
        const int32_t index = IndexOfName(stored.substr(0, end));
        if (index >= 0) flags[static_cast<size_t>(index)] = '0';
        stored.remove_prefix(std::min(end + 1, stored.size()));
    }
    return flags;
}

// What is stored for flags of today's layout: "off:" and the names of the rows switched off.
inline std::string WriteStored(std::string_view flags) {
    std::string stored = "off:";
    for (int32_t index = 0; index < kRows && static_cast<size_t>(index) < flags.size(); ++index)
        if (flags[static_cast<size_t>(index)] == '0') {
            if (stored.size() > 4) stored += ' ';
            stored += NameAt(index);
        }
    return stored;
}

namespace detail {
constexpr bool EveryRowHasOneName() {
    for (int32_t index = 0; index < kRows; ++index)
        if (NameAt(index).empty() || IndexOfName(NameAt(index)) != index) return false;
    for (std::string_view name : kThirtyCharacterRows)
        if (IndexOfName(name) == kUnknown) return false; // a row the old strings name was dropped
    return true;
}
} // namespace detail
static_assert(detail::EveryRowHasOneName(), "every filter row has a name of its own, and every old row a row today");

} // namespace protocol::filter
