// Concatenated messages put back together.
#include "analysis/Concatenations.h"

#include "capture/PacketRecord.h"
#include "decoder/Formatters.h"
#include "decoder/MessageContent.h"
#include "decoder/tables/TlvNames.h"
#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"
#include "protocol/SmppFields.h"
#include "wire/Cursor.h"

#include <algorithm>
#include <functional>
#include <span>

namespace {

using protocol::smpp::kEsmClassUdhi;
using protocol::smpp::kTagSarMsgRefNum;
using protocol::smpp::kTagSarSegmentSeqnum;
using protocol::smpp::kTagSarTotalSegments;

// The fields of an SMPP message body up to its short message, in order; the optional parameters follow.
enum class Field : uint8_t {
    Text,         // a C string of at most `width` octets, its NUL included
    Octets,       // `width` octets
    Source,       // source_addr, as Text
    Destination,  // destination_addr, as Text
    EsmClass,
    DataCoding,
    ShortMessage, // sm_length, then that many octets
};
struct Step {
    Field field;
    uint8_t width;
};
// The registry's widths of the C-string fields.
constexpr uint8_t kShort = protocol::smpp::field_width::kShortAddress, kLong = protocol::smpp::field_width::kLongAddress;
constexpr uint8_t kService = protocol::smpp::field_width::kServiceType, kTime = protocol::smpp::field_width::kTime;
constexpr Step kSubmitOrDeliver[] = {
    {Field::Text, kService}, {Field::Octets, 2},   {Field::Source, kShort}, {Field::Octets, 2},
    {Field::Destination, kShort},                  {Field::EsmClass, 1},                      // service_type .. esm_class
    {Field::Octets, 2},   {Field::Text, kTime},    {Field::Text, kTime},    {Field::Octets, 2}, // protocol_id .. replace_if_present
    {Field::DataCoding, 1}, {Field::Octets, 1},    {Field::ShortMessage, 0},
};
constexpr Step kDataSm[] = {
    {Field::Text, kService},   {Field::Octets, 2},   {Field::Source, kLong}, {Field::Octets, 2},
    {Field::Destination, kLong}, {Field::EsmClass, 1}, {Field::Octets, 1},   {Field::DataCoding, 1},
};

// The sar_ TLVs' concatenation, when all three are there; the text moves to message_payload when the
// short message is empty.
std::optional<Concatenation> SarOf(wire::Cursor& in, int32_t& textOffset, int32_t& textLength) {
    int32_t sar[3] = {-1, -1, -1}; // reference, total, number
    while (in.Has(4)) {
        const uint16_t tag = in.U16();
        const uint16_t size = in.U16();
        wire::Cursor value = in.At(in.Offset());
        if (!in.Has(size))
            break;
        in.Skip(size);
        if (tag == kSmppMessagePayload && textLength == 0) {
            textOffset = static_cast<int32_t>(value.Offset());
            textLength = size;
        }
        const int slot = tag == kTagSarMsgRefNum ? 0 : tag == kTagSarTotalSegments ? 1 : tag == kTagSarSegmentSeqnum ? 2 : -1;
        if (slot >= 0)
            sar[slot] = size == 2 && slot == 0 ? value.U16() : size == 1 ? value.U8() : -1;
    }
    if (sar[0] < 0 || sar[1] < 0 || sar[2] < 0)
        return std::nullopt;
    return Concatenation{sar[0], sar[1], sar[2]};
}

// The concatenation the text's user data header names; the text then starts behind the header.
std::optional<Concatenation> UdhConcatenationOf(const uint8_t* record, int32_t& textOffset, int32_t& textLength) {
    const std::optional<UserDataHeader> header = ParseUserDataHeader(record + textOffset, textLength);
    std::optional<Concatenation> concatenation;
    if (header)
        for (const UdhElement& element : header->elements)
            if (element.concatenation)
                concatenation = element.concatenation;
    if (concatenation) {
        textOffset += header->Octets();
        textLength -= header->Octets();
    }
    return concatenation;
}

} // namespace

