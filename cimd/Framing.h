// Cutting CIMD2 packets (STX ... ETX) out of the bytes a connection has buffered: one pure function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace cimd {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
// The longest packet taken, STX and ETX included: a submit whose 160 characters all need escapes fits, and
// a peer that never sends ETX costs no more than this.
inline constexpr std::size_t kMaxFrameOctets = 4096;

enum class FrameStatus : uint8_t {
    NeedMore, // an STX opens the bytes, and neither its ETX nor the bound has come yet
    Frame,    // the bytes open with a frame of `length` octets, STX to ETX
    Invalid,  // the first `length` octets are no frame: drop them and cut again
};

enum class FrameFault : uint8_t {
    None,
    Stray,        // octets before an STX: between frames, or what is left of an over-long one
    Unterminated, // an STX again before the ETX: the frame before it lost its end
    TooLong,      // no ETX within kMaxFrameOctets
};

struct FrameCut {
    FrameStatus status;
    std::size_t length; // Frame: the frame's octets; Invalid: the octets to skip; NeedMore: 0
    FrameFault fault;

    constexpr bool operator==(const FrameCut&) const = default;
};

// What the buffered bytes open with. Every Invalid skips at least one octet, so a reader that drops
// `length` octets each time always gets back in step at the next STX.
FrameCut CutFrame(std::span<const uint8_t> buffered);

} // namespace cimd
