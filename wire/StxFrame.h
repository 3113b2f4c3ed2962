// Cutting frames that open with STX and close with ETX (UCP/EMI, CIMD2) out of the bytes a connection
// has buffered: one pure function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace wire {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
// The longest frame taken, STX and ETX included: UCP's 50 series at its widest and a CIMD2 submit whose
// 160 characters all need escapes fit with room to spare, and a peer that never sends ETX costs no more.
inline constexpr std::size_t kMaxStxFrameOctets = 4096;

enum class StxFrameStatus : uint8_t {
    NeedMore, // an STX opens the bytes, and neither its ETX nor the bound has come yet
    Frame,    // the bytes open with a frame of `length` octets, STX to ETX
    Invalid,  // the first `length` octets are no frame: drop them and cut again
};

enum class StxFrameFault : uint8_t {
    None,
    Stray,        // octets before an STX: between frames, or what is left of an over-long one
    Unterminated, // an STX again before the ETX: the frame before it lost its end
    TooLong,      // no ETX within kMaxStxFrameOctets
};

struct StxFrameCut {
    StxFrameStatus status;
    std::size_t length; // Frame: the frame's octets; Invalid: the octets to skip; NeedMore: 0
    StxFrameFault fault;

    constexpr bool operator==(const StxFrameCut&) const = default;
};

// What the buffered bytes open with. Every Invalid skips at least one octet, so a reader that drops
// `length` octets each time always gets back in step at the next STX.
StxFrameCut CutStxFrame(std::span<const uint8_t> buffered);

} // namespace wire
