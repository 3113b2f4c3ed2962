// The online list's rows read from the server's connection table.
#include "ui/OnlineClientModel.h"

#include "decoder/Formatters.h"
#include "decoder/GbkText.h"
#include "engine/SocketServer.h"

#include <algorithm>
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
    {"Version", 70},
    {"Transport", 80},
}};

} // namespace

COnlineClientModel::COnlineClientModel(const CSocketServer& server, QObject* parent)
    : QAbstractTableModel(parent), m_server(server) {
    server.ForEachConnection([this](const CConnection& connection) {
        if (!connection.IsClosing())
            m_rows.push_back(&connection);
    });
}

int COnlineClientModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int COnlineClientModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant COnlineClientModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const CConnection& connection = *m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kSeq:
            return index.row() + (m_renumberFrom >= 0 && index.row() >= m_renumberFrom ? 2 : 1);
        case kSystemId: {
            const char* name = connection.Name();
            return QString::fromStdString(
                GbkToUtf8(reinterpret_cast<const uint8_t*>(name), static_cast<int32_t>(std::strlen(name))));
        }
        case kSourceIp:
            return QString::fromStdString(FormatIpv4(connection.PeerAddress()));
        case kSourcePort:
            return connection.PeerPort();
        case kBindTime:
            return QString::fromStdString(FormatLocalTime(connection.ConnectTime()));
        case kBindType:
            return QString::fromStdString(m_server.SessionKind(connection));
        case kVersion:
            return QString::fromStdString(m_server.SessionVersion(connection));
        case kTransport:
            return connection.IsTls() ? QStringLiteral("TLS") : QStringLiteral("TCP");
        }
        return {};
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::DecorationRole:
        return index.column() == kSeq ? QVariant(icons::Icon(kRowIcon)) : QVariant();
    case kConnectionIdRole:
        return QVariant::fromValue<qulonglong>(connection.Id());
    case kTableIndexRole:
        return m_server.PositionOf(connection);
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
    return row >= 0 && row < rowCount() ? m_rows[std::size_t(row)]->Id() : 0;
}

int COnlineClientModel::RowOf(const CConnection& connection) const {
    const auto found = std::find(m_rows.begin(), m_rows.end(), &connection);
    return found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
}

void COnlineClientModel::OnConnected(const CConnection& connection) {
    // The server has appended the record already; the views learn of it as the new last row.
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_rows.push_back(&connection);
    endInsertRows();
}

void COnlineClientModel::OnDisconnected(const CConnection& connection) {
    // The record is still readable; hide it now, so the list no longer offers a leaving client.
    Hide(RowOf(connection));
}

void COnlineClientModel::OnRemoved(const CConnection& connection) {
    // Hidden at its disconnect already; a row left of it now would point at nothing.
    Hide(RowOf(connection));
}

void COnlineClientModel::Hide(int row) {
    if (row < 0)
        return;
    // The rows below move up with their old "Seq" and are then renumbered, so that whatever
    // follows the rows sees a move and a change rather than rows that changed places.
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    m_renumberFrom = row;
    endRemoveRows();
    m_renumberFrom = -1;
    if (row < rowCount())
        emit dataChanged(this->index(row, kSeq), this->index(rowCount() - 1, kSeq), {Qt::DisplayRole});
}

void COnlineClientModel::OnLoggedIn(const CConnection& connection) {
    const int row = RowOf(connection);
    if (row >= 0)
        emit dataChanged(this->index(row, 0), this->index(row, kColumnCount - 1));
}
