// CCimdServer: CIMD2 packets on the framed server, login against the accounts, submits with their 060, and
// the enquiries and cancels that name a submitted message.
#include "cimdserver/CimdServer.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace cimd_server;

namespace {

std::string Text(const cimd::Packet& packet, uint16_t code) {
    const cimd::Parameter* found = packet.Find(code);
    return found ? std::string(found->value) : std::string();
}

// Digits, a leading + allowed, as a destination address is written.
bool IsAddress(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    return !text.empty() && text.size() <= kMaxAddressDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The message of a submit: the 900 that refuses it, or 0 with the message filled in.
uint16_t ReadContent(const cimd::Packet& packet, Submitted& message) {
    const cimd::Parameter* text = packet.Find(cimd::param::kUserData);
    const cimd::Parameter* binary = packet.Find(cimd::param::kUserDataBinary);
    const cimd::Parameter* header = packet.Find(cimd::param::kUserDataHeader);
    if (text && binary)
        return cimd::error::kUserDataCombination;
    if (text) {
        const auto read = cimd::DecodeUserData(text->value);
        if (!read || read->size() > kMaxCharacters)
            return cimd::error::kUserDataSyntax;
        message.text = *read;
    }
    const auto octets = binary ? cimd::FromHex(binary->value) : std::optional<std::vector<uint8_t>>();
    const auto udh = header ? cimd::FromHex(header->value) : std::optional<std::vector<uint8_t>>();
    if ((binary && !octets) || (header && !udh))
        return cimd::error::kUserDataSyntax;
    message.binary = octets.value_or(std::vector<uint8_t>());
    message.header = udh.value_or(std::vector<uint8_t>());
    return message.binary.size() + message.header.size() > kMaxOctets ? cimd::error::kUserDataSyntax : 0;
}

} // namespace

CCimdServer::CCimdServer(QObject* parent)
    : CFramedServer(kProtocolCode, wire::FramerFor(*protocol::Find(kProtocolCode)), parent) {}

bool CCimdServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CFramedServer::Start(port, maxConnections, idleTimeoutSeconds);
    char line[64];
    std::snprintf(line, sizeof line, "CIMD2 server start %s! (port = %d)\r\n", ok ? "ok" : "fail", int(OwnPort()));
    NotifyPrint(line);
    return ok;
}

void CCimdServer::OnAccept(CConnection& connection) {
    CFramedServer::OnAccept(connection);
    connection.SetSession(std::make_unique<Session>());
}

std::string CCimdServer::SessionKind(const CConnection& connection) const {
    const Session* session = connection.SessionAs<Session>();
    return session && session->loggedIn ? "session" : "";
}

void CCimdServer::HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) {
    CaptureReceived(connection, pdu, length, kFilterIndex);
    const cimd::ParseResult parsed = cimd::Parse({pdu, length}, cimd::Sender::Client);
    const cimd::Packet& p = parsed.packet;
    if (!parsed.headerRead)
        CloseConnection(connection, "a packet whose header does not read"); // nothing to address an answer to
    else if (!parsed.Ok() && parsed.Answer() == cimd::op::kGeneralError)
        Reply(connection, cimd::Build(cimd::op::kGeneralError, p.number,
                                      {{cimd::param::kErrorCode, std::to_string(cimd::error::kUnexpectedOperation)}}));
    else if (!parsed.Ok())
        Reply(connection, cimd::Build(cimd::op::kNack, p.number, {}));
    else if (p.operation < cimd::op::kResponseOffset)
        Operate(connection, p);
    // A response to nothing the server sent is captured, nothing more.
}

void CCimdServer::HandleBadLength(CConnection& connection, const uint8_t* /*header*/) {
    // The framer resynchronises at the next STX and never stops a stream; should it, the stream is lost.
    CloseConnection(connection, "a stream that can no longer be cut into packets");
}

void CCimdServer::HandleNotFrame(CConnection& connection, const uint8_t* octets, uint32_t length, wire::FrameFault fault) {
    // A whole packet whose checksum is wrong is captured and NACKed on its number when it is an operation;
    // octets between packets and a packet without its end are passed over.
    if (fault != wire::FrameFault::BadChecksum)
        return;
    CaptureReceived(connection, octets, length, kFilterIndex);
    const auto facts = cimd::PeekHeader({octets, length});
    if (!facts)
        CloseConnection(connection, "a packet whose header does not read");
    else if (facts->operation < cimd::op::kResponseOffset)
        Reply(connection, cimd::Build(cimd::op::kNack, facts->number, {}));
}

