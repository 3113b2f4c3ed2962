// CSmppServer: the dispatch table, binds and the six message operations.
#include "smpp/SmppServer.h"

#include "smpp/BodyReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

using namespace smpp;

BindKind smpp::KindOfBind(uint32_t commandId) {
    switch (commandId) {
    case kBindReceiver: return BindKind::Receiver;
    case kBindTransmitter: return BindKind::Transmitter;
    case kBindTransceiver: return BindKind::Transceiver;
    default: return BindKind::None;
    }
}

const char* smpp::BindKindName(BindKind kind) {
    for (const accounts::BindTypeName& type : accounts::kBindTypeNames) {
        if (type.bit == AccountBitOf(kind))
            return type.name;
    }
    return "";
}

int smpp::FormatMessageId(int16_t id, char* out) {
    // "%06d" by hand: this runs for every submit on the hot path. A 16-bit value has at most five
    // digits, so the text is always six characters: a sign and five digits, or six digits.
    unsigned value = id < 0 ? unsigned(-int(id)) : unsigned(id);
    out[0] = id < 0 ? '-' : '0';
    for (int at = 5; at >= 1; --at, value /= 10)
        out[at] = static_cast<char>('0' + value % 10);
    out[6] = '\0';
    return 6;
}

// One row per command the server knows; everything else takes kUnknownRow. Filter indices, the
// response and the bound rule come with the command id.
const CSmppServer::DispatchRow CSmppServer::kDispatch[] = {
    // command_id      handler                        follow-up
    {kBindReceiver,    &CSmppServer::Bind,            &CSmppServer::TellLoggedIn},
    {kBindTransmitter, &CSmppServer::Bind,            &CSmppServer::TellLoggedIn},
    {kBindTransceiver, &CSmppServer::Bind,            &CSmppServer::TellLoggedIn},
    {kUnbind,          &CSmppServer::Unbind},
    {kEnquireLink,     &CSmppServer::HeaderOnly},
    {kQuerySm,         &CSmppServer::QuerySm},
    {kSubmitSm,        &CSmppServer::IssueMessageId,  &CSmppServer::TellSubmitted},
    {kReplaceSm,       &CSmppServer::HeaderOnly},
    {kCancelSm,        &CSmppServer::HeaderOnly},
    {kSubmitMulti,     &CSmppServer::SubmitMulti,     &CSmppServer::TellSubmitted},
    {kDataSm,          &CSmppServer::IssueMessageId,  &CSmppServer::TellSubmitted},
    {kDeliverSmResp,   &CSmppServer::TakeResponse}, // the ESME's answer to our deliver_sm
    {kDataSmResp,      &CSmppServer::TakeResponse}, // the ESME's answer to our data_sm
    // The ESME's answers to our enquire_link and unbind; one that answers nothing of ours is nacked.
    {kEnquireLinkResp, FilterIndexOf(kEnquireLinkResp), &CSmppServer::TakeResponse, kGenericNack, kFilterGenericNack},
    {kUnbindResp,      FilterIndexOf(kUnbindResp),      &CSmppServer::TakeResponse, kGenericNack, kFilterGenericNack},
};
const CSmppServer::DispatchRow CSmppServer::kUnknownRow =
    {0, kFilterUnknown, &CSmppServer::Unknown, kGenericNack, kFilterGenericNack};

const CSmppServer::DispatchRow& CSmppServer::Lookup(uint32_t commandId) {
    static_assert(std::size(kDispatch) == 15, "eleven requests and the answers to the four PDUs the server starts");
    for (const DispatchRow& row : kDispatch) {
        if (row.commandId == commandId)
            return row;
    }
    return kUnknownRow;
}

CSmppServer::CSmppServer(QObject* parent)
    : CFramedServer(kProtocolCode, wire::FramerFor(*protocol::Find(kProtocolCode), kMaxPduSize), parent),
      m_kept(Scheduler()) {
    m_kept.SetExpirySink([this](const std::string& systemId, OutboxItem& item, CKeptMessages::Expiry why) {
        KeptExpired(systemId, item, why);
    });
}

