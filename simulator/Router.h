// Carries messages between the mobile side and the SMPP side and sends delivery receipts.
#pragma once

#include "mobile/MobileServer.h"
#include "simulator/MessageStore.h"
#include "simulator/ReceiptProfile.h"
#include "smpp/LongMessage.h"
#include "smpp/SmppServer.h"
#include "smpp/SubmittedMessage.h"
#include "cimdserver/CimdServer.h"
#include "ucpserver/UcpServer.h"

#include <QObject>
#include <QRegularExpression>

#include <cstdint>
#include <functional>
#include <map>
#include <queue>
#include <random>
#include <string>
#include <vector>

// Routing between the two servers and delivery receipts.
struct DeliverySettings {
    bool routing = true;
    bool receipts = false;
    int receiptDelayMs = 1000;
};

// Every submit_sm (data_sm, submit_multi) to one address answered by a deliver_sm back to its sender.
struct EchoSettings {
    std::string destination; // empty: off
    bool reverse = false;    // the text backwards, character by character

    bool operator==(const EchoSettings&) const = default;
};

// Listens to both servers on the UI thread. A simulator's SUBMIT goes as deliver_sm to every bound
// receiver or transceiver whose address_range takes its destination; an ESME's message to a
// logged-in terminal number goes to that simulator as DELIVER. With receipts on, remembers every
// ESME message for query_sm and sends the receipts asked for after the set delay: one queue ordered
// by due time and one timer on the SMPP server's scheduler. A receipt owed to a system id with no
// receiver bound is kept by the server until one binds. Remembers every deliver_sm the SMPP server
// delivers or keeps, and traces each try. The store keeps the newest MessageStoreLimit messages and
// answers query_sm for one it forgot with ESME_RQUERYFAIL. Does not own the servers; outlives neither.
//
// A UCP server, when attached, takes part as a third side: a message to the address a UCP session logged in
// under goes to it as a 52, a UCP session's submit is routed as a phone's message is, and the 53 it asked
// for goes out after the same delay as a receipt, its outcome drawn from the same profile. A CIMD2 server takes
// part the same way: a 20 to the user identity a session logged in as, and a 23 for a submit that asked for one.
class CRouter : public QObject,
                public CSmppMessageListener,
                public CMobileMessageListener,
                public CUcpMessageListener,
                public CCimdMessageListener {
public:
    using TraceSink = std::function<void(const std::string&)>;

    CRouter(CSmppServer& smpp, CMobileServer& mobile);
    ~CRouter() override;

    void SetSettings(const DeliverySettings& settings) { m_settings = settings; }
    const DeliverySettings& Settings() const { return m_settings; }
    // The receipt profile of every ESME whose account names none.
    void SetReceiptProfile(const ReceiptProfile& profile) { m_profile = profile; }
    const ReceiptProfile& Profile() const { return m_profile; }
    // The profile of the account systemId is bound under, else the run's.
    const ReceiptProfile& ProfileOf(const std::string& systemId) const;
    // Seeds the draws of the profiles' state mix (the fault rules' seed), so that a run repeats.
    void SetSeed(uint32_t seed) { m_random.seed(seed); }
    void SetEcho(const EchoSettings& echo) { m_echo = echo; }
    const EchoSettings& Echo() const { return m_echo; }
    // One line per routed or receipted message; none when unset.
    void SetTrace(TraceSink trace) { m_trace = std::move(trace); }

    const CMessageStore& Store() const { return m_store; }
    // Forgets every message (and their receipts still due).
    void ForgetMessages();
    // Forgets every message and remembers at most capacity from now on.
    void SetStoreCapacity(std::size_t capacity);

    enum class ReceiptOutcome { Sent, Kept, UnknownMessage };
    // Makes a stored message final now, in state with error, and sends its receipt at once, whatever
    // its registered_delivery asked for; the receipt the delay would send then stays unsent.
    ReceiptOutcome SendReceiptNow(std::string_view messageId, MessageState state, uint8_t error);
    // The same for a message the store does not hold (receipts were off), submitted at submitTime
    // (seconds since 1970) and receipted by route.
    ReceiptOutcome SendReceiptNow(const std::string& messageId, const ReceiptRoute& route, int64_t submitTime,
                                  MessageState state, uint8_t error);
    // Where the receipt of a message submitted on a connection (bound as systemId) goes.
    static ReceiptRoute RouteOf(const smpp::SubmittedMessage& message, uint64_t connectionId, std::string systemId);
    // The same, written over a route whose buffers are reused.
    static void FillRoute(const smpp::SubmittedMessage& message, uint64_t connectionId, std::string_view systemId,
                          ReceiptRoute& into);
    // A message from phone number from (logged in or not) to number to, carried as a simulator's
    // SUBMIT is: deliver_sm to every receiver whose address_range takes to, with UDHI set when the content
    // starts with a concatenation header (a part of a handset's long message). Returns how many went out.
    int RouteFromPhone(const std::string& from, const std::string& to, uint8_t dataCoding,
                       const std::vector<uint8_t>& content);
    // The same for a message already split: every part goes to each receiver, in order.
    int RouteFromPhone(const std::string& from, const std::string& to, uint8_t dataCoding,
                       const std::vector<smpp::MessagePart>& parts);

    // The parts to the UCP and CIMD2 sessions logged in as login, from `from` (a 52 or a 20 each): how
    // /api/v1/deliver reaches a text client, whose login stands where an ESME's system id would. How many went out.
    int DeliverToLogin(const std::string& login, const std::string& from, uint8_t dataCoding,
                       const std::vector<smpp::MessagePart>& parts) {
        return RouteToText(from, login, dataCoding, parts);
    }

    // CSmppMessageListener
    void OnSubmitted(const CConnection& connection, uint32_t commandId, std::string_view id, const uint8_t* body,
                     int32_t bodyLength) override;
    bool AnswerQuery(std::string_view messageId, QueryAnswer& answer) override;
    void OnDelivery(const DeliveryTry& delivery) override;
    // CMobileMessageListener
    void OnTerminalSubmitted(const CConnection& connection, const test_protocol::TerminalMessage& message) override;
    void OnDeliverAnswered(int32_t result, uint64_t tag) override;
    // CUcpMessageListener
    void OnUcpSubmitted(const CConnection& connection, const ucp_server::Submitted& message) override;
    // CCimdMessageListener
    void OnCimdSubmitted(const CConnection& connection, const cimd_server::Submitted& message) override;

    // The UCP (CIMD2) server becomes a side of the routing; null detaches it. Not owned; it must outlive the
    // router or be detached first.
    void AttachUcp(CUcpServer* ucp);
    void AttachCimd(CCimdServer* cimd);

private:
    // A receipt the delay holds back: the message it is for, by handle, and its id's key.
    struct DueReceipt {
        int64_t dueMs;
        uint64_t order; // of submission, so that receipts due at once go in that order
        uint64_t handle;
        uint32_t key;
        bool operator>(const DueReceipt& other) const {
            return dueMs != other.dueMs ? dueMs > other.dueMs : order > other.order;
        }
    };

    // The deliver_sm back to the sender of a message to the echo address.
    void SendEcho(const std::string& messageId, const smpp::SubmittedMessage& message, const ReceiptRoute& route);
    // The profile of the account the route's system id is bound under, else the run's.
    // A final state by the mix's weights; delivered when it has none.
    MessageState Draw(const std::vector<ReceiptProfile::Weight>& mix);
    void RouteToTerminals(const std::string& messageId, const smpp::SubmittedMessage& message, uint64_t handle);
    // The message becomes final (delivered unless a simulator refused it) and its receipt goes out.
    void Conclude(const DueReceipt& receipt);
    void ArmReceipts(int64_t dueMs);
    void SendDueReceipts();
    // Sends the receipt of a final message to the submitter when it may receive, else to another
    // receiver under the same system id, else the server keeps it for that system id.
    ReceiptOutcome SendReceipt(const std::string& messageId, const ReceiptRoute& route, MessageState state,
                               uint8_t error, int64_t submitTime, int64_t doneTime);
    bool RangeTakes(const std::string& addressRange, const std::string& address);
    // The parts as 52s and 20s to the UCP and CIMD2 sessions logged in as to; how many went out.
    int RouteToText(const std::string& from, const std::string& to, uint8_t dataCoding,
                    const std::vector<smpp::MessagePart>& parts);
    // What a text server's submit sets off: the message routed on, and its report, when asked for, sent after
    // the receipt delay by report (given the connection's id and login).
    using TextReport = std::function<void(uint64_t connectionId, const std::string& login)>;
    void OnTextSubmitted(const CConnection& connection, const std::string& from, const std::string& to,
                         const text_server::Content& content, bool reportAsked, TextReport report);
    // The 53 a UCP submit asked for, its outcome drawn now from the login's receipt profile.
    void NotifyUcp(uint64_t connectionId, const std::string& login, const ucp_server::Submitted& message);
    // The 23 a CIMD2 submit asked for, its outcome drawn now from the login's receipt profile.
    void ReportCimd(uint64_t connectionId, const std::string& login, const cimd_server::Submitted& message);
    void Trace(const std::string& line) const;
    // Seconds since 1970 on the SMPP server's wall clock.
    int64_t Now() const { return m_smpp.Scheduler().WallSeconds(); }

    CSmppServer& m_smpp;
    CMobileServer& m_mobile;
    CUcpServer* m_ucp = nullptr;
    CCimdServer* m_cimd = nullptr;
    DeliverySettings m_settings;
    CMessageStore m_store;
    ReceiptProfile m_profile;
    smpp::SubmittedMessage m_submitted; // the message last submitted, as read
    // The receipt being built: its text, fields and body, kept so that their room is reused.
    std::string m_receiptText;
    ReceiptRoute m_route; // the route of the message in hand, its buffers reused message after message
    smpp::DeliverFields m_receiptFields;
    std::vector<uint8_t> m_receiptBody;
    EchoSettings m_echo;
    std::mt19937 m_random{std::random_device{}()};
    TraceSink m_trace;
    std::map<std::string, QRegularExpression> m_ranges; // compiled address_range patterns
    std::priority_queue<DueReceipt, std::vector<DueReceipt>, std::greater<>> m_dueReceipts;
    uint64_t m_receiptOrder = 0;
    int64_t m_receiptTimerDueMs = -1; // -1: no timer armed
    uint64_t m_receiptTimerRun = 0;
};
