// UCP/EMI decode lines: the codec reads the frame, this file only says how each field is shown.
#include "decoder/UcpLines.h"

#include "decoder/GbkText.h"
#include "decoder/TextLines.h"
#include "ucp/Ucp.h"

#include <algorithm>
#include <string>

namespace ucp_lines {

namespace {

using text_lines::kBodyField;
using text_lines::kBodyGroup;
using text_lines::kHeaderField;
using text_lines::kHeaderGroup;
constexpr std::string_view kPrefix = "UCP: ";
// Lines of the header and of the frame's end, beside the fields the operation types list.
constexpr std::string_view kOwnNames[] = {"TRN", "LEN", "OR", "OT", "CHK", "error", "NMsg", "AMsg", "TMsg"};

// "ucp.<abbreviation>" of every name a line can carry, made once; a line's id is kFirstId plus its place.
const std::vector<std::string>& FieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        const auto add = [&all](std::string_view name) {
            const std::string field = "ucp." + std::string(name);
            if (std::find(all.begin(), all.end(), field) == all.end())
                all.push_back(field);
        };
        std::for_each(std::begin(kOwnNames), std::end(kOwnNames), add);
        for (const ucp::OperationType& type : ucp::kOperationTypes) {
            std::for_each(type.fields.begin(), type.fields.end(), add);
            std::for_each(type.ack.begin(), type.ack.end(), add);
        }
        std::for_each(std::begin(ucp::kNackFields), std::end(ucp::kNackFields), add);
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

// The lines of one frame whose STX sits at `base` in the record.
class Lines : public text_lines::Lines {
public:
    Lines(std::vector<DecodeLine>& lines, int32_t base)
        : text_lines::Lines(lines, base, kPrefix, "ucp", FieldNames(), kFirstId) {}
};

std::string_view FrameText(const uint8_t* frame, int32_t size) { return {reinterpret_cast<const char*>(frame), std::size_t(size)}; }

// The header's four pieces at the places their fixed widths give them.
void AddHeader(Lines& out, std::string_view frame, const ucp::HeaderFacts& facts) {
    out.Group("Header", 0, 15, kHeaderGroup);
    out.Number("TRN", frame.substr(1, 2), 1, kHeaderField);
    out.Number("LEN", frame.substr(4, 5), 4, kHeaderField);
    out.Field("OR", frame.substr(10, 1), 10, 1, kHeaderField, facts.result ? "Result" : "Operation");
    const ucp::OperationType* type = ucp::FindOperationType(facts.ot);
    out.Number("OT", frame.substr(12, 2), 12, kHeaderField, type ? type->name : "unknown");
}

std::string ErrorText(const ucp::ParseResult& parsed, std::string_view frame) {
    using ucp::Fault;
    switch (parsed.fault) {
    case Fault::NotFramed: return "Not a frame: STX, a header, fields and a checksum, then ETX";
    case Fault::Header: return "Bad header: TRN, LEN and OT take 2, 5 and 2 digits, O or R between";
    case Fault::Checksum: {
        const std::size_t last = frame.rfind('/');
        const uint8_t sum = ucp::Checksum(frame.substr(1, last == std::string_view::npos ? 0 : last));
        return "Bad checksum: the octets through the last '/' sum to " + wire::ToHex(std::span(&sum, 1));
    }
    case Fault::Length: return "Bad LEN: " + std::to_string(frame.size() - 2) + " octets lie between STX and ETX";
    case Fault::UnknownOt: return "Unknown OT: no operation type of that number";
    case Fault::ResultForm: return "Bad result: its first field is neither A nor N";
    case Fault::FieldCount: {
        // An 02 or 03 counts its list by NPL: the fields it should have vary with it.
        const ucp::Message& m = parsed.message;
        const bool fixed = m.type && (m.form != ucp::Form::Operation || m.type->countAt == ucp::kNoList);
        const std::size_t want = !fixed ? 0 : m.form == ucp::Form::Operation ? m.type->fields.size()
                                            : m.form == ucp::Form::Ack       ? m.type->ack.size()
                                                                             : std::size(ucp::kNackFields);
        return fixed ? "Bad field count: " + std::to_string(m.fieldCount) + " fields where this form has " +
                           std::to_string(want)
                     : std::string("Bad field count: not the fields NPL counts");
    }
    case Fault::None: break;
    }
    return {};
}

// The value of a field as shown, and its name: message texts read, codes named.
std::pair<std::string, std::string> Shown(const ucp::Message& m, std::size_t index, std::string_view name) {
    const std::string_view text = m.Text(index);
    if (name == "AMsg") {
        const auto read = ucp::DecodeAMsg(text);
        return read ? std::pair{Utf8(*read), std::string()} : std::pair{std::string(text), "not GSM code points in hex"};
    }
    if (name == "EC") {
        const std::optional<unsigned> code = text_lines::CodeNumber(text);
        return {std::string(text), code ? std::string(ucp::ErrorText(*code)) : ""};
    }
    if (name == "MT")
        return {std::string(text), std::string(ucp::MessageFieldName(text))};
    const bool series50 = m.type->fields.data() == std::data(ucp::kSeries50Fields) && m.form == ucp::Form::Operation;
    constexpr std::size_t kOtoa = ucp::FieldIndex(ucp::kSeries50Fields, "OTOA");
    if (name == "OAdC" && series50 && m.Text(kOtoa) == ucp::kOtoaAlphanumeric) {
        const auto read = ucp::UnpackAlphanumeric(text);
        return read ? std::pair{Utf8(*read), "alphanumeric"} : std::pair{std::string(text), "not packed alphanumeric"};
    }
    return {std::string(text), std::string()};
}

// The fields that hold something, then XSer's elements under their field, then CHK.
void AddFields(Lines& out, const ucp::Message& m, std::string_view frame) {
    const char* form = m.form == ucp::Form::Operation ? "Operation" : m.form == ucp::Form::Ack ? "Positive result" : "Negative result";
    const std::size_t last = frame.rfind('/');
    out.Group(std::string(m.type->name) + ", " + form, 15, int32_t(last) - 14, kBodyGroup);
    for (std::size_t i = 0; i < m.fieldCount; ++i) {
        const ucp::Field& field = m.fields[i];
        if (field.text.empty())
            continue;
        const std::string_view name = m.FieldName(i);
        const auto [value, valueName] = Shown(m, i, name);
        out.Field(name, value, int32_t(field.offset), int32_t(field.text.size()), kBodyField, valueName);
        const auto elements = name == "XSer" ? ucp::ParseXSer(field.text) : std::nullopt;
        const auto parent = int32_t(out.Count()) - 1;
        for (const ucp::XSerElement& element : elements.value_or(std::vector<ucp::XSerElement>{})) {
            const auto type = std::string(field.text.substr(element.offset, 2));
            const char* kind = element.type == ucp::kXSerUdh ? "user data header" : element.type == ucp::kXSerDcs ? "data coding scheme" : "";
            DecodeLine& line = out.Field("XSer", element.data, int32_t(field.offset + element.offset),
                                         int32_t(element.data.size() + 4), kBodyField, kind);
            line.text.replace(kPrefix.size() + 4, 0, " " + type);
            line.valueAt += 3, line.valueEnd += 3, line.nameEnd += line.nameEnd ? 3 : 0;
            line.parent = parent;
        }
    }
    out.Field("CHK", frame.substr(last + 1, 2), int32_t(last + 1), 2, kBodyField);
}

} // namespace

bool Append(std::vector<DecodeLine>& lines, const uint8_t* record, int32_t offset, int32_t total) {
    const int32_t size = total - offset;
    if (size <= 0)
        return true;
    const std::string_view frame = FrameText(record + offset, size);
    const ucp::ParseResult parsed = ucp::Parse(frame);
    Lines out(lines, offset);
    const auto facts = ucp::PeekHeader({record + offset, std::size_t(size)});
    return text_lines::AddFrame(
        out, size, facts.has_value(), parsed.Ok() ? std::nullopt : std::optional(int32_t(parsed.faultOffset)),
        [&] { AddHeader(out, frame, *facts); }, [&] { return ErrorText(parsed, frame); },
        [&] { AddFields(out, parsed.message, frame); });
}

std::vector<std::pair<std::string, std::string>> ListedFields() {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& name : FieldNames())
        fields.emplace_back(name, name.substr(name.find('.') + 1));
    return fields;
}

} // namespace ucp_lines
