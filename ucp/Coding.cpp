// The codings inside UCP/EMI fields, over the GSM 03.38 tables the rest of Tarnwick reads septets with.
#include "ucp/Coding.h"

#include "protocol/GsmAlphabet.h"

#include <algorithm>

namespace ucp {

namespace {

using namespace protocol::gsm;

bool IsDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The septets of a text, an extension character as the escape and its septet; nullopt for a character
// neither table has.
std::optional<std::vector<uint8_t>> ToSeptets(std::u32string_view text) {
    std::vector<uint8_t> septets;
    septets.reserve(text.size());
    for (char32_t c : text) {
        const auto main = std::find(std::begin(GsmDefaultAlphabet), std::end(GsmDefaultAlphabet), c);
        const auto extension = std::find_if(std::begin(GsmExtensionTable), std::end(GsmExtensionTable),
                                            [c](const GsmExtension& row) { return row.character == c; });
        if (main != std::end(GsmDefaultAlphabet) && c != kGsmEscape) {
            septets.push_back(uint8_t(main - std::begin(GsmDefaultAlphabet)));
        } else if (extension != std::end(GsmExtensionTable)) {
            septets.push_back(kGsmEscape);
            septets.push_back(extension->septet);
        } else {
            return std::nullopt;
        }
    }
    return septets;
}

std::u32string FromSeptets(std::span<const uint8_t> septets) {
    std::u32string text;
    bool escaped = false;
    for (uint8_t septet : septets) {
        if (septet == kGsmEscape) {
            escaped = true;
            continue;
        }
        const auto extension = std::find_if(std::begin(GsmExtensionTable), std::end(GsmExtensionTable),
                                            [septet](const GsmExtension& row) { return row.septet == septet; });
        text += escaped && extension != std::end(GsmExtensionTable) ? extension->character : GsmDefaultAlphabet[septet];
        escaped = false;
    }
    return text;
}

// Septets packed 7 bits apart, the first in the low bits of the first octet.
std::vector<uint8_t> Pack(std::span<const uint8_t> septets) {
    std::vector<uint8_t> octets((septets.size() * 7 + 7) / 8, 0);
    for (std::size_t i = 0; i < septets.size(); ++i) {
        const std::size_t bit = i * 7, at = bit / 8, shift = bit % 8;
        octets[at] = uint8_t(octets[at] | septets[i] << shift);
        if (shift > 1)
            octets[at + 1] = uint8_t(octets[at + 1] | septets[i] >> (8 - shift));
    }
    return octets;
}

std::vector<uint8_t> Unpack(std::span<const uint8_t> octets, std::size_t count) {
    std::vector<uint8_t> septets(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t bit = i * 7, at = bit / 8, shift = bit % 8;
        const unsigned next = at + 1 < octets.size() ? octets[at + 1] : 0;
        septets[i] = uint8_t((octets[at] >> shift | next << (8 - shift)) & 0x7F);
    }
    return septets;
}

int DaysIn(int month, int year) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

std::optional<std::string> EncodeAMsg(std::u32string_view text) {
    const auto septets = ToSeptets(text);
    return septets ? std::optional(ToHex(*septets)) : std::nullopt;
}

std::optional<std::u32string> DecodeAMsg(std::string_view hex) {
    const auto octets = FromHex(hex);
    if (!octets || std::any_of(octets->begin(), octets->end(), [](uint8_t octet) { return octet > 0x7F; }))
        return std::nullopt;
    return FromSeptets(*octets);
}

Transparent EncodeTMsg(std::span<const uint8_t> octets) {
    return {std::to_string(octets.size() * 8), ToHex(octets)};
}

std::optional<std::vector<uint8_t>> DecodeTMsg(std::string_view nb, std::string_view tmsg) {
    auto octets = FromHex(tmsg);
    if (nb.empty() || nb.size() > 5 || !IsDigits(nb) || !octets)
        return std::nullopt;
    std::size_t bits = 0;
    for (char digit : nb)
        bits = bits * 10 + std::size_t(digit - '0');
    if ((bits + 7) / 8 != octets->size())
        return std::nullopt;
    return octets;
}

std::string XSerElementHex(uint8_t type, std::span<const uint8_t> data) {
    if (data.size() > 255)
        return {};
    const uint8_t head[] = {type, uint8_t(data.size())};
    return ToHex(head) + ToHex(data);
}

std::optional<std::vector<XSerElement>> ParseXSer(std::string_view xser) {
    if (!FromHex(xser))
        return std::nullopt;
    std::vector<XSerElement> elements;
    for (std::size_t at = 0; at < xser.size();) {
        if (xser.size() - at < 4)
            return std::nullopt;
        const auto head = FromHex(xser.substr(at, 4));
        const std::size_t digits = std::size_t((*head)[1]) * 2;
        if (xser.size() - at - 4 < digits)
            return std::nullopt;
        elements.push_back({(*head)[0], xser.substr(at + 4, digits), at});
        at += 4 + digits;
    }
    return elements;
}

std::optional<std::string> PackAlphanumeric(std::u32string_view text) {
    const auto septets = ToSeptets(text);
    if (!septets || septets->empty() || septets->size() > kMaxAlphanumericSeptets)
        return std::nullopt;
    const uint8_t semiOctets[] = {uint8_t((septets->size() * 7 + 3) / 4)};
    return ToHex(semiOctets) + ToHex(Pack(*septets));
}

std::optional<std::u32string> UnpackAlphanumeric(std::string_view oadc) {
    const auto octets = FromHex(oadc);
    if (!octets || octets->empty())
        return std::nullopt;
    // The length counts semi-octets; some peers count the packed octets twice over, which reads the same.
    const std::size_t semiOctets = (*octets)[0], count = semiOctets * 4 / 7;
    const std::span<const uint8_t> packed = std::span(*octets).subspan(1);
    if (count == 0 || count > kMaxAlphanumericSeptets || packed.size() != (semiOctets + 1) / 2)
        return std::nullopt;
    return FromSeptets(Unpack(packed, count));
}

std::string FormatTime(const Timestamp& t, TimeFormat format) {
    std::string text;
    for (int value : {t.day, t.month, t.year, t.hour, t.minute, t.second}) {
        text += char('0' + unsigned(value) / 10 % 10);
        text += char('0' + unsigned(value) % 10);
    }
    if (format == TimeFormat::Minutes)
        text.resize(10); // DD, VP and the like stop at the minute
    return text;
}

std::optional<Timestamp> ParseTime(std::string_view text, TimeFormat format) {
    if (text.size() != (format == TimeFormat::WithSeconds ? 12u : 10u) || !IsDigits(text))
        return std::nullopt;
    const auto pair = [text](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    Timestamp t{2000 + pair(4), pair(2), pair(0), pair(6), pair(8), format == TimeFormat::WithSeconds ? pair(10) : 0};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysIn(t.month, t.year) || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return std::nullopt;
    return t;
}

} // namespace ucp
