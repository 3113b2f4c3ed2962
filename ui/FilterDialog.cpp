// Builds the filter tree, carries a clicked check through it, and stores the choice on OK.
#include "ui/FilterDialog.h"

#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "ui/AccountsPage.h"
#include "ui/DeliveryPage.h"
#include "ui/FaultsPage.h"
#include "ui/FilterTable.h"
#include "ui/Icons.h"
#include "ui/OptionsPage.h"
#include "ui/SessionsPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

// Knows whether the check box being toggled was clicked with the mouse: the delegate toggles a
// box on the button's release, inside the release handler.
class CFilterTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    bool TogglingByMouse() const { return m_byMouse; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        m_byMouse = true;
        QTreeWidget::mouseReleaseEvent(event);
        m_byMouse = false;
    }

private:
    bool m_byMouse = false;
};

namespace {

constexpr int kIdRole = Qt::UserRole;

// The dialog's 310 x 319 dialog units at the usual 1.5 pixels per unit across and 1.625 down.
constexpr QSize kDialogSize(465, 520);

void SetSubtree(QTreeWidgetItem* node, Qt::CheckState state) {
    node->setCheckState(0, state);
    for (int i = 0; i < node->childCount(); ++i)
        SetSubtree(node->child(i), state);
}

} // namespace

CFilterDialog::CFilterDialog(CSimulator& simulator, QWidget* parent) : QDialog(parent), m_simulator(simulator) {
    setWindowTitle("Define filter");
    setWindowIcon(icons::Icon(icons::kDecoder));
    setModal(true);

    m_tree = new CFilterTree(this);
    m_tree->setObjectName("FilterTree");
    m_tree->setAccessibleName("Protocols and commands to capture");
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_tree->setIconSize(QSize(16, 16));

    auto* filterPage = new QWidget;
    m_tree->setParent(filterPage);
    m_showUnknown = new QCheckBox("&Show unknown protocol", filterPage);
    m_unanswered = new QSpinBox(filterPage);
    m_unanswered->setObjectName("UnansweredSeconds");
    m_unanswered->setRange(1, CSettings::kMaxUnansweredSeconds);
    m_unanswered->setSuffix(" s");
    m_unanswered->setValue(CSettings().UnansweredSeconds());
    auto* unansweredLabel = new QLabel("&Unanswered after:", filterPage);
    unansweredLabel->setBuddy(m_unanswered);
    m_unanswered->setToolTip("A request whose answer has not come after this long shows \"no answer\" in the packet list");
    auto* unansweredRow = new QHBoxLayout;
    unansweredRow->addWidget(unansweredLabel);
    unansweredRow->addWidget(m_unanswered);
    unansweredRow->addStretch(1);
    auto* filterLayout = new QVBoxLayout(filterPage);
    filterLayout->addWidget(m_tree);
    filterLayout->addWidget(m_showUnknown, 0, Qt::AlignLeft);
    filterLayout->addLayout(unansweredRow);
    m_pages = new QTabWidget(this);
    m_pages->addTab(filterPage, "Define filter");

    auto* ok = new QPushButton("&OK", this);
    auto* cancel = new QPushButton("&Cancel", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);
    resize(kDialogSize);
    AddPage(new CDeliveryPage(simulator), "Delivery");
    AddPage(new CFaultsPage(simulator), "Faults");
    AddPage(new CAccountsPage(simulator), "Accounts");
    AddPage(new CSessionsPage(simulator), "Sessions");

    m_showUnknown->setChecked(CSettings().ShowUnknown());
    BuildTree(simulator.Log().GetFilter());
    connect(m_tree, &QTreeWidget::itemChanged, this, &CFilterDialog::OnItemChanged);
}

void CFilterDialog::BuildTree(const std::string& filter) {
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    m_nodes.clear();
    for (const filter_table::FilterItem& row : filter_table::kTable) {
        QTreeWidgetItem* parentNode = Node(row.parentId);
        auto* node = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(m_tree);
        node->setText(0, row.label);
        const int image = icons::NavigationIndex(row.icon);
        QIcon icon;
        icon.addPixmap(icons::NavigationIcon(image).pixmap(16, 16), QIcon::Normal);
        icon.addPixmap(icons::NavigationIcon(image + 1).pixmap(16, 16), QIcon::Selected);
        node->setIcon(0, icon);
        node->setData(0, kIdRole, row.id);
        node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
        const auto at = static_cast<std::size_t>(row.id);
        const bool checked = at < filter.size() && filter[at] != '0';
        node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        m_nodes.append(node);
    }
    m_tree->expandAll();
    if (QTreeWidgetItem* all = Node(0))
        m_tree->scrollToItem(all);
    m_tree->setUpdatesEnabled(true);
}

QTreeWidgetItem* CFilterDialog::Node(int id) const {
    return id >= 0 && id < m_nodes.size() ? m_nodes[id] : nullptr;
}

QTreeWidget* CFilterDialog::Tree() const {
    return m_tree;
}

void CFilterDialog::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (m_propagating || column != 0 || !m_tree->TogglingByMouse())
        return;
    m_propagating = true;
    const Qt::CheckState state = item->checkState(0);
    SetSubtree(item, state);
    if (state == Qt::Checked)
        for (QTreeWidgetItem* above = item->parent(); above; above = above->parent())
            above->setCheckState(0, Qt::Checked);
    m_propagating = false;
}

std::string CFilterDialog::Filter() const {
    std::string filter;
    for (const QTreeWidgetItem* node : m_nodes)
        filter += node->checkState(0) == Qt::Checked ? '1' : '0';
    return filter;
}

void CFilterDialog::AddPage(COptionsPage* page, const QString& title) {
    m_pages->addTab(page, title);
    m_extraPages.append(page);
}

void CFilterDialog::accept() {
    for (COptionsPage* page : m_extraPages) {
        if (!page->CanApply()) {
            m_pages->setCurrentWidget(page);
            return;
        }
    }
    for (COptionsPage* page : m_extraPages)
        page->Apply();
    m_simulator.SaveFilter(Filter(), m_showUnknown->isChecked());
    m_simulator.SaveUnansweredSeconds(m_unanswered->value());
    QDialog::accept();
}