bool CSmppServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CFramedServer::Start(port, maxConnections, idleTimeoutSeconds);
    char line[64];
    std::snprintf(line, sizeof line, "SMPP server start %s! (port = %d)\r\n", ok ? "ok" : "fail",
                  port == 0 && ok ? int(OwnPort()) : int(port));
    NotifyPrint(line);
    return ok;
}

bool CSmppServer::StartTls(uint16_t port, const QSslConfiguration* configuration, std::string_view detail) {
    const bool ok = configuration && CFramedServer::StartTls(port, *configuration);
    const std::string line = "SMPP TLS server start " + std::string(ok ? "ok" : "fail") + "! (port = " +
                             std::to_string(ok ? TlsListeningPort() : port) + ", " + std::string(detail) + ")\r\n";
    NotifyPrint(line);
    return ok;
}

void CSmppServer::OnAccept(CConnection& connection) {
    CFramedServer::OnAccept(connection);
    connection.SetSession(std::make_unique<Session>(*this, connection));
    ApplyOutboxSettings(connection);
    if (const int32_t seconds = m_sessions.bindTimeoutSeconds; seconds > 0) {
        const uint64_t id = connection.Id();
        Scheduler().After(int64_t(seconds) * 1000, this, [this, id, seconds] { CloseIfUnbound(id, seconds); });
    }
}

void CSmppServer::HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) {
    const DispatchRow& row = Lookup(ReadBe32(pdu + kIdOffset));
    CaptureReceived(connection, pdu, length, row.filterIndex);
    const Request request{row, ReadBe32(pdu + kSequenceOffset), pdu + kHeaderSize,
                          static_cast<int32_t>(length) - kHeaderSize};
    if (WindowFull(connection, row))
        return Deliver(connection, Answer(row.responseId, kStatusQueueFull, request.sequence, row.responseFilterIndex),
                       Delivery{});
    const Delivery delivery = m_policy->IsActive() ? Judge(connection, request) : Delivery{};
    if (delivery.kind == Delivery::Kind::Drop)
        return;
    if (delivery.kind == Delivery::Kind::StatusOnly)
        return Deliver(connection, Answer(delivery.commandId, delivery.status, request.sequence, delivery.filterIndex),
                       delivery);
    if (row.needsBind && !connection.IsNamed())
        return CloseConnection(connection);
    const Answer answer = (this->*row.handler)(connection, request);
    Deliver(connection, answer, delivery);
    if (row.followUp)
        (this->*row.followUp)(connection, request, answer);
}

void CSmppServer::HandleBadLength(CConnection& connection, const uint8_t* header) {
    // A length the buffer cannot frame: keep what arrived, say why, and drop the stream,
    // which can no longer be cut into PDUs.
    CaptureReceived(connection, header, kHeaderSize, kFilterUnknown);
    Answer nack(kGenericNack, kStatusInvalidCommandLength, ReadBe32(header + kSequenceOffset), kFilterGenericNack);
    nack.closeAfter = true;
    Deliver(connection, nack, Delivery{});
}

void CSmppServer::TakeMessageId(wire::Writer& out) {
    // The counter is 16-bit signed by design: 32767 is followed by -32768.
    const int16_t id = m_nextMessageId;
    m_nextMessageId = static_cast<int16_t>(static_cast<uint16_t>(id) + 1u);
    char text[8];
    const int length = FormatMessageId(id, text);
    out.CString(std::string_view(text, size_t(length)));
}

std::string CSmppServer::IssueMessageId() {
    const int16_t id = m_nextMessageId;
    m_nextMessageId = static_cast<int16_t>(static_cast<uint16_t>(id) + 1u);
    char text[8];
    return std::string(text, size_t(FormatMessageId(id, text)));
}

