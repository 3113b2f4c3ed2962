// Pure readings of a short message's content: its user data header and a delivery receipt's fields.
#include "decoder/MessageContent.h"

#include <cctype>
#include <iterator>

#include "decoder/RecordCursor.h"
#include "decoder/tables/TlvNames.h"

namespace {

// The reference, total and part of a concatenation element, when it is one and long enough.
std::optional<Concatenation> ReadConcatenation(const wire::Cursor& element, uint8_t identifier, int32_t length) {
    const bool reference8 = identifier == kUdhConcatenation8 && length >= 3;
    const bool reference16 = identifier == kUdhConcatenation16 && length >= 4;
    if (!reference8 && !reference16) return std::nullopt;
    const int32_t totalAt = reference8 ? 3 : 4;
    return Concatenation{reference8 ? element.At(2).U8() : element.At(2).U16(), element.At(totalAt).U8(),
                         element.At(totalAt + 1).U8()};
}

// The ports of a port addressing element, when it is one of its exact length (2 or 4 octets).
std::optional<PortAddress> ReadPorts(const wire::Cursor& element, uint8_t identifier, int32_t length) {
    if (identifier == kUdhPorts8 && length == 2) return PortAddress{element.At(2).U8(), element.At(3).U8()};
    if (identifier == kUdhPorts16 && length == 4) return PortAddress{element.At(2).U16(), element.At(4).U16()};
    return std::nullopt;
}

// The byte as a receipt's text holds it; string_view's char may be signed.
uint8_t Octet(std::string_view text, size_t i) { return static_cast<uint8_t>(text[i]); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether `key` (lower case) stands at `i`, in any case; a blank in the key also matches '_'
// ("submit date:" and "submit_date:" are one key).
bool KeyAt(std::string_view text, int32_t i, std::string_view key) {
    const int32_t n = static_cast<int32_t>(key.size());
    if (i < 0 || i + n > static_cast<int32_t>(text.size())) return false;
    for (int32_t k = 0; k < n; ++k) {
        const char want = key[static_cast<size_t>(k)];
        const int got = std::tolower(Octet(text, static_cast<size_t>(i + k)));
        if (got != want && !(want == ' ' && got == '_')) return false;
    }
    return true;
}

} // namespace

std::optional<UserDataHeader> ParseUserDataHeader(const uint8_t* p, int32_t width) {
    if (!p || width < 1) return std::nullopt;
    UserDataHeader header{p[0], {}, false};
    const int32_t end = 1 + header.length;
    if (end > width) {
        header.runsPast = true;
        return header;
    }
    for (int32_t i = 1; i < end;) {
        // An element is its identifier, its length and that many octets of value.
        const wire::Cursor element = RecordCursor(p + i, end - i);
        wire::Cursor head = element;
        const uint8_t identifier = head.U8();
        const int32_t length = head.Has(1) ? head.U8() : -1;
        if (length < 0 || !head.Has(static_cast<size_t>(length))) {
            header.elements.push_back({i, end - i, true, 0, -1, std::nullopt, std::nullopt});
            break;
        }
        header.elements.push_back({i, 2 + length, false, identifier, length, ReadConcatenation(element, identifier, length),
                                   ReadPorts(element, identifier, length)});
        i += 2 + length;
    }
    return header;
}

std::optional<std::vector<ReceiptField>> ParseReceipt(std::string_view text) {
    constexpr int32_t kKeys = static_cast<int32_t>(std::size(ReceiptFieldKeys));
    const std::string_view statusKey = ReceiptFieldKeys[kKeys - 3];
    const std::string_view textKey = ReceiptFieldKeys[kKeys - 1];
    const int32_t width = static_cast<int32_t>(text.size());
    if (!KeyAt(text, 0, ReceiptFieldKeys[0])) return std::nullopt;

    // Where each key stands: at the start or after a blank, each key once, in any order; the free
    // text after "text:" holds no more keys.
    struct Found {
        int32_t at;
        int32_t key; // its row in ReceiptFieldKeys
    };
    std::vector<Found> found;
    bool seen[kKeys] = {};
    bool status = false;
    for (int32_t i = 0; i < width; ++i) {
        if (i > 0 && !IsBlank(text[static_cast<size_t>(i - 1)])) continue;
        int32_t k = 0;
        while (k < kKeys && (seen[k] || !KeyAt(text, i, ReceiptFieldKeys[k]))) ++k;
        if (k == kKeys) continue;
        seen[k] = true;
        const std::string_view key(ReceiptFieldKeys[k]);
        found.push_back({i, k});
        status = status || key == statusKey;
        if (key == textKey) break;
        i += static_cast<int32_t>(key.size()) - 1;
    }
    // Everything up to the free text is printable ASCII in a receipt; anything else is a message
    // that happens to start with "id:".
    const bool hasText = seen[kKeys - 1];
    const int32_t plainEnd = hasText ? found.back().at : width;
    for (int32_t i = 0; i < plainEnd; ++i)
        if (Octet(text, static_cast<size_t>(i)) < 0x20 || Octet(text, static_cast<size_t>(i)) >= 0x7F) return std::nullopt;
    if (!status || found.size() < 4) return std::nullopt;

    // A key is its text up to the colon, as written; its value runs to the next key, blanks around it left
    // out. Every value but the free text is one word: what follows it in a text cut short (the "te" of a
    // "text:") is not part of it.
    std::vector<ReceiptField> fields;
    for (size_t f = 0; f < found.size(); ++f) {
        const std::string_view key = ReceiptFieldKeys[found[f].key];
        const int32_t keyLength = static_cast<int32_t>(key.size());
        int32_t valueAt = found[f].at + keyLength;
        int32_t valueEnd = f + 1 < found.size() ? found[f + 1].at : width;
        while (valueAt < valueEnd && IsBlank(text[static_cast<size_t>(valueAt)])) ++valueAt;
        for (int32_t end = valueAt; key != textKey && end < valueEnd; ++end)
            if (IsBlank(text[static_cast<size_t>(end)])) valueEnd = end;
        while (valueEnd > valueAt && IsBlank(text[static_cast<size_t>(valueEnd - 1)])) --valueEnd;
        fields.push_back({text.substr(static_cast<size_t>(found[f].at), static_cast<size_t>(keyLength - 1)), valueAt,
                          valueEnd - valueAt});
    }
    return fields;
}

bool Smgp3TlvsSetUdhi(const uint8_t* p, int32_t size) {
    wire::Cursor tlvs = RecordCursor(p, size);
    while (tlvs.Has(4)) {
        const uint16_t tag = tlvs.U16();
        const std::span<const uint8_t> value = tlvs.Bytes(tlvs.U16());
        if (!tlvs.Ok()) break;
        if (tag == kSmgp3TpUdhi && !value.empty() && value[0] == 1) return true;
    }
    return false;
}
