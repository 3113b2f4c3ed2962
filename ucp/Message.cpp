// Reading a UCP/EMI frame field by field, with its LEN, CHK and field count checked, and building frames.
#include "ucp/Message.h"

#include "ucp/Coding.h"

#include <algorithm>
#include <cstdio>

namespace ucp {

namespace {

constexpr char kSeparator = '/';
constexpr std::size_t kHeaderTokens = 4;       // TRN, LEN, O/R, OT
constexpr std::size_t kHeaderOctets = 14;      // "TT/LLLLL/O/OT/"
constexpr std::size_t kSmallestFrame = 1 + kHeaderOctets + 2 + 1;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsDigits(std::string_view text, std::size_t width) {
    return text.size() == width && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

unsigned Number(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits)
        value = value * 10 + unsigned(c - '0');
    return value;
}

// CHK is written in upper case only.
int UpperHexValue(char c) { return c >= 'a' && c <= 'f' ? -1 : HexDigit(c); }

// The pieces of a frame up to its last '/': the header's four, then the fields.
struct Tokens {
    std::array<Field, kHeaderTokens + kMaxFields> items{};
    std::size_t count = 0;
    uint32_t overflowAt = 0; // where the first piece too many starts; 0 when all fitted
};

Tokens Split(std::string_view frame, std::size_t lastSlash) {
    Tokens tokens;
    for (std::size_t start = 1; start <= lastSlash;) {
        const std::size_t slash = frame.find(kSeparator, start);
        if (tokens.count == tokens.items.size()) {
            tokens.overflowAt = uint32_t(start);
            break;
        }
        tokens.items[tokens.count++] = {frame.substr(start, slash - start), uint32_t(start)};
        start = slash + 1;
    }
    return tokens;
}

// Reads TRN, O/R and OT as far as they go; the offset of the first header piece that is wrong, or 0.
uint32_t ReadHeader(const Tokens& tokens, ParseResult& result) {
    Message& m = result.message;
    const Field &trn = tokens.items[0], &length = tokens.items[1], &kind = tokens.items[2], &ot = tokens.items[3];
    const bool kindOk = kind.text == "O" || kind.text == "R";
    m.trn = IsDigits(trn.text, 2) ? uint8_t(Number(trn.text)) : 0;
    m.length = IsDigits(length.text, 5) ? Number(length.text) : 0;
    m.kind = kind.text == "R" ? Kind::Result : Kind::Operation;
    m.ot = IsDigits(ot.text, 2) ? uint8_t(Number(ot.text)) : 0;
    result.headerRead = IsDigits(trn.text, 2) && kindOk && IsDigits(ot.text, 2);
    if (!IsDigits(trn.text, 2))
        return trn.offset;
    if (!IsDigits(length.text, 5))
        return length.offset;
    if (!kindOk)
        return kind.offset;
    return IsDigits(ot.text, 2) ? 0 : ot.offset;
}

// How long the list of an 02 or 03 is, as its NPL says (empty is none); -1 when NPL is missing or no number.
int ListLength(const Message& m) {
    if (!m.type || m.form != Form::Operation || m.type->countAt == kNoList)
        return 0;
    const std::string_view npl = m.Text(std::size_t(m.type->countAt));
    if (std::size_t(m.type->countAt) >= m.fieldCount || npl.size() > 2 || (!npl.empty() && !IsDigits(npl, npl.size())))
        return -1;
    return int(Number(npl));
}

std::span<const std::string_view> FieldNames(const Message& m) {
    if (!m.type)
        return {};
    return m.form == Form::Operation ? m.type->fields : m.form == Form::Ack ? m.type->ack : kNackFields;
}

ParseResult Refuse(ParseResult& result, Fault fault, uint32_t offset) {
    result.fault = fault;
    result.faultOffset = offset;
    return result;
}

// The form of a result by its first field, and whether the field count is the OT's.
ParseResult CheckFields(ParseResult& result, uint32_t checksumAt) {
    Message& m = result.message;
    if (m.kind == Kind::Result) {
        const std::string_view first = m.Text(0);
        if (first != "A" && first != "N")
            return Refuse(result, Fault::ResultForm, m.fieldCount ? m.fields[0].offset : checksumAt);
        m.form = first == "A" ? Form::Ack : Form::Nack;
    }
    const std::size_t names = FieldNames(m).size();
    const bool hasList = m.form == Form::Operation && m.type->countAt != kNoList;
    const int list = hasList ? ListLength(m) : 0;
    if (list < 0)
        return Refuse(result, Fault::FieldCount, m.fieldCount > std::size_t(m.type->countAt)
                                                     ? m.fields[std::size_t(m.type->countAt)].offset : checksumAt);
    const std::size_t want = hasList ? names - 1 + std::size_t(list) : names;
    if (m.fieldCount != want)
        return Refuse(result, Fault::FieldCount, m.fieldCount > want ? m.fields[want].offset : checksumAt);
    return result;
}

} // namespace

std::string_view Message::FieldName(std::size_t index) const {
    const std::span<const std::string_view> names = FieldNames(*this);
    const int list = ListLength(*this);
    if (index >= fieldCount || list < 0)
        return {};
    // A list field stands for `list` fields of the frame (none when NPL is 0).
    const auto frameIndex = [&](std::size_t at) {
        return type->listAt == kNoList || int(at) <= type->listAt ? at : at + std::size_t(list) - 1;
    };
    std::size_t at = index;
    if (form == Form::Operation && type->listAt != kNoList && int(index) >= type->listAt)
        at = int(index) < type->listAt + list ? std::size_t(type->listAt) : index + 1 - std::size_t(list);
    if (at >= names.size())
        return {};
    if (names[at] != kMessageField)
        return names[at];
    const auto mt = std::find(names.begin(), names.end(), "MT");
    return MessageFieldName(mt == names.end() ? "" : Text(frameIndex(std::size_t(mt - names.begin()))));
}

ErrorCode ParseResult::Error() const {
    switch (fault) {
    case Fault::Checksum: return ErrorCode::Checksum;
    case Fault::UnknownOt: return ErrorCode::NotSupported;
    default: return ErrorCode::Syntax;
    }
}

uint8_t Checksum(std::string_view octets) {
    unsigned sum = 0;
    for (char c : octets)
        sum += uint8_t(c);
    return uint8_t(sum);
}

ParseResult Parse(std::span<const uint8_t> bytes) {
    ParseResult result;
    const std::string_view frame(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (frame.size() < kSmallestFrame || frame.size() > kMaxFrameOctets || frame.front() != char(kStx) ||
        frame.back() != char(kEtx) || frame.find_first_of("\x02\x03", 1) != frame.size() - 1)
        return Refuse(result, Fault::NotFramed, 0);
    const std::size_t lastSlash = frame.rfind(kSeparator);
    const Tokens tokens = Split(frame, lastSlash == std::string_view::npos ? 0 : lastSlash);
    if (tokens.count < kHeaderTokens)
        return Refuse(result, Fault::Header, tokens.count ? tokens.items[tokens.count - 1].offset : 1);
    const uint32_t badHeader = ReadHeader(tokens, result);
    const std::string_view check = frame.substr(lastSlash + 1, frame.size() - lastSlash - 2);
    const int high = check.size() == 2 ? UpperHexValue(check[0]) : -1;
    const int low = check.size() == 2 ? UpperHexValue(check[1]) : -1;
    const uint32_t checkAt = uint32_t(lastSlash + 1);
    if (high < 0 || low < 0 || Checksum(frame.substr(1, lastSlash)) != high * 16 + low)
        return Refuse(result, Fault::Checksum, checkAt);
    if (badHeader != 0)
        return Refuse(result, Fault::Header, badHeader);
    Message& m = result.message;
    if (m.length != frame.size() - 2)
        return Refuse(result, Fault::Length, tokens.items[1].offset);
    m.type = FindOperationType(m.ot);
    if (!m.type)
        return Refuse(result, Fault::UnknownOt, tokens.items[3].offset);
    if (tokens.overflowAt != 0)
        return Refuse(result, Fault::FieldCount, tokens.overflowAt);
    m.fieldCount = tokens.count - kHeaderTokens;
    std::copy_n(tokens.items.begin() + kHeaderTokens, m.fieldCount, m.fields.begin());
    return CheckFields(result, checkAt);
}

std::string Build(uint8_t trn, Kind kind, uint8_t ot, std::span<const std::string_view> fields) {
    if (trn > 99 || ot > 99 || fields.size() > kMaxFields)
        return {};
    std::size_t length = kHeaderOctets + 2;
    for (std::string_view field : fields) {
        if (field.find_first_of("/\x02\x03") != std::string_view::npos)
            return {};
        length += field.size() + 1;
    }
    if (length + 2 > kMaxFrameOctets)
        return {};
    char header[32]; // kHeaderOctets are written: TRN, LEN and OT were checked above
    std::snprintf(header, sizeof header, "%02u/%05u/%c/%02u/", unsigned(trn), unsigned(length),
                  kind == Kind::Operation ? 'O' : 'R', unsigned(ot));
    std::string frame(1, char(kStx));
    frame.reserve(length + 2);
    frame += header;
    for (std::string_view field : fields) {
        frame += field;
        frame += kSeparator;
    }
    const uint8_t sum = Checksum(std::string_view(frame).substr(1));
    frame += kHexDigits[sum >> 4];
    frame += kHexDigits[sum & 15];
    frame += char(kEtx);
    return frame;
}

std::string BuildAck(uint8_t trn, uint8_t ot, std::string_view sm, std::string_view mvp) {
    const OperationType* type = FindOperationType(ot);
    if (type && type->ack.size() == std::size(kAckMvpFields))
        return Build(trn, Kind::Result, ot, {"A", mvp, sm});
    return Build(trn, Kind::Result, ot, {"A", sm});
}

std::string BuildNack(uint8_t trn, uint8_t ot, ErrorCode error, std::string_view sm) {
    const unsigned code = unsigned(error);
    const char ec[3] = {char('0' + code / 10 % 10), char('0' + code % 10), 0};
    return Build(trn, Kind::Result, ot, {"N", ec, sm});
}

} // namespace ucp
