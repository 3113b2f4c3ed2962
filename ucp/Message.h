// One UCP/EMI frame read into its header and fields, and frames built from them, LEN and CHK computed.
#pragma once

#include "ucp/Framing.h"
#include "ucp/Operations.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace ucp {

enum class Kind : uint8_t { Operation, Result }; // O or R
enum class Form : uint8_t { Operation, Ack, Nack };

// A field's text in the frame, and where it starts counted from the STX (the decoder's highlight).
struct Field {
    std::string_view text;
    uint32_t offset = 0;
};

// The most fields a frame can have: an OT's own, its list field repeated as often as NPL's two digits can
// count (an 03 with 99 GAs has 114), so that no frame the standard allows is cut short.
inline constexpr std::size_t kMaxListLength = 99;
inline constexpr std::size_t kMaxFields = [] {
    std::size_t most = 0;
    for (const OperationType& type : kOperationTypes) {
        const std::size_t fields = type.fields.size() + (type.listAt == kNoList ? 0 : kMaxListLength - 1);
        most = fields > most ? fields : most;
    }
    return most;
}();
static_assert(kMaxFields == 114);

// A frame read whole. The texts point into the bytes given to Parse, which must outlive the message.
struct Message {
    uint8_t trn = 0;
    uint32_t length = 0; // LEN
    Kind kind = Kind::Operation;
    uint8_t ot = 0;
    Form form = Form::Operation;
    const OperationType* type = nullptr;
    std::array<Field, kMaxFields> fields{};
    std::size_t fieldCount = 0;

    std::span<const Field> Fields() const { return {fields.data(), fieldCount}; }
    // The text of field `index`, empty past the last field.
    std::string_view Text(std::size_t index) const { return index < fieldCount ? fields[index].text : ""; }
    // The standard's abbreviation of field `index` (AdC, RAd of a list, AMsg as MT says, NAck, EC ...).
    std::string_view FieldName(std::size_t index) const;
};

// Why a frame was refused; ParseResult::ErrorCode() says which two-digit error answers it.
enum class Fault : uint8_t {
    None,
    NotFramed,  // not STX first and ETX last alone, too short for a header and a checksum, or over kMaxFrameOctets
    Header,     // TRN, LEN or OT not two, five and two digits, or neither O nor R
    Checksum,   // CHK is not two upper-case hex digits or not the sum
    Length,     // LEN does not count the octets between STX and ETX
    UnknownOt,  // an OT without a field list here
    ResultForm, // a result whose first field is neither A nor N
    FieldCount, // not the OT's number of fields (with NPL's list), or NPL not a number
};

struct ParseResult {
    Message message;
    Fault fault = Fault::None;
    uint32_t faultOffset = 0; // where in the frame the fault lies
    bool headerRead = false;  // trn, kind and ot are good enough to address a negative result

    bool Ok() const { return fault == Fault::None; }
    // The standard's error for the fault: 01 checksum, 03 operation not supported, 02 syntax for the rest.
    ErrorCode Error() const;
};

// Reads one frame as CutFrame cut it, STX to ETX. Any bytes at all give a result; none is trusted.
ParseResult Parse(std::span<const uint8_t> frame);
inline ParseResult Parse(std::string_view frame) {
    return Parse({reinterpret_cast<const uint8_t*>(frame.data()), frame.size()});
}

// The sum of the octets modulo 256, as CHK is of the octets after STX up to the last '/'.
uint8_t Checksum(std::string_view octets);

// A frame with the fields given, LEN and CHK computed. Empty when it cannot be one: TRN or OT over 99, a
// field holding '/', STX or ETX, or longer than kMaxFrameOctets.
std::string Build(uint8_t trn, Kind kind, uint8_t ot, std::span<const std::string_view> fields);
inline std::string Build(uint8_t trn, Kind kind, uint8_t ot, std::initializer_list<std::string_view> fields) {
    return Build(trn, kind, ot, std::span<const std::string_view>(fields.begin(), fields.size()));
}
// A positive result, with MVP where the OT's result has one (30 and the 50 series).
std::string BuildAck(uint8_t trn, uint8_t ot, std::string_view sm, std::string_view mvp = {});
// A negative result: N, the two-digit EC, SM.
std::string BuildNack(uint8_t trn, uint8_t ot, ErrorCode error, std::string_view sm = {});

} // namespace ucp
