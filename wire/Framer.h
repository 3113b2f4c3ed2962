// How a protocol's PDUs are cut out of a byte stream: by their own length, or between start and end octets.
#pragma once

#include "protocol/Registry.h"
#include "wire/Frame.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace wire {

enum class FrameFault : uint8_t {
    None,
    BadLength,    // a length field below the header or above the largest PDU
    Stray,        // octets before a start octet
    Unterminated, // a start octet again before the end octet
    TooLong,      // no end octet within the largest frame
    BadChecksum,  // the frame's checksum is missing, not two upper-case hex digits, or wrong
};

// What a fault is called where a capture notes it: "a bad length", "a bad checksum".
const char* FrameFaultName(FrameFault fault);

struct FrameCut {
    FrameStatus status;
    uint32_t length; // Pdu: the frame's octets; Invalid: the octets that are no frame; NeedMore: 0 or the length field
    FrameFault fault = FrameFault::None;

    constexpr bool operator==(const FrameCut&) const = default;
};

// One protocol's way of cutting frames. A length-prefixed stream that meets a bad length cannot be
// cut any more (Resyncs false); a delimited one drops the octets that are no frame and cuts again
// at the next start octet.
class Framer {
public:
    virtual ~Framer() = default;
    // What the buffered bytes at the start of a stream open with.
    virtual FrameCut Cut(std::span<const uint8_t> buffered) const = 0;
    // The same for a stream read from a capture, which has its bytes already: a frame that cannot be
    // one is told as soon as that shows (a length field as soon as its own octets are in), not once
    // the whole header has come.
    virtual FrameCut CutEarly(std::span<const uint8_t> buffered) const { return Cut(buffered); }
    // The longest frame Cut takes; a reader's buffer holds at least this much.
    virtual uint32_t MaxFrame() const = 0;
    virtual bool Resyncs() const = 0;
};

// PDUs that open with a 32-bit big-endian length of at least headerSize and at most maxPdu octets.
class LengthPrefixFramer final : public Framer {
public:
    LengthPrefixFramer(uint32_t headerSize, uint32_t maxPdu) : m_headerSize(headerSize), m_maxPdu(maxPdu) {}
    FrameCut Cut(std::span<const uint8_t> buffered) const override;
    FrameCut CutEarly(std::span<const uint8_t> buffered) const override;
    uint32_t MaxFrame() const override { return m_maxPdu; }
    bool Resyncs() const override { return false; }
    uint32_t HeaderSize() const { return m_headerSize; }

private:
    uint32_t m_headerSize, m_maxPdu;
};

// Text frames between STX and ETX (wire::CutStxFrame), checked by the sum of their octets mod 256 in
// two upper-case hex digits right before ETX, after the last separator. UCP/EMI sums from the octet
// after STX through the last '/' and always carries it; CIMD2 sums from STX through the last TAB
// and may leave it out.
struct Delimiting {
    enum class Checksum : uint8_t { None, Required, Optional };
    Checksum checksum = Checksum::None;
    uint8_t separator = 0;  // the checksum follows the last of these
    bool sumsStart = false; // the sum includes the STX

    constexpr bool operator==(const Delimiting&) const = default;
};
inline constexpr Delimiting kUcpDelimiting{Delimiting::Checksum::Required, '/', false};
inline constexpr Delimiting kCimdDelimiting{Delimiting::Checksum::Optional, '\t', true};

class DelimitedFramer final : public Framer {
public:
    explicit DelimitedFramer(Delimiting delimiting) : m_delimiting(delimiting) {}
    FrameCut Cut(std::span<const uint8_t> buffered) const override;
    uint32_t MaxFrame() const override;
    bool Resyncs() const override { return true; }

private:
    bool ChecksumHolds(std::span<const uint8_t> frame) const;

    Delimiting m_delimiting;
};

// The framer the registry names for protocol; maxPdu, when not 0, bounds a length-prefixed PDU
// tighter than the registry does (a server's own receive buffer).
std::unique_ptr<Framer> FramerFor(const protocol::Protocol& protocol, uint32_t maxPdu = 0);

} // namespace wire
