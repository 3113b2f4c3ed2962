// A server engine for protocols whose PDUs open with their own 32-bit big-endian length.
#pragma once

#include "engine/SocketServer.h"

#include <cstdint>

class CPacketLog;

// Reads each connection's byte stream into the connection's receive buffer, of the longest PDU the
// protocol admits and kReadAhead octets more, and hands each complete PDU to the derived server. Captures
// what the derived server receives, and what it sends once the socket has taken it, under its
// protocol code. UI thread only; the log is optional and not owned.
class CFramedServer : public CSocketServer {
public:
    static constexpr uint32_t kOwnAddress = 0x7F000001; // what the server sends is captured as from 127.0.0.1
    // Octets read beyond the longest PDU: a window's worth of small PDUs in one read.
    static constexpr int kReadAhead = 16384;

    void SetPacketLog(CPacketLog* log) { m_log = log; }

    // CSocketServer::Start, remembering the port the server's own PDUs are captured from: the
    // one listened on, or the one asked for when that failed.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);
    uint16_t OwnPort() const { return m_ownPort; }
    // The port a connection's PDUs are captured at: the TLS port for a connection that came in there.
    uint16_t OwnPortOf(const CConnection& connection) const;

protected:
    // headerSize: octets before the length can be trusted to be there (the whole header);
    // maxPduSize: the receive buffer, and the longest length field accepted.
    CFramedServer(uint16_t protocolCode, int headerSize, int maxPduSize, QObject* parent);

    // A complete PDU of length octets (its own length field), header included.
    virtual void HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) = 0;
    // The header announced a length below the header or above the buffer: the stream can no
    // longer be cut into PDUs. header holds exactly headerSize octets.
    virtual void HandleBadLength(CConnection& connection, const uint8_t* header) = 0;

    int HeaderSize() const { return m_headerSize; }

    // A PDU the peer sent.
    void CaptureReceived(const CConnection& connection, const uint8_t* pdu, uint32_t length, int32_t filterIndex);
    // Sends a PDU (an answer or one the server starts) and captures it. False, and nothing
    // captured, when the connection is closing or the socket refuses it.
    bool SendAndCapture(CConnection& connection, const uint8_t* pdu, uint32_t length, int32_t filterIndex);

    void OnAccept(CConnection& connection) override;
    void OnReceive(CConnection& connection) override;
    // Hands on each whole PDU of [start, end); false once nothing more is to be read for now
    // (the connection closing, its stream stopped, or its reading held for unsent answers).
    bool CutWholePdus(CConnection& connection, ReceiveBuffer& in);

private:
    CPacketLog* m_log = nullptr;
    const uint16_t m_protocolCode;
    const int m_headerSize;
    const int m_maxPduSize;
    uint16_t m_ownPort = 0;
};
