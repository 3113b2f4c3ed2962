// What a capture record is summarised by, worked out once when the log stores it and read by every listener.
#pragma once

#include "protocol/PduHeader.h"
#include "protocol/Registry.h"
#include "cimd/Header.h"
#include "ucp/Header.h"
#include "wire/Cursor.h"

#include <array>
#include <cstdint>

// One end of a record's connection; zero address and port when nobody said.
struct PacketPeer {
    uint32_t address = 0; // first octet in the most significant byte
    uint16_t port = 0;
    bool operator==(const PacketPeer&) const = default;
};

// Where a record came from: the servers' own traffic, a capture file opened into the log, or the user's typing.
enum class PacketOrigin : uint8_t { Live, Opened, Typed };

// The facts of one record that the pairing, the statistics, the trace and the API read, so that none of
// them reads the header bytes again or the clock at all. Plain data, no allocation: the log keeps one
// beside each record and forgets it with the record.
struct PacketSummary {
    static constexpr uint8_t kHasCommand = 1;  // the PDU holds a command id (its second word)
    static constexpr uint8_t kHasSequence = 2; // and the whole sequence of its protocol's header
    static constexpr uint8_t kHasStatus = 4;   // and a status in its header (SMPP, CNGP: any PDU, requests too)

    int64_t timeUs = 0;      // capture time, microseconds since 1970: the one clock read of the PDU
    uint64_t connection = 0; // the connection it travelled on (CPacketLog::NewConnectionId); 0 when unknown
    PacketPeer source;       // the end that sent it, as the record's header says
    PacketPeer peer;         // the end it went to: zero when nobody said
    uint32_t command = 0;
    uint32_t status = 0;
    std::array<uint32_t, 3> sequence{}; // SGIP's three words (node, time, number); one word elsewhere
    uint16_t protocol = 0;              // capture protocol code
    uint16_t family = 0;                // the protocol whose requests and answers pair with it; 0 for an unknown code
    uint8_t fields = 0;                 // which of command, sequence and status the PDU holds
    uint8_t sequenceWords = 0;          // how many words of sequence the protocol's header has
    PacketOrigin origin = PacketOrigin::Live;
    bool fromServer = false; // the server's end sent it ("out"); false: the server's end received it ("in")

    bool Has(uint8_t field) const { return (fields & field) == field; }
    bool IsResponse() const { return Has(kHasCommand) && protocol::IsResponse(command); }
    // The sequence word a list shows (SGIP's number, the last of its three); 0 without a sequence.
    uint32_t ShownSequence() const { return Has(kHasSequence) ? sequence[sequenceWords - 1] : 0; }
};

namespace packet_summary {

// A text protocol's header, read by its codec: UCP's OT (and the response bit) or CIMD2's operation code as
// command, TRN or packet number as sequence, a result's EC or a response's 900 as status.
template <typename Facts>
inline void SummariseText(const std::optional<Facts>& facts, uint32_t trn, PacketSummary& summary) {
    if (!facts)
        return;
    summary.command = facts->CommandId();
    summary.sequence[0] = trn;
    summary.sequenceWords = 1;
    summary.fields = PacketSummary::kHasCommand | PacketSummary::kHasSequence;
    if (facts->error) {
        summary.status = *facts->error;
        summary.fields |= PacketSummary::kHasStatus;
    }
}

inline void ReadTextHeader(const protocol::Protocol& known, const uint8_t* pdu, uint32_t length,
                           PacketSummary& summary) {
    summary.family = known.family;
    if (known.framing == protocol::Framing::CimdText) {
        const std::optional<cimd::HeaderFacts> facts = cimd::PeekHeader({pdu, length});
        return SummariseText(facts, facts ? facts->number : 0, summary);
    }
    const std::optional<ucp::HeaderFacts> facts = ucp::PeekHeader({pdu, length});
    SummariseText(facts, facts ? facts->trn : 0, summary);
}

// Fills in protocol, family, command, sequence and status from the PDU's header, as the protocol
// registry places them; what the PDU is too short to hold stays unset. Never reads past length.
inline void ReadHeader(uint16_t protocolCode, const uint8_t* pdu, uint32_t length, PacketSummary& summary) {
    summary.protocol = protocolCode;
    summary.fields = 0;
    summary.sequenceWords = 0;
    summary.sequence = {};
    const int index = protocol::IndexOf(protocolCode);
    const protocol::Protocol* known = index < 0 ? nullptr : &protocol::kProtocols[index];
    if (known && known->framing != protocol::Framing::LengthPrefixed)
        return ReadTextHeader(*known, pdu, length, summary);
    if (known && length >= known->headerSize) {
        // The whole header is there, as it is for every PDU the servers frame: read it directly.
        summary.family = known->family;
        summary.command = wire::ReadBe32(pdu + 4);
        summary.sequenceWords = uint8_t(known->sequenceSize / 4);
        for (uint8_t i = 0; i < summary.sequenceWords; ++i)
            summary.sequence[i] = wire::ReadBe32(pdu + known->sequenceOffset + 4 * i);
        summary.fields = PacketSummary::kHasCommand | PacketSummary::kHasSequence;
        if (known->statusOffset != 0) {
            summary.status = wire::ReadBe32(pdu + known->statusOffset);
            summary.fields |= PacketSummary::kHasStatus;
        }
        return;
    }
    // A short PDU (a capture file's, or a bad length): each field only where it fits.
    const wire::Cursor in(pdu, length);
    wire::Cursor command = in.At(4);
    summary.command = command.U32();
    if (!command.Ok())
        return;
    summary.fields = PacketSummary::kHasCommand;
    if (!known)
        return;
    summary.family = known->family;
    wire::Cursor sequence = in.At(known->sequenceOffset);
    const uint8_t words = uint8_t(known->sequenceSize / 4);
    for (uint8_t i = 0; i < words; ++i)
        summary.sequence[i] = sequence.U32();
    if (sequence.Ok()) {
        summary.fields |= PacketSummary::kHasSequence;
        summary.sequenceWords = words;
    } else {
        summary.sequence = {};
    }
    if (known->statusOffset == 0)
        return;
    wire::Cursor status = in.At(known->statusOffset);
    summary.status = status.U32();
    if (status.Ok())
        summary.fields |= PacketSummary::kHasStatus;
}

} // namespace packet_summary
