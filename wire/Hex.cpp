// ParseHex: runs of digit pairs between separators, each run optionally led by 0x.
#include "wire/Hex.h"

namespace wire {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == ',' || c == ':' ||
           c == '-';
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
            if (HexDigit(text[i]) < 0)
                return Refuse(HexError::Kind::NotHexDigit, i, 1);
        if ((i - digits) % 2 != 0 || i == digits)
            return Refuse(HexError::Kind::NotWholeBytes, start, i - start);
        for (std::size_t d = digits; d < i; d += 2)
            result.bytes.push_back(static_cast<uint8_t>(HexDigit(text[d]) << 4 | HexDigit(text[d + 1])));
    }
    return result;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string ToHex(std::span<const uint8_t> octets) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(octets.size() * 2);
    for (uint8_t octet : octets) {
        hex += kDigits[octet >> 4];
        hex += kDigits[octet & 15];
    }
    return hex;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> octets(hex.size() / 2);
    for (std::size_t i = 0; i < octets.size(); ++i) {
        const int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        octets[i] = uint8_t(high << 4 | low);
    }
    return octets;
}

} // namespace wire
