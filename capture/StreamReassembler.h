// One direction of a TCP connection put back in order and cut into PDUs by its protocol's framer.
#pragma once

#include "wire/Framer.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace pcap {

// What a stream tells its owner while it is fed; every call comes from within Segment or Drain.
class StreamListener {
public:
    // A whole PDU (valid for the call only) and the capture time of the segment that completed it.
    virtual void OnPdu(const uint8_t* pdu, uint32_t length, int64_t time) = 0;
    // Octets of the stream that never arrived; framing starts again where a PDU starts.
    virtual void OnGap(uint64_t missing) = 0;
    // Octets skipped while out of step: a segment that does not open with a believable length.
    virtual void OnNotPduStart(uint64_t octets) = 0;
    // A length field below the header or above the largest PDU: the rest of the segment is skipped.
    virtual void OnBadLength(uint32_t length) = 0;
    // Octets a delimited stream holds that are no frame (stray, unterminated, too long, a bad
    // checksum): skipped, and the next frame is cut where the next start octet is.
    virtual void OnBadFrame(wire::FrameFault fault, uint32_t octets) = 0;
    // A SYN after data: a new connection between the same two ends, which may speak another version;
    // `unfinished` when the old one stopped inside a PDU.
    virtual void OnNewConnection(bool unfinished) = 0;

protected:
    ~StreamListener() = default;
};

// Holds segments that arrive early (up to a bound, then the missing bytes count as a gap), drops
// retransmitted bytes, and cuts what is in order with the framer, judging a frame as early as it can.
// A length-prefixed stream caught without its SYN, or after a gap or a bad length, is out of step:
// framing begins with the first segment that opens with a believable length. A delimited stream
// never is: its framer finds the next start octet.
class CStreamReassembler {
public:
    explicit CStreamReassembler(std::unique_ptr<wire::Framer> framer)
        : m_framer(std::move(framer)), m_outOfStep(!m_framer->Resyncs()) {}

    // One TCP segment captured at `time` (microseconds since 1970).
    void Segment(StreamListener& listener, int64_t time, uint32_t sequence, uint8_t flags,
                 std::span<const uint8_t> payload);
    // Gives up waiting for missing bytes: what arrived after them is framed as it can be.
    void Drain(StreamListener& listener);

    bool HasHeldSegments() const { return !m_pending.empty(); }
    // Whether the bytes so far stop inside a PDU.
    bool Unfinished() const { return !m_buffer.empty(); }

    static constexpr uint64_t kMaxHeldBytes = 256 * 1024; // early data held before it is a gap

private:
    struct Held {
        int64_t time;
        std::vector<uint8_t> bytes;
    };

    void Deliver(StreamListener& listener, const uint8_t* bytes, std::size_t length);
    // Delivers what is left of the first held segment, which starts at or before the delivered bytes.
    void DeliverHeld(StreamListener& listener);

    std::unique_ptr<wire::Framer> m_framer;
    bool m_started = false;
    bool m_outOfStep;         // until the bytes at hand start a PDU
    uint32_t m_nextSequence = 0;
    uint64_t m_delivered = 0; // stream position of m_nextSequence
    int64_t m_time = 0;      // of the bytes being delivered
    std::map<uint64_t, Held> m_pending;
    uint64_t m_pendingBytes = 0;
    std::vector<uint8_t> m_buffer; // bytes of the PDU being framed
};

} // namespace pcap
