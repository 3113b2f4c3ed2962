// CSmppServer: the dispatch table, binds and the nine message operations, and the parts it is cut into.
#include "smpp/SmppServer.h"

#include "protocol/SmppFields.h"
#include "smpp/BodyReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

using namespace smpp;
namespace interface_version = protocol::smpp::interface_version;

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
    {kBroadcastSm,     &CSmppServer::BroadcastSm},       // the broadcast family: sessions at 5.0 only
    {kQueryBroadcastSm, &CSmppServer::QueryBroadcastSm},
    {kCancelBroadcastSm, &CSmppServer::CancelBroadcastSm},
    {kDeliverSmResp,   &CSmppServer::TakeResponse}, // the ESME's answer to our deliver_sm
    {kDataSmResp,      &CSmppServer::TakeResponse}, // the ESME's answer to our data_sm
    // The ESME's answers to our enquire_link and unbind; one that answers nothing of ours is nacked.
    {kEnquireLinkResp, FilterIndexOf(kEnquireLinkResp), &CSmppServer::TakeResponse, kGenericNack, kFilterGenericNack},
    {kUnbindResp,      FilterIndexOf(kUnbindResp),      &CSmppServer::TakeResponse, kGenericNack, kFilterGenericNack},
};
const CSmppServer::DispatchRow CSmppServer::kUnknownRow =
    {0, kFilterUnknown, &CSmppServer::Unknown, kGenericNack, kFilterGenericNack};

const CSmppServer::DispatchRow& CSmppServer::Lookup(uint32_t commandId) {
    static_assert(std::size(kDispatch) == 18, "fourteen requests and the answers to the four PDUs the server starts");
    for (const DispatchRow& row : kDispatch) {
        if (row.commandId == commandId)
            return row;
    }
    return kUnknownRow;
}

