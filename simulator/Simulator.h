// The composition root: settings, capture log and both servers, started in one fixed order for
// the headless runner and the window alike.
#pragma once

#include "analysis/PacketPairs.h"
#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"
#include "mobile/MobileServer.h"
#include "simulator/Router.h"
#include "simulator/Statistics.h"
#include "simulator/TrafficGenerator.h"
#include "smpp/SmppServer.h"
#include "cimdserver/CimdServer.h"
#include "ucpserver/UcpServer.h"

#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SimulatorOptions {
    uint16_t smppPort = protocol::kSmppServerPort;   // 0 picks a free port
    uint16_t mobilePort = protocol::kMobileServerPort; // 0 picks a free port
    std::optional<uint16_t> ucpPort;                    // 0 picks a free port; none: the stored Setup/UcpPort
    std::optional<uint16_t> cimdPort;                   // 0 picks a free port; none: the stored Setup/CimdPort
    QHostAddress listen{QHostAddress::AnyIPv4};
};

// The SMPP service on a TLS port as well.
struct TlsOptions {
    uint16_t port = 0;              // 0 picks a free port
    QString certificate, key;       // PEM files; both empty: the self-signed pair (tls_credentials)
};

// Owns the capture log, the decoder and the two servers for the life of the process; runs on
// the UI thread. A front end adds its observers and log listeners, then calls Start. The router
// between the servers takes the stored delivery settings, and the SMPP server the stored retry
// policy (CSettings), at construction.
class CSimulator {
public:
    static constexpr int kMaxConnections = 10;
    static constexpr int kIdleTimeoutSeconds = 3600;

    explicit CSimulator(const SimulatorOptions& options = {});

    // Starts the SMPP server, then the mobile server, then the UCP and the CIMD2 servers (each reports its start line to its
    // observers; a failure of one does not stop the other), then resets the capture log and
    // gives it the stored filter and "ShowUnknown". With a TLS port, the SMPP service starts there
    // too, after the plain port. False when any of them did not start.
    bool Start();

    // Stores both and hands them to the capture log, so they apply to the next PDU.
    void SaveFilter(const std::string& filter, bool showUnknown);

    // Stores them and applies them to the running servers at once.
    void SaveDelivery(const DeliverySettings& settings);
    // What applies now: as stored, or as the headless flags override it.
    DeliverySettings Delivery() const;
    // Applies without storing (the headless flags).
    void SetDelivery(const DeliverySettings& settings);
    // Stores the receipt profile and applies it to the next receipt; the error naming the field, and
    // nothing changed, when it is bad.
    QString SaveReceiptProfile(const ReceiptProfile& profile);
    // Applies without storing (the headless flag, the control API); the error as for Save.
    QString SetReceiptProfile(const ReceiptProfile& profile);
    const ReceiptProfile& Receipts() const { return m_router.Profile(); }
    // Stores the echo and applies it to the next message; SetEcho applies without storing.
    void SaveEcho(const EchoSettings& echo);
    void SetEcho(const EchoSettings& echo) { m_router.SetEcho(echo); }
    const EchoSettings& Echo() const { return m_router.Echo(); }
    // One seed for every chance of the run (fault rules, the receipts' state mix), so that it repeats.
    void SetSeed(uint32_t seed);
    // Hands the rules to the SMPP server and those naming UCP or CIMD2 to their server, for the next request;
    // the error, and nothing changed, when a rule is bad.
    QString SetFaultRules(const std::vector<FaultRule>& rules);
    // The same, the rules stored too. False, and nothing changed, when a rule is bad.
    bool SaveFaultRules(const std::vector<FaultRule>& rules);
    // Rules for this run only (a rules file), which Start gives the SMPP server instead of the
    // stored ones; nothing is stored.
    void UseFaultRules(std::vector<FaultRule> rules) { m_runFaultRules = std::move(rules); }
    // Start opens the SMPP service's TLS port too.
    void UseTls(const TlsOptions& tls) { m_tls = tls; }

    // Stores the accounts and hands them to the SMPP server for the next bind; the error, naming the
    // account and the field, and nothing changed, when one is bad.
    QString SaveAccounts(const std::vector<Account>& list);
    // The accounts binds are checked against now, as JSON (GET), and the same from JSON (PUT).
    QByteArray AccountsJson() const;
    QString SaveAccountsJson(const QByteArray& json);
    // Accounts for this run only (an accounts file), which Start gives the SMPP server instead of the
    // stored ones; nothing is stored.
    void UseAccounts(std::vector<Account> list) { m_runAccounts = std::move(list); }
    // Stores the session timers and applies them to the SMPP server at once.
    void SaveSessions(const SessionSettings& sessions);
    // Stores how deliver_sm is tried again and applies it to the next try.
    void SaveRetry(const RetryPolicy& retry);
    // The user's unbind of one connection (by connection id): unbind, then the close.
    CSmppServer::UnbindResult Unbind(uint64_t connectionId) { return m_smpp.UnbindConnection(connectionId); }
    // One line per routed or receipted message and per connection the server closes; none when unset.
    void SetTrace(const CRouter::TraceSink& trace);
    // Empties the capture log, the router's message store and the statistics; connections stay.
    void ResetRun();
    // Sends the receipt of an ESME's message now (CRouter::SendReceiptNow): the message is the
    // router's while receipts are on, else it is read back from the capture, newest first.
    CRouter::ReceiptOutcome SendReceiptNow(std::string_view messageId, MessageState state, uint8_t error);

    // Stores how long a request waits for its answer before it counts as unanswered, and applies it.
    void SaveUnansweredSeconds(int seconds);

    CPacketLog& Log() { return m_log; }
    // Requests paired with their answers in the capture log.
    CPacketPairs& Pairs() { return m_pairs; }
    // What was captured, counted once for every reader (control API, metrics, window, headless summary).
    CStatistics& Statistics() { return m_statistics; }
    const CPacketDecoder& Decoder() const { return m_decoder; }
    CSmppServer& Smpp() { return m_smpp; }
    CMobileServer& Mobile() { return m_mobile; }
    CUcpServer& Ucp() { return m_ucp; }
    CCimdServer& Cimd() { return m_cimd; }
    CRouter& Router() { return m_router; }
    // The traffic generator: the window's dialog, the control API and --generate run its one job.
    CTrafficGenerator& Generator() { return m_generator; }

private:
    SimulatorOptions m_options;
    CPacketLog m_log;
    CPacketDecoder m_decoder;
    CPacketPairs m_pairs{m_log, m_decoder};
    CStatistics m_statistics{m_log, m_pairs, m_decoder};
    CSmppServer m_smpp;
    CMobileServer m_mobile;
    CUcpServer m_ucp;
    CCimdServer m_cimd;
    CRouter m_router{m_smpp, m_mobile};
    CTrafficGenerator m_generator{m_smpp, m_router};
    std::optional<std::vector<FaultRule>> m_runFaultRules;
    std::optional<std::vector<Account>> m_runAccounts;
    std::optional<TlsOptions> m_tls;
};
