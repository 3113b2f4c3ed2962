// The router's UCP side: messages to a UCP session's login address, UCP submits routed on, and their 53s.
#include "simulator/Router.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr uint8_t kGsmDefault = 0; // data_coding of GSM 7-bit text, one septet per octet

// A part as a 52 carries it: GSM text as AMsg, anything else as TMsg with its data coding; a user data header
// in XSer either way.
ucp_server::Content ContentOf(const smpp::MessagePart& part, uint8_t dataCoding) {
    ucp_server::Content content;
    const std::size_t header = part.udhi && !part.message.empty()
                                   ? std::min<std::size_t>(part.message.size(), part.message[0] + 1u) : 0;
    content.udh.assign(part.message.begin(), part.message.begin() + std::ptrdiff_t(header));
    const std::vector<uint8_t> rest(part.message.begin() + std::ptrdiff_t(header), part.message.end());
    content.transparent = dataCoding != kGsmDefault;
    (content.transparent ? content.octets : content.septets) = rest;
    content.dcs = dataCoding;
    return content;
}

// A UCP message as a phone's message reaches the other sides: GSM text with data_coding 0, octets with XSer's.
smpp::MessagePart PartOf(const ucp_server::Content& content, uint8_t& dataCoding) {
    smpp::MessagePart part;
    part.udhi = !content.udh.empty();
    part.message = content.udh;
    const std::vector<uint8_t>& rest = content.transparent ? content.octets : content.septets;
    part.message.insert(part.message.end(), rest.begin(), rest.end());
    dataCoding = content.transparent ? content.dcs : kGsmDefault;
    return part;
}

} // namespace

std::string_view CRouter::DeliveryText(text_server::Delivery delivery) {
    switch (delivery) {
    case text_server::Delivery::Sent: return " to ";
    case text_server::Delivery::Kept: return ", kept for ";
    case text_server::Delivery::Refused: break;
    }
    return ", no session of ";
}

void CRouter::AttachUcp(CUcpServer* ucp) {
    if (m_ucp)
        m_ucp->SetMessageListener(nullptr);
    m_ucp = ucp;
    if (m_ucp)
        m_ucp->SetMessageListener(this);
}

int CRouter::RouteToUcp(const std::string& from, const std::string& to, uint8_t dataCoding,
                        const std::vector<smpp::MessagePart>& parts) {
    if (!m_ucp)
        return 0;
    int sent = 0;
    for (const smpp::MessagePart& part : parts)
        sent += m_ucp->DeliverTo(to, from, ContentOf(part, dataCoding));
    if (sent > 0)
        Trace("[Route] " + from + " to UCP session " + to + ": " + std::to_string(sent) + " deliver short message");
    return sent;
}

void CRouter::OnUcpSubmitted(const CConnection& connection, const ucp_server::Submitted& message) {
    if (m_settings.routing) {
        uint8_t dataCoding = kGsmDefault;
        const smpp::MessagePart part = PartOf(message.content, dataCoding);
        RouteFromPhone(message.oadc, message.adc, dataCoding, std::vector<smpp::MessagePart>{part});
    }
    if (!m_settings.receipts || !message.notification)
        return;
    // The delay stands for the network, as it does for a receipt.
    const uint64_t connectionId = connection.Id();
    const std::string login = connection.Name();
    m_smpp.Scheduler().After(std::max(0, m_settings.receiptDelayMs), this,
                             [this, connectionId, login, message] { NotifyUcp(connectionId, login, message); });
}

void CRouter::NotifyUcp(uint64_t connectionId, const std::string& login, const ucp_server::Submitted& message) {
    if (!m_ucp)
        return;
    const MessageState state = Draw(ProfileOf(login).mix);
    const bool delivered = state == MessageState::Delivered;
    const uint8_t error = receipt_profiles::ErrorOf(state);
    char rsn[4];
    std::snprintf(rsn, sizeof rsn, "%03u", unsigned(error));
    const QDateTime now = QDateTime::fromSecsSinceEpoch(Now());
    const std::string text = "Message for " + message.adc + ", with identification " + message.scts +
                             (delivered ? " has been delivered on " : " could not be delivered on ") +
                             now.toString("yyyy-MM-dd 'at' hh:mm:ss").toStdString();
    // A notification goes from the recipient to the submitter: AdC and OAdC swap places.
    const text_server::Delivery delivery = m_ucp->Notify(connectionId, login, {message.oadc, message.adc, message.scts,
                                                                                 delivered ? '0' : '2', rsn, text});
    Trace("[Receipt] UCP message " + message.adc + ":" + message.scts + " " + std::string(MessageStateText(state)) +
          std::string(DeliveryText(delivery)) + (login.empty() ? "the submitter" : login));
}
