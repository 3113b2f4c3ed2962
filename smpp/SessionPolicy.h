// The SMPP server's session policy, as an SMSC runs it: the accounts a bind must match, the window
// of answers held back, and the timers (the SMSC's enquire_link, the bind time-out, the user's unbind).
#pragma once

#include "engine/SocketServer.h"
#include "smpp/Accounts.h"
#include "smpp/ServerOutbox.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace smpp {

enum class UnbindResult { Sent, NotBound, Gone };

class CSessionPolicy {
public:
    using Print = std::function<void(std::string_view line)>;

    CSessionPolicy(CSocketServer& server, CServerOutbox& outbox, Print print);

    // As CSmppServer's functions of the same names say.
    bool SetAccounts(const std::vector<Account>& list);
    const std::vector<Account>& Accounts() const { return m_accounts; }
    void SetSettings(const SessionSettings& settings);
    const SessionSettings& Settings() const { return m_settings; }

    // The status that refuses a bind (said on the console), 0 to accept it under *account (none
    // when there are no accounts).
    uint32_t CheckBind(const CConnection& connection, uint32_t bindCommandId, const uint8_t* body, int32_t bodyLength,
                       std::string_view systemId, const Account** account);
    // Whether the connection's window is full for a request: one answer too many held back. Only
    // message operations queue at an SMSC; a bind, enquire_link or unbind is always answered.
    static bool WindowFull(const CConnection& connection, bool messageOperation);

    // A new connection: closed unless it binds within the bind time-out.
    void Accepted(CConnection& connection);
    // The SMSC's own enquire_link, every interval from now while this bind lasts.
    void StartLinkChecks(CConnection& connection);
    UnbindResult Unbind(uint64_t id);
    // The ESME answered an enquire_link or unbind of ours.
    void TakeSessionAnswer(CConnection& connection, uint32_t commandId);

private:
    void EnquireLink(uint64_t id, uint64_t run);
    void CloseIfUnbound(uint64_t id, int32_t seconds);

    CSocketServer& m_server;
    CServerOutbox& m_outbox;
    Print m_print;
    std::vector<Account> m_accounts;
    std::vector<std::vector<accounts::Block>> m_allowedBlocks; // by account
    SessionSettings m_settings;
};

} // namespace smpp
