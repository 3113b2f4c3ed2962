// The display filter's terms and their matching.
#include "analysis/DisplayFilter.h"

#include "capture/PacketRecord.h"
#include "decoder/Protocols.h"
#include "decoder/tables/FieldNames.h"
#include "decoder/tables/TableIds.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace {

enum class Kind : uint8_t { Command, Port, Ip, Connection, Sequence, Status, Error, Unanswered, Text, Field }; // cheapest first

struct Term {
    Kind kind = Kind::Command;
    bool negate = false;
    uint64_t number = 0;            // status, port, address, sequence, connection
    std::string word;               // text: lower case; a field: its name
    std::optional<std::string> value; // a field: the value it must have, lower case; none for any
    std::vector<uint64_t> commands; // (protocol code << 32) | command id
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Decimal, or hex after 0x; nothing for anything else or a value above `largest`.
std::optional<uint64_t> Number(std::string_view text, uint64_t largest) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > largest)
        return std::nullopt;
    return value;
}

// A.B.C.D, first octet in the most significant byte.
std::optional<uint64_t> Ipv4(std::string_view text) {
    uint64_t address = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const size_t dot = octet < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos || dot == 0 || dot > 3 || text.substr(0, dot).find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        const std::optional<uint64_t> value = Number(text.substr(0, dot), 255);
        if (!value)
            return std::nullopt;
        address = address << 8 | *value;
        text.remove_prefix(octet < 3 ? dot + 1 : dot);
    }
    return address;
}

// The commands the word names, as the packet list shows them: "submit_sm", or with its protocol, "SMPP:submit_sm".
std::vector<uint64_t> CommandsNamed(const NameIndex& names, std::string_view word) {
    std::string_view protocolName;
    const size_t colon = word.find(':');
    if (colon != std::string_view::npos) {
        protocolName = word.substr(0, colon);
        word.remove_prefix(colon + 1);
    }
    const std::string wanted = Lower(word);
    std::vector<uint64_t> found;
    for (const ProtocolInfo& info : protocols::kAll) {
        if (colon != std::string_view::npos && Lower(info.name) != Lower(protocolName))
            continue;
        for (const CodeName& command : names.CodeNamesOf(info.commandTable))
            if (Lower(command.name) == wanted)
                found.push_back(uint64_t(info.code) << 32 | command.code);
    }
    return found;
}

