// The brief list of captured PDUs.
#include "ui/ViewLogBrief.h"

#include "analysis/PacketPairs.h"
#include "capture/PacketLog.h"
#include "ui/PacketFilterProxy.h"
#include "ui/PacketListModel.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kColumnWidths[CPacketListModel::kColumnCount] = {50, 110, 80, 190, 50, 160, 160, 70};
// How often rows waiting for an answer are read again, so that "no answer" shows when it is due.
constexpr int kAnswerClockMs = 1000;
// How often a following list catches up with the newest rows: often enough for the eye, seldom
// enough that under load the rows on screen are not drawn again on every turn.
constexpr int kFollowMs = 100;

// Raises a flag for the scope, then puts it back as it was.
class FlagUp {
public:
    explicit FlagUp(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~FlagUp() { m_flag = m_was; }
    FlagUp(const FlagUp&) = delete;
    FlagUp& operator=(const FlagUp&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

} // namespace

CViewLogBrief::CViewLogBrief(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs,
                             QWidget* parent)
    : QTableView(parent),
      m_log(log),
      m_pairs(pairs),
      m_model(new CPacketListModel(log, decoder, pairs, this)),
      m_proxy(new CPacketFilterProxy(log, pairs, decoder, this)),
      m_menu(new QMenu(this)),
      m_partnerAction(m_menu->addAction(QStringLiteral("&Go to request/response"))),
      m_connectionAction(m_menu->addAction(QStringLiteral("Show this c&onnection only"))),
      m_clearAction(nullptr),
      m_filterAction(nullptr),
      m_answerClock(new QTimer(this)),
      m_followClock(new QTimer(this)) {
    m_menu->addSeparator();
    m_clearAction = m_menu->addAction(QStringLiteral("Clear content"));
    m_filterAction = m_menu->addAction(QStringLiteral("Set Filter"));
    setAccessibleName(QStringLiteral("Packet list"));
    m_proxy->setSourceModel(m_model);
    setModel(m_proxy);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setIconSize(QSize(16, 16));

    SetUpHeaders();
    SetUpMenu();
    SetUpClocks();
}

// Rows of one height, columns as wide as their longest forms.
void CViewLogBrief::SetUpHeaders() {
    // Every row as tall as the next: the view then asks the model only for the rows on screen.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(fontMetrics().height(), iconSize().height()) + 4);
    rows->setMinimumSectionSize(1);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    for (int column = 0; column < CPacketListModel::kColumnCount; ++column)
        columns->resizeSection(column, kColumnWidths[column]);
    // The columns whose texts have a known longest form are as wide as the font makes that form.
    const QFontMetrics metrics = fontMetrics();
    columns->resizeSection(CPacketListModel::kTime, metrics.horizontalAdvance("2026-12-07 10:11:12.345") + 16);
    columns->resizeSection(CPacketListModel::kStatus, metrics.horizontalAdvance("ESME_RINVCMDID") + iconSize().width() + 20);
}

// The row's context menu: its partner, its connection, Clear content and Set Filter.
void CViewLogBrief::SetUpMenu() {
    m_partnerAction->setObjectName("GoToPartner");
    m_connectionAction->setObjectName("ShowConnection");
    connect(m_partnerAction, &QAction::triggered, this, &CViewLogBrief::GoToPartner);
    connect(m_connectionAction, &QAction::triggered, this, [this] {
        if (const uint64_t connection = m_log.SummaryAt(m_selected).connection)
            emit ConnectionRequested(connection);
    });
    connect(m_clearAction, &QAction::triggered, this, &CViewLogBrief::ClearRequested);
    connect(m_filterAction, &QAction::triggered, this, &CViewLogBrief::SetFilterRequested);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        UpdateActions();
        m_menu->popup(viewport()->mapToGlobal(pos));
    });
    UpdateActions();
}

// New rows, resets and scrolling followed; the answer clock and the follow clock started.
void CViewLogBrief::SetUpClocks() {
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, &CViewLogBrief::OnRowsInserted);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &CViewLogBrief::OnModelReset);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CViewLogBrief::OnScrolled);
    connect(m_answerClock, &QTimer::timeout, this, [this] {
        m_proxy->RefreshTimeTerms();
        viewport()->update();
    });
    m_answerClock->start(kAnswerClockMs);
    m_followClock->setSingleShot(true);
    m_followClock->setInterval(kFollowMs);
    connect(m_followClock, &QTimer::timeout, this, [this] {
        if (!m_follow)
            return;
        FlagUp moving(m_moving);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    });
}

void CViewLogBrief::Clear() {
    // The model hears of the reset from the log and drops its rows.
    m_log.Reset();
    m_selected = -1;
    m_hiddenRecord = -1;
    UpdateActions();
}

void CViewLogBrief::ShowPacket(int i) {
    m_selected = i;
    if (const int row = m_proxy->RowOf(i); row >= 0)
        scrollTo(m_proxy->index(row, 0));
    UpdateActions();
    emit PacketShown(i);
}

