// Conversion of GBK text read from the wire into the UTF-8 the decode lines carry.
#pragma once

#include <cstdint>
#include <string>

// Appends bytes[0, count) decoded as GB18030 (a superset of GBK), stopping early at a NUL.
// A byte that starts no valid character shows as \xNN and decoding resumes after it.
// ASCII runs are copied without conversion.
void AppendGbkText(std::string& out, const uint8_t* bytes, int32_t count);
std::string GbkToUtf8(const uint8_t* bytes, int32_t count);

// Appends one code point as UTF-8 (a surrogate or a value above U+10FFFF becomes U+FFFD).
void AppendUtf8(std::string& out, uint32_t codePoint);