size_t CConcatenations::KeyHash::operator()(const Key& key) const {
    const std::hash<std::string> text;
    size_t h = std::hash<uint64_t>()(key.connection * 31 + key.sender);
    for (size_t part : {text(key.source), text(key.destination), size_t(key.reference), size_t(key.total)})
        h = (h ^ part) * 0x100000001B3ull;
    return h;
}

CConcatenations::CConcatenations(CPacketLog& log, const CPacketDecoder& decoder) : m_log(log), m_decoder(decoder) {
    m_log.AddListener(this);
    OnPacketsAdded(0, m_log.GetCount());
}

CConcatenations::~CConcatenations() { m_log.RemoveListener(this); }

void CConcatenations::OnLogReset() {
    m_messageOf.clear();
    m_messages.clear();
    m_open.clear();
}

void CConcatenations::OnPacketsAdded(int32_t first, int32_t count) {
    if (first < 0 || count <= 0)
        return;
    m_messageOf.resize(static_cast<size_t>(first) + static_cast<size_t>(count), -1);
    for (int32_t index = first; index < first + count; ++index)
        Add(index);
}

std::optional<CConcatenations::PartOf> CConcatenations::ReadPart(const uint8_t* record, uint32_t length) {
    if (!record || length < packet_record::kHeaderSize || packet_record::ReadHeader(record).protocol != protocol::kSmpp)
        return std::nullopt;
    const uint32_t bodyAt = packet_record::kHeaderSize + protocol::HeaderSizeOf(protocol::kSmpp);
    const std::optional<uint32_t> id = packet_record::CommandId(record, length);
    std::span<const Step> steps;
    if (id == protocol::smpp::kSubmitSm || id == protocol::smpp::kDeliverSm)
        steps = kSubmitOrDeliver;
    else if (id == protocol::smpp::kDataSm)
        steps = kDataSm;
    else
        return std::nullopt;

    wire::Cursor in(record, length, bodyAt);
    PartOf part;
    uint8_t esmClass = 0;
    for (const Step& step : steps) {
        switch (step.field) {
        case Field::Text: in.CString(step.width); break;
        case Field::Octets: in.Skip(step.width); break;
        case Field::Source: part.source = in.CString(step.width); break;
        case Field::Destination: part.destination = in.CString(step.width); break;
        case Field::EsmClass: esmClass = in.U8(); break;
        case Field::DataCoding: part.dataCoding = in.U8(); break;
        case Field::ShortMessage:
            part.textLength = in.U8();
            part.textOffset = static_cast<int32_t>(in.Offset());
            in.Skip(static_cast<size_t>(part.textLength));
            break;
        }
    }
    if (!in.Ok())
        return std::nullopt;

    // A user data header's reference goes before the sar_ TLVs'.
    std::optional<Concatenation> sar = SarOf(in, part.textOffset, part.textLength);
    std::optional<Concatenation> concatenation;
    if (esmClass & kEsmClassUdhi)
        concatenation = UdhConcatenationOf(record, part.textOffset, part.textLength);
    if (!concatenation)
        concatenation = sar;
    // A message of one part, or a part numbered outside its count, puts nothing together.
    if (!concatenation || concatenation->total < 2 || concatenation->part < 1 || concatenation->part > concatenation->total)
        return std::nullopt;
    part.reference = concatenation->reference;
    part.total = concatenation->total;
    part.number = concatenation->part;
    return part;
}

void CConcatenations::Add(int32_t index) {
    uint32_t length = 0;
    const uint8_t* record = m_log.PacketAt(index, &length);
    std::optional<PartOf> part = ReadPart(record, length);
    if (!part)
        return;
    const PacketRecordHeader header = packet_record::ReadHeader(record);
    Key key{m_log.SummaryAt(index).connection, uint64_t(header.sourceAddress) << 16 | header.sourcePort,
            std::move(part->source), std::move(part->destination), part->reference, part->total};
    auto [open, inserted] = m_open.try_emplace(std::move(key), static_cast<int32_t>(m_messages.size()));
    if (inserted)
        m_messages.push_back({std::vector<int32_t>(static_cast<size_t>(part->total), -1), 0, 0, -1});
    Message& message = m_messages[static_cast<size_t>(open->second)];
    int32_t& slot = message.parts[static_cast<size_t>(part->number - 1)];
    // A part sent again (after a refusal, say) stands for its number: the later copy is the one kept.
    if (slot >= 0)
        m_messageOf[static_cast<size_t>(slot)] = -1;
    else
        ++message.present;
    slot = index;
    m_messageOf[static_cast<size_t>(index)] = open->second;
    message.highest = std::max(message.highest, part->number);
    if (message.present == part->total) {
        // Complete: the next part under the same key starts another message.
        message.completedBy = index;
        m_open.erase(open);
    }
}

