// CSmppServer: the dispatch table, binds and the six message operations.
#include "smpp/SmppServer.h"

#include "capture/PacketLog.h"

#include <cstdio>
#include <cstring>
#include <iterator>

using namespace smpp;

namespace {

constexpr uint16_t kProtocolSmpp = 2;

} // namespace

int smpp::FormatMessageId(int16_t id, char* out) {
    // "%06d" by hand: this runs for every submit on the hot path.
    int value = id;
    char* p = out;
    int width = 6;
    if (value < 0) {
        *p++ = '-';
        value = -value;
        --width;
    }
    char digits[6];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = width - count; pad > 0; --pad)
        *p++ = '0';
    while (count > 0)
        *p++ = digits[--count];
    *p = '\0';
    return static_cast<int>(p - out);
}

int smpp::LeadingFieldLength(const uint8_t* body, int32_t bodyLength, int maxChars) {
    const int limit = bodyLength < maxChars ? (bodyLength < 0 ? 0 : bodyLength) : maxChars;
    const void* nul = limit > 0 ? std::memchr(body, 0, static_cast<size_t>(limit)) : nullptr;
    return nul ? static_cast<int>(static_cast<const uint8_t*>(nul) - body) : limit;
}

// One row per command the server knows; everything else takes kUnknownRow.
const CSmppServer::DispatchRow CSmppServer::kDispatch[] = {
    // command_id          filter  handler                         response               filter
    {kBindReceiver,         3, &CSmppServer::Bind,           kBindReceiverResp,     4},
    {kBindTransmitter,      5, &CSmppServer::Bind,           kBindTransmitterResp,  6},
    {kBindTransceiver,     19, &CSmppServer::Bind,           kBindTransceiverResp, 20},
    {kUnbind,              13, &CSmppServer::Unbind,         kUnbindResp,          14},
    {kEnquireLink,         22, &CSmppServer::HeaderOnly,     kEnquireLinkResp,     23},
    {kQuerySm,              7, &CSmppServer::QuerySm,        kQuerySmResp,          8},
    {kSubmitSm,             9, &CSmppServer::IssueMessageId, kSubmitSmResp,        10},
    {kReplaceSm,           15, &CSmppServer::HeaderOnly,     kReplaceSmResp,       16},
    {kCancelSm,            17, &CSmppServer::HeaderOnly,     kCancelSmResp,        18},
    {kSubmitMulti,         24, &CSmppServer::SubmitMulti,    kSubmitMultiResp,     25},
    {kDataSm,              27, &CSmppServer::IssueMessageId, kDataSmResp,          28},
    {kDeliverSmResp,       12, &CSmppServer::TakeResponse,   0,                    -1}, // the ESME's answer to our deliver_sm
};
const CSmppServer::DispatchRow CSmppServer::kUnknownRow =
    {0, kFilterUnknown, &CSmppServer::Unknown, kGenericNack, kFilterGenericNack};

const CSmppServer::DispatchRow& CSmppServer::Lookup(uint32_t commandId) {
    static_assert(std::size(kDispatch) == 12, "eleven requests and deliver_sm_resp");
    for (const DispatchRow& row : kDispatch) {
        if (row.commandId == commandId)
            return row;
    }
    return kUnknownRow;
}

CSmppServer::CSmppServer(QObject* parent) : CFramedServer(kHeaderSize, kMaxPduSize, parent) {}

bool CSmppServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CSocketServer::Start(port, maxConnections, idleTimeoutSeconds);
    m_ownPort = ok ? ListeningPort() : port;
    char line[64];
    std::snprintf(line, sizeof line, "SMPP server start %s! (port = %d)\r\n", ok ? "ok" : "fail",
                  port == 0 && ok ? int(m_ownPort) : int(port));
    NotifyPrint(line);
    return ok;
}

void CSmppServer::HandlePdu(int index, const uint8_t* pdu, uint32_t length) {
    const DispatchRow& row = Lookup(ReadBe32(pdu + kIdOffset));
    if (m_log)
        m_log->AddPacket(kProtocolSmpp, GetPeerAddress(index), GetPeerPort(index), pdu, length, row.filterIndex);
    const uint32_t sequence = ReadBe32(pdu + kSequenceOffset);
    const int32_t bodyLength = static_cast<int32_t>(length) - kHeaderSize;
    if (m_faults.IsEmpty() || !ApplyFaults(index, row, sequence, pdu + kHeaderSize, bodyLength))
        (this->*row.handler)(index, row, sequence, pdu + kHeaderSize, bodyLength);
    if (m_log)
        m_log->WipeIfFull();
}

