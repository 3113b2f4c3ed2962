// CSmppServer's sessions as an SMSC runs them: accounts that binds must match, the window of answers
// held back, and the timers (the SMSC's enquire_link, the bind time-out, the user's unbind).
#include "smpp/SmppServer.h"

#include "protocol/SmppStatus.h"
#include "smpp/BodyReader.h"

#include <algorithm>
#include <string>

using namespace smpp;

uint8_t smpp::AccountBitOf(BindKind kind) {
    switch (kind) {
    case BindKind::Transmitter: return Account::kTransmitter;
    case BindKind::Receiver: return Account::kReceiver;
    case BindKind::Transceiver: return Account::kTransceiver;
    case BindKind::None: break;
    }
    return 0;
}

namespace {

// Why a bind was refused, for the console: the status's name and what the account said.
struct Refusal {
    uint32_t status;
    const char* why;
};

std::string Seconds(int32_t seconds) { return std::to_string(seconds) + " s"; }

} // namespace

bool CSmppServer::SetAccounts(const std::vector<Account>& list) {
    if (!accounts::Validate(list).isEmpty())
        return false;
    m_accounts = list;
    m_allowedBlocks.clear();
    for (const Account& account : m_accounts) {
        std::vector<accounts::Block> blocks;
        for (const QString& address : account.allowedAddresses)
            blocks.push_back(*accounts::ParseBlock(address));
        m_allowedBlocks.push_back(std::move(blocks));
    }
    return true;
}

uint32_t CSmppServer::CheckAccount(const CConnection& connection, const Request& request, std::string_view systemId,
                                   const Account** account) {
    *account = nullptr;
    if (m_accounts.empty())
        return kStatusOk;
    const auto found = std::find_if(m_accounts.begin(), m_accounts.end(), [&](const Account& a) {
        return a.systemId.toStdString() == systemId;
    });
    const size_t at = size_t(found - m_accounts.begin());
    Refusal refusal{kStatusOk, ""};
    if (connection.IsNamed()) {
        refusal = {kStatusAlreadyBound, "already bound"};
    } else if (found == m_accounts.end()) {
        refusal = {kStatusInvalidSystemId, "no account has this system id"};
    } else if (found->password.toStdString() != BindPassword(request.body, request.bodyLength)) {
        refusal = {kStatusInvalidPassword, "wrong password"};
    } else if ((found->bindTypes & AccountBitOf(KindOfBind(request.row.commandId))) == 0) {
        refusal = {kStatusBindFailed, "the account does not allow this bind type"};
    } else if (!m_allowedBlocks[at].empty() &&
               std::none_of(m_allowedBlocks[at].begin(), m_allowedBlocks[at].end(), [&](const accounts::Block& b) {
                   return (connection.PeerAddress() & b.mask) == b.network;
               })) {
        refusal = {kStatusBindFailed, "the account does not allow this address"};
    } else if (found->maxBinds > 0) {
        int bound = 0;
        ForEachConnection([&](const CConnection& other) {
            if (&other != &connection && !other.IsClosing() && systemId == other.Name())
                ++bound;
        });
        if (bound >= found->maxBinds)
            refusal = {kStatusBindFailed, "the account's binds are all in use"};
    }
    if (refusal.status == kStatusOk) {
        *account = &*found;
        return kStatusOk;
    }
    NotifyPrint(std::string("Bind refused [").append(std::to_string(PositionOf(connection))).append("] (")
                    .append(systemId).append("): ").append(refusal.why).append(" (")
                    .append(protocol::smpp::StatusName(refusal.status)).append(")\r\n"));
    return refusal.status;
}

bool CSmppServer::WindowFull(const CConnection& connection, const DispatchRow& row) const {
    // Only message operations queue at an SMSC; a bind, enquire_link or unbind is always answered.
    const bool messageOperation = row.needsBind && row.commandId != kUnbind && row.commandId != kEnquireLink;
    const Session& session = SessionOf(connection);
    return messageOperation && session.window > 0 && session.held >= session.window && connection.IsNamed();
}

void CSmppServer::SetSessionSettings(const SessionSettings& settings) {
    m_sessions = settings;
    SetIdleTimeout(settings.inactivitySeconds);
    ForEachConnection([this](CConnection& connection) {
        ApplyOutboxSettings(connection);
        StartLinkChecks(connection);
    });
}

void CSmppServer::StartLinkChecks(CConnection& connection) {
    Session& session = SessionOf(connection);
    const uint64_t run = ++session.linkRun;
    session.enquireSequence = 0;
    const int32_t seconds = session.enquireLinkSeconds.value_or(m_sessions.enquireLinkSeconds);
    if (seconds <= 0 || !connection.IsNamed() || connection.IsClosing())
        return;
    const uint64_t id = connection.Id();
    Scheduler().After(int64_t(seconds) * 1000, this, [this, id, run] { EnquireLink(id, run); });
}

void CSmppServer::EnquireLink(uint64_t id, uint64_t run) {
    CConnection* connection = FindConnection(id);
    if (!connection || connection->IsClosing() || SessionOf(*connection).linkRun != run)
        return;
    Session& session = SessionOf(*connection);
    // One at a time: while the last is unanswered its time-out decides.
    if (session.enquireSequence == 0) {
        const uint32_t sequence = SendRequest(*connection, kEnquireLink, {}, 0);
        session.enquireSequence = sequence;
        const int32_t timeout = m_sessions.responseTimeoutSeconds;
        if (sequence != 0 && timeout > 0) {
            Scheduler().After(int64_t(timeout) * 1000, this, [this, id, sequence, timeout] {
                CConnection* waiting = FindConnection(id);
                if (waiting && SessionOf(*waiting).enquireSequence == sequence)
                    CloseConnection(*waiting, "no enquire_link_resp within " + Seconds(timeout));
            });
        }
    }
    const int32_t seconds = session.enquireLinkSeconds.value_or(m_sessions.enquireLinkSeconds);
    if (seconds > 0)
        Scheduler().After(int64_t(seconds) * 1000, this, [this, id, run] { EnquireLink(id, run); });
}

void CSmppServer::CloseIfUnbound(uint64_t id, int32_t seconds) {
    if (CConnection* connection = FindConnection(id); connection && !connection->IsNamed())
        CloseConnection(*connection, "not bound within " + Seconds(seconds) + " of connecting");
}

CSmppServer::UnbindResult CSmppServer::UnbindConnection(uint64_t id) {
    CConnection* connection = FindConnection(id);
    if (!connection || connection->IsClosing())
        return UnbindResult::Gone;
    if (!connection->IsNamed())
        return UnbindResult::NotBound;
    if (SendRequest(*connection, kUnbind, {}, 0) == 0)
        return UnbindResult::Gone;
    const int32_t timeout = std::max(1, m_sessions.responseTimeoutSeconds);
    Scheduler().After(int64_t(timeout) * 1000, this, [this, id, timeout] {
        if (CConnection* waiting = FindConnection(id))
            CloseConnection(*waiting, "no unbind_resp within " + Seconds(timeout));
    });
    return UnbindResult::Sent;
}

void CSmppServer::TakeSessionAnswer(CConnection& connection, uint32_t commandId) {
    if (commandId == kUnbind)
        return CloseConnection(connection, "unbound by the user");
    SessionOf(connection).enquireSequence = 0;
}
