// Connections of the control API, and the bound on what one request may pile up.
#include "control/ControlListener.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {

constexpr int kDrainMs = 5000; // how long a refused client may go on sending before it is cut off

// What a connection's current request has sent so far; a child of its socket.
class CRequestBytes : public QObject {
public:
    static constexpr const char* kName = "requestBytes";

    explicit CRequestBytes(QTcpSocket* socket) : QObject(socket) { setObjectName(kName); }

    void Reset() {
        m_received = 0;
        m_head.clear();
        m_headDone = false;
    }
    // The octets now waiting in the socket, not yet read by the HTTP server; false when the request
    // grows beyond what is allowed.
    bool Take(QTcpSocket& socket) {
        const qint64 available = socket.bytesAvailable();
        m_received += available;
        if (!m_headDone) {
            m_head += socket.peek(std::min(available, CControlListener::kMaxHead + 4 - m_head.size()));
            const qsizetype end = m_head.indexOf("\r\n\r\n");
            m_headDone = end >= 0 || m_head.size() > CControlListener::kMaxHead;
            if (end >= 0 && DeclaredLength(m_head.left(end)) > CControlListener::kMaxBody)
                return false;
        }
        return m_received <= CControlListener::kMaxBody + CControlListener::kMaxHead;
    }

private:
    static qint64 DeclaredLength(const QByteArray& head) {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length") {
                bool ok = false;
                const qint64 length = line.mid(colon + 1).trimmed().toLongLong(&ok);
                return ok ? length : CControlListener::kMaxBody + 1;
            }
        }
        return 0;
    }

    qint64 m_received = 0;
    QByteArray m_head;
    bool m_headDone = false;
};

} // namespace

void CControlListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto* bytes = new CRequestBytes(socket);
    // Connected before the HTTP server connects its own reader, so this runs first on every arrival.
    connect(socket, &QTcpSocket::readyRead, bytes, [socket, bytes] {
        if (!bytes->Take(*socket))
            Refuse(socket, 413, "Payload Too Large", R"j({"error":"the request body is over 1 MiB (1048576 octets)"})j");
    });
    addPendingConnection(socket);
}

void CControlListener::RequestHandled(QTcpSocket* socket) {
    // No meta-object of its own: found by name, and only this file names a child so.
    if (QObject* bytes = socket ? socket->findChild<QObject*>(CRequestBytes::kName, Qt::FindDirectChildrenOnly) : nullptr)
        static_cast<CRequestBytes*>(bytes)->Reset();
}

void CControlListener::Refuse(QTcpSocket* socket, int status, const char* reason, const QByteArray& json) {
    if (socket->property("refused").toBool())
        return;
    socket->setProperty("refused", true);
    // Nobody reads this connection's requests any more; the HTTP server's half-read one goes too.
    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    socket->write(QByteArray("HTTP/1.1 ") + QByteArray::number(status) + ' ' + reason +
                  "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(json.size()) +
                  "\r\nConnection: close\r\n\r\n" + json);
    socket->flush();
    // Closing outright while the client still sends would reset the connection and could lose the
    // answer on its way; only the sending half closes, and the rest is read and dropped.
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater, Qt::UniqueConnection);
    QTimer::singleShot(kDrainMs, socket, [socket] { socket->abort(); });
}
