// The brief list of captured PDUs.
#include "ui/ViewLogBrief.h"

#include "analysis/PacketPairs.h"
#include "capture/PacketLog.h"
#include "simulator/Settings.h"
#include "ui/FieldColumnDialog.h"
#include "ui/PacketFilterProxy.h"
#include "ui/PacketListModel.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace {

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
      m_columnMenu(new QMenu(QStringLiteral("Colu&mns"), this)),
      m_answerClock(new QTimer(this)),
      m_followClock(new QTimer(this)) {
    m_menu->addSeparator();
    m_clearAction = m_menu->addAction(QStringLiteral("Clear content"));
    m_filterAction = m_menu->addAction(QStringLiteral("Set Filter"));
    m_menu->addSeparator();
    m_menu->addMenu(m_columnMenu);
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
    SetUpColumnMenu();
}

// Rows of one height, columns as wide as their longest forms, the layout the user left.
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
    columns->setSectionsMovable(true);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    // A column scrolled to shows whole, not only from its left edge.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    for (int column = 0; column < m_model->columnCount(); ++column)
        columns->resizeSection(column, ContentWidth(column));
    // Ready to switch on from the columns' menu.
    columns->hideSection(CPacketListModel::kDestination);
    columns->hideSection(CPacketListModel::kSourceAddress);
    RestoreColumns();
    connect(columns, &QHeaderView::sectionMoved, this, &CViewLogBrief::SaveColumns);
    connect(columns, &QHeaderView::sectionResized, this, &CViewLogBrief::SaveColumns);
    connect(m_model, &QAbstractItemModel::columnsInserted, this, [this](const QModelIndex&, int first, int last) {
        // A field's values vary too much for a sample: the rows on screen size its column.
        for (int column = first; column <= last; ++column)
            horizontalHeader()->resizeSection(column, std::max(ContentWidth(column), sizeHintForColumn(column)));
        SaveColumns();
    });
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, &CViewLogBrief::SaveColumns);
}

int CViewLogBrief::ContentWidth(int column) const {
    // What the item delegate puts around a text and beside an icon, and the grid line.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    int cell = fontMetrics().horizontalAdvance(m_model->WidestText(column)) + margin + (showGrid() ? 1 : 0);
    if (column == CPacketListModel::kSeq || column == CPacketListModel::kStatus)
        cell += iconSize().width() + margin; // the protocol's icon, the error's icon
    const QHeaderView* header = horizontalHeader();
    const int title = header->fontMetrics().horizontalAdvance(m_model->headerData(column, Qt::Horizontal).toString()) +
                      2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return std::max(cell, title);
}

void CViewLogBrief::RestoreColumns() {
    const CSettings settings;
    const QByteArray header = settings.PacketListHeader();
    bool fits = !header.isEmpty();
    for (const QString& field : settings.PacketListFields())
        fits = fits && m_model->AddFieldColumn(field) >= 0; // a field this build lacks: the saved layout is not ours
    if (fits)
        horizontalHeader()->restoreState(header);
    m_restoring = false;
}

void CViewLogBrief::SaveColumns() {
    if (!m_restoring)
        CSettings().SetPacketListLayout(m_model->AddedFields(), horizontalHeader()->saveState());
}

void CViewLogBrief::SetUpColumnMenu() {
    m_columnMenu->setObjectName("ColumnMenu");
    QHeaderView* header = horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& pos) {
        OpenColumnMenu(header->logicalIndexAt(pos), header->mapToGlobal(pos));
    });
    connect(m_columnMenu, &QMenu::aboutToShow, this, &CViewLogBrief::FillColumnMenu);
}

void CViewLogBrief::OpenColumnMenu(int column, const QPoint& at) {
    m_menuColumn = column;
    m_columnMenu->popup(at);
}

