// The phone window: its controls, and what its TEST client tells them.
#include "ui/MobilePhone.h"

#include "mobile/MobileServer.h"
#include "ui/Icons.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

namespace tp = test_protocol;

} // namespace

CMobilePhone::CMobilePhone(uint16_t port, QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Mobile phone");
    setWindowIcon(icons::Icon(icons::kDeliver));

    m_client = new CPhoneClient(port, this);
    connect(m_client, &CPhoneClient::StateChanged, this, &CMobilePhone::ShowState);
    connect(m_client, &CPhoneClient::Delivered, this, &CMobilePhone::ShowDelivered);
    connect(m_client, &CPhoneClient::PartDelivered, this, [this](const QString& from, int present, int total) {
        ShowEvent(QString("part %1 of %2 of a long message from %3").arg(present).arg(total).arg(from));
    });

    m_number = new QLineEdit(this);
    m_number->setObjectName("TerminalNumber");
    m_number->setMaxLength(tp::kMaxTerminalNumberChars);
    auto* numberLabel = new QLabel("&Number:", this);
    numberLabel->setBuddy(m_number);
    m_logIn = new QPushButton("Log &in", this);
    m_logOut = new QPushButton("Log &out", this);
    m_status = new QLabel(this);
    m_status->setObjectName("Status");
    auto* login = new QHBoxLayout;
    login->addWidget(numberLabel);
    login->addWidget(m_number, 1);
    login->addWidget(m_logIn);
    login->addWidget(m_logOut);

    m_inbox = new QTreeWidget(this);
    m_inbox->setObjectName("Inbox");
    m_inbox->setRootIsDecorated(false);
    m_inbox->setHeaderLabels({"From", "Received", "Message"});
    m_inbox->setColumnWidth(kFrom, 100);
    m_inbox->setColumnWidth(kReceived, m_inbox->fontMetrics().horizontalAdvance("0000-00-00 00:00:00") + 16);
    m_inbox->setWordWrap(false);
    auto* inboxLabel = new QLabel("In&box", this);
    inboxLabel->setBuddy(m_inbox);

    QGroupBox* compose = BuildCompose();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(login);
    layout->addWidget(m_status);
    layout->addWidget(inboxLabel);
    layout->addWidget(m_inbox, 1);
    layout->addWidget(compose);

    connect(m_logIn, &QPushButton::clicked, this, &CMobilePhone::LogIn);
    connect(m_logOut, &QPushButton::clicked, this, &CMobilePhone::LogOut);
    connect(m_send, &QPushButton::clicked, this, &CMobilePhone::Send);
    connect(m_number, &QLineEdit::returnPressed, this, &CMobilePhone::LogIn);
    connect(m_text, &QLineEdit::returnPressed, this, &CMobilePhone::Send);
    connect(m_number, &QLineEdit::textChanged, this, &CMobilePhone::UpdateCommands);
    connect(m_destination, &QLineEdit::textChanged, this, &CMobilePhone::UpdateCommands);

    ShowState(m_client->GetState(), m_client->StatusText());
    resize(420, 480);
}

QGroupBox* CMobilePhone::BuildCompose() {
    auto* compose = new QGroupBox("Compose", this);
    m_destination = new QLineEdit(compose);
    m_destination->setObjectName("Destination");
    m_destination->setMaxLength(tp::kTerminalNumberWidth - 1);
    m_text = new QLineEdit(compose);
    m_text->setObjectName("Text");
    // What a SUBMIT carries and what the SMSC makes of it for an ESME.
    auto* format = new QLabel("GBK text; an ESME gets it as GSM 7-bit (data_coding 0), or UCS-2 (8) when it "
                              "holds other characters",
                              compose);
    format->setObjectName("Format");
    format->setWordWrap(true);
    m_split = new QComboBox(compose);
    m_split->setObjectName("LongMessages");
    for (const smpp::SplitOption option : {smpp::SplitOption::Udh8, smpp::SplitOption::Udh16})
        m_split->addItem(smpp::LabelOf(option), static_cast<int>(option));
    m_send = new QPushButton("&Send", compose);
    auto* form = new QFormLayout(compose);
    form->addRow("&To:", m_destination);
    form->addRow("Te&xt:", m_text);
    auto* splitRow = new QHBoxLayout;
    splitRow->addWidget(m_split, 1);
    splitRow->addWidget(m_send);
    form->addRow("&Long messages:", splitRow);
    qobject_cast<QLabel*>(form->labelForField(splitRow))->setBuddy(m_split);
    form->addRow("Format:", format);
    return compose;
}

void CMobilePhone::LogIn() { m_client->LogIn(m_number->text().toStdString()); }

void CMobilePhone::LogOut() { m_client->LogOut(); }

void CMobilePhone::Send() {
    const auto split = static_cast<smpp::SplitOption>(m_split->currentData().toInt());
    std::string error;
    const int parts = m_client->Submit(m_destination->text().toStdString(), m_text->text().toStdString(), split, &error);
    if (!error.empty()) {
        ShowEvent(QString("not sent: %1").arg(QString::fromStdString(error))); // the text stays to be mended
        return;
    }
    if (parts == 0)
        return;
    ShowEvent(parts == 1 ? QString("sent to %1").arg(m_destination->text())
                         : QString("sent to %1 in %2 parts").arg(m_destination->text()).arg(parts));
    m_text->clear();
}

void CMobilePhone::ShowDelivered(const QString& from, const QString& text) {
    auto* row = new QTreeWidgetItem(m_inbox);
    row->setText(kFrom, from);
    row->setText(kReceived, QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"));
    row->setText(kMessage, text);
    row->setToolTip(kMessage, text);
    m_inbox->scrollToItem(row);
    ShowEvent(from.isEmpty() ? QString("message received") : QString("message from %1").arg(from));
}

void CMobilePhone::ShowEvent(const QString& event) {
    // The login state stays in view; the last event follows it.
    m_status->setText(m_client->StatusText() + " - " + event);
}

void CMobilePhone::ShowState(State state, const QString& status) {
    m_status->setText(status);
    if (state == State::LoggedIn)
        setWindowTitle("Mobile phone - " + m_client->Number());
    else if (state == State::LoggedOut)
        setWindowTitle("Mobile phone");
    UpdateCommands();
}

void CMobilePhone::UpdateCommands() {
    const State state = m_client->GetState();
    m_logIn->setEnabled(!m_number->text().isEmpty() && (state == State::LoggedOut || state == State::LoggedIn));
    m_logOut->setEnabled(state != State::LoggedOut);
    m_send->setEnabled(state == State::LoggedIn && !m_destination->text().isEmpty());
}
