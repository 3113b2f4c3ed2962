// CMobileServer: TEST framing, LOGIN with its duplicate-number rule, SUBMIT, capture.
#include "mobile/MobileServer.h"

#include "capture/PacketLog.h"
#include "protocol/DataCoding.h"
#include "wire/Cursor.h"
#include "wire/Writer.h"

#include <algorithm>
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
        m_log->AddPacket(kProtocolCode, GetPeerAddress(index), GetPeerPort(index), packet, length, kFilterIndex,
                         {kResponseAddress, m_ownPort});
    const uint32_t command = wire::ReadBe32(packet + 4);
    const uint32_t sequence = wire::ReadBe32(packet + 8);
    // Responses from the simulator (DELIVER_RESP) and unknown commands are only captured.
    if (command == kLogin)
        Login(index, sequence, packet + kHeaderSize, static_cast<int32_t>(length) - kHeaderSize);
    else if (command == kSubmit)
        Submit(index, sequence, packet, length);
    else if (command == kDeliverResp)
        TakeDeliverResp(index, sequence, packet, length);
    if (m_log)
        m_log->WipeIfFull();
}

void CMobileServer::HandleBadLength(int index, const uint8_t* header) {
    // The stream can no longer be cut into packets: keep what arrived and drop the connection.
    if (m_log)
        m_log->AddPacket(kProtocolCode, GetPeerAddress(index), GetPeerPort(index), header, kHeaderSize,
                         kFilterIndex, {kResponseAddress, m_ownPort});
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

namespace {

// A fixed-width text field up to its first NUL, or what the packet holds of it.
std::string TextField(const uint8_t* packet, uint32_t length, int offset, int width) {
    if (length <= uint32_t(offset))
        return {};
    const size_t available = std::min<size_t>(size_t(width), length - uint32_t(offset));
    const uint8_t* field = packet + offset;
    const void* nul = std::memchr(field, 0, available);
    const size_t size = nul ? size_t(static_cast<const uint8_t*>(nul) - field) : available;
    return std::string(reinterpret_cast<const char*>(field), size);
}

TerminalMessage ReadSubmit(const uint8_t* packet, uint32_t length) {
    TerminalMessage message;
    message.destTerminal = TextField(packet, length, kDestTerminalOffset, kTerminalNumberWidth);
    message.srcTerminal = TextField(packet, length, kSrcTerminalOffset, kTerminalNumberWidth);
    message.msgId = TextField(packet, length, kMsgIdOffset, kMsgIdWidth);
    if (length > uint32_t(kMsgLengthOffset)) {
        // A msg_length beyond the packet gives what the packet holds.
        const uint32_t wanted = packet[kMsgLengthOffset];
        const uint32_t held = length > uint32_t(kSubmitContentOffset) ? length - kSubmitContentOffset : 0;
        const uint32_t size = std::min(wanted, held);
        message.content.assign(packet + kSubmitContentOffset, packet + kSubmitContentOffset + size);
    }
    return message;
}

} // namespace

void CMobileServer::Submit(int index, uint32_t sequence, const uint8_t* packet, uint32_t length) {
    // result 0 and msg_id all NULs, whether or not the simulator has logged in.
    uint8_t response[kHeaderSize + 4 + kMsgIdWidth] = {};
    wire::WriteBe32(response, sizeof response);
    wire::WriteBe32(response + 4, kSubmitResp);
    wire::WriteBe32(response + 8, sequence);
    Reply(index, response, sizeof response);
    if (m_listener)
        m_listener->OnTerminalSubmitted(index, ReadSubmit(packet, length));
}

void CMobileServer::TakeDeliverResp(int index, uint32_t sequence, const uint8_t* packet, uint32_t length) {
    // An answer too short to carry its result settles nothing.
    if (length < uint32_t(kDeliverRespResultOffset + 4))
        return;
    auto found = m_pending.find(GetConnectionId(index));
    if (found == m_pending.end())
        return;
    const std::optional<uint64_t> tag = found->second.Settle(sequence);
    if (tag && m_listener)
        m_listener->OnDeliverAnswered(static_cast<int32_t>(wire::ReadBe32(packet + kDeliverRespResultOffset)), *tag);
}

void CMobileServer::Reply(int index, const uint8_t* packet, uint32_t length) {
    Send(index, packet, length);
    if (m_log)
        m_log->AddPacket(kProtocolCode, kResponseAddress, m_ownPort, packet, length, kFilterIndex,
                         {GetPeerAddress(index), GetPeerPort(index)});
}

bool CMobileServer::SendAndCapture(int index, const uint8_t* packet, uint32_t length) {
    if (IsClosing(index) || Send(index, packet, length) != int64_t(length))
        return false;
    if (m_log) {
        m_log->AddPacket(kProtocolCode, kResponseAddress, m_ownPort, packet, length, kFilterIndex,
                         {GetPeerAddress(index), GetPeerPort(index)});
        m_log->WipeIfFull();
    }
    return true;
}

void CMobileServer::OnClose(int index) {
    // A simulator that goes loses its own unanswered DELIVERs and nobody else's.
    m_pending.erase(GetConnectionId(index));
    CFramedServer::OnClose(index);
}

uint8_t CMobileServer::MsgFormatFor(uint8_t dataCoding) {
    // The codings both sides share keep their number; everything else reads as local text.
    using protocol::data_coding::kSharedWithTest;
    return std::find(std::begin(kSharedWithTest), std::end(kSharedWithTest), dataCoding) != std::end(kSharedWithTest)
               ? dataCoding
               : protocol::data_coding::kDefault;
}

int CMobileServer::DeliverToTerminal(const std::string& terminal, const std::string& sourceTerminal, uint8_t msgFormat,
                                     const std::vector<uint8_t>& content, int copies, uint64_t tag) {
    const size_t size = std::min<size_t>(content.size(), kMaxContentOctets);
    std::vector<uint8_t> packet(kDeliverContentOffset + size, 0);
    wire::WriteBe32(packet.data(), static_cast<uint32_t>(packet.size()));
    wire::WriteBe32(packet.data() + 4, kDeliver);
    std::memcpy(packet.data() + kDestTerminalOffset, terminal.data(), std::min<size_t>(terminal.size(), kTerminalNumberWidth));
    std::memcpy(packet.data() + kSrcTerminalOffset, sourceTerminal.data(),
                std::min<size_t>(sourceTerminal.size(), kTerminalNumberWidth));
    packet[kMsgLengthOffset] = static_cast<uint8_t>(size);
    packet[kMsgFormatOffset] = msgFormat;
    std::copy(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(size), packet.begin() + kDeliverContentOffset);

    int sent = 0;
    for (int index = 0; index < GetConnectionCount(); ++index) {
        if (terminal.empty() || terminal != NameOf(index) || IsClosing(index))
            continue;
        for (int copy = 0; copy < copies; ++copy) {
            const uint32_t number = m_nextDeliver;
            m_nextDeliver = number == 0xFFFFFFFF ? 1 : number + 1;
            wire::WriteBe32(packet.data() + 8, number);
            char msgId[kMsgIdWidth + 2];
            std::snprintf(msgId, sizeof msgId, "%010u", number);
            std::memcpy(packet.data() + kMsgIdOffset, msgId, kMsgIdWidth);
            if (!SendAndCapture(index, packet.data(), static_cast<uint32_t>(packet.size())))
                continue;
            ++sent;
            m_pending[GetConnectionId(index)].Add(number, tag);
        }
    }
    return sent;
}

std::size_t CMobileServer::PendingCount(int index) const {
    const auto found = m_pending.find(GetConnectionId(index));
    return found == m_pending.end() ? 0 : found->second.Size();
}

std::vector<std::string> CMobileServer::LoggedInTerminals() const {
    return DistinctNames();
}
