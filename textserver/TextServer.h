// What the two text-protocol servers share: the start line under the registry's name, logins against the
// accounts, time stamps unique per message, and the window of operations the server sends.
#pragma once

#include "engine/FramedServer.h"
#include "smpp/Accounts.h"
#include "textserver/TextFaults.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace text_server {

// Operations of ours waiting behind a full window, in order, per session; and those kept for a login no
// session is logged in under. More than this are refused.
inline constexpr std::size_t kMaxWaiting = 1024;
// Logins that may have operations kept for them at once.
inline constexpr std::size_t kMaxKeptLogins = 256;
// How long an operation of ours waits for its result before it counts as unanswered.
inline constexpr int kDefaultResultTimeoutSeconds = 10;

// An operation of ours: its code and fields, given a number when the window has room. A protocol whose
// fields have codes keeps them in codes, one per field; one whose fields go by place leaves it empty.
struct Outgoing {
    uint8_t operation = 0;
    std::vector<std::string> fields;
    std::vector<uint16_t> codes;
    uint64_t tag = 0;
};

// What became of an operation of ours: its result, positive or carrying the protocol's error code, or none
// within the result time-out (the connection closing is no result: the operation is forgotten with it).
enum class Outcome : uint8_t { Positive, Negative, NoAnswer };
struct Result {
    Outcome outcome = Outcome::Positive;
    uint16_t error = 0;

    bool operator==(const Result&) const = default;
};

// A message as the text protocols carry it: GSM text (one code point per septet, an extension character as
// escape and septet), or octets with their data coding; a user data header with either.
struct Content {
    bool binary = false;
    std::vector<uint8_t> septets;
    std::vector<uint8_t> octets;
    std::vector<uint8_t> udh; // its length octet included; empty: none
    uint8_t dcs = 0;
};

// How an operation addressed to a connection or a login fared.
enum class Delivery : uint8_t { Sent, Kept, Refused };

} // namespace text_server

// A CFramedServer for a text protocol on the UI thread. Each connection gets a session that tells whether it
// logged in and holds the operations the server sent it until their results come or the result time-out
// passes: at most `window` of them, numbered by the derived server from their slot, the rest waiting in
// order. An operation for a login no session is logged in under is kept until one logs in. The fault rules
// that name the protocol decide first about every login and message. The derived server reads and answers
// frames, builds its operations' frames, and hears of their results.
class CTextServer : public CFramedServer {
public:
    // Starts listening, then prints "<name> server start ok! (port = N)" or "fail" to the observers, the
    // name the registry's.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);

    void SetAccounts(std::vector<Account> accounts) { m_accounts = std::move(accounts); }
    const std::vector<Account>& Accounts() const { return m_accounts; }
    void SetResultTimeout(int seconds) { m_resultTimeoutMs = int64_t(std::max(1, seconds)) * 1000; }
    int64_t ResultTimeoutMs() const { return m_resultTimeoutMs; }
    CTextFaults& Faults() { return m_faults; }

    // Operations of ours the connection has not answered, and those waiting behind them.
    std::size_t OutstandingCount(const CConnection& connection) const;
    std::size_t WaitingCount(const CConnection& connection) const;

    std::string SessionKind(const CConnection& connection) const override;

protected:
    struct Flight {
        bool busy = false;
        uint64_t tag = 0;
        uint64_t serial = 0; // which send this is, so that a late time-out leaves a reused slot alone
    };
    struct Session : CConnectionSession {
        bool loggedIn = false;
        std::size_t nextSlot = 0;
        std::size_t outstanding = 0; // slots busy
        std::vector<Flight> flights; // one per slot of the window
        std::deque<text_server::Outgoing> waiting;
    };

    CTextServer(uint16_t protocolCode, int32_t filterIndex, std::size_t window, QObject* parent);

    // What the fault rules make of an operation the peer sent. Serve: the server answers it (and closes the
    // connection after, for ServeThenClose); Done: the rules answered it with an error (refuse, with the
    // protocol's error code) or a NACK, dropped it, or hold it for their delay, after which Serve has it again
    // with the rule's decision.
    enum class FaultStep : uint8_t { Serve, ServeThenClose, Done };
    struct Refusals {
        std::function<void(uint32_t)> refuse;
        std::function<void()> nack;
    };
    using Decided = std::optional<CTextFaults::Decision>;
    // A login as name (login), or a message of the connection to destination; decided when the rules were
    // asked already.
    FaultStep ApplyFaults(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided, bool login,
                          std::string_view name, std::string_view destination, const Refusals& refusals);

    // A whole frame the peer sent, captured already; decided is the fault rules' decision when they delayed it.
    virtual void Serve(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided) = 0;
    // A new connection's session; a derived server that keeps more returns its own.
    virtual std::unique_ptr<Session> NewSession() const { return std::make_unique<Session>(); }
    // The frame of an operation of ours sent from slot (0 to window - 1); empty when it cannot be built.
    virtual std::string BuildOperation(std::size_t slot, const text_server::Outgoing& operation) const = 0;
    // A result came, or the time-out passed, for the operation sent under tag.
    virtual void Answered(uint64_t tag, const text_server::Result& result) = 0;
    // A whole frame whose checksum is wrong, captured already: answered or closed as the protocol has it.
    virtual void HandleBadChecksum(CConnection& connection, const uint8_t* octets, uint32_t length) = 0;

    void OnAccept(CConnection& connection) override;
    void HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) final;
    void HandleBadLength(CConnection& connection, const uint8_t* header) override;
    void HandleNotFrame(CConnection& connection, const uint8_t* octets, uint32_t length, wire::FrameFault fault) override;

    bool HasAccounts() const { return !m_accounts.empty(); }
    // Why a login as name with password is refused, empty when it passes; `what` names the login's field.
    std::string LoginRefusal(const CConnection& connection, std::string_view name,
                             const std::optional<std::string>& password, std::string_view what) const;
    // The console line of a refused login, the protocol's error code in brackets.
    void PrintRefusal(const CConnection& connection, std::string_view name, std::string_view refusal, unsigned error);
    // The connection is logged in as name: told to the observers, then sent what was kept for name.
    void LoggedIn(CConnection& connection, const std::string& name);
    void Reply(CConnection& connection, const std::string& frame);

    // The operation to the connection with that id, else to a session logged in as login, else kept for
    // login (when not empty).
    text_server::Delivery SendTo(uint64_t connectionId, const std::string& login, text_server::Outgoing operation);
    // The operation to every session logged in as login; how many took it.
    int SendToLogin(const std::string& login, const text_server::Outgoing& operation);
    // The result to the operation sent from slot: the window's slot is freed and the tag told. False, and
    // nothing done, when no operation of ours is outstanding there.
    bool Settle(CConnection& connection, std::size_t slot, const text_server::Result& result);

    // The local time of now, one second past the last one given when that is not earlier: a time stamp of
    // the server's names one message.
    std::tm NextStamp();

private:
    bool Queue(CConnection& connection, text_server::Outgoing operation);
    void SendWaiting(CConnection& connection);
    void Expire(uint64_t connectionId, std::size_t slot, uint64_t serial);

    const int32_t m_filterIndex;
    const std::size_t m_window;
    std::vector<Account> m_accounts;
    int64_t m_resultTimeoutMs = int64_t(text_server::kDefaultResultTimeoutSeconds) * 1000;
    int64_t m_lastStamp = 0;
    uint64_t m_serial = 0;
    std::map<std::string, std::deque<text_server::Outgoing>> m_kept;
    CTextFaults m_faults;
};
