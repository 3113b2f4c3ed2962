// The one place that knows the settings' keys and defaults.
#include "simulator/Settings.h"

#include "capture/PacketLog.h"
#include "protocol/CaptureFilter.h"
#include "protocol/Registry.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdint>

namespace {

constexpr const char* kFilterKey = "Setup/Filter";
constexpr const char* kShowUnknownKey = "Setup/ShowUnknown";
constexpr const char* kRoutingKey = "Setup/Routing";
constexpr const char* kReceiptsKey = "Setup/DeliveryReceipts";
constexpr const char* kReceiptDelayKey = "Setup/ReceiptDelayMs";
constexpr const char* kReceiptProfileKey = "Setup/ReceiptProfile";
constexpr const char* kEchoDestinationKey = "Setup/EchoDestination";
constexpr const char* kEchoReverseKey = "Setup/EchoReverse";
constexpr const char* kRetryBackoffKey = "Setup/RetryBackoffMs";
constexpr const char* kDeliverTriesKey = "Setup/DeliverTries";
constexpr const char* kDeliverWindowKey = "Setup/DeliverWindow";
// The stores' limits, by their place in StoreLimits, with the most each may be.
constexpr struct {
    const char* key;
    int32_t StoreLimits::*field;
    int32_t most;
} kLimitKeys[] = {
    {"Setup/PendingValiditySeconds", &StoreLimits::pendingValiditySeconds, StoreLimits::kMaxValiditySeconds},
    {"Setup/PendingLimit",           &StoreLimits::pendingLimit,           StoreLimits::kMaxPendingLimit},
    {"Setup/MessageStoreLimit",      &StoreLimits::messageStoreLimit,      StoreLimits::kMaxMessageStoreLimit},
};
constexpr const char* kFaultRulesKey = "Setup/FaultRules";
constexpr const char* kDecodeAsKey = "Setup/DecodeAs";
constexpr const char* kAccountsKey = "Setup/Accounts";
// The session timers, by their place in SessionSettings, with the least each may be.
constexpr struct {
    const char* key;
    int32_t SessionSettings::*field;
    int32_t least;
} kSessionKeys[] = {
    {"Setup/EnquireLinkSeconds",     &SessionSettings::enquireLinkSeconds,     0},
    {"Setup/ResponseTimeoutSeconds", &SessionSettings::responseTimeoutSeconds, 1},
    {"Setup/BindTimeoutSeconds",     &SessionSettings::bindTimeoutSeconds,     0},
    {"Setup/InactivitySeconds",      &SessionSettings::inactivitySeconds,      0},
};
constexpr const char* kUnansweredKey = "Setup/UnansweredSeconds";
constexpr const char* kUcpPortKey = "Setup/UcpPort";
constexpr const char* kCimdPortKey = "Setup/CimdPort";
constexpr const char* kDefaultAlphabetKey = "Setup/DefaultAlphabet";
constexpr const char* kDecoderSplitterKey = "Setup/DecoderSplitter";
constexpr int kDefaultUnansweredSeconds = 5;
constexpr const char* kPacketListFieldsKey = "Setup/PacketListFields";
constexpr const char* kPacketListHeaderKey = "Setup/PacketListHeader";
constexpr const char* kBarGeometryKey = "CommandBars/Geometry";
constexpr const char* kBarStateKey = "CommandBars/State";

} // namespace

void CSettings::SelectStore() {
    QCoreApplication::setOrganizationName("Vendrel");
    QCoreApplication::setApplicationName("Tarnwick");
}

std::string CSettings::Filter() const {
    return protocol::filter::ReadStored(m_store.value(kFilterKey).toString().toStdString());
}

bool CSettings::ShowUnknown() const { return m_store.value(kShowUnknownKey, 1).toInt() != 0; }

void CSettings::SetFilter(const std::string& filter, bool showUnknown) {
    m_store.setValue(kFilterKey, QString::fromStdString(protocol::filter::WriteStored(filter)));
    m_store.setValue(kShowUnknownKey, showUnknown ? 1 : 0);
}

