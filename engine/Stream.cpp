// The connections' byte streams: a plain descriptor read and written by the server, and Qt's TLS socket.
#include "engine/Stream.h"

#include <QSocketNotifier>
#include <QSslSocket>
#include <QTimer>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A closing connection's waiting octets are dropped this many at a time, and at most a few times per
// turn (or at its close, what a held connection's peer can have waiting), so that a peer sending without
// end cannot hold the event loop.
constexpr std::size_t kDropChunk = 64 * 1024;
constexpr int kDropReadsPerTurn = 4;
constexpr int kDropReadsAtClose = 64;

} // namespace

CPlainStream::CPlainStream(int descriptor, QObject* parent)
    : CStream(parent), m_fd(descriptor), m_readable(new QSocketNotifier(descriptor, QSocketNotifier::Read, this)),
      m_writable(new QSocketNotifier(descriptor, QSocketNotifier::Write, this)) {
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (getpeername(m_fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
        m_peerAddress = QHostAddress(reinterpret_cast<const sockaddr*>(&peer));
        m_peerPort = ntohs(peer.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(peer).sin6_port
                                                      : reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    }
    m_writable->setEnabled(false);
    connect(m_readable, &QSocketNotifier::activated, this, &CStream::Readable);
    connect(m_writable, &QSocketNotifier::activated, this, &CPlainStream::Flush);
}

CPlainStream::~CPlainStream() {
    if (m_fd < 0)
        return;
    // The notifiers go after this body: they must not watch a descriptor that is closed.
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    ::close(m_fd);
}

int64_t CPlainStream::Read(void* buffer, int64_t length) {
    if (m_fd < 0 || length <= 0)
        return m_open ? -1 : 0;
    ssize_t got;
    do
        got = ::read(m_fd, buffer, std::size_t(length));
    while (got < 0 && errno == EINTR);
    if (got > 0)
        return got;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return m_open ? -1 : 0;
    Fail(); // the peer's end of the stream, or a reset
    return 0;
}

void CPlainStream::Discard() {
    Drop(kDropReadsPerTurn);
}

void CPlainStream::Drop(int reads) {
    static char sink[kDropChunk]; // the UI thread's alone
    while (reads-- > 0 && Read(sink, sizeof sink) > 0) {
    }
}

int64_t CPlainStream::Write(const void* buffer, int64_t length) {
    if (!m_open || length < 0)
        return -1;
    // A peer that reads slowly but never quite catches up would otherwise keep every octet it was ever
    // sent in front of the queue: once what has gone out is half of it, it goes.
    if (m_outStart > 0 && 2 * m_outStart >= m_out.size())
        m_out.erase(0, m_outStart), m_outStart = 0;
    m_out.append(static_cast<const char*>(buffer), std::size_t(length));
    if (length > 0)
        m_writable->setEnabled(true); // out on the next turn, unless the server flushes first
    return length;
}

void CPlainStream::Flush() {
    bool wrote = false;
    while (m_fd >= 0 && m_outStart < m_out.size()) {
        const ssize_t sent = ::send(m_fd, m_out.data() + m_outStart, m_out.size() - m_outStart, MSG_NOSIGNAL);
        if (sent > 0) {
            m_outStart += std::size_t(sent);
            wrote = true;
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // Nobody will take these octets any more.
            m_out.clear(), m_outStart = 0;
            Fail();
        }
    }
    const bool drained = m_outStart == m_out.size();
    if (drained)
        m_out.clear(), m_outStart = 0;
    if (m_fd >= 0)
        m_writable->setEnabled(!drained);
    if (wrote)
        emit Written();
    if (drained && m_closeWhenFlushed)
        CloseNow();
}

void CPlainStream::SetReading(bool on) {
    if (m_fd >= 0)
        m_readable->setEnabled(on && m_open);
}

void CPlainStream::Fail() {
    if (!m_open)
        return;
    m_open = false;
    m_readable->setEnabled(false); // an ended stream stays readable: don't be told so on every turn
    QMetaObject::invokeMethod(this, &CStream::Closed, Qt::QueuedConnection);
}

void CPlainStream::CloseAfterFlush(int limitMs) {
    m_readable->setEnabled(false);
    m_closeWhenFlushed = true;
    if (Unsent() == 0) {
        CloseNow();
        return;
    }
    // A peer that never reads could hold the octets forever; after the limit they are given up.
    QTimer::singleShot(limitMs, this, &CPlainStream::CloseNow);
    Flush();
}

void CPlainStream::Abort() {
    m_out.clear(), m_outStart = 0;
    CloseNow();
}

void CPlainStream::CloseNow() {
    if (m_fd < 0)
        return;
    // Octets left unread make the kernel answer the close with a reset, which throws away what it still
    // holds of ours: the peer would miss the last answers. Those octets would never be read anyway.
    if (m_closeWhenFlushed)
        Drop(kDropReadsAtClose);
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    m_open = false;
    deleteLater();
}

CQtStream::CQtStream(QTcpSocket* socket, QObject* parent) : CStream(parent), m_socket(socket) {
    m_socket->setParent(this);
    // Responses are small and answer a waiting peer; don't let Nagle hold them back.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setReadBufferSize(kReadBufferOctets);
    connect(m_socket, &QTcpSocket::readyRead, this, &CStream::Readable);
    connect(m_socket, &QTcpSocket::disconnected, this, &CStream::Closed);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &CStream::Written);
    if (auto* tls = qobject_cast<QSslSocket*>(m_socket))
        connect(tls, &QSslSocket::encryptedBytesWritten, this, &CStream::Written);
}

int64_t CQtStream::Read(void* buffer, int64_t length) {
    if (m_socket->bytesAvailable() > 0)
        return m_socket->read(static_cast<char*>(buffer), length);
    return IsOpen() ? -1 : 0;
}

void CQtStream::Discard() {
    m_socket->skip(m_socket->bytesAvailable());
}

int64_t CQtStream::Write(const void* buffer, int64_t length) {
    if (!IsOpen())
        return -1;
    return length == 0 ? 0 : m_socket->write(static_cast<const char*>(buffer), length);
}

void CQtStream::Flush() {
    if (m_socket->bytesToWrite() > 0)
        m_socket->flush();
}

int64_t CQtStream::Unsent() const {
    // A TLS socket's own count is of the plain text still to encrypt; what it has encrypted waits below it.
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket);
    return m_socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

bool CQtStream::IsOpen() const {
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void CQtStream::CloseAfterFlush(int limitMs) {
    // Queued outgoing octets still go out; the stream frees itself once they have.
    m_socket->disconnect(this);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    QTimer::singleShot(limitMs, this, [this] {
        m_socket->abort();
        deleteLater();
    });
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
}

void CQtStream::Abort() {
    m_socket->disconnect(this);
    m_socket->abort();
    deleteLater();
}

QHostAddress CQtStream::PeerAddress() const {
    return m_socket->peerAddress();
}

uint16_t CQtStream::PeerPort() const {
    return m_socket->peerPort();
}
