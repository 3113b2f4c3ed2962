// The display filter's matching: its tree against one record at a time.
#include "analysis/DisplayFilter.h"

#include "capture/PacketRecord.h"
#include "decoder/tables/FieldNames.h"
#include "decoder/tables/TableIds.h"

#include <algorithm>

namespace {

using namespace display_filter;

// One record as the filter reads it: its summary at once, its decode when a term first needs it.
struct Record {
    int32_t index;
    const CPacketPairs& pairs;
    CPacketDecoder& decoder;
    const PacketSummary& summary;
    const uint8_t* bytes;
    uint32_t length;
    bool decoded = false;

    const std::vector<DecodeLine>& Lines() {
        if (!decoded)
            decoder.Decode(bytes, static_cast<int32_t>(length));
        decoded = true;
        return decoder.Lines();
    }
};

// The decoded short message of a record, as the decoder shows it: short_message, message_payload,
// the gateways' content and the TEST content; empty for a record without one.
std::string MessageText(Record& record) {
    std::string text;
    for (const DecodeLine& line : record.Lines()) {
        // A field's own line; the lines of its user data header are parts of it.
        if (line.parent >= 0 || line.isGroup)
            continue;
        const int32_t position = record.decoder.PositionOf(line.id);
        if (position < 0)
            continue;
        switch (KindOf(record.decoder.Descriptors()[static_cast<size_t>(position)])) {
        case FieldKind::SmppContent:
        case FieldKind::CmppContent:
        case FieldKind::Cmpp3Content:
        case FieldKind::SmgpContent:
        case FieldKind::CngpContent: break;
        case FieldKind::SmppTlv:
            if (line.field != field_names::kSmppMessagePayload)
                continue;
            break;
        default:
            if (line.id != decode_ids::kTestSubmitContent)
                continue;
        }
        text.append(line.Show());
    }
    return text;
}

// Whether a comparison of a value with the term's holds, from the three-way order of the two.
template <typename T>
bool Ordered(Compare compare, const T& value, const T& wanted) {
    switch (compare) {
    case Compare::Equal: return value == wanted;
    case Compare::NotEqual: return value != wanted;
    case Compare::Less: return value < wanted;
    case Compare::LessEqual: return value <= wanted;
    case Compare::Greater: return value > wanted;
    case Compare::GreaterEqual: return value >= wanted;
    default: return false;
    }
}

// A number field's value against the number written and the values the name written gives: any of them.
bool NumberHolds(const Term& term, Compare compare, int64_t value) {
    if (term.value.number && Ordered(compare, value, *term.value.number))
        return true;
    return std::any_of(term.value.named.begin(), term.value.named.end(),
                       [&](int64_t named) { return Ordered(compare, value, named); });
}

bool TextHolds(const Term& term, Compare compare, std::string_view value) {
    switch (compare) {
    case Compare::Contains: return value.find(term.value.text) != std::string_view::npos;
    case Compare::Matches: return std::regex_search(value.begin(), value.end(), *term.value.pattern);
    default: return Ordered(compare, value, std::string_view(term.value.text));
    }
}

// One occurrence of the field. Octets hold by their bytes or by the text they decode to (a short message's).
bool LineHolds(const Term& term, Compare compare, const DecodeLine& line, const Record& record) {
    switch (line.type) {
    case FieldType::Number: return NumberHolds(term, compare, line.number);
    case FieldType::Text: return TextHolds(term, compare, line.ValueText());
    case FieldType::Octets: {
        const bool inside = line.rawOffset >= 0 && line.rawWidth >= 0 && uint64_t(line.rawOffset) + uint64_t(line.rawWidth) <= record.length;
        const auto* raw = reinterpret_cast<const char*>(record.bytes) + (inside ? line.rawOffset : 0);
        return (inside && TextHolds(term, compare, std::string_view(raw, static_cast<size_t>(line.rawWidth)))) ||
               TextHolds(term, compare, line.ValueText());
    }
    default: return false;
    }
}

// Any occurrence of the field holds; != holds when the field is there and no occurrence equals the value.
bool FieldHolds(const Term& term, Record& record) {
    const Compare asked = term.compare == Compare::NotEqual ? Compare::Equal : term.compare;
    bool present = false;
    for (const DecodeLine& line : record.Lines()) {
        if (line.parent >= 0 || line.field != term.word)
            continue;
        present = true;
        if (term.compare == Compare::Present)
            return true;
        if (LineHolds(term, asked, line, record))
            return term.compare != Compare::NotEqual;
    }
    return present && term.compare == Compare::NotEqual;
}

bool Listed(const std::vector<uint64_t>& numbers, uint64_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

bool TermHolds(const Term& term, Record& record) {
    const PacketSummary& summary = record.summary;
    switch (term.kind) {
    case Kind::Command:
        return summary.Has(PacketSummary::kHasCommand) && Listed(term.numbers, uint64_t(summary.protocol) << 32 | summary.command);
    case Kind::Port: return Listed(term.numbers, summary.source.port) || Listed(term.numbers, summary.peer.port);
    case Kind::Ip: return Listed(term.numbers, summary.source.address) || Listed(term.numbers, summary.peer.address);
    case Kind::Connection: return Listed(term.numbers, summary.connection);
    case Kind::Sequence: {
        const std::optional<uint32_t> sequence = record.pairs.SequenceOf(record.index);
        return sequence && Listed(term.numbers, *sequence);
    }
    case Kind::Status: {
        const std::optional<uint32_t> status = record.pairs.StatusOf(record.index);
        return status && Listed(term.numbers, *status);
    }
    case Kind::Error: return record.pairs.IsError(record.index);
    case Kind::Unanswered: return record.pairs.IsUnanswered(record.index);
    case Kind::Text: return Lower(MessageText(record)).find(term.word) != std::string::npos;
    case Kind::Field: return FieldHolds(term, record);
    }
    return false;
}

bool Holds(const Node& node, Record& record) {
    switch (node.op) {
    case Node::Op::Term: return TermHolds(node.term, record);
    case Node::Op::Not: return !Holds(node.children.front(), record);
    case Node::Op::Or:
        return std::any_of(node.children.begin(), node.children.end(), [&](const Node& child) { return Holds(child, record); });
    case Node::Op::And:
        return std::all_of(node.children.begin(), node.children.end(), [&](const Node& child) { return Holds(child, record); });
    }
    return false;
}

bool ReadsTime(const Node& node) {
    if (node.op == Node::Op::Term)
        return node.term.kind == Kind::Error || node.term.kind == Kind::Unanswered;
    return std::any_of(node.children.begin(), node.children.end(), ReadsTime);
}

} // namespace

CDisplayFilter::CDisplayFilter(const CPacketDecoder& decoder) : m_root(std::make_unique<Node>()), m_decoder(decoder) {}
CDisplayFilter::~CDisplayFilter() = default;

bool CDisplayFilter::Parse(std::string_view text, Error& error) { return display_filter::Parse(text, m_decoder, *m_root, error); }

bool CDisplayFilter::Check(std::string_view text, Error& error) const {
    Node scratch;
    return display_filter::Parse(text, m_decoder, scratch, error);
}

bool CDisplayFilter::IsEmpty() const { return m_root->op == Node::Op::And && m_root->children.empty(); }

bool CDisplayFilter::DependsOnTime() const { return ReadsTime(*m_root); }

bool CDisplayFilter::Matches(int32_t index, const CPacketLog& log, const CPacketPairs& pairs) const {
    if (IsEmpty())
        return true;
    uint32_t length = 0;
    const uint8_t* bytes = log.PacketAt(index, &length);
    if (!bytes || length < packet_record::kHeaderSize)
        return false;
    // The header's facts are the record's summary, read once when it was stored.
    Record record{index, pairs, m_decoder, log.SummaryAt(index), bytes, length};
    return Holds(*m_root, record);
}
