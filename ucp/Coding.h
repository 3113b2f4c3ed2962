// The codings inside UCP/EMI fields: AMsg, TMsg with NB, XSer, the packed alphanumeric OAdC and time stamps.
#pragma once

#include "wire/Hex.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ucp {

// Octets as upper-case hex digits and back: the wire kit's.
using wire::FromHex;
using wire::HexDigit;
using wire::ToHex;

// AMsg: one octet per GSM 03.38 septet, in hex. Characters of the extension table take the escape and their
// septet; a character outside both tables cannot be sent (nullopt). Reading refuses what is not hex or
// over 0x7F; an escape before a septet the extension table lacks reads as that septet, a last escape as nothing.
std::optional<std::string> EncodeAMsg(std::u32string_view text);
std::optional<std::u32string> DecodeAMsg(std::string_view hex);

// TMsg and its NB, the number of bits it carries: NB is 8 for each octet written; read back, NB must end in
// TMsg's last octet (a last octet partly used is kept whole).
struct Transparent {
    std::string nb;
    std::string tmsg;
};
Transparent EncodeTMsg(std::span<const uint8_t> octets);
std::optional<std::vector<uint8_t>> DecodeTMsg(std::string_view nb, std::string_view tmsg);

// XSer: elements of type, length and data, each octet two hex digits.
inline constexpr uint8_t kXSerUdh = 0x01; // the GSM user data header, its UDHL included
inline constexpr uint8_t kXSerDcs = 0x02; // the GSM data coding scheme, one octet

struct XSerElement {
    uint8_t type;
    std::string_view data; // hex digits, inside the XSer text read
    std::size_t offset;    // of the element's type in that text

    bool operator==(const XSerElement&) const = default;
};
// Empty for an element longer than 255 octets.
std::string XSerElementHex(uint8_t type, std::span<const uint8_t> data);
// Nullopt for an odd or non-hex text, or an element whose data runs past the end.
std::optional<std::vector<XSerElement>> ParseXSer(std::string_view xser);

// The alphanumeric OAdC (OTOA 5039): the number of semi-octets the packed septets fill, two hex digits, then
// the septets packed 7 bits apart as GSM 03.40 packs them, in hex. At most 11 septets.
inline constexpr std::string_view kOtoaAlphanumeric = "5039";
inline constexpr std::size_t kMaxAlphanumericSeptets = 11;
std::optional<std::string> PackAlphanumeric(std::u32string_view text);
std::optional<std::u32string> UnpackAlphanumeric(std::string_view oadc);

// SCTS and DSCTS are DDMMYYhhmmss; DD, VP and the like DDMMYYhhmm. Years are 2000 to 2099.
struct Timestamp {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;

    bool operator==(const Timestamp&) const = default;
};
enum class TimeFormat : uint8_t { WithSeconds, Minutes };
std::string FormatTime(const Timestamp& time, TimeFormat format = TimeFormat::WithSeconds);
// Nullopt for the wrong width, a non-digit, or a date or time that does not exist (31 April, 25 o'clock).
std::optional<Timestamp> ParseTime(std::string_view text, TimeFormat format = TimeFormat::WithSeconds);

} // namespace ucp
