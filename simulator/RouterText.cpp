// The router's text-protocol sides: messages to a UCP or CIMD2 session's login, the submits of those sessions
// routed on, and the 53 or 23 each submit asked for.
#include "simulator/Router.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr uint8_t kGsmDefault = 0; // data_coding of GSM 7-bit text, one septet per octet

// A part as a 52 or a 20 carries it: GSM text as AMsg or 033, anything else as octets with its data coding; a
// user data header either way.
text_server::Content ContentOf(const smpp::MessagePart& part, uint8_t dataCoding) {
    text_server::Content content;
    const std::size_t header = part.udhi && !part.message.empty()
                                   ? std::min<std::size_t>(part.message.size(), part.message[0] + 1u) : 0;
    content.udh.assign(part.message.begin(), part.message.begin() + std::ptrdiff_t(header));
    const std::vector<uint8_t> rest(part.message.begin() + std::ptrdiff_t(header), part.message.end());
    content.binary = dataCoding != kGsmDefault;
    (content.binary ? content.octets : content.septets) = rest;
    content.dcs = dataCoding;
    return content;
}

// A text client's message as a phone's message reaches the other sides: GSM text with data_coding 0, octets
// with the data coding they came with.
smpp::MessagePart PartOf(const text_server::Content& content, uint8_t& dataCoding) {
    smpp::MessagePart part;
    part.udhi = !content.udh.empty();
    part.message = content.udh;
    const std::vector<uint8_t>& rest = content.binary ? content.octets : content.septets;
    part.message.insert(part.message.end(), rest.begin(), rest.end());
    dataCoding = content.binary ? content.dcs : kGsmDefault;
    return part;
}

// The parts to every session of server logged in as to; how many went out.
template <class Server>
int DeliverParts(Server* server, const std::string& from, const std::string& to, uint8_t dataCoding,
                 const std::vector<smpp::MessagePart>& parts) {
    int sent = 0;
    for (const smpp::MessagePart& part : parts)
        sent += server ? server->DeliverTo(to, from, ContentOf(part, dataCoding)) : 0;
    return sent;
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

// The trace line of a 53 or a 23: the message by its key, its drawn state, and how the report fared.
std::string ReceiptLine(std::string_view protocol, const std::string& key, MessageState state,
                        text_server::Delivery delivery, const std::string& login) {
    std::string_view how = ", no session of ";
    if (delivery == text_server::Delivery::Sent)
        how = " to ";
    else if (delivery == text_server::Delivery::Kept)
        how = ", kept for ";
    return "[Receipt] " + std::string(protocol) + " message " + key + " " + std::string(MessageStateText(state)) +
           std::string(how) + (login.empty() ? "the submitter" : login);
}

} // namespace

void CRouter::AttachUcp(CUcpServer* ucp) {
    if (m_ucp)
        m_ucp->SetMessageListener(nullptr);
    m_ucp = ucp;
    if (m_ucp)
        m_ucp->SetMessageListener(this);
}

void CRouter::AttachCimd(CCimdServer* cimd) {
    if (m_cimd)
        m_cimd->SetMessageListener(nullptr);
    m_cimd = cimd;
    if (m_cimd)
        m_cimd->SetMessageListener(this);
}

int CRouter::RouteToText(const std::string& from, const std::string& to, uint8_t dataCoding,
                         const std::vector<smpp::MessagePart>& parts) {
    int total = 0;
    const auto routed = [&](int sent, std::string_view side, std::string_view operation) {
        if (sent > 0)
            Trace("[Route] " + from + " to " + std::string(side) + " session " + to + ": " + std::to_string(sent) + " " +
                  std::string(operation));
        total += sent;
    };
    routed(DeliverParts(m_ucp, from, to, dataCoding, parts), "UCP", "deliver short message");
    routed(DeliverParts(m_cimd, from, to, dataCoding, parts), "CIMD2", "deliver message");
    return total;
}

void CRouter::OnTextSubmitted(const CConnection& connection, const std::string& from, const std::string& to,
                              const text_server::Content& content, bool reportAsked, TextReport report) {
    if (m_settings.routing) {
        uint8_t dataCoding = kGsmDefault;
        const smpp::MessagePart part = PartOf(content, dataCoding);
        RouteFromPhone(from, to, dataCoding, std::vector<smpp::MessagePart>{part});
    }
    if (!m_settings.receipts || !reportAsked)
        return;
    // The delay stands for the network, as it does for a receipt.
    m_smpp.Scheduler().After(std::max(0, m_settings.receiptDelayMs), this,
                             [connectionId = connection.Id(), login = std::string(connection.Name()), report = std::move(report)] {
                                 report(connectionId, login);
                             });
}

void CRouter::OnUcpSubmitted(const CConnection& connection, const ucp_server::Submitted& message) {
    OnTextSubmitted(connection, message.oadc, message.adc, message.content, message.notification,
                    [this, message](uint64_t connectionId, const std::string& login) {
                        NotifyUcp(connectionId, login, message);
                    });
}

void CRouter::OnCimdSubmitted(const CConnection& connection, const cimd_server::Submitted& message) {
    OnTextSubmitted(connection, message.originator, message.destination, message.content, message.statusReport,
                    [this, message](uint64_t connectionId, const std::string& login) {
                        ReportCimd(connectionId, login, message);
                    });
}

void CRouter::NotifyUcp(uint64_t connectionId, const std::string& login, const ucp_server::Submitted& message) {
    if (!m_ucp)
        return;
    const MessageState state = Draw(ProfileOf(login).mix);
    const bool delivered = state == MessageState::Delivered;
    char rsn[4];
    std::snprintf(rsn, sizeof rsn, "%03u", unsigned(receipt_profiles::ErrorOf(state)));
    const QDateTime now = QDateTime::fromSecsSinceEpoch(Now());
    const std::string text = "Message for " + message.adc + ", with identification " + message.scts +
                             (delivered ? " has been delivered on " : " could not be delivered on ") +
                             now.toString("yyyy-MM-dd 'at' hh:mm:ss").toStdString();
    // A notification goes from the recipient to the submitter: AdC and OAdC swap places.
    const text_server::Delivery delivery = m_ucp->Notify(connectionId, login, {message.oadc, message.adc, message.scts,
                                                                                 delivered ? '0' : '2', rsn, text});
    Trace(ReceiptLine("UCP", message.adc + ":" + message.scts, state, delivery, login));
}

void CRouter::ReportCimd(uint64_t connectionId, const std::string& login, const cimd_server::Submitted& message) {
    if (!m_cimd)
        return;
    const MessageState state = Draw(ProfileOf(login).mix);
    const uint16_t error = state == MessageState::Delivered ? 0 : receipt_profiles::ErrorOf(state);
    const text_server::Delivery delivery =
        m_cimd->Report(connectionId, login, {message.destination, message.timestamp, StatusCodeOf(state), error});
    Trace(ReceiptLine("CIMD2", message.destination + ":" + message.timestamp, state, delivery, login));
}
