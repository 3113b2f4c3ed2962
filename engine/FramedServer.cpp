// CFramedServer: framing by the protocol's framer, and capture, shared by the protocol servers.
#include "engine/FramedServer.h"

#include "capture/PacketLog.h"

#include <algorithm>
#include <cstring>
#include <new>

CFramedServer::CFramedServer(uint16_t protocolCode, std::unique_ptr<wire::Framer> framer, QObject* parent)
    : CSocketServer(parent), m_protocolCode(protocolCode), m_framer(std::move(framer)) {}

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
    in.capacity = int32_t(m_framer->MaxFrame()) + kReadAhead;
    in.bytes.reset(new (std::nothrow) uint8_t[std::size_t(in.capacity)]);
    in.start = in.end = 0;
    in.state = FrameState::Reading;
}

void CFramedServer::OnReceive(CConnection& connection) {
    ReceiveBuffer& in = connection.Receiving();
    uint8_t* buffer = in.bytes.get();
    if (!buffer || in.state != FrameState::Reading)
        return;
    // Told once for everything waiting: cut every whole PDU the buffer holds, then take as much more as
    // it has room for in one read, until a read finds less than room: that one took all there was, and
    // asking again would only cost a call that finds nothing (more is told on the next turn). What is
    // left of a PDU moves to the front, so the buffer never holds more than its capacity. The PDUs of
    // one read arrived together: the capture reads the clock once for them.
    if (m_log)
        m_log->BeginArrivals();
    bool mayHoldMore = true;
    while (CutWholePdus(connection, in)) {
        in.end -= in.start;
        if (in.start > 0 && in.end > 0)
            std::memmove(buffer, buffer + in.start, static_cast<size_t>(in.end));
        in.start = 0;
        if (!mayHoldMore)
            break;
        const int64_t room = in.capacity - in.end;
        const int64_t got = connection.Receive(buffer + in.end, room);
        if (got <= 0)
            break;
        in.end += static_cast<int32_t>(got);
        mayHoldMore = got == room;
        if (m_log)
            m_log->BeginArrivals();
    }
    if (m_log)
        m_log->EndArrivals();
}

bool CFramedServer::CutWholePdus(CConnection& connection, ReceiveBuffer& in) {
    uint8_t* buffer = in.bytes.get();
    for (;;) {
        // Answers backed up: the PDUs already read wait in the buffer with the rest, and are cut
        // once the connection is read again, so the answers never pass the bound by more than one.
        if (connection.IsClosing() || connection.HoldReadingIfBacklogged())
            return false;
        const wire::FrameCut frame = m_framer->Cut({buffer + in.start, static_cast<size_t>(in.end - in.start)});
        if (frame.status == wire::FrameStatus::NeedMore)
            return true;
        if (frame.status == wire::FrameStatus::Invalid && !m_framer->Resyncs()) {
            in.state = FrameState::Stopped;
            HandleBadLength(connection, buffer + in.start);
            return false;
        }
        if (frame.status == wire::FrameStatus::Invalid) {
            // At least one octet and no more than the buffer holds, so that cutting always moves on.
            const auto skip = static_cast<int32_t>(std::clamp<int64_t>(frame.length, 1, in.end - in.start));
            HandleNotFrame(connection, buffer + in.start, uint32_t(skip), frame.fault);
            in.start += skip;
            continue;
        }
        in.state = FrameState::Handling;
        HandlePdu(connection, buffer + in.start, frame.length);
        in.state = FrameState::Reading;
        in.start += static_cast<int32_t>(frame.length);
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
