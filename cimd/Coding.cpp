// The codings inside CIMD2 parameters, over the GSM 03.38 tables the rest of Tarnwick reads septets with.
#include "cimd/Coding.h"

#include "protocol/GsmAlphabet.h"

#include <algorithm>

namespace cimd {

namespace {

using namespace protocol::gsm;

// The escapes of user data, each standing for one septet of the default alphabet.
struct Escape {
    std::string_view sequence;
    uint8_t septet;
};

inline constexpr Escape kEscapes[] = {
    {"_Oa", 0x00},  // @ (also written as itself)
    {"_L-", 0x01},  // £
    {"_Y-", 0x03},  // ¥
    {"_e`", 0x04},  // è
    {"_e'", 0x05},  // é
    {"_u`", 0x06},  // ù
    {"_i`", 0x07},  // ì
    {"_o`", 0x08},  // ò
    {"_C,", 0x09},  // Ç
    {"_O/", 0x0B},  // Ø
    {"_o/", 0x0C},  // ø
    {"_A*", 0x0E},  // Å
    {"_a*", 0x0F},  // å
    {"_gd", 0x10},  // Δ
    {"_--", 0x11},  // _ itself, which would otherwise open an escape
    {"_gf", 0x12},  // Φ
    {"_gg", 0x13},  // Γ
    {"_gl", 0x14},  // Λ
    {"_go", 0x15},  // Ω
    {"_gp", 0x16},  // Π
    {"_gi", 0x17},  // Ψ
    {"_gs", 0x18},  // Σ
    {"_gt", 0x19},  // Θ
    {"_gx", 0x1A},  // Ξ
    {"_XX", 0x1B},  // the escape to the extension table
    {"_AE", 0x1C},  // Æ
    {"_ae", 0x1D},  // æ
    {"_ss", 0x1E},  // ß
    {"_E'", 0x1F},  // É
    {"_qq", 0x22},  // " (also written as itself)
    {"_ox", 0x24},  // ¤
    {"_!!", 0x40},  // ¡
    {"_A\"", 0x5B}, // Ä
    {"_O\"", 0x5C}, // Ö
    {"_N~", 0x5D},  // Ñ
    {"_U\"", 0x5E}, // Ü
    {"_so", 0x5F},  // §
    {"_?\?", 0x60}, // ¿
    {"_a\"", 0x7B}, // ä
    {"_o\"", 0x7C}, // ö
    {"_n~", 0x7D},  // ñ
    {"_u\"", 0x7E}, // ü
    {"_a`", 0x7F},  // à
};

constexpr std::size_t kEscapeOctets = 3;

bool Printable(char c) { return (c >= 0x20 && c <= 0x7E) || c == '\n' || c == '\r'; }

// The septet of a character of the main table, or -1.
int MainSeptet(char32_t c) {
    const auto found = std::find(std::begin(GsmDefaultAlphabet), std::end(GsmDefaultAlphabet), c);
    return found == std::end(GsmDefaultAlphabet) || c == kGsmEscape ? -1 : int(found - std::begin(GsmDefaultAlphabet));
}

// A septet as user data writes it: its character where that is printable ASCII other than '_', else its escape.
std::optional<std::string> WriteSeptet(uint8_t septet) {
    const char32_t c = GsmDefaultAlphabet[septet];
    if (c < 0x80 && Printable(char(c)) && c != U'_')
        return std::string(1, char(c));
    const auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                     [septet](const Escape& row) { return row.septet == septet; });
    return escape == std::end(kEscapes) ? std::nullopt : std::optional<std::string>(escape->sequence);
}

int DaysIn(int month, int year) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

std::optional<std::string> EncodeUserData(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        const int septet = MainSeptet(c);
        const auto extension = std::find_if(std::begin(GsmExtensionTable), std::end(GsmExtensionTable),
                                            [c](const GsmExtension& row) { return row.character == c; });
        std::optional<std::string> written;
        if (septet >= 0)
            written = WriteSeptet(uint8_t(septet));
        else if (extension != std::end(GsmExtensionTable))
            written = WriteSeptet(kGsmEscape).value_or("") + WriteSeptet(extension->septet).value_or("");
        if (!written)
            return std::nullopt;
        out += *written;
    }
    return out;
}

std::optional<std::string> EncodeSeptets(std::span<const uint8_t> septets) {
    std::string out;
    for (uint8_t septet : septets) {
        const auto written = septet < std::size(GsmDefaultAlphabet) ? WriteSeptet(septet) : std::nullopt;
        if (!written)
            return std::nullopt;
        out += *written;
    }
    return out;
}

std::optional<std::vector<uint8_t>> DecodeSeptets(std::string_view text) {
    const auto characters = DecodeUserData(text);
    if (!characters)
        return std::nullopt;
    std::vector<uint8_t> septets;
    for (char32_t c : *characters) {
        const int septet = MainSeptet(c);
        const auto extension = std::find_if(std::begin(GsmExtensionTable), std::end(GsmExtensionTable),
                                            [c](const GsmExtension& row) { return row.character == c; });
        if (septet >= 0)
            septets.push_back(uint8_t(septet));
        else if (extension != std::end(GsmExtensionTable))
            septets.insert(septets.end(), {kGsmEscape, extension->septet});
        else
            return std::nullopt;
    }
    return septets;
}

std::optional<std::u32string> DecodeUserData(std::string_view text) {
    std::u32string out;
    bool escaped = false;
    for (std::size_t i = 0; i < text.size();) {
        int septet = -1;
        char32_t literal = 0;
        if (text[i] == '_') {
            const std::string_view sequence = text.substr(i, kEscapeOctets);
            const auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                             [sequence](const Escape& row) { return row.sequence == sequence; });
            if (escape == std::end(kEscapes))
                return std::nullopt;
            septet = escape->septet;
            i += kEscapeOctets;
        } else if (Printable(text[i])) {
            literal = char32_t(uint8_t(text[i++]));
            septet = MainSeptet(literal);
        } else {
            return std::nullopt;
        }
        if (septet == kGsmEscape && !escaped) {
            escaped = true;
            continue;
        }
        if (escaped) {
            // After the escape only a septet will do: a literal GSM lacks ('{', '`') or a second escape is none.
            if (septet < 0 || septet == kGsmEscape)
                return std::nullopt;
            const auto extension = std::find_if(std::begin(GsmExtensionTable), std::end(GsmExtensionTable),
                                                [septet](const GsmExtension& row) { return row.septet == septet; });
            out += extension != std::end(GsmExtensionTable) ? extension->character : GsmDefaultAlphabet[septet];
            escaped = false;
        } else {
            out += literal ? literal : GsmDefaultAlphabet[septet];
        }
    }
    return escaped ? std::nullopt : std::optional(out); // the extension escape must escape something
}

std::string FormatTime(const Timestamp& t) {
    std::string text;
    for (int value : {t.year, t.month, t.day, t.hour, t.minute, t.second}) {
        text += char('0' + unsigned(value) / 10 % 10);
        text += char('0' + unsigned(value) % 10);
    }
    return text;
}

std::optional<Timestamp> ParseTime(std::string_view text) {
    if (text.size() != 12 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto pair = [text](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    const Timestamp t{2000 + pair(0), pair(2), pair(4), pair(6), pair(8), pair(10)};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysIn(t.month, t.year) || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return std::nullopt;
    return t;
}

} // namespace cimd