void CSmppServer::HandleBadLength(int index, const uint8_t* header) {
    // A length the buffer cannot frame: keep what arrived, say why, and drop the stream,
    // which can no longer be cut into PDUs.
    if (m_log)
        m_log->AddPacket(kProtocolSmpp, GetPeerAddress(index), GetPeerPort(index), header, kHeaderSize,
                         kFilterUnknown);
    BeginResponse();
    SendResponse(index, kGenericNack, kStatusInvalidCommandLength, ReadBe32(header + kSequenceOffset),
                 kHeaderSize, kFilterGenericNack);
    if (m_log)
        m_log->WipeIfFull();
    CloseConnection(index);
}

bool CSmppServer::CheckBound(int index) {
    if (NameOf(index)[0] != '\0')
        return true;
    CloseConnection(index);
    return false;
}

uint8_t* CSmppServer::BeginResponse() {
    std::memset(m_response, 0, sizeof m_response);
    return m_response + kHeaderSize;
}

void CSmppServer::SendResponse(int index, uint32_t commandId, uint32_t status, uint32_t sequence,
                               uint32_t length, int32_t filterIndex) {
    WriteBe32(m_response + kLengthOffset, length);
    WriteBe32(m_response + kIdOffset, commandId);
    WriteBe32(m_response + kStatusOffset, status);
    WriteBe32(m_response + kSequenceOffset, sequence);
    if (m_hold.active)
        return HoldResponse(index, length, filterIndex);
    Send(index, m_response, length);
    Capture(m_response, length, filterIndex);
}

void CSmppServer::Capture(const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
    if (m_log)
        m_log->AddPacket(kProtocolSmpp, kResponseAddress, m_ownPort, pdu, length, filterIndex);
}

bool CSmppServer::SendAndCapture(int index, const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
    if (IsClosing(index) || Send(index, pdu, length) != int64_t(length))
        return false;
    Capture(pdu, length, filterIndex);
    if (m_log)
        m_log->WipeIfFull();
    return true;
}

int CSmppServer::TakeMessageId(uint8_t* out) {
    // The counter is 16-bit signed by design: 32767 is followed by -32768.
    const int16_t id = m_nextMessageId;
    m_nextMessageId = static_cast<int16_t>(static_cast<uint16_t>(id) + 1u);
    return FormatMessageId(id, reinterpret_cast<char*>(out)) + 1;
}

void CSmppServer::Bind(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                       int32_t bodyLength) {
    // No password or version is checked and a bound connection may bind again: the name is
    // simply replaced.
    char name[kMaxSystemIdChars + 1] = {};
    const int nameLength = LeadingFieldLength(body, bodyLength, kMaxSystemIdChars);
    std::memcpy(name, body, static_cast<size_t>(nameLength));
    SetName(index, name);

    uint8_t* out = BeginResponse();
    std::memcpy(out, name, static_cast<size_t>(nameLength));
    out += nameLength + 1;
    WriteBe16(out, kTagScInterfaceVersion);
    WriteBe16(out + 2, 1);
    out[4] = kInterfaceVersion34;
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + nameLength + 1 + 5),
                 row.responseFilterIndex);
    NotifyLoggedIn(index);
}

void CSmppServer::Unbind(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*, int32_t) {
    if (!CheckBound(index))
        return;
    BeginResponse();
    SendResponse(index, row.responseId, kStatusOk, sequence, kHeaderSize, row.responseFilterIndex);
    CloseConnection(index);
}

void CSmppServer::HeaderOnly(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*, int32_t) {
    if (!CheckBound(index))
        return;
    BeginResponse();
    SendResponse(index, row.responseId, kStatusOk, sequence, kHeaderSize, row.responseFilterIndex);
}

void CSmppServer::IssueMessageId(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*,
                                 int32_t) {
    if (!CheckBound(index))
        return;
    uint8_t* out = BeginResponse();
    const int idLength = TakeMessageId(out);
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + idLength),
                 row.responseFilterIndex);
}

void CSmppServer::SubmitMulti(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*, int32_t) {
    if (!CheckBound(index))
        return;
    uint8_t* out = BeginResponse();
    const int idLength = TakeMessageId(out);
    // no_unsuccess stays 0 from the zero fill, and no unsuccess_sme entry follows it.
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + idLength + 1),
                 row.responseFilterIndex);
}

void CSmppServer::QuerySm(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                          int32_t bodyLength) {
    if (!CheckBound(index))
        return;
    // Any message_id is echoed, issued or not; final_date, message_state and error_code stay
    // empty or 0 from the zero fill.
    uint8_t* out = BeginResponse();
    const int idLength = LeadingFieldLength(body, bodyLength, kMaxMessageIdChars);
    std::memcpy(out, body, static_cast<size_t>(idLength));
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + idLength + 1 + 3),
                 row.responseFilterIndex);
}

void CSmppServer::TakeResponse(int, const DispatchRow&, uint32_t, const uint8_t*, int32_t) {
    // An ESME's response is captured and needs no answer, bound or not.
}

void CSmppServer::Unknown(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*, int32_t) {
    BeginResponse();
    SendResponse(index, row.responseId, kStatusInvalidCommandId, sequence, kHeaderSize, row.responseFilterIndex);
}
