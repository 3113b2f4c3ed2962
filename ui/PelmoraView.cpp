// The overview list's model, its four styles and its double-click.
#include "ui/PelmoraView.h"

#include "ui/Navigation.h"

#include <QHeaderView>
#include <QListView>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

constexpr int kNameWidth = 150;
constexpr int kDescriptionWidth = 300;

void KeepRightClickHere(QAbstractItemView* view) {
    // The main window would otherwise offer its bars' menu for a click that should do nothing.
    view->setContextMenuPolicy(Qt::PreventContextMenu);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

} // namespace

CPelmoraView::CPelmoraView(const QList<QIcon>& largeIcons, const QList<QIcon>& smallIcons, QWidget* parent)
    : QWidget(parent), m_largeIcons(largeIcons), m_smallIcons(smallIcons) {
    setObjectName("PelmoraView");
    setAccessibleName("Overview");
    m_model = new QStandardItemModel(0, 2, this);
    m_model->setHorizontalHeaderLabels({"Name", "Description"});
    for (int column = 0; column < 2; ++column)
        m_model->setHeaderData(column, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter), Qt::TextAlignmentRole);

    m_list = new QListView(this);
    m_list->setObjectName("OverviewIcons");
    m_list->setModel(m_model);
    m_list->setModelColumn(0);
    m_list->setAccessibleName("Overview");

    m_report = new QTreeView(this);
    m_report->setObjectName("OverviewDetails");
    m_report->setModel(m_model);
    m_report->setRootIsDecorated(false);
    m_report->setItemsExpandable(false);
    m_report->setUniformRowHeights(true);
    m_report->setAllColumnsShowFocus(true);
    m_report->setIconSize(QSize(16, 16));
    m_report->header()->setStretchLastSection(false);
    m_report->header()->resizeSection(0, kNameWidth);
    m_report->header()->resizeSection(1, kDescriptionWidth);
    m_report->setAccessibleName("Overview");

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_list), static_cast<QAbstractItemView*>(m_report)}) {
        KeepRightClickHere(view);
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            const QModelIndex name = index.siblingAtColumn(0);
            if (name.isValid())
                emit RowActivated(name.data(kRowRole).toInt());
        });
    }

    m_layout = new QStackedLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(m_report);
    m_layout->addWidget(m_list);
    setFocusProxy(m_report);
    SetStyle(Style::Details);
}

void CPelmoraView::Fill(const ServerRunning& serverRunning) {
    m_model->removeRows(0, m_model->rowCount());
    for (const navigation::NavigationItem& row : navigation::kTable) {
        if (row.parentId != navigation::kConsoleRow)
            continue;
        const bool running = row.protocol != navigation::kNoProtocol && serverRunning && serverRunning(row.protocol);
        auto* name = new QStandardItem(row.name);
        name->setData(row.id, kRowRole);
        name->setData(navigation::ImageIndexOf(row, running), kImageRole);
        name->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* description = new QStandardItem(row.description);
        description->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // The column is narrower than most descriptions; the whole text shows on hover.
        description->setToolTip(row.description);
        name->setToolTip(row.description);
        m_model->appendRow({name, description});
    }
    ApplyIcons();
}

void CPelmoraView::ApplyIcons() {
    const QList<QIcon>& icons = m_style == Style::LargeIcon ? m_largeIcons : m_smallIcons;
    for (int i = 0; i < m_model->rowCount(); ++i) {
        QStandardItem* name = m_model->item(i, 0);
        const int image = name->data(kImageRole).toInt();
        name->setIcon(image >= 0 && image < icons.size() ? icons[image] : QIcon());
    }
}

void CPelmoraView::SetStyle(Style style) {
    const bool hadFocus = m_report->hasFocus() || m_list->hasFocus();
    m_style = style;
    switch (style) {
    case Style::LargeIcon:
        m_list->setViewMode(QListView::IconMode);
        m_list->setIconSize(QSize(32, 32));
        m_list->setGridSize(QSize(96, 64));
        m_list->setMovement(QListView::Snap);
        m_list->setWordWrap(true);
        break;
    case Style::SmallIcon:
        m_list->setViewMode(QListView::ListMode);
        m_list->setIconSize(QSize(16, 16));
        m_list->setGridSize(QSize(160, 22));
        m_list->setFlow(QListView::LeftToRight);
        m_list->setWrapping(true);
        m_list->setMovement(QListView::Snap);
        break;
    case Style::List:
        m_list->setViewMode(QListView::ListMode);
        m_list->setIconSize(QSize(16, 16));
        m_list->setGridSize(QSize());
        m_list->setFlow(QListView::TopToBottom);
        m_list->setWrapping(true);
        m_list->setMovement(QListView::Static);
        break;
    case Style::Details:
        break;
    }
    ApplyIcons();
    QAbstractItemView* shown = ItemView();
    m_layout->setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
}

void CPelmoraView::LineUp() {
    if (CanLineUp())
        m_list->doItemsLayout();
}

QAbstractItemView* CPelmoraView::ItemView() const {
    if (m_style == Style::Details)
        return m_report;
    return m_list;
}
