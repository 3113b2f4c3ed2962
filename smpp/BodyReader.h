// Reading ESME request bodies: where each field the server, the router and the fault rules take
// sits, and how wide it may be, in one place.
#pragma once

#include "wire/Cursor.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace smpp {

// An address as the body holds it; the text points into the body.
struct AddressField {
    uint8_t ton = 0, npi = 0;
    std::string_view addr;
};

// Reads a submit_sm, data_sm, submit_multi or cancel_sm body up to and through its destinations,
// every string at its SMPP maximum, NUL included. Reads only the octets given; the first field
// that does not fit fails the cursor, and nothing is read after it. Made on the stack per request.
class CRequestBodyReader {
public:
    enum class Next : uint8_t {
        Destination, // *out holds the next destination
        End,         // none left, or the body failed (Cursor().Ok() tells which)
        BadFlag,     // a submit_multi dest_flag that is neither an SME address nor a list
    };
    struct Destination {
        bool list = false;    // a submit_multi distribution list: addr is its name, ton and npi 0
        AddressField address;
    };

    CRequestBodyReader(const uint8_t* body, int32_t length)
        : m_in(body, length > 0 ? static_cast<std::size_t>(length) : 0) {}

    // Everything before the first destination: service_type, the message_id of cancel_sm and the
    // source address. False for a command that carries no destination.
    bool ReadHead(uint32_t commandId, std::string_view* serviceType, AddressField* source);
    Next NextDestination(Destination* out);
    // Where the reading stands, for the fields after the destinations.
    wire::Cursor& Cursor() { return m_in; }

private:
    wire::Cursor m_in;
    int m_left = 0;        // destinations still to read
    bool m_flagged = false; // each destination opens with a dest_flag (submit_multi)
    std::size_t m_addressOctets = 0;
};

// The text a body opens with: up to its NUL, the end of the body or maxChars, whichever comes
// first. The bind's system_id and query_sm's message_id are taken so, NUL or not.
std::string_view LeadingText(const uint8_t* body, int32_t length, std::size_t maxChars);

// address_range, the last field of a bind body, behind system_id, password and system_type (each
// with its NUL within its SMPP width) and three octets; read as LeadingText. Empty when the body
// ends before it.
std::string_view BindAddressRange(const uint8_t* body, int32_t length);
// interface_version, behind system_id, password and system_type (each with its NUL within its SMPP width);
// nothing when the body ends before it.
std::optional<uint8_t> BindInterfaceVersion(const uint8_t* body, int32_t length);
// password, behind system_id (with its NUL within its SMPP width); read as LeadingText of at most
// 8 characters. Empty when the body ends before it.
std::string_view BindPassword(const uint8_t* body, int32_t length);

} // namespace smpp
