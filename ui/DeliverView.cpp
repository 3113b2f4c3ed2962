// The deliver composer page: caption bar, deliver list, its commands and its context menu.
#include "ui/DeliverView.h"

#include "ui/CaptionBar.h"
#include "ui/KeepSelection.h"

#include "simulator/DeliverSender.h"
#include "ui/DeliverDialog.h"
#include "ui/DeliverListModel.h"
#include "ui/Icons.h"
#include "ui/Navigation.h"
#include "protocol/SmppCommands.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QKeyEvent>
#include <QStringList>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kDeliverButtonIcon = 164;

QMessageBox::StandardButton AskWithMessageBox(QWidget* parent, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    const QMessageBox::Icon icon =
        buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Question : QMessageBox::Warning;
    QMessageBox box(icon, QCoreApplication::applicationName(), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

CDeliverView::CDeliverView(QWidget* parent)
    : QWidget(parent), m_prompt(AskWithMessageBox), m_model(new CDeliverListModel(this))
{
    m_caption = new CCaptionBar("Deliver short message", this);
    m_deliverButton = m_caption->AddButton(kDeliverButtonIcon, "Deliver");
    m_decoderButton = m_caption->AddButton(icons::kDecoder, "SMPP Decoder");
    connect(m_deliverButton, &QToolButton::clicked, this, [this] {
        QuickDeliver();
        emit DeliverRequested();
    });
    connect(m_decoderButton, &QToolButton::clicked, this, &CDeliverView::ShowDecoderRequested);

    m_list = new QTableView(this);
    m_list->setModel(m_model);
    m_list->setAccessibleName("Deliver list");
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    KeepSelectionShownWithoutFocus(m_list);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setIconSize(QSize(16, 16));
    for (int column = 0; column < CDeliverListModel::kColumnCount; ++column)
        m_list->setColumnWidth(column, CDeliverListModel::kColumnWidths[static_cast<size_t>(column)]);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CDeliverView::ShowContextMenu);
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            Edit();
    });

    m_list->installEventFilter(this);

    setTabOrder(m_list, m_decoderButton);
    setTabOrder(m_decoderButton, m_deliverButton);
}

CDeliverView::~CDeliverView() = default;

void CDeliverView::SetMode(uint16_t protocol) { m_protocol = protocol; }

uint16_t CDeliverView::Mode() const { return m_protocol; }

void CDeliverView::SetPrompt(Prompt prompt) { m_prompt = std::move(prompt); }

void CDeliverView::SetSender(std::unique_ptr<CDeliverSender> sender) { m_sender = std::move(sender); }

void CDeliverView::AddEntry(std::string_view destSystemId, std::string_view shortMessage, int32_t count)
{
    m_model->Append(DeliverEntry::Make(destSystemId, shortMessage, count));
}

void CDeliverView::AddEntry(const DeliverEntry& entry) { m_model->Append(entry); }

void CDeliverView::AddDeliverSm() { Compose(DeliverEntry::Kind::DeliverSm); }

void CDeliverView::AddDataSm() { Compose(DeliverEntry::Kind::DataSm); }

void CDeliverView::AddAlertNotification() { Compose(DeliverEntry::Kind::AlertNotification); }

void CDeliverView::Compose(DeliverEntry::Kind kind)
{
    // A fresh dialog each time, so every opening starts from the initial choices.
    CDeliverDialog dialog(this, kind);
    PrepareDialog(dialog);
    if (dialog.exec() == CDeliverDialog::kAddToList)
        m_model->Append(dialog.Entry());
}

void CDeliverView::QuickDeliverTo(uint64_t connectionId)
{
    CDeliverDialog dialog(this);
    PrepareDialog(dialog, connectionId);
    if (dialog.exec() == CDeliverDialog::kAddToList)
        m_model->Append(dialog.Entry());
}

void CDeliverView::PrepareDialog(CDeliverDialog& dialog, uint64_t connectionId)
{
    if (m_protocol == navigation::kMobileProtocol)
        dialog.LimitToPhoneFields();
    if (connectionId != 0)
        dialog.FixDestination(m_sender ? QString::fromStdString(m_sender->NameOf(connectionId)) : QString());
    else if (m_sender)
        dialog.SetDestinations(m_sender->Destinations());
    if (m_sender)
        dialog.SetTakesNoTlvs([this](const QString& name) { return m_sender->TakesNoTlvs(name.toStdString()); });
    dialog.SetSendHandler([this, connectionId, &dialog](const DeliverEntry& entry) {
        return SendEntry(entry, connectionId, &dialog);
    });
}

bool CDeliverView::SendEntry(const DeliverEntry& entry, uint64_t connectionId, QWidget* parent)
{
    if (const std::string refusal = m_sender ? m_sender->Refusal(entry) : std::string(); !refusal.empty()) {
        m_prompt(parent, "short_message: " + QString::fromStdString(refusal), QMessageBox::Ok);
        return false;
    }
    int sent = 0;
    if (m_sender)
        sent = connectionId != 0 ? m_sender->SendTo(connectionId, entry) : m_sender->Send(entry);
    if (sent == 0)
        m_prompt(parent, Unbound(entry.DestSystemIdText()), QMessageBox::Ok);
    return sent > 0;
}

QString CDeliverView::Unbound(const QString& name) const
{
    const QByteArray text = name.toUtf8();
    if (m_sender && m_sender->SendOnly(text.toStdString()))
        return QString::asprintf("%s is bound as a transmitter only: deliver_sm needs a receiver or a transceiver",
                                 text.constData());
    return QString::asprintf("No bound ESME has system id %s", text.constData());
}

