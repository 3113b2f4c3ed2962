// The "SMPP Decoder" page: the brief list of captured PDUs, the decode tree and the hex dump.
#pragma once

#include <QWidget>

class CPacketDecoder;
class CPacketLog;
class CViewLogBrief;
class CViewLogHex;
class CViewLogParticular;
class QSplitter;

// Three stacked panes over the capture log: the brief list (one row per record, a view over a
// model of the log), the decode tree of the shown record and its hex dump. Owns its panes;
// reads the log and the decoder, which outlive it. UI thread only. New records become rows in
// one batch per event-loop turn; the lower panes change only when the shown record changes.
class CViewLog : public QWidget {
    Q_OBJECT
public:
    CViewLog(CPacketLog& log, const CPacketDecoder& decoder, QWidget* parent = nullptr);
    ~CViewLog() override;

    // "Clear content": empties the list, the hex view and the decode tree, and resets the log.
    void Clear();
    // Shows record index in the list, the tree and the hex view once its row is listed.
    void ShowRecord(int index);

    CViewLogBrief* Brief() const { return m_brief; }
    CViewLogParticular* Particular() const { return m_particular; }
    CViewLogHex* Hex() const { return m_hex; }

signals:
    // "Set Filter" from the list's context menu: the main frame opens "Define filter".
    void SetFilterRequested();

private:
    QSplitter* m_splitter = nullptr;
    CViewLogBrief* m_brief = nullptr;
    CViewLogParticular* m_particular = nullptr;
    CViewLogHex* m_hex = nullptr;
};
