// The phone window: its controls, and the client side of LOGIN, SUBMIT and DELIVER.
#include "ui/MobilePhone.h"

#include "decoder/GbkText.h"
#include "engine/Wire.h"
#include "mobile/MobileServer.h"
#include "smpp/DeliverPdu.h"
#include "ui/Icons.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

namespace tp = test_protocol;

constexpr int kLoginRespLength = 16;
constexpr int kLoginResultOffset = 12;
constexpr uint32_t kTerminalType = 0; // the server does not read it

// msg_format values the phone writes and reads as text; the rest are shown as octets.
constexpr uint8_t kFormatAscii = 0;
constexpr uint8_t kFormatBinary = 4;
constexpr uint8_t kFormatUcs2 = 8;
constexpr uint8_t kFormatGbk = 15;

struct FormatRow {
    uint8_t value;
    const char* text;
};
constexpr FormatRow kFormats[] = {
    {kFormatGbk, "15: GBK text"},
    {kFormatAscii, "0: ASCII"},
    {kFormatUcs2, "8: UCS-2"},
    {kFormatBinary, "4: Binary"},
};

void PutText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    const size_t n = std::min(text.size(), width);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    out.insert(out.end(), width - n, 0);
}

QString ContentText(uint8_t format, const uint8_t* content, int length) {
    switch (format) {
    case kFormatUcs2: {
        QString text;
        for (int i = 0; i + 1 < length; i += 2)
            text.append(QChar(static_cast<char16_t>(content[i] << 8 | content[i + 1])));
        return text;
    }
    case kFormatAscii:
    case kFormatGbk:
        return QString::fromStdString(GbkToUtf8(content, length));
    default: // binary, SIM-card writes and codings the phone does not read: the octets themselves
        return QByteArray(reinterpret_cast<const char*>(content), length).toHex(' ').toUpper();
    }
}

} // namespace

CMobilePhone::CMobilePhone(uint16_t port, QWidget* parent) : QWidget(parent, Qt::Window), m_port(port) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Mobile phone");
    setWindowIcon(icons::Icon(icons::kDeliver));

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &CMobilePhone::OnConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &CMobilePhone::OnReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &CMobilePhone::OnDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CMobilePhone::OnSocketError);

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

    auto* compose = new QGroupBox("Compose", this);
    m_destination = new QLineEdit(compose);
    m_destination->setObjectName("Destination");
    m_destination->setMaxLength(tp::kTerminalNumberWidth - 1);
    m_text = new QLineEdit(compose);
    m_text->setObjectName("Text");
    m_format = new QComboBox(compose);
    m_format->setObjectName("Format");
    for (const FormatRow& format : kFormats)
        m_format->addItem(format.text, format.value);
    m_send = new QPushButton("&Send", compose);
    auto* form = new QFormLayout(compose);
    form->addRow("&To:", m_destination);
    form->addRow("Te&xt:", m_text);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(m_format, 1);
    formatRow->addWidget(m_send);
    form->addRow("&Format:", formatRow);
    qobject_cast<QLabel*>(form->labelForField(formatRow))->setBuddy(m_format);

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

    SetState(State::LoggedOut, "Not logged in");
    resize(420, 480);
}

CMobilePhone::~CMobilePhone() {
    // Leaving with the window: the socket goes with it, and no signal of it should reach a half-destroyed phone.
    m_socket->disconnect(this);
    m_socket->abort();
}

void CMobilePhone::LogIn() {
    if (m_number->text().isEmpty())
        return;
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        SendLogin(); // the server takes a new LOGIN on the same connection as the new number
        return;
    }
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        return;
    m_buffer.clear();
    SetState(State::Connecting, "Connecting...");
    m_socket->connectToHost(QHostAddress::LocalHost, m_port);
}

void CMobilePhone::LogOut() {
    // TEST has no logout: leaving the server is closing the connection.
    SetState(State::LoggedOut, "Not logged in");
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->disconnectFromHost();
}

void CMobilePhone::Send() {
    if (m_state != State::LoggedIn || m_destination->text().isEmpty())
        return;
    const auto format = static_cast<uint8_t>(m_format->currentData().toUInt());
    const std::vector<uint8_t> content = smpp::EncodeText(m_text->text().toStdString(), format, tp::kMaxContentOctets);
    std::vector<uint8_t> body;
    PutText(body, m_destination->text().toStdString(), tp::kTerminalNumberWidth);
    PutText(body, m_loggedInAs, tp::kTerminalNumberWidth);
    PutText(body, QString::asprintf("%010u", m_nextMsgId++).toStdString(), tp::kMsgIdWidth);
    body.push_back(static_cast<uint8_t>(content.size()));
    body.insert(body.end(), content.begin(), content.end());
    SendPacket(tp::kSubmit, m_nextSequence++, body);
    ShowEvent(QString("sent to %1").arg(m_destination->text()));
    m_text->clear();
}

void CMobilePhone::OnConnected() {
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    SendLogin();
}

