// The "Online ESME(s)" rows: a view over a server's connection table.
#pragma once

#include "engine/ServerObserver.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

class CConnection;

class CSocketServer;

// One row per connection of the server, in table order, minus the connection being closed during
// its close. The one place that maps rows to connections: it keeps the connections the views have
// been told of, in row order, and reads everything else from them when asked, so the row signals
// bracket the server's own changes. The page forwards the server's notifications here.
class COnlineClientModel : public QAbstractTableModel, public CServerObserver {
    Q_OBJECT
public:
    enum Column { kSeq, kSystemId, kSourceIp, kSourcePort, kBindTime, kBindType, kVersion, kTransport, kColumnCount };
    static constexpr int kConnectionIdRole = Qt::UserRole;  // uint64_t, stable for the connection's life
    static constexpr int kTableIndexRole = Qt::UserRole + 1; // int, the connection's table position now
    static constexpr int kRowIcon = 150;

    explicit COnlineClientModel(const CSocketServer& server, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The initial width of column in pixels.
    static int ColumnWidth(int column);
    // The connection id of row, 0 for a bad row.
    uint64_t ConnectionIdAt(int row) const;

    void OnConnected(const CConnection& connection) override;
    void OnDisconnected(const CConnection& connection) override;
    void OnRemoved(const CConnection& connection) override;
    void OnLoggedIn(const CConnection& connection) override;

private:
    int RowOf(const CConnection& connection) const; // -1 for one the views do not show
    void Hide(int row);                              // nothing for -1

    const CSocketServer& m_server;
    std::vector<const CConnection*> m_rows; // what the views have been told of; each stays good until OnRemoved
    int m_renumberFrom = -1; // while a removal is announced: the first row still showing its old "Seq"
};
