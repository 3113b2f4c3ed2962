// A captured record as JSON: the shape GET /api/v1/pdus lists and tarnwick-decode --json prints.
#include "analysis/RecordJson.h"

#include "capture/PacketRecord.h"
#include "decoder/Protocols.h"

#include <cstdio>
#include <ctime>

#include <algorithm>
#include <span>
#include <string_view>

namespace record_json {
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
} // namespace

void AppendString(std::string& out, std::string_view text) {
    out += '"';
    // A page of the API holds thousands of these: what needs no escape goes in a run at a time.
    const auto plain = [](char c) { return uint8_t(c) >= 0x20 && uint8_t(c) < 0x80 && c != '"' && c != '\\'; };
    for (size_t at = 0; at < text.size();) {
        const size_t run = size_t(std::find_if_not(text.begin() + at, text.end(), plain) - text.begin());
        if (run > at) {
            out.append(text.substr(at, run - at));
            at = run;
            continue;
        }
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

namespace {

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

void AppendHex(std::string& out, const uint8_t* octets, int64_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int64_t at = 0; at < count; ++at) {
        out += kDigits[octets[at] >> 4];
        out += kDigits[octets[at] & 0xF];
    }
}

// A field's raw value: a number, its text, or its octets in hex; null for a line that has none.
void AppendRaw(std::string& out, const DecodeLine& line, const uint8_t* record, uint32_t length) {
    switch (line.type) {
    case FieldType::Number: AppendNumber(out, line.number); return;
    case FieldType::Text: AppendString(out, line.ValueText()); return;
    case FieldType::Octets: {
        // The decoder's octets lie in the record; the clamp keeps a wrong range from reading past it.
        const int64_t from = std::clamp<int64_t>(line.rawOffset, 0, length);
        const int64_t count = std::clamp<int64_t>(line.rawWidth, 0, int64_t(length) - from);
        out += '"';
        AppendHex(out, record + from, count);
        out += '"';
        return;
    }
    case FieldType::None: out += "null"; return;
    }
}

// One decoded field: its stable name, the label and name its row gives it, its value as shown, raw and named,
// where it lies in the PDU, and the lines that show its parts.
void AppendField(std::string& out, std::span<const DecodeLine> lines, size_t index, const uint8_t* record,
                 uint32_t length) {
    const DecodeLine& line = lines[index];
    out += "{\"field\":";
    AppendString(out, line.field);
    out += ",\"label\":";
    AppendString(out, line.label);
    out += ",\"name\":";
    AppendString(out, line.Name());
    out += ",\"value\":";
    AppendString(out, line.Show());
    out += ",\"raw\":";
    AppendRaw(out, line, record, length);
    out += ",\"show\":";
    AppendString(out, line.Show());
    if (!line.ValueName().empty()) {
        out += ",\"valueName\":";
        AppendString(out, line.ValueName());
    }
    out += ",\"offset\":";
    AppendNumber(out, line.offset - int32_t(kHeaderSize));
    out += ",\"length\":";
    AppendNumber(out, line.width);
    bool children = false;
    for (size_t part = index + 1; part < lines.size() && lines[part].parent == int32_t(index); ++part) {
        out += children ? "," : ",\"children\":[";
        children = true;
        out += "{\"field\":";
        AppendString(out, lines[part].field);
        out += ",\"text\":";
        AppendString(out, lines[part].text);
        out += ",\"show\":";
        AppendString(out, lines[part].Show());
        out += ",\"offset\":";
        AppendNumber(out, lines[part].offset - int32_t(kHeaderSize));
        out += ",\"length\":";
        AppendNumber(out, lines[part].width);
        out += '}';
    }
    out += children ? "]}" : "}";
}

// A header word the record's summary holds, or null when its PDU is too short for it.
void AppendOptional(std::string& out, bool held, uint32_t value) {
    if (held)
        AppendNumber(out, value);
    else
        out += "null";
}

// The whole of the long message this record completes: how many parts, its text, the records of its parts.
void AppendReassembled(std::string& out, const Reassembled& whole) {
    out += ",\"reassembled\":{\"parts\":";
    AppendNumber(out, whole.parts);
    out += ",\"text\":";
    AppendString(out, whole.text);
    out += ",\"seqs\":[";
    for (size_t i = 0; i < whole.seqs.size(); ++i) {
        if (i > 0)
            out += ',';
        AppendNumber(out, whole.seqs[i]);
    }
    out += "]}";
}

} // namespace

void AppendLogRecord(std::string& out, CPacketDecoder& decoder, const CConcatenations& concatenations, int32_t index) {
    const CPacketLog& log = concatenations.Log();
    uint32_t length = 0;
    const uint8_t* record = log.PacketAt(index, &length);
    if (!record)
        return;
    const std::optional<Reassembled> whole = concatenations.ReassembledAt(index);
    AppendRecord(out, decoder, log.SerialBase() + index + 1, record, length, log.SummaryAt(index), whole ? &*whole : nullptr);
    out += '\n';
}

std::string CommandName(const CPacketDecoder& decoder, const PacketSummary& summary) {
    if (!summary.Has(PacketSummary::kHasCommand))
        return {};
    const ProtocolInfo* protocol = protocols::Find(summary.protocol);
    std::string name = protocol ? decoder.LookupCodeName(protocol->commandTable, summary.command) : std::string(kUnnamed);
    if (name.empty() || name == kUnnamed) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", summary.command);
        name = hex;
    }
    return name;
}

void AppendRecord(std::string& out, CPacketDecoder& decoder, int64_t seq, const uint8_t* record, uint32_t length,
                  const PacketSummary& context, const Reassembled* reassembled) {
    // Protocol, command, status and sequence are the record's summary, read from its header once at store.
    const protocol::Protocol* protocol = protocol::Find(context.protocol);
    out += "{\"seq\":";
    AppendNumber(out, seq);
    out += ",\"time\":";
    AppendTime(out, context.timeUs);
    out += ",\"protocol\":";
    AppendString(out, protocol ? protocol->name : std::to_string(context.protocol));
    out += ",\"command\":";
    AppendString(out, CommandName(decoder, context));
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
    AppendHex(out, record + kHeaderSize, int64_t(length) - kHeaderSize);
    out += "\",\"fields\":[";
    decoder.Decode(record, static_cast<int32_t>(length));
    bool first = true;
    // The capture header's lines describe the record, not the PDU; the record's other members say it all.
    const std::vector<DecodeLine>& lines = decoder.Lines();
    for (size_t index = 0; index < lines.size(); ++index) {
        if (lines[index].offset < int32_t(kHeaderSize) || lines[index].parent >= 0)
            continue;
        if (!first)
            out += ',';
        first = false;
        AppendField(out, lines, index, record, length);
    }
    out += ']';
    if (reassembled)
        AppendReassembled(out, *reassembled);
    out += '}';
}


} // namespace record_json
