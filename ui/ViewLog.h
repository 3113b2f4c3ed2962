// The "SMPP Decoder" page: the brief list of captured PDUs, the decode tree and the hex dump.
#pragma once

#include "ui/FilterLine.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CConcatenations;
class CFindBar;
class CPacketDecoder;
class CPacketLog;
class CPacketPairs;
class CViewLogBrief;
class CViewLogHex;
class CViewLogParticular;
class QLabel;
class QLayout;
class QSplitter;
class QTimer;

// The display filter line, then three stacked panes over the capture log: the brief list (one row
// per record the filter shows, a view over a model of the log), the decode tree of the shown record
// and its hex dump; the find bar below them when open. Owns its panes; reads the log, the decoder
// and the pairs, which outlive it. UI thread only. New records become rows in one batch per
// event-loop turn; the lower panes change only when the shown record changes.
class CViewLog : public QWidget {
    Q_OBJECT
public:
    CViewLog(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs, QWidget* parent = nullptr);
    ~CViewLog() override;

    // "Clear content": empties the list, the hex view and the decode tree, and resets the log.
    void Clear();
    // Asked before the packet list's "Clear content" clears; false keeps the capture. None: it clears.
    void SetClearGuard(std::function<bool()> guard) { m_clearGuard = std::move(guard); }
    // Shows record index in the list, the tree and the hex view once its row is listed.
    void ShowRecord(int index);

    // Applies text as the display filter and puts it in the line; false (the line red, the text under it saying
    // where and why and that the rows are the last applied filter's, which they stay) when it does not parse.
    bool ApplyFilter(const QString& text);
    // Lists only the records of one connection ("conn:N").
    void ShowConnection(uint64_t connection);
    // Ctrl+F: the find bar, ready for typing.
    void OpenFind();
    // Selects the next (or previous) listed row after the shown one whose cells or decode hold the find bar's
    // text (case ignored), wrapping round when the bar says so, and makes the first decode line holding it the
    // current one (shown, its bytes lit up); false when no row holds it.
    bool Find(bool forward);
    // Ctrl+G: "Go to packet", by the number the "Seq" column shows.
    void OpenGoTo();
    // Selects the record of that Seq and gives the list the focus; else says why not (no such Seq, or the
    // display filter hides it) and changes nothing.
    QString GoToPacket(int seq);
    // The records of the rows the display filter lists (displayedOnly), or of every row, in capture order.
    std::vector<int32_t> Records(bool displayedOnly) const;
    // "Export decode as text": per record, the titles of the list's shown columns in its order over the record's
    // cells (Seq, Time with its milliseconds, Status, Latency, ...), then its decode as tarnwick-decode lists it and
    // the reassembly lines; a blank line between records.
    std::string DecodeText(const std::vector<int32_t>& records) const;
    // "Export as JSON": the records as tarnwick-decode --json writes them, one a line.
    std::string Json(const std::vector<int32_t>& records) const;

    CViewLogBrief* Brief() const { return m_brief; }
    CViewLogParticular* Particular() const { return m_particular; }
    CViewLogHex* Hex() const { return m_hex; }
    CFilterLine* FilterLine() const { return m_filterLine; }
    // What the filter line's text comes to: why it does not parse, that Return applies it, or nothing.
    QLabel* FilterStatus() const { return m_filterStatus; }
    CFindBar* FindBar() const { return m_findBar; }
    QSplitter* Splitter() const { return m_splitter; }

signals:
    // "Set Filter" from the list's context menu: the main frame opens "Define filter".
    void SetFilterRequested();
    // The rows listed and the records captured changed.
    void CountsChanged(int shown, int total);

private:
    void ShowLoaded(int index);
    // The filter line, its label and the reason under it (m_filterStatus, laid out by the caller).
    QLayout* MakeFilterRow(const CPacketDecoder& decoder);
    // A filter from the decode tree: applied at once, or put in the line (checked, not applied).
    void TakeFilter(const QString& expression, bool apply);
    // As the filter is typed: parsed, never applied; the line green or red and the reason under it.
    void CheckFilter(const QString& text);
    void ShowFilterState(CFilterLine::Validity validity, const QString& message);
    bool RowHolds(int row, const QString& wanted) const;
    void EmitCounts();
    // New rows tell the counts a few times a second: under load, every batch would redraw the status bar.
    void EmitCountsSoon();

    CPacketLog& m_log;
    std::unique_ptr<CConcatenations> m_concatenations;
    std::unique_ptr<CPacketDecoder> m_findDecoder;
    CFilterLine* m_filterLine = nullptr;
    QLabel* m_filterStatus = nullptr;
    QSplitter* m_splitter = nullptr;
    CViewLogBrief* m_brief = nullptr;
    CViewLogParticular* m_particular = nullptr;
    CViewLogHex* m_hex = nullptr;
    CFindBar* m_findBar = nullptr;
    QTimer* m_countsClock = nullptr;
    std::function<bool()> m_clearGuard;
};
