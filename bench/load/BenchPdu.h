// PDU framing shared by the load generator and the bare responder.
#pragma once

#include "protocol/PduHeader.h"
#include "protocol/SmppCommands.h"
#include "wire/Cursor.h"
#include "wire/Writer.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace bench {

constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kMaxPdu = 10240;
constexpr uint32_t kBindTransceiver = protocol::smpp::kBindTransceiver;
constexpr uint32_t kSubmitSm = protocol::smpp::kSubmitSm;
constexpr uint32_t kResponseBit = protocol::kResponseBit;

using wire::ReadBe32;
using wire::WriteBe32;

// Appends a PDU with the given header fields and body to out.
inline void AppendPdu(std::string& out, uint32_t id, uint32_t status, uint32_t sequence, const void* body,
                      uint32_t bodyLength) {
    uint8_t header[kHeaderSize];
    WriteBe32(header, kHeaderSize + bodyLength);
    WriteBe32(header + 4, id);
    WriteBe32(header + 8, status);
    WriteBe32(header + 12, sequence);
    out.append(reinterpret_cast<const char*>(header), kHeaderSize);
    out.append(static_cast<const char*>(body), bodyLength);
}

// A bind body under systemId with password "pw", interface version 3.4 and no address range.
inline std::string BindBody(const std::string& systemId) {
    return systemId + '\0' + "pw" + '\0' + '\0' + "\x34" + '\0' + '\0' + '\0';
}

// A submit_sm body from 12345 to 67890 with text as its short message (at most 255 octets).
inline std::string SubmitBody(const std::string& text) {
    std::string body(1, '\0'); // service_type
    body += std::string("\1\1") + "12345" + '\0' + "\1\1" + "67890" + '\0';
    body += std::string(9, '\0'); // esm_class .. sm_default_msg_id
    body += char(text.size());
    return body + text;
}

} // namespace bench