void CSmppServer::IssueDeliveryId(std::array<char, 8>& id) {
    // A series of its own, so the ids ESMEs are given for their submits stay consecutive; the "D"
    // keeps the two apart where query_sm looks either up.
    unsigned value = unsigned(m_nextDeliveryId++ % 1000000u);
    id[0] = 'D';
    for (int at = 6; at >= 1; --at, value /= 10)
        id[size_t(at)] = char('0' + value % 10);
    id[7] = '\0';
}

CSmppServer::Answer CSmppServer::Bind(CConnection& connection, const Request& request) {
    // Without accounts no password or version is checked and a bound connection may bind again:
    // the name is simply replaced.
    const std::string_view systemId = LeadingText(request.body, request.bodyLength, kMaxSystemIdChars);
    const Account* account = nullptr;
    if (const uint32_t status = CheckAccount(connection, request, systemId, &account); status != kStatusOk)
        return Answer(request.row.responseId, status, request.sequence, request.row.responseFilterIndex);
    char name[kMaxSystemIdChars + 1] = {};
    std::memcpy(name, systemId.data(), systemId.size());
    connection.SetName(name);
    Session& session = SessionOf(connection);
    session.kind = KindOfBind(request.row.commandId);
    session.addressRange = std::string(BindAddressRange(request.body, request.bodyLength));
    session.window = account ? account->window : 0;
    session.enquireLinkSeconds = account ? account->enquireLinkSeconds : std::nullopt;
    ApplyOutboxSettings(connection);
    StartLinkChecks(connection);

    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    out.CString(systemId).U16(kTagScInterfaceVersion).U16(1).U8(kInterfaceVersion34);
    answer.EndBody(out);
    return answer;
}

void CSmppServer::TellLoggedIn(CConnection& connection, const Request&, const Answer&) {
    NotifyLoggedIn(connection);
    // After the bind's answer, which the ESME must see first.
    ReleaseKept(connection);
}

CSmppServer::Answer CSmppServer::Unbind(CConnection& connection, const Request& request) {
    Answer answer = HeaderOnly(connection, request);
    answer.closeAfter = true;
    return answer;
}

CSmppServer::Answer CSmppServer::HeaderOnly(CConnection&, const Request& request) {
    return Answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
}

CSmppServer::Answer CSmppServer::IssueMessageId(CConnection&, const Request& request) {
    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    TakeMessageId(out);
    answer.EndBody(out);
    return answer;
}

CSmppServer::Answer CSmppServer::SubmitMulti(CConnection&, const Request& request) {
    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    TakeMessageId(out);
    out.U8(0); // no_unsuccess, and no unsuccess_sme entry follows it
    answer.EndBody(out);
    return answer;
}

void CSmppServer::TellSubmitted(CConnection& connection, const Request& request, const Answer& answer) {
    if (m_listener)
        m_listener->OnSubmitted(connection, request.row.commandId, answer.MessageId(),
                                request.body, request.bodyLength);
}

CSmppServer::Answer CSmppServer::QuerySm(CConnection&, const Request& request) {
    // Any message_id is echoed, issued or not. Unless a message store knows it, final_date,
    // message_state and error_code stay empty or 0.
    const std::string_view messageId = LeadingText(request.body, request.bodyLength, kMaxMessageIdChars);
    CSmppMessageListener::QueryAnswer known;
    if (!m_listener || !m_listener->AnswerQuery(messageId, known))
        known = {};
    if (known.status != kStatusOk)
        return Answer(request.row.responseId, known.status, request.sequence, request.row.responseFilterIndex);
    const std::string_view date(known.finalDate.data(), std::min(known.finalDate.size(), kMaxFinalDateChars));
    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    out.CString(messageId).CString(date).U8(known.messageState).U8(known.errorCode);
    answer.EndBody(out);
    return answer;
}

CSmppServer::Answer CSmppServer::TakeResponse(CConnection& connection, const Request& request) {
    // An ESME's response is captured and needs no answer, bound or not. One that answers a PDU
    // we started settles it; any other deliver_sm_resp or data_sm_resp is only captured, while an
    // enquire_link_resp or unbind_resp to nothing of ours is nacked as an unknown command.
    // The body follows the header inside the received PDU, so the status is right before it.
    const uint32_t status = ReadBe32(request.body - kHeaderSize + kStatusOffset);
    if (!SessionOf(connection).outbox.Settle(request.sequence, status) && request.row.responseId != kNoResponse)
        return Unknown(connection, request);
    return Answer();
}

