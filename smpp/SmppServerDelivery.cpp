// CSmppServer's delivery of the PDUs it starts: a deliver_sm the ESME cannot take now, or does not
// answer, is sent again after a growing back-off.
#include "smpp/SmppServer.h"

#include <algorithm>
#include <iterator>

using namespace smpp;

namespace {

// The answers that say the ESME is there but cannot take the message now.
constexpr uint32_t kRetriedStatuses[] = {
    0x00000014, // ESME_RMSGQFUL
    0x00000058, // ESME_RTHROTTLED
    0x00000064, // ESME_RX_T_APPN
};

bool Retried(uint32_t status) {
    return std::find(std::begin(kRetriedStatuses), std::end(kRetriedStatuses), status) != std::end(kRetriedStatuses);
}

// A deliver_sm is tried as the policy says; a data_sm once.
int TriesOf(const RetryPolicy& policy, uint32_t commandId) {
    return commandId == kDeliverSm ? std::max(policy.maxTries, 1) : 1;
}

// backoffMs before the second try, doubled before each one after it, kept within a timer's reach.
int64_t BackOff(const RetryPolicy& policy, int triesMade) {
    const int64_t delay = int64_t(std::max(policy.backoffMs, 0)) << std::clamp(triesMade - 1, 0, 31);
    return std::min<int64_t>(delay, INT32_MAX);
}

} // namespace

uint32_t CSmppServer::Try(CConnection& connection, Pending outgoing) {
    const uint32_t sequence = SendPdu(connection, outgoing.commandId, outgoing.body);
    if (sequence == 0)
        return 0;
    if (outgoing.messageId.empty())
        outgoing.messageId = IssueDeliveryId();
    Tell(connection.Name(), outgoing, DeliveryTry::Outcome::Sent, std::nullopt);
    Scheduler().After(int64_t(std::max(1, m_sessions.responseTimeoutSeconds)) * 1000, this,
                      [this, id = connection.Id(), sequence] { TimeOut(id, sequence); });
    SessionOf(connection).pending.Add(sequence, std::move(outgoing));
    return sequence;
}

void CSmppServer::TimeOut(uint64_t connection, uint32_t sequence) {
    // A closed connection has ended its messages already; an answered try is no longer pending.
    CConnection* open = FindConnection(connection);
    if (!open)
        return;
    if (std::optional<Pending> silent = SessionOf(*open).pending.Settle(sequence))
        Conclude(*open, std::move(*silent), std::nullopt);
}

void CSmppServer::Conclude(CConnection& connection, Pending outgoing, std::optional<uint32_t> status) {
    using Outcome = DeliveryTry::Outcome;
    const int tries = TriesOf(m_retry, outgoing.commandId);
    if (status == kStatusOk)
        return Tell(connection.Name(), outgoing, Outcome::Delivered, status);
    if ((status && !Retried(*status)) || outgoing.tryNumber >= tries)
        return Tell(connection.Name(), outgoing, Outcome::Undeliverable, status);

    const int64_t delay = BackOff(m_retry, outgoing.tryNumber);
    Tell(connection.Name(), outgoing, Outcome::Again, status, false, delay);
    Scheduler().After(delay, this, [this, id = connection.Id(), name = std::string(connection.Name()),
                                    outgoing = std::move(outgoing)] {
        Pending next = outgoing;
        ++next.tryNumber;
        // Only the connection that refused it takes it again: another bind may route differently.
        CConnection* open = FindConnection(id);
        if (open == nullptr || Try(*open, std::move(next)) == 0)
            Tell(name, outgoing, Outcome::Undeliverable, std::nullopt, true);
    });
}

void CSmppServer::Tell(std::string_view systemId, const Pending& outgoing, DeliveryTry::Outcome outcome,
                       std::optional<uint32_t> status, bool closed, int64_t againInMs) {
    if (!m_listener)
        return;
    m_listener->OnDelivery({outcome, outgoing.commandId, outgoing.messageId, systemId, outgoing.tag,
                            outgoing.tryNumber, TriesOf(m_retry, outgoing.commandId), status, closed, againInMs});
}