void CCimdServer::Operate(CConnection& connection, const cimd::Packet& p) {
    Session* session = connection.SessionAs<Session>();
    switch (p.operation) {
    case cimd::op::kLogin: return Login(connection, p);
    case cimd::op::kAlive: return Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    case cimd::op::kLogout:
        session->loggedIn = false;
        return Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    case cimd::op::kSubmit:
    case cimd::op::kEnquireStatus:
    case cimd::op::kCancel:
        if (!m_accounts.empty() && !session->loggedIn)
            return Refuse(connection, p, cimd::error::kUnexpectedOperation); // the accounts ask for a login first
        return p.operation == cimd::op::kSubmit ? Submit(connection, p) : Find(connection, p);
    default:
        return Reply(connection, cimd::Build(cimd::op::kGeneralError, p.number,
                                             {{cimd::param::kErrorCode, std::to_string(cimd::error::kUnexpectedOperation)}}));
    }
}

std::string CCimdServer::LoginRefusal(const CConnection& connection, const cimd::Packet& p) const {
    if (connection.SessionAs<Session>()->loggedIn)
        return "already logged in";
    if (m_accounts.empty())
        return {};
    const std::string user = Text(p, cimd::param::kUserIdentity), password = Text(p, cimd::param::kPassword);
    const auto found = std::find_if(m_accounts.begin(), m_accounts.end(),
                                    [&](const Account& a) { return a.systemId.toStdString() == user; });
    if (found == m_accounts.end())
        return "no account has this user identity";
    return found->password.toStdString() == password ? std::string() : "wrong password";
}

void CCimdServer::Login(CConnection& connection, const cimd::Packet& p) {
    const std::string user = Text(p, cimd::param::kUserIdentity);
    const std::string refusal = LoginRefusal(connection, p);
    if (!refusal.empty()) {
        NotifyPrint("Login refused [" + std::to_string(PositionOf(connection)) + "] (" + user + "): " + refusal +
                    " (100)\r\n");
        return Refuse(connection, p, cimd::error::kInvalidLogin);
    }
    connection.SessionAs<Session>()->loggedIn = true;
    connection.SetName(user.c_str());
    NotifyLoggedIn(connection);
    Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
}

void CCimdServer::Submit(CConnection& connection, const cimd::Packet& p) {
    Submitted message;
    message.destination = Text(p, cimd::param::kDestinationAddress);
    message.originator = Text(p, cimd::param::kOriginatingAddress);
    message.statusReport = !Text(p, cimd::param::kStatusReportRequest).empty() &&
                           Text(p, cimd::param::kStatusReportRequest) != "0";
    if (!IsAddress(message.destination))
        return Refuse(connection, p, cimd::error::kIncorrectDestination);
    if (const uint16_t refused = ReadContent(p, message))
        return Refuse(connection, p, refused);
    message.timestamp = NextTimestamp();
    Session* session = connection.SessionAs<Session>();
    if (session->submitted.size() == kRemembered)
        session->submitted.pop_front();
    session->submitted.emplace_back(message.destination, message.timestamp);
    Reply(connection, cimd::BuildResponse(p.operation, p.number,
                                          {{cimd::param::kDestinationAddress, message.destination},
                                           {cimd::param::kServiceCentreTimeStamp, message.timestamp}}));
    if (m_listener)
        m_listener->OnCimdSubmitted(connection, message);
}

void CCimdServer::Find(CConnection& connection, const cimd::Packet& p) {
    auto& submitted = connection.SessionAs<Session>()->submitted;
    const std::string destination = Text(p, cimd::param::kDestinationAddress);
    const std::string timestamp = Text(p, cimd::param::kServiceCentreTimeStamp);
    const auto found = std::find(submitted.begin(), submitted.end(), std::pair{destination, timestamp});
    if (found == submitted.end())
        return Refuse(connection, p, cimd::error::kCannotFindInformation);
    if (p.operation == cimd::op::kCancel) {
        submitted.erase(found);
        return Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    }
    constexpr std::string_view kInProcess = "1"; // the receipt, when one comes, tells the outcome
    Reply(connection, cimd::BuildResponse(p.operation, p.number,
                                          {{cimd::param::kDestinationAddress, destination},
                                           {cimd::param::kServiceCentreTimeStamp, timestamp},
                                           {cimd::param::kStatusCode, kInProcess}}));
}

void CCimdServer::Reply(CConnection& connection, const std::string& packet) {
    SendAndCapture(connection, reinterpret_cast<const uint8_t*>(packet.data()), uint32_t(packet.size()), kFilterIndex);
}

void CCimdServer::Refuse(CConnection& connection, const cimd::Packet& p, uint16_t error) {
    Reply(connection, cimd::BuildResponse(p.operation, p.number, {{cimd::param::kErrorCode, std::to_string(error)}}));
}

std::string CCimdServer::NextTimestamp() {
    const int64_t now = Now();
    m_lastTimestamp = now > m_lastTimestamp ? now : m_lastTimestamp + 1;
    const std::time_t seconds = std::time_t(m_lastTimestamp);
    std::tm local{};
    localtime_r(&seconds, &local);
    return cimd::FormatTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec});
}
