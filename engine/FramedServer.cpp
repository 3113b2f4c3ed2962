// CFramedServer: length-prefixed framing shared by the SMPP and mobile servers.
#include "engine/FramedServer.h"

#include "wire/Frame.h"

#include <new>

namespace {

// Frame states of a connection.
constexpr int32_t kReadingHeader = 0;
constexpr int32_t kReadingBody = 1;
constexpr int32_t kHandling = 2;

} // namespace

CFramedServer::CFramedServer(int headerSize, int maxPduSize, QObject* parent)
    : CSocketServer(parent), m_headerSize(headerSize), m_maxPduSize(maxPduSize) {}

CFramedServer::~CFramedServer() {
    // The engine drops its sockets without calling OnClose; the buffers are ours to free.
    for (int i = 0; i < GetConnectionCount(); ++i) {
        delete[] GetReceiveBuffer(i);
        SetReceiveBuffer(i, nullptr);
    }
}

void CFramedServer::ResetFraming(int index) {
    SetWantedCount(index, m_headerSize);
    SetReceivedCount(index, 0);
    SetFrameState(index, kReadingHeader);
}

void CFramedServer::OnAccept(int index) {
    // Without a buffer the connection is never read; it leaves through the idle check.
    SetReceiveBuffer(index, new (std::nothrow) uint8_t[m_maxPduSize]);
    ResetFraming(index);
}

void CFramedServer::OnClose(int index) {
    delete[] GetReceiveBuffer(index);
    SetReceiveBuffer(index, nullptr);
}

void CFramedServer::OnReceive(int index) {
    uint8_t* buffer = GetReceiveBuffer(index);
    if (!buffer)
        return;
    int32_t received = GetReceivedCount(index);
    int32_t wanted = GetWantedCount(index);
    int32_t state = GetFrameState(index);

    // Qt signals once for everything it has buffered, so keep framing until it runs dry;
    // each read asks only for the octets still missing from the current PDU, so the buffer
    // never holds more than one.
    while (!IsClosing(index)) {
        const int64_t got = Receive(index, buffer + received, wanted);
        if (got <= 0)
            break;
        received += static_cast<int32_t>(got);
        wanted -= static_cast<int32_t>(got);
        if (state == kReadingHeader && received >= m_headerSize) {
            const wire::FrameResult frame = wire::Frame(buffer, static_cast<size_t>(received),
                                                        uint32_t(m_headerSize), uint32_t(m_maxPduSize));
            if (frame.status == wire::FrameStatus::Invalid) {
                SetReceivedCount(index, received);
                SetWantedCount(index, 0);
                SetFrameState(index, kHandling);
                HandleBadLength(index, buffer);
                return;
            }
            wanted = static_cast<int32_t>(frame.length) - received;
            state = kReadingBody;
        }
        if (wanted > 0)
            continue;

        SetFrameState(index, kHandling);
        HandlePdu(index, buffer, static_cast<uint32_t>(received));
        if (IsClosing(index)) {
            SetReceivedCount(index, received);
            SetWantedCount(index, 0);
            return;
        }
        received = 0;
        wanted = m_headerSize;
        state = kReadingHeader;
    }
    SetReceivedCount(index, received);
    SetWantedCount(index, wanted);
    SetFrameState(index, state);
}
