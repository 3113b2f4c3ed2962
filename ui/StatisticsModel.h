// The rows of the "Statistics" page's tables: a view over the run's statistics.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>

class CStatistics;

// One row per row of CStatistics::Commands() or Statuses(), read from the statistics when a view
// asks; the only state is how many rows the views have been told of and the statistics' generation,
// so Refresh can tell new rows from a Reset. Counts change under the views only when Refresh says
// so: the page calls it on a timer, never per record. UI thread only.
class CStatisticsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Table { Commands, Statuses };
    enum Column { kProtocol, kName, kIn, kOut, kOpened, kColumnCount };
    // Sorts the counts as numbers.
    static constexpr int kSortRole = Qt::UserRole;

    CStatisticsModel(const CStatistics& statistics, Table table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Rows added since the last call are inserted, counts are redrawn; after a Reset the model resets.
    void Refresh();

private:
    int Rows() const;

    const CStatistics& m_statistics;
    Table m_table;
    int m_rows = 0;
    uint64_t m_generation = 0;
};
