// The owner of the PDUs the SMPP server starts: each connection's outbox sends them through its
// window and tries a deliver_sm again as the retry policy says; a message owed to a system id with
// no receiver bound is kept until one binds; the traffic generator's PDUs go the same way.
#pragma once

#include "engine/SocketServer.h"
#include "smpp/Accounts.h"
#include "smpp/KeptMessages.h"
#include "smpp/MessageIds.h"
#include "smpp/Outbox.h"
#include "smpp/SmppSession.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// What waits per system id: kept for it, waiting in the outboxes of its connections, and sent
// there unanswered.
struct QueueDepth {
    std::string systemId;
    uint64_t kept = 0, waiting = 0, unanswered = 0;
};

namespace smpp {

// None for an unbound connection.
inline BindKind BindKindOf(const CConnection& connection) {
    return connection.IsNamed() ? SmppSession::Of(connection).kind : BindKind::None;
}

class CServerOutbox {
public:
    // Sends a whole PDU on the connection and captures it under the filter index; false when the
    // socket refused it.
    using Send = std::function<bool(CConnection& connection, const uint8_t* pdu, uint32_t length, int32_t filterIndex)>;
    // The ESME answered an enquire_link or unbind of the session's own.
    using SessionAnswer = std::function<void(CConnection& connection, uint32_t commandId)>;
    using GeneratedAnswerSink = std::function<void(uint64_t connectionId, uint32_t status)>;

    CServerOutbox(CSocketServer& server, CMessageIds& ids, Send send);

    void SetSessionAnswer(SessionAnswer sink) { m_sessionAnswer = std::move(sink); }
    void SetGeneratedAnswerSink(GeneratedAnswerSink sink) { m_generatedSink = std::move(sink); }
    void SetListener(CSmppMessageListener* listener) { m_listener = listener; }
    CSmppMessageListener* Listener() const { return m_listener; }
    CScheduler& Scheduler() const { return m_server.Scheduler(); }

    // Apply to every connection at once (and to the next try of every message).
    void SetRetry(const RetryPolicy& policy);
    const RetryPolicy& Retry() const { return m_retry; }
    // The sessions' response time-out; ApplySettings passes it on.
    void SetResponseTimeout(int32_t seconds) { m_responseTimeoutSeconds = seconds; }
    // Applies to the messages kept from now on.
    void SetStoreLimits(const StoreLimits& limits);
    const StoreLimits& Limits() const { return m_limits; }
    // The outbox window and timing a connection's session runs with now.
    void ApplySettings(CConnection& connection);

    // As CSmppServer's functions of the same names say.
    uint32_t SendServerPdu(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body, uint64_t tag);
    // The same to any connection, bound as it may be (enquire_link, unbind).
    uint32_t SendRequest(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body, uint64_t tag);
    uint32_t SendOwed(uint64_t preferred, const std::string& systemId, uint32_t commandId,
                      const std::vector<uint8_t>& body, uint64_t tag);
    // The connection SendOwed posts to now; none when it would keep the message.
    CConnection* OwedTo(uint64_t preferred, const std::string& systemId) const;
    int SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body, int copies,
                       std::vector<uint32_t>* sequences);
    uint32_t SendGenerated(uint64_t connectionId, const uint8_t* pdu, uint32_t length);
    // What was kept for the connection's system id goes to its outbox, once it may receive.
    void ReleaseKept(CConnection& connection);

    bool MayReceive(uint64_t connectionId) const;
    std::size_t Room(uint64_t connectionId) const;
    std::size_t WindowOf(uint64_t connectionId) const;
    std::vector<QueueDepth> QueueDepths() const;

    // The connection's outbox sends, and is told what became of an item.
    bool Transmit(CConnection& connection, OutboxItem& item);
    void Told(CConnection& connection, OutboxItem& item, const OutboxEvent& event);

private:
    // Posts a PDU the server starts to the connection's outbox.
    uint32_t Post(CConnection& connection, uint32_t commandId, OutboxOrigin origin, const uint8_t* body,
                  std::size_t length, uint64_t tag, bool wholePdu = false);
    void Tell(std::string_view systemId, const OutboxItem& item, DeliveryTry::Outcome outcome,
              std::optional<uint32_t> status = std::nullopt, bool closed = false, bool forgotten = false,
              int64_t againInMs = 0);
    void KeptExpired(const std::string& systemId, OutboxItem& item, CKeptMessages::Expiry why);

    CSocketServer& m_server;
    CMessageIds& m_ids;
    Send m_send;
    SessionAnswer m_sessionAnswer;
    GeneratedAnswerSink m_generatedSink;
    CSmppMessageListener* m_listener = nullptr;
    RetryPolicy m_retry;
    StoreLimits m_limits;
    int32_t m_responseTimeoutSeconds = SessionSettings{}.responseTimeoutSeconds;
    CKeptMessages m_kept;
};

} // namespace smpp
