// The table-driven decoder that turns one capture record into named, positioned decode lines.
#include "decoder/PacketDecoder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <iterator>

#include "decoder/RecordCursor.h"
#include "decoder/FieldValueText.h"
#include "decoder/Formatters.h"
#include "decoder/GbkText.h"
#include "decoder/MessageContent.h"
#include "decoder/TextAppend.h"
#include "decoder/CimdLines.h"
#include "decoder/UcpLines.h"
#include "decoder/tables/TableIds.h"
#include "decoder/tables/TlvNames.h"
#include "protocol/Registry.h"

namespace {

// A field this wide or wider (or of unknown width) is a length error rather than a field.
constexpr int32_t kMaxWidth = 4096;


// The value of an integer field as a width source or selector reads it, by the source's kind.
int32_t ReadByKind(wire::Cursor& reader, FieldKind kind) {
    switch (kind) {
    case FieldKind::U32Host: return static_cast<int32_t>(reader.U32Le());
    case FieldKind::U32Net: return static_cast<int32_t>(reader.U32());
    case FieldKind::S16Host: return static_cast<int16_t>(reader.U16Le());
    case FieldKind::U16Net: return reader.U16();
    default: return reader.U8();
    }
}

// The raw value of a Number kind.
int64_t ReadNumber(FieldKind kind, wire::Cursor& bytes) {
    switch (kind) {
    case FieldKind::U32Host:
    case FieldKind::LocalTime:
    case FieldKind::Ipv4Host: return bytes.U32Le();
    case FieldKind::S16Host: return static_cast<int16_t>(bytes.U16Le());
    case FieldKind::U16Host:
    case FieldKind::ProtocolCode: return bytes.U16Le();
    case FieldKind::U16Net:
    case FieldKind::U16NetToo:
    case FieldKind::Hex16: return bytes.U16();
    case FieldKind::ReportFlag: return static_cast<int8_t>(bytes.U8());
    case FieldKind::U8:
    case FieldKind::Octet:
    case FieldKind::Version:
    case FieldKind::DataCoding:
    case FieldKind::TpUdhi:
    case FieldKind::Bits: return bytes.U8();
    default: return bytes.U32(); // the 32-bit network-order kinds: numbers, commands, addresses
    }
}

// The icon of the fields under a group that shows `groupIcon`.
int32_t FieldIconOf(int32_t groupIcon) {
    switch (groupIcon) {
    case 152: return 159; // capture header
    case 153: return 157; // CMPP header
    case 155: return 158; // SMGP header
    case 160: return 156; // SMPP, SGIP, CNGP, TEST header
    default: return 163;  // a body
    }
}

// The capture header's size and where its protocol code lies, as the capture header's rows place them.
constexpr int32_t kCaptureHeaderSize = 16;
constexpr int32_t kProtocolCodeAt = 14;

// How the registry cuts a protocol's PDUs: a text frame is one the decode table has no rows for.
protocol::Framing FramingOf(uint16_t code) {
    const protocol::Protocol* known = protocol::Find(code);
    return known ? known->framing : protocol::Framing::LengthPrefixed;
}

// The esm_class bit that says the short message starts with a user data header.
constexpr uint8_t kEsmClassUdhi = 0x40;

// The reserved octets between SMGP 3.0 content and its TLVs.
constexpr int32_t kSmgp3Reserved = 8;

// At most this many octets that the walk did not reach are shown on the closing line.
constexpr int32_t kTrailingOctetsShown = 64;

// The error line that stands in for the field of a row: the error is all it shows.
void AddErrorLine(std::vector<DecodeLine>& lines, const DecodeTable& table, int32_t position, std::string_view error,
                  int32_t offset, int32_t width) {
    const FieldDescriptor& row = table.rows[position];
    lines.push_back({row.id, std::string(error), offset, width, row.iconId, row.isGroup});
    lines.back().field = table.fieldNames[static_cast<size_t>(position)];
    lines.back().label = table.rowNames[static_cast<size_t>(position)].label;
    lines.back().rowName = table.rowNames[static_cast<size_t>(position)].name;
    lines.back().valueEnd = static_cast<int32_t>(lines.back().text.size());
}

} // namespace

