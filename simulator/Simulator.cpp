// Start-up of the servers and the capture log, shared by every front end.
#include "simulator/Simulator.h"

#include "capture/PacketRecord.h"
#include "simulator/Settings.h"
#include "simulator/TlsCredentials.h"
#include "smpp/SmppPdu.h"
#include "smpp/SubmittedMessage.h"
#include "wire/Cursor.h"

#include <cstring>

CSimulator::CSimulator(const SimulatorOptions& options) : m_options(options) {
    m_smpp.SetListenAddress(options.listen);
    m_mobile.SetListenAddress(options.listen);
    m_ucp.SetListenAddress(options.listen);
    m_cimd.SetListenAddress(options.listen);
    m_smpp.SetPacketLog(&m_log);
    m_mobile.SetPacketLog(&m_log);
    m_ucp.SetPacketLog(&m_log);
    m_cimd.SetPacketLog(&m_log);
    m_router.AttachUcp(&m_ucp);
    m_router.AttachCimd(&m_cimd);
    const CSettings settings;
    // Every copy of the decoder (the window's panes, the display filter) starts from this one.
    m_decoder.SetDefaultAlphabet(settings.SmscDefaultAlphabet());
    m_router.SetSettings(settings.Delivery());
    m_router.SetReceiptProfile(settings.Receipts());
    m_router.SetEcho(settings.Echo());
    m_smpp.SetRetry(settings.Retry());
    const StoreLimits limits = settings.Limits();
    m_smpp.SetStoreLimits(limits);
    m_router.SetStoreCapacity(std::size_t(limits.messageStoreLimit));
    m_pairs.SetUnansweredAfterUs(int64_t(settings.UnansweredSeconds()) * 1'000'000);
    m_statistics.SetQueues([this] { return m_smpp.QueueDepths(); });
}

