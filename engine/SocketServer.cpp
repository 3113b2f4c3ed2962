// The TCP server engine: listening, the connection table, deferred closes and the idle check.
#include "engine/SocketServer.h"

#include "capture/PacketLog.h"
#include "engine/ServerObserver.h"
#include "engine/Stream.h"

#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace {

// A closed connection whose peer stops reading could hold its unsent octets forever; after
// this long they are given up and the socket is dropped.
constexpr int kFlushLimitMs = 30000;

// Properties of a TLS socket in its handshake: whether it is watched, and its peer as it arrived ("a.b.c.d:port"),
// since a socket Qt gives up on has forgotten its peer by the time it is reported.
constexpr char kWatched[] = "tarnwickWatched";
constexpr char kArrivedFrom[] = "tarnwickArrivedFrom";

uint32_t Ipv4Of(const QHostAddress& address)
{
    bool isIpv4 = false;
    const uint32_t value = address.toIPv4Address(&isIpv4); // also unwraps ::ffff:a.b.c.d
    return isIpv4 ? value : 0;
}

// A plain connection's descriptor, waiting in the listener's queue until the server has a place for it.
// The listener keeps counting what waits and pausing, as it does for its own sockets; what the server
// never takes is closed with it.
class CWaitingDescriptor : public QTcpSocket {
public:
    CWaitingDescriptor(qintptr descriptor, QObject* parent) : QTcpSocket(parent), m_descriptor(int(descriptor)) {}
    ~CWaitingDescriptor() override {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    int Take() { return std::exchange(m_descriptor, -1); }

private:
    int m_descriptor;
};

// The plain port: connections are read and written by the server itself (CPlainStream), not by a socket
// class of Qt's, so Qt only accepts them.
class CPlainListener : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override {
        addPendingConnection(new CWaitingDescriptor(descriptor, this));
    }
};

// Qt's TLS server, naming to its owner the socket it made for each connection it accepts. Qt itself
// names a socket only once its handshake starts (startedEncryptionHandshake), and drops without a
// word one whose first octet opens no handshake: this is how that one is heard of.
class CTlsListener : public QSslServer {
public:
    CTlsListener(QObject* parent, std::function<void(QSslSocket*)> arrived)
        : QSslServer(parent), m_arrived(std::move(arrived)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        QSslServer::incomingConnection(descriptor);
        // The socket Qt just made is the child holding the descriptor, whatever else is arriving.
        for (QSslSocket* socket : findChildren<QSslSocket*>(Qt::FindDirectChildrenOnly)) {
            if (socket->socketDescriptor() == descriptor) {
                m_arrived(socket);
                return;
            }
        }
    }

private:
    std::function<void(QSslSocket*)> m_arrived;
};

} // namespace

CSocketServer::CSocketServer(QObject* parent)
    : QObject(parent)
    , m_listener(new CPlainListener(this))
    , m_idleTimer(new QTimer(this))
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
    if (m_tlsListener)
        m_tlsListener->disconnect(this);
    for (const auto& connection : m_connections) {
        connection->Stream().disconnect(this);
        delete &connection->Stream();
    }
    m_connections.clear();
}