// The outcome of settling one descriptor's width against the record.
struct CPacketDecoder::Field {
    enum class Outcome { Fits, LengthError, DoesNotFit };
    Outcome outcome = Outcome::Fits;
    int32_t width = 0;
    int32_t count = 0; // an Entries row: how many entries its count field announces
};

CPacketDecoder::CPacketDecoder() : m_table(DecodeTable::Whole()) {}

CPacketDecoder::CPacketDecoder(std::span<const decode_table::Family> families) : m_table(DecodeTable::Build(families)) {}

int32_t CPacketDecoder::PositionOf(int32_t id) const { return m_table->PositionOf(id); }

int CPacketDecoder::IconIndex(int32_t iconId) {
    const auto it = std::find(std::begin(kIconIds), std::end(kIconIds), iconId);
    return it == std::end(kIconIds) ? -1 : static_cast<int>(it - std::begin(kIconIds));
}

std::string CPacketDecoder::LookupCodeName(int32_t tableId, uint32_t code) const {
    return std::string(m_table->names.FindCodeName(tableId, code));
}

std::string CPacketDecoder::LookupValueName(int32_t category, int32_t value) const {
    return std::string(m_table->names.FindValueName(category, value));
}

std::string CPacketDecoder::OwnValueName(int32_t descriptorId, int32_t value) const {
    const int32_t position = PositionOf(descriptorId);
    const int32_t category = position < 0 ? -1 : m_table->nameCategories[position];
    if (category < 0 || !m_table->names.HasOwnRow(category, value)) return {};
    return std::string(m_table->names.FindValueName(category, value));
}

std::string CPacketDecoder::ValueSuffix(int32_t descriptorId, const uint8_t* field, int32_t available) const {
    std::string out;
    const int32_t position = PositionOf(descriptorId);
    if (position >= 0) AppendSuffix(out, position, field, available);
    return out;
}

int32_t CPacketDecoder::FindLine(int32_t id) const {
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].id == id) return static_cast<int32_t>(i);
    return -1;
}

bool CPacketDecoder::Decode(const uint8_t* record, int32_t total) {
    m_lines.clear();
    m_dataCoding = -1;
    m_isReport = 0;
    m_udhi = false;
    m_entriesRow = -1;
    m_record = record;
    m_total = record && total > 0 ? total : 0;
    if (m_total == 0) return total == 0;

    // A text protocol's frame is read by its codec: the table walks the capture header only.
    const protocol::Framing framing =
        m_total > kCaptureHeaderSize ? FramingOf(wire::ReadLe16(record + kProtocolCodeAt)) : protocol::Framing::LengthPrefixed;
    if (framing != protocol::Framing::LengthPrefixed) total = kCaptureHeaderSize;
    const int32_t rowCount = DescriptorCount();
    int32_t position = 0, offset = 0;
    int32_t stalled = 0; // steps in a row that covered no bytes
    bool result = true;
    Field field;
    while (offset != total && position < rowCount) {
        const FieldDescriptor& row = m_table->rows[position];
        Settle(position, offset, field);
        if (field.outcome != Field::Outcome::Fits) {
            // The error line stands in for the field; it highlights at most what is left.
            const int32_t width = field.width < 0 ? total - offset : std::min(field.width, total - offset);
            AddErrorLine(m_lines, *m_table, position,
                         field.outcome == Field::Outcome::LengthError ? kLengthErrorText : kUnknownErrorText, offset, width);
            return false;
        }
        int32_t next = -1;
        if (KindOf(row) == FieldKind::Entries) {
            next = NextEntry(position, field.count);
        } else {
            AddLines(position, offset, field.width);
            next = NextRow(position, offset, result);
        }

        offset += field.width;
        if (next < 0) break;
        next = LayoutAt(next, offset);
        // A cycle of rows that cover no bytes would never reach the end of the record.
        stalled = field.width == 0 ? stalled + 1 : 0;
        if (stalled > rowCount) {
            result = false;
            break;
        }
        position = next;
    }
    // A record that ends inside a counted list (fewer entries than its count, or its last entry cut at a
    // field's end) ends with the error line of the list, over nothing.
    const bool listComplete = m_entriesRow < 0 || (position == m_entriesRow && m_entriesLeft <= 1);
    if (offset == total && !listComplete) {
        AddErrorLine(m_lines, *m_table, m_entriesRow, kUnknownErrorText, offset, 0);
        return false;
    }
    if (framing == protocol::Framing::CimdText) return cimd_lines::Append(m_lines, record, offset, m_total) && offset == total;
    if (framing == protocol::Framing::UcpText) return ucp_lines::Append(m_lines, record, offset, m_total) && offset == total;
    if (offset < total && !m_lines.empty()) AppendTrailingOctets(offset);
    return result;
}

