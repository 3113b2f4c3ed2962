// The TCP server engine shared by the SMPP and mobile servers.
#pragma once

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
class QTcpServer;
class QTcpSocket;
class QTimer;

// One entry of the connection table. The engine maintains the socket, peer, times and the
// closing mark; the derived server owns the five slots (buffer, counts, frame state, name).
struct ConnectionRecord {
    QTcpSocket* socket = nullptr;
    uint64_t id = 0;          // stable for the connection's life, never reused by its server
    uint32_t peerAddress = 0; // first octet in the most significant byte
    uint16_t peerPort = 0;
    int32_t frameState = -1;
    int64_t connectTime = 0;  // seconds since 1970
    int64_t lastActivity = 0; // set at accept and at every read or close event
    int32_t receivedCount = -1;
    int32_t wantedCount = -1;
    uint8_t* receiveBuffer = nullptr;
    char name[20] = {};       // NUL-terminated, at most 19 characters
    bool closing = false;     // a close is pending: the connection is no longer read
};

// Owns the listening socket, the ordered table of accepted connections and the idle timer.
// Runs on the UI thread only. A connection index is a table position, valid until the next
// close of this server; a connection id stays valid for its whole life. Derived servers speak
// the protocol through the three overridables. Tells any number of observers of connects and
// disconnects, so that a list can bracket its row changes.
class CSocketServer : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<int64_t()>; // seconds since 1970

    static constexpr int kListenBacklog = 10;
    static constexpr int kIdleCheckMs = 5000;
    static constexpr int kClosePauseMs = 500;

    explicit CSocketServer(QObject* parent = nullptr);
    ~CSocketServer() override;

    // Set before Start. Defaults: all local IPv4 addresses, the system clock, the event loop's
    // timers. The scheduler is not owned and outlives the server.
    void SetListenAddress(const QHostAddress& address);
    void SetClock(Clock clock);
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

    int GetConnectionCount() const { return static_cast<int>(m_connections.size()); }
    uint32_t GetPeerAddress(int index) const;       // 0xFFFFFFFF for a bad index
    uint16_t GetPeerPort(int index) const;          // 0xFFFF for a bad index
    int64_t GetConnectTime(int index) const;        // -1 for a bad index
    bool IsClosing(int index) const;
    uint64_t GetConnectionId(int index) const;      // 0 for a bad index
    int IndexOfConnection(uint64_t id) const;       // -1 when no open connection has that id

    // Observers are not owned; remove one before destroying it.
    void AddObserver(CServerObserver* observer);
    void RemoveObserver(CServerObserver* observer);

    // Octets read (never more than length), 0 when the peer has closed, -1 when nothing is
    // buffered, on error, for a bad index, or once the connection is closing. Never waits.
    int64_t Receive(int index, void* buffer, int64_t length);
    // Octets accepted for sending, -1 on error or for a bad index. Whatever the socket
    // cannot take at once stays queued and goes out from the event loop.
    int64_t Send(int index, const void* buffer, int64_t length);

    // Stops reading the connection at once; 500 ms later closes the socket, calls OnClose
    // while the record is still in the table, and removes the record. Idempotent.
    void CloseConnection(int index);

    uint8_t* GetReceiveBuffer(int index) const;
    void SetReceiveBuffer(int index, uint8_t* buffer);
    int32_t GetReceivedCount(int index) const;
    void SetReceivedCount(int index, int32_t value);
    int32_t GetWantedCount(int index) const;
    void SetWantedCount(int index, int32_t value);
    int32_t GetFrameState(int index) const;
    void SetFrameState(int index, int32_t value);
    bool GetName(int index, char* out, int outSize) const; // false for a bad index
    const char* NameOf(int index) const;                    // "" for a bad index
    void SetName(int index, const char* name);              // keeps at most 19 characters
    // The names given so far (bound system ids, logged-in numbers), each once, in connection order.
    std::vector<std::string> DistinctNames() const;

    // One run of the idle check; the timer calls it every 5000 ms, tests call it directly.
    void CheckIdle();

protected:
    virtual void OnAccept(int /*index*/) {}
    virtual void OnReceive(int /*index*/) {}
    virtual void OnClose(int /*index*/) {}

    int64_t Now() const { return m_clock(); }
    // For the derived servers: a bind or LOGIN named connection index; a start line.
    void NotifyLoggedIn(int index);
    void NotifyPrint(std::string_view line);

private:
    void AcceptPending();
    void HandleReadyRead(QTcpSocket* socket);
    void HandlePeerClosed(QTcpSocket* socket);
    void FinishClose(QTcpSocket* socket);
    void RemoveConnection(int index); // OnClose, observers, and the record leaves the table
    int IndexOf(const QTcpSocket* socket) const;
    bool IsBad(int index) const { return index < 0 || index >= GetConnectionCount(); }

    QTcpServer* m_listener = nullptr;
    QTimer* m_idleTimer = nullptr;
    QHostAddress m_listenAddress{QHostAddress::AnyIPv4};
    Clock m_clock;
    CEventLoopScheduler m_eventLoopScheduler;
    CScheduler* m_scheduler = &m_eventLoopScheduler;
    std::vector<ConnectionRecord> m_connections;
    std::vector<CServerObserver*> m_observers;
    uint64_t m_nextConnectionId = 1;
    int m_maxConnections = 0;
    int m_idleTimeout = 0;
    uint16_t m_port = 0;
    bool m_running = false;
};
