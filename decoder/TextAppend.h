// Small allocation-free helpers that append numbers to a decode line's text.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

// "%d" / "%u" of the value.
inline void AppendDecimal(std::string& out, int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// "%0*u": at least `digits` decimal digits, zero-padded.
inline void AppendPadded(std::string& out, uint32_t value, int digits) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (int pad = digits - static_cast<int>(result.ptr - buffer); pad > 0; --pad) out.push_back('0');
    out.append(buffer, result.ptr);
}

// "%0*X": `digits` upper-case hex digits of the low bits of the value.
inline void AppendHexDigits(std::string& out, uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back(kDigits[(value >> shift) & 0xF]);
}
