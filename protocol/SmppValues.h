// SMPP 3.4 address and message values by their names: type of number, numbering plan and message_state.
#pragma once

#include "protocol/NamedValue.h"

#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

namespace protocol::smpp {

// Type of number: every addr_ton, source_addr_ton, dest_addr_ton and esme_addr_ton.
inline constexpr NamedValue kTypesOfNumber[] = {
    {0, "Unknown"},
    {1, "International"},
    {2, "National"},
    {3, "Network Specific"},
    {4, "Subscriber Number"},
    {5, "Alphanumeric"},
    {6, "Abbreviated"},
};
inline constexpr std::string_view kReservedTypeOfNumber = "Reserved";

// Numbering plan: every addr_npi, source_addr_npi, dest_addr_npi and esme_addr_npi.
inline constexpr NamedValue kNumberingPlans[] = {
    {0, "Unknown"},
    {1, "ISDN - E163/E164"},
    {3, "Data - X.121"},
    {4, "Telex - F.69"},
    {6, "Land Mobile - E.212"},
    {8, "National"},
    {9, "Private"},
    {10, "ERMES"},
    {14, "Internet - IP"},
    {18, "WAP Client Id"},
};
inline constexpr std::string_view kReservedNumberingPlan = "reserved";

// interface_version of a bind and sc_interface_version of its answer: 0x00 to 0x33 an ESME of SMPP 3.3 or
// earlier, 0x34 SMPP 3.4, 0x50 SMPP 5.0, the highest the server speaks. A session runs at the lower of the ESME's
// and the server's; one at 3.3 knows no optional parameter and no data_sm.
namespace interface_version {
inline constexpr uint8_t k33 = 0x33;
inline constexpr uint8_t k34 = 0x34;
inline constexpr uint8_t k50 = 0x50;
inline constexpr uint8_t kServed = k50;

constexpr uint8_t Negotiated(uint8_t esme) { return esme < kServed ? esme : kServed; }
constexpr bool TakesTlvs(uint8_t version) { return version > k33; }
// "3.3" (3.3 or earlier), "3.4" or "5.0", as the online list and the control API show a session's version.
constexpr std::string_view Name(uint8_t version) { return version <= k33 ? "3.3" : version < k50 ? "3.4" : "5.0"; }
} // namespace interface_version

// message_state, as query_sm_resp and the message_state parameter carry it and SMPP 3.4 names it; 5.0 adds
// SCHEDULED (0) and SKIPPED (9), which only a session at 5.0 is told.
namespace message_state {
inline constexpr uint8_t kScheduled = 0;
inline constexpr uint8_t kEnroute = 1;
inline constexpr uint8_t kDelivered = 2;
inline constexpr uint8_t kExpired = 3;
inline constexpr uint8_t kDeleted = 4;
inline constexpr uint8_t kUndeliverable = 5;
inline constexpr uint8_t kAccepted = 6;
inline constexpr uint8_t kUnknown = 7;
inline constexpr uint8_t kRejected = 8;
inline constexpr uint8_t kSkipped = 9;

// The state a session at this interface version may be told: 5.0's own become UNKNOWN below 5.0.
constexpr uint8_t ForVersion(uint8_t state, uint8_t version) {
    return version < interface_version::k50 && (state == kScheduled || state == kSkipped) ? kUnknown : state;
}
} // namespace message_state

inline constexpr NamedValue kMessageStates[] = {
    {message_state::kScheduled, "SCHEDULED"},
    {message_state::kEnroute, "ENROUTE"},   {message_state::kDelivered, "DELIVERED"},
    {message_state::kExpired, "EXPIRED"},   {message_state::kDeleted, "DELETED"},
    {message_state::kUndeliverable, "UNDELIVERABLE"}, {message_state::kAccepted, "ACCEPTED"},
    {message_state::kUnknown, "UNKNOWN"},   {message_state::kRejected, "REJECTED"},
    {message_state::kSkipped, "SKIPPED"},
};
// The word a delivery receipt's "stat:" writes for each state: seven characters, SCHEDULED's cut to fit.
inline constexpr NamedValue kReceiptStates[] = {
    {message_state::kScheduled, "SCHEDLD"},
    {message_state::kEnroute, "ENROUTE"},   {message_state::kDelivered, "DELIVRD"},
    {message_state::kExpired, "EXPIRED"},   {message_state::kDeleted, "DELETED"},
    {message_state::kUndeliverable, "UNDELIV"}, {message_state::kAccepted, "ACCEPTD"},
    {message_state::kUnknown, "UNKNOWN"},   {message_state::kRejected, "REJECTD"},
    {message_state::kSkipped, "SKIPPED"},
};

// The state a receipt's "stat:" word names; nothing for a word no state has.
constexpr std::optional<uint8_t> ReceiptState(std::string_view text) {
    for (const NamedValue& row : kReceiptStates)
        if (row.name == text)
            return static_cast<uint8_t>(row.value);
    return std::nullopt;
}

namespace detail {
constexpr bool ReceiptWordsFit() {
    for (const NamedValue& row : kReceiptStates)
        if (row.name.size() != 7)
            return false;
    return true;
}
} // namespace detail

static_assert(Ascending(kTypesOfNumber) && Ascending(kNumberingPlans));
static_assert(NameOf(kNumberingPlans, 18) == "WAP Client Id" && NameOf(kNumberingPlans, 34).empty(),
              "SMPP 3.4 numbers the WAP Client Id plan 18");
static_assert(Ascending(kMessageStates) && Ascending(kReceiptStates) && std::size(kMessageStates) == 10 &&
                  kMessageStates[9].value == 9 && std::size(kReceiptStates) == 10 && kReceiptStates[9].value == 9 &&
                  detail::ReceiptWordsFit(),
              "states 0 to 9 in order, each with a receipt word of seven characters");

} // namespace protocol::smpp
