// The deliver list and its table.
#include "ui/DeliverListModel.h"

#include "ui/Icons.h"

#include <QString>

#include <algorithm>

namespace {

constexpr int kDeliverRowIcon = 151;

Qt::Alignment ColumnAlignment(int column)
{
    const bool centred = column == CDeliverListModel::kSeq || column == CDeliverListModel::kCount ||
                         column == CDeliverListModel::kDestSystemId;
    return (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

} // namespace

CDeliverListModel::CDeliverListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CDeliverListModel::Append(const DeliverEntry& entry)
{
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.push_back(entry);
    endInsertRows();
}

void CDeliverListModel::Replace(int index, const DeliverEntry& entry)
{
    if (index < 0 || index >= rowCount())
        return;
    m_entries[static_cast<size_t>(index)] = entry;
    emit dataChanged(this->index(index, 0), this->index(index, kColumnCount - 1));
}

void CDeliverListModel::Remove(std::vector<int> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    if (indexes.empty())
        return;
    // Every row after the first removed one is renumbered, so the view takes the list afresh.
    beginResetModel();
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
        if (*it >= 0 && *it < static_cast<int>(m_entries.size()))
            m_entries.erase(m_entries.begin() + *it);
    endResetModel();
}

int CDeliverListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int CDeliverListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CDeliverListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const DeliverEntry& entry = m_entries[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kSeq: return QString::number(index.row() + 1);
        case kCount: return QString::number(entry.count);
        case kDestSystemId: return entry.DestSystemIdText();
        case kShortMessage: return entry.ShortMessageText();
        case kLen: return QString::number(entry.ShortMessageText().toUcs4().size());
        default: return {};
        }
    case Qt::DecorationRole:
        return index.column() == kSeq ? QVariant(icons::Icon(kDeliverRowIcon)) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
    case Qt::UserRole:
        return index.row();
    default:
        return {};
    }
}

QVariant CDeliverListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const kTitles[kColumnCount] = {"Seq", "Count", "Dest system id", "Short Message", "Len"};
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kTitles[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section));
    return {};
}
