// The packet list's model over the capture log.
#include "ui/PacketListModel.h"

#include "analysis/PacketPairs.h"
#include "capture/PacketRecord.h"
#include "decoder/Formatters.h"
#include "decoder/PacketDecoder.h"
#include "decoder/Protocols.h"
#include "ui/Icons.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QStyle>


namespace {

struct ColumnSpec {
    const char* title;
    Qt::Alignment alignment;
};

constexpr ColumnSpec kColumns[CPacketListModel::kColumnCount] = {
    {"Seq", Qt::AlignCenter},
    {"Source IP", Qt::AlignCenter},
    {"Source port", Qt::AlignCenter},
    {"Description", Qt::AlignLeft | Qt::AlignVCenter},
    {"Len", Qt::AlignLeft | Qt::AlignVCenter},
    {"Time", Qt::AlignCenter},
    {"Status", Qt::AlignLeft | Qt::AlignVCenter},
    {"Latency", Qt::AlignRight | Qt::AlignVCenter},
};

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
    : QAbstractTableModel(parent), m_log(log), m_decoder(decoder), m_pairs(pairs) {
    m_log.AddListener(this);
    // Records stored before the view existed arrive the way new ones do.
    if (m_log.GetCount() > 0)
        OnPacketsAdded(0, m_log.GetCount());
}

CPacketListModel::~CPacketListModel() { m_log.RemoveListener(this); }

int CPacketListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int CPacketListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant CPacketListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::TextAlignmentRole: return QVariant::fromValue(kColumns[index.column()].alignment);
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
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumns[section].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[section].alignment);
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

void CPacketListModel::OnLogReset() {
    beginResetModel();
    m_rows = 0;
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

void CPacketListModel::RefreshAnswers() {
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, kColumnCount - 1), {Qt::DisplayRole, Qt::ForegroundRole,
                                                                             Qt::DecorationRole});
}
