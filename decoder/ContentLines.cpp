// The lines a field's content adds under its own: message text by data coding, its user data header,
// the fields of a delivery receipt, and TLVs that carry content.
#include "decoder/PacketDecoder.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "decoder/GbkText.h"
#include "decoder/MessageContent.h"
#include "decoder/RecordCursor.h"
#include "decoder/TextAppend.h"
#include "decoder/tables/TlvNames.h"

namespace {

// A CMPP status report in the 2.0 layout: its destination number takes 21 octets, not 32.
constexpr int32_t kCmpp2ReportWidth = 60;

// An SMGP or CNGP status report: "id:", the 10 binary octets of the message id, then the receipt's
// text with its "stat:" (any case).
constexpr std::string_view kReportIdKey = "id:";
constexpr int32_t kReportTextAt = 13;
bool IsSmgpReport(const uint8_t* p, int32_t width) {
    if (width < kReportTextAt) return false;
    const auto lower = [](std::string_view text) {
        std::string out(text);
        for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    const std::string_view content(reinterpret_cast<const char*>(p), static_cast<size_t>(width));
    return lower(content.substr(0, kReportIdKey.size())) == kReportIdKey &&
           lower(content.substr(kReportTextAt)).find("stat:") != std::string::npos;
}

// callback_num's digit mode indicator: how its number's digits are written.
constexpr int32_t kTbcdDigitMode = 0;
constexpr int32_t kAsciiDigitMode = 1;

} // namespace

bool CPacketDecoder::AppendMessage(std::string& out, int32_t position, const uint8_t* p, int32_t width) {
    const FieldKind kind = KindOf(m_table->rows[position]);
    switch (kind) {
    case FieldKind::Smgp3Tlv: AppendSmgp3Tlv(out, m_table->names, p, width); return true;
    case FieldKind::SmppTlv: {
        const uint16_t tag = RecordCursor(p, width).U16();
        const bool structured = std::any_of(std::begin(SmppTlvParts), std::end(SmppTlvParts),
                                            [tag](const SmppTlvPartRow& row) { return row.tag == tag; });
        if (tag != kSmppMessagePayload && !structured) {
            AppendSmppTlv(out, p, width);
            return true;
        }
        AppendSmppTlvName(out, tag);
        out.append(" = ");
        // The payload is a short message carried elsewhere: it reads by the PDU's coding.
        if (tag == kSmppMessagePayload) AppendContent(out, position, p + 4, 4, std::max(0, width - 4), ContentRule::Smpp);
        else AppendTlvParts(out, position, p, width);
        return true;
    }
    case FieldKind::CmppContent:
    case FieldKind::Cmpp3Content: {
        // A report of 60 octets has the 2.0 layout whatever the protocol version: only the
        // width of the destination number differs, and the 3.0 layout needs 71.
        const bool cmpp2 = kind == FieldKind::CmppContent || width == kCmpp2ReportWidth;
        if (m_isReport != 0)
            AppendCmppReport(out, p, width, cmpp2 ? CmppReportLayout::Cmpp2 : CmppReportLayout::Cmpp3);
        else
            AppendContent(out, position, p, 0, width, ContentRule::Gateway);
        return true;
    }
    case FieldKind::SmgpContent:
    case FieldKind::CngpContent:
        // The flag says what the content should be; content that is no report is shown as the text it is.
        if (m_isReport != 0 && IsSmgpReport(p, width))
            AppendSmgpReport(out, p, width);
        else
            AppendContent(out, position, p, 0, width, ContentRule::Gateway);
        return true;
    case FieldKind::SmppContent: AppendContent(out, position, p, 0, width, ContentRule::Smpp); return true;
    default: return false;
    }
}

void CPacketDecoder::AppendTlvParts(std::string& out, int32_t position, const uint8_t* p, int32_t width) {
    const uint16_t tag = RecordCursor(p, width).U16();
    const uint8_t* value = p + 4;
    const int32_t length = std::max(0, width - 4);
    int32_t at = 0;
    int32_t first = -1; // the value of the first part, which says how the last one reads
    for (const SmppTlvPartRow& part : SmppTlvParts) {
        if (part.tag != tag || at >= length) continue; // a value cut short shows the parts it holds
        const int32_t partWidth = part.width == kRestOfValue ? length - at : std::min(part.width, length - at);
        std::string text(part.name);
        text.append(" = ");
        const size_t valueAt = text.size();
        switch (part.part) {
        case TlvPart::Number: {
            first = first < 0 ? value[at] : first;
            AppendDecimal(text, value[at]);
            const std::string_view name = m_table->names.FindValueName(part.category, value[at]);
            if (!name.empty()) text.append(" (").append(name).push_back(')');
            break;
        }
        case TlvPart::Digits:
            if (first == kTbcdDigitMode) AppendTbcd(text, value + at, partWidth);
            else if (first == kAsciiDigitMode) AppendAsciiText(text, value + at, partWidth);
            else AppendHex(text, value + at, partWidth);
            break;
        case TlvPart::Text: AppendSmppShortMessage(text, value + at, partWidth, first, m_defaultAlphabet); break;
        }
        if (part.width == kRestOfValue) out.append(text, valueAt, std::string::npos);
        AddDetail(position, text, 4 + at, partWidth);
        at += partWidth;
    }
}

std::string_view CPacketDecoder::LabelPrefix(int32_t position) const {
    const std::string_view label(m_table->rows[position].label, static_cast<size_t>(m_table->labelLengths[position]));
    const size_t colon = label.find(':');
    return colon == std::string_view::npos ? label : label.substr(0, colon + 1);
}

void CPacketDecoder::AddDetail(int32_t position, std::string_view text, int32_t at, int32_t width) {
    std::string line(LabelPrefix(position));
    line.push_back(' ');
    line.append(text);
    m_details.push_back({std::move(line), at, width});
}

void CPacketDecoder::AppendContent(std::string& out, int32_t position, const uint8_t* p, int32_t at, int32_t width,
                                   ContentRule rule) {
    const int32_t header = m_udhi ? AddUserDataHeader(position, p, at, width) : 0;
    const uint8_t* text = p + header;
    const int32_t length = width - header;
    if (rule == ContentRule::Smpp)
        AppendSmppShortMessage(out, text, length, m_dataCoding, m_defaultAlphabet);
    else
        AppendShortMessage(out, text, length, m_dataCoding);
    // Receipts are plain text, their values read as the message is; a coding that shows octets or UCS-2
    // is never read as one. The gateways' codings 0 and 15 are GBK text.
    const bool gatewayText = m_dataCoding == 0 || m_dataCoding == 15;
    const SmppText reading = rule == ContentRule::Smpp ? SmppTextOf(m_dataCoding, m_defaultAlphabet)
                             : gatewayText           ? SmppText::Gbk
                                                     : SmppText::Octets;
    if (reading != SmppText::Ucs2 && reading != SmppText::Octets && reading != SmppText::Named)
        AddReceiptFields(position, text, at + header, length, reading);
}

int32_t CPacketDecoder::AddUserDataHeader(int32_t position, const uint8_t* p, int32_t at, int32_t width) {
    const std::optional<UserDataHeader> header = ParseUserDataHeader(p, width);
    if (!header) return 0;
    std::string text = "UDH length = ";
    AppendDecimal(text, header->length);
    // A header that does not fit leaves the content to be shown whole, as if it had none.
    if (header->runsPast) text.append(" (runs past the message)");
    AddDetail(position, text, at, 1);
    for (const UdhElement& element : header->elements) {
        if (element.cutShort) {
            AddDetail(position, "UDH element cut short", at + element.offset, element.width);
            break;
        }
        text = "UDH element = 0x";
        AppendHexDigits(text, element.identifier, 2);
        const auto named = std::find_if(std::begin(UdhElementNames), std::end(UdhElementNames),
                                        [&element](const UdhElementName& n) { return n.identifier == element.identifier; });
        if (named != std::end(UdhElementNames)) text.append(" (").append(named->name).push_back(')');
        text.append(", length = ");
        AppendDecimal(text, element.length);
        if (const std::optional<Concatenation>& part = element.concatenation) {
            text.append(", reference = ");
            AppendDecimal(text, part->reference);
            text.append(", total = ");
            AppendDecimal(text, part->total);
            text.append(", part = ");
            AppendDecimal(text, part->part);
        }
        if (const std::optional<PortAddress>& ports = element.ports) {
            text.append(", destination port = ");
            AppendDecimal(text, ports->destination);
            text.append(", origin port = ");
            AppendDecimal(text, ports->origin);
        }
        AddDetail(position, text, at + element.offset, element.width);
    }
    return header->Octets();
}

void CPacketDecoder::AddReceiptFields(int32_t position, const uint8_t* p, int32_t at, int32_t width, SmppText reading) {
    const std::string_view content(reinterpret_cast<const char*>(p), static_cast<size_t>(std::max(0, width)));
    const std::optional<std::vector<ReceiptField>> fields = ParseReceipt(content);
    if (!fields) return;
    for (const ReceiptField& field : *fields) {
        std::string text = "receipt ";
        text.append(field.key).append(" = ");
        AppendSmppText(text, p + field.valueOffset, field.valueWidth, m_dataCoding, reading);
        AddDetail(position, text, at + field.valueOffset, field.valueWidth);
    }
}