void CPacketDecoder::AddLines(int32_t position, int32_t offset, int32_t width) {
    const FieldDescriptor& row = m_table->rows[position];
    const uint8_t* p = m_record + offset;
    // The text is built in a buffer that keeps its capacity, so each line costs one block at most.
    m_text.clear();
    m_details.clear();
    AppendText(m_text, position, p, width, m_total - offset);
    const auto valueEnd = static_cast<int32_t>(m_text.size());
    AppendSuffix(m_text, position, p, m_total - offset);
    // A list of numbers shows its first number on its own line, and each further one on a line of its own.
    const int32_t listed = NumberWidth(KindOf(row));
    m_lines.push_back({row.id, m_text, offset, listed > 0 ? std::min(width, listed) : width, row.iconId, row.isGroup});
    TypeLine(m_lines.back(), position, valueEnd);
    const auto field = static_cast<int32_t>(m_lines.size()) - 1;
    for (const Detail& detail : m_details) {
        m_lines.push_back({row.id, detail.text, offset + detail.offset, detail.width, row.iconId, 0});
        DecodeLine& line = m_lines.back();
        line.field = m_lines[static_cast<size_t>(field)].field;
        // A part is "what = value" (a header element, a receipt field) or a further number of a list.
        const size_t equals = line.text.find(" = ");
        line.valueAt = equals == std::string::npos ? 0 : static_cast<int32_t>(equals + 3);
        line.valueEnd = static_cast<int32_t>(line.text.size());
        line.parent = field;
    }
}

void CPacketDecoder::TypeLine(DecodeLine& line, int32_t position, int32_t valueEnd) const {
    const FieldDescriptor& row = m_table->rows[static_cast<size_t>(position)];
    const FieldKind kind = KindOf(row);
    const int32_t labelEnd = m_table->labelLengths[static_cast<size_t>(position)];
    const auto size = static_cast<int32_t>(line.text.size());
    const DecodeTable::RowName& named = m_table->rowNames[static_cast<size_t>(position)];
    line.field = m_table->fieldNames[static_cast<size_t>(position)];
    line.label = named.label;
    line.rowName = named.name;
    // The value starts after the label and its space; a field whose kind showed nothing has none.
    line.valueAt = valueEnd > labelEnd ? std::min(labelEnd + 1, valueEnd) : size;
    line.valueEnd = std::max(line.valueAt, valueEnd);
    if (size > valueEnd + 3 && line.text.compare(static_cast<size_t>(valueEnd), 2, " (") == 0 && line.text.back() == ')')
        line.nameEnd = size - 1;
    if (row.isGroup || line.valueAt == size) return;
    line.type = TypeOf(kind);
    const uint8_t* p = m_record + line.offset;
    wire::Cursor bytes = RecordCursor(p, m_total - line.offset);
    switch (line.type) {
    case FieldType::Number: line.number = ReadNumber(kind, bytes); break;
    case FieldType::Octets:
        line.rawOffset = line.offset;
        line.rawWidth = line.width;
        if (kind == FieldKind::SmppTlv || kind == FieldKind::Smgp3Tlv) {
            line.field = m_table->TlvName(position, bytes.U16());
            line.rawOffset += std::min(line.width, 4);
            line.rawWidth = std::max(0, line.width - 4);
            // A parameter's line names it in its label part: "SUB_SM TLV: message_payload(Generic) = text".
            const size_t equals = line.text.find(" = ", static_cast<size_t>(line.valueAt));
            if (equals != std::string::npos) line.valueAt = std::min(static_cast<int32_t>(equals + 3), line.valueEnd);
            if (line.rawOffset > line.offset && named.colon >= 0)
                line.SpellName(static_cast<size_t>(named.colon) + 2, static_cast<size_t>(std::max(0, line.valueAt - 3)));
        }
        break;
    default: break;
    }
    // A command's name and a protocol code's are part of the value the kind shows: "0x00000004 (submit_sm)".
    if (line.type == FieldType::Number && line.nameEnd == 0 && line.text.back() == ')') {
        const size_t open = line.text.find(" (", static_cast<size_t>(line.valueAt));
        if (open != std::string::npos) {
            line.valueEnd = static_cast<int32_t>(open);
            line.nameEnd = size - 1;
        }
    }
}

