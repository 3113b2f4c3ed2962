// Pure readings of a short message's content: its user data header and a delivery receipt's fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The reference, count and number of one part of a concatenated message.
struct Concatenation {
    int32_t reference; // 8 or 16 bits, by the element
    int32_t total;
    int32_t part;
};

// The ports of an application port addressing element.
struct PortAddress {
    int32_t destination;
    int32_t origin;
};

// One information element of a user data header. Offsets count from the header's length octet.
struct UdhElement {
    int32_t offset;
    int32_t width;      // 2 + length; for an element cut short, what is left of the header
    bool cutShort;      // its identifier, length or data run past the header's end
    uint8_t identifier; // 0 when cut short
    int32_t length;     // octets of data, -1 when cut short
    std::optional<Concatenation> concatenation;
    std::optional<PortAddress> ports;
};

struct UserDataHeader {
    int32_t length;                   // the value of the length octet
    std::vector<UdhElement> elements; // in order; a cut-short element is the last
    bool runsPast;                    // the length claims more than the content holds: no elements
    // Octets the header takes from the content: none when it runs past, so the text is shown whole.
    int32_t Octets() const { return runsPast ? 0 : 1 + length; }
};

// The header at the start of `width` octets of content; nothing when there is not even a length
// octet. Reads nothing at or past p + width.
std::optional<UserDataHeader> ParseUserDataHeader(const uint8_t* p, int32_t width);

// One field of a delivery receipt's text: its key as written, without the colon, and where its value lies.
struct ReceiptField {
    std::string_view key;
    int32_t valueOffset; // from the start of the text
    int32_t valueWidth;  // up to the next key found, or the end of the text, without the blanks around it
};

// The fields of a receipt's text ("id:... sub:... ... stat:... err:... text:...", keys in any
// case and order, '_' for the blank in "submit date" and "done date", some left out, any
// spacing); nothing when the text is not a receipt: it must start with "id:", have a "stat:"
// and at least four keys, and be printable ASCII up to "text:".
std::optional<std::vector<ReceiptField>> ParseReceipt(std::string_view text);

// Whether a TP_udhi TLV of value 1 is among the SMGP 3.0 TLVs in the run of `size` octets; it
// stops at a TLV that does not fit.
bool Smgp3TlvsSetUdhi(const uint8_t* tlvs, int32_t size);
