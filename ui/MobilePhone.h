// A small mobile-phone simulator window: logs in to the mobile server with a terminal number, shows the
// messages delivered to it and sends messages of its own.
#pragma once

#include "simulator/PhoneClient.h"

#include <QString>
#include <QWidget>

#include <cstdint>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// A non-modal window over a TEST client like any other phone simulator (CPhoneClient, which it owns): it
// shows the client's state, lists every message the client receives in its inbox (a long message as one row,
// once its last part has come), and has the client send SUBMITs from its compose area, in GBK, the one format a
// SUBMIT carries. UI thread only. Deletes itself when closed; any number may be open at once.
class CMobilePhone : public QWidget {
    Q_OBJECT
public:
    using State = CPhoneClient::State;
    enum InboxColumn { kFrom, kReceived, kMessage, kInboxColumnCount };

    explicit CMobilePhone(uint16_t port, QWidget* parent = nullptr);

    State GetState() const { return m_client->GetState(); }

    // The commands of the buttons.
    void LogIn();
    void LogOut();
    void Send();

    QLineEdit* NumberField() const { return m_number; }
    QLineEdit* DestinationField() const { return m_destination; }
    QLineEdit* TextField() const { return m_text; }
    QComboBox* SplitChoice() const { return m_split; }
    QTreeWidget* Inbox() const { return m_inbox; }
    QLabel* StatusLine() const { return m_status; }

private:
    QGroupBox* BuildCompose();
    void ShowState(State state, const QString& status);
    void ShowDelivered(const QString& from, const QString& text);
    void ShowEvent(const QString& event);
    void UpdateCommands();

    CPhoneClient* m_client = nullptr;

    QLineEdit* m_number = nullptr;
    QPushButton* m_logIn = nullptr;
    QPushButton* m_logOut = nullptr;
    QLabel* m_status = nullptr;
    QTreeWidget* m_inbox = nullptr;
    QLineEdit* m_destination = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_split = nullptr; // "Long messages:": the reference a long message's parts carry
    QPushButton* m_send = nullptr;
};
