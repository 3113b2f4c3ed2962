// The TCP server engine shared by the SMPP and mobile servers.
#pragma once

#include "engine/Connection.h"
#include "engine/Scheduler.h"

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CServerObserver;
class QSslConfiguration;
class QSslServer;
class QSslSocket;
class QTcpServer;
class QTimer;

// Owns the listening socket (and, after StartTls, a TLS one beside it), the ordered table of
// accepted connections of both and the idle timer.
// Runs on the UI thread only. Derived servers speak the protocol through the three overridables,
// each given the connection itself; callers name a connection by the connection or by its id,
// which stays valid for its whole life. Tells any number of observers of connects and
// disconnects, each with the connection, so that a list can bracket its row changes.
// A connection whose peer leaves the server's octets unread is not read either until they drain
// (CConnection::kMaxUnsentOctets), so such a peer costs bounded memory.
class CSocketServer : public QObject {
    Q_OBJECT
public:
    using TraceSink = std::function<void(const std::string&)>;

    static constexpr int kListenBacklog = 10;
    static constexpr int kIdleCheckMs = 5000;
    static constexpr int kClosePauseMs = 500;

    explicit CSocketServer(QObject* parent = nullptr);
    ~CSocketServer() override;

    // Set before Start. Defaults: all local IPv4 addresses, the event loop's timers and the
    // system's clock. The scheduler is not owned and outlives the server; its wall clock stamps
    // the connections' times.
    void SetListenAddress(const QHostAddress& address);
    void SetScheduler(CScheduler& scheduler) { m_scheduler = &scheduler; }
    CScheduler& Scheduler() const { return *m_scheduler; }

    // Listens on port (0 picks a free one, see ListeningPort). False when already listening
    // or when the port cannot be opened; a second Start never opens a second socket.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);
    // Stops listening and the idle check and closes every connection at once, each told to the
    // observers like any other close. Start may be called again afterwards.
    void Stop();
    bool IsRunning() const { return m_running; }
    uint16_t GetPort() const { return m_port; }     // the port Start was asked for
    uint16_t ListeningPort() const;                 // the port actually listened on
    // After Start: listens on a second port (0 picks a free one) whose connections speak TLS and,
    // once their handshake is done, join the same table as any other. A handshake that fails
    // leaves one line for the observers and closes the socket. False when not running, already
    // listening for TLS, or the port cannot be opened; Stop closes both ports.
    bool StartTls(uint16_t port, const QSslConfiguration& configuration);
    uint16_t TlsListeningPort() const;              // 0 when not listening for TLS

    int GetConnectionCount() const { return static_cast<int>(m_connections.size()); }
    // The open connection with that id; nullptr once it has gone.
    CConnection* FindConnection(uint64_t id) const;
    // The connection's place in the table now, which the console's "[n]" shows; -1 for one not in it.
    int PositionOf(const CConnection& connection) const;
    // Visits the connections in table order; the visit must not remove any (closes are deferred).
    template <typename Visit>
    void ForEachConnection(Visit visit) {
        for (const auto& connection : m_connections)
            visit(*connection);
    }
    template <typename Visit>
    void ForEachConnection(Visit visit) const {
        for (const auto& connection : m_connections)
            visit(static_cast<const CConnection&>(*connection));
    }
    // How the connection's session runs, for the online list (an SMPP bind's type); "" when the
    // protocol makes no such difference.
    virtual std::string SessionKind(const CConnection& /*connection*/) const { return {}; }
    // The protocol version the connection's session runs at ("3.4"); "" while unbound, or when the
    // protocol has one version only.
    virtual std::string SessionVersion(const CConnection& /*connection*/) const { return {}; }
    // The names given so far (bound system ids, logged-in numbers), each once, in connection order.
    std::vector<std::string> DistinctNames() const;

    // Observers are not owned; remove one before destroying it.
    void AddObserver(CServerObserver* observer);
    void RemoveObserver(CServerObserver* observer);

    // A connection that sends nothing for this long is closed by the idle check; 0: never.
    void SetIdleTimeout(int seconds) { m_idleTimeout = seconds; }
    int IdleTimeout() const { return m_idleTimeout; }
    // How long a TLS client has to finish its handshake before it is reported and dropped; set before StartTls.
    void SetTlsHandshakeTimeout(int milliseconds) { m_tlsHandshakeMs = milliseconds; }
    // Where the reason of every close the server decides on goes besides the console ("[Session] ..."); none when unset.
    void SetTrace(TraceSink trace) { m_trace = std::move(trace); }

    // Stops reading the connection at once; 500 ms later closes the socket, calls OnClose
    // while the connection is still in the table, and removes it. Idempotent.
    void CloseConnection(CConnection& connection);
    // CloseConnection after a console line and a trace line that name the connection and why.
    void CloseConnection(CConnection& connection, std::string_view reason);
    // Closes the connection with that id at once, as the user asked; false when it has gone.
    bool Disconnect(uint64_t id);

    // One run of the idle check; the timer calls it every 5000 ms, tests call it directly.
    void CheckIdle();

protected:
    virtual void OnAccept(CConnection& /*connection*/) {}
    virtual void OnReceive(CConnection& /*connection*/) {}
    virtual void OnClose(CConnection& /*connection*/) {}

    int64_t Now() const { return m_scheduler->WallSeconds(); } // seconds since 1970
    // For the derived servers: a bind or LOGIN named the connection; a start line.
    void NotifyLoggedIn(CConnection& connection);
    void NotifyPrint(std::string_view line);
    void Trace(const std::string& line) const;

private:
    void AcceptPending();
    void Accept(CStream* stream, bool tls);
    // A TLS socket is watched from its arrival, and its handshake from when Qt starts it, until it
    // is encrypted, reported failed, or dropped before a handshake began.
    void WatchArrival(QSslSocket* socket);
    void WatchHandshake(QSslSocket* socket);
    void PauseAccepting(bool pause);
    void HandleReadyRead(CConnection& connection);
    void HandlePeerClosed(CConnection& connection);
    // Reading held for the octets waiting to go out starts again once they are few enough.
    void ResumeIfDrained(CConnection& connection);
    void FinishClose(uint64_t id);
    int IndexOfConnection(uint64_t id) const; // -1 when no open connection has that id
    void RemoveConnection(int index); // OnClose, observers, and the connection leaves the table

    QTcpServer* m_listener = nullptr;
    QSslServer* m_tlsListener = nullptr; // made by StartTls
    std::vector<const QObject*> m_handshaking; // TLS sockets not yet encrypted nor reported failed
    QTimer* m_idleTimer = nullptr;
    QHostAddress m_listenAddress{QHostAddress::AnyIPv4};
    CEventLoopScheduler m_eventLoopScheduler;
    CScheduler* m_scheduler = &m_eventLoopScheduler;
    std::vector<std::unique_ptr<CConnection>> m_connections;
    std::vector<CServerObserver*> m_observers;
    TraceSink m_trace;
    int m_maxConnections = 0;
    int m_idleTimeout = 0;
    int m_tlsHandshakeMs = 5000;
    uint16_t m_port = 0;
    bool m_running = false;
};
