// The page of the "Tarnwick" and "Mobile Server" nodes: online list above the server's console.
#pragma once

#include "engine/ServerObserver.h"

#include <QWidget>

#include <cstdint>

class COutView;
class CSocketServer;
class CViewServerInfoOnlineClient;
class QSplitter;

// Observes its server from construction to destruction: every notification updates the online
// list first and then writes the console line, so the list and console agree on the table.
class CViewServerInfo : public QWidget, public CServerObserver {
    Q_OBJECT
public:
    static constexpr int kListHeight = 300;
    static constexpr int kConsoleHeight = 100;

    // protocol: 2 (SMPP server) or 8 (mobile server). Build it before the server starts, so the
    // start line reaches the console.
    CViewServerInfo(CSocketServer& server, uint16_t protocol, const QFont& consoleFont, QWidget* parent = nullptr);
    ~CViewServerInfo() override;

    CViewServerInfoOnlineClient* OnlineList() const { return m_online; }
    COutView* Console() const { return m_console; }
    QSplitter* Splitter() const { return m_splitter; }
    uint16_t Protocol() const { return m_protocol; }

    void OnConnected(const CConnection& connection) override;
    void OnDisconnected(const CConnection& connection) override;
    void OnRemoved(const CConnection& connection) override;
    void OnLoggedIn(const CConnection& connection) override;
    void Print(std::string_view line) override;

signals:
    void DeliverRequested();
    void QuickDeliverRequested(uint64_t connectionId);
    // "Show this connection only" in the online list.
    void ConnectionRequested(uint64_t connectionId);
    // "Unbind" in the SMPP server's online list; "Disconnect" the page carries out itself.
    void UnbindRequested(uint64_t connectionId);

private:
    void ConnectionLine(bool connected, const CConnection& connection);

    CSocketServer& m_server;
    uint16_t m_protocol;
    QSplitter* m_splitter = nullptr;
    CViewServerInfoOnlineClient* m_online = nullptr;
    COutView* m_console = nullptr;
};
