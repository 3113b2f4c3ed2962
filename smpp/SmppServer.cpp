// CSmppServer: the dispatch table, binds and the six message operations.
#include "smpp/SmppServer.h"

#include "capture/PacketLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

using namespace smpp;

namespace {

// The PDUs the server starts, the filter index each is captured under, and whether an answer
// is awaited for it.
struct ServerPduRow {
    uint32_t commandId;
    int32_t filterIndex;
    bool answered;
};
constexpr ServerPduRow kServerPdus[] = {
    {kDeliverSm,         FilterIndexOf(kDeliverSm),         true},
    {kAlertNotification, FilterIndexOf(kAlertNotification), false},
    {kDataSm,            FilterIndexOf(kDataSm),            true},
};
constexpr ServerPduRow kOtherServerPdu = {0, kFilterUnknown, false};

const ServerPduRow& ServerPduOf(uint32_t commandId) {
    for (const ServerPduRow& row : kServerPdus) {
        if (row.commandId == commandId)
            return row;
    }
    return kOtherServerPdu;
}

// The bind kinds by bind command.
BindKind KindOfBind(uint32_t commandId) {
    switch (commandId) {
    case kBindReceiver: return BindKind::Receiver;
    case kBindTransmitter: return BindKind::Transmitter;
    case kBindTransceiver: return BindKind::Transceiver;
    default: return BindKind::None;
    }
}

// address_range, the last field of a bind body, behind system_id, password, system_type and
// three octets; empty when the body ends before it.
std::string AddressRangeOf(const uint8_t* body, int32_t bodyLength) {
    constexpr int kLeadingFieldMax[] = {16, 9, 13}; // system_id, password, system_type with their NULs
    constexpr int kOctetsBefore = 3;                // interface_version, addr_ton, addr_npi
    constexpr int kAddressRangeChars = 40;
    int32_t at = 0;
    for (const int max : kLeadingFieldMax) {
        const int length = LeadingFieldLength(body + at, bodyLength - at, max);
        if (length >= max || at + length >= bodyLength)
            return {};
        at += length + 1;
    }
    at += kOctetsBefore;
    if (at >= bodyLength)
        return {};
    const int length = LeadingFieldLength(body + at, bodyLength - at, kAddressRangeChars);
    return std::string(reinterpret_cast<const char*>(body + at), static_cast<size_t>(length));
}

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

// One row per command the server knows; everything else takes kUnknownRow. Filter indices, the
// response and the bound rule come with the command id.
const CSmppServer::DispatchRow CSmppServer::kDispatch[] = {
    {kBindReceiver,    &CSmppServer::Bind},
    {kBindTransmitter, &CSmppServer::Bind},
    {kBindTransceiver, &CSmppServer::Bind},
    {kUnbind,          &CSmppServer::Unbind},
    {kEnquireLink,     &CSmppServer::HeaderOnly},
    {kQuerySm,         &CSmppServer::QuerySm},
    {kSubmitSm,        &CSmppServer::IssueMessageId},
    {kReplaceSm,       &CSmppServer::HeaderOnly},
    {kCancelSm,        &CSmppServer::HeaderOnly},
    {kSubmitMulti,     &CSmppServer::SubmitMulti},
    {kDataSm,          &CSmppServer::IssueMessageId},
    {kDeliverSmResp,   &CSmppServer::TakeResponse}, // the ESME's answer to our deliver_sm
    {kDataSmResp,      &CSmppServer::TakeResponse}, // the ESME's answer to our data_sm
};
const CSmppServer::DispatchRow CSmppServer::kUnknownRow =
    {0, kFilterUnknown, &CSmppServer::Unknown, kGenericNack, kFilterGenericNack};

const CSmppServer::DispatchRow& CSmppServer::Lookup(uint32_t commandId) {
    static_assert(std::size(kDispatch) == 13, "eleven requests, deliver_sm_resp and data_sm_resp");
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
        m_log->AddPacket(kProtocolCode, GetPeerAddress(index), GetPeerPort(index), pdu, length, row.filterIndex,
                         {kResponseAddress, m_ownPort});
    const uint32_t sequence = ReadBe32(pdu + kSequenceOffset);
    const int32_t bodyLength = static_cast<int32_t>(length) - kHeaderSize;
    if (m_faults.IsEmpty() || !ApplyFaults(index, row, sequence, pdu + kHeaderSize, bodyLength))
        Serve(index, row, sequence, pdu + kHeaderSize, bodyLength);
    if (m_log)
        m_log->WipeIfFull();
}

void CSmppServer::HandleBadLength(int index, const uint8_t* header) {
    // A length the buffer cannot frame: keep what arrived, say why, and drop the stream,
    // which can no longer be cut into PDUs.
    if (m_log)
        m_log->AddPacket(kProtocolCode, GetPeerAddress(index), GetPeerPort(index), header, kHeaderSize,
                         kFilterUnknown, {kResponseAddress, m_ownPort});
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

void CSmppServer::Serve(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                        int32_t bodyLength) {
    if (row.needsBind && !CheckBound(index))
        return;
    (this->*row.handler)(index, row, sequence, body, bodyLength);
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
    Capture(index, m_response, length, filterIndex);
}

void CSmppServer::Capture(int index, const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
    if (m_log)
        m_log->AddPacket(kProtocolCode, kResponseAddress, m_ownPort, pdu, length, filterIndex,
                         {GetPeerAddress(index), GetPeerPort(index)});
}

bool CSmppServer::SendAndCapture(int index, const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
    if (IsClosing(index) || Send(index, pdu, length) != int64_t(length))
        return false;
    Capture(index, pdu, length, filterIndex);
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
    Session& session = m_sessions[GetConnectionId(index)];
    session.kind = KindOfBind(row.commandId);
    session.addressRange = AddressRangeOf(body, bodyLength);

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
    BeginResponse();
    SendResponse(index, row.responseId, kStatusOk, sequence, kHeaderSize, row.responseFilterIndex);
    CloseConnection(index);
}

void CSmppServer::HeaderOnly(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*, int32_t) {
    BeginResponse();
    SendResponse(index, row.responseId, kStatusOk, sequence, kHeaderSize, row.responseFilterIndex);
}

void CSmppServer::IssueMessageId(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                                 int32_t bodyLength) {
    uint8_t* out = BeginResponse();
    const int idLength = TakeMessageId(out);
    const std::string messageId(reinterpret_cast<const char*>(out));
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + idLength),
                 row.responseFilterIndex);
    if (m_listener)
        m_listener->OnSubmitted(index, row.commandId, messageId, body, bodyLength);
}

