// The facts a capture summarises a CIMD2 packet by, read from its fixed header and its error code alone.
#pragma once

#include "cimd/Codes.h"
#include "protocol/PduHeader.h"

#include <cstdint>
#include <optional>
#include <span>

namespace cimd {

// The command id a capture keeps for an operation code: an operation as it is, a response (its operation's
// code plus 50) as its operation's with the response bit, so that pairing finds the one in the other. 98 and
// 99 answer whatever could not be taken: responses of their own, paired with nothing.
constexpr uint32_t CommandIdOf(uint8_t operation) {
    if (operation < op::kResponseOffset)
        return operation;
    return protocol::ResponseIdOf(operation < op::kGeneralError ? operation - op::kResponseOffset : operation);
}

// Operation code, packet number and, for a response, the value of its 900 (0 when it carries none).
struct HeaderFacts {
    uint8_t operation = 0;
    uint8_t number = 0;
    std::optional<uint16_t> error;

    uint32_t CommandId() const { return CommandIdOf(operation); }
};

namespace header_detail {
constexpr bool Digit(uint8_t c) { return c >= '0' && c <= '9'; }
constexpr bool Digits(std::span<const uint8_t> f, std::size_t at, std::size_t count) {
    for (std::size_t i = at; i < at + count; ++i)
        if (i >= f.size() || !Digit(f[i]))
            return false;
    return true;
}
constexpr unsigned Value(std::span<const uint8_t> f, std::size_t at, std::size_t count) {
    unsigned value = 0;
    for (std::size_t i = at; i < at + count; ++i)
        value = value * 10 + unsigned(f[i] - '0');
    return value;
}
// The value of the first "TAB 900:" parameter, digits up to its TAB; nothing when there is none readable.
constexpr std::optional<uint16_t> ErrorCode(std::span<const uint8_t> f) {
    for (std::size_t at = 7; at + 5 < f.size(); ++at) {
        if (f[at] != '\t' || f[at + 1] != '9' || f[at + 2] != '0' || f[at + 3] != '0' || f[at + 4] != ':')
            continue;
        std::size_t end = at + 5;
        while (end < f.size() && end - at - 5 < 4 && Digit(f[end]))
            ++end;
        if (end == at + 5 || end >= f.size() || f[end] != '\t')
            return std::nullopt;
        return uint16_t(Value(f, at + 5, end - at - 5));
    }
    return std::nullopt;
}
} // namespace header_detail

// Nothing when the packet does not open with STX, "OO:SSS" and a TAB, or numbers it over 255; never reads
// past packet.
constexpr std::optional<HeaderFacts> PeekHeader(std::span<const uint8_t> packet) {
    using namespace header_detail;
    constexpr std::size_t kOperation = 1, kNumber = 4, kTabAt = 7;
    if (packet.size() <= kTabAt || packet[0] != 0x02 || !Digits(packet, kOperation, 2) || packet[3] != ':' ||
        !Digits(packet, kNumber, 3) || packet[kTabAt] != '\t' || Value(packet, kNumber, 3) > kLargestNumber)
        return std::nullopt;
    HeaderFacts facts{uint8_t(Value(packet, kOperation, 2)), uint8_t(Value(packet, kNumber, 3)), std::nullopt};
    if (facts.operation > op::kResponseOffset)
        facts.error = ErrorCode(packet).value_or(0);
    return facts;
}

} // namespace cimd
