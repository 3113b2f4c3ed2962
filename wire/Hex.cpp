// ParseHex: runs of digit pairs between separators, each run optionally led by 0x.
#include "wire/Hex.h"

namespace wire {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == ',' || c == ':' ||
           c == '-';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

HexResult Refuse(HexError::Kind kind, std::size_t position, std::size_t length) { return {{}, {kind, position, length}}; }

} // namespace

HexResult ParseHex(std::string_view text) {
    HexResult result;
    result.bytes.reserve(text.size() / 2);
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X'))
            i += 2;
        const std::size_t digits = i;
        for (; i < text.size() && !IsSeparator(text[i]); ++i)
            if (DigitValue(text[i]) < 0)
                return Refuse(HexError::Kind::NotHexDigit, i, 1);
        if ((i - digits) % 2 != 0 || i == digits)
            return Refuse(HexError::Kind::NotWholeBytes, start, i - start);
        for (std::size_t d = digits; d < i; d += 2)
            result.bytes.push_back(static_cast<uint8_t>(DigitValue(text[d]) << 4 | DigitValue(text[d + 1])));
    }
    return result;
}

} // namespace wire
