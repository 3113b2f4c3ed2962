// Counting what was captured, and the readers of the counts.
#include "simulator/Statistics.h"

#include "capture/PacketRecord.h"
#include "decoder/Protocols.h"
#include "protocol/PduHeader.h"
#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"
#include "protocol/SmppStatus.h"
#include "wire/Cursor.h"

#include <QJsonArray>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

namespace {

int64_t SystemClock() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

constexpr uint32_t kOut = 1, kHasCommand = 2, kHasStatus = 4, kOpened = 8;
constexpr size_t kMaxCarried = 4096; // a peer that stops answering must not make every answer slow

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// A label value or HELP text of the text exposition format: backslash, double quote and line feed escaped.
std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '"')
            out.append(1, '\\').append(1, c);
        else if (c == '\n')
            out.append("\\n");
        else
            out.append(1, c);
    }
    return out;
}

// A number as the exposition format and the JSON readers take it: no exponent, no trailing zeros.
std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string out(text);
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.')
        out.pop_back();
    return out;
}

} // namespace

CStatistics::CStatistics(CPacketLog& log, const CPacketPairs& pairs, const CPacketDecoder& decoder)
    : m_log(log), m_pairs(pairs), m_decoder(decoder), m_clock(SystemClock) {
    m_log.AddListener(this);
    OnPacketsAdded(0, m_log.GetCount());
}

CStatistics::~CStatistics() { m_log.RemoveListener(this); }

void CStatistics::Reset() {
    m_connections.clear();
    m_lastConnection = nullptr;
    m_totals.clear();
    m_commands.clear();
    m_statuses.clear();
    m_submitSlots.fill(0);
    m_lastSlot = INT64_MIN;
    m_tarnwickLatency = {};
    m_clientLatency = {};
    m_carried.clear();
    m_unansweredWiped = 0;
    m_pdus = 0;
    m_opened = 0;
    ++m_generation;
    // Requests waiting in the log from before are not this run's to count as unanswered; whichever
    // of the capture and the statistics is reset first.
    m_since = m_clock();
}

void CStatistics::OnPacketsAdded(int32_t first, int32_t count) {
    for (int32_t index = first; index < first + count; ++index)
        Count(index);
}

// The hot path: every PDU the servers see passes here once.
void CStatistics::Count(int32_t index) {
    const PacketSummary& summary = m_log.SummaryAt(index);
    if (summary.origin == PacketOrigin::Typed)
        return;
    const bool opened = summary.origin == PacketOrigin::Opened;
    uint32_t flags = (summary.fromServer ? kOut : 0) | (summary.Has(PacketSummary::kHasCommand) ? kHasCommand : 0) |
                     (opened ? kOpened : 0);
    uint32_t status = 0;
    if (m_pairs.RoleOf(index) == CPacketPairs::Role::Response) {
        if (summary.Has(PacketSummary::kHasStatus)) {
            status = summary.status;
            flags |= kHasStatus;
        } else if (const std::optional<uint32_t> read = m_pairs.StatusOf(index)) {
            status = *read; // a gateway protocol's answer carries it in its body
            flags |= kHasStatus;
        }
        // Another run's answers say nothing of this one's latency.
        const std::optional<int64_t> latency = opened ? std::nullopt : m_pairs.LatencyUs(index);
        if (latency)
            AddLatency(summary, *latency);
        else if (!opened && !m_carried.empty())
            AnswerCarried(summary);
    }
    const Key key{uint64_t(summary.command) << 32 | status, uint32_t(summary.protocol) | flags << 16};
    Tally& tally = TallyOf(summary.connection, key);
    ++tally.count;
    ++m_totals[size_t(tally.total)].count;
    CommandRow& command = m_commands[size_t(tally.command)];
    ++(opened ? command.opened : summary.fromServer ? command.out : command.in);
    if (tally.status >= 0) {
        StatusRow& row = m_statuses[size_t(tally.status)];
        ++(opened ? row.opened : summary.fromServer ? row.out : row.in);
    }
    if (opened) {
        ++m_opened;
        return;
    }
    ++m_pdus;
    if (summary.protocol == protocol::kSmpp && summary.command == protocol::smpp::kSubmitSm &&
        summary.Has(PacketSummary::kHasCommand))
        AddSubmitSm(summary.timeUs);
}

