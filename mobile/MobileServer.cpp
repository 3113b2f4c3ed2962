// CMobileServer: TEST framing, LOGIN with its duplicate-number rule, SUBMIT, capture.
#include "mobile/MobileServer.h"

#include "capture/PacketLog.h"

#include <cstdio>
#include <cstring>

using namespace test_protocol;

CMobileServer::CMobileServer(QObject* parent) : CFramedServer(kHeaderSize, kMaxPacketSize, parent) {}

bool CMobileServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CSocketServer::Start(port, maxConnections, idleTimeoutSeconds);
    m_ownPort = ok ? ListeningPort() : port;
    char line[64];
    std::snprintf(line, sizeof line, "Mobile server start %s! (port = %d)\r\n", ok ? "OK" : "fail",
                  int(m_ownPort));
    NotifyPrint(line);
    return ok;
}

void CMobileServer::HandlePdu(int index, const uint8_t* packet, uint32_t length) {
    if (m_log)
        m_log->AddPacket(kProtocolCode, GetPeerAddress(index), GetPeerPort(index), packet, length, kFilterIndex);
    const uint32_t command = wire::ReadBe32(packet + 4);
    const uint32_t sequence = wire::ReadBe32(packet + 8);
    // Responses from the simulator (DELIVER_RESP) and unknown commands are only captured.
    if (command == kLogin)
        Login(index, sequence, packet + kHeaderSize, static_cast<int32_t>(length) - kHeaderSize);
    else if (command == kSubmit)
        Submit(index, sequence);
    if (m_log)
        m_log->WipeIfFull();
}

void CMobileServer::HandleBadLength(int index, const uint8_t* header) {
    // The stream can no longer be cut into packets: keep what arrived and drop the connection.
    if (m_log)
        m_log->AddPacket(kProtocolCode, GetPeerAddress(index), GetPeerPort(index), header, kHeaderSize,
                         kFilterIndex);
    if (m_log)
        m_log->WipeIfFull();
    CloseConnection(index);
}

bool CMobileServer::NameInUseByAnother(int index, const char* name) const {
    for (int other = 0; other < GetConnectionCount(); ++other) {
        if (other != index && std::strcmp(NameOf(other), name) == 0)
            return true;
    }
    return false;
}

void CMobileServer::Login(int index, uint32_t sequence, const uint8_t* body, int32_t bodyLength) {
    // terminal_number sits after terminal_type; a short LOGIN gives what it has and no more.
    char number[kMaxTerminalNumberChars + 1] = {};
    const int32_t available = bodyLength - (kTerminalNumberOffset - kHeaderSize);
    const int32_t limit = available < kMaxTerminalNumberChars ? (available < 0 ? 0 : available)
                                                              : kMaxTerminalNumberChars;
    if (limit > 0)
        std::memcpy(number, body + (kTerminalNumberOffset - kHeaderSize), static_cast<size_t>(limit));

    // A duplicate is refused in the result only: the number is kept as the name all the same.
    const int32_t result = NameInUseByAnother(index, number) ? kResultNumberInUse : kResultOk;
    SetName(index, number);
    NotifyLoggedIn(index);

    uint8_t response[16];
    wire::WriteBe32(response, sizeof response);
    wire::WriteBe32(response + 4, kLoginResp);
    wire::WriteBe32(response + 8, sequence);
    wire::WriteBe32(response + 12, static_cast<uint32_t>(result));
    Reply(index, response, sizeof response);
}

void CMobileServer::Submit(int index, uint32_t sequence) {
    // result 0 and msg_id all NULs, whether or not the simulator has logged in.
    uint8_t response[kHeaderSize + 4 + kMsgIdWidth] = {};
    wire::WriteBe32(response, sizeof response);
    wire::WriteBe32(response + 4, kSubmitResp);
    wire::WriteBe32(response + 8, sequence);
    Reply(index, response, sizeof response);
}

void CMobileServer::Reply(int index, const uint8_t* packet, uint32_t length) {
    Send(index, packet, length);
    if (m_log)
        m_log->AddPacket(kProtocolCode, kResponseAddress, m_ownPort, packet, length, kFilterIndex);
}

bool CMobileServer::SendAndCapture(int index, const uint8_t* packet, uint32_t length) {
    if (IsClosing(index) || Send(index, packet, length) != int64_t(length))
        return false;
    if (m_log) {
        m_log->AddPacket(kProtocolCode, kResponseAddress, m_ownPort, packet, length, kFilterIndex);
        m_log->WipeIfFull();
    }
    return true;
}

uint8_t CMobileServer::MsgFormatFor(uint8_t) { return 0; }

int CMobileServer::DeliverToTerminal(const std::string&, const std::string&, uint8_t, const std::vector<uint8_t>&,
                                     int) {
    return 0;
}

std::vector<std::string> CMobileServer::LoggedInTerminals() const { return {}; }
