// The statistics of a run: what was captured, counted once, for the control API, the metrics page,
// the headless summary and the window's "Statistics" page.
#pragma once

#include "analysis/PacketPairs.h"
#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"
#include "smpp/SmppServer.h"
#include "simulator/LatencyHistogram.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

// Counts every captured record as it is stored (per protocol, command, command_status and
// direction, in total and per connection), submit_sm rates over the last 1, 10 and 60 seconds,
// response latencies from the pairs, and requests still unanswered. Reads each record's summary,
// never its bytes (but for the body status of a gateway protocol's answer) and never the clock.
// Survives the capture log's wipes: counts live here, not in the log, and a request in flight when
// the log is wiped is still paired with its answer afterwards. Reset starts again. Typed PDUs are
// no traffic and are not counted; PDUs opened from a capture file are counted apart ("opened") and
// kept out of the rates, the latencies and the unanswered requests. Must be added to the log after
// the pairs, so that a record is paired before it is counted (CSimulator builds them in that order).
// UI thread only.
//
// Latency is kept apart by who answered: Tarnwick (its answers to the clients' requests) and the
// clients (ESMEs' and phones' answers to the PDUs Tarnwick starts: deliver_sm, enquire_link, ...).
//
// Counting a record costs a few comparisons and increments and allocates nothing once its
// connection and its kind of PDU have been seen; everything else is worked out when read.
//
// Json(), the body of GET /api/v1/stats:
//   {"pdus": 42,                                  live records counted since the start or Reset
//    "openedPdus": 7,                             records opened from capture files, counted apart
//    "commands": [{"protocol": "SMPP", "command": "submit_sm", "in": 10, "out": 0, "opened": 3}, ...],
//    "statuses": [{"protocol": "SMPP", "status": 88, "name": "ESME_RTHROTTLED", "in": 0, "out": 2,
//                  "opened": 0}, ...],           answers only; "name" is "" where none is known
//    "submitSmPerSecond": {"1s": 5, "10s": 0.5, "60s": 0.0833},
//    "latencyMs": {"count": 12, "p50": 0.12, "p90": 0.301, "p99": 1.2, "max": 1.5},  Tarnwick's answers
//    "esmeLatencyMs": {"count": 2, ...},          the clients' answers to what Tarnwick sent
//    "unanswered": 0,
//    "connections": [{"id": 3, "pdus": 20, "commands": [...], "statuses": [...]}, ...],
//    "queues": [{"systemId": "esme1", "kept": 3, "waiting": 0, "unanswered": 10}, ...]}
//                                                 what the SMSC owes each system id now (SetQueues)
// Rows keep the order in which they first appeared; connections are listed by id. Latencies are
// milliseconds; the percentiles are within 1% of the exact value, never above "max".
class CStatistics : public CPacketLogListener {
public:
    using Clock = int64_t (*)(); // microseconds since 1970

    // Who answered a request: Tarnwick, or the client it sent the request to.
    enum class Answerer { Tarnwick, Client };
    static constexpr auto& kLatencyBoundsUs = CLatencyHistogram::kBoundsUs;
    static constexpr int kLatencyBuckets = CLatencyHistogram::kBuckets;
    // How far back the submit_sm rate is kept: the chart's five minutes.
    static constexpr int kHistorySeconds = 300;

    struct CommandRow {
        uint16_t protocol = 0;
        uint32_t command = 0;
        bool hasCommand = false; // false: the PDU was too short to hold a command id
        uint64_t in = 0, out = 0, opened = 0;
    };
    struct StatusRow {
        uint16_t protocol = 0;
        uint32_t status = 0;
        uint64_t in = 0, out = 0, opened = 0;
    };
    using LatencySummary = CLatencyHistogram::Summary;

    CStatistics(CPacketLog& log, const CPacketPairs& pairs, const CPacketDecoder& decoder);
    ~CStatistics() override;
    CStatistics(const CStatistics&) = delete;
    CStatistics& operator=(const CStatistics&) = delete;

    // GET /api/v1/stats (the shape above).
    QJsonObject Json() const;
    // GET /metrics: the Prometheus text exposition format 0.0.4.
    QByteArray Prometheus(int smppConnections, int mobileConnections) const;
    // Forgets every count, rate, latency and unanswered request; views see a new Generation.
    void Reset();
    void SetClock(Clock clock) { m_clock = clock; }
    // Where the depth of the SMSC's queues per system id is read when asked: kept for a system id
    // with no receiver bound, waiting in its connections' outboxes, and sent there unanswered.
    using QueueSource = std::function<std::vector<CSmppServer::QueueDepth>()>;
    void SetQueues(QueueSource source) { m_queues = std::move(source); }
    std::vector<CSmppServer::QueueDepth> Queues() const { return m_queues ? m_queues() : std::vector<CSmppServer::QueueDepth>{}; }
    // "esme1: 3 kept, 0 waiting, 10 unanswered; ..." ("none" when nothing waits), for the page and the table.
    std::string QueuesText() const;

