// Start-up of the servers and the capture log, shared by every front end.
#include "simulator/Simulator.h"

#include <QSettings>

namespace {

constexpr const char* kFilterKey = "Setup/Filter";
constexpr const char* kShowUnknownKey = "Setup/ShowUnknown";
constexpr const char* kRoutingKey = "Setup/Routing";
constexpr const char* kReceiptsKey = "Setup/DeliveryReceipts";
constexpr const char* kReceiptDelayKey = "Setup/ReceiptDelayMs";
constexpr const char* kFaultRulesKey = "Setup/FaultRules";

} // namespace

CSimulator::CSimulator(const SimulatorOptions& options) : m_options(options) {
    m_smpp.SetListenAddress(options.listen);
    m_mobile.SetListenAddress(options.listen);
    m_smpp.SetPacketLog(&m_log);
    m_mobile.SetPacketLog(&m_log);
    m_router.SetSettings(StoredDelivery(QSettings()));
}

bool CSimulator::Start() {
    // A stored list that no longer reads (edited by hand) starts the server without rules.
    m_smpp.Faults().SetRules(m_runFaultRules ? *m_runFaultRules : StoredFaultRules(QSettings()));
    const bool smppStarted = m_smpp.Start(m_options.smppPort, kMaxConnections, kIdleTimeoutSeconds);
    const bool mobileStarted = m_mobile.Start(m_options.mobilePort, kMaxConnections, kIdleTimeoutSeconds);
    const QSettings settings;
    m_log.Reset();
    m_log.SetFilter(StoredFilter(settings));
    m_log.SetShowUnknown(StoredShowUnknown(settings));
    return smppStarted && mobileStarted;
}

std::string CSimulator::StoredFilter(const QSettings& settings) {
    const QString stored = settings.value(kFilterKey).toString();
    if (stored.size() != CPacketLog::kFilterLength)
        return std::string(CPacketLog::kFilterLength, '1');
    return stored.toStdString();
}

bool CSimulator::StoredShowUnknown(const QSettings& settings) {
    return settings.value(kShowUnknownKey, 1).toInt() != 0;
}

void CSimulator::SaveFilter(const std::string& filter, bool showUnknown) {
    QSettings settings;
    settings.setValue(kFilterKey, QString::fromStdString(filter));
    settings.setValue(kShowUnknownKey, showUnknown ? 1 : 0);
    m_log.SetFilter(filter);
    m_log.SetShowUnknown(showUnknown);
}

DeliverySettings CSimulator::StoredDelivery(const QSettings& settings) {
    DeliverySettings stored;
    stored.routing = settings.value(kRoutingKey, 1).toInt() != 0;
    stored.receipts = settings.value(kReceiptsKey, 0).toInt() != 0;
    bool ok = false;
    const int delay = settings.value(kReceiptDelayKey, stored.receiptDelayMs).toInt(&ok);
    if (ok && delay >= 0)
        stored.receiptDelayMs = delay;
    return stored;
}

void CSimulator::SaveDelivery(const DeliverySettings& delivery) {
    QSettings settings;
    settings.setValue(kRoutingKey, delivery.routing ? 1 : 0);
    settings.setValue(kReceiptsKey, delivery.receipts ? 1 : 0);
    settings.setValue(kReceiptDelayKey, delivery.receiptDelayMs);
    m_router.SetSettings(delivery);
}

DeliverySettings CSimulator::Delivery() const { return m_router.Settings(); }

void CSimulator::SetDelivery(const DeliverySettings& delivery) { m_router.SetSettings(delivery); }
std::vector<FaultRule> CSimulator::StoredFaultRules(const QSettings& settings) {
    QString error;
    return fault_rules::Parse(settings.value(kFaultRulesKey, "[]").toString().toUtf8(), &error);
}

bool CSimulator::SaveFaultRules(const std::vector<FaultRule>& rules) {
    if (!m_smpp.Faults().SetRules(rules).isEmpty())
        return false;
    QSettings().setValue(kFaultRulesKey, QString::fromUtf8(fault_rules::ToJson(rules)));
    return true;
}
