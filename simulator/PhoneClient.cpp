// The TEST client of the phone window: LOGIN, SUBMIT, framing of what the server sends, and DELIVER_RESP.
#include "simulator/PhoneClient.h"

#include "decoder/GbkText.h"
#include "wire/Frame.h"
#include "wire/Writer.h"
#include "mobile/MobileServer.h"
#include "smpp/DeliverPdu.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>

namespace {

namespace tp = test_protocol;

constexpr int kLoginRespLength = 16;
constexpr int kLoginResultOffset = 12;
constexpr uint32_t kTerminalType = 0; // the server does not read it

void PutText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    const size_t n = std::min(text.size(), width);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    out.insert(out.end(), width - n, 0);
}

} // namespace

CPhoneClient::CPhoneClient(uint16_t port, QObject* parent) : QObject(parent), m_port(port) {
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &CPhoneClient::OnConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &CPhoneClient::OnReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &CPhoneClient::OnDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CPhoneClient::OnSocketError);
}

CPhoneClient::~CPhoneClient() {
    // Leaving with its owner: the socket goes with it, and no signal of it should reach a half-destroyed client.
    m_socket->disconnect(this);
    m_socket->abort();
}

QString CPhoneClient::ContentText(uint8_t format, const uint8_t* content, int length) {
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

void CPhoneClient::LogIn(const std::string& number) {
    if (number.empty())
        return;
    m_number = number;
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

void CPhoneClient::LogOut() {
    SetState(State::LoggedOut, "Not logged in");
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->disconnectFromHost();
}

int CPhoneClient::Submit(const std::string& destination, const std::string& text, smpp::SplitOption split,
                         std::string* error) {
    if (m_state != State::LoggedIn || destination.empty())
        return 0;
    const uint8_t format = kFormatGbk;
    const smpp::EncodedText encoded = smpp::EncodePhoneText(text, format);
    // A handset knows no SAR parameters nor message_payload: its parts carry the header.
    const smpp::SplitOption option = split == smpp::SplitOption::Udh16 ? split : smpp::SplitOption::Udh8;
    const smpp::SplitResult parts =
        encoded.Ok() ? smpp::Split(encoded.octets, format, option, smpp::NextReference()) : smpp::SplitResult{{}, encoded.error};
    if (!parts.error.empty()) {
        if (error)
            *error = parts.error;
        return 0;
    }
    for (const smpp::MessagePart& part : parts.parts) {
        const std::vector<uint8_t>& content = part.message; // at most 140 octets: msg_length holds it
        std::vector<uint8_t> body;
        PutText(body, destination, tp::kTerminalNumberWidth);
        PutText(body, m_loggedInAs, tp::kTerminalNumberWidth);
        PutText(body, QString::asprintf("%010u", m_nextMsgId++).toStdString(), tp::kMsgIdWidth);
        body.push_back(static_cast<uint8_t>(content.size()));
        body.insert(body.end(), content.begin(), content.end());
        SendPacket(tp::kSubmit, m_nextSequence++, body);
    }
    return static_cast<int>(parts.parts.size());
}

void CPhoneClient::OnConnected() {
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    SendLogin();
}

void CPhoneClient::SendLogin() {
    std::vector<uint8_t> body(4);
    wire::WriteBe32(body.data(), kTerminalType);
    m_loggedInAs = m_number;
    PutText(body, m_loggedInAs, tp::kTerminalNumberWidth);
    SendPacket(tp::kLogin, m_nextSequence++, body);
    SetState(State::LoggingIn, "Logging in...");
}

void CPhoneClient::OnReadyRead() {
    m_buffer.append(m_socket->readAll());
    for (;;) {
        const auto* data = reinterpret_cast<const uint8_t*>(m_buffer.constData());
        const wire::FrameResult frame =
            wire::Frame(data, static_cast<size_t>(m_buffer.size()), tp::kHeaderSize, tp::kMaxPacketSize);
        if (frame.status == wire::FrameStatus::NeedMore)
            return;
        if (frame.status == wire::FrameStatus::Invalid) {
            // Nothing after a bad length can be framed again.
            m_socket->abort();
            SetState(State::LoggedOut, "Bad packet from the mobile server; disconnected");
            return;
        }
        HandlePacket(data, frame.length);
        m_buffer.remove(0, static_cast<qsizetype>(frame.length));
    }
}

void CPhoneClient::HandlePacket(const uint8_t* packet, uint32_t length) {
    const uint32_t command = wire::ReadBe32(packet + 4);
    const uint32_t sequence = wire::ReadBe32(packet + 8);
    if (command == tp::kLoginResp && length >= kLoginRespLength) {
        const auto result = static_cast<int32_t>(wire::ReadBe32(packet + kLoginResultOffset));
        const QString number = Number();
        // The server keeps a number already in use as this connection's name too, so messages still arrive.
        SetState(State::LoggedIn, result == tp::kResultOk
                                      ? QString("Logged in as %1").arg(number)
                                      : QString("Logged in as %1, which another phone uses too").arg(number));
    } else if (command == tp::kDeliver) {
        Deliver(sequence, packet, length);
    }
}

void CPhoneClient::Deliver(uint32_t sequence, const uint8_t* packet, uint32_t length) {
    if (length < tp::kDeliverContentOffset)
        return; // too short to hold its own fields, let alone a message to answer for
    // A msg_length beyond the packet shows only the octets that came.
    const int contentLength =
        std::min<int>(packet[tp::kMsgLengthOffset], static_cast<int>(length) - tp::kDeliverContentOffset);
    const QString from =
        QString::fromStdString(GbkToUtf8(packet + tp::kSrcTerminalOffset, tp::kTerminalNumberWidth));
    const uint8_t format = packet[tp::kMsgFormatOffset];
    const uint8_t* content = packet + tp::kDeliverContentOffset;
    if (smpp::StartsWithConcatenationHeader(content, size_t(contentLength))) {
        // IE 0x00: an 8-bit reference, the count and the number; IE 0x08: a 16-bit reference before them.
        const bool wide = content[1] == 0x08;
        const int header = content[0] + 1;
        TakePart(from, format, wide ? uint16_t(content[3] << 8 | content[4]) : content[3], content[wide ? 5 : 4],
                 content[wide ? 6 : 5], content + header, contentLength - header);
    } else {
        emit Delivered(from, ContentText(format, content, contentLength));
    }

    std::vector<uint8_t> body(4 + tp::kMsgIdWidth);
    wire::WriteBe32(body.data(), static_cast<uint32_t>(tp::kResultOk));
    std::copy_n(packet + tp::kMsgIdOffset, tp::kMsgIdWidth, body.begin() + 4);
    SendPacket(tp::kDeliverResp, sequence, body);
}

void CPhoneClient::TakePart(const QString& from, uint8_t format, uint16_t reference, uint8_t total, uint8_t number,
                            const uint8_t* text, int length) {
    auto message = std::find_if(m_longMessages.begin(), m_longMessages.end(), [&](const LongMessage& m) {
        return m.from == from && m.reference == reference && m.parts.size() == total;
    });
    if (message == m_longMessages.end()) {
        if (m_longMessages.size() == kMaxLongMessages)
            m_longMessages.pop_front();
        m_longMessages.push_back({from, reference, format, std::vector<std::optional<std::vector<uint8_t>>>(total), 0});
        message = m_longMessages.end() - 1;
    }
    std::optional<std::vector<uint8_t>>& part = message->parts[size_t(number - 1)];
    message->present += part ? 0 : 1; // a part sent again replaces itself
    part.emplace(text, text + length);
    if (message->present < int(total)) {
        emit PartDelivered(from, message->present, total);
        return;
    }
    std::vector<uint8_t> whole;
    for (const std::optional<std::vector<uint8_t>>& each : message->parts)
        whole.insert(whole.end(), each->begin(), each->end());
    const uint8_t wholeFormat = message->format;
    m_longMessages.erase(message);
    emit Delivered(from, ContentText(wholeFormat, whole.data(), int(whole.size())));
}

void CPhoneClient::OnDisconnected() {
    const bool byUser = m_state == State::LoggedOut;
    m_buffer.clear();
    if (!byUser)
        SetState(State::LoggedOut, "The mobile server closed the connection");
}

void CPhoneClient::OnSocketError() {
    if (m_state == State::Connecting)
        SetState(State::LoggedOut, QString("Cannot reach the mobile server on port %1").arg(m_port));
}

void CPhoneClient::SendPacket(uint32_t command, uint32_t sequence, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> packet(tp::kHeaderSize);
    wire::WriteBe32(packet.data(), static_cast<uint32_t>(tp::kHeaderSize + body.size()));
    wire::WriteBe32(packet.data() + 4, command);
    wire::WriteBe32(packet.data() + 8, sequence);
    packet.insert(packet.end(), body.begin(), body.end());
    m_socket->write(reinterpret_cast<const char*>(packet.data()), static_cast<qint64>(packet.size()));
}

void CPhoneClient::SetState(State state, const QString& status) {
    m_state = state;
    m_statusText = status;
    emit StateChanged(state, status);
}
