// A captured record as JSON.
#include "control/PduJson.h"

#include "capture/PacketRecord.h"
#include "decoder/Protocols.h"

#include <cstdio>
#include <ctime>

#include <algorithm>
#include <string_view>

namespace {

constexpr uint32_t kHeaderSize = packet_record::kHeaderSize;
constexpr std::string_view kUnnamed = "未知"; // the decoder's name for a code its table lacks

// The octets of a valid UTF-8 character at text[at], 0 when none starts there.
size_t Utf8Length(std::string_view text, size_t at) {
    const auto octet = [&](size_t i) { return i < text.size() ? uint8_t(text[i]) : uint8_t(0); };
    const uint8_t first = octet(at);
    const auto follows = [&](size_t n) {
        for (size_t i = 1; i < n; ++i)
            if ((octet(at + i) & 0xC0) != 0x80)
                return false;
        return true;
    };
    if (first < 0x80) return 1;
    if (first >= 0xC2 && first <= 0xDF) return follows(2) ? 2 : 0;
    if (first >= 0xE0 && first <= 0xEF) return follows(3) ? 3 : 0;
    if (first >= 0xF0 && first <= 0xF4) return follows(4) ? 4 : 0;
    return 0;
}

// A JSON string: quotes, backslashes and control characters escaped, and any octet that does not
// belong to valid UTF-8 replaced by U+FFFD, so the text is valid JSON whatever a PDU held.
void AppendString(std::string& out, std::string_view text) {
    out += '"';
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        const size_t length = Utf8Length(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
            ++at;
        } else if (uint8_t(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uint8_t(c)));
            out += escaped;
            ++at;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, int64_t value) { out += std::to_string(value); }

// ISO 8601 in UTC with the microsecond: 2026-12-07T10:24:29.123456Z.
void AppendTime(std::string& out, int64_t timeUs) {
    timeUs = std::max<int64_t>(0, timeUs);
    const std::time_t seconds = std::time_t(timeUs / 1'000'000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02d.%06dZ\"", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(timeUs % 1'000'000));
    out += text;
}

// One decode line's text split where the decoder joins its parts: "LABEL: name = value".
void AppendField(std::string& out, const DecodeLine& line) {
    const std::string_view text(line.text);
    const size_t equals = text.find(" = ");
    const size_t colon = text.find(": ");
    std::string_view label, name = text.substr(0, equals), value;
    if (colon != std::string_view::npos && colon < equals) {
        label = text.substr(0, colon);
        name = text.substr(colon + 2, equals == std::string_view::npos ? std::string_view::npos : equals - colon - 2);
    }
    if (equals != std::string_view::npos)
        value = text.substr(equals + 3);
    out += "{\"label\":";
    AppendString(out, label);
    out += ",\"name\":";
    AppendString(out, name);
    out += ",\"value\":";
    AppendString(out, value);
    out += ",\"offset\":";
    AppendNumber(out, line.offset - int32_t(kHeaderSize));
    out += ",\"length\":";
    AppendNumber(out, line.width);
    out += '}';
}

// A header word the record's summary holds, or null when its PDU is too short for it.
void AppendOptional(std::string& out, bool held, uint32_t value) {
    if (held)
        AppendNumber(out, value);
    else
        out += "null";
}

} // namespace

CPduJson::CPduJson(const CPacketDecoder& decoder) : m_decoder(decoder) {}

std::string CPduJson::CommandName(const PacketSummary& summary) const {
    if (!summary.Has(PacketSummary::kHasCommand))
        return {};
    const ProtocolInfo* protocol = protocols::Find(summary.protocol);
    std::string name = protocol ? m_decoder.LookupCodeName(protocol->commandTable, summary.command) : std::string(kUnnamed);
    if (name.empty() || name == kUnnamed) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", summary.command);
        name = hex;
    }
    return name;
}

