// Captured records as the control API lists them.
#include "control/PduJson.h"

#include "analysis/RecordJson.h"
#include "capture/PacketRecord.h"

#include <algorithm>
#include <string_view>

namespace {
constexpr uint32_t kHeaderSize = packet_record::kHeaderSize;
} // namespace

CPduJson::CPduJson(CPacketLog& log, const CPacketDecoder& decoder) : m_decoder(decoder), m_concatenations(log, decoder) {}

std::string CPduJson::CommandName(const PacketSummary& summary) const { return record_json::CommandName(m_decoder, summary); }

void CPduJson::AppendRecord(std::string& out, int64_t seq, const uint8_t* record, uint32_t length,
                            const PacketSummary& context) {
    // A record's seq is its serial number: the log's index of it is what the serial adds to the log's base.
    const std::optional<Reassembled> whole = m_concatenations.ReassembledAt(int32_t(seq - m_concatenations.Log().SerialBase() - 1));
    record_json::AppendRecord(out, m_decoder, seq, record, length, context, whole ? &*whole : nullptr);
}

template <typename Visit>
void CPduJson::Scan(const CPacketLog& log, const PduQuery& query, Visit visit) const {
    // Serial numbers count up by one per record, so the first record after since is found, not searched for.
    const int64_t first = std::max<int64_t>(0, query.since - log.SerialBase());
    const std::string command = query.command.toStdString();
    for (int64_t index = first; index < log.GetCount(); ++index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(int32_t(index), &length);
        if (!record || length < kHeaderSize)
            continue;
        const PacketSummary& context = log.SummaryAt(int32_t(index));
        if (query.connection != 0 && context.connection != query.connection)
            continue;
        if (!command.empty() && CommandName(context) != command)
            continue;
        if (!visit(log.SerialBase() + index + 1, record, length, context))
            return;
    }
}

QByteArray CPduJson::Query(const CPacketLog& log, const PduQuery& query) {
    std::string out = "{\"pdus\":[";
    int64_t next = std::max(query.since, log.SerialBase() + log.GetCount());
    int listed = 0;
    Scan(log, query, [&](int64_t seq, const uint8_t* record, uint32_t length, const PacketSummary& context) {
        if (listed == query.limit) {
            next = seq - 1;
            return false;
        }
        if (listed++ > 0)
            out += ',';
        AppendRecord(out, seq, record, length, context);
        return true;
    });
    out += "],\"next\":";
    out += std::to_string(next);
    out += '}';
    return QByteArray::fromStdString(out);
}

bool CPduJson::HasMatch(const CPacketLog& log, const PduQuery& query) const {
    bool found = false;
    Scan(log, query, [&](int64_t, const uint8_t*, uint32_t, const PacketSummary&) { return !(found = true); });
    return found;
}

QString ReadPduQuery(const QUrlQuery& parameters, PduQuery* query, int64_t* waitMs) {
    struct Number {
        const char* name;
        int64_t min, max;
        int64_t* out;
    };
    int64_t connection = 0, limit = query->limit;
    *waitMs = 0;
    const Number numbers[] = {
        {"since", 0, int64_t(1) << 53, &query->since},
        {"connection", 0, int64_t(1) << 53, &connection},
        {"limit", 1, 100'000, &limit},
        {"waitMs", 0, 300'000, waitMs},
    };
    for (const auto& [key, value] : parameters.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("command")) {
            query->command = value;
            continue;
        }
        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&key](const Number& n) { return key == QLatin1String(n.name); });
        if (number == std::end(numbers))
            return QString("%1: unknown parameter").arg(key);
        bool ok = false;
        const qlonglong read = value.toLongLong(&ok);
        if (!ok || read < number->min || read > number->max)
            return QString("%1: a whole number from %2 to %3 expected").arg(key).arg(number->min).arg(number->max);
        *number->out = read;
    }
    query->connection = uint64_t(connection);
    query->limit = int(limit);
    return {};
}
