// Big-endian helpers and PDU framing shared by the load generator and the bare responder.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace bench {

constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kMaxPdu = 10240;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kResponseBit = 0x80000000;

inline uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Appends a PDU with the given header fields and body to out.
inline void AppendPdu(std::string& out, uint32_t id, uint32_t status, uint32_t sequence, const void* body,
                      uint32_t bodyLength) {
    uint8_t header[kHeaderSize];
    PutBe32(header, kHeaderSize + bodyLength);
    PutBe32(header + 4, id);
    PutBe32(header + 8, status);
    PutBe32(header + 12, sequence);
    out.append(reinterpret_cast<const char*>(header), kHeaderSize);
    out.append(static_cast<const char*>(body), bodyLength);
}

} // namespace bench
