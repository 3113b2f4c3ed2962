// The packet list as the display filter narrows it.
#pragma once

#include "analysis/DisplayFilter.h"

#include <QSortFilterProxyModel>

class CPacketLog;
class CPacketPairs;

// Shows the rows of CPacketListModel whose records the display filter takes, in capture order; the
// capture itself is never touched. A filter that does not parse leaves the rows as they were. UI
// thread only; reads the log and the pairs, which outlive it.
class CPacketFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    CPacketFilterProxy(const CPacketLog& log, const CPacketPairs& pairs, const CPacketDecoder& decoder,
                       QObject* parent = nullptr);

    // Applies text; false with the reason ("column 12: unknown field ...") when it does not parse.
    bool SetFilterText(const QString& text, QString& error);
    // Whether text would parse, the rows left as they are; the reason as SetFilterText gives it.
    bool CheckFilterText(const QString& text, QString& error) const;
    QString FilterText() const { return m_text; }
    bool IsFiltering() const { return !m_filter.IsEmpty(); }
    // Re-reads every row when a term depends on time alone (error, unanswered).
    void RefreshTimeTerms();

    // The record a row of this model shows, -1 for none; the row showing record, -1 when filtered out.
    int RecordAt(int row) const;
    int RowOf(int record) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const CPacketLog& m_log;
    const CPacketPairs& m_pairs;
    CDisplayFilter m_filter;
    QString m_text;
};
