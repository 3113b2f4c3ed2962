// A loopback TCP client for server tests: connect, send, and wait with a bound for octets, PDUs or the close.
#pragma once

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
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
        const bool connected = WaitUntil([this] { return IsConnected(); }, timeoutMs);
        // Requests that follow each other must not wait for the server's delayed ACK.
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_localPort = m_socket.localPort();
        return connected;
    }
    bool IsConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // The port the client connected from, still known after the connection has gone.
    uint16_t LocalPort() const { return m_localPort; }

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
    // The next whole PDU of a protocol whose PDUs open with their own 32-bit big-endian length,
    // or nothing when none arrives within the bound.
    std::optional<std::vector<uint8_t>> NextPdu(int timeoutMs = kWaitMs)
    {
        if (!WaitForBytes(4, timeoutMs))
            return std::nullopt;
        const uint32_t length = uint32_t(m_received[0]) << 24 | uint32_t(m_received[1]) << 16 |
                                uint32_t(m_received[2]) << 8 | uint32_t(m_received[3]);
        if (length < 4 || !WaitForBytes(length, timeoutMs))
            return std::nullopt;
        return Take(length);
    }
    // The next whole frame of a text protocol, STX to ETX, as text; nothing when none ends within the bound.
    std::optional<std::string> NextFrame(int timeoutMs = kWaitMs)
    {
        const auto etx = [this] { return std::find(m_received.begin(), m_received.end(), uint8_t(0x03)); };
        if (!WaitUntil([&] { return etx() != m_received.end(); }, timeoutMs))
            return std::nullopt;
        const std::vector<uint8_t> frame = Take(size_t(etx() - m_received.begin()) + 1);
        return std::string(frame.begin(), frame.end());
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
    uint16_t m_localPort = 0;
    bool m_paused = false;
};

} // namespace test_net