void CViewLogBrief::FillColumnMenu() {
    m_columnMenu->clear();
    QHeaderView* header = horizontalHeader();
    const int shown = header->count() - header->hiddenSectionCount();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        QAction* check = m_columnMenu->addAction(m_model->headerData(column, Qt::Horizontal).toString());
        check->setCheckable(true);
        check->setChecked(!header->isSectionHidden(column));
        // The last column shown stays: a list without columns has no header to bring them back by.
        check->setEnabled(header->isSectionHidden(column) || shown > 1);
        connect(check, &QAction::toggled, this, [this, column](bool on) {
            horizontalHeader()->setSectionHidden(column, !on);
            SaveColumns();
        });
    }
    m_columnMenu->addSeparator();
    const int column = m_menuColumn;
    const bool onColumn = column >= 0 && column < m_model->columnCount() && !header->isSectionHidden(column);
    // The commands name the column they act on, when they have one.
    const QString title = onColumn ? QStringLiteral(" \"%1\"").arg(m_model->headerData(column, Qt::Horizontal).toString()) : QString();
    QAction* left = m_columnMenu->addAction(QStringLiteral("Move%1 &left").arg(title), this, [this] { MoveColumn(-1); });
    QAction* right = m_columnMenu->addAction(QStringLiteral("Move%1 &right").arg(title), this, [this] { MoveColumn(1); });
    left->setObjectName("MoveColumnLeft");
    right->setObjectName("MoveColumnRight");
    left->setEnabled(onColumn);
    right->setEnabled(onColumn);
    m_columnMenu->addAction(QStringLiteral("&Add column for field..."), this, &CViewLogBrief::OpenAddColumn)
        ->setObjectName("AddColumn");
    const bool added = onColumn && m_model->IsAddedColumn(column);
    QAction* remove = m_columnMenu->addAction(QStringLiteral("Re&move column%1").arg(added ? title : QString()), this,
                                              [this, column] { m_model->RemoveFieldColumn(column); });
    remove->setObjectName("RemoveColumn");
    remove->setEnabled(added);
}

void CViewLogBrief::MoveColumn(int step) {
    QHeaderView* header = horizontalHeader();
    const int from = header->visualIndex(m_menuColumn);
    if (from < 0)
        return;
    // Past the hidden columns to the next one shown: a move the eye can see.
    for (int to = from + step; to >= 0 && to < header->count(); to += step) {
        if (!header->isSectionHidden(header->logicalIndex(to))) {
            header->moveSection(from, to);
            return;
        }
    }
}

bool CViewLogBrief::ShowFieldColumn(const QString& field) {
    const int column = m_model->AddFieldColumn(field);
    if (column < 0)
        return false;
    horizontalHeader()->showSection(column);
    // On the next turn, once the scroll bars have made room for the new column (and for each other).
    QMetaObject::invokeMethod(this, [this, column] {
        const int row = currentIndex().isValid() ? currentIndex().row() : std::max(rowAt(0), 0);
        updateGeometries(); // the scroll bar's range takes the new column in
        if (column < m_proxy->columnCount() && m_proxy->rowCount() > 0)
            scrollTo(m_proxy->index(row, column));
    }, Qt::QueuedConnection);
    SaveColumns();
    return true;
}

void CViewLogBrief::OpenAddColumn() {
    auto* dialog = new CFieldColumnDialog(
        m_model->KnownFields(),
        [this](const QString& field) {
            if (field.isEmpty())
                return QStringLiteral("Type the name of a field, such as smpp.data_coding.");
            return ShowFieldColumn(field) ? QString() : QStringLiteral("No field is named \"%1\".").arg(field);
        },
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
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
        m_menuColumn = columnAt(pos.x());
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
    // "Seq" widens as its numbers gain a digit.
    if (const int seq = ContentWidth(CPacketListModel::kSeq);
        !isColumnHidden(CPacketListModel::kSeq) && columnWidth(CPacketListModel::kSeq) < seq)
        horizontalHeader()->resizeSection(CPacketListModel::kSeq, seq);
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
