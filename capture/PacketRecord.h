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

// record has room for kHeaderSize octets. Every PDU captured passes here: fixed shifts, which the
// compiler turns into whole-word stores.
inline void WriteHeader(uint8_t* record, const PacketRecordHeader& header) {
    const auto le32 = [](uint8_t* p, uint32_t v) {
        p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
    };
    const auto le16 = [](uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); };
    le32(record, header.packetLength);
    le32(record + 4, header.time);
    const uint32_t address = header.sourceAddress;
    record[8] = uint8_t(address >> 24), record[9] = uint8_t(address >> 16), record[10] = uint8_t(address >> 8);
    record[11] = uint8_t(address);
    le16(record + 12, header.sourcePort);
    le16(record + 14, header.protocol);
}

// The command id of a record of length octets; nothing when the PDU is too short to hold one.
inline std::optional<uint32_t> CommandId(const uint8_t* record, uint32_t length) {
    wire::Cursor in(record, length, kCommandIdOffset);
    const uint32_t id = in.U32();
    return in.Ok() ? std::optional<uint32_t>(id) : std::nullopt;
}

} // namespace packet_record