DeliverySettings CSettings::Delivery() const {
    DeliverySettings stored;
    stored.routing = m_store.value(kRoutingKey, 1).toInt() != 0;
    stored.receipts = m_store.value(kReceiptsKey, 0).toInt() != 0;
    bool ok = false;
    const int delay = m_store.value(kReceiptDelayKey, stored.receiptDelayMs).toInt(&ok);
    if (ok && delay >= 0)
        stored.receiptDelayMs = delay;
    return stored;
}

void CSettings::SetDelivery(const DeliverySettings& delivery) {
    m_store.setValue(kRoutingKey, delivery.routing ? 1 : 0);
    m_store.setValue(kReceiptsKey, delivery.receipts ? 1 : 0);
    m_store.setValue(kReceiptDelayKey, delivery.receiptDelayMs);
}

ReceiptProfile CSettings::Receipts() const {
    const QString stored = m_store.value(kReceiptProfileKey).toString();
    if (std::optional<ReceiptProfile> builtIn = receipt_profiles::BuiltIn(stored))
        return *builtIn;
    QString error;
    return receipt_profiles::Parse(stored.toUtf8(), &error).value_or(ReceiptProfile{});
}

void CSettings::SetReceipts(const ReceiptProfile& profile) {
    // A built-in is kept by name, so that it follows the program's idea of it.
    const bool builtIn = receipt_profiles::BuiltIn(profile.name) == profile;
    m_store.setValue(kReceiptProfileKey, builtIn ? profile.name : QString::fromUtf8(receipt_profiles::ToJson(profile)));
}

EchoSettings CSettings::Echo() const {
    return {m_store.value(kEchoDestinationKey).toString().toStdString(), m_store.value(kEchoReverseKey, 0).toInt() != 0};
}

void CSettings::SetEcho(const EchoSettings& echo) {
    m_store.setValue(kEchoDestinationKey, QString::fromStdString(echo.destination));
    m_store.setValue(kEchoReverseKey, echo.reverse ? 1 : 0);
}

RetryPolicy CSettings::Retry() const {
    RetryPolicy stored;
    const auto read = [this](const char* key, int fallback, int least, int most) {
        bool ok = false;
        const int value = m_store.value(key, fallback).toInt(&ok);
        return ok && value >= least && value <= most ? value : fallback;
    };
    stored.backoffMs = read(kRetryBackoffKey, stored.backoffMs, 0, RetryPolicy::kMaxBackoffMs);
    stored.maxTries = read(kDeliverTriesKey, stored.maxTries, 1, RetryPolicy::kMaxTries);
    stored.window = read(kDeliverWindowKey, stored.window, 1, RetryPolicy::kMaxWindow);
    return stored;
}

StoreLimits CSettings::Limits() const {
    StoreLimits stored;
    for (const auto& k : kLimitKeys) {
        bool ok = false;
        const int value = m_store.value(k.key, stored.*k.field).toInt(&ok);
        if (ok && value >= 1 && value <= k.most)
            stored.*k.field = value;
    }
    return stored;
}

void CSettings::SetRetry(const RetryPolicy& retry) {
    m_store.setValue(kRetryBackoffKey, retry.backoffMs);
    m_store.setValue(kDeliverTriesKey, retry.maxTries);
    m_store.setValue(kDeliverWindowKey, retry.window);
}

std::vector<FaultRule> CSettings::FaultRules() const {
    QString error;
    return fault_rules::Parse(m_store.value(kFaultRulesKey, "[]").toString().toUtf8(), &error);
}

void CSettings::SetFaultRules(const std::vector<FaultRule>& rules) {
    m_store.setValue(kFaultRulesKey, QString::fromUtf8(fault_rules::ToJson(rules)));
}

std::vector<Account> CSettings::Accounts() const {
    QString error;
    return accounts::Parse(m_store.value(kAccountsKey, "[]").toString().toUtf8(), &error);
}

