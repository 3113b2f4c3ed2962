// SMPP data_coding values: the ones the servers, the router and the composer give meaning to, and every name.
#pragma once

#include "protocol/NamedValue.h"

#include <cstdint>
#include <iterator>

namespace protocol::data_coding {

inline constexpr uint8_t kDefault = 0;  // SMSC default alphabet: GSM 03.38 toward an ESME
inline constexpr uint8_t kIa5 = 1;      // IA5 / ASCII
inline constexpr uint8_t kLatin1 = 3;   // ISO-8859-1
inline constexpr uint8_t kBinary = 4;   // 8-bit data: octets as they are
inline constexpr uint8_t kUcs2 = 8;     // UCS-2, big-endian
inline constexpr uint8_t kKsc5601 = 14; // KS C 5601
inline constexpr uint8_t kGbk = 15;     // reserved in SMPP 3.4; Chinese SMSCs, and this tool, carry GB2312/GBK in it

// The codings a TEST DELIVER's msg_format shares with SMPP by number; every other reads as local text.
inline constexpr uint8_t kSharedWithTest[] = {kDefault, kBinary, kUcs2, kGbk};

// The name of each data_coding value that has one; the decoder shows it beside the value and the
// composer offers it. 15 is named as the Chinese SMSCs use it.
inline constexpr NamedValue kNames[] = {
    {0, "SMSC Default Alphabet"},
    {1, "IA5 (CCITT T.50)/ASCII (ANSI X3.4)"},
    {2, "Octet unspecified (8-bit binary)"},
    {3, "Latin 1 (ISO-8859-1)"},
    {4, "Octet unspecified (8-bit binary)"},
    {5, "JIS (X 0208-1990)"},
    {6, "Cyrllic (ISO-8859-5)"},
    {7, "Latin/Hebrew (ISO-8859-8)"},
    {8, "UCS2 (ISO/IEC-10646)"},
    {9, "Pictogram Encoding"},
    {10, "ISO-2022-JP (Music Codes)"},
    {13, "Extended Kanji JIS(X 0212-1990)"},
    {14, "KS C 5601"},
    {15, "GB2312"},
    // 1111xxxx: GSM message class control; bit 2 the alphabet, bits 1-0 the class, bit 3 reserved
    {240, "GSM message class 0, default alphabet"},
    {241, "GSM message class 1, default alphabet"},
    {242, "GSM message class 2, default alphabet"},
    {243, "GSM message class 3, default alphabet"},
    {244, "GSM message class 0, 8-bit data"},
    {245, "GSM message class 1, 8-bit data"},
    {246, "GSM message class 2, 8-bit data"},
    {247, "GSM message class 3, 8-bit data"},
    {248, "GSM message class 0, default alphabet"},
    {249, "GSM message class 1, default alphabet"},
    {250, "GSM message class 2, default alphabet"},
    {251, "GSM message class 3, default alphabet"},
    {252, "GSM message class 0, 8-bit data"},
    {253, "GSM message class 1, 8-bit data"},
    {254, "GSM message class 2, 8-bit data"},
    {255, "GSM message class 3, 8-bit data"},
};
// What a value without a row is called.
inline constexpr std::string_view kReserved = "reserved";

// The values below this are the codings of their own (0000xxxx); the composer offers each of them.
inline constexpr uint8_t kPlainCodings = 16;

static_assert(Ascending(kNames) && std::size(kNames) == 14 + 16);
static_assert(NameOf(kNames, kKsc5601) == "KS C 5601" && NameOf(kNames, kGbk) == "GB2312" && NameOf(kNames, 11).empty());

} // namespace protocol::data_coding
