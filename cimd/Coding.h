// The codings inside CIMD2 parameters: user data text with its _ escapes, hex octets and time stamps.
#pragma once

#include "wire/Hex.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cimd {

// User data (033) is written in printable ASCII: a character of the GSM 03.38 default alphabet that ASCII
// lacks, and '_' itself, as a three-octet escape ("_a\"" for ä, "_--" for _); a character of the extension
// table as the escape "_XX" and the septet it follows in GSM ("_XX(" for {, "_XXe" for €). Writing refuses a
// character GSM 03.38 does not have; reading refuses an unknown escape, a cut one, and octets that are not
// printable ASCII (save CR and LF).
std::optional<std::string> EncodeUserData(std::u32string_view text);
std::optional<std::u32string> DecodeUserData(std::string_view text);
// The same between user data and GSM septets, one per octet, an extension character as the escape and its
// septet. Reading refuses besides a character GSM 03.38 lacks; writing a septet over 127.
std::optional<std::string> EncodeSeptets(std::span<const uint8_t> septets);
std::optional<std::vector<uint8_t>> DecodeSeptets(std::string_view text);

// Octets as upper-case hex digits and back: the wire kit's.
using wire::FromHex;
using wire::HexDigit;
using wire::ToHex;

// Time stamps (051, 054, 060, 063) are yyMMddhhmmss; years are 2000 to 2099.
struct Timestamp {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;

    bool operator==(const Timestamp&) const = default;
};
std::string FormatTime(const Timestamp& time);
// Nullopt for the wrong width, a non-digit, or a date or time that does not exist.
std::optional<Timestamp> ParseTime(std::string_view text);

} // namespace cimd
