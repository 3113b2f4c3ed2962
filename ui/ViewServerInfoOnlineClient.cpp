// The online list pane: caption bar, deliver button, the list and its context menu.
#include "ui/ViewServerInfoOnlineClient.h"

#include "ui/CaptionBar.h"
#include "ui/Icons.h"
#include "ui/KeepSelection.h"
#include "ui/OnlineClientModel.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

CViewServerInfoOnlineClient::CViewServerInfoOnlineClient(const CSocketServer& server, QWidget* parent)
    : QWidget(parent), m_model(new COnlineClientModel(server, this)) {
    auto* caption = new CCaptionBar("Online ESME(s)", this);
    m_caption = caption->Title();
    m_deliver = caption->AddButton(icons::kDeliver, "Deliver short message");
    connect(m_deliver, &QToolButton::clicked, this, &CViewServerInfoOnlineClient::DeliverRequested);
    SetUpList();
    SetUpActions();
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CViewServerInfoOnlineClient::UpdateActions);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &CViewServerInfoOnlineClient::UpdateActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CViewServerInfoOnlineClient::UpdateActions);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &CViewServerInfoOnlineClient::UpdateActions);
    UpdateActions();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(caption);
    layout->addWidget(m_list);
    setMinimumHeight(0);
}

void CViewServerInfoOnlineClient::SetUpList() {
    m_list = new QTableView(this);
    m_list->setModel(m_model);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(16, 16));
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    for (int column = 0; column < COnlineClientModel::kColumnCount; ++column)
        m_list->setColumnWidth(column, COnlineClientModel::ColumnWidth(column));
    KeepSelectionShownWithoutFocus(m_list);
    m_caption->setBuddy(m_list);
    setFocusProxy(m_list);
    // Binds and TLS are the SMPP server's: the mobile server's list shows neither.
    m_list->setColumnHidden(COnlineClientModel::kBindType, true);
    m_list->setColumnHidden(COnlineClientModel::kTransport, true);
}

// The row's commands, in its context menu and from the keyboard.
void CViewServerInfoOnlineClient::SetUpActions() {
    m_quickDeliver = new QAction("Quick deliver &short message", this);
    m_quickDeliver->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    m_quickDeliver->setShortcutContext(Qt::WidgetShortcut);
    m_list->addAction(m_quickDeliver);
    connect(m_quickDeliver, &QAction::triggered, this, [this] {
        if (const uint64_t id = SelectedConnectionId())
            emit QuickDeliverRequested(id);
    });
    m_showConnection = new QAction("Show this c&onnection only", this);
    m_showConnection->setObjectName("ShowConnection");
    connect(m_showConnection, &QAction::triggered, this, [this] {
        if (const uint64_t id = SelectedConnectionId())
            emit ConnectionRequested(id);
    });
    // The session commands act on the selected row from the keyboard too.
    m_unbind = new QAction("&Unbind", this);
    m_unbind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    m_disconnect = new QAction("&Disconnect", this);
    m_disconnect->setShortcut(QKeySequence::Delete);
    for (QAction* action : {m_unbind, m_disconnect}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        m_list->addAction(action);
    }
    m_unbind->setVisible(false);
    connect(m_unbind, &QAction::triggered, this, [this] {
        if (const uint64_t id = SelectedConnectionId())
            emit UnbindRequested(id);
    });
    connect(m_disconnect, &QAction::triggered, this, [this] {
        if (const uint64_t id = SelectedConnectionId())
            emit DisconnectRequested(id);
    });
    m_menu = new QMenu(this);
    m_menu->addAction(m_quickDeliver);
    m_menu->addAction(m_showConnection);
    m_menu->addSeparator();
    m_menu->addAction(m_unbind);
    m_menu->addAction(m_disconnect);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CViewServerInfoOnlineClient::ShowContextMenu);
    connect(m_list, &QAbstractItemView::doubleClicked, m_quickDeliver, &QAction::trigger);
}

uint64_t CViewServerInfoOnlineClient::SelectedConnectionId() const {
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : m_model->ConnectionIdAt(rows.first().row());
}

void CViewServerInfoOnlineClient::OfferUnbind() {
    m_unbind->setVisible(true);
    m_list->setColumnHidden(COnlineClientModel::kBindType, false);
    m_list->setColumnHidden(COnlineClientModel::kTransport, false);
}

void CViewServerInfoOnlineClient::UpdateActions() {
    const bool selected = SelectedConnectionId() != 0;
    m_quickDeliver->setEnabled(selected);
    m_showConnection->setEnabled(selected);
    m_disconnect->setEnabled(selected);
    const QModelIndexList rows = m_list->selectionModel()->selectedRows(COnlineClientModel::kBindType);
    m_unbind->setEnabled(selected && !rows.isEmpty() && !rows.first().data().toString().isEmpty());
}

void CViewServerInfoOnlineClient::ShowContextMenu(const QPoint& position) {
    UpdateActions();
    m_menu->popup(m_list->viewport()->mapToGlobal(position));
}