bool CSimulator::Start() {
    const CSettings settings;
    // A stored list that no longer reads (edited by hand) starts the server without rules.
    SetFaultRules(m_runFaultRules ? *m_runFaultRules : settings.FaultRules());
    m_smpp.SetAccounts(m_runAccounts ? *m_runAccounts : settings.Accounts());
    const SessionSettings sessions = settings.Sessions();
    m_smpp.SetSessionSettings(sessions);
    const bool smppStarted = m_smpp.Start(m_options.smppPort, kMaxConnections, sessions.inactivitySeconds);
    bool tlsStarted = true;
    if (m_tls) {
        const tls_credentials::Loaded tls = tls_credentials::Load(m_tls->certificate, m_tls->key, tls_credentials::DefaultFolder());
        tlsStarted = m_smpp.StartTls(m_tls->port, tls.configuration ? &*tls.configuration : nullptr, tls.detail);
    }
    const bool mobileStarted = m_mobile.Start(m_options.mobilePort, kMaxConnections, kIdleTimeoutSeconds);
    // A large account logs in with the SMPP accounts' system id and password.
    m_ucp.SetAccounts(m_smpp.Accounts());
    m_ucp.SetResultTimeout(sessions.responseTimeoutSeconds);
    m_cimd.SetResultTimeout(sessions.responseTimeoutSeconds);
    const bool ucpStarted = m_ucp.Start(m_options.ucpPort.value_or(settings.UcpPort()), kMaxConnections,
                                        sessions.inactivitySeconds);
    m_cimd.SetAccounts(m_smpp.Accounts());
    const bool cimdStarted = m_cimd.Start(m_options.cimdPort.value_or(settings.CimdPort()), kMaxConnections,
                                          sessions.inactivitySeconds);
    m_log.Reset();
    m_log.SetFilter(settings.Filter());
    m_log.SetShowUnknown(settings.ShowUnknown());
    return smppStarted && mobileStarted && ucpStarted && cimdStarted && tlsStarted;
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

QString CSimulator::SetReceiptProfile(const ReceiptProfile& profile) {
    QString error = receipt_profiles::Validate(profile);
    if (error.isEmpty())
        m_router.SetReceiptProfile(profile);
    return error;
}

QString CSimulator::SaveReceiptProfile(const ReceiptProfile& profile) {
    QString error = SetReceiptProfile(profile);
    if (error.isEmpty())
        CSettings().SetReceipts(profile);
    return error;
}

void CSimulator::SaveEcho(const EchoSettings& echo) {
    CSettings().SetEcho(echo);
    m_router.SetEcho(echo);
}

void CSimulator::SetSeed(uint32_t seed) {
    m_smpp.Faults().SetSeed(seed);
    m_ucp.Faults().SetSeed(seed);
    m_cimd.Faults().SetSeed(seed);
    m_router.SetSeed(seed);
}

QString CSimulator::SetFaultRules(const std::vector<FaultRule>& rules) {
    if (QString error = m_smpp.Faults().SetRules(rules); !error.isEmpty())
        return error;
    // The text servers take the rules that name their protocol; the list was checked whole above.
    m_ucp.Faults().SetRules(rules);
    m_cimd.Faults().SetRules(rules);
    return {};
}

bool CSimulator::SaveFaultRules(const std::vector<FaultRule>& rules) {
    if (!SetFaultRules(rules).isEmpty())
        return false;
    CSettings().SetFaultRules(rules);
    return true;
}

QString CSimulator::SaveAccounts(const std::vector<Account>& list) {
    if (QString error = accounts::Validate(list); !error.isEmpty())
        return error;
    if (QString error = receipt_profiles::CheckAccounts(list); !error.isEmpty())
        return error;
    m_smpp.SetAccounts(list);
    m_ucp.SetAccounts(list);
    m_cimd.SetAccounts(list);
    CSettings().SetAccounts(list);
    return {};
}

QByteArray CSimulator::AccountsJson() const { return accounts::ToJson(m_smpp.Accounts()); }

QString CSimulator::SaveAccountsJson(const QByteArray& json) {
    QString error;
    const std::vector<Account> list = accounts::Parse(json, &error);
    return error.isEmpty() ? SaveAccounts(list) : error;
}

void CSimulator::SaveSessions(const SessionSettings& sessions) {
    CSettings().SetSessions(sessions);
    m_smpp.SetSessionSettings(CSettings().Sessions());
    m_ucp.SetResultTimeout(CSettings().Sessions().responseTimeoutSeconds);
    m_cimd.SetResultTimeout(CSettings().Sessions().responseTimeoutSeconds);
}

void CSimulator::SaveRetry(const RetryPolicy& retry) {
    CSettings().SetRetry(retry);
    m_smpp.SetRetry(CSettings().Retry());
}

void CSimulator::SetTrace(const CRouter::TraceSink& trace) {
    m_router.SetTrace(trace);
    m_smpp.SetTrace(trace);
    m_ucp.SetTrace(trace);
    m_cimd.SetTrace(trace);
}

void CSimulator::ResetRun() {
    m_log.Reset();
    m_router.ForgetMessages();
    m_statistics.Reset();
}

CRouter::ReceiptOutcome CSimulator::SendReceiptNow(std::string_view messageId, MessageState state, uint8_t error) {
    const CRouter::ReceiptOutcome outcome = m_router.SendReceiptNow(messageId, state, error);
    if (outcome != CRouter::ReceiptOutcome::UnknownMessage)
        return outcome;
    constexpr uint32_t kHeader = packet_record::kHeaderSize, kPduHeader = 16;
    for (int32_t index = m_log.GetCount() - 1; index >= 0; --index) {
        uint32_t length = 0;
        const uint8_t* record = m_log.PacketAt(index, &length);
        if (!record || packet_record::ReadHeader(record).protocol != protocol::kSmpp || length < kHeader + kPduHeader)
            continue;
        const wire::Cursor pdu(record + kHeader, length - kHeader);
        const uint32_t commandId = pdu.At(4).U32();
        if ((commandId != smpp::kSubmitSmResp && commandId != smpp::kDataSmResp && commandId != smpp::kSubmitMultiResp) ||
            pdu.At(8).U32() != 0)
            continue;
        // The answer's message_id, NUL-terminated inside the PDU.
        const char* id = reinterpret_cast<const char*>(record + kHeader + kPduHeader);
        const size_t idLength = strnlen(id, length - kHeader - kPduHeader);
        if (idLength == length - kHeader - kPduHeader || std::string_view(id, idLength) != messageId)
            continue;
        const int32_t request = m_pairs.PartnerOf(index);
        uint32_t requestLength = 0;
        const uint8_t* submitted = request < 0 ? nullptr : m_log.PacketAt(request, &requestLength);
        if (!submitted || requestLength < kHeader + kPduHeader)
            return CRouter::ReceiptOutcome::UnknownMessage;
        const std::optional<smpp::SubmittedMessage> message =
            smpp::ParseSubmitted(wire::ReadBe32(submitted + kHeader + 4), submitted + kHeader + kPduHeader,
                                 int32_t(requestLength - kHeader - kPduHeader));
        if (!message)
            return CRouter::ReceiptOutcome::UnknownMessage;
        const PacketSummary& context = m_log.SummaryAt(request);
        const CConnection* connection = m_smpp.FindConnection(context.connection);
        const ReceiptRoute route = CRouter::RouteOf(*message, context.connection, connection ? connection->Name() : "");
        return m_router.SendReceiptNow(std::string(messageId), route, context.timeUs / 1'000'000, state, error);
    }
    return CRouter::ReceiptOutcome::UnknownMessage;
}