void CViewLogBrief::SelectRecord(int i) {
    m_pendingSelection = i;
    if (i < 0 || i >= m_model->rowCount())
        return;
    m_pendingSelection = -1;
    const int row = m_proxy->RowOf(i);
    if (row < 0) {
        // Hidden by the display filter: shown in the lower panes all the same.
        selectionModel()->clearSelection();
        ShowPacket(i);
        return;
    }
    m_appendedOffScreen = false; // the list scrolls to the row and must lay it out
    SelectRow(row);
}

void CViewLogBrief::SelectRow(int row) {
    selectionModel()->setCurrentIndex(m_proxy->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool CViewLogBrief::ApplyFilter(const QString& text, QString& error) {
    bool applied = false;
    {
        FlagUp moving(m_moving); // the rows come and go; the user chose nothing
        FlagUp filtering(m_filtering);
        applied = m_proxy->SetFilterText(text, error);
        // The list may have moved the selection to a neighbour of a row that went: back to the shown record, or
        // to the one an earlier filter hid. A record the filter hides is neither selected nor shown below.
        const int record = m_selected >= 0 ? m_selected : m_hiddenRecord;
        if (const int row = m_proxy->RowOf(record); row >= 0) {
            m_hiddenRecord = -1;
            SelectRow(row);
            scrollTo(m_proxy->index(row, 0));
        } else {
            selectionModel()->clear();
            m_hiddenRecord = record;
        }
    }
    if (m_hiddenRecord >= 0 && m_selected >= 0)
        ShowPacket(-1);
    else if (m_hiddenRecord < 0 && m_selected < 0 && selectionModel()->hasSelection())
        ShowPacket(m_proxy->RecordAt(selectionModel()->currentIndex().row()));
    UpdateActions();
    return applied;
}

void CViewLogBrief::SetFollowInterval(int ms) { m_followClock->setInterval(ms); }

bool CViewLogBrief::GoToPartner() {
    const int partner = m_pairs.PartnerOf(m_selected);
    if (partner < 0)
        return false;
    SelectRecord(partner);
    return true;
}

void CViewLogBrief::SetFollowing(bool follow) {
    if (follow == m_follow)
        return;
    m_follow = follow;
    if (follow) {
        FlagUp moving(m_moving);
        scrollToBottom();
    }
    emit FollowingChanged(follow);
}

void CViewLogBrief::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTableView::selectionChanged(selected, deselected);
    if (selected.isEmpty())
        return;
    const int row = selected.first().top();
    if (!m_moving) {
        // The user chose: the last row follows the capture, any other row stays put.
        const bool last = row == m_proxy->rowCount() - 1;
        if (last != m_follow) {
            m_follow = last;
            emit FollowingChanged(last);
        }
    }
    const int record = m_proxy->RecordAt(row);
    if (record != m_selected && !m_filtering)
        ShowPacket(record);
}

void CViewLogBrief::OnScrolled(int value) {
    if (m_moving || !isVisible())
        return;
    const bool bottom = value == verticalScrollBar()->maximum();
    if (bottom != m_follow) {
        m_follow = bottom;
        emit FollowingChanged(bottom);
    }
}

void CViewLogBrief::doItemsLayout() {
    // Rows appended below the last visible row change nothing on screen but the scroll bar;
    // under load a full repaint of the visible rows on every turn would cost more than the
    // capture itself.
    if (m_appendedOffScreen) {
        m_appendedOffScreen = false;
        updateGeometries();
    } else {
        QTableView::doItemsLayout();
    }
    if (m_follow && !m_followClock->isActive() && verticalScrollBar()->value() != verticalScrollBar()->maximum())
        m_followClock->start();
}

void CViewLogBrief::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    const int firstShown = rowAt(0);
    const int lastShown = rowAt(viewport()->height() - 1);
    const bool below = lastShown >= 0 && topLeft.row() > lastShown;
    if (firstShown >= 0 && (bottomRight.row() < firstShown || below))
        return;
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

void CViewLogBrief::OnRowsInserted(const QModelIndex&, int first) {
    const int lastVisible = rowAt(viewport()->height() - 1);
    m_appendedOffScreen = lastVisible >= 0 && first > lastVisible;
    UpdateActions();
    if (m_pendingSelection >= 0 && m_pendingSelection < m_model->rowCount())
        return SelectRecord(m_pendingSelection);
    // The shown record stays shown while a filter takes its row away and gives it back.
    if (selectionModel()->hasSelection() || (m_moving && m_selected >= 0) ||
        (m_selected >= 0 && m_proxy->RowOf(m_selected) < 0) || m_hiddenRecord >= 0)
        return;
    m_selected = -1; // row 0 is shown even if it was the shown row before the user deselected it
    FlagUp moving(m_moving); // the list's choice, not the user's: following stays as it is
    SelectRow(0);
}

void CViewLogBrief::OnModelReset() {
    m_selected = -1;
    m_hiddenRecord = -1;
    m_pendingSelection = -1;
    m_appendedOffScreen = false;
    UpdateActions();
}

void CViewLogBrief::UpdateActions() {
    m_clearAction->setEnabled(m_model->rowCount() > 0);
    m_partnerAction->setEnabled(m_pairs.PartnerOf(m_selected) >= 0);
    m_connectionAction->setEnabled(m_log.SummaryAt(m_selected).connection != 0);
}
