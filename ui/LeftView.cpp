// Builds the navigation tree and turns its selection into a row.
#include "ui/LeftView.h"

#include "ui/Navigation.h"

#include <QHeaderView>

namespace {

// A node shows image index normally and index + 1 while selected.
QIcon NodeIcon(const QList<QIcon>& icons, int index) {
    QIcon icon;
    const QSize size(16, 16);
    if (index >= 0 && index < icons.size())
        icon.addPixmap(icons[index].pixmap(size), QIcon::Normal);
    if (index + 1 >= 0 && index + 1 < icons.size())
        icon.addPixmap(icons[index + 1].pixmap(size), QIcon::Selected);
    return icon;
}

} // namespace

CLeftView::CLeftView(const QList<QIcon>& smallIcons, QWidget* parent) : QTreeWidget(parent), m_icons(smallIcons) {
    setObjectName("LeftView");
    setAccessibleName("Navigation");
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelectionChanged);
}

void CLeftView::Build(const ServerRunning& serverRunning) {
    const QSignalBlocker quiet(this);
    clear();
    m_nodes.clear();
    for (const navigation::NavigationItem& row : navigation::kTable) {
        const bool running = row.protocol != navigation::kNoProtocol && serverRunning && serverRunning(row.protocol);
        const int image = navigation::ImageIndexOf(row, running);
        QTreeWidgetItem* parentNode = Node(row.parentId);
        auto* node = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(this);
        node->setText(0, row.name);
        node->setIcon(0, NodeIcon(m_icons, image));
        node->setData(0, kRowRole, row.id);
        node->setData(0, kImageRole, image);
        m_nodes.append(node);
    }
    if (QTreeWidgetItem* console = Node(navigation::kConsoleRow))
        console->setExpanded(true);
    m_currentRow = navigation::kConsoleRow;
}

QTreeWidgetItem* CLeftView::Node(int id) const {
    return id >= 0 && id < m_nodes.size() ? m_nodes[id] : nullptr;
}

void CLeftView::SelectRow(int id) {
    if (QTreeWidgetItem* node = Node(id))
        setCurrentItem(node);
}

void CLeftView::OnSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    m_currentRow = selected.first()->data(0, kRowRole).toInt();
    emit RowSelected(m_currentRow);
}
