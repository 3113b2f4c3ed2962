// Cutting PDUs out of a byte stream by their own 32-bit big-endian length: one pure function.
#pragma once

#include "wire/Cursor.h"

#include <cstddef>
#include <cstdint>

namespace wire {

enum class FrameStatus : uint8_t {
    NeedMore, // the bytes end before the PDU does
    Pdu,      // the bytes open with a whole PDU of `length` octets
    Invalid,  // the length is below the header or above the largest PDU: the stream cannot be cut any more
};

struct FrameResult {
    FrameStatus status;
    // Pdu and Invalid: the length field. NeedMore: the length field once the header is in, else 0 —
    // so that a reader can ask for exactly the octets still missing.
    uint32_t length;

    constexpr bool operator==(const FrameResult&) const = default;
};

// Whether a length field can be a PDU's: at least the header, at most the largest PDU.
constexpr bool LengthFits(uint32_t length, uint32_t headerSize, uint32_t maxPdu) {
    return length >= headerSize && length <= maxPdu;
}

// What the buffered bytes at the start of a stream hold. The length is trusted only once the whole
// header (headerSize octets, at least 4) is in; lengths in [headerSize, maxPdu] are PDUs.
constexpr FrameResult Frame(const uint8_t* bytes, std::size_t size, uint32_t headerSize, uint32_t maxPdu) {
    if (size < headerSize || size < 4)
        return {FrameStatus::NeedMore, 0};
    const uint32_t length = ReadBe32(bytes);
    if (!LengthFits(length, headerSize, maxPdu))
        return {FrameStatus::Invalid, length};
    return {size >= length ? FrameStatus::Pdu : FrameStatus::NeedMore, length};
}

} // namespace wire
