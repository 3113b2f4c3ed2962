// The deliver list: the short messages prepared for pushing to a client, and the table the page shows of them.
#pragma once

#include "simulator/DeliverEntry.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <vector>

// Owns the deliver list (the only copy of its entries, kept in insertion order) and shows entry i as row i:
// "Seq" i + 1, "Count", "Dest system id", "Short Message" and "Len", the characters of the short message up to
// its NUL. Every row carries the deliver-list icon and its entry index as Qt::UserRole. UI thread only.
class CDeliverListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kSeq, kCount, kDestSystemId, kShortMessage, kLen, kColumnCount };
    // Column widths in pixels, by Column.
    static constexpr std::array<int, kColumnCount> kColumnWidths = {50, 80, 100, 250, 50};

    explicit CDeliverListModel(QObject* parent = nullptr);

    const std::vector<DeliverEntry>& Entries() const { return m_entries; }
    void Append(const DeliverEntry& entry);
    // Replaces entry index; an index outside the list changes nothing.
    void Replace(int index, const DeliverEntry& entry);
    // Removes the entries at the given indexes (any order, duplicates allowed); the rest keep their order.
    void Remove(std::vector<int> indexes);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<DeliverEntry> m_entries;
};
