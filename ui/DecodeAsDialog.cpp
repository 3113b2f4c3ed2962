// "Decode as": the dialog that edits the port overrides of capture file import.
#include "ui/DecodeAsDialog.h"

#include "protocol/Registry.h"
#include "simulator/Settings.h"
#include "ui/Icons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPortRole = Qt::UserRole;

QString ProtocolName(uint16_t code) {
    const protocol::Protocol* found = protocol::Find(code);
    return found ? QString::fromUtf8(found->name.data(), qsizetype(found->name.size())) : QString();
}

} // namespace

CDecodeAsDialog::CDecodeAsDialog(QWidget* parent) : QDialog(parent), m_table(CSettings().DecodeAs()) {
    setWindowTitle("Decode as");
    setWindowIcon(icons::Icon(icons::kDecoder));
    setModal(true);

    auto* intro = new QLabel("A capture file's TCP streams are read as the protocol whose usual port they use. "
                             "A port listed here is read as the protocol given instead.",
                             this);
    intro->setWordWrap(true);

    QGridLayout* entry = CreateEntryRow();
    QLabel* listLabel = CreateOverrideList();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(m_remove);
    listButtons->addStretch();
    listRow->addLayout(listButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(entry);
    layout->addWidget(listLabel);
    layout->addLayout(listRow, 1);
    layout->addWidget(buttons);
    resize(480, 380);

    connect(m_add, &QPushButton::clicked, this, &CDecodeAsDialog::AddOverride);
    connect(m_remove, &QPushButton::clicked, this, &CDecodeAsDialog::RemoveOverride);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        m_remove->setEnabled(current != nullptr);
        if (!current)
            return;
        // The fields show the selected row, so changing its protocol is a change and an Add.
        const auto port = static_cast<uint16_t>(current->data(0, kPortRole).toUInt());
        m_port->setValue(port);
        m_protocol->setCurrentIndex(m_protocol->findData(m_table.at(port)));
    });
    Fill(0);
    m_port->installEventFilter(this);
    m_port->setFocus();
}

QGridLayout* CDecodeAsDialog::CreateEntryRow() {
    m_port = new QSpinBox(this);
    m_port->setObjectName("Port");
    m_port->setRange(1, 65535);
    m_port->setValue(7890);
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName("Protocol");
    for (const protocol::Protocol& info : protocol::kProtocols)
        m_protocol->addItem(ProtocolName(info.code), info.code);
    auto* portLabel = new QLabel("P&ort:", this);
    portLabel->setBuddy(m_port);
    auto* protocolLabel = new QLabel("&Protocol:", this);
    protocolLabel->setBuddy(m_protocol);
    m_add = new QPushButton("&Add", this);
    m_add->setObjectName("Add");
    m_add->setAutoDefault(false);

    auto* entry = new QGridLayout;
    entry->addWidget(portLabel, 0, 0);
    entry->addWidget(m_port, 0, 1);
    entry->addWidget(protocolLabel, 0, 2);
    entry->addWidget(m_protocol, 0, 3);
    entry->addWidget(m_add, 0, 4);
    entry->setColumnStretch(5, 1);
    return entry;
}

QLabel* CDecodeAsDialog::CreateOverrideList() {
    m_list = new QTreeWidget(this);
    m_list->setObjectName("Overrides");
    m_list->setAccessibleName("Ports decoded as");
    m_list->setHeaderLabels({"Port", "Protocol"});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->resizeSection(0, 90);
    auto* listLabel = new QLabel("Ports &decoded as:", this);
    listLabel->setBuddy(m_list);
    m_remove = new QPushButton("&Remove", this);
    m_remove->setObjectName("Remove");
    m_remove->setAutoDefault(false);
    return listLabel;
}

bool CDecodeAsDialog::eventFilter(QObject* watched, QEvent* event) {
    // Typing a port and pressing Return means "add it", not "close the dialog".
    if (watched == m_port && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_port->interpretText();
            AddOverride();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDecodeAsDialog::Fill(uint16_t selectPort) {
    m_list->clear();
    QTreeWidgetItem* selected = nullptr;
    for (const auto& [port, code] : m_table) {
        auto* item = new QTreeWidgetItem(m_list, {QString::number(port), ProtocolName(code)});
        item->setData(0, kPortRole, port);
        if (port == selectPort)
            selected = item;
    }
    m_list->setCurrentItem(selected);
    m_remove->setEnabled(selected != nullptr);
}

void CDecodeAsDialog::AddOverride() {
    const auto port = static_cast<uint16_t>(m_port->value());
    m_table[port] = static_cast<uint16_t>(m_protocol->currentData().toUInt());
    Fill(port);
}

void CDecodeAsDialog::RemoveOverride() {
    QTreeWidgetItem* current = m_list->currentItem();
    if (!current)
        return;
    m_table.erase(static_cast<uint16_t>(current->data(0, kPortRole).toUInt()));
    Fill(0);
}

void CDecodeAsDialog::accept() {
    CSettings().SetDecodeAs(m_table);
    QDialog::accept();
}