void CDeliverView::QuickDeliver()
{
    std::vector<int> chosen = SelectedEntries();
    if (chosen.empty())
        for (int i = 0; i < m_model->rowCount(); ++i)
            chosen.push_back(i);
    // One report for the whole run, naming each destination nothing went to once.
    QStringList unbound;
    for (const int index : chosen) {
        const DeliverEntry& entry = m_model->Entries()[static_cast<size_t>(index)];
        if (const std::string refusal = m_sender ? m_sender->Refusal(entry) : std::string(); !refusal.empty()) {
            const QString report = QString("Entry %1, short_message: %2").arg(index + 1).arg(QString::fromStdString(refusal));
            unbound.append(report);
            continue;
        }
        if ((m_sender ? m_sender->Send(entry) : 0) == 0 && !unbound.contains(Unbound(entry.DestSystemIdText())))
            unbound.append(Unbound(entry.DestSystemIdText()));
    }
    if (!unbound.isEmpty())
        m_prompt(this, unbound.join('\n'), QMessageBox::Ok);
}

void CDeliverView::Edit()
{
    const std::vector<int> selected = SelectedEntries();
    if (selected.empty()) {
        m_prompt(this, "Please select a item first.", QMessageBox::Ok);
        return;
    }
    const int index = selected.front();
    const DeliverEntry& entry = m_model->Entries()[static_cast<size_t>(index)];
    CDeliverDialog dialog(this, entry.GetKind());
    PrepareDialog(dialog);
    dialog.SetEntry(entry);
    if (dialog.exec() == CDeliverDialog::kAddToList)
        m_model->Replace(index, dialog.Entry());
}

void CDeliverView::Delete()
{
    const std::vector<int> selected = SelectedEntries();
    const int n = static_cast<int>(selected.size());
    if (n == 0) {
        m_prompt(this, "Please select a item of you prepaired delete", QMessageBox::Ok);
        return;
    }
    const QString question = n == 1 ? QString("Do you want to delete selected item ?")
                                    : QString::asprintf("Do you want to delete selected %d items?", n);
    if (m_prompt(this, question, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    m_model->Remove(selected);
}

void CDeliverView::AddBroadcastMenu(QMenu& menu)
{
    // SMPP 5.0's broadcast commands go from an ESME to the SMSC, never the other way: listed, so that no one looks
    // for them in vain, and greyed, saying why.
    QMenu* broadcast = menu.addMenu("SMPP 5.0 &broadcast");
    broadcast->setToolTipsVisible(true);
    const QString why = "An ESME sends this to an SMSC and never receives one: there is no one to send it to.";
    broadcast->menuAction()->setToolTip(why);
    for (const uint32_t id : {protocol::smpp::kBroadcastSm, protocol::smpp::kQueryBroadcastSm, protocol::smpp::kCancelBroadcastSm}) {
        const std::string_view name = protocol::smpp::Find(id)->name;
        QAction* action = broadcast->addAction(QString("Add %1...").arg(QString::fromLatin1(name.data(), qsizetype(name.size())).toUpper()));
        action->setEnabled(false);
        action->setToolTip(why);
    }
}

std::unique_ptr<QMenu> CDeliverView::CreateContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction("&Add DELIVER_SM...", this, &CDeliverView::AddDeliverSm);
    QAction* dataSm = menu->addAction("Add DA&TA_SM...", this, &CDeliverView::AddDataSm);
    QAction* alert = menu->addAction("Add A&LERT_NOTIFICATION...", this, &CDeliverView::AddAlertNotification);
    dataSm->setEnabled(!m_sender || m_sender->Offers(DeliverEntry::Kind::DataSm));
    alert->setEnabled(!m_sender || m_sender->Offers(DeliverEntry::Kind::AlertNotification));
    AddBroadcastMenu(*menu);
    menu->addSeparator();
    menu->addAction("&Edit...", this, &CDeliverView::Edit);
    menu->addAction("&Delete", this, &CDeliverView::Delete);
    menu->addSeparator();
    QAction* quick = menu->addAction("&Quick deliver short message", this, &CDeliverView::QuickDeliver);
    quick->setEnabled(!SelectedEntries().empty());
    return menu;
}

bool CDeliverView::eventFilter(QObject* watched, QEvent* event)
{
    // Keyboard paths for the list's commands (Ctrl+Enter: quick deliver); the menu key opens the context menu.
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            switch (key->key()) {
            case Qt::Key_Delete: Delete(); return true;
            case Qt::Key_Insert: AddDeliverSm(); return true;
            case Qt::Key_Return:
            case Qt::Key_Enter: Edit(); return true;
            default: break;
            }
        }
        if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            QuickDeliver();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CDeliverView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width();
    m_caption->setGeometry(0, 0, w, CCaptionBar::kHeight);
    m_list->setGeometry(0, CCaptionBar::kHeight, w, std::max(0, height() - CCaptionBar::kHeight));
}

std::vector<int> CDeliverView::SelectedEntries() const
{
    std::vector<int> entries;
    for (const QModelIndex& row : m_list->selectionModel()->selectedRows())
        entries.push_back(row.data(Qt::UserRole).toInt());
    std::sort(entries.begin(), entries.end());
    return entries;
}

void CDeliverView::ShowContextMenu(const QPoint& position)
{
    std::unique_ptr<QMenu> menu = CreateContextMenu();
    menu->exec(m_list->viewport()->mapToGlobal(position));
}
