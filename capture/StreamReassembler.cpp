// TCP stream reassembly for the capture-file import: order, retransmissions, gaps and framing.
#include "capture/StreamReassembler.h"

#include <algorithm>

namespace pcap {
namespace {

constexpr uint8_t kSyn = 0x02;
constexpr std::size_t kLengthOctets = 4; // a length-prefixed PDU's length field

} // namespace

void CStreamReassembler::Segment(StreamListener& listener, int64_t time, uint32_t sequence, uint8_t flags,
                                 std::span<const uint8_t> payload) {
    m_time = time;
    if (flags & kSyn) {
        // The stream starts after the SYN: the first byte is the first byte of a PDU. A SYN after data is
        // a new connection between the same two ends.
        if (m_started && m_delivered > 0) {
            Drain(listener);
            const bool unfinished = Unfinished();
            m_buffer.clear();
            listener.OnNewConnection(unfinished);
        }
        m_started = true;
        m_nextSequence = sequence + 1;
        m_delivered = 0;
        m_outOfStep = false;
        return;
    }
    const auto length = static_cast<uint32_t>(payload.size());
    if (length == 0)
        return;
    if (!m_started) {
        // Caught mid-connection: framing starts with this segment and checks that it starts a PDU.
        m_started = true;
        m_nextSequence = sequence;
    }
    const int64_t position = int64_t(m_delivered) + int32_t(sequence - m_nextSequence);
    if (position + length <= int64_t(m_delivered))
        return; // a retransmission of bytes already framed
    if (position > int64_t(m_delivered)) {
        // Out of order: held until the bytes before it arrive. The longer copy of a retransmission wins.
        Held& held = m_pending[uint64_t(position)];
        if (held.bytes.size() < length) {
            m_pendingBytes += length - held.bytes.size();
            held.time = time;
            held.bytes.assign(payload.begin(), payload.end());
        }
        if (m_pendingBytes > kMaxHeldBytes)
            Drain(listener);
        return;
    }
    const auto overlap = static_cast<uint32_t>(int64_t(m_delivered) - position);
    Deliver(listener, payload.data() + overlap, length - overlap);
    // Whatever was held and now follows on.
    while (!m_pending.empty() && m_pending.begin()->first <= m_delivered)
        DeliverHeld(listener);
}

void CStreamReassembler::Drain(StreamListener& listener) {
    while (!m_pending.empty()) {
        const uint64_t first = m_pending.begin()->first;
        if (first > m_delivered) {
            const uint64_t missing = first - m_delivered;
            listener.OnGap(missing);
            m_nextSequence += static_cast<uint32_t>(missing);
            m_delivered = first;
            // The PDU the gap cut into is lost; framing starts again where a PDU does.
            m_buffer.clear();
            m_outOfStep = !m_framer->Resyncs();
        }
        m_time = m_pending.begin()->second.time;
        DeliverHeld(listener);
    }
}

void CStreamReassembler::DeliverHeld(StreamListener& listener) {
    auto held = m_pending.extract(m_pending.begin());
    const std::vector<uint8_t>& bytes = held.mapped().bytes;
    m_pendingBytes -= bytes.size();
    if (held.key() + bytes.size() > m_delivered) {
        const auto skipFront = static_cast<std::size_t>(m_delivered - held.key());
        Deliver(listener, bytes.data() + skipFront, bytes.size() - skipFront);
    }
}

void CStreamReassembler::Deliver(StreamListener& listener, const uint8_t* bytes, std::size_t length) {
    m_nextSequence += static_cast<uint32_t>(length);
    m_delivered += length;
    if (m_outOfStep) {
        // Only a segment that opens with a believable length is taken as the start of a PDU.
        if (length < kLengthOctets || m_framer->CutEarly({bytes, length}).status == wire::FrameStatus::Invalid) {
            listener.OnNotPduStart(length);
            return;
        }
        m_outOfStep = false;
        m_buffer.clear();
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + length);
    std::size_t start = 0;
    for (;;) {
        const std::span<const uint8_t> rest(m_buffer.data() + start, m_buffer.size() - start);
        const wire::FrameCut frame = m_framer->CutEarly(rest);
        if (frame.status == wire::FrameStatus::NeedMore)
            break;
        if (frame.status == wire::FrameStatus::Pdu) {
            listener.OnPdu(rest.data(), frame.length, m_time);
            start += frame.length;
            continue;
        }
        if (!m_framer->Resyncs()) {
            listener.OnBadLength(frame.length);
            m_outOfStep = true;
            m_buffer.clear();
            return;
        }
        // At least one octet goes, so that cutting always moves on.
        const std::size_t skipped = std::clamp<std::size_t>(frame.length, 1, rest.size());
        listener.OnBadFrame(frame.fault, uint32_t(skipped));
        start += skipped;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(start));
}

} // namespace pcap
