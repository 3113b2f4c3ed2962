// The outbox owner: delivery of the PDUs the SMPP server starts. Each connection's outbox sends them
// through its window, and a message owed to a system id with no receiver bound is kept until one binds.
#include "smpp/ServerOutbox.h"

#include "protocol/SmppFields.h"
#include "protocol/SmppValues.h"
#include "smpp/MessageBody.h"
#include "smpp/SmppPdu.h"

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

SmppSession::SmppSession(CServerOutbox& owner, CConnection& connection)
    : owner(owner), connection(connection), outbox(owner.Scheduler(), *this) {}

bool SmppSession::Transmit(OutboxItem& item) { return owner.Transmit(connection, item); }

void SmppSession::Told(OutboxItem& item, const OutboxEvent& event) { owner.Told(connection, item, event); }

CServerOutbox::CServerOutbox(CSocketServer& server, CMessageIds& ids, Send send)
    : m_server(server), m_ids(ids), m_send(std::move(send)), m_kept(server.Scheduler()) {
    m_kept.SetExpirySink([this](const std::string& systemId, OutboxItem& item, CKeptMessages::Expiry why) {
        KeptExpired(systemId, item, why);
    });
}

uint32_t CServerOutbox::Post(CConnection& connection, uint32_t commandId, OutboxOrigin origin, const uint8_t* body,
                           std::size_t length, uint64_t tag, bool wholePdu) {
    SmppSession& session = SmppSession::Of(connection);
    if (connection.IsClosing() || session.closed)
        return 0;
    OutboxItem item;
    item.commandId = commandId;
    item.origin = origin;
    item.answered = ServerPduOf(commandId).answered;
    item.tag = tag;
    item.tries = TriesOf(m_retry, commandId, origin);
    if (origin == OutboxOrigin::Message)
        m_ids.IssueDelivery(item.messageId); // now, so that one forgotten before it is sent has a name too
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
        m_kept.SetScheduler(m_server.Scheduler());
        m_kept.Keep(connection.Name(), std::move(item));
        return 0;
    }
    return session.outbox.Post(std::move(item));
}

namespace {

// What goes to a session of SMPP 3.3 or earlier is written as 3.3 has it, whatever was posted or kept for
// its system id: no optional parameter, and a deliver_sm where a data_sm was meant, its message in
// short_message (as much of it as sm_length counts). A body the reader cannot take goes as it is.
void WriteFor33(OutboxItem& item) {
    if (item.commandId != kDeliverSm && item.commandId != kDataSm)
        return;
    DeliverFields fields;
    if (item.pdu.size() < kHeaderSize ||
        !ReadMessageBody(item.commandId, item.pdu.data() + kHeaderSize, item.pdu.size() - kHeaderSize, fields))
        return;
    if (item.commandId == kDeliverSm && fields.tlvs.empty() && !fields.messagePayload)
        return;
    fields.tlvs.clear();
    fields.messagePayload = false;
    if (fields.message.size() > protocol::smpp::kMaxShortMessageOctets)
        fields.message.resize(protocol::smpp::kMaxShortMessageOctets);
    const uint32_t sequence = ReadBe32(item.pdu.data() + kSequenceOffset);
    item.commandId = kDeliverSm;
    WriteMessagePdu(kDeliverSm, fields, item.pdu);
    WriteBe32(item.pdu.data() + kSequenceOffset, sequence);
}

} // namespace

bool CServerOutbox::Transmit(CConnection& connection, OutboxItem& item) {
    if (!protocol::smpp::interface_version::TakesTlvs(SmppSession::Of(connection).version))
        WriteFor33(item);
    return m_send(connection, item.pdu.data(), static_cast<uint32_t>(item.pdu.size()),
                          ServerPduOf(item.commandId).filterIndex);
}

