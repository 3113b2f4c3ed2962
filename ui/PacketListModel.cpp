// The packet list's model over the capture log.
#include "ui/PacketListModel.h"

#include "analysis/PacketPairs.h"
#include "capture/PacketRecord.h"
#include "decoder/Formatters.h"
#include "decoder/PacketDecoder.h"
#include "decoder/Listing.h"
#include "decoder/Protocols.h"
#include "decoder/tables/FieldNames.h"
#include "ui/Icons.h"

#include <algorithm>
#include <span>

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QStyle>


namespace {

struct ColumnSpec {
    const char* title;
    Qt::Alignment alignment;
    const char* widest; // the longest text its cells commonly hold
};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

constexpr ColumnSpec kColumns[CPacketListModel::kFixedColumnCount] = {
    {"Seq", Qt::AlignCenter, "100000"},
    {"Source IP", Qt::AlignCenter, "127.000.000.001"},
    {"Source port", Qt::AlignCenter, "65535"},
    {"Description", kLeft, "SMPP:submit_sm_resp"}, // the rarer, longer names give way at the window's first size
    {"Len", kLeft, "9999"},
    {"Time", Qt::AlignCenter, "2026-12-07 10:11:12.345"},
    {"Status", kLeft, "ESME_RINVCMDID"},
    {"Latency", Qt::AlignRight | Qt::AlignVCenter, "999.999"},
    {"Destination", kLeft, "+8613800138000"},
    {"Source address", kLeft, "+8613800138000"},
};
// An added field's column: its name is its title.
constexpr ColumnSpec kAddedColumn = {"", kLeft, "0x00000000"};

// How many records' field values the model keeps: several screens of rows.
constexpr size_t kFieldValueRows = 4096;

std::vector<std::string> Names(std::span<const std::string_view> names) { return {names.begin(), names.end()}; }

// "2026-12-07 10:11:12.345" in local time.
QString CaptureTime(int64_t timeUs) {
    const int64_t us = std::max<int64_t>(timeUs, 0);
    return QString::fromStdString(FormatLocalTime(us / 1'000'000)) +
           QStringLiteral(".%1").arg(us / 1000 % 1000, 3, 10, QLatin1Char('0'));
}

// Milliseconds with the microseconds a loopback answer needs to show as more than 0.
QString Latency(int64_t us) { return QString::number(double(us) / 1000.0, 'f', 3); }

} // namespace

CPacketListModel::CPacketListModel(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs,
                                   QObject* parent)
    : QAbstractTableModel(parent),
      m_log(log),
      m_decoder(decoder),
      m_pairs(pairs),
      m_fieldColumns{Names(field_names::kDestinationFields), Names(field_names::kSourceFields)},
      m_fieldDecoder(decoder) {
    m_log.AddListener(this);
    // Records stored before the view existed arrive the way new ones do.
    if (m_log.GetCount() > 0)
        OnPacketsAdded(0, m_log.GetCount());
}

CPacketListModel::~CPacketListModel() { m_log.RemoveListener(this); }

int CPacketListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int CPacketListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kDestination + static_cast<int>(m_fieldColumns.size());
}

QVariant CPacketListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(index.column() < kFixedColumnCount ? kColumns[index.column()].alignment
                                                                       : kAddedColumn.alignment);
    case kRecordRole: return row;
    case Qt::ForegroundRole:
        return m_pairs.IsError(row) ? QVariant(icons::ErrorColour(QApplication::palette())) : QVariant();
    case Qt::DecorationRole:
        if (index.column() == kStatus)
            return m_pairs.IsError(row) ? QVariant(icons::ErrorIcon()) : QVariant();
        if (index.column() != kSeq)
            return {};
        break;
    case Qt::DisplayRole: break;
    default: return {};
    }

    uint32_t length = 0;
    const uint8_t* record = m_log.PacketAt(index.row(), &length);
    if (!record)
        return {};
    if (index.column() >= kDestination)
        return FieldValue(row, index.column());
    // What a row shows of its record is the record's summary, read from its header once when it was stored.
    const PacketSummary& summary = m_log.SummaryAt(row);
    if (role == Qt::DecorationRole) {
        const ProtocolInfo* protocol = protocols::Find(summary.protocol);
        return protocol ? icons::DecodeIcon(CPacketDecoder::IconIndex(protocol->rowIcon)) : QVariant();
    }
    switch (index.column()) {
    case kSeq: return index.row() + 1;
    case kSourceIp: return QString::fromStdString(FormatIpv4(summary.source.address));
    case kSourcePort: return summary.source.port;
    case kDescription: return Description(summary);
    case kLen: return length;
    case kTime: return CaptureTime(summary.timeUs);
    case kStatus: return QString::fromStdString(m_pairs.StatusText(row));
    case kLatency: {
        const std::optional<int64_t> us = m_pairs.LatencyUs(row);
        return us ? Latency(*us) : QString();
    }
    default: return {};
    }
}

