// The statistics page's table models.
#include "ui/StatisticsModel.h"

#include "simulator/Statistics.h"

CStatisticsModel::CStatisticsModel(const CStatistics& statistics, Table table, QObject* parent)
    : QAbstractTableModel(parent), m_statistics(statistics), m_table(table), m_rows(Rows()),
      m_generation(statistics.Generation()) {}

int CStatisticsModel::Rows() const {
    return int(m_table == Table::Commands ? m_statistics.Commands().size() : m_statistics.Statuses().size());
}

int CStatisticsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int CStatisticsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant CStatisticsModel::data(const QModelIndex& index, int role) const {
    // A Reset the views have not been told of yet leaves fewer rows than they know.
    if (!index.isValid() || index.row() >= m_rows || index.row() >= Rows() || m_generation != m_statistics.Generation())
        return {};
    const bool count = index.column() >= kIn;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(count ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != kSortRole)
        return {};
    uint16_t protocol = 0;
    std::string name;
    uint64_t counts[kColumnCount] = {};
    if (m_table == Table::Commands) {
        const CStatistics::CommandRow& row = m_statistics.Commands()[size_t(index.row())];
        protocol = row.protocol, name = m_statistics.CommandName(row);
        counts[kIn] = row.in, counts[kOut] = row.out, counts[kOpened] = row.opened;
    } else {
        const CStatistics::StatusRow& row = m_statistics.Statuses()[size_t(index.row())];
        protocol = row.protocol, name = m_statistics.StatusName(row);
        counts[kIn] = row.in, counts[kOut] = row.out, counts[kOpened] = row.opened;
    }
    switch (index.column()) {
    case kProtocol: return QString::fromStdString(m_statistics.ProtocolName(protocol));
    case kName: return QString::fromStdString(name);
    case kIn:
    case kOut:
    case kOpened: {
        const uint64_t value = counts[index.column()];
        return role == kSortRole ? QVariant(qulonglong(value)) : QVariant(QString::number(value));
    }
    }
    return {};
}

QVariant CStatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::ToolTipRole) {
        const char* tips[kColumnCount] = {"The protocol", m_table == Table::Commands ? "The command" : "The command_status of answers",
                                          "Received by the simulator", "Sent by the simulator",
                                          "Opened from capture files: not this run's traffic"};
        return QString(tips[section]);
    }
    if (role != Qt::DisplayRole)
        return {};
    const char* titles[kColumnCount] = {"Protocol", m_table == Table::Commands ? "Command" : "Status", "In", "Out",
                                             "Opened"};
    return QString(titles[section]);
}

void CStatisticsModel::Refresh() {
    if (m_generation != m_statistics.Generation()) {
        beginResetModel();
        m_generation = m_statistics.Generation();
        m_rows = Rows();
        endResetModel();
        return;
    }
    const int rows = Rows();
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    if (m_rows > 0)
        emit dataChanged(index(0, kIn), index(m_rows - 1, kOpened), {Qt::DisplayRole, kSortRole});
}
