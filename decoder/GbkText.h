// Conversion of GBK text read from the wire into the UTF-8 the decode lines carry.
#pragma once

#include <cstdint>
#include <string>

// A character that would disturb a decode line (a C0 control or DEL): shown as \xNN instead.
constexpr bool IsControl(uint32_t c) { return c < 0x20 || c == 0x7F; }

// Appends "\xNN" with two upper-case hex digits.
void AppendEscaped(std::string& out, uint8_t byte);

// Appends bytes[0, count) decoded as GB18030 (a superset of GBK), stopping early at a NUL.
// A byte that starts no valid character, or is a control character, shows as \xNN and
// decoding resumes after it.
// ASCII runs are copied without conversion.
void AppendGbkText(std::string& out, const uint8_t* bytes, int32_t count);
std::string GbkToUtf8(const uint8_t* bytes, int32_t count);

// Appends one code point as UTF-8 (a surrogate or a value above U+10FFFF becomes U+FFFD).
void AppendUtf8(std::string& out, uint32_t codePoint);