void CSocketServer::SetListenAddress(const QHostAddress& address)
{
    m_listenAddress = address;
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

bool CSocketServer::StartTls(uint16_t port, const QSslConfiguration& configuration)
{
    if (!m_running || m_tlsListener)
        return false;
    m_tlsListener = new CTlsListener(this, [this](QSslSocket* socket) { WatchArrival(socket); });
    // Each socket whose handshake Qt begins is watched until it is encrypted or reported failed.
    connect(m_tlsListener, &QSslServer::startedEncryptionHandshake, this, &CSocketServer::WatchHandshake);
    m_tlsListener->setSslConfiguration(configuration);
    m_tlsListener->setHandshakeTimeout(m_tlsHandshakeMs);
    // Handshakes run side by side; only finished ones wait, as on the plain port, for a free place.
    m_tlsListener->setMaxPendingConnections(kListenBacklog);
    m_tlsListener->setListenBacklogSize(kListenBacklog);
    // A TLS connection is offered once its handshake is done, long after it was accepted.
    connect(m_tlsListener, &QTcpServer::pendingConnectionAvailable, this, &CSocketServer::AcceptPending);
    connect(m_tlsListener, &QSslServer::errorOccurred, this, [this](QSslSocket* socket, QAbstractSocket::SocketError error) {
        const auto found = std::find(m_handshaking.begin(), m_handshaking.end(), socket);
        if (found == m_handshaking.end())
            return;
        m_handshaking.erase(found);
        const QString why = error == QAbstractSocket::SocketTimeoutError
                                ? QString("no handshake within %1 ms").arg(m_tlsListener->handshakeTimeout())
                                : socket->errorString();
        NotifyPrint(QString("TLS handshake from %1 failed: %2\r\n")
                        .arg(socket->property(kArrivedFrom).toString(), why).toStdString());
    });
    if (!m_tlsListener->listen(m_listenAddress, port)) {
        delete m_tlsListener;
        m_tlsListener = nullptr;
        return false;
    }
    if (GetConnectionCount() >= m_maxConnections)
        m_tlsListener->pauseAccepting();
    return true;
}

void CSocketServer::WatchArrival(QSslSocket* socket)
{
    // Qt may report a handshake's failure before it says the handshake started: a socket is watched once.
    if (socket->property(kWatched).toBool())
        return;
    socket->setProperty(kWatched, true);
    m_handshaking.push_back(socket);
    const QString peer = QString("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
    socket->setProperty(kArrivedFrom, peer);
    // Qt drops a peer whose first octet cannot open a handshake without a word; say it here.
    connect(socket, &QObject::destroyed, this, [this, socket, peer] {
        const auto found = std::find(m_handshaking.begin(), m_handshaking.end(), socket);
        if (found == m_handshaking.end())
            return;
        m_handshaking.erase(found);
        NotifyPrint(QString("TLS handshake from %1 failed: not a TLS handshake\r\n").arg(peer).toStdString());
    });
}

void CSocketServer::WatchHandshake(QSslSocket* socket)
{
    WatchArrival(socket); // nothing when its arrival was seen
    connect(socket, &QSslSocket::encrypted, this, [this, socket] { std::erase(m_handshaking, socket); });
}

uint16_t CSocketServer::ListeningPort() const
{
    return m_listener->isListening() ? m_listener->serverPort() : 0;
}

uint16_t CSocketServer::TlsListeningPort() const
{
    return m_tlsListener && m_tlsListener->isListening() ? m_tlsListener->serverPort() : 0;
}

void CSocketServer::CloseConnection(CConnection& connection, std::string_view reason)
{
    if (connection.IsClosing())
        return;
    const std::string name = connection.IsNamed() ? std::string(" (").append(connection.Name()).append(")") : std::string();
    NotifyPrint(std::string("Closing [").append(std::to_string(PositionOf(connection))).append("]").append(name)
                    .append(": ").append(reason).append("\r\n"));
    Trace(std::string("[Session] conn:").append(std::to_string(connection.Id())).append(name).append(" closed: ")
              .append(reason));
    CloseConnection(connection);
}

bool CSocketServer::Disconnect(uint64_t id)
{
    CConnection* connection = FindConnection(id);
    if (connection == nullptr || connection->IsClosing())
        return false;
    CloseConnection(*connection, "disconnected by the user");
    return true;
}

void CSocketServer::Trace(const std::string& line) const
{
    if (m_trace)
        m_trace(line);
}

void CSocketServer::CloseConnection(CConnection& connection)
{
    if (connection.m_closing)
        return;
    connection.m_closing = true;
    // The connection may be gone by the time the pause is over (a Stop); its id says whether it is.
    const uint64_t id = connection.Id();
    QTimer::singleShot(kClosePauseMs, this, [this, id] { FinishClose(id); });
}

std::vector<std::string> CSocketServer::DistinctNames() const {
    std::vector<std::string> names;
    for (const auto& connection : m_connections) {
        const std::string name = connection->Name();
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

void CSocketServer::CheckIdle()
{
    // Closes are deferred, so no record moves while this runs.
    if (m_idleTimeout <= 0)
        return;
    for (const auto& connection : m_connections) {
        if (!connection->IsClosing() && Now() - connection->LastActivity() > m_idleTimeout)
            CloseConnection(*connection, "nothing received for " + std::to_string(m_idleTimeout) + " s");
    }
}

void CSocketServer::AcceptPending()
{
    for (QTcpServer* listener : {static_cast<QTcpServer*>(m_listener), static_cast<QTcpServer*>(m_tlsListener)}) {
        while (listener && GetConnectionCount() < m_maxConnections && listener->hasPendingConnections()) {
            QTcpSocket* socket = listener->nextPendingConnection();
            if (socket == nullptr)
                break;
            if (listener == m_tlsListener) {
                Accept(new CQtStream(socket, this), true);
                continue;
            }
            const int descriptor = static_cast<CWaitingDescriptor*>(socket)->Take();
            delete socket;
            Accept(new CPlainStream(descriptor, this), false);
        }
    }
    // Taking a pending connection re-arms the listener, so pause only after the last take.
    if (GetConnectionCount() >= m_maxConnections)
        PauseAccepting(true);
}

void CSocketServer::Accept(CStream* stream, bool tls)
{
    m_connections.push_back(std::make_unique<CConnection>(stream, CPacketLog::NewConnectionId(),
                                                          Ipv4Of(stream->PeerAddress()), stream->PeerPort(), Now()));
    CConnection& connection = *m_connections.back();
    connection.m_tls = tls;

    // The signals stop (stream->disconnect) before the connection leaves the table.
    connect(stream, &CStream::Readable, this, [this, &connection] { HandleReadyRead(connection); });
    connect(stream, &CStream::Closed, this, [this, &connection] { HandlePeerClosed(connection); });
    // Any octets that go out may be the ones that let a held connection be read again.
    connect(stream, &CStream::Written, this, [this, &connection] { ResumeIfDrained(connection); });
    OnAccept(connection);
    for (CServerObserver* observer : m_observers)
        observer->OnConnected(connection);

    // A TLS client that waited in the queue may have sent, or even gone, before we took it; the
    // signals for that have already passed, so catch up here.
    if (tls)
        HandleReadyRead(connection);
    if (!stream->IsOpen())
        HandlePeerClosed(connection);
}

void CSocketServer::PauseAccepting(bool pause)
{
    for (QTcpServer* listener : {static_cast<QTcpServer*>(m_listener), static_cast<QTcpServer*>(m_tlsListener)}) {
        if (listener && pause)
            listener->pauseAccepting();
        else if (listener)
            listener->resumeAccepting();
    }
}

void CSocketServer::HandleReadyRead(CConnection& connection)
{
    connection.m_lastActivity = Now();
    CStream& stream = connection.Stream();
    if (connection.IsClosing()) {
        // Nobody reads this connection any more; don't let a talkative peer fill our memory.
        stream.Discard();
        return;
    }
    // A held connection's requests wait, in the kernel, until it drains.
    if (connection.IsReadingHeld())
        return;
    OnReceive(connection);
    // Answers go out now, all of this read's in one write, rather than on the next turn of the
    // event loop: an ESME waiting for each response before it sends the next request feels every turn.
    if (stream.Unsent() > 0)
        stream.Flush();
}

void CSocketServer::ResumeIfDrained(CConnection& connection)
{
    if (!connection.IsReadingHeld() || connection.Unsent() > CConnection::kResumeOctets)
        return;
    connection.m_readingHeld = false;
    connection.Stream().SetReading(true);
    // What arrived while reading was held raises no signal of its own, and a framed server may
    // hold whole PDUs it read before the hold. Both are handled on the next turn, not inside the
    // socket's write that emitted this.
    QMetaObject::invokeMethod(this, [this, id = connection.Id()] {
        if (CConnection* resumed = FindConnection(id))
            HandleReadyRead(*resumed);
    }, Qt::QueuedConnection);
}

void CSocketServer::HandlePeerClosed(CConnection& connection)
{
    connection.m_lastActivity = Now();
    CloseConnection(connection); // nothing more when a close is already pending
}

void CSocketServer::FinishClose(uint64_t id)
{
    const int index = IndexOfConnection(id);
    if (index < 0)
        return;

    // Queued outgoing octets still go out; the stream frees itself once they have.
    CStream& stream = m_connections[index]->Stream();
    stream.disconnect(this);
    stream.CloseAfterFlush(kFlushLimitMs);

    RemoveConnection(index);
    if (m_running && GetConnectionCount() < m_maxConnections) {
        PauseAccepting(false);
        AcceptPending();
    }
}

void CSocketServer::RemoveConnection(int index)
{
    // Neither OnClose nor an observer can move records: any close they ask for is deferred.
    // The record leaves the table before OnRemoved, and is destroyed only once every observer has been told.
    CConnection& connection = *m_connections[index];
    OnClose(connection);
    for (CServerObserver* observer : m_observers)
        observer->OnDisconnected(connection);
    const std::unique_ptr<CConnection> leaving = std::move(m_connections[index]);
    m_connections.erase(m_connections.begin() + index);
    for (CServerObserver* observer : m_observers)
        observer->OnRemoved(connection);
}

void CSocketServer::Stop()
{
    m_idleTimer->stop();
    m_listener->close();
    if (m_tlsListener)
        m_tlsListener->disconnect(this);
    m_running = false;
    // From the end, so that each close leaves the indexes of the ones still to go alone.
    while (!m_connections.empty()) {
        const int index = GetConnectionCount() - 1;
        CStream& stream = m_connections[index]->Stream();
        stream.disconnect(this);
        stream.Abort();
        RemoveConnection(index);
    }
    // The TLS sockets are its children and go with it, those still in their handshake without a word.
    m_handshaking.clear();
    delete m_tlsListener;
    m_tlsListener = nullptr;
}

int CSocketServer::IndexOfConnection(uint64_t id) const
{
    const auto found = std::find_if(m_connections.begin(), m_connections.end(),
                                    [id](const auto& connection) { return connection->Id() == id; });
    return found == m_connections.end() ? -1 : static_cast<int>(found - m_connections.begin());
}

CConnection* CSocketServer::FindConnection(uint64_t id) const
{
    const int index = IndexOfConnection(id);
    return index < 0 ? nullptr : m_connections[index].get();
}

int CSocketServer::PositionOf(const CConnection& connection) const
{
    const auto found = std::find_if(m_connections.begin(), m_connections.end(),
                                    [&connection](const auto& entry) { return entry.get() == &connection; });
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

void CSocketServer::NotifyLoggedIn(CConnection& connection)
{
    connection.m_loginTime = connection.IsNamed() ? Now() : 0;
    for (CServerObserver* observer : m_observers)
        observer->OnLoggedIn(connection);
}

void CSocketServer::NotifyPrint(std::string_view line)
{
    for (CServerObserver* observer : m_observers)
        observer->Print(line);
}