CStatistics::Tally& CStatistics::TallyOf(uint64_t connectionId, const Key& key) {
    if (!m_lastConnection || m_lastConnectionId != connectionId) {
        m_lastConnection = &m_connections[connectionId];
        m_lastConnectionId = connectionId;
    }
    std::vector<Tally>& tallies = m_lastConnection->tallies;
    for (Tally& tally : tallies)
        if (tally.key == key)
            return tally;
    tallies.push_back(NewTally(key));
    return tallies.back();
}

// The first PDU of its kind on a connection: finds or makes its rows in the totals.
CStatistics::Tally CStatistics::NewTally(const Key& key) {
    Tally tally{key};
    const auto total = std::find_if(m_totals.begin(), m_totals.end(), [&](const Total& t) { return t.key == key; });
    tally.total = int32_t(total - m_totals.begin());
    if (total == m_totals.end())
        m_totals.push_back({key, 0});

    const uint16_t protocol = uint16_t(key.protocolAndFlags);
    const uint32_t flags = key.protocolAndFlags >> 16;
    const uint32_t id = uint32_t(key.idAndStatus >> 32);
    const bool hasCommand = flags & kHasCommand;
    const auto command = std::find_if(m_commands.begin(), m_commands.end(), [&](const CommandRow& row) {
        return row.protocol == protocol && row.hasCommand == hasCommand && row.command == id;
    });
    tally.command = int32_t(command - m_commands.begin());
    if (command == m_commands.end())
        m_commands.push_back({protocol, id, hasCommand});

    if (flags & kHasStatus) {
        const uint32_t status = uint32_t(key.idAndStatus);
        const auto row = std::find_if(m_statuses.begin(), m_statuses.end(),
                                      [&](const StatusRow& r) { return r.protocol == protocol && r.status == status; });
        tally.status = int32_t(row - m_statuses.begin());
        if (row == m_statuses.end())
            m_statuses.push_back({protocol, status});
    }
    return tally;
}

// An answer the server sent is Tarnwick's; one it received is the client's.
void CStatistics::AddLatency(const PacketSummary& answer, int64_t us) {
    (answer.fromServer ? m_tarnwickLatency : m_clientLatency).Add(us);
}

void CStatistics::AddSubmitSm(int64_t timeUs) {
    const int64_t slot = FloorDiv(timeUs, kSlotUs);
    if (m_lastSlot == INT64_MIN) {
        m_lastSlot = slot;
    } else if (slot > m_lastSlot) {
        for (int64_t s = m_lastSlot + 1, end = std::min(slot, m_lastSlot + kSlots); s <= end; ++s)
            m_submitSlots[RingIndex(s)] = 0;
        m_lastSlot = slot;
    } else if (slot <= m_lastSlot - kSlots) {
        return; // older than anything kept (a capture file's)
    }
    ++m_submitSlots[RingIndex(slot)];
}

uint32_t CStatistics::SlotCountAt(int64_t slot) const {
    if (m_lastSlot == INT64_MIN || slot > m_lastSlot || slot <= m_lastSlot - kSlots)
        return 0;
    return m_submitSlots[RingIndex(slot)];
}

double CStatistics::SubmitSmPerSecond(int seconds) const {
    seconds = std::clamp(seconds, 1, kHistorySeconds);
    const int64_t now = FloorDiv(m_clock(), kSlotUs);
    uint64_t sum = 0;
    for (int64_t slot = now - seconds * 10 + 1; slot <= now; ++slot)
        sum += SlotCountAt(slot);
    return double(sum) / seconds;
}

std::vector<uint32_t> CStatistics::SubmitSmHistory() const {
    const int64_t second = FloorDiv(m_clock(), 1'000'000);
    std::vector<uint32_t> history(kHistorySeconds, 0);
    for (int i = 0; i < kHistorySeconds; ++i) {
        const int64_t first = (second - kHistorySeconds + 1 + i) * 10;
        for (int64_t slot = first; slot < first + 10; ++slot)
            history[size_t(i)] += SlotCountAt(slot);
    }
    return history;
}