void CServerOutbox::Told(CConnection& connection, OutboxItem& item, const OutboxEvent& event) {
    using Kind = OutboxEvent::Kind;
    using Outcome = DeliveryTry::Outcome;
    if (item.origin == OutboxOrigin::Session) {
        if (event.kind == Kind::Delivered)
            if (m_sessionAnswer)
                m_sessionAnswer(connection, item.commandId);
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

void CServerOutbox::Tell(std::string_view systemId, const OutboxItem& item, DeliveryTry::Outcome outcome,
                       std::optional<uint32_t> status, bool closed, bool forgotten, int64_t againInMs) {
    if (!m_listener)
        return;
    m_listener->OnDelivery({outcome, item.commandId, std::string_view(item.messageId.data()), systemId, item.tag,
                            item.tryNumber, item.tries, status, closed, forgotten, againInMs});
}

CConnection* CServerOutbox::OwedTo(uint64_t preferred, const std::string& systemId) const {
    CConnection* to = m_server.FindConnection(preferred);
    if (to && !to->IsClosing() && smpp::MayReceive(BindKindOf(*to)))
        return to;
    to = nullptr;
    m_server.ForEachConnection([&](CConnection& connection) {
        if (!to && !connection.IsClosing() && systemId == connection.Name() && smpp::MayReceive(BindKindOf(connection)))
            to = &connection;
    });
    return to;
}

uint32_t CServerOutbox::SendOwed(uint64_t preferred, const std::string& systemId, uint32_t commandId,
                               const std::vector<uint8_t>& body, uint64_t tag) {
    if (CConnection* to = OwedTo(preferred, systemId))
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
    m_ids.IssueDelivery(item.messageId);
    Tell(systemId, item, DeliveryTry::Outcome::Kept);
    m_kept.SetScheduler(m_server.Scheduler());
    m_kept.Keep(systemId, std::move(item));
    return 0;
}

void CServerOutbox::ReleaseKept(CConnection& connection) {
    SmppSession& session = SmppSession::Of(connection);
    if (m_kept.Empty() || connection.IsClosing() || session.closed || !smpp::MayReceive(BindKindOf(connection)))
        return;
    // No more than half of what the outbox holds waiting: the rest follows as answers make room.
    constexpr std::size_t kShare = COutbox::kMaxWaiting / 2;
    const std::string systemId = connection.Name();
    for (OutboxItem& item : m_kept.Take(systemId, kShare - std::min(session.outbox.Waiting(), kShare))) {
        Tell(systemId, item, DeliveryTry::Outcome::Released);
        session.outbox.Post(std::move(item));
    }
}

void CServerOutbox::KeptExpired(const std::string& systemId, OutboxItem& item, CKeptMessages::Expiry why) {
    Tell(systemId, item, DeliveryTry::Outcome::Expired, std::nullopt, false, why == CKeptMessages::Expiry::Limit);
}

void CServerOutbox::ApplySettings(CConnection& connection) {
    SmppSession& session = SmppSession::Of(connection);
    session.outbox.SetTiming({int64_t(std::max(1, m_responseTimeoutSeconds)) * 1000, m_retry.backoffMs});
    session.outbox.SetWindow(std::size_t(session.window > 0 ? session.window : std::max(m_retry.window, 1)));
}

void CServerOutbox::SetRetry(const RetryPolicy& policy) {
    m_retry = policy;
    m_server.ForEachConnection([this](CConnection& connection) { ApplySettings(connection); });
}

void CServerOutbox::SetStoreLimits(const StoreLimits& limits) {
    m_limits = limits;
    m_kept.SetValidityMs(int64_t(limits.pendingValiditySeconds) * 1000);
    m_kept.SetLimit(std::size_t(std::max(limits.pendingLimit, 1)));
}

std::vector<QueueDepth> CServerOutbox::QueueDepths() const {
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
    m_server.ForEachConnection([&](const CConnection& connection) {
        const COutbox& outbox = SmppSession::Of(connection).outbox;
        if (!connection.IsNamed() || (outbox.Waiting() == 0 && outbox.Unanswered() == 0))
            return;
        QueueDepth& depth = depthOf(connection.Name());
        depth.waiting += outbox.Waiting();
        depth.unanswered += outbox.Unanswered();
    });
    return depths;
}

uint32_t CServerOutbox::SendServerPdu(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body,
                                    uint64_t tag) {
    return smpp::MayReceive(BindKindOf(connection)) ? SendRequest(connection, commandId, body, tag) : 0;
}

uint32_t CServerOutbox::SendRequest(CConnection& connection, uint32_t commandId, const std::vector<uint8_t>& body,
                                  uint64_t tag) {
    // The session's own enquire_link and unbind wait for their answer once, their time-outs being
    // the session's; a message is tried as delivery says.
    const OutboxOrigin origin =
        commandId == kEnquireLink || commandId == kUnbind ? OutboxOrigin::Session : OutboxOrigin::Message;
    return Post(connection, commandId, origin, body.data(), body.size(), tag);
}

int CServerOutbox::SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body,
                                int copies, std::vector<uint32_t>* sequences) {
    int sent = 0;
    m_server.ForEachConnection([&](CConnection& connection) {
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

uint32_t CServerOutbox::SendGenerated(uint64_t connectionId, const uint8_t* pdu, uint32_t length) {
    CConnection* connection = m_server.FindConnection(connectionId);
    if (!connection || !smpp::MayReceive(BindKindOf(*connection)) || length < uint32_t(kHeaderSize))
        return 0;
    return Post(*connection, ReadBe32(pdu + kIdOffset), OutboxOrigin::Generated, pdu, length, 0, true);
}

std::size_t CServerOutbox::Room(uint64_t connectionId) const {
    const CConnection* connection = m_server.FindConnection(connectionId);
    return connection && !connection->IsClosing() ? SmppSession::Of(*connection).outbox.Room() : 0;
}

std::size_t CServerOutbox::WindowOf(uint64_t connectionId) const {
    const CConnection* connection = m_server.FindConnection(connectionId);
    return connection ? SmppSession::Of(*connection).outbox.Window() : 0;
}

bool CServerOutbox::MayReceive(uint64_t connectionId) const {
    const CConnection* connection = m_server.FindConnection(connectionId);
    return connection && !connection->IsClosing() && smpp::MayReceive(BindKindOf(*connection));
}
