// The capture log: the logging gate and the record area.
#include "capture/PacketLog.h"

#include <cstring>
#include <ctime>

namespace {

uint32_t SystemTime() { return static_cast<uint32_t>(std::time(nullptr)); }

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t GetLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

CPacketLog::CPacketLog() : m_time(SystemTime) {}

CPacketLog::~CPacketLog() = default;

bool CPacketLog::AddPacket(uint16_t protocol, uint32_t sourceAddress, uint16_t sourcePort,
                           const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
    if (m_area.empty())
        return false;
    // 64-bit sum: a huge length must not wrap round into "fits".
    if (uint64_t(m_used) + length + kHeaderSize > kAreaSize) {
        m_full = true;
        return false;
    }
    if (!m_showUnknown && filterIndex == kUnknownFilterIndex)
        return true;
    if (filterIndex >= 0 && filterIndex < static_cast<int32_t>(m_filter.size()) && m_filter[filterIndex] == '0')
        return true;

    uint8_t* record = m_area.data() + m_used;
    PutLe32(record, length + kHeaderSize);
    PutLe32(record + 4, m_time());
    record[8] = static_cast<uint8_t>(sourceAddress >> 24);
    record[9] = static_cast<uint8_t>(sourceAddress >> 16);
    record[10] = static_cast<uint8_t>(sourceAddress >> 8);
    record[11] = static_cast<uint8_t>(sourceAddress);
    PutLe16(record + 12, sourcePort);
    PutLe16(record + 14, protocol);
    if (length > 0)
        std::memcpy(record + kHeaderSize, pdu, length);
    m_offsets.push_back(m_used);
    m_used += kHeaderSize + length;
    return true;
}

bool CPacketLog::Reset() {
    m_used = 0;
    m_offsets.clear();
    m_full = false;
    if (m_area.empty()) {
        m_area.resize(kAreaSize);
        // Every record takes at least its 16-byte header, so this many offsets never regrow.
        m_offsets.reserve(kAreaSize / kHeaderSize);
    }
    return !m_area.empty();
}

const uint8_t* CPacketLog::PacketAt(int32_t index, uint32_t* length) const {
    if (m_area.empty() || index < 0 || index >= GetCount())
        return nullptr;
    const uint32_t start = m_offsets[index];
    const uint32_t packetLength = GetLe32(m_area.data() + start);
    if (uint64_t(start) + packetLength > kAreaSize)
        return nullptr;
    if (length)
        *length = packetLength;
    return m_area.data() + start;
}

bool CPacketLog::GetPacket(int32_t index, uint8_t* buffer, uint32_t* length) const {
    uint32_t packetLength = 0;
    const uint8_t* record = PacketAt(index, &packetLength);
    if (!record)
        return false;
    std::memcpy(buffer, record, packetLength);
    if (length)
        *length = packetLength;
    return true;
}
