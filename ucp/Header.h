// The facts a capture summarises a UCP/EMI frame by, read from the fixed places of its header alone.
#pragma once

#include "protocol/PduHeader.h"

#include <cstdint>
#include <optional>
#include <span>

namespace ucp {

// TRN, O or R and OT of a frame, and the EC of a negative result: what pairing and statistics need, without
// the field walk of Parse. The header's widths are fixed ("TT/LLLLL/O/OT/"), so each sits at one offset.
struct HeaderFacts {
    uint8_t trn = 0;
    bool result = false;
    uint8_t ot = 0;
    std::optional<uint8_t> error; // a result: 0 when positive, its EC when negative and readable

    // The command id a capture keeps: the OT, with the response bit for a result.
    uint32_t CommandId() const { return result ? protocol::ResponseIdOf(ot) : ot; }
};

namespace header_detail {
constexpr bool Digit(uint8_t c) { return c >= '0' && c <= '9'; }
constexpr bool TwoDigits(std::span<const uint8_t> f, std::size_t at) {
    return at + 1 < f.size() && Digit(f[at]) && Digit(f[at + 1]);
}
constexpr uint8_t Value(std::span<const uint8_t> f, std::size_t at) { return uint8_t((f[at] - '0') * 10 + f[at + 1] - '0'); }
} // namespace header_detail

// Nothing when the frame does not open with STX and a header of the right widths; never reads past frame.
constexpr std::optional<HeaderFacts> PeekHeader(std::span<const uint8_t> frame) {
    using namespace header_detail;
    constexpr std::size_t kTrn = 1, kLen = 4, kKind = 10, kOt = 12, kFirst = 15, kEc = 17;
    if (frame.size() <= kFirst || frame[0] != 0x02 || !TwoDigits(frame, kTrn) || frame[3] != '/' ||
        frame[kLen + 5] != '/' || (frame[kKind] != 'O' && frame[kKind] != 'R') || frame[11] != '/' ||
        !TwoDigits(frame, kOt) || frame[14] != '/')
        return std::nullopt;
    HeaderFacts facts{Value(frame, kTrn), frame[kKind] == 'R', Value(frame, kOt), std::nullopt};
    if (facts.result && frame[kFirst] == 'A')
        facts.error = 0;
    else if (facts.result && frame[kFirst] == 'N' && frame[kEc - 1] == '/' && TwoDigits(frame, kEc) &&
             kEc + 2 < frame.size() && frame[kEc + 2] == '/') // EC is two digits, no more: "02x" is no EC
        facts.error = Value(frame, kEc);
    return facts;
}

} // namespace ucp
