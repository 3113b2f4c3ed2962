// The router's CIMD2 side: messages to a CIMD2 session's user identity, CIMD2 submits routed on, and their 23s.
#include "simulator/Router.h"

#include <algorithm>

namespace {

constexpr uint8_t kGsmDefault = 0; // data_coding of GSM 7-bit text, one septet per octet

// A part as a 20 carries it: GSM text as 033, anything else as 034 with its data coding; a user data header as
// 032 either way.
cimd_server::Content ContentOf(const smpp::MessagePart& part, uint8_t dataCoding) {
    cimd_server::Content content;
    const std::size_t header = part.udhi && !part.message.empty()
                                   ? std::min<std::size_t>(part.message.size(), part.message[0] + 1u) : 0;
    content.header.assign(part.message.begin(), part.message.begin() + std::ptrdiff_t(header));
    const std::vector<uint8_t> rest(part.message.begin() + std::ptrdiff_t(header), part.message.end());
    content.binary = dataCoding != kGsmDefault;
    (content.binary ? content.octets : content.septets) = rest;
    content.dcs = dataCoding;
    return content;
}

// A CIMD2 message as a phone's message reaches the other sides: GSM text with data_coding 0, octets with 030's.
smpp::MessagePart PartOf(const cimd_server::Content& content, uint8_t& dataCoding) {
    smpp::MessagePart part;
    part.udhi = !content.header.empty();
    part.message = content.header;
    const std::vector<uint8_t>& rest = content.binary ? content.octets : content.septets;
    part.message.insert(part.message.end(), rest.begin(), rest.end());
    dataCoding = content.binary ? content.dcs : kGsmDefault;
    return part;
}

// 061 of a final state: what a status report says became of the message.
uint8_t StatusCodeOf(MessageState state) {
    switch (state) {
    case MessageState::Delivered: return cimd::status::kDeliverySuccessful;
    case MessageState::Expired: return cimd::status::kValidityPeriodExpired;
    case MessageState::Deleted: return cimd::status::kMessageDeleted;
    case MessageState::Enroute:
    case MessageState::Accepted:
    case MessageState::Scheduled: return cimd::status::kInProcess;
    default: return cimd::status::kDeliveryFailed;
    }
}

} // namespace

void CRouter::AttachCimd(CCimdServer* cimd) {
    if (m_cimd)
        m_cimd->SetMessageListener(nullptr);
    m_cimd = cimd;
    if (m_cimd)
        m_cimd->SetMessageListener(this);
}

int CRouter::RouteToCimd(const std::string& from, const std::string& to, uint8_t dataCoding,
                         const std::vector<smpp::MessagePart>& parts) {
    if (!m_cimd)
        return 0;
    int sent = 0;
    for (const smpp::MessagePart& part : parts)
        sent += m_cimd->DeliverTo(to, from, ContentOf(part, dataCoding));
    if (sent > 0)
        Trace("[Route] " + from + " to CIMD2 session " + to + ": " + std::to_string(sent) + " deliver message");
    return sent;
}

void CRouter::OnCimdSubmitted(const CConnection& connection, const cimd_server::Submitted& message) {
    if (m_settings.routing) {
        uint8_t dataCoding = kGsmDefault;
        const smpp::MessagePart part = PartOf(message.content, dataCoding);
        RouteFromPhone(message.originator, message.destination, dataCoding, std::vector<smpp::MessagePart>{part});
    }
    if (!m_settings.receipts || !message.statusReport)
        return;
    // The delay stands for the network, as it does for a receipt.
    const uint64_t connectionId = connection.Id();
    const std::string login = connection.Name();
    m_smpp.Scheduler().After(std::max(0, m_settings.receiptDelayMs), this,
                             [this, connectionId, login, message] { ReportCimd(connectionId, login, message); });
}

void CRouter::ReportCimd(uint64_t connectionId, const std::string& login, const cimd_server::Submitted& message) {
    if (!m_cimd)
        return;
    const MessageState state = Draw(ProfileOf(login).mix);
    const uint16_t error = state == MessageState::Delivered ? 0 : receipt_profiles::ErrorOf(state);
    const text_server::Delivery delivery =
        m_cimd->Report(connectionId, login, {message.destination, message.timestamp, StatusCodeOf(state), error});
    Trace("[Receipt] CIMD2 message " + message.destination + ":" + message.timestamp + " " +
          std::string(MessageStateText(state)) + std::string(DeliveryText(delivery)) +
          (login.empty() ? "the submitter" : login));
}
