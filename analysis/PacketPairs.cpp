// Requests paired with their answers.
#include "analysis/PacketPairs.h"

#include <chrono>

namespace {

int64_t SystemClock() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

CPacketPairs::CPacketPairs(CPacketLog& log, const CPacketDecoder& decoder)
    : m_log(log), m_decoder(decoder), m_clock(SystemClock) {
    m_log.AddListener(this);
}

CPacketPairs::~CPacketPairs() { m_log.RemoveListener(this); }

CPacketPairs::Role CPacketPairs::RoleOf(int32_t) const { return Role::Other; }
int32_t CPacketPairs::PartnerOf(int32_t) const { return -1; }
std::optional<uint32_t> CPacketPairs::SequenceOf(int32_t) const { return std::nullopt; }
std::optional<uint32_t> CPacketPairs::StatusOf(int32_t) const { return std::nullopt; }
std::string CPacketPairs::StatusText(int32_t) const { return {}; }
std::optional<int64_t> CPacketPairs::LatencyUs(int32_t) const { return std::nullopt; }
bool CPacketPairs::IsUnanswered(int32_t) const { return false; }
bool CPacketPairs::IsError(int32_t) const { return false; }
void CPacketPairs::OnPacketsAdded(int32_t, int32_t) {}
void CPacketPairs::OnLogReset() {}
