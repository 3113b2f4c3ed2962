// PDU framing shared by the load generator and the bare responder.
#pragma once

#include "wire/Cursor.h"
#include "wire/Writer.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace bench {

constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kMaxPdu = 10240;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kResponseBit = 0x80000000;

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

} // namespace bench