void CMobilePhone::SendLogin() {
    std::vector<uint8_t> body(4);
    wire::WriteBe32(body.data(), kTerminalType);
    m_loggedInAs = m_number->text().toStdString();
    PutText(body, m_loggedInAs, tp::kTerminalNumberWidth);
    SendPacket(tp::kLogin, m_nextSequence++, body);
    SetState(State::LoggingIn, "Logging in...");
}

void CMobilePhone::OnReadyRead() {
    m_buffer.append(m_socket->readAll());
    while (m_buffer.size() >= tp::kHeaderSize) {
        const auto* data = reinterpret_cast<const uint8_t*>(m_buffer.constData());
        const uint32_t length = wire::ReadBe32(data);
        if (length < tp::kHeaderSize || length > tp::kMaxPacketSize) {
            // Nothing after a bad length can be framed again.
            m_socket->abort();
            SetState(State::LoggedOut, "Bad packet from the mobile server; disconnected");
            return;
        }
        if (m_buffer.size() < static_cast<qsizetype>(length))
            return;
        HandlePacket(data, length);
        m_buffer.remove(0, static_cast<qsizetype>(length));
    }
}

void CMobilePhone::HandlePacket(const uint8_t* packet, uint32_t length) {
    const uint32_t command = wire::ReadBe32(packet + 4);
    const uint32_t sequence = wire::ReadBe32(packet + 8);
    if (command == tp::kLoginResp && length >= kLoginRespLength) {
        const auto result = static_cast<int32_t>(wire::ReadBe32(packet + kLoginResultOffset));
        const QString number = QString::fromStdString(m_loggedInAs);
        setWindowTitle("Mobile phone - " + number);
        // The server keeps a number already in use as this connection's name too, so messages still arrive.
        SetState(State::LoggedIn, result == tp::kResultOk
                                      ? QString("Logged in as %1").arg(number)
                                      : QString("Logged in as %1, which another phone uses too").arg(number));
    } else if (command == tp::kDeliver) {
        Deliver(sequence, packet, length);
    }
}

void CMobilePhone::Deliver(uint32_t sequence, const uint8_t* packet, uint32_t length) {
    if (length < tp::kDeliverContentOffset)
        return; // too short to hold its own fields, let alone a message to answer for
    // A msg_length beyond the packet shows only the octets that came.
    const int contentLength =
        std::min<int>(packet[tp::kMsgLengthOffset], static_cast<int>(length) - tp::kDeliverContentOffset);
    const QString from =
        QString::fromStdString(GbkToUtf8(packet + tp::kSrcTerminalOffset, tp::kTerminalNumberWidth));
    const QString text =
        ContentText(packet[tp::kMsgFormatOffset], packet + tp::kDeliverContentOffset, contentLength);
    auto* row = new QTreeWidgetItem(m_inbox);
    row->setText(kFrom, from);
    row->setText(kReceived, QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"));
    row->setText(kMessage, text);
    row->setToolTip(kMessage, text);
    m_inbox->scrollToItem(row);

    std::vector<uint8_t> body(4 + tp::kMsgIdWidth);
    wire::WriteBe32(body.data(), static_cast<uint32_t>(tp::kResultOk));
    std::copy_n(packet + tp::kMsgIdOffset, tp::kMsgIdWidth, body.begin() + 4);
    SendPacket(tp::kDeliverResp, sequence, body);
    ShowEvent(from.isEmpty() ? QString("message received") : QString("message from %1").arg(from));
}

void CMobilePhone::OnDisconnected() {
    const bool byUser = m_state == State::LoggedOut;
    m_buffer.clear();
    if (!byUser)
        SetState(State::LoggedOut, "The mobile server closed the connection");
}

void CMobilePhone::OnSocketError() {
    if (m_state == State::Connecting)
        SetState(State::LoggedOut, QString("Cannot reach the mobile server on port %1").arg(m_port));
}

void CMobilePhone::SendPacket(uint32_t command, uint32_t sequence, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> packet(tp::kHeaderSize);
    wire::WriteBe32(packet.data(), static_cast<uint32_t>(tp::kHeaderSize + body.size()));
    wire::WriteBe32(packet.data() + 4, command);
    wire::WriteBe32(packet.data() + 8, sequence);
    packet.insert(packet.end(), body.begin(), body.end());
    m_socket->write(reinterpret_cast<const char*>(packet.data()), static_cast<qint64>(packet.size()));
}

void CMobilePhone::ShowEvent(const QString& event) {
    // The login state stays in view; the last event follows it.
    m_status->setText(m_stateText + " - " + event);
}

void CMobilePhone::SetState(State state, const QString& status) {
    m_state = state;
    m_stateText = status;
    m_status->setText(status);
    if (state == State::LoggedOut)
        setWindowTitle("Mobile phone");
    UpdateCommands();
    emit StateChanged(state);
}

void CMobilePhone::UpdateCommands() {
    m_logIn->setEnabled(!m_number->text().isEmpty() &&
                        (m_state == State::LoggedOut || m_state == State::LoggedIn));
    m_logOut->setEnabled(m_state != State::LoggedOut);
    m_send->setEnabled(m_state == State::LoggedIn && !m_destination->text().isEmpty());
}
