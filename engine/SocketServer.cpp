// The TCP server engine: listening, the connection table, deferred closes and the idle check.
#include "engine/SocketServer.h"

#include "engine/ServerObserver.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// A closed connection whose peer stops reading could hold its unsent octets forever; after
// this long they are given up and the socket is dropped.
constexpr int kFlushLimitMs = 30000;

uint32_t Ipv4Of(const QHostAddress& address)
{
    bool isIpv4 = false;
    const uint32_t value = address.toIPv4Address(&isIpv4); // also unwraps ::ffff:a.b.c.d
    return isIpv4 ? value : 0;
}

} // namespace

CSocketServer::CSocketServer(QObject* parent)
    : QObject(parent)
    , m_listener(new QTcpServer(this))
    , m_idleTimer(new QTimer(this))
    , m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
{
    // Qt takes connections off the backlog into its own queue; keeping that queue at one means a
    // client that arrives while the table is full waits in the backlog, not in our process.
    m_listener->setMaxPendingConnections(1);
    m_listener->setListenBacklogSize(kListenBacklog);
    connect(m_listener, &QTcpServer::newConnection, this, &CSocketServer::AcceptPending);

    m_idleTimer->setInterval(kIdleCheckMs);
    connect(m_idleTimer, &QTimer::timeout, this, &CSocketServer::CheckIdle);
}

CSocketServer::~CSocketServer()
{
    // The derived part is gone: no overridable may run now, so cut the sockets loose first.
    m_listener->disconnect(this);
    for (ConnectionRecord& record : m_connections) {
        record.socket->disconnect(this);
        delete record.socket;
    }
    m_connections.clear();
}

void CSocketServer::SetListenAddress(const QHostAddress& address)
{
    m_listenAddress = address;
}

void CSocketServer::SetClock(Clock clock)
{
    if (clock)
        m_clock = std::move(clock);
}

bool CSocketServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds)
{
    // A running server keeps its port and limits: a second Start changes nothing.
    if (m_listener->isListening())
        return false;

    m_port = port;
    m_maxConnections = maxConnections;
    m_idleTimeout = idleTimeoutSeconds;
    if (!m_listener->listen(m_listenAddress, port))
        return false;

    m_idleTimer->start();
    m_running = true;
    // A limit of zero or below admits nobody; say so to the listener at once.
    if (GetConnectionCount() >= m_maxConnections)
        m_listener->pauseAccepting();
    return true;
}

uint16_t CSocketServer::ListeningPort() const
{
    return m_listener->isListening() ? m_listener->serverPort() : 0;
}

uint32_t CSocketServer::GetPeerAddress(int index) const
{
    return IsBad(index) ? 0xFFFFFFFFu : m_connections[index].peerAddress;
}

uint16_t CSocketServer::GetPeerPort(int index) const
{
    return IsBad(index) ? 0xFFFF : m_connections[index].peerPort;
}

int64_t CSocketServer::GetConnectTime(int index) const
{
    return IsBad(index) ? -1 : m_connections[index].connectTime;
}

bool CSocketServer::IsClosing(int index) const
{
    return !IsBad(index) && m_connections[index].closing;
}

int64_t CSocketServer::Receive(int index, void* buffer, int64_t length)
{
    if (IsBad(index) || buffer == nullptr || length <= 0)
        return -1;
    const ConnectionRecord& record = m_connections[index];
    if (record.closing)
        return -1;
    QTcpSocket* socket = record.socket;
    if (socket->bytesAvailable() > 0)
        return socket->read(static_cast<char*>(buffer), length);
    return socket->state() == QAbstractSocket::ConnectedState ? -1 : 0;
}

int64_t CSocketServer::Send(int index, const void* buffer, int64_t length)
{
    if (IsBad(index) || length < 0 || (buffer == nullptr && length > 0))
        return -1;
    QTcpSocket* socket = m_connections[index].socket;
    if (socket->state() != QAbstractSocket::ConnectedState)
        return -1;
    if (length == 0)
        return 0;
    return socket->write(static_cast<const char*>(buffer), length);
}

