// A small mobile-phone simulator window: logs in to the mobile server with a terminal number, shows the
// messages delivered to it and sends messages of its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTcpSocket;
class QTreeWidget;

// A non-modal window that is a TEST client like any other phone simulator: it reaches the mobile server
// over loopback on the given port, logs in, answers every DELIVER with DELIVER_RESP result 0 and lists it
// in its inbox, and sends SUBMITs from its compose area. Owns its socket; never waits on it, every step is
// a socket signal on the UI thread. Deletes itself when closed; any number may be open at once.
class CMobilePhone : public QWidget {
    Q_OBJECT
public:
    enum class State { LoggedOut, Connecting, LoggingIn, LoggedIn };
    enum InboxColumn { kFrom, kReceived, kMessage, kInboxColumnCount };

    explicit CMobilePhone(uint16_t port, QWidget* parent = nullptr);
    ~CMobilePhone() override;

    State GetState() const { return m_state; }

    // The commands of the buttons.
    void LogIn();
    void LogOut();
    void Send();

    QLineEdit* NumberField() const { return m_number; }
    QLineEdit* DestinationField() const { return m_destination; }
    QLineEdit* TextField() const { return m_text; }
    QComboBox* FormatChoice() const { return m_format; }
    QTreeWidget* Inbox() const { return m_inbox; }
    QLabel* StatusLine() const { return m_status; }

signals:
    void StateChanged(CMobilePhone::State state);

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
    void ShowEvent(const QString& event);
    void UpdateCommands();

    uint16_t m_port;
    QTcpSocket* m_socket = nullptr;
    QByteArray m_buffer;       // octets received and not yet framed
    State m_state = State::LoggedOut;
    QString m_stateText;
    std::string m_loggedInAs;  // the number of the last LOGIN sent
    uint32_t m_nextSequence = 1;
    uint32_t m_nextMsgId = 1;

    QLineEdit* m_number = nullptr;
    QPushButton* m_logIn = nullptr;
    QPushButton* m_logOut = nullptr;
    QLabel* m_status = nullptr;
    QTreeWidget* m_inbox = nullptr;
    QLineEdit* m_destination = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_format = nullptr;
    QPushButton* m_send = nullptr;
};
