// The client side of the TEST protocol as a mobile phone speaks it: LOGIN, SUBMIT, and DELIVER answered.
#pragma once

#include "smpp/LongMessage.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QTcpSocket;

// One phone's connection to the mobile server over loopback on the given port: logs in with a terminal
// number, sends SUBMITs, and answers every DELIVER with DELIVER_RESP result 0 after telling of it. Owns its
// socket and never waits on it: every step is a socket signal on the UI thread. Says what happens through
// its signals, the status texts included, so that a window only shows them.
class CPhoneClient : public QObject {
    Q_OBJECT
public:
    enum class State { LoggedOut, Connecting, LoggingIn, LoggedIn };

    // msg_format values the phone writes and reads as text; the rest are shown as octets.
    static constexpr uint8_t kFormatAscii = 0;
    static constexpr uint8_t kFormatBinary = 4;
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
    // Sends text (UTF-8) in the given msg_format from the number logged in, as a handset does: one SUBMIT
    // when it fits one short message, else one per part, each content starting with the concatenation
    // header split names (8- or 16-bit reference). Returns the SUBMITs sent: 0, and nothing sent, unless
    // logged in and given a destination, or when the text is refused (error, when given, then says why).
    int Submit(const std::string& destination, const std::string& text, uint8_t format,
               smpp::SplitOption split = smpp::SplitOption::Udh8, std::string* error = nullptr);

    // A received DELIVER's content as the phone shows it.
    static QString ContentText(uint8_t format, const uint8_t* content, int length);

signals:
    void StateChanged(CPhoneClient::State state, const QString& status);
    // A DELIVER arrived; its DELIVER_RESP goes out right after.
    void Delivered(const QString& from, const QString& text);

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

    uint16_t m_port;
    QTcpSocket* m_socket = nullptr;
    QByteArray m_buffer;      // octets received and not yet framed
    State m_state = State::LoggedOut;
    QString m_statusText = "Not logged in";
    std::string m_number;     // the number to log in with once connected
    std::string m_loggedInAs; // the number of the last LOGIN sent
    uint32_t m_nextSequence = 1;
    uint32_t m_nextMsgId = 1;
};
