// The brief list: one row per captured PDU, and the choice of the record the lower panes show.
#pragma once

#include <QTableView>

class CPacketDecoder;
class CPacketListModel;
class CPacketLog;
class QAction;
class QMenu;

// A report-style list over CPacketListModel with single, full-row selection. Keeps the index of
// the record shown in the lower panes (the selected record index, -1 for none) and tells the page
// when it changes; the page loads that record into the decode tree and the hex view. Selecting
// a row, with the mouse or the keyboard, shows it; re-selecting the shown row does nothing. When
// rows arrive and none is selected, row 0 is selected and shown; otherwise new rows change
// nothing else and the list does not scroll to them. UI thread only.
class CViewLogBrief : public QTableView {
    Q_OBJECT
public:
    CViewLogBrief(CPacketLog& log, const CPacketDecoder& decoder, QWidget* parent = nullptr);

    // Deletes every row and resets the capture log; no record is shown any more.
    void Clear();
    // Makes record i the shown one: scrolls row i into view and emits PacketShown(i).
    void ShowPacket(int i);
    // Selects and shows record i now, or as soon as its row is listed (rows come a turn after
    // their records). A later Clear or wipe forgets it.
    void SelectRecord(int i);
    int SelectedIndex() const { return m_selected; }

    CPacketListModel* Model() const { return m_model; }
    // The list's context menu: "Clear content" (greyed while the list is empty) and "Set Filter".
    QMenu* ContextMenu() const { return m_menu; }
    QAction* ClearAction() const { return m_clearAction; }
    QAction* FilterAction() const { return m_filterAction; }

    void doItemsLayout() override;

signals:
    // Record index is now the shown one; the decode tree and the hex view follow.
    void PacketShown(int index);
    // "Clear content" from the context menu: the page clears all three panes.
    void ClearRequested();
    // "Set Filter" from the context menu.
    void SetFilterRequested();

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void OnRowsInserted(const QModelIndex& parent, int first);
    void OnModelReset();

    CPacketLog& m_log;
    CPacketListModel* m_model;
    QMenu* m_menu;
    QAction* m_clearAction;
    QAction* m_filterAction;
    int m_selected = -1;
    int m_pendingSelection = -1; // the record SelectRecord waits for
    bool m_appendedOffScreen = false; // the pending layout is only for rows below the last visible one
};