void CPacketDecoder::AppendTrailingOctets(int32_t offset) {
    const int32_t count = m_total - offset;
    m_text.assign(kTrailingOctetsText);
    m_text.push_back(' ');
    AppendDecimal(m_text, count);
    m_text.append(" = ");
    AppendHex(m_text, m_record + offset, std::min(count, kTrailingOctetsShown));
    if (count > kTrailingOctetsShown) m_text.append("...");
    // The line hangs under the last group with the icon of that group's fields.
    int32_t iconId = m_lines.empty() ? 0 : m_lines.back().iconId;
    if (!m_lines.empty() && m_lines.back().isGroup) iconId = FieldIconOf(iconId);
    m_lines.push_back({kTrailingOctetsLineId, m_text, offset, count, iconId, 0});
    DecodeLine& line = m_lines.back();
    line.field = kTrailingOctetsField;
    line.rowName = kTrailingOctetsText;
    line.type = FieldType::Octets;
    line.rawOffset = offset;
    line.rawWidth = count;
    line.valueAt = line.valueEnd = static_cast<int32_t>(kTrailingOctetsText.size() + 1);
}

int32_t CPacketDecoder::NextRow(int32_t position, int32_t offset, bool& result) const {
    const FieldDescriptor& row = m_table->rows[position];
    if (row.next != decode_table::kDispatch) return row.next;
    int32_t selectorAt = offset;
    if (row.selectorId != row.id) {
        const int32_t source = FindLine(row.selectorId);
        selectorAt = source < 0 ? -1 : m_lines[source].offset;
    }
    const int32_t next = selectorAt < 0 ? decode_table::kEnd
                                        : CaseScan(row.id, m_table->selectorStarts[position], m_record + selectorAt, m_total - selectorAt);
    result = next >= 0 || selectorAt < 0;
    return next;
}

int32_t CPacketDecoder::NextEntry(int32_t position, int32_t count) {
    // Arriving from the field before the list starts the count; arriving back from an entry's last row
    // leaves one fewer to walk.
    m_entriesLeft = m_entriesRow == position ? m_entriesLeft - 1 : count;
    m_entriesRow = position;
    if (m_entriesLeft > 0) return m_table->selectorStarts[position];
    m_entriesRow = -1;
    return m_table->rows[position].next;
}

int32_t CPacketDecoder::LayoutAt(int32_t position, int32_t offset) const {
    const auto length = static_cast<uint32_t>(m_total - offset);
    for (const DecodeTable::LayoutPair& pair : m_table->layoutPairs)
        if (pair.body == position && pair.alternative >= 0 && length > 0 &&
            body_layout::End(pair.bodyWalk, m_record + offset, length) != length &&
            body_layout::End(pair.alternativeWalk, m_record + offset, length) == length)
            return pair.alternative;
    return position;
}

int32_t CPacketDecoder::VariableWidth(int32_t position, const wire::Cursor& bytes) const {
    const FieldDescriptor& row = m_table->rows[position];
    if (KindOf(row) == FieldKind::Smgp3Tlv || KindOf(row) == FieldKind::SmppTlv) return bytes.At(2).U16() + 4;
    const int32_t source = FindLine(row.widthSourceId);
    const FieldKind sourceKind = m_table->sourceKinds[position];
    if (source < 0 || sourceKind == FieldKind::CaseListEnd) return -1;
    const int32_t at = m_lines[source].offset;
    wire::Cursor value = RecordCursor(m_record + at, m_total - at);
    const int32_t width = ReadByKind(value, sourceKind);
    return value.Ok() ? width : -1;
}

