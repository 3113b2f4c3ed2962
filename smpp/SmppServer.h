// The SMPP side of the simulated SMSC: frames ESME PDUs, binds, answers and captures them.
#pragma once

#include "engine/FramedServer.h"
#include "smpp/Accounts.h"
#include "smpp/AnswerPolicy.h"
#include "smpp/Broadcasts.h"
#include "smpp/FaultPolicy.h"
#include "smpp/MessageIds.h"
#include "smpp/ServerOutbox.h"
#include "smpp/SessionPolicy.h"
#include "smpp/SmppAnswer.h"
#include "smpp/SmppPdu.h"
#include "smpp/SmppSession.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A framed server that speaks SMPP 3.4 and 5.0 to ESMEs on the UI thread: it dispatches each request to its
// handler and owns the parts it is cut into: the id counters, the broadcasts, the outbox owner (every PDU the server
// starts, and the messages kept for system ids with no receiver bound), the session policy
// (accounts, windows, timers) and the fault rules. Each request's handler returns its answer, and an answer policy (the fault rules unless another is set) decides whether it is
// sent, held, followed by a close or dropped. Tells its observers of connections
// and binds. Observers, the listener and the capture log are optional and not owned.
class CSmppServer : public CFramedServer {
public:
    explicit CSmppServer(QObject* parent = nullptr);

    // Starts listening, then prints the start line ("ok"/"fail" and the port) to the observer.
    // With port 0 the line shows the port actually picked.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);
    // After Start: the same service on a TLS port, then the start line "SMPP TLS server start ok!
    // (port = N, detail)", detail saying where the certificate is; without a configuration the
    // line says "fail" and detail says why.
    bool StartTls(uint16_t port, const QSslConfiguration* configuration, std::string_view detail);

    void SetMessageListener(CSmppMessageListener* listener) { m_outbox.SetListener(listener); }
    // A line for the console of every observer.
    void Report(std::string_view line) { NotifyPrint(line); }

    // Applies to the next try of every message, and the window to every connection whose account
    // has none.
    void SetRetry(const RetryPolicy& policy) { m_outbox.SetRetry(policy); }
    const RetryPolicy& Retry() const { return m_outbox.Retry(); }
    // Applies to the messages kept from now on.
    void SetStoreLimits(const StoreLimits& limits) { m_outbox.SetStoreLimits(limits); }
    const StoreLimits& Limits() const { return m_outbox.Limits(); }