// The log is about to forget its records: requests still waiting go on waiting here.
void CStatistics::OnLogResetting() {
    const int64_t now = m_clock();
    const int64_t after = m_pairs.UnansweredAfterUs();
    const auto expired = std::remove_if(m_carried.begin(), m_carried.end(),
                                        [&](const Carried& c) { return now - c.timeUs >= after; });
    m_unansweredWiped += m_carried.end() - expired;
    m_carried.erase(expired, m_carried.end());

    m_waiting.clear();
    m_pairs.WaitingRequests(m_waiting);
    for (int32_t request : m_waiting) {
        const PacketSummary& summary = m_log.SummaryAt(request);
        if (summary.origin != PacketOrigin::Live || summary.timeUs < m_since)
            continue;
        if (m_pairs.IsUnanswered(request)) {
            ++m_unansweredWiped;
            continue;
        }
        if (m_carried.size() < kMaxCarried)
            m_carried.push_back({summary.connection, summary.sequence, summary.family, summary.fromServer,
                                 protocol::ResponseIdOf(summary.command), summary.timeUs});
    }
}

// As the pairs pair: same connection, family and sequence, the answer expected (or an SMPP
// generic_nack), sent by the other end.
void CStatistics::AnswerCarried(const PacketSummary& answer) {
    if (!answer.Has(PacketSummary::kHasSequence))
        return;
    const bool nack = answer.family == protocol::kSmpp && answer.command == protocol::smpp::kGenericNack;
    for (auto it = m_carried.rbegin(); it != m_carried.rend(); ++it) {
        if (it->connection != answer.connection || it->family != answer.family || it->sequence != answer.sequence ||
            it->fromServer == answer.fromServer || (it->answerId != answer.command && !nack))
            continue;
        AddLatency(answer, answer.timeUs - it->timeUs);
        *it = m_carried.back();
        m_carried.pop_back();
        return;
    }
}

int64_t CStatistics::ExpiredCarried(int64_t now) const {
    const int64_t after = m_pairs.UnansweredAfterUs();
    return std::count_if(m_carried.begin(), m_carried.end(), [&](const Carried& c) { return now - c.timeUs >= after; });
}

int64_t CStatistics::Unanswered() const {
    std::vector<int32_t> waiting;
    m_pairs.WaitingRequests(waiting);
    const int64_t live = std::count_if(waiting.begin(), waiting.end(), [&](int32_t request) {
        const PacketSummary& summary = m_log.SummaryAt(request);
        return summary.origin == PacketOrigin::Live && summary.timeUs >= m_since && m_pairs.IsUnanswered(request);
    });
    return live + m_unansweredWiped + ExpiredCarried(m_clock());
}

std::string CStatistics::ProtocolName(uint16_t code) const {
    const protocol::Protocol* known = protocol::Find(code);
    return known ? std::string(known->name) : std::to_string(code);
}

std::string CStatistics::CommandName(const CommandRow& row) const {
    if (!row.hasCommand)
        return "unknown";
    const ProtocolInfo* info = protocols::Find(row.protocol);
    if (info && m_decoder.Names().HasCodeName(info->commandTable, row.command))
        return std::string(m_decoder.Names().FindCodeName(info->commandTable, row.command));
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", row.command);
    return hex;
}

std::string CStatistics::StatusName(const StatusRow& row) const {
    if (row.protocol != protocol::kSmpp)
        return std::to_string(row.status);
    const std::string_view name = protocol::smpp::StatusName(row.status);
    if (!name.empty())
        return std::string(name);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", row.status);
    return hex;
}

