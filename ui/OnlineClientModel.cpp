// The online list's rows read from the server's connection table.
#include "ui/OnlineClientModel.h"

#include "decoder/Formatters.h"
#include "decoder/GbkText.h"
#include "engine/SocketServer.h"
#include "ui/Icons.h"

#include <array>
#include <cstring>

namespace {

struct ColumnInfo {
    const char* title;
    int width;
};
constexpr std::array<ColumnInfo, COnlineClientModel::kColumnCount> kColumns = {{
    {"Seq", 50},
    {"System ID", 100},
    {"Source IP", 150},
    {"Source Port", 100},
    {"Bind time", 150},
    {"Bind type", 100},
    {"Transport", 80},
}};

} // namespace

COnlineClientModel::COnlineClientModel(const CSocketServer& server, QObject* parent)
    : QAbstractTableModel(parent), m_server(server), m_rows(server.GetConnectionCount()) {}

int COnlineClientModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int COnlineClientModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant COnlineClientModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const int table = TableIndex(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kSeq:
            return index.row() + (m_renumberFrom >= 0 && index.row() >= m_renumberFrom ? 2 : 1);
        case kSystemId: {
            const char* name = m_server.NameOf(table);
            return QString::fromStdString(
                GbkToUtf8(reinterpret_cast<const uint8_t*>(name), static_cast<int32_t>(std::strlen(name))));
        }
        case kSourceIp:
            return QString::fromStdString(FormatIpv4(m_server.GetPeerAddress(table)));
        case kSourcePort:
            return m_server.GetPeerPort(table);
        case kBindTime:
            return QString::fromStdString(FormatLocalTime(m_server.GetConnectTime(table)));
        case kBindType:
            return QString::fromStdString(m_server.SessionKind(table));
        case kTransport:
            return m_server.IsTls(table) ? QStringLiteral("TLS") : QStringLiteral("TCP");
        }
        return {};
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::DecorationRole:
        return index.column() == kSeq ? QVariant(icons::Icon(kRowIcon)) : QVariant();
    case kConnectionIdRole:
        return QVariant::fromValue<qulonglong>(m_server.GetConnectionId(table));
    case kTableIndexRole:
        return table;
    }
    return {};
}

QVariant COnlineClientModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromLatin1(kColumns[section].title);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    }
    return {};
}

int COnlineClientModel::ColumnWidth(int column) {
    return column >= 0 && column < kColumnCount ? kColumns[column].width : 0;
}

uint64_t COnlineClientModel::ConnectionIdAt(int row) const {
    return row >= 0 && row < m_rows ? m_server.GetConnectionId(TableIndex(row)) : 0;
}

int COnlineClientModel::RowOf(int tableIndex) const {
    if (tableIndex == m_hidden)
        return -1;
    return m_hidden >= 0 && tableIndex > m_hidden ? tableIndex - 1 : tableIndex;
}

void COnlineClientModel::OnConnected(int) {
    // The server has appended the record already; the views learn of it as the new last row.
    beginInsertRows({}, m_rows, m_rows);
    ++m_rows;
    endInsertRows();
}

void COnlineClientModel::OnDisconnected(int index) {
    // The record is still readable; hide it now, so the list no longer offers a leaving client.
    const int row = RowOf(index);
    if (row < 0 || row >= m_rows)
        return;
    // The rows below move up with their old "Seq" and are then renumbered, so that whatever
    // follows the rows sees a move and a change rather than rows that changed places.
    beginRemoveRows({}, row, row);
    --m_rows;
    m_hidden = index;
    m_renumberFrom = row;
    endRemoveRows();
    m_renumberFrom = -1;
    if (row < m_rows)
        emit dataChanged(this->index(row, kSeq), this->index(m_rows - 1, kSeq), {Qt::DisplayRole});
}

void COnlineClientModel::OnRemoved(int) {
    // The later records moved up into the hidden one's place: the rows stay as they are.
    m_hidden = -1;
    if (m_rows != m_server.GetConnectionCount()) {
        beginResetModel();
        m_rows = m_server.GetConnectionCount();
        endResetModel();
    }
}

void COnlineClientModel::OnLoggedIn(int index) {
    const int row = RowOf(index);
    if (row >= 0 && row < m_rows)
        emit dataChanged(this->index(row, 0), this->index(row, kColumnCount - 1));
}