// The decoded short message of a record, as the decoder shows it: short_message, message_payload,
// the gateways' content and the TEST content; empty for a record without one.
std::string MessageText(CPacketDecoder& decoder, const uint8_t* record, uint32_t length) {
    std::string text;
    decoder.Decode(record, static_cast<int32_t>(length));
    for (const DecodeLine& line : decoder.Lines()) {
        // A field's own line; the lines of its user data header are parts of it.
        if (line.parent >= 0 || line.isGroup)
            continue;
        const int32_t position = decoder.PositionOf(line.id);
        if (position < 0)
            continue;
        switch (KindOf(decoder.Descriptors()[static_cast<size_t>(position)])) {
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

// Whether a field of the table has that stable name.
bool HasField(const DecodeTable& table, std::string_view name) {
    return std::find(table.fieldNames.begin(), table.fieldNames.end(), name) != table.fieldNames.end() ||
           std::any_of(table.tlvNames.begin(), table.tlvNames.end(),
                       [name](const DecodeTable::TlvFieldName& tlv) { return tlv.name == name; });
}

// Whether the record has a field of the term's name (with the term's value, when it names one): the value as
// its number reads (decimal or 0x hex), as its own text, by its name, or as shown, case ignored.
bool FieldHolds(CPacketDecoder& decoder, const uint8_t* record, uint32_t length, const Term& term) {
    decoder.Decode(record, static_cast<int32_t>(length));
    const std::optional<uint64_t> number = term.value ? Number(*term.value, std::numeric_limits<uint64_t>::max()) : std::nullopt;
    for (const DecodeLine& line : decoder.Lines()) {
        if (line.parent >= 0 || line.field != term.word)
            continue;
        if (!term.value || (line.type == FieldType::Number && number && uint64_t(line.number) == *number) ||
            Lower(line.ValueText()) == *term.value || Lower(line.ValueName()) == *term.value ||
            Lower(line.Show()) == *term.value)
            return true;
    }
    return false;
}

} // namespace

struct CDisplayFilter::Terms {
    std::vector<Term> list;
};

CDisplayFilter::CDisplayFilter(const CPacketDecoder& decoder) : m_terms(std::make_unique<Terms>()), m_decoder(decoder) {}
CDisplayFilter::~CDisplayFilter() = default;

bool CDisplayFilter::Parse(std::string_view text, std::string& error) {
    Terms terms;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string_view::npos) {
        const size_t end = std::min(text.find(' ', at), text.size());
        std::string_view word = text.substr(at, end - at);
        at = end;
        Term term;
        if (word.front() == '!') {
            term.negate = true;
            word.remove_prefix(1);
            if (word.empty()) {
                error = "\"!\" negates nothing";
                return false;
            }
        }
        const size_t colon = word.find(':');
        const std::string key = Lower(word.substr(0, colon));
        const std::string_view value = colon == std::string_view::npos ? std::string_view() : word.substr(colon + 1);
        const std::string named(word);
        const auto numberTerm = [&](Kind kind, uint64_t largest, const char* what) {
            const std::optional<uint64_t> number = Number(value, largest);
            if (!number) {
                error = value.empty() ? key + ": needs a number" : named + ": not " + what;
                return false;
            }
            term.kind = kind;
            term.number = *number;
            return true;
        };
        bool ok = true;
        if (colon == std::string_view::npos && key == "error") {
            term.kind = Kind::Error;
        } else if (colon == std::string_view::npos && key == "unanswered") {
            term.kind = Kind::Unanswered;
        } else if (colon != std::string_view::npos && key == "status") {
            ok = numberTerm(Kind::Status, std::numeric_limits<uint32_t>::max(), "a number");
        } else if (colon != std::string_view::npos && key == "seq") {
            ok = numberTerm(Kind::Sequence, std::numeric_limits<uint32_t>::max(), "a number");
        } else if (colon != std::string_view::npos && key == "conn") {
            ok = numberTerm(Kind::Connection, std::numeric_limits<uint64_t>::max(), "a number");
        } else if (colon != std::string_view::npos && key == "port") {
            ok = numberTerm(Kind::Port, std::numeric_limits<uint16_t>::max(), "a port number");
        } else if (colon != std::string_view::npos && key == "ip") {
            const std::optional<uint64_t> address = Ipv4(value);
            term.kind = Kind::Ip;
            term.number = address.value_or(0);
            ok = address.has_value();
            if (!ok)
                error = named + ": not an IPv4 address";
        } else if (colon != std::string_view::npos && key == "text") {
            term.kind = Kind::Text;
            term.word = Lower(value);
            ok = !value.empty();
            if (!ok)
                error = "text: needs a word";
        } else if (const size_t equals = word.find('='); colon == std::string_view::npos &&
                                                          word.substr(0, equals).find('.') != std::string_view::npos) {
            term.kind = Kind::Field;
            term.word = std::string(word.substr(0, equals));
            if (equals != std::string_view::npos)
                term.value = Lower(word.substr(equals + 1));
            ok = HasField(m_decoder.Table(), term.word);
            if (!ok)
                error = "unknown field \"" + term.word + "\" (tarnwick-decode --list-fields lists them)";
        } else {
            term.commands = CommandsNamed(m_decoder.Names(), word);
            ok = !term.commands.empty();
            if (!ok)
                error = "unknown term \"" + named + "\": not a command name or keyword";
        }
        if (!ok)
            return false;
        terms.list.push_back(std::move(term));
    }
    // The header's terms decide most records before a decode is needed.
    std::stable_sort(terms.list.begin(), terms.list.end(), [](const Term& a, const Term& b) { return a.kind < b.kind; });
    *m_terms = std::move(terms);
    return true;
}

bool CDisplayFilter::IsEmpty() const { return m_terms->list.empty(); }

bool CDisplayFilter::DependsOnTime() const {
    return std::any_of(m_terms->list.begin(), m_terms->list.end(),
                       [](const Term& term) { return term.kind == Kind::Error || term.kind == Kind::Unanswered; });
}

bool CDisplayFilter::Matches(int32_t index, const CPacketLog& log, const CPacketPairs& pairs) const {
    if (m_terms->list.empty())
        return true;
    uint32_t length = 0;
    const uint8_t* record = log.PacketAt(index, &length);
    if (!record || length < packet_record::kHeaderSize)
        return false;
    // The header's facts are the record's summary, read once when it was stored.
    const PacketSummary& context = log.SummaryAt(index);
    for (const Term& term : m_terms->list) {
        bool holds = false;
        switch (term.kind) {
        case Kind::Command: {
            const uint64_t key = uint64_t(context.protocol) << 32 | context.command;
            holds = context.Has(PacketSummary::kHasCommand) &&
                    std::find(term.commands.begin(), term.commands.end(), key) != term.commands.end();
            break;
        }
        case Kind::Port: holds = context.source.port == term.number || context.peer.port == term.number; break;
        case Kind::Ip: holds = context.source.address == term.number || context.peer.address == term.number; break;
        case Kind::Connection: holds = context.connection == term.number; break;
        case Kind::Sequence: holds = pairs.SequenceOf(index) == term.number; break;
        case Kind::Status: holds = pairs.StatusOf(index) == term.number; break;
        case Kind::Error: holds = pairs.IsError(index); break;
        case Kind::Unanswered: holds = pairs.IsUnanswered(index); break;
        case Kind::Text: holds = Lower(MessageText(m_decoder, record, length)).find(term.word) != std::string::npos; break;
        case Kind::Field: holds = FieldHolds(m_decoder, record, length, term); break;
        }
        if (holds == term.negate)
            return false;
    }
    return true;
}