// The command and status tables of the tallies of one connection, or the totals for nullptr.
QJsonObject CStatistics::Tables(const std::vector<Tally>* tallies) const {
    std::vector<CommandRow> commands;
    std::vector<StatusRow> statuses;
    if (tallies) {
        // Summed in the order of the totals, so every list reads alike.
        std::map<int32_t, CommandRow> byCommand;
        std::map<int32_t, StatusRow> byStatus;
        for (const Tally& tally : *tallies) {
            const uint32_t flags = tally.key.protocolAndFlags >> 16;
            const auto counter = [flags](auto& row) -> uint64_t& {
                return flags & kOpened ? row.opened : flags & kOut ? row.out : row.in;
            };
            const CommandRow& total = m_commands[size_t(tally.command)];
            counter(byCommand.try_emplace(tally.command, CommandRow{total.protocol, total.command, total.hasCommand})
                        .first->second) += tally.count;
            if (tally.status < 0)
                continue;
            const StatusRow& totalStatus = m_statuses[size_t(tally.status)];
            counter(byStatus.try_emplace(tally.status, StatusRow{totalStatus.protocol, totalStatus.status}).first->second) +=
                tally.count;
        }
        for (const auto& [index, row] : byCommand)
            commands.push_back(row);
        for (const auto& [index, row] : byStatus)
            statuses.push_back(row);
    }
    QJsonArray commandList, statusList;
    for (const CommandRow& row : tallies ? commands : m_commands)
        commandList.append(QJsonObject{{"protocol", QString::fromStdString(ProtocolName(row.protocol))},
                                       {"command", QString::fromStdString(CommandName(row))},
                                       {"in", qint64(row.in)},
                                       {"out", qint64(row.out)},
                                       {"opened", qint64(row.opened)}});
    for (const StatusRow& row : tallies ? statuses : m_statuses) {
        const std::string_view name = row.protocol == protocol::kSmpp ? protocol::smpp::StatusName(row.status) : "";
        statusList.append(QJsonObject{{"protocol", QString::fromStdString(ProtocolName(row.protocol))},
                                      {"status", qint64(row.status)},
                                      {"name", QString::fromUtf8(name.data(), qsizetype(name.size()))},
                                      {"in", qint64(row.in)},
                                      {"out", qint64(row.out)},
                                      {"opened", qint64(row.opened)}});
    }
    return {{"commands", commandList}, {"statuses", statusList}};
}

QJsonObject CStatistics::Json() const {
    QJsonObject json = Tables(nullptr);
    json.insert("pdus", qint64(m_pdus));
    json.insert("openedPdus", qint64(m_opened));
    json.insert("submitSmPerSecond", QJsonObject{{"1s", SubmitSmPerSecond(1)},
                                                 {"10s", SubmitSmPerSecond(10)},
                                                 {"60s", SubmitSmPerSecond(60)}});
    const auto latency = [](const LatencySummary& summary) {
        return QJsonObject{{"count", qint64(summary.count)},
                           {"p50", summary.p50},
                           {"p90", summary.p90},
                           {"p99", summary.p99},
                           {"max", summary.max}};
    };
    json.insert("latencyMs", latency(Latency(Answerer::Tarnwick)));
    json.insert("esmeLatencyMs", latency(Latency(Answerer::Client)));
    json.insert("unanswered", qint64(Unanswered()));
    std::vector<uint64_t> ids;
    for (const auto& [id, connection] : m_connections)
        if (id != 0)
            ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    QJsonArray connections;
    for (uint64_t id : ids) {
        const std::vector<Tally>& tallies = m_connections.at(id).tallies;
        uint64_t pdus = 0;
        for (const Tally& tally : tallies)
            pdus += tally.count;
        QJsonObject connection = Tables(&tallies);
        connection.insert("id", qint64(id));
        connection.insert("pdus", qint64(pdus));
        connections.append(connection);
    }
    json.insert("connections", connections);
    json.insert("queues", QueuesJson());
    return json;
}