void CPduJson::AppendRecord(std::string& out, int64_t seq, const uint8_t* record, uint32_t length,
                            const PacketSummary& context) {
    static constexpr char kDigits[] = "0123456789abcdef";
    // Protocol, command, status and sequence are the record's summary, read from its header once at store.
    const protocol::Protocol* protocol = protocol::Find(context.protocol);
    out += "{\"seq\":";
    AppendNumber(out, seq);
    out += ",\"time\":";
    AppendTime(out, context.timeUs);
    out += ",\"protocol\":";
    AppendString(out, protocol ? protocol->name : std::to_string(context.protocol));
    out += ",\"command\":";
    AppendString(out, CommandName(context));
    out += ",\"commandStatus\":";
    // Answers of the protocols without a header status carry theirs in the body; the fields show it.
    AppendOptional(out, context.Has(PacketSummary::kHasStatus), context.status);
    out += ",\"sequence\":";
    // SGIP's sequence is three words; its last one counts up as the others' single word does.
    AppendOptional(out, context.Has(PacketSummary::kHasSequence), context.ShownSequence());
    out += ",\"connection\":";
    AppendNumber(out, int64_t(context.connection));
    out += context.fromServer ? ",\"direction\":\"out\"" : ",\"direction\":\"in\"";
    out += ",\"length\":";
    AppendNumber(out, length - kHeaderSize);
    out += ",\"hex\":\"";
    for (uint32_t at = kHeaderSize; at < length; ++at) {
        out += kDigits[record[at] >> 4];
        out += kDigits[record[at] & 0xF];
    }
    out += "\",\"fields\":[";
    m_decoder.Decode(record, static_cast<int32_t>(length));
    bool first = true;
    // The capture header's lines describe the record, not the PDU; the record's other members say it all.
    for (const DecodeLine& line : m_decoder.Lines()) {
        if (line.offset < int32_t(kHeaderSize))
            continue;
        if (!first)
            out += ',';
        first = false;
        AppendField(out, line);
    }
    out += "]}";
}

template <typename Visit>
void CPduJson::Scan(const CPacketLog& log, const PduQuery& query, Visit visit) const {
    // Serial numbers count up by one per record, so the first record after since is found, not searched for.
    const int64_t first = std::max<int64_t>(0, query.since - log.SerialBase());
    const std::string command = query.command.toStdString();
    for (int64_t index = first; index < log.GetCount(); ++index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(int32_t(index), &length);
        if (!record || length < kHeaderSize)
            continue;
        const PacketSummary& context = log.SummaryAt(int32_t(index));
        if (query.connection != 0 && context.connection != query.connection)
            continue;
        if (!command.empty() && CommandName(context) != command)
            continue;
        if (!visit(log.SerialBase() + index + 1, record, length, context))
            return;
    }
}

QByteArray CPduJson::Query(const CPacketLog& log, const PduQuery& query) {
    std::string out = "{\"pdus\":[";
    int64_t next = std::max(query.since, log.SerialBase() + log.GetCount());
    int listed = 0;
    Scan(log, query, [&](int64_t seq, const uint8_t* record, uint32_t length, const PacketSummary& context) {
        if (listed == query.limit) {
            next = seq - 1;
            return false;
        }
        if (listed++ > 0)
            out += ',';
        AppendRecord(out, seq, record, length, context);
        return true;
    });
    out += "],\"next\":";
    AppendNumber(out, next);
    out += '}';
    return QByteArray::fromStdString(out);
}

bool CPduJson::HasMatch(const CPacketLog& log, const PduQuery& query) const {
    bool found = false;
    Scan(log, query, [&](int64_t, const uint8_t*, uint32_t, const PacketSummary&) { return !(found = true); });
    return found;
}

QString ReadPduQuery(const QUrlQuery& parameters, PduQuery* query, int64_t* waitMs) {
    struct Number {
        const char* name;
        int64_t min, max;
        int64_t* out;
    };
    int64_t connection = 0, limit = query->limit;
    *waitMs = 0;
    const Number numbers[] = {
        {"since", 0, int64_t(1) << 53, &query->since},
        {"connection", 0, int64_t(1) << 53, &connection},
        {"limit", 1, 100'000, &limit},
        {"waitMs", 0, 300'000, waitMs},
    };
    for (const auto& [key, value] : parameters.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("command")) {
            query->command = value;
            continue;
        }
        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&key](const Number& n) { return key == QLatin1String(n.name); });
        if (number == std::end(numbers))
            return QString("%1: unknown parameter").arg(key);
        bool ok = false;
        const qlonglong read = value.toLongLong(&ok);
        if (!ok || read < number->min || read > number->max)
            return QString("%1: a whole number from %2 to %3 expected").arg(key).arg(number->min).arg(number->max);
        *number->out = read;
    }
    query->connection = uint64_t(connection);
    query->limit = int(limit);
    return {};
}
