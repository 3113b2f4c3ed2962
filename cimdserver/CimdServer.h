// The CIMD2 server: clients log in (01) and out (02), keep their session alive (40), submit (03), enquire
// (04) after and cancel (06) the messages they submitted.
#pragma once

#include "cimd/Cimd.h"
#include "engine/FramedServer.h"
#include "protocol/CaptureFilter.h"
#include "smpp/Accounts.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace cimd_server {

inline constexpr uint16_t kProtocolCode = protocol::kCimd2;
inline constexpr int32_t kFilterIndex = protocol::filter::kCimd;
// Messages a connection submitted that an enquiry or a cancel may still name; older ones are forgotten.
inline constexpr std::size_t kRemembered = 1024;
inline constexpr std::size_t kMaxAddressDigits = 20;
// What user data holds at most: GSM characters (text) or octets with the user data header (binary).
inline constexpr std::size_t kMaxCharacters = 160;
inline constexpr std::size_t kMaxOctets = 140;

// A message a session submitted and was answered for.
struct Submitted {
    std::string destination, originator;
    std::string timestamp; // the 060 the answer carried: with the destination it names the message
    bool statusReport = false; // 056 asked for one
    std::u32string text;       // 033, its escapes read
    std::vector<uint8_t> binary, header; // 034 and 030
};

} // namespace cimd_server

// Told by the CIMD2 server of the messages sessions submit. Not owned; every call comes on the UI thread.
class CCimdMessageListener {
public:
    virtual ~CCimdMessageListener() = default;
    virtual void OnCimdSubmitted(const CConnection& /*connection*/, const cimd_server::Submitted& /*message*/) {}
};

// A CFramedServer that speaks CIMD2 on the UI thread. A packet whose header reads is answered on its number:
// its operation's response, 98 (900 = 1) for an operation the SMSC does not take, 99 for one that does not
// read; one whose header does not read closes the connection. Accounts, when there are any, check the login's
// user identity and password and must have passed before a message is taken. Observers and the capture log
// are optional, not owned.
class CCimdServer : public CFramedServer {
public:
    explicit CCimdServer(QObject* parent = nullptr);

    // Starts listening, then prints "CIMD2 server start ok! (port = N)" or "fail" to the observers.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);

    void SetAccounts(std::vector<Account> accounts) { m_accounts = std::move(accounts); }
    void SetMessageListener(CCimdMessageListener* listener) { m_listener = listener; }

    std::string SessionKind(const CConnection& connection) const override;

protected:
    void OnAccept(CConnection& connection) override;
    void HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) override;
    void HandleBadLength(CConnection& connection, const uint8_t* header) override;
    void HandleNotFrame(CConnection& connection, const uint8_t* octets, uint32_t length, wire::FrameFault fault) override;

private:
    struct Session : CConnectionSession {
        bool loggedIn = false;
        std::deque<std::pair<std::string, std::string>> submitted; // destination and 060, newest last
    };

    void Operate(CConnection& connection, const cimd::Packet& packet);
    void Login(CConnection& connection, const cimd::Packet& packet);
    void Submit(CConnection& connection, const cimd::Packet& packet);
    // An enquiry (04) or a cancel (06) of a message this connection submitted, named by 021 and 060.
    void Find(CConnection& connection, const cimd::Packet& packet);
    // The reason a login is refused, empty when it passes.
    std::string LoginRefusal(const CConnection& connection, const cimd::Packet& packet) const;
    void Reply(CConnection& connection, const std::string& packet);
    // The operation's response carrying 900 = error.
    void Refuse(CConnection& connection, const cimd::Packet& packet, uint16_t error);
    // yyMMddhhmmss of now, one second past the last one given when that is not earlier: a 060 names one message.
    std::string NextTimestamp();

    CCimdMessageListener* m_listener = nullptr;
    std::vector<Account> m_accounts;
    int64_t m_lastTimestamp = 0;
};