void CSocketServer::CloseConnection(int index)
{
    if (IsBad(index) || m_connections[index].closing)
        return;
    ConnectionRecord& record = m_connections[index];
    record.closing = true;
    // The index may have moved by the time the pause is over; the socket names the record.
    QTcpSocket* socket = record.socket;
    QTimer::singleShot(kClosePauseMs, this, [this, socket] { FinishClose(socket); });
}

uint8_t* CSocketServer::GetReceiveBuffer(int index) const
{
    return IsBad(index) ? nullptr : m_connections[index].receiveBuffer;
}

void CSocketServer::SetReceiveBuffer(int index, uint8_t* buffer)
{
    if (!IsBad(index))
        m_connections[index].receiveBuffer = buffer;
}

int32_t CSocketServer::GetReceivedCount(int index) const
{
    return IsBad(index) ? -1 : m_connections[index].receivedCount;
}

void CSocketServer::SetReceivedCount(int index, int32_t value)
{
    if (!IsBad(index))
        m_connections[index].receivedCount = value;
}

int32_t CSocketServer::GetWantedCount(int index) const
{
    return IsBad(index) ? -1 : m_connections[index].wantedCount;
}

void CSocketServer::SetWantedCount(int index, int32_t value)
{
    if (!IsBad(index))
        m_connections[index].wantedCount = value;
}

int32_t CSocketServer::GetFrameState(int index) const
{
    return IsBad(index) ? -1 : m_connections[index].frameState;
}

void CSocketServer::SetFrameState(int index, int32_t value)
{
    if (!IsBad(index))
        m_connections[index].frameState = value;
}

bool CSocketServer::GetName(int index, char* out, int outSize) const
{
    if (IsBad(index) || out == nullptr || outSize <= 0)
        return false;
    const char* name = m_connections[index].name;
    const size_t length = std::min(std::strlen(name), static_cast<size_t>(outSize - 1));
    std::memcpy(out, name, length);
    out[length] = '\0';
    return true;
}

const char* CSocketServer::NameOf(int index) const
{
    return IsBad(index) ? "" : m_connections[index].name;
}

