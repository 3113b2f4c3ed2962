// A captured record as JSON.
#include "control/PduJson.h"

#include "capture/PacketRecord.h"
#include "decoder/Protocols.h"
#include "wire/Cursor.h"

#include <QDateTime>

#include <algorithm>
#include <string_view>

namespace {

constexpr uint32_t kHeaderSize = packet_record::kHeaderSize;
constexpr std::string_view kUnnamed = "未知"; // the decoder's name for a code its table lacks

// ISO 8601 in UTC with the microsecond: 2026-12-07T10:24:29.123456Z.
QString IsoTime(int64_t timeUs) {
    timeUs = std::max<int64_t>(0, timeUs);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(timeUs / 1000, Qt::UTC);
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.")) +
           QStringLiteral("%1Z").arg(timeUs % 1'000'000, 6, 10, QLatin1Char('0'));
}

// One decode line's text split where the decoder joins its parts: "LABEL: name = value".
QJsonObject FieldOf(const DecodeLine& line) {
    const std::string_view text(line.text);
    const size_t equals = text.find(" = ");
    const size_t colon = text.find(": ");
    std::string_view label, name = text.substr(0, equals), value;
    if (colon != std::string_view::npos && colon < equals) {
        label = text.substr(0, colon);
        name = text.substr(colon + 2, equals == std::string_view::npos ? std::string_view::npos : equals - colon - 2);
    }
    if (equals != std::string_view::npos)
        value = text.substr(equals + 3);
    const auto utf8 = [](std::string_view part) { return QString::fromUtf8(part.data(), qsizetype(part.size())); };
    return {{"label", utf8(label)},
            {"name", utf8(name)},
            {"value", utf8(value)},
            {"offset", int(line.offset - int32_t(kHeaderSize))},
            {"length", int(line.width)}};
}

} // namespace

CPduJson::CPduJson(const CPacketDecoder& decoder, SentByServer sentByServer)
    : m_decoder(decoder), m_sentByServer(std::move(sentByServer)) {}

QString CPduJson::CommandName(const uint8_t* record, uint32_t length) const {
    const std::optional<uint32_t> id = packet_record::CommandId(record, length);
    if (!id)
        return {};
    const ProtocolInfo* protocol = protocols::Find(packet_record::ReadHeader(record).protocol);
    const std::string name = protocol ? m_decoder.LookupCodeName(protocol->commandTable, *id) : std::string(kUnnamed);
    if (name.empty() || name == kUnnamed)
        return QStringLiteral("0x%1").arg(*id, 8, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
    return QString::fromStdString(name);
}

QJsonArray CPduJson::Fields(const uint8_t* record, uint32_t length) {
    QJsonArray fields;
    m_decoder.Decode(record, static_cast<int32_t>(length));
    // The capture header's lines describe the record, not the PDU; the record's other columns say it all.
    for (const DecodeLine& line : m_decoder.Lines())
        if (line.offset >= int32_t(kHeaderSize))
            fields.append(FieldOf(line));
    return fields;
}

QJsonObject CPduJson::Record(int64_t seq, const uint8_t* record, uint32_t length, const PacketContext& context) {
    const PacketRecordHeader header = packet_record::ReadHeader(record);
    const protocol::Protocol* protocol = protocol::Find(header.protocol);
    const wire::Cursor pdu(record + kHeaderSize, length - kHeaderSize);
    QJsonValue sequence, status;
    if (protocol) {
        // SGIP's sequence is three words; its last one counts up as the others' single word does.
        wire::Cursor at = pdu.At(protocol->sequenceOffset + protocol->sequenceSize - 4);
        const uint32_t number = at.U32();
        if (at.Ok())
            sequence = double(number);
        if (protocol->statusOffset != 0) {
            wire::Cursor statusAt = pdu.At(protocol->statusOffset);
            const uint32_t value = statusAt.U32();
            if (statusAt.Ok())
                status = double(value);
        }
    }
    const bool sent = m_sentByServer(header.protocol, header.sourceAddress, header.sourcePort);
    return {{"seq", double(seq)},
            {"time", IsoTime(context.timeUs)},
            {"protocol", protocol ? QString::fromLatin1(protocol->name.data(), qsizetype(protocol->name.size()))
                                  : QString::number(header.protocol)},
            {"command", CommandName(record, length)},
            {"commandStatus", status},
            {"sequence", sequence},
            {"connection", double(context.connection)},
            {"direction", sent ? "out" : "in"},
            {"length", double(length - kHeaderSize)},
            {"hex", QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(record + kHeaderSize),
                                                   qsizetype(length - kHeaderSize)).toHex())},
            {"fields", Fields(record, length)}};
}

template <typename Visit>
void CPduJson::Scan(const CPacketLog& log, const PduQuery& query, Visit visit) const {
    // Serial numbers count up by one per record, so the first record after since is found, not searched for.
    const int64_t first = std::max<int64_t>(0, query.since - log.SerialBase());
    const QByteArray command = query.command.toUtf8();
    for (int64_t index = first; index < log.GetCount(); ++index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(int32_t(index), &length);
        if (!record || length < kHeaderSize)
            continue;
        const PacketContext& context = log.ContextAt(int32_t(index));
        if (query.connection != 0 && context.connection != query.connection)
            continue;
        if (!command.isEmpty() && CommandName(record, length) != query.command)
            continue;
        if (!visit(log.SerialBase() + index + 1, record, length, context))
            return;
    }
}

CPduJson::Page CPduJson::Query(const CPacketLog& log, const PduQuery& query) {
    Page page;
    page.next = std::max(query.since, log.SerialBase() + log.GetCount());
    Scan(log, query, [&](int64_t seq, const uint8_t* record, uint32_t length, const PacketContext& context) {
        if (page.pdus.size() == query.limit) {
            page.next = seq - 1;
            return false;
        }
        page.pdus.append(Record(seq, record, length, context));
        return true;
    });
    return page;
}

bool CPduJson::HasMatch(const CPacketLog& log, const PduQuery& query) const {
    bool found = false;
    Scan(log, query, [&](int64_t, const uint8_t*, uint32_t, const PacketContext&) { return !(found = true); });
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
