// The brief list of captured PDUs.
#include "ui/ViewLogBrief.h"

#include "capture/PacketLog.h"
#include "ui/PacketListModel.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

namespace {

constexpr int kColumnWidths[CPacketListModel::kColumnCount] = {50, 120, 100, 250, 50, 180};

} // namespace

CViewLogBrief::CViewLogBrief(CPacketLog& log, const CPacketDecoder& decoder, QWidget* parent)
    : QTableView(parent),
      m_log(log),
      m_model(new CPacketListModel(log, decoder, this)),
      m_menu(new QMenu(this)),
      m_clearAction(m_menu->addAction(QStringLiteral("Clear content"))),
      m_filterAction(m_menu->addAction(QStringLiteral("Set Filter"))) {
    setAccessibleName(QStringLiteral("Packet list"));
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setIconSize(QSize(16, 16));

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
    for (int column = 0; column < CPacketListModel::kColumnCount; ++column)
        columns->resizeSection(column, kColumnWidths[column]);

    m_clearAction->setEnabled(false);
    connect(m_clearAction, &QAction::triggered, this, &CViewLogBrief::ClearRequested);
    connect(m_filterAction, &QAction::triggered, this, &CViewLogBrief::SetFilterRequested);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menu->popup(viewport()->mapToGlobal(pos)); });

    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CViewLogBrief::OnRowsInserted);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CViewLogBrief::OnModelReset);
}

void CViewLogBrief::Clear() {
    // The model hears of the reset from the log and drops its rows.
    m_log.Reset();
    m_selected = -1;
}

void CViewLogBrief::ShowPacket(int i) {
    m_selected = i;
    scrollTo(m_model->index(i, 0));
    emit PacketShown(i);
}

void CViewLogBrief::SelectRecord(int i) {
    m_pendingSelection = i;
    if (i >= 0 && i < m_model->rowCount()) {
        m_pendingSelection = -1;
        m_appendedOffScreen = false; // the list scrolls to the row and must lay it out
        selectionModel()->setCurrentIndex(m_model->index(i, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void CViewLogBrief::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTableView::selectionChanged(selected, deselected);
    if (selected.isEmpty())
        return;
    const int row = selected.first().top();
    if (row != m_selected)
        ShowPacket(row);
}

void CViewLogBrief::doItemsLayout() {
    // Rows appended below the last visible row change nothing on screen but the scroll bar;
    // under load a full repaint of the visible rows on every turn would cost more than the
    // capture itself.
    if (m_appendedOffScreen) {
        m_appendedOffScreen = false;
        updateGeometries();
        return;
    }
    QTableView::doItemsLayout();
}

void CViewLogBrief::OnRowsInserted(const QModelIndex&, int first) {
    const int lastVisible = rowAt(viewport()->height() - 1);
    m_appendedOffScreen = lastVisible >= 0 && first > lastVisible;
    m_clearAction->setEnabled(true);
    if (m_pendingSelection >= 0 && m_pendingSelection < m_model->rowCount())
        return SelectRecord(m_pendingSelection);
    if (selectionModel()->hasSelection())
        return;
    m_selected = -1; // row 0 is shown even if it was the shown row before the user deselected it
    selectionModel()->setCurrentIndex(m_model->index(0, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CViewLogBrief::OnModelReset() {
    m_selected = -1;
    m_pendingSelection = -1;
    m_appendedOffScreen = false;
    m_clearAction->setEnabled(false);
}
