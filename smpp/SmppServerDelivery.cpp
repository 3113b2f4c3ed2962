// CSmppServer's delivery of the PDUs it starts: each connection's outbox sends them through its
// window, and a message owed to a system id with no receiver bound is kept until one binds.
#include "smpp/SmppServer.h"

#include <algorithm>
#include <cstring>

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
    {kEnquireLink,       FilterIndexOf(kEnquireLink),       true}, // the SMSC's own, to see the link is alive
    {kUnbind,            FilterIndexOf(kUnbind),            true}, // the user's unbind from the online list
};
constexpr ServerPduRow kOtherServerPdu = {0, kFilterUnknown, false};

const ServerPduRow& ServerPduOf(uint32_t commandId) {
    for (const ServerPduRow& row : kServerPdus) {
        if (row.commandId == commandId)
            return row;
    }
    return kOtherServerPdu;
}

// A deliver_sm is tried as the policy says; a data_sm, and what the session or the generator sends, once.
int TriesOf(const RetryPolicy& policy, uint32_t commandId, OutboxOrigin origin) {
    return commandId == kDeliverSm && origin == OutboxOrigin::Message ? std::max(policy.maxTries, 1) : 1;
}

} // namespace

uint32_t CSmppServer::Post(CConnection& connection, uint32_t commandId, OutboxOrigin origin, const uint8_t* body,
                           std::size_t length, uint64_t tag, bool wholePdu) {
    Session& session = SessionOf(connection);
    if (connection.IsClosing() || session.closed)
        return 0;
    OutboxItem item;
    item.commandId = commandId;
    item.origin = origin;
    item.answered = ServerPduOf(commandId).answered;
    item.tag = tag;
    item.tries = TriesOf(m_retry, commandId, origin);
    if (origin == OutboxOrigin::Message)
        IssueDeliveryId(item.messageId); // now, so that one forgotten before it is sent has a name too
    // A message never overtakes one kept before it for the same system id.
    const bool keep = origin == OutboxOrigin::Message && connection.IsNamed() &&
                      (session.outbox.Waiting() >= COutbox::kMaxWaiting ||
                       (!m_kept.Empty() && m_kept.Count(connection.Name()) > 0));
    item.pdu = keep ? std::vector<uint8_t>() : session.outbox.TakeBuffer();
    if (wholePdu) {
        item.pdu.assign(body, body + length);
    } else {
        item.pdu.resize(kHeaderSize + length);
        WriteBe32(item.pdu.data() + kLengthOffset, static_cast<uint32_t>(item.pdu.size()));
        WriteBe32(item.pdu.data() + kIdOffset, commandId);
        WriteBe32(item.pdu.data() + kStatusOffset, kStatusOk);
        if (length > 0)
            std::memcpy(item.pdu.data() + kHeaderSize, body, length);
    }
    if (keep) {
        // The outbox of a receiver this far behind holds no more: the store keeps the rest, in
        // order, with its limit and validity, and hands them over as the outbox drains.
        Tell(connection.Name(), item, DeliveryTry::Outcome::Kept, std::nullopt, false, true);
        m_kept.SetScheduler(Scheduler());
        m_kept.Keep(connection.Name(), std::move(item));
        return 0;
    }
    return session.outbox.Post(std::move(item));
}

bool CSmppServer::Transmit(CConnection& connection, OutboxItem& item) {
    return SendAndCapture(connection, item.pdu.data(), static_cast<uint32_t>(item.pdu.size()),
                          ServerPduOf(item.commandId).filterIndex);
}

void CSmppServer::Told(CConnection& connection, OutboxItem& item, const OutboxEvent& event) {
    using Kind = OutboxEvent::Kind;
    using Outcome = DeliveryTry::Outcome;
    if (item.origin == OutboxOrigin::Session) {
        if (event.kind == Kind::Delivered)
            TakeSessionAnswer(connection, item.commandId);
        return;
    }
    if (item.origin == OutboxOrigin::Generated) {
        if (event.kind == Kind::Delivered && m_generatedSink)
            m_generatedSink(connection.Id(), *event.status);
        return;
    }
    const bool closed = event.why == OutboxEvent::Why::Closed;
    const bool forgotten = event.why == OutboxEvent::Why::Forgotten;
    if (event.kind == Kind::Delivered || event.kind == Kind::Undeliverable)
        ReleaseKept(connection); // a message ended: room for what is still kept for this system id
    switch (event.kind) {
    case Kind::Sent: return Tell(connection.Name(), item, Outcome::Sent);
    case Kind::Again: return Tell(connection.Name(), item, Outcome::Again, event.status, false, false, event.againInMs);
    case Kind::Delivered: return Tell(connection.Name(), item, Outcome::Delivered, event.status);
    case Kind::Undeliverable:
        return Tell(connection.Name(), item, Outcome::Undeliverable, event.status, closed, forgotten);
    }
}