void CSettings::SetAccounts(const std::vector<Account>& list) {
    m_store.setValue(kAccountsKey, QString::fromUtf8(accounts::ToJson(list)));
}

SessionSettings CSettings::Sessions() const {
    SessionSettings stored;
    for (const auto& k : kSessionKeys) {
        bool ok = false;
        const int value = m_store.value(k.key, stored.*k.field).toInt(&ok);
        if (ok && value >= k.least && value <= accounts::kMaxSeconds)
            stored.*k.field = value;
    }
    return stored;
}

void CSettings::SetSessions(const SessionSettings& sessions) {
    for (const auto& k : kSessionKeys)
        m_store.setValue(k.key, sessions.*k.field);
}

pcap::DecodeAsTable CSettings::DecodeAs() const {
    pcap::DecodeAsTable table;
    const QString text = m_store.value(kDecodeAsKey).toString();
    for (const QString& entry : text.split(u';', Qt::SkipEmptyParts)) {
        std::string error;
        pcap::ParseDecodeAs(entry.trimmed().toStdString(), table, error); // a bad entry is only left out
    }
    return table;
}

void CSettings::SetDecodeAs(const pcap::DecodeAsTable& table) { m_store.setValue(kDecodeAsKey, DecodeAsText(table)); }

QString CSettings::DecodeAsText(const pcap::DecodeAsTable& table) {
    QStringList entries;
    for (const auto& [port, code] : table)
        if (const protocol::Protocol* found = protocol::Find(code))
            entries.append(QStringLiteral("%1=%2").arg(port).arg(QLatin1StringView(found->cliName)));
    return entries.join(u';');
}

uint16_t CSettings::StoredPort(const char* key, uint16_t defaultPort) const {
    bool ok = false;
    const int port = m_store.value(key, defaultPort).toInt(&ok);
    return ok && port >= 0 && port <= 65535 ? uint16_t(port) : defaultPort;
}

uint16_t CSettings::UcpPort() const { return StoredPort(kUcpPortKey, protocol::kUcpServerPort); }

uint16_t CSettings::CimdPort() const { return StoredPort(kCimdPortKey, protocol::kCimdServerPort); }

int CSettings::UnansweredSeconds() const {
    bool ok = false;
    const int seconds = m_store.value(kUnansweredKey, kDefaultUnansweredSeconds).toInt(&ok);
    return ok && seconds >= 1 && seconds <= kMaxUnansweredSeconds ? seconds : kDefaultUnansweredSeconds;
}

void CSettings::SetUnansweredSeconds(int seconds) { m_store.setValue(kUnansweredKey, seconds); }

DefaultAlphabet CSettings::SmscDefaultAlphabet() const {
    return DefaultAlphabetNamed(m_store.value(kDefaultAlphabetKey).toString().toStdString()).value_or(DefaultAlphabet::Gsm);
}

QByteArray CSettings::DecoderSplitter() const { return m_store.value(kDecoderSplitterKey).toByteArray(); }

void CSettings::SetDecoderSplitter(const QByteArray& state) { m_store.setValue(kDecoderSplitterKey, state); }

QStringList CSettings::PacketListFields() const { return m_store.value(kPacketListFieldsKey).toStringList(); }

QByteArray CSettings::PacketListHeader() const { return m_store.value(kPacketListHeaderKey).toByteArray(); }

void CSettings::SetPacketListLayout(const QStringList& fields, const QByteArray& header) {
    m_store.setValue(kPacketListFieldsKey, fields);
    m_store.setValue(kPacketListHeaderKey, header);
}

QByteArray CSettings::BarGeometry() const { return m_store.value(kBarGeometryKey).toByteArray(); }

QByteArray CSettings::BarState() const { return m_store.value(kBarStateKey).toByteArray(); }

void CSettings::SetBarLayout(const QByteArray& geometry, const QByteArray& state) {
    m_store.setValue(kBarGeometryKey, geometry);
    m_store.setValue(kBarStateKey, state);
}