void CPacketDecoder::Settle(int32_t position, int32_t offset, Field& field) const {
    const FieldDescriptor& row = m_table->rows[position];
    const int32_t remaining = m_total - offset;
    const wire::Cursor bytes = RecordCursor(m_record + offset, remaining);
    field = Field{};
    int32_t width = row.width;

    if (width == -1) {
        const bool tlv = KindOf(row) == FieldKind::Smgp3Tlv || KindOf(row) == FieldKind::SmppTlv;
        if (tlv && !bytes.Has(4)) { // not even the tag and length are there
            field = {Field::Outcome::DoesNotFit, remaining};
            return;
        }
        width = VariableWidth(position, bytes);
    }
    if (width == -1 || width >= kMaxWidth) {
        field = {Field::Outcome::LengthError, width};
        return;
    }
    if (KindOf(row) == FieldKind::Entries) { // a count of entries, not a width: the row itself covers nothing
        field = width < 0 ? Field{Field::Outcome::LengthError, width} : Field{Field::Outcome::Fits, 0, width};
        return;
    }

    switch (KindOf(row)) {
    case FieldKind::Numbers21:
    case FieldKind::Numbers21Too:
    case FieldKind::Numbers32: width *= NumberWidth(KindOf(row)); break;
    case FieldKind::CString: {
        bool terminated = false;
        const auto length = static_cast<int32_t>(bytes.TextLength(static_cast<size_t>(width), terminated));
        if (terminated) width = length + 1;
        break;
    }
    default: break;
    }

    if (width < 0) field = {Field::Outcome::LengthError, width};
    else if (width > remaining) field = {Field::Outcome::DoesNotFit, width};
    else field = {Field::Outcome::Fits, width};
}

int32_t CPacketDecoder::CaseScan(int32_t dispatcherId, int32_t start, const uint8_t* selector, int32_t available) const {
    if (start < 0) return -1;
    const wire::Cursor bytes = RecordCursor(selector, available);
    char text[16];
    for (int32_t position = start; position < static_cast<int32_t>(m_table->rows.size()); ++position) {
        const FieldDescriptor& row = m_table->rows[position];
        if (KindOf(row) == FieldKind::CaseListEnd) return -1;
        if (row.caseOwner != dispatcherId && row.caseOwner != 0) continue;

        std::string_view value;
        switch (KindOf(row)) {
        case FieldKind::U32Host:
        case FieldKind::U32Net:
        case FieldKind::S16Host:
        case FieldKind::U16Net:
        case FieldKind::U8:
        case FieldKind::Hex32: {
            const FieldKind kind = KindOf(row);
            wire::Cursor reader = bytes;
            const int32_t number = ReadByKind(reader, kind == FieldKind::Hex32 ? FieldKind::U32Net : kind);
            if (!reader.Ok()) return -1; // the selector's bytes are not all in the record
            char* end = text;
            if (kind == FieldKind::Hex32) {
                for (int shift = 28; shift >= 0; shift -= 4) *end++ = "0123456789ABCDEF"[(static_cast<uint32_t>(number) >> shift) & 0xF];
            } else {
                end = std::to_chars(text, text + sizeof text, number).ptr;
            }
            value = std::string_view(text, static_cast<size_t>(end - text));
            break;
        }
        case FieldKind::Text: {
            bool terminated = false;
            const auto length = static_cast<int32_t>(bytes.TextLength(static_cast<size_t>(std::max(0, row.width)), terminated));
            if (!terminated && length < row.width) continue; // the text runs past the record
            value = std::string_view(reinterpret_cast<const char*>(selector), static_cast<size_t>(length));
            break;
        }
        default: return -1;
        }
        if (value == std::string_view(row.label, static_cast<size_t>(m_table->labelLengths[position])) &&
            row.next != decode_table::kDispatch)
            return row.next;
    }
    return -1;
}

