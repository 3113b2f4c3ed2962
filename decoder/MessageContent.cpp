// Pure readings of a short message's content: its user data header and a delivery receipt's fields.
#include "decoder/MessageContent.h"

#include <cctype>
#include <iterator>

#include "decoder/ByteReader.h"
#include "decoder/tables/TlvNames.h"

namespace {

// The reference, total and part of a concatenation element, when it is one and long enough.
std::optional<Concatenation> ReadConcatenation(const ByteReader& element, uint8_t identifier, int32_t length) {
    const bool reference8 = identifier == kUdhConcatenation8 && length >= 3;
    const bool reference16 = identifier == kUdhConcatenation16 && length >= 4;
    if (!reference8 && !reference16) return std::nullopt;
    const int32_t totalAt = reference8 ? 3 : 4;
    return Concatenation{reference8 ? element.U8(2) : element.U16Be(2), element.U8(totalAt), element.U8(totalAt + 1)};
}

// The ports of a port addressing element, when it is one of its exact length (2 or 4 octets).
std::optional<PortAddress> ReadPorts(const ByteReader& element, uint8_t identifier, int32_t length) {
    if (identifier == kUdhPorts8 && length == 2) return PortAddress{element.U8(2), element.U8(3)};
    if (identifier == kUdhPorts16 && length == 4) return PortAddress{element.U16Be(2), element.U16Be(4)};
    return std::nullopt;
}

// The byte as a receipt's text holds it; string_view's char may be signed.
uint8_t Octet(std::string_view text, size_t i) { return static_cast<uint8_t>(text[i]); }

// Whether `key` (lower case) stands at `i`, in any case.
bool KeyAt(std::string_view text, int32_t i, std::string_view key) {
    const int32_t n = static_cast<int32_t>(key.size());
    if (i < 0 || i + n > static_cast<int32_t>(text.size())) return false;
    for (int32_t k = 0; k < n; ++k)
        if (std::tolower(Octet(text, static_cast<size_t>(i + k))) != key[static_cast<size_t>(k)]) return false;
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
        const ByteReader element(p + i, end - i);
        const int32_t length = element.Has(0, 2) ? element.U8(1) : -1;
        if (length < 0 || !element.Has(2, length)) {
            header.elements.push_back({i, end - i, true, 0, -1, std::nullopt, std::nullopt});
            break;
        }
        const uint8_t identifier = element.U8(0);
        header.elements.push_back({i, 2 + length, false, identifier, length, ReadConcatenation(element, identifier, length),
                                   ReadPorts(element, identifier, length)});
        i += 2 + length;
    }
    return header;
}

std::optional<std::vector<ReceiptField>> ParseReceipt(std::string_view text) {
    // Where each key starts, -1 where the receipt leaves it out; the keys keep their order.
    constexpr int32_t kKeys = static_cast<int32_t>(std::size(ReceiptFieldKeys));
    constexpr int32_t kStatusKey = kKeys - 3;
    constexpr int32_t kTextKey = kKeys - 1;
    const int32_t width = static_cast<int32_t>(text.size());
    int32_t starts[kKeys];
    if (!KeyAt(text, 0, ReceiptFieldKeys[0])) return std::nullopt;
    starts[0] = 0;
    int32_t from = 0;
    int32_t found = 1;
    for (int32_t k = 1; k < kKeys; ++k) {
        starts[k] = -1;
        for (int32_t i = from + 1; i < width; ++i) {
            if (text[static_cast<size_t>(i - 1)] == ' ' && KeyAt(text, i, ReceiptFieldKeys[k])) {
                starts[k] = i;
                from = i;
                ++found;
                break;
            }
        }
    }
    // Everything up to the free text is printable ASCII in a receipt; anything else is a message
    // that happens to start with "id:".
    const int32_t plainEnd = starts[kTextKey] < 0 ? width : starts[kTextKey];
    for (int32_t i = 0; i < plainEnd; ++i)
        if (Octet(text, static_cast<size_t>(i)) < 0x20 || Octet(text, static_cast<size_t>(i)) >= 0x7F) return std::nullopt;
    if (starts[kStatusKey] < 0 || found < 4) return std::nullopt;

    std::vector<ReceiptField> fields;
    for (int32_t k = 0; k < kKeys; ++k) {
        if (starts[k] < 0) continue;
        const std::string_view key(ReceiptFieldKeys[k]);
        const int32_t valueAt = starts[k] + static_cast<int32_t>(key.size());
        int32_t valueEnd = width;
        for (int32_t next = k + 1; next < kKeys; ++next) {
            if (starts[next] >= 0) {
                valueEnd = starts[next] - 1; // the blank before the next key
                break;
            }
        }
        fields.push_back({key.substr(0, key.size() - 1), valueAt, valueEnd - valueAt});
    }
    return fields;
}

bool Smgp3TlvsSetUdhi(const uint8_t* p, int32_t size) {
    const ByteReader tlvs(p, size);
    for (int32_t at = 0; tlvs.Has(at, 4);) {
        const uint16_t tag = tlvs.U16Be(at);
        const int32_t length = tlvs.U16Be(at + 2);
        if (!tlvs.Has(at + 4, length)) break;
        if (tag == kSmgp3TpUdhi && length >= 1 && tlvs.U8(at + 4) == 1) return true;
        at += 4 + length;
    }
    return false;
}
