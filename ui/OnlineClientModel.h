// The "Online ESME(s)" rows: a view over a server's connection table.
#pragma once

#include "engine/ServerObserver.h"

#include <QAbstractTableModel>

#include <cstdint>

class CSocketServer;

// One row per connection of the server, in table order, minus the connection being closed during
// its close. Reads everything from the server when asked; the only state is how many rows the
// views have been told of and which table index a close is hiding, so the row signals bracket
// the server's own changes. The page forwards the server's notifications here.
class COnlineClientModel : public QAbstractTableModel, public CServerObserver {
    Q_OBJECT
public:
    enum Column { kSeq, kSystemId, kSourceIp, kSourcePort, kBindTime, kBindType, kTransport, kColumnCount };
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

    void OnConnected(int index) override;
    void OnDisconnected(int index) override;
    void OnRemoved(int index) override;
    void OnLoggedIn(int index) override;

private:
    int TableIndex(int row) const { return m_hidden >= 0 && row >= m_hidden ? row + 1 : row; }
    int RowOf(int tableIndex) const;

    const CSocketServer& m_server;
    int m_rows = 0;
    int m_hidden = -1;       // table index of the connection whose close is under way
    int m_renumberFrom = -1; // while a removal is announced: the first row still showing its old "Seq"
};
