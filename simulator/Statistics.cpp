// Counting what was captured.
#include "simulator/Statistics.h"

#include <chrono>

namespace {

int64_t SystemClock() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

CStatistics::CStatistics(CPacketLog& log, const CPacketPairs& pairs) : m_log(log), m_pairs(pairs), m_clock(SystemClock) {
    m_log.AddListener(this);
}

CStatistics::~CStatistics() { m_log.RemoveListener(this); }

QJsonObject CStatistics::Json() const { return {}; }

QByteArray CStatistics::Prometheus(int, int) const { return {}; }

void CStatistics::Reset() {}

void CStatistics::OnPacketsAdded(int32_t, int32_t) {}

void CStatistics::OnLogReset() {}
