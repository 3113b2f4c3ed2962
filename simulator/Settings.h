// The per-user settings: every key the program keeps, its default, and which store holds them.
#pragma once

#include "capture/Pcap.h"
#include "decoder/Formatters.h"
#include "simulator/Router.h"
#include "smpp/Accounts.h"
#include "smpp/FaultRules.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>

#include <string>
#include <vector>

// Reads and writes the settings of the store SelectStore chose; a value that is missing or does not read
// gives its default. Copies are not needed: make one where a setting is read or written, on any thread
// that has the application object. Every CSettings of the process sees the others' writes at once.
class CSettings {
public:
    // Vendor "Vendrel", application "Tarnwick": start-up selects this store before anything reads a setting.
    static void SelectStore();

    // "Setup/Filter": which PDUs the capture keeps, thirty '0'/'1'; thirty '1' when missing or not exactly
    // 30 characters long.
    std::string Filter() const;
    // "Setup/ShowUnknown", default 1: keep PDUs the server does not recognise.
    bool ShowUnknown() const;
    void SetFilter(const std::string& filter, bool showUnknown);

    // "Setup/Routing" (default 1), "Setup/DeliveryReceipts" (default 0), "Setup/ReceiptDelayMs" (default 1000;
    // a negative or unreadable delay gives the default).
    DeliverySettings Delivery() const;
    void SetDelivery(const DeliverySettings& delivery);

    // "Setup/ReceiptProfile": a built-in profile's name, or a custom profile as JSON; the default profile
    // when missing or unreadable.
    ReceiptProfile Receipts() const;
    void SetReceipts(const ReceiptProfile& profile);

    // "Setup/EchoDestination" (default empty: no echo) and "Setup/EchoReverse" (default 0).
    EchoSettings Echo() const;
    void SetEcho(const EchoSettings& echo);

    // "Setup/RetryBackoffMs" (default 1000), "Setup/DeliverTries" (default 5, at most 100) and
    // "Setup/DeliverWindow" (default 10, 1 to 1024): how deliver_sm is tried again (its wait for an
    // answer is the sessions' response time-out) and how many may be unanswered on a connection whose
    // account sets no window; a value out of range or unreadable gives its default.
    RetryPolicy Retry() const;
    void SetRetry(const RetryPolicy& retry);

    // "Setup/PendingValiditySeconds" (default 172800, 48 h), "Setup/PendingLimit" (default 100000) and
    // "Setup/MessageStoreLimit" (default 1000000), each at least 1: how long and how many messages are
    // kept for a system id with no receiver bound, and how many messages query_sm can be asked about.
    // A value out of range or unreadable gives its default.
    StoreLimits Limits() const;

    // "Setup/FaultRules", as JSON; none when missing or unreadable.
    std::vector<FaultRule> FaultRules() const;
    void SetFaultRules(const std::vector<FaultRule>& rules);

    // "Setup/Accounts", as JSON; none (every bind accepted) when missing or unreadable.
    std::vector<Account> Accounts() const;
    void SetAccounts(const std::vector<Account>& accounts);

    // "Setup/EnquireLinkSeconds" (default 0: off), "Setup/ResponseTimeoutSeconds" (default 10, at least 1),
    // "Setup/BindTimeoutSeconds" (default 0: off), "Setup/InactivitySeconds" (default 3600, 0: off); each at
    // most 86400, and a value out of range gives its default.
    SessionSettings Sessions() const;
    void SetSessions(const SessionSettings& sessions);

    // "Setup/DecodeAs": the port overrides of capture file import as "PORT=PROTO;...", PROTO a protocol's
    // command-line name, in port order; an entry that does not parse is left out.
    pcap::DecodeAsTable DecodeAs() const;
    void SetDecodeAs(const pcap::DecodeAsTable& table);
    static QString DecodeAsText(const pcap::DecodeAsTable& table);

    // "Setup/UcpPort" (default 5020, 0 picks a free port): where the UCP/EMI server listens unless told otherwise.
    uint16_t UcpPort() const;
    // "Setup/CimdPort" (default 5021, 0 picks a free port): where the CIMD2 server listens unless told otherwise.
    uint16_t CimdPort() const;

    // "Setup/UnansweredSeconds" (default 5, 1 to 3600): how long a request waits for its answer before the
    // packet list says "no answer".
    int UnansweredSeconds() const;
    void SetUnansweredSeconds(int seconds);
    static constexpr int kMaxUnansweredSeconds = 3600;

    // "Setup/DefaultAlphabet": what the SMSC means by SMPP data_coding 0, "gsm" (also when missing or
    // unknown), "ascii" or "latin1".
    DefaultAlphabet SmscDefaultAlphabet() const;

    // "Setup/DecoderSplitter": the heights of the decoder page's three panes, empty when never saved.
    QByteArray DecoderSplitter() const;
    void SetDecoderSplitter(const QByteArray& state);

    // "Setup/PacketListFields" and "Setup/PacketListHeader": the fields of the columns the user added to the packet
    // list, and its header's layout (order, widths, hidden columns) with those columns in place; empty when never saved.
    QStringList PacketListFields() const;
    QByteArray PacketListHeader() const;
    void SetPacketListLayout(const QStringList& fields, const QByteArray& header);

    // "CommandBars/Geometry" and "CommandBars/State": the main window's frame and its bars' layout, empty
    // when never saved.
    QByteArray BarGeometry() const;
    QByteArray BarState() const;
    void SetBarLayout(const QByteArray& geometry, const QByteArray& state);

private:
    // A port stored under key, defaultPort when there is none or it is no port.
    uint16_t StoredPort(const char* key, uint16_t defaultPort) const;
    QSettings m_store;
};
