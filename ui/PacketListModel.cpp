// The packet list's model over the capture log.
#include "ui/PacketListModel.h"

#include "capture/PacketRecord.h"
#include "decoder/Formatters.h"
#include "decoder/PacketDecoder.h"
#include "decoder/Protocols.h"
#include "ui/Icons.h"

#include <QIcon>


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
};

} // namespace

CPacketListModel::CPacketListModel(CPacketLog& log, const CPacketDecoder& decoder, QObject* parent)
    : QAbstractTableModel(parent), m_log(log), m_decoder(decoder) {
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
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[index.column()].alignment);
    if (role != Qt::DisplayRole && !(role == Qt::DecorationRole && index.column() == kSeq))
        return {};

    uint32_t length = 0;
    const uint8_t* record = m_log.PacketAt(index.row(), &length);
    if (!record)
        return {};
    const PacketRecordHeader header = packet_record::ReadHeader(record);
    if (role == Qt::DecorationRole) {
        const ProtocolInfo* protocol = protocols::Find(header.protocol);
        return protocol ? icons::DecodeIcon(CPacketDecoder::IconIndex(protocol->rowIcon)) : QVariant();
    }
    switch (index.column()) {
    case kSeq: return index.row() + 1;
    case kSourceIp: return QString::fromStdString(FormatIpv4(header.sourceAddress));
    case kSourcePort: return header.sourcePort;
    case kDescription: return Description(record, length);
    case kLen: return header.packetLength;
    case kTime: return QString::fromStdString(FormatLocalTime(header.time));
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
    return {};
}

QString CPacketListModel::Description(const uint8_t* record, uint32_t length) const {
    const uint16_t code = packet_record::ReadHeader(record).protocol;
    return QString::fromStdString(protocols::Describe(m_decoder.Names(), code, packet_record::CommandId(record, length)));
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
    beginInsertRows({}, m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}
