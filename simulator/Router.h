// Carries messages between the mobile side and the SMPP side and sends delivery receipts.
#pragma once

#include "mobile/MobileServer.h"
#include "simulator/MessageStore.h"
#include "smpp/SmppServer.h"
#include "smpp/SubmittedMessage.h"

#include <QObject>
#include <QRegularExpression>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

// Routing between the two servers and delivery receipts.
struct DeliverySettings {
    bool routing = true;
    bool receipts = false;
    int receiptDelayMs = 1000;
};

// Listens to both servers on the UI thread. A simulator's SUBMIT goes as deliver_sm to every bound
// receiver or transceiver whose address_range takes its destination; an ESME's message to a
// logged-in terminal number goes to that simulator as DELIVER. With receipts on, remembers every
// ESME message for query_sm and sends the receipts asked for after the set delay, through the SMPP
// server's scheduler. Remembers every deliver_sm the SMPP server delivers, and traces each try.
// The store keeps the newest 65,536. Does not own the servers; outlives neither.
class CRouter : public QObject, public CSmppMessageListener, public CMobileMessageListener {
public:
    using WallClock = std::function<int64_t()>;           // seconds since 1970
    using TraceSink = std::function<void(const std::string&)>;

    CRouter(CSmppServer& smpp, CMobileServer& mobile);
    ~CRouter() override;

    void SetSettings(const DeliverySettings& settings) { m_settings = settings; }
    const DeliverySettings& Settings() const { return m_settings; }
    void SetClock(WallClock clock) { m_clock = std::move(clock); }
    // One line per routed or receipted message; none when unset.
    void SetTrace(TraceSink trace) { m_trace = std::move(trace); }

    const CMessageStore& Store() const { return m_store; }

    // CSmppMessageListener
    void OnSubmitted(int index, uint32_t commandId, const std::string& messageId, const uint8_t* body,
                     int32_t bodyLength) override;
    bool AnswerQuery(std::string_view messageId, QueryAnswer& answer) override;
    void OnDelivery(const DeliveryTry& delivery) override;
    // CMobileMessageListener
    void OnTerminalSubmitted(int index, const test_protocol::TerminalMessage& message) override;
    void OnDeliverAnswered(int32_t result, uint64_t tag) override;

private:
    struct Receipt {
        std::string messageId;
        uint64_t handle;
        uint64_t connectionId;
        std::string systemId;
        smpp::SmeAddress submitter;   // the receipt's destination
        smpp::SmeAddress destination; // the receipt's source
        std::string text;             // the first 20 characters of the message
        uint8_t request;              // registered_delivery's receipt bits: 1 any outcome, 2 failure only
    };

    void RouteToTerminals(const std::string& messageId, const smpp::SubmittedMessage& message, uint64_t handle);
    // The message becomes final (delivered unless a simulator refused it) and its receipt goes out.
    void Conclude(const Receipt& receipt);
    // The connection the receipt goes to: the submitter when it may receive, else another
    // receiver under the same system id; -1 when there is none.
    int ReceiptConnection(const Receipt& receipt) const;
    bool RangeTakes(const std::string& addressRange, const std::string& address);
    void Trace(const std::string& line) const;

    CSmppServer& m_smpp;
    CMobileServer& m_mobile;
    DeliverySettings m_settings;
    CMessageStore m_store;
    WallClock m_clock;
    TraceSink m_trace;
    std::map<std::string, QRegularExpression> m_ranges; // compiled address_range patterns
};
