// The display filter over the packet list.
#include "ui/PacketFilterProxy.h"

CPacketFilterProxy::CPacketFilterProxy(const CPacketLog& log, const CPacketPairs& pairs,
                                       const CPacketDecoder& decoder, QObject* parent)
    : QSortFilterProxyModel(parent), m_log(log), m_pairs(pairs), m_filter(decoder) {
    // A request's row can change its status when the answer comes: the filter reads it again then.
    setDynamicSortFilter(true);
}

namespace {

// "column 12: unknown field ...": where the filter failed, counted in characters as the line shows them.
QString Reason(const std::string& text, const display_filter::Error& error) {
    return QStringLiteral("column %1: %2").arg(error.Column(text)).arg(QString::fromStdString(error.what));
}

} // namespace

bool CPacketFilterProxy::CheckFilterText(const QString& text, QString& error) const {
    const std::string utf8 = text.toStdString();
    display_filter::Error why;
    if (m_filter.Check(utf8, why))
        return true;
    error = Reason(utf8, why);
    return false;
}

bool CPacketFilterProxy::SetFilterText(const QString& text, QString& error) {
    const std::string utf8 = text.toStdString();
    display_filter::Error why;
    if (!m_filter.Parse(utf8, why)) {
        error = Reason(utf8, why);
        return false;
    }
    m_text = text;
    // One layout change for the whole list: row by row, a filter that keeps every eighth row would tell the
    // view of thousands of removed ranges, each costing it a pass over its rows.
    invalidate();
    return true;
}

void CPacketFilterProxy::RefreshTimeTerms() {
    if (m_filter.DependsOnTime())
        invalidateRowsFilter();
}

int CPacketFilterProxy::RecordAt(int row) const {
    const QModelIndex source = mapToSource(index(row, 0));
    return source.isValid() ? source.row() : -1;
}

int CPacketFilterProxy::RowOf(int record) const {
    if (!sourceModel() || record < 0 || record >= sourceModel()->rowCount())
        return -1;
    const QModelIndex shown = mapFromSource(sourceModel()->index(record, 0));
    return shown.isValid() ? shown.row() : -1;
}

bool CPacketFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return m_filter.IsEmpty() || m_filter.Matches(sourceRow, m_log, m_pairs);
}