std::vector<std::string> CSocketServer::DistinctNames() const {
    std::vector<std::string> names;
    for (const ConnectionRecord& connection : m_connections) {
        const std::string name = connection.name;
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

void CSocketServer::SetName(int index, const char* name)
{
    if (IsBad(index))
        return;
    char* slot = m_connections[index].name;
    constexpr size_t kSize = sizeof(ConnectionRecord::name);
    const char* source = name == nullptr ? "" : name;
    size_t length = 0;
    while (length < kSize - 1 && source[length] != '\0')
        ++length;
    std::memmove(slot, source, length); // the name may be set from itself
    std::memset(slot + length, 0, kSize - length);
}

void CSocketServer::CheckIdle()
{
    // Closes are deferred, so no record moves while this runs.
    for (int index = 0; index < GetConnectionCount(); ++index) {
        const ConnectionRecord& record = m_connections[index];
        if (!record.closing && Now() - record.lastActivity > m_idleTimeout)
            CloseConnection(index);
    }
}

void CSocketServer::AcceptPending()
{
    while (GetConnectionCount() < m_maxConnections && m_listener->hasPendingConnections()) {
        QTcpSocket* socket = m_listener->nextPendingConnection();
        if (socket == nullptr)
            break;

        // Responses are small and answer a waiting peer; don't let Nagle hold them back.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        ConnectionRecord record;
        record.socket = socket;
        record.peerAddress = Ipv4Of(socket->peerAddress());
        record.peerPort = socket->peerPort();
        record.connectTime = Now();
        record.lastActivity = record.connectTime;
        record.id = m_nextConnectionId++;
        m_connections.push_back(record);

        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { HandleReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { HandlePeerClosed(socket); });
        OnAccept(GetConnectionCount() - 1);
        for (CServerObserver* observer : m_observers)
            observer->OnConnected(GetConnectionCount() - 1);

        // A client that waited in the queue may have sent, or even gone, before we took it; the
        // signals for that have already passed, so catch up here.
        if (socket->bytesAvailable() > 0)
            HandleReadyRead(socket);
        if (socket->state() != QAbstractSocket::ConnectedState)
            HandlePeerClosed(socket);
    }
    // Taking a pending connection re-arms the listener, so pause only after the last take.
    if (GetConnectionCount() >= m_maxConnections)
        m_listener->pauseAccepting();
}

void CSocketServer::HandleReadyRead(QTcpSocket* socket)
{
    const int index = IndexOf(socket);
    if (index < 0)
        return;
    ConnectionRecord& record = m_connections[index];
    record.lastActivity = Now();
    if (record.closing) {
        // Nobody reads this connection any more; don't let a talkative peer fill our memory.
        socket->skip(socket->bytesAvailable());
        return;
    }
    OnReceive(index);
    // Answers go out now rather than on the next turn of the event loop: an ESME waiting
    // for each response before it sends the next request feels every turn.
    if (socket->bytesToWrite() > 0)
        socket->flush();
}

void CSocketServer::HandlePeerClosed(QTcpSocket* socket)
{
    const int index = IndexOf(socket);
    if (index < 0)
        return;
    m_connections[index].lastActivity = Now();
    CloseConnection(index); // nothing more when a close is already pending
}

void CSocketServer::FinishClose(QTcpSocket* socket)
{
    const int index = IndexOf(socket);
    if (index < 0)
        return;

    socket->disconnect(this);
    // Queued outgoing octets still go out; the socket frees itself once they have.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kFlushLimitMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();

    RemoveConnection(index);
    if (m_running && GetConnectionCount() < m_maxConnections) {
        m_listener->resumeAccepting();
        AcceptPending();
    }
}

void CSocketServer::RemoveConnection(int index)
{
    // Neither OnClose nor an observer can move records: any close they ask for is deferred.
    OnClose(index);
    for (CServerObserver* observer : m_observers)
        observer->OnDisconnected(index);
    m_connections.erase(m_connections.begin() + index);
    for (CServerObserver* observer : m_observers)
        observer->OnRemoved(index);
}

void CSocketServer::Stop()
{
    m_idleTimer->stop();
    m_listener->close();
    m_running = false;
    // From the end, so that each close leaves the indexes of the ones still to go alone.
    while (!m_connections.empty()) {
        const int index = GetConnectionCount() - 1;
        QTcpSocket* socket = m_connections[index].socket;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        RemoveConnection(index);
    }
}

uint64_t CSocketServer::GetConnectionId(int index) const
{
    return IsBad(index) ? 0 : m_connections[index].id;
}

int CSocketServer::IndexOfConnection(uint64_t id) const
{
    const auto found = std::find_if(m_connections.begin(), m_connections.end(),
                                    [id](const ConnectionRecord& record) { return record.id == id; });
    return found == m_connections.end() ? -1 : static_cast<int>(found - m_connections.begin());
}

void CSocketServer::AddObserver(CServerObserver* observer)
{
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void CSocketServer::RemoveObserver(CServerObserver* observer)
{
    std::erase(m_observers, observer);
}

void CSocketServer::NotifyLoggedIn(int index)
{
    for (CServerObserver* observer : m_observers)
        observer->OnLoggedIn(index);
}

void CSocketServer::NotifyPrint(std::string_view line)
{
    for (CServerObserver* observer : m_observers)
        observer->Print(line);
}

int CSocketServer::IndexOf(const QTcpSocket* socket) const
{
    const auto found = std::find_if(m_connections.begin(), m_connections.end(),
                                    [socket](const ConnectionRecord& record) { return record.socket == socket; });
    return found == m_connections.end() ? -1 : static_cast<int>(found - m_connections.begin());
}
