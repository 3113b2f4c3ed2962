// The deliver list and its table.
#include "ui/DeliverListModel.h"

#include "ui/Icons.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDeliverRowIcon = 151;

bool IsUtf8Continuation(char octet) { return (static_cast<uint8_t>(octet) & 0xC0) == 0x80; }

template <size_t N>
void CopyText(std::array<char, N>& field, std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    size_t n = std::min(text.size(), N - 1);
    // A cut inside a character drops the whole character.
    while (n > 0 && n < text.size() && IsUtf8Continuation(text[n]))
        --n;
    std::copy_n(text.begin(), n, field.begin()); // an empty text may have no data at all
    field[n] = '\0';
}

template <size_t N>
std::string Bytes(const std::array<char, N>& field)
{
    return std::string(field.data(), strnlen(field.data(), N));
}

template <size_t N>
QString Text(const std::array<char, N>& field)
{
    return QString::fromUtf8(field.data(), static_cast<qsizetype>(strnlen(field.data(), N)));
}

Qt::Alignment ColumnAlignment(int column)
{
    const bool centred = column == CDeliverListModel::kSeq || column == CDeliverListModel::kCount ||
                         column == CDeliverListModel::kDestSystemId;
    return (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

} // namespace

DeliverEntry DeliverEntry::Make(std::string_view destSystemId, std::string_view shortMessage, int32_t count,
                                Kind kind)
{
    DeliverEntry entry;
    entry.first = static_cast<uint8_t>(kind);
    CopyText(entry.destSystemId, destSystemId);
    CopyText(entry.shortMessage, shortMessage);
    entry.count = count;
    return entry;
}

DeliverEntry::Kind DeliverEntry::GetKind() const
{
    return first <= static_cast<uint8_t>(Kind::AlertNotification) ? static_cast<Kind>(first) : Kind::DeliverSm;
}

QString DeliverEntry::DestSystemIdText() const { return Text(destSystemId); }

QString DeliverEntry::ShortMessageText() const { return Text(shortMessage); }

std::string DeliverEntry::DestSystemId() const { return Bytes(destSystemId); }

std::string DeliverEntry::ShortMessage() const { return Bytes(shortMessage); }

void DeliverEntry::SetDestSystemId(std::string_view text) { CopyText(destSystemId, text); }

void DeliverEntry::SetShortMessage(std::string_view text) { CopyText(shortMessage, text); }

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