void CPacketDecoder::AppendText(std::string& out, int32_t position, const uint8_t* p, int32_t width, int32_t available) {
    const FieldDescriptor& row = m_table->rows[position];
    const bool smgp3Content = std::find(std::begin(decode_ids::kContentBeforeTlvs), std::end(decode_ids::kContentBeforeTlvs),
                                        row.id) != std::end(decode_ids::kContentBeforeTlvs);
    const int32_t tlvsAt = width + kSmgp3Reserved;
    if (smgp3Content && available > tlvsAt) m_udhi = m_udhi || Smgp3TlvsSetUdhi(p + tlvsAt, available - tlvsAt);

    const FieldKind kind = KindOf(row);
    const size_t start = out.size();
    out.append(row.label, static_cast<size_t>(m_table->labelLengths[position]));
    if (kind == FieldKind::Label) return;
    // Every other kind shows "label value"; a kind without a rule shows no text of its own.
    out.push_back(' ');
    const bool shown = AppendFieldValue(out, kind, m_table->names, p, width, available) ||
                       AppendPduState(out, row, RecordCursor(p, available).U8()) ||
                       AppendMessage(out, position, p, width);
    if (!shown) out.resize(start);
    // Every number after the first that the count announces gets a line of its own, under the same label.
    for (int32_t at = NumberWidth(kind); at > 0 && at < width; at += NumberWidth(kind)) {
        std::string line(row.label, static_cast<size_t>(m_table->labelLengths[position]));
        line.push_back(' ');
        AppendGbkText(line, p + at, std::min(NumberWidth(kind), width - at));
        m_details.push_back({std::move(line), at, std::min(NumberWidth(kind), width - at)});
    }
}

bool CPacketDecoder::AppendPduState(std::string& out, const FieldDescriptor& row, uint8_t octet) {
    switch (KindOf(row)) {
    case FieldKind::TpUdhi:
        m_udhi = octet == 1;
        AppendDecimal(out, octet);
        return true;
    case FieldKind::DataCoding:
        m_dataCoding = octet;
        AppendDecimal(out, octet);
        return true;
    case FieldKind::ReportFlag:
        m_isReport = static_cast<int8_t>(octet);
        AppendDecimal(out, m_isReport);
        return true;
    case FieldKind::Bits:
        if (IsEsmClassField(row.id)) m_udhi = (octet & kEsmClassUdhi) != 0;
        AppendBits(out, octet);
        return true;
    default: return false;
    }
}

void CPacketDecoder::AppendSuffix(std::string& out, int32_t position, const uint8_t* p, int32_t available) const {
    const FieldDescriptor& row = m_table->rows[position];
    wire::Cursor bytes = RecordCursor(p, available);
    if (IsEsmClassField(row.id)) {
        if (bytes.Has(1)) AppendEsmClass(out, m_table->names, row.id, bytes.U8());
        return;
    }
    const int32_t category = m_table->nameCategories[position];
    if (category < 0) return;

    int32_t value = 0;
    switch (KindOf(row)) {
    case FieldKind::U32Net:
    case FieldKind::Hex32: value = static_cast<int32_t>(bytes.U32()); break;
    case FieldKind::U16Net: value = bytes.U16(); break;
    case FieldKind::Text: { // a fee type: a code of two digits; any other text is no code at all
        const uint8_t tens = bytes.U8(), ones = bytes.U8();
        if (!bytes.Ok()) return;
        if (!std::isdigit(tens) || !std::isdigit(ones)) {
            out.append(" (").append(kUnknownName).push_back(')');
            return;
        }
        value = (tens - '0') * 10 + (ones - '0');
        break;
    }
    default: value = bytes.U8(); break;
    }
    if (!bytes.Ok()) return;
    if ((category == decode_ids::kSubmittedRegisteredDelivery || category == decode_ids::kDeliveredRegisteredDelivery) &&
        !m_table->names.HasOwnRow(category, value)) {
        AppendRegisteredDeliveryBits(out, m_table->names, static_cast<uint8_t>(value));
        return;
    }
    const std::string_view name = m_table->names.FindValueName(category, value);
    if (!name.empty()) out.append(" (").append(name).push_back(')');
}