void CSmppServer::SubmitMulti(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                              int32_t bodyLength) {
    uint8_t* out = BeginResponse();
    const int idLength = TakeMessageId(out);
    const std::string messageId(reinterpret_cast<const char*>(out));
    // no_unsuccess stays 0 from the zero fill, and no unsuccess_sme entry follows it.
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + idLength + 1),
                 row.responseFilterIndex);
    if (m_listener)
        m_listener->OnSubmitted(index, row.commandId, messageId, body, bodyLength);
}

void CSmppServer::QuerySm(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                          int32_t bodyLength) {
    // Any message_id is echoed, issued or not. Unless a message store knows it, final_date,
    // message_state and error_code stay empty or 0 from the zero fill.
    const int idLength = LeadingFieldLength(body, bodyLength, kMaxMessageIdChars);
    CSmppMessageListener::QueryAnswer known;
    const bool isKnown = m_listener &&
        m_listener->AnswerQuery(std::string_view(reinterpret_cast<const char*>(body), size_t(idLength)), known);
    uint8_t* out = BeginResponse();
    std::memcpy(out, body, static_cast<size_t>(idLength));
    int dateLength = 0;
    if (isKnown) {
        dateLength = static_cast<int>(std::min<size_t>(known.finalDate.size(), kMaxFinalDateChars));
        uint8_t* date = out + idLength + 1;
        std::memcpy(date, known.finalDate.data(), static_cast<size_t>(dateLength));
        date[dateLength + 1] = known.messageState;
        date[dateLength + 2] = known.errorCode;
    }
    SendResponse(index, row.responseId, kStatusOk, sequence, uint32_t(kHeaderSize + idLength + 1 + dateLength + 3),
                 row.responseFilterIndex);
}

