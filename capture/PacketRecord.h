// The capture record's 16-octet header: its one reader and one writer.
#pragma once

#include "wire/Cursor.h"

#include <cstdint>
#include <optional>

// A PacketRecord is this header followed by the PDU as on the wire. In the header every field is
// little-endian except the address, whose four octets stay in network order (first octet first).
struct PacketRecordHeader {
    uint32_t packetLength = 0;  // 16 + PDU octets: the whole record
    uint32_t time = 0;          // seconds since 1970
    uint32_t sourceAddress = 0; // first octet in the most significant byte
    uint16_t sourcePort = 0;
    uint16_t protocol = 0;
};

namespace packet_record {

inline constexpr uint32_t kHeaderSize = 16;
// The PDU's command id is its second 32-bit word, big-endian, in every protocol we capture.
inline constexpr uint32_t kCommandIdOffset = kHeaderSize + 4;

// record holds at least kHeaderSize octets.
inline PacketRecordHeader ReadHeader(const uint8_t* record) {
    PacketRecordHeader header;
    header.packetLength = wire::ReadLe32(record);
    header.time = wire::ReadLe32(record + 4);
    header.sourceAddress = wire::ReadBe32(record + 8);
    header.sourcePort = wire::ReadLe16(record + 12);
    header.protocol = wire::ReadLe16(record + 14);
    return header;
}

// record has room for kHeaderSize octets.
inline void WriteHeader(uint8_t* record, const PacketRecordHeader& header) {
    const auto le = [](uint8_t* p, uint32_t v, int octets) {
        for (int i = 0; i < octets; ++i)
            p[i] = static_cast<uint8_t>(v >> (8 * i));
    };
    le(record, header.packetLength, 4);
    le(record + 4, header.time, 4);
    for (int i = 0; i < 4; ++i)
        record[8 + i] = static_cast<uint8_t>(header.sourceAddress >> (24 - 8 * i));
    le(record + 12, header.sourcePort, 2);
    le(record + 14, header.protocol, 2);
}

// The command id of a record of length octets; nothing when the PDU is too short to hold one.
inline std::optional<uint32_t> CommandId(const uint8_t* record, uint32_t length) {
    wire::Cursor in(record, length, kCommandIdOffset);
    const uint32_t id = in.U32();
    return in.Ok() ? std::optional<uint32_t>(id) : std::nullopt;
}

} // namespace packet_record