void CSmppServer::Tell(std::string_view systemId, const OutboxItem& item, DeliveryTry::Outcome outcome,
                       std::optional<uint32_t> status, bool closed, bool forgotten, int64_t againInMs) {
    if (!m_listener)
        return;
    m_listener->OnDelivery({outcome, item.commandId, std::string_view(item.messageId.data()), systemId, item.tag,
                            item.tryNumber, item.tries, status, closed, forgotten, againInMs});
}

uint32_t CSmppServer::SendOwed(uint64_t preferred, const std::string& systemId, uint32_t commandId,
                               const std::vector<uint8_t>& body, uint64_t tag) {
    CConnection* to = FindConnection(preferred);
    if (!to || to->IsClosing() || !MayReceive(BindKindOf(*to))) {
        to = nullptr;
        ForEachConnection([&](CConnection& connection) {
            if (!to && !connection.IsClosing() && systemId == connection.Name() && MayReceive(BindKindOf(connection)))
                to = &connection;
        });
    }
    if (to)
        return Post(*to, commandId, OutboxOrigin::Message, body.data(), body.size(), tag);
    if (systemId.empty())
        return 0;
    OutboxItem item;
    item.commandId = commandId;
    item.tag = tag;
    item.tries = TriesOf(m_retry, commandId, OutboxOrigin::Message);
    item.pdu.resize(kHeaderSize + body.size());
    WriteBe32(item.pdu.data() + kLengthOffset, static_cast<uint32_t>(item.pdu.size()));
    WriteBe32(item.pdu.data() + kIdOffset, commandId);
    std::copy(body.begin(), body.end(), item.pdu.begin() + kHeaderSize);
    IssueDeliveryId(item.messageId);
    Tell(systemId, item, DeliveryTry::Outcome::Kept);
    m_kept.SetScheduler(Scheduler());
    m_kept.Keep(systemId, std::move(item));
    return 0;
}

void CSmppServer::ReleaseKept(CConnection& connection) {
    Session& session = SessionOf(connection);
    if (m_kept.Empty() || connection.IsClosing() || session.closed || !MayReceive(BindKindOf(connection)))
        return;
    // No more than half of what the outbox holds waiting: the rest follows as answers make room.
    constexpr std::size_t kShare = COutbox::kMaxWaiting / 2;
    const std::string systemId = connection.Name();
    for (OutboxItem& item : m_kept.Take(systemId, kShare - std::min(session.outbox.Waiting(), kShare))) {
        Tell(systemId, item, DeliveryTry::Outcome::Released);
        session.outbox.Post(std::move(item));
    }
}

void CSmppServer::KeptExpired(const std::string& systemId, OutboxItem& item, CKeptMessages::Expiry why) {
    Tell(systemId, item, DeliveryTry::Outcome::Expired, std::nullopt, false, why == CKeptMessages::Expiry::Limit);
}

void CSmppServer::ApplyOutboxSettings(CConnection& connection) {
    Session& session = SessionOf(connection);
    session.outbox.SetTiming({int64_t(std::max(1, m_sessions.responseTimeoutSeconds)) * 1000, m_retry.backoffMs});
    session.outbox.SetWindow(std::size_t(session.window > 0 ? session.window : std::max(m_retry.window, 1)));
}

void CSmppServer::SetRetry(const RetryPolicy& policy) {
    m_retry = policy;
    ForEachConnection([this](CConnection& connection) { ApplyOutboxSettings(connection); });
}

void CSmppServer::SetStoreLimits(const StoreLimits& limits) {
    m_limits = limits;
    m_kept.SetValidityMs(int64_t(limits.pendingValiditySeconds) * 1000);
    m_kept.SetLimit(std::size_t(std::max(limits.pendingLimit, 1)));
}

std::vector<CSmppServer::QueueDepth> CSmppServer::QueueDepths() const {
    std::vector<QueueDepth> depths;
    const auto depthOf = [&depths](const std::string& systemId) -> QueueDepth& {
        const auto found = std::lower_bound(depths.begin(), depths.end(), systemId,
                                            [](const QueueDepth& d, const std::string& id) { return d.systemId < id; });
        if (found != depths.end() && found->systemId == systemId)
            return *found;
        return *depths.insert(found, QueueDepth{systemId});
    };
    for (const auto& [systemId, count] : m_kept.Counts())
        depthOf(systemId).kept = count;
    ForEachConnection([&](const CConnection& connection) {
        const COutbox& outbox = SessionOf(connection).outbox;
        if (!connection.IsNamed() || (outbox.Waiting() == 0 && outbox.Unanswered() == 0))
            return;
        QueueDepth& depth = depthOf(connection.Name());
        depth.waiting += outbox.Waiting();
        depth.unanswered += outbox.Unanswered();
    });
    return depths;
}
