// Start-up of the servers and the capture log, shared by every front end.
#include "simulator/Simulator.h"

#include "simulator/Settings.h"
#include "simulator/TlsCredentials.h"

CSimulator::CSimulator(const SimulatorOptions& options) : m_options(options) {
    m_smpp.SetListenAddress(options.listen);
    m_mobile.SetListenAddress(options.listen);
    m_smpp.SetPacketLog(&m_log);
    m_mobile.SetPacketLog(&m_log);
    const CSettings settings;
    // Every copy of the decoder (the window's panes, the display filter) starts from this one.
    m_decoder.SetDefaultAlphabet(settings.SmscDefaultAlphabet());
    m_router.SetSettings(settings.Delivery());
    m_smpp.SetRetry(settings.Retry());
    m_pairs.SetUnansweredAfterUs(int64_t(settings.UnansweredSeconds()) * 1'000'000);
}

bool CSimulator::Start() {
    const CSettings settings;
    // A stored list that no longer reads (edited by hand) starts the server without rules.
    m_smpp.Faults().SetRules(m_runFaultRules ? *m_runFaultRules : settings.FaultRules());
    const bool smppStarted = m_smpp.Start(m_options.smppPort, kMaxConnections, kIdleTimeoutSeconds);
    bool tlsStarted = true;
    if (m_tls) {
        const tls_credentials::Loaded tls = tls_credentials::Load(m_tls->certificate, m_tls->key, tls_credentials::DefaultFolder());
        tlsStarted = m_smpp.StartTls(m_tls->port, tls.configuration ? &*tls.configuration : nullptr, tls.detail);
    }
    const bool mobileStarted = m_mobile.Start(m_options.mobilePort, kMaxConnections, kIdleTimeoutSeconds);
    m_log.Reset();
    m_log.SetFilter(settings.Filter());
    m_log.SetShowUnknown(settings.ShowUnknown());
    return smppStarted && mobileStarted && tlsStarted;
}

void CSimulator::SaveFilter(const std::string& filter, bool showUnknown) {
    CSettings().SetFilter(filter, showUnknown);
    m_log.SetFilter(filter);
    m_log.SetShowUnknown(showUnknown);
}

void CSimulator::SaveUnansweredSeconds(int seconds) {
    CSettings().SetUnansweredSeconds(seconds);
    m_pairs.SetUnansweredAfterUs(int64_t(CSettings().UnansweredSeconds()) * 1'000'000);
}

void CSimulator::SaveDelivery(const DeliverySettings& delivery) {
    CSettings().SetDelivery(delivery);
    m_router.SetSettings(delivery);
}

DeliverySettings CSimulator::Delivery() const { return m_router.Settings(); }

void CSimulator::SetDelivery(const DeliverySettings& delivery) { m_router.SetSettings(delivery); }

bool CSimulator::SaveFaultRules(const std::vector<FaultRule>& rules) {
    if (!m_smpp.Faults().SetRules(rules).isEmpty())
        return false;
    CSettings().SetFaultRules(rules);
    return true;
}
