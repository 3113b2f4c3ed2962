// The SMPP side of the simulated SMSC: frames ESME PDUs, binds, answers and captures them.
#pragma once

#include "engine/FramedServer.h"
#include "smpp/Accounts.h"
#include "smpp/AnswerPolicy.h"
#include "smpp/FaultPolicy.h"
#include "smpp/KeptMessages.h"
#include "smpp/Outbox.h"
#include "smpp/SmppAnswer.h"
#include "smpp/SmppPdu.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How a connection bound: only receiver and transceiver binds may be sent deliver_sm, data_sm
// and alert_notification.
enum class BindKind : uint8_t { None, Receiver, Transmitter, Transceiver };

namespace smpp {

// Writes the message id text ("%06d" of the signed 16-bit value: 000042, -00001, -32768) and
// its NUL into out, which holds at least 8 octets. Returns the number of characters.
int FormatMessageId(int16_t id, char* out);

// The bind kind of a bind command; None for any other command.
BindKind KindOfBind(uint32_t commandId);
// The account permission a bind kind needs (Account::kTransmitter ...); 0 for None.
uint8_t AccountBitOf(BindKind kind);
// "transmitter", "receiver", "transceiver" as the accounts name them; empty for None.
const char* BindKindName(BindKind kind);

using ::BindKind;

} // namespace smpp

// How the server delivers the deliver_sm it starts, as an SMSC does: at most `window` unanswered on a
// connection (its account's window goes first); an answer of ESME_RMSGQFUL, ESME_RTHROTTLED or
// ESME_RX_T_APPN, or none within the sessions' response time-out, sends it again after backoffMs,
// doubled before each further try, up to maxTries in all; any other error ends it.
struct RetryPolicy {
    static constexpr int kMaxBackoffMs = 3'600'000; // what the "Sessions" page and the control API take
    static constexpr int kMaxTries = 100;
    static constexpr int kMaxWindow = int(COutbox::kMaxWindow);

    int backoffMs = 1000;
    int maxTries = 5;
    int window = 10;
};

// Store and forward, and what the server remembers: how long and how many messages are kept for a
// system id with no receiver bound, and how many messages the message store remembers.
struct StoreLimits {
    static constexpr int32_t kMaxValiditySeconds = 30 * 86400;
    static constexpr int32_t kMaxPendingLimit = 10'000'000;
    static constexpr int32_t kMaxMessageStoreLimit = 10'000'000;

    int32_t pendingValiditySeconds = 48 * 3600;
    int32_t pendingLimit = 100'000;
    int32_t messageStoreLimit = 1'000'000;

    bool operator==(const StoreLimits&) const = default;
};

// One try of a deliver_sm or data_sm the server started (data_sm gets one try), and what came of it.
struct DeliveryTry {
    enum class Outcome : uint8_t {
        Sent, Again, Delivered, Undeliverable,
        Kept,     // no receiver is bound under the system id, or its outbox is full: kept until there is room
        Released, // a receiver bound: what was kept for it goes now
        Expired,  // kept until its validity ran out, or the store for its system id was full
    };
    Outcome outcome;
    uint32_t commandId;
    std::string_view messageId; // the delivery series' id the server gave the message when it was posted or kept
    std::string_view systemId;  // of the connection it went to
    uint64_t tag;               // as given to SendServerPdu
    int tryNumber;              // 1 for the first
    int tries;                  // the most this message gets
    std::optional<uint32_t> status; // the ESME's answer; none when it did not come in time or closed
    bool closed = false;            // the connection went before the message was delivered
    bool forgotten = false;         // Kept: its receiver's outbox was full;
                                    // Undeliverable: its outbox was full, it was never sent;
                                    // Expired: the store for its system id was full
    int64_t againInMs = 0;          // Again: the back-off before the next try
};

