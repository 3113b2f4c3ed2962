// The control API's listening socket: it hands connections to the HTTP server and keeps what one
// request may make the server hold within bounds.
#pragma once

#include <QTcpServer>

#include <cstdint>

class QTcpSocket;

// Accepts connections for QHttpServer and watches what arrives on each before the HTTP server reads
// it. A request whose Content-Length exceeds kMaxBody, or whose octets (head and body, chunked or not)
// pile up beyond kMaxBody plus kMaxHead before it is answered, is refused at once with 413 and the
// connection closed for sending; what the client still sends is read and dropped until it closes.
// (Bytes that are no HTTP request at all the HTTP server answers by closing the connection.)
// UI thread only.
class CControlListener : public QTcpServer {
    Q_OBJECT
public:
    static constexpr qint64 kMaxBody = 1 << 20;
    static constexpr qint64 kMaxHead = 64 << 10;

    explicit CControlListener(QObject* parent = nullptr) : QTcpServer(parent) {}

    // A request on socket has been answered (or taken over): its octets stop counting.
    static void RequestHandled(QTcpSocket* socket);
    // Writes a whole JSON answer by hand, before the HTTP server has the request, and closes the
    // connection for sending.
    static void Refuse(QTcpSocket* socket, int status, const char* reason, const QByteArray& json);

protected:
    void incomingConnection(qintptr descriptor) override;
};
