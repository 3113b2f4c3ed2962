// SMPP data_coding values the servers, the router and the composer give meaning to.
#pragma once

#include <cstdint>

namespace protocol::data_coding {

inline constexpr uint8_t kDefault = 0;  // SMSC default alphabet: GSM 03.38 toward an ESME
inline constexpr uint8_t kIa5 = 1;      // IA5 / ASCII
inline constexpr uint8_t kLatin1 = 3;   // ISO-8859-1
inline constexpr uint8_t kBinary = 4;   // 8-bit data: octets as they are
inline constexpr uint8_t kUcs2 = 8;     // UCS-2, big-endian
inline constexpr uint8_t kGbk = 15;     // KS C 5601 in the standard; Chinese gateways and this tool carry GBK

// The codings a TEST DELIVER's msg_format shares with SMPP by number; every other reads as local text.
inline constexpr uint8_t kSharedWithTest[] = {kDefault, kBinary, kUcs2, kGbk};

} // namespace protocol::data_coding