void CSmppServer::TakeResponse(int index, const DispatchRow&, uint32_t sequence, const uint8_t* body, int32_t) {
    // An ESME's response is captured and needs no answer, bound or not. One that answers a PDU
    // we started settles it; any other is only captured.
    auto found = m_sessions.find(GetConnectionId(index));
    if (found == m_sessions.end())
        return;
    const std::optional<Pending> settled = found->second.pending.Settle(sequence);
    if (!settled)
        return;
    // The body follows the header inside the received PDU, so the status is right before it.
    const uint32_t status = ReadBe32(body - kHeaderSize + kStatusOffset);
    if (m_listener)
        m_listener->OnAnswered(index, settled->commandId, status, settled->tag);
}

void CSmppServer::Unknown(int index, const DispatchRow& row, uint32_t sequence, const uint8_t*, int32_t) {
    BeginResponse();
    SendResponse(index, row.responseId, kStatusInvalidCommandId, sequence, kHeaderSize, row.responseFilterIndex);
}

void CSmppServer::OnClose(int index) {
    // Unanswered PDUs of a closing connection are dropped, never sent again; so are its fault
    // rule counters.
    m_sessions.erase(GetConnectionId(index));
    m_faults.Forget(GetConnectionId(index));
    CFramedServer::OnClose(index);
}

const CSmppServer::Session* CSmppServer::FindSession(int index) const {
    const auto found = m_sessions.find(GetConnectionId(index));
    return found == m_sessions.end() ? nullptr : &found->second;
}

BindKind CSmppServer::GetBindKind(int index) const {
    const Session* session = FindSession(index);
    return session && NameOf(index)[0] != '\0' ? session->kind : BindKind::None;
}

std::string CSmppServer::GetAddressRange(int index) const {
    const Session* session = FindSession(index);
    return session ? session->addressRange : std::string();
}

void CSmppServer::SetNextSequence(int index, uint32_t sequence) {
    if (GetConnectionId(index) != 0 && sequence >= 1 && sequence <= kMaxSequence)
        m_sessions[GetConnectionId(index)].nextSequence = sequence;
}

std::size_t CSmppServer::PendingCount(int index) const {
    const Session* session = FindSession(index);
    return session ? session->pending.Size() : 0;
}

uint32_t CSmppServer::SendServerPdu(int index, uint32_t commandId, const std::vector<uint8_t>& body, uint64_t tag) {
    if (!MayReceive(GetBindKind(index)) || IsClosing(index))
        return 0;
    Session& session = m_sessions[GetConnectionId(index)];
    const uint32_t sequence = session.nextSequence;
    std::vector<uint8_t> pdu(kHeaderSize + body.size());
    WriteBe32(pdu.data() + kLengthOffset, static_cast<uint32_t>(pdu.size()));
    WriteBe32(pdu.data() + kIdOffset, commandId);
    WriteBe32(pdu.data() + kStatusOffset, kStatusOk);
    WriteBe32(pdu.data() + kSequenceOffset, sequence);
    std::copy(body.begin(), body.end(), pdu.begin() + kHeaderSize);
    const ServerPduRow& row = ServerPduOf(commandId);
    if (!SendAndCapture(index, pdu.data(), static_cast<uint32_t>(pdu.size()), row.filterIndex))
        return 0;
    session.nextSequence = sequence == kMaxSequence ? 1 : sequence + 1;
    if (row.answered)
        session.pending.Add(sequence, {commandId, tag});
    return sequence;
}

int CSmppServer::SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body,
                                int copies) {
    int sent = 0;
    for (int index = 0; index < GetConnectionCount(); ++index) {
        if (systemId != NameOf(index))
            continue;
        for (int copy = 0; copy < copies; ++copy) {
            if (SendServerPdu(index, commandId, body) != 0)
                ++sent;
        }
    }
    return sent;
}

std::vector<std::string> CSmppServer::BoundSystemIds() const {
    return DistinctNames();
}
