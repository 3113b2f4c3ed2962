// The capture log: the logging gate and the record area.
#include "capture/PacketLog.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

namespace {

int64_t SystemTime() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

uint64_t CPacketLog::NewConnectionId() {
    static std::atomic<uint64_t> next{1};
    return next++;
}

CPacketLog::CPacketLog() : m_time(SystemTime) {}

CPacketLog::~CPacketLog() = default;

bool CPacketLog::MakeRoom(uint32_t length) {
    // 64-bit sums: a huge length must not wrap round into "fits".
    if (m_area.empty() || uint64_t(length) + kHeaderSize > kAreaSize)
        return false;
    if (uint64_t(m_used) + length + kHeaderSize > kAreaSize) {
        ++m_wipes;
        Reset();
    }
    return true;
}

bool CPacketLog::AddPacket(uint16_t protocol, uint32_t sourceAddress, uint16_t sourcePort,
                           const uint8_t* pdu, uint32_t length, int32_t filterIndex, PacketPeer peer,
                           uint64_t connection, bool fromServer) {
    if (m_area.empty())
        return false;
    if (!m_showUnknown && filterIndex == kUnknownFilterIndex)
        return true;
    if (filterIndex >= 0 && filterIndex < static_cast<int32_t>(m_filter.size()) && m_filter[filterIndex] == '0')
        return true;
    if (!MakeRoom(length))
        return false;
    PacketSummary summary{.timeUs = LiveTime(fromServer), .connection = connection,
                          .source = {sourceAddress, sourcePort}, .peer = peer, .protocol = protocol,
                          .fromServer = fromServer};
    return Store(summary, pdu, length);
}

int64_t CPacketLog::LiveTime(bool fromServer) {
    if (fromServer || !m_arrivals)
        return m_lastLiveUs = m_time();
    if (m_arrivalUs == kNoTime)
        m_arrivalUs = m_time();
    return m_lastLiveUs = std::max(m_arrivalUs, m_lastLiveUs);
}

bool CPacketLog::AddCaptured(uint16_t protocol, int64_t timeUs, uint32_t sourceAddress, uint16_t sourcePort,
                             PacketPeer peer, const uint8_t* pdu, uint32_t length, uint64_t connection,
                             bool fromServer) {
    if (!MakeRoom(length))
        return false;
    PacketSummary summary{.timeUs = timeUs, .connection = connection, .source = {sourceAddress, sourcePort},
                          .peer = peer, .protocol = protocol, .origin = PacketOrigin::Opened, .fromServer = fromServer};
    return Store(summary, pdu, length);
}

bool CPacketLog::AddTyped(uint16_t protocol, const uint8_t* pdu, uint32_t length) {
    if (!MakeRoom(length))
        return false;
    PacketSummary summary{.timeUs = m_time(), .source = {}, .peer = {}, .protocol = protocol, .origin = PacketOrigin::Typed};
    return Store(summary, pdu, length);
}

bool CPacketLog::Store(PacketSummary& summary, const uint8_t* pdu, uint32_t length) {
    uint8_t* record = m_area.data() + m_used;
    // The record keeps whole seconds (floored, also before 1970), clamped to what its field holds.
    const int64_t seconds = summary.timeUs >= 0 ? summary.timeUs / 1000000 : -((-summary.timeUs + 999999) / 1000000);
    const uint32_t time = static_cast<uint32_t>(std::clamp<int64_t>(seconds, 0, UINT32_MAX));
    packet_record::WriteHeader(record, {length + kHeaderSize, time, summary.source.address, summary.source.port,
                                        summary.protocol});
    if (length > 0)
        std::memcpy(record + kHeaderSize, pdu, length);
    packet_summary::ReadHeader(summary.protocol, record + kHeaderSize, length, summary);
    m_offsets.push_back(m_used);
    m_summaries.push_back(summary);
    m_used += kHeaderSize + length;
    const int32_t index = GetCount() - 1;
    for (CPacketLogListener* listener : m_listeners)
        listener->OnPacketsAdded(index, 1);
    return true;
}

bool CPacketLog::Reset() {
    for (CPacketLogListener* listener : m_listeners)
        listener->OnLogResetting();
    m_serialBase += static_cast<int64_t>(m_offsets.size());
    m_used = 0;
    m_offsets.clear();
    m_summaries.clear();
    if (m_area.empty()) {
        m_area.resize(kAreaSize);
        // Every record takes at least its 16-byte header, so this many offsets never regrow.
        m_offsets.reserve(kAreaSize / kHeaderSize);
        m_summaries.reserve(kAreaSize / kHeaderSize);
    }
    for (CPacketLogListener* listener : m_listeners)
        listener->OnLogReset();
    return !m_area.empty();
}

void CPacketLog::AddListener(CPacketLogListener* listener) {
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CPacketLog::RemoveListener(CPacketLogListener* listener) {
    std::erase(m_listeners, listener);
}

const uint8_t* CPacketLog::PacketAt(int32_t index, uint32_t* length) const {
    if (m_area.empty() || index < 0 || index >= GetCount())
        return nullptr;
    const uint32_t start = m_offsets[index];
    const uint32_t packetLength = wire::ReadLe32(m_area.data() + start);
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