    // None for an unbound connection.
    BindKind BindKindOf(const CConnection& connection) const { return smpp::BindKindOf(connection); }
    // The address_range of the connection's last bind.
    std::string AddressRangeOf(const CConnection& connection) const {
        return smpp::SmppSession::Of(connection).addressRange;
    }
    // Posts a PDU the server starts to the connection's outbox: the header takes that
    // connection's next sequence number (1 .. 0x7FFFFFFF, then 1 again), and the PDU goes out
    // when the window has room, captured as from 127.0.0.1 and the listening port under the
    // command's filter index. Returns the sequence number, 0 when nothing was posted (closing,
    // or a bind that may not receive). A deliver_sm or data_sm takes an id of the
    // delivery series when posted and is delivered by the retry policy; each of its tries is told
    // to CSmppMessageListener::OnDelivery with tag. One that finds the outbox's waiting queue full,
    // or messages kept for the system id before it, is kept behind them (told as Kept, forgotten
    // set) and returns 0.
    uint32_t SendServerPdu(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body,
                           uint64_t tag = 0) {
        return m_outbox.SendServerPdu(connection, commandId, body, tag);
    }
    // A deliver_sm or data_sm owed to systemId: posted to connection preferred when it may receive,
    // else to the first other receiver or transceiver bound under systemId; with none, kept (told
    // as Kept, under an id of the delivery series) until one binds. Returns the sequence number, 0
    // when it was kept (or systemId is empty: nothing then).
    uint32_t SendOwed(uint64_t preferred, const std::string& systemId, uint32_t commandId,
                      const std::vector<uint8_t>& body, uint64_t tag = 0) {
        return m_outbox.SendOwed(preferred, systemId, commandId, body, tag);
    }
    // The interface version of the session SendOwed posts to now; none when it would keep the message.
    std::optional<uint8_t> OwedVersion(uint64_t preferred, const std::string& systemId) const {
        const CConnection* to = m_outbox.OwedTo(preferred, systemId);
        return to ? std::optional<uint8_t>(smpp::SmppSession::Of(*to).version) : std::nullopt;
    }
    // The sequence number the connection's next server PDU takes (for tests of the wrap).
    void SetNextSequence(CConnection& connection, uint32_t sequence) {
        if (sequence >= 1 && sequence <= COutbox::kMaxSequence)
            smpp::SmppSession::Of(connection).outbox.SetNextSequence(sequence);
    }
    // Server PDUs the connection waits for an answer to, and those waiting for room in its window.
    std::size_t PendingCount(const CConnection& connection) const {
        return smpp::SmppSession::Of(connection).outbox.Unanswered();
    }
    std::size_t WaitingCount(const CConnection& connection) const {
        return smpp::SmppSession::Of(connection).outbox.Waiting();
    }
    // What waits per system id: kept for it, waiting in the outboxes of its connections, and sent
    // there unanswered; by system id.
    using QueueDepth = ::QueueDepth;
    std::vector<QueueDepth> QueueDepths() const { return m_outbox.QueueDepths(); }
    // Sends copies of the PDU to every receiver or transceiver bound under systemId; returns how
    // many PDUs went out, and appends the sequence number of each to sequences when given.
    int SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body,
                       int copies = 1, std::vector<uint32_t>* sequences = nullptr) {
        return m_outbox.SendToSystemId(systemId, commandId, body, copies, sequences);
    }
    // The distinct system ids bound right now, in connection order.
    std::vector<std::string> BoundSystemIds() const { return DistinctNames(); }

    // The traffic generator's PDUs: a whole PDU (header included) posted to the outbox of the
    // connection with that id when it may receive, as a Generated one: its answer goes only to the
    // generated-answer sink, it is never tried again and takes no message id. Returns the sequence
    // number, 0 when nothing was posted.
    uint32_t SendGenerated(uint64_t connectionId, const uint8_t* pdu, uint32_t length) {
        return m_outbox.SendGenerated(connectionId, pdu, length);
    }
    using GeneratedAnswerSink = smpp::CServerOutbox::GeneratedAnswerSink;
    void SetGeneratedAnswerSink(GeneratedAnswerSink sink) { m_outbox.SetGeneratedAnswerSink(std::move(sink)); }
    // Whether the connection with that id is open, bound as a receiver or transceiver.
    bool MayReceive(uint64_t connectionId) const { return m_outbox.MayReceive(connectionId); }
    // How many PDUs posted to the connection now would go out at once; 0 when it is gone.
    std::size_t Room(uint64_t connectionId) const { return m_outbox.Room(connectionId); }
    // The connection's outbox window: its account's, else the retry policy's.
    std::size_t WindowOf(uint64_t connectionId) const { return m_outbox.WindowOf(connectionId); }

    // The value the next submit_sm, data_sm or submit_multi takes; 0 at start.
    void SetNextMessageId(int16_t id) { m_ids.SetNext(id); }
    int16_t GetNextMessageId() const { return m_ids.Next(); }

    // The rules every request the server answers is matched against; none at start. A rule's
    // answer keeps the message id its request took; answers leave in the order of their
    // requests except those a rule delays, which go out when their time is up (later answers
    // do not wait for them) unless their connection has closed by then. The console gets one
    // line per firing rule every kFaultReportMs.
    CFaultRules& Faults() { return m_faultPolicy.Rules(); }
    static constexpr int64_t kFaultReportMs = smpp::CFaultPolicy::kReportMs;
    // Another policy decides every answer in place of the fault rules; null gives it back to them.
    // Not owned; it outlives the server or is taken away first.
    void SetAnswerPolicy(smpp::IAnswerPolicy* policy) { m_policy = policy ? policy : &m_faultPolicy; }

    // The accounts a bind must match; none (at start) accepts every bind. With accounts, a bind
    // is refused for an unknown system id (0x0F), a wrong password (0x0E), a bind type, address
    // or number of binds the account does not allow (0x0D) and on a bound connection (0x05); a
    // bound connection keeps its account's window and enquire_link interval. False, and nothing
    // changed, when an account is bad (accounts::Validate). Connections bound already stay.
    bool SetAccounts(const std::vector<Account>& list) { return m_sessionPolicy.SetAccounts(list); }
    const std::vector<Account>& Accounts() const { return m_sessionPolicy.Accounts(); }
    // The session timers: the inactivity time-out applies at the next idle check, the enquire_link
    // interval restarts on every bound connection, the bind time-out from the next connection.
    void SetSessionSettings(const SessionSettings& settings) { m_sessionPolicy.SetSettings(settings); }
    const SessionSettings& Sessions() const { return m_sessionPolicy.Settings(); }

    using UnbindResult = smpp::UnbindResult;
    // Sends unbind on the connection with that id; it closes when the ESME's unbind_resp comes,
    // or once the response time-out has passed without one.
    UnbindResult UnbindConnection(uint64_t id) { return m_sessionPolicy.Unbind(id); }
    std::string SessionKind(const CConnection& connection) const override {
        return smpp::BindKindName(BindKindOf(connection));
    }
    std::string SessionVersion(const CConnection& connection) const override {
        return BindKindOf(connection) == BindKind::None
                   ? std::string()
                   : std::string(protocol::smpp::interface_version::Name(smpp::SmppSession::Of(connection).version));
    }