QByteArray CStatistics::Prometheus(int smppConnections, int mobileConnections) const {
    std::ostringstream out;
    const auto counts = [&](const char* family, const char* help, uint32_t opened) {
        out << "# HELP " << family << ' ' << help << "\n# TYPE " << family << " counter\n";
        for (const Total& total : m_totals) {
            const uint32_t flags = total.key.protocolAndFlags >> 16;
            if ((flags & kOpened) != opened)
                continue;
            const uint16_t protocol = uint16_t(total.key.protocolAndFlags);
            const CommandRow command{protocol, uint32_t(total.key.idAndStatus >> 32), bool(flags & kHasCommand)};
            const std::string status =
                flags & kHasStatus ? StatusName({protocol, uint32_t(total.key.idAndStatus)}) : std::string();
            out << family << "{protocol=\"" << Escaped(ProtocolName(protocol)) << "\",command=\""
                << Escaped(CommandName(command)) << "\",status=\"" << Escaped(status) << "\",direction=\""
                << (flags & kOut ? "out" : "in") << "\"} " << total.count << '\n';
        }
    };
    counts("tarnwick_pdus_total",
           "PDUs captured, by protocol, command, command_status (answers only) and direction (in: received by the "
           "server, out: sent by it).",
           0);
    counts("tarnwick_opened_pdus_total", "PDUs opened from capture files, counted apart from the run's traffic.",
           kOpened);
    out << "# HELP tarnwick_connections Connections open now, by server.\n"
           "# TYPE tarnwick_connections gauge\n"
           "tarnwick_connections{server=\"smpp\"} "
        << smppConnections << "\ntarnwick_connections{server=\"mobile\"} " << mobileConnections << '\n';
    out << "# HELP tarnwick_response_latency_seconds Time from a request to its answer, by who answered (tarnwick: "
           "its answers to the clients' requests; esme: the clients' answers to what it sent).\n"
           "# TYPE tarnwick_response_latency_seconds histogram\n";
    PrometheusLatency(out, "tarnwick", m_tarnwickLatency);
    PrometheusLatency(out, "esme", m_clientLatency);
    out << "# HELP tarnwick_unanswered_requests Requests without an answer after the unanswered time.\n"
           "# TYPE tarnwick_unanswered_requests gauge\n"
           "tarnwick_unanswered_requests "
        << Unanswered() << '\n' << QueuesPrometheus();
    const std::string text = out.str();
    return QByteArray(text.data(), qsizetype(text.size()));
}

void CStatistics::PrometheusLatency(std::ostream& out, const char* by, const CLatencyHistogram& histogram) const {
    uint64_t cumulative = 0;
    for (size_t i = 0; i < histogram.Buckets().size(); ++i) {
        cumulative += histogram.Buckets()[i];
        const std::string le = i < kLatencyBoundsUs.size() ? Number(double(kLatencyBoundsUs[i]) / 1e6) : "+Inf";
        out << "tarnwick_response_latency_seconds_bucket{by=\"" << by << "\",le=\"" << le << "\"} " << cumulative
            << '\n';
    }
    out << "tarnwick_response_latency_seconds_sum{by=\"" << by << "\"} " << Number(double(histogram.SumUs()) / 1e6)
        << "\ntarnwick_response_latency_seconds_count{by=\"" << by << "\"} " << histogram.Count() << '\n';
}

