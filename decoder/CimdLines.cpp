// CIMD2 decode lines: the codec reads the packet, this file only says how each parameter is shown.
#include "decoder/CimdLines.h"

#include "cimd/Cimd.h"
#include "decoder/GbkText.h"
#include "decoder/TextLines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

namespace cimd_lines {

namespace {

using text_lines::kBodyField;
using text_lines::kBodyGroup;
using text_lines::kHeaderField;
using text_lines::kHeaderGroup;
constexpr std::string_view kPrefix = "CIMD2: ";
constexpr std::string_view kProtocol = "cimd2";
constexpr std::size_t kHeaderOctets = 8; // STX, "OO:SSS" and its TAB
// Lines of the header and of the packet's end, beside the parameters.
constexpr std::string_view kOwnNames[] = {"operation", "packet_number", "checksum", "error", "parameter"};

// A parameter's stable name: its name in lower case, words joined by '_' ("destination_address").
std::string StableName(std::string_view name) {
    std::string out(name);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return c == ' ' ? '_' : char(std::tolower(c)); });
    return out;
}

// "cimd2.<name>" of every name a line can carry, made once; a line's id is kFirstId plus its place.
const std::vector<std::string>& FieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (std::string_view name : kOwnNames)
            all.push_back(std::string(kProtocol) + "." + std::string(name));
        for (const cimd::ParameterName& row : cimd::kParameters)
            all.push_back(std::string(kProtocol) + "." + StableName(row.name));
        return all;
    }();
    return names;
}

std::string Utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text)
        AppendUtf8(out, uint32_t(c));
    return out;
}

std::string_view TextOf(std::span<const cimd::CodeText> table, std::string_view digits) {
    const std::optional<unsigned> value = text_lines::CodeNumber(digits);
    const auto row = !value ? table.end()
                            : std::find_if(table.begin(), table.end(), [&](const cimd::CodeText& r) { return r.code == *value; });
    return row == table.end() ? "unknown" : row->text;
}

// The value of a parameter as shown, and its name: user data read, codes named.
std::pair<std::string, std::string> Shown(const cimd::Parameter& p, const cimd::ParameterName* row) {
    const std::string value(p.value);
    if (!row)
        return {value, "unknown parameter"};
    if (row->kind == cimd::ValueKind::UserData) {
        const auto read = cimd::DecodeUserData(p.value);
        return read ? std::pair{Utf8(*read), std::string()} : std::pair{value, "not CIMD2 user data"};
    }
    if (p.code == cimd::param::kErrorCode)
        return {value, std::string(TextOf(cimd::kErrorCodes, p.value))};
    if (p.code == cimd::param::kStatusCode)
        return {value, std::string(TextOf(cimd::kStatusCodes, p.value))};
    return {value, std::string()};
}

std::string ErrorText(const cimd::ParseResult& parsed, std::string_view packet) {
    using cimd::Fault;
    switch (parsed.fault) {
    case Fault::NotFramed: return "Not a packet: STX, a header, parameters and a checksum, then ETX";
    case Fault::Header: return "Bad header: an operation of 2 digits, ':' and a packet number of 3, then TAB";
    case Fault::PacketNumber: return "Bad packet number: over 255, or of the other side's parity";
    case Fault::Checksum: {
        const uint8_t sum = cimd::Checksum(packet.substr(0, packet.rfind(char(cimd::kTab)) + 1));
        return "Bad checksum: the octets from STX through the last TAB sum to " + cimd::ToHex(std::span(&sum, 1));
    }
    case Fault::Parameter: return "Bad parameter: not three digits, ':' and its value, ended by TAB";
    case Fault::TooManyParameters: return "Too many parameters";
    case Fault::UnknownOperation: return "Unknown operation: no operation of that code";
    case Fault::None: break;
    }
    return {};
}

// The header's operation and packet number at the places their fixed widths give them.
void AddHeader(text_lines::Lines& out, std::string_view packet) {
    const unsigned operation = unsigned((packet[1] - '0') * 10 + packet[2] - '0');
    const std::string_view name = cimd::OperationText(operation);
    out.Group("Header", 0, int32_t(kHeaderOctets), kHeaderGroup);
    out.Number("operation", "Operation", packet.substr(1, 2), 1, kHeaderField, name.empty() ? "unknown" : name);
    out.Number("packet_number", "Packet number", packet.substr(4, 3), 4, kHeaderField);
}

// Each parameter as "code name = value", then the checksum.
void AddParameters(text_lines::Lines& out, const cimd::Packet& p, std::string_view packet) {
    const std::size_t lastTab = packet.rfind(char(cimd::kTab));
    out.Group(cimd::OperationText(p.operation), int32_t(kHeaderOctets), int32_t(lastTab + 1 - kHeaderOctets), kBodyGroup);
    for (const cimd::Parameter& parameter : p.Parameters()) {
        const cimd::ParameterName* row = cimd::FindParameter(parameter.code);
        const auto [value, valueName] = Shown(parameter, row);
        const std::string_view code = packet.substr(parameter.offset, 3);
        const std::string shown = std::string(code) + " " + std::string(row ? row->name : "Parameter");
        out.Field(row ? StableName(row->name) : "parameter", shown, value, int32_t(parameter.offset),
                  int32_t(parameter.value.size() + 4), kBodyField, valueName);
    }
    const std::string_view trailer = packet.substr(lastTab + 1, packet.size() - lastTab - 2);
    if (p.checksummed)
        out.Field("checksum", "Checksum", trailer, int32_t(lastTab + 1), 2, kBodyField);
    else
        out.Field("checksum", "Checksum", "left out", int32_t(lastTab + 1), 0, kBodyField);
}

} // namespace

bool Append(std::vector<DecodeLine>& lines, const uint8_t* record, int32_t offset, int32_t total) {
    const int32_t size = total - offset;
    if (size <= 0)
        return true;
    const std::string_view packet(reinterpret_cast<const char*>(record + offset), std::size_t(size));
    const cimd::ParseResult parsed = cimd::Parse(packet);
    text_lines::Lines out(lines, offset, kPrefix, kProtocol, FieldNames(), kFirstId);
    const bool header = cimd::PeekHeader({record + offset, std::size_t(size)}).has_value();
    return text_lines::AddFrame(
        out, size, header, parsed.Ok() ? std::nullopt : std::optional(int32_t(parsed.faultOffset)),
        [&] { AddHeader(out, packet); }, [&] { return ErrorText(parsed, packet); },
        [&] { AddParameters(out, parsed.packet, packet); });
}

std::vector<std::pair<std::string, std::string>> ListedFields() {
    std::vector<std::pair<std::string, std::string>> fields;
    for (std::string_view name : kOwnNames) {
        std::string label(name);
        std::replace(label.begin(), label.end(), '_', ' ');
        label[0] = char(std::toupper(label[0]));
        fields.emplace_back(std::string(kProtocol) + "." + std::string(name), label);
    }
    for (const cimd::ParameterName& row : cimd::kParameters) {
        char code[8];
        std::snprintf(code, sizeof code, "%03u ", unsigned(row.code));
        fields.emplace_back(std::string(kProtocol) + "." + StableName(row.name), code + std::string(row.name));
    }
    return fields;
}

} // namespace cimd_lines