// The parts' texts read by their data coding as the decoder reads a short message. Parts of one
// coding are read as one run of octets, so that a character split between two parts stays whole.
std::string CConcatenations::WholeText(const Message& message) const {
    std::vector<PartOf> parts;
    bool oneCoding = true;
    for (int32_t record : message.parts) {
        uint32_t length = 0;
        const uint8_t* at = m_log.PacketAt(record, &length);
        parts.push_back(ReadPart(at, length).value_or(PartOf{}));
        oneCoding = oneCoding && parts.back().dataCoding == parts.front().dataCoding;
    }
    const DefaultAlphabet alphabet = m_decoder.GetDefaultAlphabet();
    std::string text;
    std::vector<uint8_t> octets;
    for (size_t i = 0; i < parts.size(); ++i) {
        uint32_t length = 0;
        const uint8_t* at = m_log.PacketAt(message.parts[i], &length) + parts[i].textOffset;
        if (oneCoding)
            octets.insert(octets.end(), at, at + parts[i].textLength);
        else
            text += FormatSmppShortMessage(at, parts[i].textLength, parts[i].dataCoding, alphabet);
    }
    if (oneCoding)
        text = FormatSmppShortMessage(octets.data(), static_cast<int32_t>(octets.size()), parts.front().dataCoding, alphabet);
    return text;
}

std::optional<Reassembled> CConcatenations::ReassembledAt(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_messageOf.size() || m_messageOf[static_cast<size_t>(index)] < 0)
        return std::nullopt;
    const Message& message = m_messages[static_cast<size_t>(m_messageOf[static_cast<size_t>(index)])];
    if (message.completedBy != index)
        return std::nullopt;
    Reassembled whole{static_cast<int32_t>(message.parts.size()), WholeText(message), {}};
    for (const int32_t part : message.parts)
        whole.seqs.push_back(m_log.SerialBase() + part + 1);
    return whole;
}

std::string ReassemblyListing(const std::vector<ReassemblyLine>& lines, bool offsets) {
    std::string listing;
    for (size_t i = 0; i < lines.size(); ++i)
        listing += (offsets ? std::string(14, ' ') : std::string()) + (i == 0 ? "" : "  ") + lines[i].text + "\n";
    return listing;
}

std::vector<ReassemblyLine> CConcatenations::LinesFor(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_messageOf.size() || m_messageOf[static_cast<size_t>(index)] < 0)
        return {};
    const Message& message = m_messages[static_cast<size_t>(m_messageOf[static_cast<size_t>(index)])];
    const std::string total = std::to_string(message.parts.size());
    std::vector<ReassemblyLine> lines;
    if (message.completedBy == index) {
        lines.push_back({"Reassembled message (" + total + " parts)", -1});
        lines.push_back({WholeText(message), -1});
        for (size_t i = 0; i < message.parts.size(); ++i)
            lines.push_back({"Part " + std::to_string(i + 1) + " of " + total + ": row " +
                                 std::to_string(message.parts[i] + 1),
                             message.parts[i]});
    } else if (message.completedBy < 0) {
        // A part not there while a later one is has been missed; those after the last may still come.
        for (int32_t i = 0; i < message.highest; ++i)
            if (message.parts[static_cast<size_t>(i)] < 0)
                lines.push_back({"Part " + std::to_string(i + 1) + " of " + total + " not captured", -1});
    }
    return lines;
}