std::string CStatistics::Table() const {
    using Row = std::array<std::string, 5>;
    const auto columns = [](const std::vector<Row>& rows) {
        std::array<size_t, 5> width{};
        for (const auto& row : rows)
            for (size_t i = 0; i < row.size(); ++i)
                width[i] = std::max(width[i], row[i].size());
        std::string text;
        for (const auto& row : rows) {
            for (size_t i = 0; i < row.size(); ++i) {
                const std::string pad(width[i] - row[i].size(), ' ');
                // Names to the left, counts to the right.
                text += i < 2 ? row[i] + pad : pad + row[i];
                text += i + 1 < row.size() ? "  " : "\n";
            }
        }
        return text;
    };
    const auto counts = [](const auto& row) {
        return std::array<std::string, 3>{std::to_string(row.in), std::to_string(row.out), std::to_string(row.opened)};
    };
    std::vector<Row> commands{{"Protocol", "Command", "In", "Out", "Opened"}};
    for (const CommandRow& row : m_commands) {
        const auto [in, out, opened] = counts(row);
        commands.push_back({ProtocolName(row.protocol), CommandName(row), in, out, opened});
    }
    std::vector<Row> statuses{{"Protocol", "Status", "In", "Out", "Opened"}};
    for (const StatusRow& row : m_statuses) {
        const auto [in, out, opened] = counts(row);
        statuses.push_back({ProtocolName(row.protocol), StatusName(row), in, out, opened});
    }
    const auto latency = [](const char* whose, const LatencySummary& l) {
        char line[160];
        std::snprintf(line, sizeof line, "Response latency of %s (ms): p50 %.3f, p90 %.3f, p99 %.3f, max %.3f (%llu answers)\n",
                      whose, l.p50, l.p90, l.p99, l.max, static_cast<unsigned long long>(l.count));
        return std::string(line);
    };
    char rates[160];
    std::snprintf(rates, sizeof rates, "submit_sm per second: %.1f (1 s), %.1f (10 s), %.1f (60 s)\n",
                  SubmitSmPerSecond(1), SubmitSmPerSecond(10), SubmitSmPerSecond(60));
    return "Statistics: " + std::to_string(m_pdus) + " PDUs (" + std::to_string(m_opened) +
           " opened from capture files, counted apart)\n" + columns(commands) + "\n" + columns(statuses) + "\n" + rates +
           latency("Tarnwick's answers", Latency(Answerer::Tarnwick)) +
           latency("the ESMEs' answers", Latency(Answerer::Client)) +
           "Unanswered requests: " + std::to_string(Unanswered()) + "\n" + "Queues: " + QueuesText() + "\n";
}

QByteArray CStatistics::Csv() const {
    // Names hold no comma or quote (protocol tables and hex numbers), so no field needs quoting.
    std::string text = "kind,protocol,name,in,out,opened\n";
    const auto line = [&text](const char* kind, const std::string& protocol, const std::string& name, const auto& row) {
        text += std::string(kind) + "," + protocol + "," + name + "," + std::to_string(row.in) + "," +
                std::to_string(row.out) + "," + std::to_string(row.opened) + "\n";
    };
    for (const CommandRow& row : m_commands)
        line("command", ProtocolName(row.protocol), CommandName(row), row);
    for (const StatusRow& row : m_statuses)
        line("status", ProtocolName(row.protocol), StatusName(row), row);
    return QByteArray(text.data(), qsizetype(text.size()));
}

QJsonArray CStatistics::QueuesJson() const {
    QJsonArray queues;
    for (const CSmppServer::QueueDepth& depth : Queues())
        queues.append(QJsonObject{{"systemId", QString::fromStdString(depth.systemId)},
                                  {"kept", qint64(depth.kept)},
                                  {"waiting", qint64(depth.waiting)},
                                  {"unanswered", qint64(depth.unanswered)}});
    return queues;
}

std::string CStatistics::QueuesPrometheus() const {
    std::string text = "# HELP tarnwick_smpp_queue_depth Messages the SMSC owes a system id now: kept while no "
                       "receiver is bound, waiting in its outboxes, or sent there unanswered.\n"
                       "# TYPE tarnwick_smpp_queue_depth gauge\n";
    for (const CSmppServer::QueueDepth& depth : Queues()) {
        for (const auto& [queue, count] : {std::pair{"kept", depth.kept}, std::pair{"waiting", depth.waiting},
                                           std::pair{"unanswered", depth.unanswered}})
            text += "tarnwick_smpp_queue_depth{system_id=\"" + Escaped(depth.systemId) + "\",queue=\"" + queue +
                    "\"} " + std::to_string(count) + "\n";
    }
    return text;
}

std::string CStatistics::QueuesText() const {
    std::string text;
    for (const CSmppServer::QueueDepth& depth : Queues())
        text += (text.empty() ? "" : "; ") + depth.systemId + ": " + std::to_string(depth.kept) + " kept, " +
                std::to_string(depth.waiting) + " waiting, " + std::to_string(depth.unanswered) + " unanswered";
    return text.empty() ? "none" : text;
}
