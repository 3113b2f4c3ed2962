// The CIMD2 server: clients log in (01) and out (02), keep their session alive (40), submit (03), enquire
// (04) after and cancel (06) the messages they submitted, and are sent the messages for their user identity
// (20) and the status reports they asked for (23).
#pragma once

#include "cimd/Cimd.h"
#include "protocol/CaptureFilter.h"
#include "textserver/TextServer.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace cimd_server {

inline constexpr uint16_t kProtocolCode = protocol::kCimd2;
inline constexpr int32_t kFilterIndex = protocol::filter::kCimd;
// Operations of ours a session has not answered yet: one per even packet number, 000 to 254.
inline constexpr std::size_t kWindow = 128;
// Messages a connection submitted that an enquiry or a cancel may still name; older ones are forgotten.
inline constexpr std::size_t kRemembered = 1024;
inline constexpr std::size_t kMaxAddressDigits = 20;
// What user data holds at most: GSM characters (text) or octets with the user data header (binary).
inline constexpr std::size_t kMaxCharacters = 160;
inline constexpr std::size_t kMaxOctets = 140;

// The message of a 03 or a 20: GSM text (033), or octets (034) with their data coding scheme (030); a user data
// header (032) with either.
using Content = text_server::Content;

// A message a session submitted and was answered for.
struct Submitted {
    std::string destination, originator;
    std::string timestamp; // the 060 the answer carried: with the destination it names the message
    bool statusReport = false; // 056 asked for one
    Content content;
};

// A status report (23) for a message the SMSC answered with timestamp: to its submitter, on the destination
// it named.
struct StatusReport {
    std::string destination, timestamp;
    uint8_t status = cimd::status::kDeliverySuccessful; // 061
    uint16_t error = 0;                                   // 062, sent when not 0
};

} // namespace cimd_server

// Told by the CIMD2 server of the messages sessions submit and of the responses to our 20 and 23. Not owned;
// every call comes on the UI thread.
class CCimdMessageListener {
public:
    virtual ~CCimdMessageListener() = default;
    virtual void OnCimdSubmitted(const CConnection& /*connection*/, const cimd_server::Submitted& /*message*/) {}
    // A response to an operation DeliverTo sent under tag (a 98 or a 900 with its code), or none in time.
    virtual void OnCimdAnswered(uint64_t /*tag*/, const text_server::Result& /*result*/) {}
};

// A CTextServer that speaks CIMD2 on the UI thread. A packet whose header reads is answered on its number:
// its operation's response, 98 (900 = 1) for an operation the SMSC does not take, 99 for one that does not
// read; one whose header does not read closes the connection. The server numbers its own 20 and 23 even, one
// number per slot of its window, and pairs 70, 73 and a 98 or 99 on that number with them. Accounts, when
// there are any, check the login's user identity and password and must have passed before a message is
// taken. Observers and the capture log are optional, not owned.
class CCimdServer : public CTextServer {
public:
    explicit CCimdServer(QObject* parent = nullptr);

    void SetMessageListener(CCimdMessageListener* listener) { m_listener = listener; }

    // A 20 to every session logged in as `to`, from `from` (026, alphanumeric, when not an address). Returns
    // how many sessions took it (sent, or waiting behind a full window).
    int DeliverTo(const std::string& to, const std::string& from, const cimd_server::Content& content, uint64_t tag = 0);
    // A 23 on the connection the message came from, else on another session of the same login, else kept
    // until login logs in again.
    text_server::Delivery Report(uint64_t connectionId, const std::string& login, const cimd_server::StatusReport& report);

protected:
    std::unique_ptr<Session> NewSession() const override { return std::make_unique<CimdSession>(); }
    void Serve(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided) override;
    void HandleBadChecksum(CConnection& connection, const uint8_t* octets, uint32_t length) override;
    std::string BuildOperation(std::size_t slot, const text_server::Outgoing& operation) const override;
    void Answered(uint64_t tag, const text_server::Result& result) override;

private:
    struct CimdSession : Session {
        std::deque<std::pair<std::string, std::string>> submitted; // destination and 060, newest last
    };

    // A login or a submit: the fault rules have their say first.
    void ServeUnderFaults(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided,
                          const cimd::Packet& packet);
    void Operate(CConnection& connection, const cimd::Packet& packet);
    void Login(CConnection& connection, const cimd::Packet& packet);
    void Submit(CConnection& connection, const cimd::Packet& packet);
    // An enquiry (04) or a cancel (06) of a message this connection submitted, named by 021 and 060.
    void Find(CConnection& connection, const cimd::Packet& packet);
    // A 70, 73, 98 or 99 on the number of an operation of ours.
    void TakeResponse(CConnection& connection, const cimd::Packet& packet);
    // The operation's response carrying 900 = error.
    void Refuse(CConnection& connection, const cimd::Packet& packet, uint16_t error);
    // yyMMddhhmmss of a time stamp unique per message: a 060 names one message.
    std::string NextTimestamp();

    CCimdMessageListener* m_listener = nullptr;
};
