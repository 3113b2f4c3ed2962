// The statistics of a run: what was captured, counted once, for the control API, the metrics page,
// the headless summary and the window's "Statistics" page.
#pragma once

#include "analysis/PacketPairs.h"
#include "capture/PacketLog.h"

#include <QByteArray>
#include <QJsonObject>

#include <cstdint>

// Counts every captured record as it is stored (per protocol, command, command_status and
// direction, in total and per connection), submit_sm rates over the last 1, 10 and 60 seconds,
// response latencies from the pairs, and requests still unanswered. Survives the capture log's
// wipes; Reset starts again. UI thread only.
class CStatistics : public CPacketLogListener {
public:
    using Clock = int64_t (*)(); // microseconds since 1970

    CStatistics(CPacketLog& log, const CPacketPairs& pairs);
    ~CStatistics() override;
    CStatistics(const CStatistics&) = delete;
    CStatistics& operator=(const CStatistics&) = delete;

    // GET /api/v1/stats.
    QJsonObject Json() const;
    // GET /metrics: the Prometheus text exposition format.
    QByteArray Prometheus(int smppConnections, int mobileConnections) const;
    void Reset();
    void SetClock(Clock clock) { m_clock = clock; }

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override;

private:
    CPacketLog& m_log;
    const CPacketPairs& m_pairs;
    Clock m_clock;
};
