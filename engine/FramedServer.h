// A server engine for protocols whose PDUs a framer cuts out of the stream: by length, or between delimiters.
#pragma once

#include "engine/SocketServer.h"
#include "wire/Framer.h"

#include <cstdint>
#include <memory>

class CPacketLog;

// Reads each connection's byte stream into the connection's receive buffer, of the longest frame the
// protocol's framer takes and kReadAhead octets more, and hands each complete PDU to the derived server. Captures
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
    uint16_t ProtocolCode() const { return m_protocolCode; }
    // The port a connection's PDUs are captured at: the TLS port for a connection that came in there.
    uint16_t OwnPortOf(const CConnection& connection) const;

protected:
    // The framer cuts every connection's stream; it sets the receive buffer's size.
    CFramedServer(uint16_t protocolCode, std::unique_ptr<wire::Framer> framer, QObject* parent);

    // A complete PDU of length octets, as the framer cut it (header, or STX and ETX, included).
    virtual void HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) = 0;
    // A framer that cannot get back in step met a length below the header or above the buffer: the
    // stream can no longer be cut into PDUs. header holds the whole header.
    virtual void HandleBadLength(CConnection& connection, const uint8_t* header) = 0;
    // A framer that gets back in step met length octets that are no frame (fault says why); they are
    // dropped and cutting goes on after them.
    virtual void HandleNotFrame(CConnection& /*connection*/, const uint8_t* /*octets*/, uint32_t /*length*/,
                                wire::FrameFault /*fault*/) {}

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
    const std::unique_ptr<wire::Framer> m_framer;
    uint16_t m_ownPort = 0;
};
