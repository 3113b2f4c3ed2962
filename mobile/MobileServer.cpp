// CMobileServer: TEST framing, LOGIN with its duplicate-number rule, SUBMIT, capture.
#include "mobile/MobileServer.h"

#include "protocol/DataCoding.h"
#include "wire/Cursor.h"
#include "wire/Writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace test_protocol;

CMobileServer::CMobileServer(QObject* parent)
    : CFramedServer(kProtocolCode, wire::FramerFor(*protocol::Find(kProtocolCode)), parent) {}

bool CMobileServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CFramedServer::Start(port, maxConnections, idleTimeoutSeconds);
    char line[64];
    std::snprintf(line, sizeof line, "Mobile server start %s! (port = %d)\r\n", ok ? "OK" : "fail",
                  int(OwnPort()));
    NotifyPrint(line);
    return ok;
}

void CMobileServer::OnAccept(CConnection& connection) {
    CFramedServer::OnAccept(connection);
    connection.SetSession(std::make_unique<Session>());
}

void CMobileServer::HandlePdu(CConnection& connection, const uint8_t* packet, uint32_t length) {
    CaptureReceived(connection, packet, length, kFilterIndex);
    const uint32_t command = wire::ReadBe32(packet + 4);
    const uint32_t sequence = wire::ReadBe32(packet + 8);
    // Responses from the simulator (DELIVER_RESP) and unknown commands are only captured.
    if (command == kLogin)
        Login(connection, sequence, packet + kHeaderSize, static_cast<int32_t>(length) - kHeaderSize);
    else if (command == kSubmit)
        Submit(connection, sequence, packet, length);
    else if (command == kDeliverResp)
        TakeDeliverResp(connection, sequence, packet, length);
}

void CMobileServer::HandleBadLength(CConnection& connection, const uint8_t* header) {
    // The stream can no longer be cut into packets: keep what arrived and drop the connection.
    CaptureReceived(connection, header, kHeaderSize, kFilterIndex);
    CloseConnection(connection);
}

bool CMobileServer::NameInUseByAnother(const CConnection& connection, const char* name) const {
    bool inUse = false;
    ForEachConnection([&](const CConnection& other) {
        inUse = inUse || (&other != &connection && std::strcmp(other.Name(), name) == 0);
    });
    return inUse;
}

void CMobileServer::Login(CConnection& connection, uint32_t sequence, const uint8_t* body, int32_t bodyLength) {
    // terminal_number sits after terminal_type; a short LOGIN gives what it has and no more.
    char number[kMaxTerminalNumberChars + 1] = {};
    const int32_t available = bodyLength - (kTerminalNumberOffset - kHeaderSize);
    const int32_t limit = available < kMaxTerminalNumberChars ? (available < 0 ? 0 : available)
                                                              : kMaxTerminalNumberChars;
    if (limit > 0)
        std::memcpy(number, body + (kTerminalNumberOffset - kHeaderSize), static_cast<size_t>(limit));

    // A duplicate is refused in the result only: the number is kept as the name all the same.
    const int32_t result = NameInUseByAnother(connection, number) ? kResultNumberInUse : kResultOk;
    connection.SetName(number);
    NotifyLoggedIn(connection);

    uint8_t response[16];
    wire::WriteBe32(response, sizeof response);
    wire::WriteBe32(response + 4, kLoginResp);
    wire::WriteBe32(response + 8, sequence);
    wire::WriteBe32(response + 12, static_cast<uint32_t>(result));
    Reply(connection, response, sizeof response);
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

void CMobileServer::Submit(CConnection& connection, uint32_t sequence, const uint8_t* packet, uint32_t length) {
    // result 0 and msg_id all NULs, whether or not the simulator has logged in.
    uint8_t response[kHeaderSize + 4 + kMsgIdWidth] = {};
    wire::WriteBe32(response, sizeof response);
    wire::WriteBe32(response + 4, kSubmitResp);
    wire::WriteBe32(response + 8, sequence);
    Reply(connection, response, sizeof response);
    if (m_listener)
        m_listener->OnTerminalSubmitted(connection, ReadSubmit(packet, length));
}

void CMobileServer::TakeDeliverResp(CConnection& connection, uint32_t sequence, const uint8_t* packet,
                                    uint32_t length) {
    // An answer too short to carry its result settles nothing.
    if (length < uint32_t(kDeliverRespResultOffset + 4))
        return;
    const std::optional<uint64_t> tag = connection.SessionAs<Session>()->pending.Settle(sequence);
    if (tag && m_listener)
        m_listener->OnDeliverAnswered(static_cast<int32_t>(wire::ReadBe32(packet + kDeliverRespResultOffset)), *tag);
}

void CMobileServer::Reply(CConnection& connection, const uint8_t* packet, uint32_t length) {
    SendAndCapture(connection, packet, length, kFilterIndex);
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
    ForEachConnection([&](CConnection& connection) {
        if (terminal.empty() || terminal != connection.Name() || connection.IsClosing())
            return;
        for (int copy = 0; copy < copies; ++copy) {
            const uint32_t number = m_nextDeliver;
            m_nextDeliver = number == 0xFFFFFFFF ? 1 : number + 1;
            wire::WriteBe32(packet.data() + 8, number);
            char msgId[kMsgIdWidth + 2];
            std::snprintf(msgId, sizeof msgId, "%010u", number);
            std::memcpy(packet.data() + kMsgIdOffset, msgId, kMsgIdWidth);
            if (!SendAndCapture(connection, packet.data(), static_cast<uint32_t>(packet.size()), kFilterIndex))
                continue;
            ++sent;
            connection.SessionAs<Session>()->pending.Add(number, tag);
        }
    });
    return sent;
}

std::size_t CMobileServer::PendingCount(const CConnection& connection) const {
    return connection.SessionAs<Session>()->pending.Size();
}

std::vector<std::string> CMobileServer::LoggedInTerminals() const {
    return DistinctNames();
}