CSmppServer::Answer CSmppServer::Unknown(CConnection&, const Request& request) {
    return Answer(request.row.responseId, kStatusInvalidCommandId, request.sequence, request.row.responseFilterIndex);
}

void CSmppServer::OnClose(CConnection& connection) {
    // Unanswered and waiting PDUs of a closing connection end undelivered, never sent again; its
    // fault rule counters are forgotten too.
    SessionOf(connection).closed = true;
    SessionOf(connection).outbox.Close();
    m_faultPolicy.Forget(connection.Id());
    if (m_policy != &m_faultPolicy)
        m_policy->Forget(connection.Id());
}

BindKind CSmppServer::BindKindOf(const CConnection& connection) const {
    return connection.IsNamed() ? SessionOf(connection).kind : BindKind::None;
}

std::string CSmppServer::AddressRangeOf(const CConnection& connection) const {
    return SessionOf(connection).addressRange;
}

void CSmppServer::SetNextSequence(CConnection& connection, uint32_t sequence) {
    if (sequence >= 1 && sequence <= COutbox::kMaxSequence)
        SessionOf(connection).outbox.SetNextSequence(sequence);
}

std::size_t CSmppServer::PendingCount(const CConnection& connection) const {
    return SessionOf(connection).outbox.Unanswered();
}

std::size_t CSmppServer::WaitingCount(const CConnection& connection) const {
    return SessionOf(connection).outbox.Waiting();
}

uint32_t CSmppServer::SendServerPdu(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body,
                                    uint64_t tag) {
    return MayReceive(BindKindOf(connection)) ? SendRequest(connection, commandId, body, tag) : 0;
}

uint32_t CSmppServer::SendRequest(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body,
                                  uint64_t tag) {
    // The session's own enquire_link and unbind wait for their answer once, their time-outs being
    // the session's; a message is tried as delivery says.
    const OutboxOrigin origin =
        commandId == kEnquireLink || commandId == kUnbind ? OutboxOrigin::Session : OutboxOrigin::Message;
    return Post(connection, commandId, origin, body.data(), body.size(), tag);
}

int CSmppServer::SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body,
                                int copies, std::vector<uint32_t>* sequences) {
    int sent = 0;
    ForEachConnection([&](CConnection& connection) {
        if (systemId != connection.Name())
            return;
        for (int copy = 0; copy < copies; ++copy) {
            if (const uint32_t sequence = SendServerPdu(connection, commandId, body, 0)) {
                ++sent;
                if (sequences)
                    sequences->push_back(sequence);
            }
        }
    });
    return sent;
}

uint32_t CSmppServer::SendGenerated(uint64_t connectionId, const uint8_t* pdu, uint32_t length) {
    CConnection* connection = FindConnection(connectionId);
    if (!connection || !MayReceive(BindKindOf(*connection)) || length < uint32_t(kHeaderSize))
        return 0;
    return Post(*connection, ReadBe32(pdu + kIdOffset), OutboxOrigin::Generated, pdu, length, 0, true);
}

std::size_t CSmppServer::Room(uint64_t connectionId) const {
    const CConnection* connection = FindConnection(connectionId);
    return connection && !connection->IsClosing() ? SessionOf(*connection).outbox.Room() : 0;
}

std::size_t CSmppServer::WindowOf(uint64_t connectionId) const {
    const CConnection* connection = FindConnection(connectionId);
    return connection ? SessionOf(*connection).outbox.Window() : 0;
}

bool CSmppServer::MayReceive(uint64_t connectionId) const {
    const CConnection* connection = FindConnection(connectionId);
    return connection && !connection->IsClosing() && MayReceive(BindKindOf(*connection));
}

std::vector<std::string> CSmppServer::BoundSystemIds() const {
    return DistinctNames();
}
