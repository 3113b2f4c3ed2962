// The SMPP server's session policy: accounts that binds must match, the window of answers held
// back, and the timers (the SMSC's enquire_link, the bind time-out, the user's unbind).
#include "smpp/SessionPolicy.h"

#include "protocol/SmppStatus.h"
#include "smpp/BodyReader.h"
#include "smpp/SmppPdu.h"

#include <algorithm>
#include <string>

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

CSessionPolicy::CSessionPolicy(CSocketServer& server, CServerOutbox& outbox, Print print)
    : m_server(server), m_outbox(outbox), m_print(std::move(print)) {}

bool CSessionPolicy::SetAccounts(const std::vector<Account>& list) {
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

uint32_t CSessionPolicy::CheckBind(const CConnection& connection, uint32_t bindCommandId, const uint8_t* body,
                                   int32_t bodyLength, std::string_view systemId, const Account** account) {
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
    } else if (found->password.toStdString() != BindPassword(body, bodyLength)) {
        refusal = {kStatusInvalidPassword, "wrong password"};
    } else if ((found->bindTypes & AccountBitOf(KindOfBind(bindCommandId))) == 0) {
        refusal = {kStatusBindFailed, "the account does not allow this bind type"};
    } else if (!m_allowedBlocks[at].empty() &&
               std::none_of(m_allowedBlocks[at].begin(), m_allowedBlocks[at].end(), [&](const accounts::Block& b) {
                   return (connection.PeerAddress() & b.mask) == b.network;
               })) {
        refusal = {kStatusBindFailed, "the account does not allow this address"};
    } else if (found->maxBinds > 0) {
        int bound = 0;
        m_server.ForEachConnection([&](const CConnection& other) {
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
    m_print(std::string("Bind refused [").append(std::to_string(m_server.PositionOf(connection))).append("] (")
                    .append(systemId).append("): ").append(refusal.why).append(" (")
                    .append(protocol::smpp::StatusName(refusal.status)).append(")\r\n"));
    return refusal.status;
}

bool CSessionPolicy::WindowFull(const CConnection& connection, bool messageOperation) {
    const SmppSession& session = SmppSession::Of(connection);
    return messageOperation && session.window > 0 && session.held >= session.window && connection.IsNamed();
}

void CSessionPolicy::SetSettings(const SessionSettings& settings) {
    m_settings = settings;
    m_server.SetIdleTimeout(settings.inactivitySeconds);
    m_outbox.SetResponseTimeout(settings.responseTimeoutSeconds);
    m_server.ForEachConnection([this](CConnection& connection) {
        m_outbox.ApplySettings(connection);
        StartLinkChecks(connection);
    });
}

void CSessionPolicy::StartLinkChecks(CConnection& connection) {
    SmppSession& session = SmppSession::Of(connection);
    const uint64_t run = ++session.linkRun;
    session.enquireSequence = 0;
    const int32_t seconds = session.enquireLinkSeconds.value_or(m_settings.enquireLinkSeconds);
    if (seconds <= 0 || !connection.IsNamed() || connection.IsClosing())
        return;
    const uint64_t id = connection.Id();
    m_server.Scheduler().After(int64_t(seconds) * 1000, &m_server, [this, id, run] { EnquireLink(id, run); });
}

void CSessionPolicy::EnquireLink(uint64_t id, uint64_t run) {
    CConnection* connection = m_server.FindConnection(id);
    if (!connection || connection->IsClosing() || SmppSession::Of(*connection).linkRun != run)
        return;
    SmppSession& session = SmppSession::Of(*connection);
    // One at a time: while the last is unanswered its time-out decides.
    if (session.enquireSequence == 0) {
        const uint32_t sequence = m_outbox.SendRequest(*connection, kEnquireLink, {}, 0);
        session.enquireSequence = sequence;
        const int32_t timeout = m_settings.responseTimeoutSeconds;
        if (sequence != 0 && timeout > 0) {
            m_server.Scheduler().After(int64_t(timeout) * 1000, &m_server, [this, id, sequence, timeout] {
                CConnection* waiting = m_server.FindConnection(id);
                if (waiting && SmppSession::Of(*waiting).enquireSequence == sequence)
                    m_server.CloseConnection(*waiting, "no enquire_link_resp within " + Seconds(timeout));
            });
        }
    }
    const int32_t seconds = session.enquireLinkSeconds.value_or(m_settings.enquireLinkSeconds);
    if (seconds > 0)
        m_server.Scheduler().After(int64_t(seconds) * 1000, &m_server, [this, id, run] { EnquireLink(id, run); });
}

void CSessionPolicy::CloseIfUnbound(uint64_t id, int32_t seconds) {
    if (CConnection* connection = m_server.FindConnection(id); connection && !connection->IsNamed())
        m_server.CloseConnection(*connection, "not bound within " + Seconds(seconds) + " of connecting");
}

UnbindResult CSessionPolicy::Unbind(uint64_t id) {
    CConnection* connection = m_server.FindConnection(id);
    if (!connection || connection->IsClosing())
        return UnbindResult::Gone;
    if (!connection->IsNamed())
        return UnbindResult::NotBound;
    if (m_outbox.SendRequest(*connection, kUnbind, {}, 0) == 0)
        return UnbindResult::Gone;
    const int32_t timeout = std::max(1, m_settings.responseTimeoutSeconds);
    m_server.Scheduler().After(int64_t(timeout) * 1000, &m_server, [this, id, timeout] {
        if (CConnection* waiting = m_server.FindConnection(id))
            m_server.CloseConnection(*waiting, "no unbind_resp within " + Seconds(timeout));
    });
    return UnbindResult::Sent;
}

void CSessionPolicy::TakeSessionAnswer(CConnection& connection, uint32_t commandId) {
    if (commandId == kUnbind)
        return m_server.CloseConnection(connection, "unbound by the user");
    SmppSession::Of(connection).enquireSequence = 0;
}

void CSessionPolicy::Accepted(CConnection& connection) {
    if (const int32_t seconds = m_settings.bindTimeoutSeconds; seconds > 0) {
        const uint64_t id = connection.Id();
        m_server.Scheduler().After(int64_t(seconds) * 1000, &m_server,
                                   [this, id, seconds] { CloseIfUnbound(id, seconds); });
    }
}