protected:
    void OnAccept(CConnection& connection) override;
    void HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) override;
    void HandleBadLength(CConnection& connection, const uint8_t* header) override;
    void OnClose(CConnection& connection) override;

private:
    struct DispatchRow;
    // One received request: its row, header fields and body (inside the receive buffer).
    struct Request {
        const DispatchRow& row;
        uint32_t sequence;
        const uint8_t* body;
        int32_t bodyLength;
    };
    using Answer = smpp::Answer;
    using Handler = Answer (CSmppServer::*)(CConnection& connection, const Request& request);
    // Runs once the answer is delivered or held: tells others what the request did.
    using FollowUp = void (CSmppServer::*)(CConnection& connection, const Request& request, const Answer& answer);
    // A command the server answers, its handler and follow-up; the rest comes from the protocol registry.
    // The server's answer to a request meets the answer policy; what it answers for the ESME's own
    // answers (a nack to one that answers nothing) and for unknown commands does not.
    struct DispatchRow {
        constexpr DispatchRow(uint32_t id, Handler h, FollowUp f = nullptr)
            : commandId(id), filterIndex(smpp::FilterIndexOf(id)), handler(h), followUp(f),
              responseId(smpp::ResponseOf(id)), responseFilterIndex(smpp::FilterIndexOf(responseId)),
              needsBind(smpp::NeedsBind(id)), judged((id & smpp::kResponseBit) == 0) {}
        constexpr DispatchRow(uint32_t id, int32_t filter, Handler h, uint32_t response, int32_t responseFilter)
            : commandId(id), filterIndex(filter), handler(h), followUp(nullptr), responseId(response),
              responseFilterIndex(responseFilter), needsBind(false), judged(false) {}
        uint32_t commandId;
        int32_t filterIndex;
        Handler handler;
        FollowUp followUp;
        uint32_t responseId;
        int32_t responseFilterIndex;
        bool needsBind; // an unbound connection that sends it is closed without an answer
        bool judged;    // its answer meets the answer policy
    };
    static const DispatchRow kDispatch[];
    static const DispatchRow kUnknownRow;
    static const DispatchRow& Lookup(uint32_t commandId);

    // Handlers, one per kind of dispatch row.
    Answer Bind(CConnection& connection, const Request& request);
    Answer Unbind(CConnection& connection, const Request& request);
    Answer HeaderOnly(CConnection& connection, const Request& request);
    Answer IssueMessageId(CConnection& connection, const Request& request);
    Answer SubmitMulti(CConnection& connection, const Request& request);
    Answer QuerySm(CConnection& connection, const Request& request);
    Answer BroadcastSm(CConnection& connection, const Request& request);
    Answer QueryBroadcastSm(CConnection& connection, const Request& request);
    Answer CancelBroadcastSm(CConnection& connection, const Request& request);
    Answer TakeResponse(CConnection& connection, const Request& request);
    Answer Unknown(CConnection& connection, const Request& request);
    void TellLoggedIn(CConnection& connection, const Request& request, const Answer& answer);
    void TellSubmitted(CConnection& connection, const Request& request, const Answer& answer);

    // What the answer policy makes of a request before its handler runs (SmppServerAnswers.cpp). A
    // refused bind is recorded here, before anything is answered.
    using Delivery = smpp::AnswerDecision;
    Delivery Judge(CConnection& connection, const Request& request);
    // The SMPP 5.0 parameters of an answer to a session at 5.0: congestion_state as the policy or the session's
    // window says, and a policy's delivery failure parameters on submit_sm_resp and data_sm_resp.
    void AddParameters(const CConnection& connection, Answer& answer, const smpp::AnswerParameters* parameters);
    // Sends the answer and captures it, holds it, closes after it, as delivery says.
    void Deliver(CConnection& connection, const Answer& answer, const Delivery& delivery);
    void Hold(const CConnection& connection, const Answer& answer, int64_t delayMs, bool close);
    void SendHeld(uint64_t connection, const std::vector<uint8_t>& pdu, int32_t filterIndex, bool close);
    void RefuseBind(CConnection& connection);

    smpp::CMessageIds m_ids;
    smpp::CBroadcasts m_broadcasts;
    smpp::CServerOutbox m_outbox;
    smpp::CSessionPolicy m_sessionPolicy;
    smpp::CFaultPolicy m_faultPolicy{[this](std::string_view line) { NotifyPrint(line); }};
    smpp::IAnswerPolicy* m_policy = &m_faultPolicy;
};
