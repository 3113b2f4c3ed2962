// What the header of every capture protocol's PDU shares: the length and command id words and the response bit.
#pragma once

#include "protocol/Registry.h"

#include <cstdint>

namespace protocol {

// Every PDU opens with its length (big-endian, counting itself) and then its command id.
inline constexpr uint32_t kLengthOffset = 0;
inline constexpr uint32_t kCommandOffset = 4;

// The command id of an answer is its request's with this bit set, in SMPP and in every gateway protocol.
inline constexpr uint32_t kResponseBit = 0x80000000u;

constexpr bool IsResponse(uint32_t commandId) { return (commandId & kResponseBit) != 0; }
constexpr uint32_t ResponseIdOf(uint32_t requestId) { return requestId | kResponseBit; }

// SMPP's header: length, command id, command_status, sequence_number, four octets each.
namespace smpp {
inline constexpr uint32_t kStatusOffset = 8;
inline constexpr uint32_t kSequenceOffset = 12;
} // namespace smpp

static_assert(kProtocols[IndexOf(kSmpp)].statusOffset == smpp::kStatusOffset &&
                  kProtocols[IndexOf(kSmpp)].sequenceOffset == smpp::kSequenceOffset &&
                  HeaderSizeOf(kSmpp) == smpp::kSequenceOffset + 4,
              "the registry's SMPP header places status and sequence as SMPP 3.4 does");

} // namespace protocol