    // The tables, totals over every connection, rows in the order they first appeared; a row keeps
    // its place until Reset.
    const std::vector<CommandRow>& Commands() const { return m_commands; }
    const std::vector<StatusRow>& Statuses() const { return m_statuses; }
    std::string ProtocolName(uint16_t protocol) const;
    // "submit_sm"; "0x00000777" for an id the protocol does not name; "unknown" without an id.
    std::string CommandName(const CommandRow& row) const;
    // "ESME_RTHROTTLED"; SMPP's number in hex or another protocol's in decimal where none is known.
    std::string StatusName(const StatusRow& row) const;
    // submit_sm PDUs per second over the last `seconds` (at most kHistorySeconds), at 100 ms steps.
    double SubmitSmPerSecond(int seconds) const;
    // submit_sm PDUs in each of the last kHistorySeconds seconds, the oldest first, this one last.
    std::vector<uint32_t> SubmitSmHistory() const;
    LatencySummary Latency(Answerer by) const { return Histogram(by).Summarise(); }
    // Answers per bucket of kLatencyBoundsUs (not cumulative), the one above the last bound last.
    const std::array<uint64_t, kLatencyBuckets>& LatencyBuckets(Answerer by) const {
        return Histogram(by).Buckets();
    }
    // Requests without an answer after the pairs' unanswered time, also those the log has wiped since.
    int64_t Unanswered() const;
    // Live records counted, and records opened from capture files.
    uint64_t PduCount() const { return m_pdus; }
    uint64_t OpenedCount() const { return m_opened; }
    // Changes with every Reset: rows a view was told of are gone.
    uint64_t Generation() const { return m_generation; }

    // The headless summary: both tables in columns, the rate, the latency and the unanswered count.
    std::string Table() const;
    // Both tables as comma-separated values: kind ("command" or "status"), protocol, name, in, out.
    QByteArray Csv() const;

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override {}
    void OnLogResetting() override;

private:
    // What tells two kinds of PDU apart: command id and status, then protocol and flags.
    struct Key {
        uint64_t idAndStatus = 0;
        uint32_t protocolAndFlags = 0;
        bool operator==(const Key&) const = default;
    };
    // A connection's count of one kind of PDU, with where the same kind is counted in the totals.
    struct Tally {
        Key key;
        int32_t total = 0;   // in m_totals
        int32_t command = 0; // in m_commands
        int32_t status = -1; // in m_statuses, -1 for a PDU that is no answer
        uint64_t count = 0;
    };
    struct Total {
        Key key;
        uint64_t count = 0;
    };
    struct Connection {
        std::vector<Tally> tallies;
    };
    // A request the log wiped before its answer came.
    struct Carried {
        uint64_t connection = 0;
        std::array<uint32_t, 3> sequence{};
        uint16_t family = 0;
        bool fromServer = false;
        uint32_t answerId = 0;
        int64_t timeUs = 0;
    };

    void Count(int32_t index);
    Tally& TallyOf(uint64_t connection, const Key& key);
    Tally NewTally(const Key& key);
    void AddLatency(const PacketSummary& answer, int64_t us);
    const CLatencyHistogram& Histogram(Answerer by) const {
        return by == Answerer::Tarnwick ? m_tarnwickLatency : m_clientLatency;
    }
    void AddSubmitSm(int64_t timeUs);
    uint32_t SlotCountAt(int64_t slot) const;
    static size_t RingIndex(int64_t slot) { return size_t(((slot % kSlots) + kSlots) % kSlots); }
    // Pairs an answer the pairs could not pair with a request carried over a wipe.
    void AnswerCarried(const PacketSummary& answer);
    int64_t ExpiredCarried(int64_t now) const;
    QJsonObject Tables(const std::vector<Tally>* tallies) const;
    QJsonArray QueuesJson() const;
    std::string QueuesPrometheus() const;
    void PrometheusLatency(std::ostream& out, const char* by, const CLatencyHistogram& histogram) const;

    CPacketLog& m_log;
    const CPacketPairs& m_pairs;
    const CPacketDecoder& m_decoder;
    Clock m_clock;
    uint64_t m_generation = 0;
    int64_t m_since = INT64_MIN; // when Reset was last called
    uint64_t m_pdus = 0;
    uint64_t m_opened = 0;

    std::unordered_map<uint64_t, Connection> m_connections; // by connection id; 0: none known
    uint64_t m_lastConnectionId = 0;
    Connection* m_lastConnection = nullptr; // most records follow one of the same connection
    std::vector<Total> m_totals;
    std::vector<CommandRow> m_commands;
    std::vector<StatusRow> m_statuses;

    // submit_sm per 100 ms slot (microseconds / 100'000), a ring over kHistorySeconds.
    static constexpr int64_t kSlotUs = 100'000;
    static constexpr int kSlots = kHistorySeconds * 10;
    std::array<uint32_t, kSlots> m_submitSlots{};
    int64_t m_lastSlot = INT64_MIN; // the newest slot counted into

    CLatencyHistogram m_tarnwickLatency, m_clientLatency;

    std::vector<Carried> m_carried;
    int64_t m_unansweredWiped = 0;  // unanswered when the log wiped them, or expired while carried
    std::vector<int32_t> m_waiting; // scratch for the pairs' waiting requests
    QueueSource m_queues;
};
