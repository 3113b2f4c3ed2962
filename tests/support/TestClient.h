// A loopback TCP client for server tests: connect, send, and wait with a bound for octets or the close.
#pragma once

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace test_net {

// Generous bound for anything the event loop should do promptly; a passing test never waits it out.
constexpr int kWaitMs = 5000;

// Runs the event loop until pred() holds or timeoutMs has passed; returns pred().
template <typename Pred>
bool WaitUntil(Pred pred, int timeoutMs = kWaitMs)
{
    return QTest::qWaitFor(pred, timeoutMs);
}

// Collects everything the server sends as it arrives, so nothing waits unread in the socket.
class TestClient {
public:
    TestClient()
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] {
            if (!m_paused)
                Drain();
        });
    }

    bool Connect(uint16_t port, int timeoutMs = kWaitMs)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return WaitUntil([this] { return IsConnected(); }, timeoutMs);
    }
    bool IsConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    uint16_t LocalPort() const { return m_socket.localPort(); }

    void Send(const std::vector<uint8_t>& bytes)
    {
        m_socket.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    void Send(std::string_view text) { m_socket.write(text.data(), static_cast<qint64>(text.size())); }

    // Everything received so far, oldest first.
    const std::vector<uint8_t>& Received() const { return m_received; }
    std::string ReceivedText() const { return std::string(m_received.begin(), m_received.end()); }
    // Removes and returns the first count received octets (fewer if fewer are there).
    std::vector<uint8_t> Take(size_t count)
    {
        count = std::min(count, m_received.size());
        std::vector<uint8_t> head(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(count));
        m_received.erase(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(count));
        return head;
    }

    bool WaitForBytes(size_t count, int timeoutMs = kWaitMs)
    {
        return WaitUntil([this, count] { return m_received.size() >= count; }, timeoutMs);
    }
    // True once the server has closed the connection (or it was never open).
    bool WaitForDisconnected(int timeoutMs = kWaitMs)
    {
        return WaitUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }

    // Orderly close: queued octets go out, then FIN.
    void Close() { m_socket.disconnectFromHost(); }
    // Drops the connection with a reset instead of an orderly close.
    void Reset()
    {
        const linger hard{1, 0};
        ::setsockopt(static_cast<int>(m_socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        m_socket.abort();
    }

    // While paused the client takes nothing off the wire, so the server's octets back up in the
    // kernel and then in the server's own queue.
    void PauseReading()
    {
        m_paused = true;
        m_socket.setReadBufferSize(1);
    }
    void ResumeReading()
    {
        m_paused = false;
        m_socket.setReadBufferSize(0);
        Drain();
    }

    QTcpSocket& Socket() { return m_socket; }

private:
    void Drain()
    {
        const QByteArray bytes = m_socket.readAll();
        m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    }

    QTcpSocket m_socket;
    std::vector<uint8_t> m_received;
    bool m_paused = false;
};

} // namespace test_net