CSmppServer::CSmppServer(QObject* parent)
    : CFramedServer(kProtocolCode, wire::FramerFor(*protocol::Find(kProtocolCode), kMaxPduSize), parent),
      m_outbox(*this, m_ids,
               [this](CConnection& connection, const uint8_t* pdu, uint32_t length, int32_t filterIndex) {
                   return SendAndCapture(connection, pdu, length, filterIndex);
               }),
      m_sessionPolicy(*this, m_outbox, [this](std::string_view line) { NotifyPrint(line); }) {
    m_outbox.SetSessionAnswer([this](CConnection& connection, uint32_t commandId) {
        m_sessionPolicy.TakeSessionAnswer(connection, commandId);
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
    connection.SetSession(std::make_unique<SmppSession>(m_outbox, connection));
    m_outbox.ApplySettings(connection);
    m_sessionPolicy.Accepted(connection);
}

void CSmppServer::HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) {
    const DispatchRow& row = Lookup(ReadBe32(pdu + kIdOffset));
    CaptureReceived(connection, pdu, length, row.filterIndex);
    const Request request{row, ReadBe32(pdu + kSequenceOffset), pdu + kHeaderSize,
                          static_cast<int32_t>(length) - kHeaderSize};
    // A command of a later SMPP than the session's is one the ESME cannot know: answered as an unknown one.
    if (row.needsBind && connection.IsNamed() && !KnownAt(row.commandId, SmppSession::Of(connection).version))
        return Deliver(connection, Answer(kGenericNack, kStatusInvalidCommandId, request.sequence, kFilterGenericNack),
                       Delivery{});
    // Only message operations queue at an SMSC; a bind, enquire_link or unbind is always answered.
    const bool messageOperation = row.needsBind && row.commandId != kUnbind && row.commandId != kEnquireLink;
    if (CSessionPolicy::WindowFull(connection, messageOperation)) {
        Answer full(row.responseId, kStatusQueueFull, request.sequence, row.responseFilterIndex);
        AddParameters(connection, full, nullptr);
        return Deliver(connection, full, Delivery{});
    }
    const Delivery delivery = m_policy->IsActive() ? Judge(connection, request) : Delivery{};
    if (delivery.kind == Delivery::Kind::Drop)
        return;
    if (delivery.kind == Delivery::Kind::StatusOnly) {
        Answer refusal(delivery.commandId, delivery.status, request.sequence, delivery.filterIndex);
        AddParameters(connection, refusal, delivery.parameters);
        return Deliver(connection, refusal, delivery);
    }
    if (row.needsBind && !connection.IsNamed())
        return CloseConnection(connection);
    Answer answer = (this->*row.handler)(connection, request);
    AddParameters(connection, answer, delivery.parameters);
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

CSmppServer::Answer CSmppServer::Bind(CConnection& connection, const Request& request) {
    // Without accounts no password or version is checked and a bound connection may bind again:
    // the name is simply replaced.
    const std::string_view systemId = LeadingText(request.body, request.bodyLength, kMaxSystemIdChars);
    const Account* account = nullptr;
    if (const uint32_t status = m_sessionPolicy.CheckBind(connection, request.row.commandId, request.body,
                                                          request.bodyLength, systemId, &account);
        status != kStatusOk)
        return Answer(request.row.responseId, status, request.sequence, request.row.responseFilterIndex);
    char name[kMaxSystemIdChars + 1] = {};
    std::memcpy(name, systemId.data(), systemId.size());
    connection.SetName(name);
    SmppSession& session = SmppSession::Of(connection);
    session.kind = KindOfBind(request.row.commandId);
    // A bind without the octet is read as 3.4, as it always was.
    session.version = interface_version::Negotiated(
        BindInterfaceVersion(request.body, request.bodyLength).value_or(interface_version::k34));
    session.addressRange = std::string(BindAddressRange(request.body, request.bodyLength));
    session.window = account ? account->window : 0;
    session.enquireLinkSeconds = account ? account->enquireLinkSeconds : std::nullopt;
    m_outbox.ApplySettings(connection);
    m_sessionPolicy.StartLinkChecks(connection);

    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    out.CString(systemId);
    // A 3.3 ESME knows no optional parameter, this one included.
    if (interface_version::TakesTlvs(session.version))
        out.U16(kTagScInterfaceVersion).U16(1).U8(interface_version::kServed);
    answer.EndBody(out);
    return answer;
}

void CSmppServer::TellLoggedIn(CConnection& connection, const Request&, const Answer&) {
    NotifyLoggedIn(connection);
    // After the bind's answer, which the ESME must see first.
    m_outbox.ReleaseKept(connection);
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
    m_ids.Take(out);
    answer.EndBody(out);
    return answer;
}

CSmppServer::Answer CSmppServer::SubmitMulti(CConnection&, const Request& request) {
    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    m_ids.Take(out);
    out.U8(0); // no_unsuccess, and no unsuccess_sme entry follows it
    answer.EndBody(out);
    return answer;
}

void CSmppServer::TellSubmitted(CConnection& connection, const Request& request, const Answer& answer) {
    if (CSmppMessageListener* listener = m_outbox.Listener())
        listener->OnSubmitted(connection, request.row.commandId, answer.MessageId(),
                                request.body, request.bodyLength);
}

CSmppServer::Answer CSmppServer::QuerySm(CConnection& connection, const Request& request) {
    // Any message_id is echoed, issued or not. Unless a message store knows it, final_date,
    // message_state and error_code stay empty or 0.
    const std::string_view messageId = LeadingText(request.body, request.bodyLength, kMaxMessageIdChars);
    CSmppMessageListener::QueryAnswer known;
    CSmppMessageListener* listener = m_outbox.Listener();
    if (!listener || !listener->AnswerQuery(messageId, known))
        known = {};
    else // SCHEDULED and SKIPPED are SMPP 5.0's: UNKNOWN to an ESME below it
        known.messageState = message_state::ForVersion(known.messageState, SmppSession::Of(connection).version);
    if (known.status != kStatusOk)
        return Answer(request.row.responseId, known.status, request.sequence, request.row.responseFilterIndex);
    const std::string_view date(known.finalDate.data(), std::min(known.finalDate.size(), kMaxFinalDateChars));
    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    out.CString(messageId).CString(date).U8(known.messageState).U8(known.errorCode);
    answer.EndBody(out);
    return answer;
}

CSmppServer::Answer CSmppServer::BroadcastSm(CConnection&, const Request& request) {
    // Every area is accepted and the broadcast runs until it is cancelled; its id comes from the submits' counter.
    std::vector<std::string> areas;
    const uint32_t status = ReadBroadcast(request.body, request.bodyLength, &areas);
    Answer answer(request.row.responseId, status, request.sequence, request.row.responseFilterIndex);
    if (status != kStatusOk)
        return answer;
    wire::Writer out = answer.Body();
    m_ids.Take(out); // the counter the submits take theirs from
    answer.EndBody(out);
    m_broadcasts.Add(answer.MessageId(), std::move(areas));
    return answer;
}

CSmppServer::Answer CSmppServer::QueryBroadcastSm(CConnection&, const Request& request) {
    constexpr uint32_t kStatusQueryFailed = 0x0000010E; // ESME_RBCASTQUERYFAIL
    constexpr uint8_t kAllCellsTook = 100;              // broadcast_area_success: the share of cells that took it
    const std::string_view messageId = LeadingText(request.body, request.bodyLength, kMaxMessageIdChars);
    const Broadcast* broadcast = m_broadcasts.Find(messageId);
    if (!broadcast)
        return Answer(request.row.responseId, kStatusQueryFailed, request.sequence, request.row.responseFilterIndex);
    Answer answer(request.row.responseId, kStatusOk, request.sequence, request.row.responseFilterIndex);
    wire::Writer out = answer.Body();
    out.CString(messageId).U16(kTagMessageState).U16(1).U8(broadcast->state);
    for (const std::string& area : broadcast->areas) {
        out.Tlv(kTagBroadcastAreaIdentifier, {reinterpret_cast<const uint8_t*>(area.data()), area.size()});
        out.U16(kTagBroadcastAreaSuccess).U16(1).U8(kAllCellsTook);
    }
    answer.EndBody(out);
    return answer;
}

CSmppServer::Answer CSmppServer::CancelBroadcastSm(CConnection&, const Request& request) {
    constexpr uint32_t kStatusCancelFailed = 0x0000010F; // ESME_RBCASTCANCELFAIL
    wire::Cursor in(request.body, request.bodyLength > 0 ? std::size_t(request.bodyLength) : 0);
    in.CString(kServiceTypeOctets);
    const std::string_view messageId = in.CString(kMessageIdOctets);
    const bool cancelled = in.Ok() && m_broadcasts.Cancel(messageId);
    return Answer(request.row.responseId, cancelled ? kStatusOk : kStatusCancelFailed, request.sequence,
                  request.row.responseFilterIndex);
}

CSmppServer::Answer CSmppServer::TakeResponse(CConnection& connection, const Request& request) {
    // An ESME's response is captured and needs no answer, bound or not. One that answers a PDU
    // we started settles it; any other deliver_sm_resp or data_sm_resp is only captured, while an
    // enquire_link_resp or unbind_resp to nothing of ours is nacked as an unknown command.
    // The body follows the header inside the received PDU, so the status is right before it.
    const uint32_t status = ReadBe32(request.body - kHeaderSize + kStatusOffset);
    if (!SmppSession::Of(connection).outbox.Settle(request.sequence, status) && request.row.responseId != kNoResponse)
        return Unknown(connection, request);
    return Answer();
}

CSmppServer::Answer CSmppServer::Unknown(CConnection&, const Request& request) {
    return Answer(request.row.responseId, kStatusInvalidCommandId, request.sequence, request.row.responseFilterIndex);
}

void CSmppServer::OnClose(CConnection& connection) {
    // Unanswered and waiting PDUs of a closing connection end undelivered, never sent again; its
    // fault rule counters are forgotten too.
    SmppSession::Of(connection).closed = true;
    SmppSession::Of(connection).outbox.Close();
    m_faultPolicy.Forget(connection.Id());
    if (m_policy != &m_faultPolicy)
        m_policy->Forget(connection.Id());
}