QVariant CPacketListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const std::vector<std::string>* fields =
        section >= kDestination ? &m_fieldColumns[static_cast<size_t>(section - kDestination)] : nullptr;
    if (role == Qt::DisplayRole)
        return IsAddedColumn(section) ? QString::fromStdString(fields->front()) : QString::fromLatin1(kColumns[section].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(section < kFixedColumnCount ? kColumns[section].alignment : kAddedColumn.alignment);
    if (role == Qt::ToolTipRole && fields) {
        QStringList names;
        for (const std::string& name : *fields)
            names.append(QString::fromStdString(name));
        return QStringLiteral("The value of %1").arg(names.join(QStringLiteral(", ")));
    }
    if (role == Qt::ToolTipRole && section == kLatency)
        return QStringLiteral("Milliseconds from the request to its answer");
    if (role == Qt::ToolTipRole && section == kStatus)
        return QStringLiteral("The answer's command_status; \"no answer\" once the unanswered time is over");
    return {};
}

QString CPacketListModel::Description(const PacketSummary& summary) const {
    const std::optional<uint32_t> command =
        summary.Has(PacketSummary::kHasCommand) ? std::optional<uint32_t>(summary.command) : std::nullopt;
    return QString::fromStdString(protocols::Describe(m_decoder.Names(), summary.protocol, command));
}

void CPacketListModel::OnPacketsAdded(int32_t, int32_t) {
    // Counting happens when the queued call runs: whatever the log holds then becomes rows.
    if (m_appendQueued)
        return;
    m_appendQueued = true;
    QMetaObject::invokeMethod(this, &CPacketListModel::AppendPending, Qt::QueuedConnection);
}

QString CPacketListModel::WidestText(int column) const {
    if (column == kSeq) // as many digits as the last Seq has, and never fewer than the sample's
        return QString(std::max<qsizetype>(qstrlen(kColumns[kSeq].widest), QString::number(m_rows).size()), u'0');
    return QString::fromLatin1(column >= 0 && column < kFixedColumnCount ? kColumns[column].widest : kAddedColumn.widest);
}

int CPacketListModel::AddFieldColumn(const QString& name) {
    const std::string wanted = name.trimmed().toStdString();
    for (int column = kFixedColumnCount; column < columnCount(); ++column)
        if (m_fieldColumns[static_cast<size_t>(column - kDestination)].front() == wanted)
            return column;
    if (!KnownFields().contains(QString::fromStdString(wanted)))
        return -1;
    const int column = columnCount();
    beginInsertColumns({}, column, column);
    m_fieldColumns.push_back({wanted});
    m_fieldValues.clear();
    endInsertColumns();
    return column;
}

bool CPacketListModel::RemoveFieldColumn(int column) {
    if (!IsAddedColumn(column))
        return false;
    beginRemoveColumns({}, column, column);
    m_fieldColumns.erase(m_fieldColumns.begin() + (column - kDestination));
    m_fieldValues.clear();
    endRemoveColumns();
    return true;
}

QStringList CPacketListModel::KnownFields() const {
    QStringList names;
    for (const decode_listing::FieldEntry& field : decode_listing::Fields(m_decoder.Table()))
        names.append(QString::fromStdString(field.name));
    return names;
}

QStringList CPacketListModel::AddedFields() const {
    QStringList fields;
    for (int column = kFixedColumnCount; column < columnCount(); ++column)
        fields.append(QString::fromStdString(m_fieldColumns[static_cast<size_t>(column - kDestination)].front()));
    return fields;
}

QString CPacketListModel::FieldValue(int row, int column) const {
    auto kept = m_fieldValues.find(row);
    if (kept == m_fieldValues.end()) {
        if (m_fieldValues.size() >= kFieldValueRows)
            m_fieldValues.clear();
        uint32_t length = 0;
        const uint8_t* record = m_log.PacketAt(row, &length);
        if (!record)
            return {};
        m_fieldDecoder.Decode(record, static_cast<int32_t>(length));
        std::vector<QString> values(m_fieldColumns.size());
        for (const DecodeLine& line : m_fieldDecoder.Lines()) {
            if (line.parent >= 0 || line.field.empty()) // a part of a field carries the field's name too
                continue;
            for (size_t c = 0; c < m_fieldColumns.size(); ++c) {
                const std::vector<std::string>& fields = m_fieldColumns[c];
                if (std::find(fields.begin(), fields.end(), line.field) == fields.end())
                    continue;
                const std::string_view shown = line.Show();
                if (!values[c].isEmpty())
                    values[c] += u',';
                values[c] += QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
            }
        }
        kept = m_fieldValues.emplace(row, std::move(values)).first;
    }
    return kept->second[static_cast<size_t>(column - kDestination)];
}

void CPacketListModel::OnLogReset() {
    beginResetModel();
    m_rows = 0;
    m_fieldValues.clear();
    endResetModel();
}

void CPacketListModel::AppendPending() {
    m_appendQueued = false;
    const int count = m_log.GetCount();
    if (count <= m_rows)
        return;
    const int first = m_rows;
    beginInsertRows({}, first, count - 1);
    m_rows = count;
    endInsertRows();
    // Answers to requests listed before: their rows read a status and a latency now.
    int oldest = first;
    for (int row = first; row < count; ++row)
        if (const int request = m_pairs.PartnerOf(row); request >= 0 && request < oldest)
            oldest = request;
    if (oldest < first)
        emit dataChanged(index(oldest, kStatus), index(first - 1, kLatency));
}
