// The 27 SMPP 3.4 commands and the six of 5.0's broadcast family, each registered once: id, name, response, bind
// rule, capture-filter index and the interface version that brought it.
#pragma once

#include "protocol/PduHeader.h"
#include "protocol/Registry.h"
#include "protocol/SmppValues.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace protocol::smpp {

// command_id values.
inline constexpr uint32_t kGenericNack = 0x80000000;
inline constexpr uint32_t kBindReceiver = 0x00000001;
inline constexpr uint32_t kBindReceiverResp = 0x80000001;
inline constexpr uint32_t kBindTransmitter = 0x00000002;
inline constexpr uint32_t kBindTransmitterResp = 0x80000002;
inline constexpr uint32_t kQuerySm = 0x00000003;
inline constexpr uint32_t kQuerySmResp = 0x80000003;
inline constexpr uint32_t kSubmitSm = 0x00000004;
inline constexpr uint32_t kSubmitSmResp = 0x80000004;
inline constexpr uint32_t kDeliverSm = 0x00000005;
inline constexpr uint32_t kDeliverSmResp = 0x80000005;
inline constexpr uint32_t kUnbind = 0x00000006;
inline constexpr uint32_t kUnbindResp = 0x80000006;
inline constexpr uint32_t kReplaceSm = 0x00000007;
inline constexpr uint32_t kReplaceSmResp = 0x80000007;
inline constexpr uint32_t kCancelSm = 0x00000008;
inline constexpr uint32_t kCancelSmResp = 0x80000008;
inline constexpr uint32_t kBindTransceiver = 0x00000009;
inline constexpr uint32_t kBindTransceiverResp = 0x80000009;
inline constexpr uint32_t kOutbind = 0x0000000B;
inline constexpr uint32_t kEnquireLink = 0x00000015;
inline constexpr uint32_t kEnquireLinkResp = 0x80000015;
inline constexpr uint32_t kSubmitMulti = 0x00000021;
inline constexpr uint32_t kSubmitMultiResp = 0x80000021;
inline constexpr uint32_t kAlertNotification = 0x00000102;
inline constexpr uint32_t kDataSm = 0x00000103;
inline constexpr uint32_t kDataSmResp = 0x80000103;
inline constexpr uint32_t kBroadcastSm = 0x00000111;
inline constexpr uint32_t kBroadcastSmResp = 0x80000111;
inline constexpr uint32_t kQueryBroadcastSm = 0x00000112;
inline constexpr uint32_t kQueryBroadcastSmResp = 0x80000112;
inline constexpr uint32_t kCancelBroadcastSm = 0x00000113;
inline constexpr uint32_t kCancelBroadcastSmResp = 0x80000113;

inline constexpr uint32_t kNoResponse = 0;

struct Command {
    uint32_t id;
    std::string_view name;   // as the decoder names the id and the filter dialog labels its row
    uint32_t responseId;     // what the server answers with; kNoResponse for responses and for PDUs we start
    bool needsBind;          // the server closes an unbound connection that sends it, without an answer
    int32_t filterIndex;     // its row in the capture filter: its position here plus 2, plus 3 behind the mobile row
    uint8_t since = 0;       // the lowest interface version that has it, 0 for all; below it, answered as unknown
};

inline constexpr Command kCommands[] = {
    // command_id            name                     response               bind   filter
    {kGenericNack,          "generic_nack",          kNoResponse,           false, 2},
    {kBindReceiver,         "bind_receiver",         kBindReceiverResp,     false, 3},
    {kBindReceiverResp,     "bind_receiver_resp",    kNoResponse,           false, 4},
    {kBindTransmitter,      "bind_transmitter",      kBindTransmitterResp,  false, 5},
    {kBindTransmitterResp,  "bind_transmitter_resp", kNoResponse,           false, 6},
    {kQuerySm,              "query_sm",              kQuerySmResp,          true,  7},
    {kQuerySmResp,          "query_sm_resp",         kNoResponse,           false, 8},
    {kSubmitSm,             "submit_sm",             kSubmitSmResp,         true,  9},
    {kSubmitSmResp,         "submit_sm_resp",        kNoResponse,           false, 10},
    {kDeliverSm,            "deliver_sm",            kNoResponse,           false, 11}, // we send it; an ESME's is unknown
    {kDeliverSmResp,        "deliver_sm_resp",       kNoResponse,           false, 12},
    {kUnbind,               "unbind",                kUnbindResp,           true,  13},
    {kUnbindResp,           "unbind_resp",           kNoResponse,           false, 14},
    {kReplaceSm,            "replace_sm",            kReplaceSmResp,        true,  15},
    {kReplaceSmResp,        "replace_sm_resp",       kNoResponse,           false, 16},
    {kCancelSm,             "cancel_sm",             kCancelSmResp,         true,  17},
    {kCancelSmResp,         "cancel_sm_resp",        kNoResponse,           false, 18},
    {kBindTransceiver,      "bind_transceiver",      kBindTransceiverResp,  false, 19},
    {kBindTransceiverResp,  "bind_transceiver_resp", kNoResponse,           false, 20},
    {kOutbind,              "outbind",               kNoResponse,           false, 21},
    {kEnquireLink,          "enquire_link",          kEnquireLinkResp,      true,  22},
    {kEnquireLinkResp,      "enquire_link_resp",     kNoResponse,           false, 23},
    {kSubmitMulti,          "submit_multi",          kSubmitMultiResp,      true,  24},
    {kSubmitMultiResp,      "submit_multi_resp",     kNoResponse,           false, 25},
    {kAlertNotification,    "alert_notification",    kNoResponse,           false, 26},
    {kDataSm,               "data_sm",               kDataSmResp,           true,  27},
    {kDataSmResp,           "data_sm_resp",          kNoResponse,           false, 28},
    // SMPP 5.0's broadcast family, behind the mobile row (29) so that no older row moves.
    // command_id              name                          response                bind   filter since
    {kBroadcastSm,            "broadcast_sm",               kBroadcastSmResp,       true,  30, interface_version::k50},
    {kBroadcastSmResp,        "broadcast_sm_resp",          kNoResponse,            false, 31, interface_version::k50},
    {kQueryBroadcastSm,       "query_broadcast_sm",         kQueryBroadcastSmResp,  true,  32, interface_version::k50},
    {kQueryBroadcastSmResp,   "query_broadcast_sm_resp",    kNoResponse,            false, 33, interface_version::k50},
    {kCancelBroadcastSm,      "cancel_broadcast_sm",        kCancelBroadcastSmResp, true,  34, interface_version::k50},
    {kCancelBroadcastSmResp,  "cancel_broadcast_sm_resp",   kNoResponse,            false, 35, interface_version::k50},
};

