// CFramedServer: length-prefixed framing and capture shared by the SMPP and mobile servers.
#include "engine/FramedServer.h"

#include "capture/PacketLog.h"
#include "wire/Frame.h"

#include <new>

CFramedServer::CFramedServer(uint16_t protocolCode, int headerSize, int maxPduSize, QObject* parent)
    : CSocketServer(parent), m_protocolCode(protocolCode), m_headerSize(headerSize), m_maxPduSize(maxPduSize) {}

bool CFramedServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CSocketServer::Start(port, maxConnections, idleTimeoutSeconds);
    m_ownPort = ok ? ListeningPort() : port;
    return ok;
}

uint16_t CFramedServer::OwnPortOf(const CConnection& connection) const {
    return connection.IsTls() ? TlsListeningPort() : m_ownPort;
}

void CFramedServer::OnAccept(CConnection& connection) {
    // Without a buffer the connection is never read; it leaves through the idle check.
    ReceiveBuffer& in = connection.Receiving();
    in.bytes.reset(new (std::nothrow) uint8_t[m_maxPduSize]);
    in.received = 0;
    in.wanted = m_headerSize;
    in.state = FrameState::ReadingHeader;
}

void CFramedServer::OnReceive(CConnection& connection) {
    ReceiveBuffer& in = connection.Receiving();
    uint8_t* buffer = in.bytes.get();
    if (!buffer)
        return;
    // Qt signals once for everything it has buffered, so keep framing until it runs dry;
    // each read asks only for the octets still missing from the current PDU, so the buffer
    // never holds more than one.
    while (!connection.IsClosing()) {
        const int64_t got = connection.Receive(buffer + in.received, in.wanted);
        if (got <= 0)
            return;
        in.received += static_cast<int32_t>(got);
        in.wanted -= static_cast<int32_t>(got);
        if (in.state == FrameState::ReadingHeader && in.received >= m_headerSize) {
            const wire::FrameResult frame = wire::Frame(buffer, static_cast<size_t>(in.received),
                                                        uint32_t(m_headerSize), uint32_t(m_maxPduSize));
            if (frame.status == wire::FrameStatus::Invalid) {
                in.wanted = 0;
                in.state = FrameState::Handling;
                HandleBadLength(connection, buffer);
                return;
            }
            in.wanted = static_cast<int32_t>(frame.length) - in.received;
            in.state = FrameState::ReadingBody;
        }
        if (in.wanted > 0)
            continue;

        in.state = FrameState::Handling;
        HandlePdu(connection, buffer, static_cast<uint32_t>(in.received));
        if (connection.IsClosing())
            return;
        in.received = 0;
        in.wanted = m_headerSize;
        in.state = FrameState::ReadingHeader;
    }
}

void CFramedServer::CaptureReceived(const CConnection& connection, const uint8_t* pdu, uint32_t length,
                                    int32_t filterIndex) {
    if (m_log)
        m_log->AddPacket(m_protocolCode, connection.PeerAddress(), connection.PeerPort(), pdu, length, filterIndex,
                         {kOwnAddress, OwnPortOf(connection)}, connection.Id());
}

bool CFramedServer::SendAndCapture(CConnection& connection, const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
    // What the socket refused never reached the peer: the capture shows only what was sent.
    if (connection.IsClosing() || connection.Send(pdu, length) != int64_t(length))
        return false;
    if (m_log)
        m_log->AddPacket(m_protocolCode, kOwnAddress, OwnPortOf(connection), pdu, length, filterIndex,
                         {connection.PeerAddress(), connection.PeerPort()}, connection.Id(), true);
    return true;
}
