// One accepted connection: its stream, identity, times, name, receive buffer and protocol session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CStream;

// What a protocol server keeps of one connection beyond what every connection has (a bind, the
// PDUs it waits answers to). Owned by the connection, gone with it.
class CConnectionSession {
public:
    virtual ~CConnectionSession() = default;
};

// Where a framed server is in cutting the connection's byte stream; None on a server that does not
// frame. Stopped: the stream could not be cut any more, and nothing more is read from it.
enum class FrameState : int32_t { None = -1, Reading = 0, Handling = 1, Stopped = 2 };

// The octets read and not yet handled: whatever the stream had waiting, up to capacity, which is
// the longest PDU the protocol admits and some more. Octets [start, end) are unhandled; they open
// with the next PDU. Only a framed server fills it.
struct ReceiveBuffer {
    std::unique_ptr<uint8_t[]> bytes; // none: allocation failed or the server does not frame
    int32_t capacity = 0;
    int32_t start = 0;
    int32_t end = 0;
    FrameState state = FrameState::None;
};

// One entry of a server's connection table, owned by the table and never moved while it lives;
// a pointer to it stays good until its server removes it (after OnClose). The server stamps the
// times and the closing mark; the protocol server names it and attaches its session. The stream
// is the server's to let go. UI thread only.
class CConnection {
public:
    static constexpr std::size_t kNameSize = 20; // NUL included: at most 19 characters

    CConnection(CStream* stream, uint64_t id, uint32_t peerAddress, uint16_t peerPort, int64_t now)
        : m_stream(stream), m_id(id), m_peerAddress(peerAddress), m_peerPort(peerPort), m_connectTime(now),
          m_lastActivity(now) {}
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    CStream& Stream() const { return *m_stream; }
    uint64_t Id() const { return m_id; }                // stable for the connection's life, never reused in the program (CPacketLog::NewConnectionId)
    uint32_t PeerAddress() const { return m_peerAddress; } // first octet in the most significant byte
    uint16_t PeerPort() const { return m_peerPort; }
    int64_t ConnectTime() const { return m_connectTime; }   // seconds since 1970
    int64_t LastActivity() const { return m_lastActivity; } // set at accept and at every read or close event
    bool IsClosing() const { return m_closing; }            // a close is pending: the connection is no longer read
    int64_t LoginTime() const { return m_loginTime; }       // seconds since 1970 of the bind or login that named it; 0 while unnamed
    bool IsTls() const { return m_tls; }                    // came in on the TLS port: its stream reads and writes plain text

    // The SMPP system_id of the last bind or the TEST number of the last login; "" while unnamed.
    const char* Name() const { return m_name; }
    bool IsNamed() const { return m_name[0] != '\0'; }
    void SetName(const char* name); // keeps at most 19 characters; null clears

    // Octets read (never more than length), 0 when the peer has closed, -1 when nothing is
    // buffered, on error, once the connection is closing, or while its reading is held. Never waits.
    int64_t Receive(void* buffer, int64_t length);
    // Octets accepted for sending, -1 on error. They are queued and go out when the server flushes
    // after a read, or from the event loop.
    int64_t Send(const void* buffer, int64_t length);

    // Back-pressure: a peer that sends requests and does not read the answers would otherwise make
    // the server queue answers without end. Once more than kMaxUnsentOctets of the server's wait to
    // go out, Receive holds the connection's reading, so its requests wait in the kernel and TCP
    // slows the peer; the server reads again once the octets waiting are down to kResumeOctets.
    static constexpr int64_t kMaxUnsentOctets = 256 * 1024;
    static constexpr int64_t kResumeOctets = kMaxUnsentOctets / 2;
    // Octets handed to the stream that have not gone out yet (for TLS, encrypted or not).
    int64_t Unsent() const;
    bool IsReadingHeld() const { return m_readingHeld; }
    // Holds the reading once the unsent octets pass kMaxUnsentOctets; true while it is held.
    bool HoldReadingIfBacklogged();

    ReceiveBuffer& Receiving() { return m_receiving; }
    const ReceiveBuffer& Receiving() const { return m_receiving; }

    // The protocol server's session; the type is the one that server attached.
    template <typename Session>
    Session* SessionAs() const { return static_cast<Session*>(m_session.get()); }
    void SetSession(std::unique_ptr<CConnectionSession> session) { m_session = std::move(session); }

private:
    friend class CSocketServer;

    CStream* m_stream;
    uint64_t m_id;
    uint32_t m_peerAddress;
    uint16_t m_peerPort;
    int64_t m_connectTime;
    int64_t m_lastActivity;
    int64_t m_loginTime = 0;
    bool m_closing = false;
    bool m_tls = false;
    bool m_readingHeld = false;
    char m_name[kNameSize] = {};
    ReceiveBuffer m_receiving;
    std::unique_ptr<CConnectionSession> m_session;
};