// Positions in kCommands, -1 for none (constant expressions compare these, never pointers).
namespace detail {
// Every id is a request number below kIdSpan, with or without the response bit: a table of positions by
// those bits finds a command in one step. The pairing, the statistics and the server ask for each PDU.
inline constexpr uint32_t kIdSpan = 0x200;
inline constexpr uint32_t kIdBits = kResponseBit | (kIdSpan - 1);
constexpr std::size_t Slot(uint32_t id) { return (id >> 31) * kIdSpan + (id & (kIdSpan - 1)); }
constexpr std::array<int8_t, 2 * kIdSpan> MakePositions() {
    std::array<int8_t, 2 * kIdSpan> positions{};
    positions.fill(-1);
    for (int i = 0; i < int(std::size(kCommands)); ++i)
        positions[Slot(kCommands[i].id)] = int8_t(i);
    return positions;
}
inline constexpr std::array<int8_t, 2 * kIdSpan> kPositions = MakePositions();
constexpr bool EveryIdHasASlot() {
    for (const Command& c : kCommands)
        if ((c.id & ~kIdBits) != 0 || kPositions[Slot(c.id)] != &c - kCommands)
            return false;
    return true;
}
static_assert(EveryIdHasASlot(), "a command id outside the position table, or two ids in one slot");
} // namespace detail

constexpr int IndexOf(uint32_t id) { return (id & ~detail::kIdBits) != 0 ? -1 : detail::kPositions[detail::Slot(id)]; }
constexpr int IndexOfName(std::string_view name) {
    for (int i = 0; i < int(std::size(kCommands)); ++i)
        if (kCommands[i].name == name)
            return i;
    return -1;
}

// nullptr for an id that is no SMPP 3.4 command.
constexpr const Command* Find(uint32_t id) { return IndexOf(id) < 0 ? nullptr : &kCommands[IndexOf(id)]; }
constexpr const Command* FindByName(std::string_view name) {
    return IndexOfName(name) < 0 ? nullptr : &kCommands[IndexOfName(name)];
}

// The filter index a PDU of this id is captured under; filter::kUnknown for an id that is no command.
constexpr int32_t FilterIndexOf(uint32_t id) { return IndexOf(id) < 0 ? filter::kUnknown : kCommands[IndexOf(id)].filterIndex; }
// What the server answers a request with; kNoResponse for an id that is no request it answers.
constexpr uint32_t ResponseOf(uint32_t id) { return IndexOf(id) < 0 ? kNoResponse : kCommands[IndexOf(id)].responseId; }
constexpr bool NeedsBind(uint32_t id) { return IndexOf(id) >= 0 && kCommands[IndexOf(id)].needsBind; }
// Whether a session at this interface version knows the command; false for an id that is no command.
constexpr bool KnownAt(uint32_t id, uint8_t version) { return IndexOf(id) >= 0 && version >= kCommands[IndexOf(id)].since; }

namespace detail {
constexpr bool RowsAreConsistent() {
    for (int i = 0; i < int(std::size(kCommands)); ++i) {
        const Command& c = kCommands[i];
        const bool isResponse = IsResponse(c.id);
        const int32_t row = i + filter::kSmpp + 1;
        if (c.filterIndex != (row < filter::kMobile ? row : row + 1) || IndexOf(c.id) != i || IndexOfName(c.name) != i)
            return false;
        if (c.responseId != kNoResponse && IndexOf(c.responseId) >= 0 && kCommands[IndexOf(c.responseId)].since != c.since)
            return false; // a request and its response came with the same version
        if (c.responseId != kNoResponse &&
            (isResponse || c.responseId != ResponseIdOf(c.id) || IndexOf(c.responseId) < 0))
            return false;
    }
    return true;
}
} // namespace detail

static_assert(std::size(kCommands) == 33, "the 27 commands of SMPP 3.4 and 5.0's six of broadcast");
static_assert(detail::RowsAreConsistent(),
              "filter index is position plus 2 (3 behind mobile); ids and names unique; a response is id | 0x80000000");
static_assert(kCommands[IndexOf(kDataSmResp)].filterIndex + 1 == filter::kMobile &&
                  kCommands[std::size(kCommands) - 1].filterIndex + 1 == filter::kUcp,
              "the mobile row follows the 3.4 commands, and 5.0's are followed by the UCP row");

} // namespace protocol::smpp
