// The UCP/EMI server: large accounts log in (60), keep their session alive (31), submit (51, 01), and are
// sent the messages for their address (52) and the notifications they asked for (53).
#pragma once

#include "protocol/CaptureFilter.h"
#include "textserver/TextServer.h"
#include "ucp/Ucp.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ucp_server {

inline constexpr uint16_t kProtocolCode = protocol::kUcp;
inline constexpr int32_t kFilterIndex = protocol::filter::kUcp;
// Operations of ours a session has not answered yet: as many as TRN's two digits tell apart.
inline constexpr std::size_t kWindow = 100;
// What AMsg holds at most (GSM characters, an escape counting as one), and TMsg with its header (octets).
inline constexpr std::size_t kMaxSeptets = 160;
inline constexpr std::size_t kMaxOctets = 140;
inline constexpr std::size_t kMaxAddressDigits = 16;

// The message of a 51, 52 or 01: GSM text (MT 3, AMsg), or octets (MT 4, TMsg) with the data coding (XSer 02);
// a user data header in XSer 01 with either.
using Content = text_server::Content;

// A message a session submitted and was answered for.
struct Submitted {
    uint8_t ot = 51;
    std::string adc, oadc; // recipient and originator; an alphanumeric OAdC as its text
    std::string scts;      // the one the answer carried: with AdC it is the message's id
    bool notification = false; // NRq 1: a 53 is owed
    Content content;
};

// A delivery notification (53) for a message the SMSC answered with scts. It comes from the message's recipient
// (OAdC) to its submitter (AdC), the reverse of the submit; peers find the message by OAdC and SCTS.
struct Notification {
    std::string adc, oadc, scts;
    char dst = '0';           // 0 delivered, 1 buffered, 2 not delivered
    std::string rsn = "000";  // the reason code
    std::string text;         // ASCII: the notification's own words
};

} // namespace ucp_server

// Told by the UCP server of the messages sessions submit and of their results to our 52 and 53. Not owned;
// every call comes on the UI thread.
class CUcpMessageListener {
public:
    virtual ~CUcpMessageListener() = default;
    virtual void OnUcpSubmitted(const CConnection& /*connection*/, const ucp_server::Submitted& /*message*/) {}
    // A result to an operation DeliverTo sent under tag (a negative one with its EC), or none in time.
    virtual void OnUcpAnswered(uint64_t /*tag*/, const text_server::Result& /*result*/) {}
};

// A CTextServer that speaks UCP/EMI on the UI thread. A frame whose header reads is answered on its TRN and
// OT (a negative result with the standard's error for what is wrong with it); one whose header does not read
// closes the connection. Each session keeps the operations the server sent it until their results come, at
// most kWindow, each TRN its slot. Accounts, when there are any, check the login's OAdC and PWD and must have
// passed before a message is taken. Observers and the capture log are optional, not owned.
class CUcpServer : public CTextServer {
public:
    explicit CUcpServer(QObject* parent = nullptr);

    void SetMessageListener(CUcpMessageListener* listener) { m_listener = listener; }

    // A 52 to every session logged in as `to`, from `from` (alphanumeric when not all digits). Returns how
    // many sessions took it (sent, or waiting behind a full window).
    int DeliverTo(const std::string& to, const std::string& from, const ucp_server::Content& content, uint64_t tag = 0);
    // A 53 on the connection the message came from, else on another session of the same login, else kept
    // until login logs in again.
    text_server::Delivery Notify(uint64_t connectionId, const std::string& login,
                                 const ucp_server::Notification& notification);

protected:
    void Serve(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided) override;
    void HandleBadChecksum(CConnection& connection, const uint8_t* octets, uint32_t length) override;
    std::string BuildOperation(std::size_t slot, const text_server::Outgoing& operation) const override;
    void Answered(uint64_t tag, const text_server::Result& result) override;

private:
    void Operate(CConnection& connection, const ucp::Message& message);
    void Login(CConnection& connection, const ucp::Message& message);
    void Submit(CConnection& connection, const ucp::Message& message);
    void TakeResult(CConnection& connection, const ucp::Message& message);
    void Nack(CConnection& connection, uint8_t trn, uint8_t ot, ucp::ErrorCode error);
    // DDMMYYhhmmss of a time stamp unique per message.
    std::string NextScts();

    CUcpMessageListener* m_listener = nullptr;
};
