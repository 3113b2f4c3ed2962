// The brief list: one row per captured PDU, and the choice of the record the lower panes show.
#pragma once

#include <QTableView>

#include <cstdint>

class CPacketDecoder;
class CPacketFilterProxy;
class CPacketListModel;
class CPacketLog;
class CPacketPairs;
class QAction;
class QMenu;
class QTimer;

// A report-style list over CPacketListModel, narrowed by the display filter (CPacketFilterProxy),
// with single, full-row selection. Keeps the index of the record shown in the lower panes (the
// selected record index, -1 for none) and tells the page when it changes; the page loads that
// record into the decode tree and the hex view. Selecting a row, with the mouse or the keyboard,
// shows it; re-selecting the shown row does nothing. When rows arrive and none is selected, row 0
// is selected and shown.
//
// Following (on from the start, when the empty list is at its bottom): new rows keep the bottom of
// the list in view, the selection staying where it is. The user selecting the last row or scrolling
// to the bottom turns it on, selecting another row or scrolling up turns it off, and "Follow
// capture" turns it on or off. Not following, new rows change nothing on screen but the scroll bar.
// UI thread only.
class CViewLogBrief : public QTableView {
    Q_OBJECT
public:
    CViewLogBrief(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs,
                  QWidget* parent = nullptr);

    // Deletes every row and resets the capture log; no record is shown any more.
    void Clear();
    // Makes record i the shown one: scrolls its row into view (if the filter shows it) and emits PacketShown(i).
    void ShowPacket(int i);
    // Selects and shows record i now, or as soon as its row is listed (rows come a turn after
    // their records); a record the display filter hides is shown without a selected row. A later
    // Clear or wipe forgets it.
    void SelectRecord(int i);
    int SelectedIndex() const { return m_selected; }
    // Applies a display filter (CPacketFilterProxy::SetFilterText). The shown record stays shown and selected
    // while the filter lists it; one the filter hides is shown no more (PacketShown(-1)) and comes back, selected,
    // with the first later filter that lists it again.
    bool ApplyFilter(const QString& text, QString& error);
    // The shown record's request or answer becomes the shown one; false when it has none.
    bool GoToPartner();

    bool IsFollowing() const { return m_follow; }
    void SetFollowing(bool follow);
    // How long a following list lets new rows gather before it scrolls to them (100 ms unless told).
    void SetFollowInterval(int ms);

    CPacketListModel* Model() const { return m_model; }
    CPacketFilterProxy* Proxy() const { return m_proxy; }
    // The list's context menu: "Go to request/response", "Show this connection only", "Clear
    // content" (greyed while the list is empty) and "Set Filter".
    QMenu* ContextMenu() const { return m_menu; }
    QAction* GoToPartnerAction() const { return m_partnerAction; }
    QAction* ConnectionAction() const { return m_connectionAction; }
    QAction* ClearAction() const { return m_clearAction; }
    QAction* FilterAction() const { return m_filterAction; }

    // The columns' menu, on a right-click of the header and as "Columns" in the list's menu: a check per column to
    // show or hide it, "Move left" and "Move right" for the column it was opened on, "Add column for field..." and
    // "Remove column" for a column the user added. The layout is remembered from one run to the next.
    QMenu* ColumnMenu() const { return m_columnMenu; }
    // Opens the columns' menu for a column at a point of the header.
    void OpenColumnMenu(int column, const QPoint& at);
    // Adds the column of that field (or shows it, when the list has it) and scrolls to it; false for a name of no field.
    bool ShowFieldColumn(const QString& field);
    // "Add column for field...": the dialog, window-modal.
    void OpenAddColumn();

    void doItemsLayout() override;
    // Rows off screen draw nothing: a range of them (the requests that new answers complete, on
    // every batch under load) would otherwise redraw the whole list.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = {}) override;

signals:
    // Record index is now the shown one; the decode tree and the hex view follow (-1: they show nothing).
    void PacketShown(int index);
    // "Clear content" from the context menu: the page clears all three panes.
    void ClearRequested();
    // "Set Filter" from the context menu.
    void SetFilterRequested();
    // "Show this connection only" for the shown record's connection.
    void ConnectionRequested(uint64_t connection);
    void FollowingChanged(bool following);

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void SetUpHeaders();
    void SetUpMenu();
    void SetUpClocks();
    void SetUpColumnMenu();
    void FillColumnMenu();
    // Moves the column the menu was opened on one place left (-1) or right (+1) among the columns shown.
    void MoveColumn(int step);
    // The width a column needs for its header and its widest common text.
    int ContentWidth(int column) const;
    void RestoreColumns();
    void SaveColumns();
    void OnRowsInserted(const QModelIndex& parent, int first);
    void OnModelReset();
    void OnScrolled(int value);
    void UpdateActions();
    void SelectRow(int row);

    CPacketLog& m_log;
    const CPacketPairs& m_pairs;
    CPacketListModel* m_model;
    CPacketFilterProxy* m_proxy;
    QMenu* m_menu;
    QAction* m_partnerAction;
    QAction* m_connectionAction;
    QAction* m_clearAction;
    QAction* m_filterAction;
    QMenu* m_columnMenu;
    int m_menuColumn = -1; // the column the columns' menu was opened on
    bool m_restoring = true; // the header is being laid out, not changed by the user
    QTimer* m_answerClock; // "no answer" comes with time alone
    QTimer* m_followClock; // following scrolls a few times a second, not on every batch of rows
    int m_selected = -1;
    int m_pendingSelection = -1; // the record SelectRecord waits for
    int m_hiddenRecord = -1; // the shown record a filter hid, selected again when a filter lists it
    bool m_appendedOffScreen = false; // the pending layout is only for rows below the last visible one
    bool m_follow = true;
    bool m_moving = false; // the list itself is moving the selection or the scroll bar
    bool m_filtering = false; // rows come and go under a new filter: the shown record stays
};
