// The client side of the TEST protocol as a mobile phone speaks it: LOGIN, SUBMIT, and DELIVER answered.
#pragma once

#include "smpp/LongMessage.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class QTcpSocket;

// One phone's connection to the mobile server over loopback on the given port: logs in with a terminal
// number, sends SUBMITs, and answers every DELIVER with DELIVER_RESP result 0 after telling of it. A DELIVER whose
// content starts with a concatenation header is a part of a long message: the message is told of once its last
// part has come, its text after the headers put together. Owns its
// socket and never waits on it: every step is a socket signal on the UI thread. Says what happens through
// its signals, the status texts included, so that a window only shows them.
class CPhoneClient : public QObject {
    Q_OBJECT
public:
    enum class State { LoggedOut, Connecting, LoggingIn, LoggedIn };

    // msg_format values the phone reads as text; the rest are shown as octets. It writes GBK only: a SUBMIT has no
    // msg_format, and the mobile server reads its text as GBK.
    static constexpr uint8_t kFormatAscii = 0;
    static constexpr uint8_t kFormatUcs2 = 8;
    static constexpr uint8_t kFormatGbk = 15;

    explicit CPhoneClient(uint16_t port, QObject* parent = nullptr);
    ~CPhoneClient() override;

    State GetState() const { return m_state; }
    const QString& StatusText() const { return m_statusText; }
    // The number of the last LOGIN sent.
    QString Number() const { return QString::fromStdString(m_loggedInAs); }

    // Connects and logs in, or logs in again under a new number on the open connection; nothing for an
    // empty number or while a connection is being made.
    void LogIn(const std::string& number);
    // TEST has no logout: leaving the server is closing the connection.
    void LogOut();
    // Sends text (UTF-8) in GBK from the number logged in, as a handset does: one SUBMIT when it fits one
    // short message, else one per part, each content starting with the concatenation header split names (8- or
    // 16-bit reference). Returns the SUBMITs sent: 0, and nothing sent, unless logged in and given a destination,
    // or when the text has a character GBK lacks (error, when given, then says which).
    int Submit(const std::string& destination, const std::string& text,
               smpp::SplitOption split = smpp::SplitOption::Udh8, std::string* error = nullptr);

    // Long messages waiting for parts; the oldest is forgotten when one more would start.
    static constexpr std::size_t kMaxLongMessages = 32;

    // A received DELIVER's content as the phone shows it.
    static QString ContentText(uint8_t format, const uint8_t* content, int length);

signals:
    void StateChanged(CPhoneClient::State state, const QString& status);
    // A message arrived (a long one: its last part); the DELIVER_RESP goes out right after.
    void Delivered(const QString& from, const QString& text);
    // A part of a long message arrived and `present` of its `total` parts are in.
    void PartDelivered(const QString& from, int present, int total);

private:
    void OnConnected();
    void OnReadyRead();
    void OnDisconnected();
    void OnSocketError();
    void HandlePacket(const uint8_t* packet, uint32_t length);
    void Deliver(uint32_t sequence, const uint8_t* packet, uint32_t length);
    void SendPacket(uint32_t command, uint32_t sequence, const std::vector<uint8_t>& body);
    void SendLogin();
    void SetState(State state, const QString& status);
    // A part of a long message: kept until its last part comes, then the whole told of.
    void TakePart(const QString& from, uint8_t format, uint16_t reference, uint8_t total, uint8_t number,
                  const uint8_t* text, int length);

    struct LongMessage {
        QString from;
        uint16_t reference = 0;
        uint8_t format = 0;
        std::vector<std::optional<std::vector<uint8_t>>> parts; // the text of each part, nothing while missing
        int present = 0;
    };

    uint16_t m_port;
    QTcpSocket* m_socket = nullptr;
    QByteArray m_buffer;      // octets received and not yet framed
    State m_state = State::LoggedOut;
    QString m_statusText = "Not logged in";
    std::string m_number;     // the number to log in with once connected
    std::string m_loggedInAs; // the number of the last LOGIN sent
    uint32_t m_nextSequence = 1;
    uint32_t m_nextMsgId = 1;
    std::deque<LongMessage> m_longMessages;
};