// Told by the SMPP server of the messages ESMEs submit and of each try of the PDUs the server
// starts, and asked first when a query_sm comes. Not owned; every call comes on the UI thread.
class CSmppMessageListener {
public:
    struct QueryAnswer {
        std::string finalDate; // at most 16 characters
        uint8_t messageState = 0;
        uint8_t errorCode = 0;
        uint32_t status = 0; // not 0: the answer is this command_status and no body (ESME_RQUERYFAIL)
    };

    virtual ~CSmppMessageListener() = default;
    // A submit_sm, data_sm or submit_multi has been answered with messageId; body as received.
    virtual void OnSubmitted(const CConnection& /*connection*/, uint32_t /*commandId*/, std::string_view /*messageId*/,
                             const uint8_t* /*body*/, int32_t /*bodyLength*/) {}
    // A deliver_sm or data_sm the server started went out, was kept, or came to one end of a try.
    virtual void OnDelivery(const DeliveryTry& /*delivery*/) {}
    // True, with answer filled in, when the listener knows the message; otherwise the server
    // answers on its own.
    virtual bool AnswerQuery(std::string_view /*messageId*/, QueryAnswer& /*answer*/) { return false; }
};

// A framed server that speaks SMPP 3.4 to ESMEs on the UI thread. Owns the message id counter,
// the fault rules and the messages kept for system ids with no receiver bound; each connection's
// session keeps its bind and its outbox, through which every PDU the server starts goes. Each
// request's handler returns its answer, and an answer policy (the fault rules unless another is set) decides whether it is
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

    void SetMessageListener(CSmppMessageListener* listener) { m_listener = listener; }
    // A line for the console of every observer.
    void Report(std::string_view line) { NotifyPrint(line); }

    // Applies to the next try of every message, and the window to every connection whose account
    // has none.
    void SetRetry(const RetryPolicy& policy);
    const RetryPolicy& Retry() const { return m_retry; }
    // Applies to the messages kept from now on.
    void SetStoreLimits(const StoreLimits& limits);
    const StoreLimits& Limits() const { return m_limits; }

    // None for an unbound connection.
    BindKind BindKindOf(const CConnection& connection) const;
    // The address_range of the connection's last bind.
    std::string AddressRangeOf(const CConnection& connection) const;
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
                           uint64_t tag = 0);
    // A deliver_sm or data_sm owed to systemId: posted to connection preferred when it may receive,
    // else to the first other receiver or transceiver bound under systemId; with none, kept (told
    // as Kept, under an id of the delivery series) until one binds. Returns the sequence number, 0
    // when it was kept (or systemId is empty: nothing then).
    uint32_t SendOwed(uint64_t preferred, const std::string& systemId, uint32_t commandId,
                      const std::vector<uint8_t>& body, uint64_t tag = 0);
    // The sequence number the connection's next server PDU takes (for tests of the wrap).
    void SetNextSequence(CConnection& connection, uint32_t sequence);
    // Server PDUs the connection waits for an answer to, and those waiting for room in its window.
    std::size_t PendingCount(const CConnection& connection) const;
    std::size_t WaitingCount(const CConnection& connection) const;
    // What waits per system id: kept for it, waiting in the outboxes of its connections, and sent
    // there unanswered; by system id.
    struct QueueDepth {
        std::string systemId;
        uint64_t kept = 0, waiting = 0, unanswered = 0;
    };
    std::vector<QueueDepth> QueueDepths() const;
    // Sends copies of the PDU to every receiver or transceiver bound under systemId; returns how
    // many PDUs went out, and appends the sequence number of each to sequences when given.
    int SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body,
                       int copies = 1, std::vector<uint32_t>* sequences = nullptr);
    // The distinct system ids bound right now, in connection order.
    std::vector<std::string> BoundSystemIds() const;

    // The traffic generator's PDUs: a whole PDU (header included) posted to the outbox of the
    // connection with that id when it may receive, as a Generated one: its answer goes only to the
    // generated-answer sink, it is never tried again and takes no message id. Returns the sequence
    // number, 0 when nothing was posted.
    uint32_t SendGenerated(uint64_t connectionId, const uint8_t* pdu, uint32_t length);
    using GeneratedAnswerSink = std::function<void(uint64_t connectionId, uint32_t status)>;
    void SetGeneratedAnswerSink(GeneratedAnswerSink sink) { m_generatedSink = std::move(sink); }
    // Whether the connection with that id is open, bound as a receiver or transceiver.
    bool MayReceive(uint64_t connectionId) const;
    // How many PDUs posted to the connection now would go out at once; 0 when it is gone.
    std::size_t Room(uint64_t connectionId) const;
    // The connection's outbox window: its account's, else the retry policy's.
    std::size_t WindowOf(uint64_t connectionId) const;

    // The value the next submit_sm, data_sm or submit_multi takes; 0 at start.
    void SetNextMessageId(int16_t id) { m_nextMessageId = id; }
    int16_t GetNextMessageId() const { return m_nextMessageId; }

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
    bool SetAccounts(const std::vector<Account>& list);
    const std::vector<Account>& Accounts() const { return m_accounts; }
    // The session timers: the inactivity time-out applies at the next idle check, the enquire_link
    // interval restarts on every bound connection, the bind time-out from the next connection.
    void SetSessionSettings(const SessionSettings& settings);
    const SessionSettings& Sessions() const { return m_sessions; }

    enum class UnbindResult { Sent, NotBound, Gone };
    // Sends unbind on the connection with that id; it closes when the ESME's unbind_resp comes,
    // or once the response time-out has passed without one.
    UnbindResult UnbindConnection(uint64_t id);
    std::string SessionKind(const CConnection& connection) const override {
        return smpp::BindKindName(BindKindOf(connection));
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
    struct DispatchRow {
        constexpr DispatchRow(uint32_t id, Handler h, FollowUp f = nullptr)
            : commandId(id), filterIndex(smpp::FilterIndexOf(id)), handler(h), followUp(f),
              responseId(smpp::ResponseOf(id)), responseFilterIndex(smpp::FilterIndexOf(responseId)),
              needsBind(smpp::NeedsBind(id)) {}
        constexpr DispatchRow(uint32_t id, int32_t filter, Handler h, uint32_t response, int32_t responseFilter)
            : commandId(id), filterIndex(filter), handler(h), followUp(nullptr), responseId(response),
              responseFilterIndex(responseFilter), needsBind(false) {}
        uint32_t commandId;
        int32_t filterIndex;
        Handler handler;
        FollowUp followUp;
        uint32_t responseId;
        int32_t responseFilterIndex;
        bool needsBind; // an unbound connection that sends it is closed without an answer
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
    Answer TakeResponse(CConnection& connection, const Request& request);
    Answer Unknown(CConnection& connection, const Request& request);
    void TellLoggedIn(CConnection& connection, const Request& request, const Answer& answer);
    void TellSubmitted(CConnection& connection, const Request& request, const Answer& answer);
    // Writes the next message id and its NUL.
    void TakeMessageId(wire::Writer& out);
    std::string IssueMessageId();
    // The id under which a deliver_sm the server sends is kept for query_sm.
    void IssueDeliveryId(std::array<char, 8>& id);

    // What the answer policy makes of a request before its handler runs. A refused bind is
    // recorded here, before anything is answered.
    using Delivery = smpp::AnswerDecision;
    Delivery Judge(CConnection& connection, const Request& request);
    // Sends the answer and captures it, holds it, closes after it, as delivery says.
    void Deliver(CConnection& connection, const Answer& answer, const Delivery& delivery);
    void Hold(const CConnection& connection, const Answer& answer, int64_t delayMs, bool close);
    void SendHeld(uint64_t connection, const std::vector<uint8_t>& pdu, int32_t filterIndex, bool close);
    void RefuseBind(CConnection& connection);

    // Accounts (SmppServerSessions.cpp): the status that refuses a bind, 0 to accept it under
    // *account (none when there are no accounts).
    uint32_t CheckAccount(const CConnection& connection, const Request& request, std::string_view systemId,
                          const Account** account);
    // Whether the connection's window is full for this request: one answer too many held back.
    bool WindowFull(const CConnection& connection, const DispatchRow& row) const;
    // The SMSC's own enquire_link, every interval from now while this bind lasts.
    void StartLinkChecks(CConnection& connection);
    void EnquireLink(uint64_t id, uint64_t run);
    void CloseIfUnbound(uint64_t id, int32_t seconds);
    // The ESME answered an enquire_link or unbind of ours.
    void TakeSessionAnswer(CConnection& connection, uint32_t commandId);

    // The outbox's side of a connection (SmppServerDelivery.cpp): what it sends, and what became of it.
    bool Transmit(CConnection& connection, OutboxItem& item);
    void Told(CConnection& connection, OutboxItem& item, const OutboxEvent& event);
    void Tell(std::string_view systemId, const OutboxItem& item, DeliveryTry::Outcome outcome,
              std::optional<uint32_t> status = std::nullopt, bool closed = false, bool forgotten = false,
              int64_t againInMs = 0);
    // Posts a PDU the server starts to the connection's outbox.
    uint32_t Post(CConnection& connection, uint32_t commandId, OutboxOrigin origin, const uint8_t* body,
                  std::size_t length, uint64_t tag, bool wholePdu = false);
    // What was kept for the connection's system id goes to its outbox, once it may receive.
    void ReleaseKept(CConnection& connection);
    void KeptExpired(const std::string& systemId, OutboxItem& item, CKeptMessages::Expiry why);
    // The outbox window and timing a connection's session runs with now.
    void ApplyOutboxSettings(CConnection& connection);

    // What the server keeps of a connection beyond its name.
    struct Session : CConnectionSession, COutbox::Link {
        Session(CSmppServer& server, CConnection& connection)
            : server(server), connection(connection), outbox(server.Scheduler(), *this) {}
        bool Transmit(OutboxItem& item) override { return server.Transmit(connection, item); }
        void Told(OutboxItem& item, const OutboxEvent& event) override { server.Told(connection, item, event); }

        CSmppServer& server;
        CConnection& connection;
        BindKind kind = BindKind::None;
        std::string addressRange;
        COutbox outbox;
        int32_t window = 0;                        // of its account; 0: no cap
        std::optional<int32_t> enquireLinkSeconds; // of its account; none: the sessions' setting
        int32_t held = 0;                          // answers held back by a delay
        uint64_t linkRun = 0;                      // the current enquire_link loop; older ones stop
        uint32_t enquireSequence = 0;              // our enquire_link still unanswered; 0: none
        bool closed = false;                       // OnClose has begun: nothing more is posted
    };
    static Session& SessionOf(const CConnection& connection) { return *connection.SessionAs<Session>(); }
    static bool MayReceive(BindKind kind) { return kind == BindKind::Receiver || kind == BindKind::Transceiver; }
    // The same to any connection, bound as it may be (enquire_link, unbind).
    uint32_t SendRequest(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body, uint64_t tag);

    smpp::CFaultPolicy m_faultPolicy{[this](std::string_view line) { NotifyPrint(line); }};
    smpp::IAnswerPolicy* m_policy = &m_faultPolicy;
    std::vector<Account> m_accounts;
    std::vector<std::vector<accounts::Block>> m_allowedBlocks; // by account
    SessionSettings m_sessions;
    CSmppMessageListener* m_listener = nullptr;
    int16_t m_nextMessageId = 0;
    uint32_t m_nextDeliveryId = 0;
    RetryPolicy m_retry;
    StoreLimits m_limits;
    CKeptMessages m_kept;
    GeneratedAnswerSink m_generatedSink;
};
