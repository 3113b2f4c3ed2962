// CCimdServer: CIMD2 packets on the text server, login against the accounts, submits with their 060, the
// enquiries and cancels that name a submitted message, and the 20s and 23s the server sends.
#include "cimdserver/CimdServer.h"

#include <QString>

#include <algorithm>
#include <cstdlib>

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

// The message of a submit: the 900 that refuses it, or 0 with the content filled in.
uint16_t ReadContent(const cimd::Packet& packet, Content& content) {
    const cimd::Parameter* text = packet.Find(cimd::param::kUserData);
    const cimd::Parameter* binary = packet.Find(cimd::param::kUserDataBinary);
    const cimd::Parameter* header = packet.Find(cimd::param::kUserDataHeader);
    const cimd::Parameter* dcs = packet.Find(cimd::param::kDataCodingScheme);
    if (text && binary)
        return cimd::error::kUserDataCombination;
    if (text) {
        auto septets = cimd::DecodeSeptets(text->value);
        if (!septets || septets->size() > kMaxCharacters)
            return cimd::error::kUserDataSyntax;
        content.septets = std::move(*septets);
    }
    const auto octets = binary ? cimd::FromHex(binary->value) : std::optional<std::vector<uint8_t>>();
    const auto udh = header ? cimd::FromHex(header->value) : std::optional<std::vector<uint8_t>>();
    if ((binary && !octets) || (header && !udh))
        return cimd::error::kUserDataSyntax;
    content.binary = binary != nullptr;
    content.octets = octets.value_or(std::vector<uint8_t>());
    content.udh = udh.value_or(std::vector<uint8_t>());
    content.dcs = uint8_t(dcs ? std::atoi(std::string(dcs->value).c_str()) : 0);
    return content.octets.size() + content.udh.size() > kMaxOctets ? cimd::error::kUserDataSyntax : 0;
}

std::vector<uint16_t> Codes(std::initializer_list<uint16_t> codes) { return codes; }

} // namespace

CCimdServer::CCimdServer(QObject* parent) : CTextServer(kProtocolCode, kFilterIndex, kWindow, parent) {}

void CCimdServer::Serve(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided) {
    const cimd::ParseResult parsed = cimd::Parse(frame, cimd::Sender::Client);
    const cimd::Packet& p = parsed.packet;
    if (!parsed.headerRead)
        CloseConnection(connection, "a packet whose header does not read"); // nothing to address an answer to
    else if (!parsed.Ok() && parsed.Answer() == cimd::op::kGeneralError)
        Reply(connection, cimd::Build(cimd::op::kGeneralError, p.number,
                                      {{cimd::param::kErrorCode, std::to_string(cimd::error::kUnexpectedOperation)}}));
    else if (!parsed.Ok())
        Reply(connection, cimd::Build(cimd::op::kNack, p.number, {}));
    else if (p.operation >= cimd::op::kResponseOffset)
        TakeResponse(connection, p);
    else if (p.operation != cimd::op::kLogin && p.operation != cimd::op::kSubmit)
        Operate(connection, p);
    else
        ServeUnderFaults(connection, frame, decided, p);
}

void CCimdServer::ServeUnderFaults(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided,
                                   const cimd::Packet& p) {
    const bool login = p.operation == cimd::op::kLogin;
    const std::string name = login ? Text(p, cimd::param::kUserIdentity) : std::string(connection.Name());
    const FaultStep step = ApplyFaults(connection, frame, decided, login, name,
                                       login ? std::string() : Text(p, cimd::param::kDestinationAddress),
                                       {[&](uint32_t error) { Refuse(connection, p, uint16_t(error)); },
                                        [&] { Reply(connection, cimd::Build(cimd::op::kNack, p.number, {})); }});
    if (step != FaultStep::Done)
        Operate(connection, p);
    if (step == FaultStep::ServeThenClose)
        CloseConnection(connection, "a fault rule closes it");
}

void CCimdServer::HandleBadChecksum(CConnection& connection, const uint8_t* octets, uint32_t length) {
    const auto facts = cimd::PeekHeader({octets, length});
    if (!facts)
        CloseConnection(connection, "a packet whose header does not read");
    else if (facts->operation < cimd::op::kResponseOffset)
        Reply(connection, cimd::Build(cimd::op::kNack, facts->number, {}));
}

void CCimdServer::Operate(CConnection& connection, const cimd::Packet& p) {
    CimdSession* session = connection.SessionAs<CimdSession>();
    switch (p.operation) {
    case cimd::op::kLogin: return Login(connection, p);
    case cimd::op::kAlive: return Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    case cimd::op::kLogout:
        session->loggedIn = false;
        return Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    case cimd::op::kSubmit:
    case cimd::op::kEnquireStatus:
    case cimd::op::kCancel:
        if (HasAccounts() && !session->loggedIn)
            return Refuse(connection, p, cimd::error::kUnexpectedOperation); // the accounts ask for a login first
        return p.operation == cimd::op::kSubmit ? Submit(connection, p) : Find(connection, p);
    default:
        return Reply(connection, cimd::Build(cimd::op::kGeneralError, p.number,
                                             {{cimd::param::kErrorCode, std::to_string(cimd::error::kUnexpectedOperation)}}));
    }
}

void CCimdServer::Login(CConnection& connection, const cimd::Packet& p) {
    const std::string user = Text(p, cimd::param::kUserIdentity);
    const std::string refusal =
        LoginRefusal(connection, user, Text(p, cimd::param::kPassword), "user identity");
    if (!refusal.empty()) {
        PrintRefusal(connection, user, refusal, cimd::error::kInvalidLogin);
        return Refuse(connection, p, cimd::error::kInvalidLogin);
    }
    Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    LoggedIn(connection, user);
}

void CCimdServer::Submit(CConnection& connection, const cimd::Packet& p) {
    Submitted message;
    message.destination = Text(p, cimd::param::kDestinationAddress);
    message.originator = Text(p, cimd::param::kOriginatingAddress);
    message.statusReport = !Text(p, cimd::param::kStatusReportRequest).empty() &&
                           Text(p, cimd::param::kStatusReportRequest) != "0";
    if (!IsAddress(message.destination))
        return Refuse(connection, p, cimd::error::kIncorrectDestination);
    if (const uint16_t refused = ReadContent(p, message.content))
        return Refuse(connection, p, refused);
    message.timestamp = NextTimestamp();
    CimdSession* session = connection.SessionAs<CimdSession>();
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
    auto& submitted = connection.SessionAs<CimdSession>()->submitted;
    const std::string destination = Text(p, cimd::param::kDestinationAddress);
    const std::string timestamp = Text(p, cimd::param::kServiceCentreTimeStamp);
    const auto found = std::find(submitted.begin(), submitted.end(), std::pair{destination, timestamp});
    if (found == submitted.end())
        return Refuse(connection, p, cimd::error::kCannotFindInformation);
    if (p.operation == cimd::op::kCancel) {
        submitted.erase(found);
        return Reply(connection, cimd::BuildResponse(p.operation, p.number, {}));
    }
    // The status report, when one comes, tells the outcome.
    const std::string inProcess = std::to_string(cimd::status::kInProcess);
    Reply(connection, cimd::BuildResponse(p.operation, p.number,
                                          {{cimd::param::kDestinationAddress, destination},
                                           {cimd::param::kServiceCentreTimeStamp, timestamp},
                                           {cimd::param::kStatusCode, inProcess}}));
}

void CCimdServer::Refuse(CConnection& connection, const cimd::Packet& p, uint16_t error) {
    Reply(connection, cimd::BuildResponse(p.operation, p.number, {{cimd::param::kErrorCode, std::to_string(error)}}));
}

void CCimdServer::TakeResponse(CConnection& connection, const cimd::Packet& p) {
    const bool ours = p.operation == cimd::op::kDeliver + cimd::op::kResponseOffset ||
                      p.operation == cimd::op::kStatusReport + cimd::op::kResponseOffset ||
                      p.operation == cimd::op::kGeneralError || p.operation == cimd::op::kNack;
    if (!ours || p.number % 2 != 0)
        return; // a response to nothing the server sent: captured, nothing more
    const std::string error = Text(p, cimd::param::kErrorCode);
    const bool positive = error.empty() && p.operation != cimd::op::kGeneralError && p.operation != cimd::op::kNack;
    const uint16_t code = positive ? 0 : uint16_t(std::atoi(error.c_str()));
    Settle(connection, p.number / 2, {positive ? text_server::Outcome::Positive : text_server::Outcome::Negative, code});
}

void CCimdServer::Answered(uint64_t tag, const text_server::Result& result) {
    if (tag != 0 && m_listener)
        m_listener->OnCimdAnswered(tag, result);
}

std::string CCimdServer::BuildOperation(std::size_t slot, const text_server::Outgoing& operation) const {
    std::vector<cimd::ParameterValue> parameters;
    for (std::size_t i = 0; i < operation.fields.size() && i < operation.codes.size(); ++i)
        parameters.push_back({operation.codes[i], operation.fields[i]});
    return cimd::Build(operation.operation, uint8_t(slot * 2), parameters);
}

int CCimdServer::DeliverTo(const std::string& to, const std::string& from, const Content& content, uint64_t tag) {
    text_server::Outgoing deliver{cimd::op::kDeliver, {to}, {cimd::param::kDestinationAddress}, tag};
    const auto add = [&deliver](uint16_t code, std::string value) {
        deliver.codes.push_back(code);
        deliver.fields.push_back(std::move(value));
    };
    const auto alphanumeric = IsAddress(from) ? std::nullopt
                                              : cimd::EncodeUserData(QString::fromStdString(from).toStdU32String());
    if (alphanumeric)
        add(cimd::param::kAlphanumericOriginator, *alphanumeric);
    else
        add(cimd::param::kOriginatingAddress, from);
    add(cimd::param::kServiceCentreTimeStamp, NextTimestamp());
    if (!content.udh.empty())
        add(cimd::param::kUserDataHeader, cimd::ToHex(content.udh));
    if (content.binary) {
        add(cimd::param::kDataCodingScheme, std::to_string(content.dcs));
        add(cimd::param::kUserDataBinary, cimd::ToHex(content.octets));
    } else {
        const auto text = cimd::EncodeSeptets(content.septets);
        if (!text)
            return 0; // septets the router made: never the peer's mistake
        add(cimd::param::kUserData, *text);
    }
    return SendToLogin(to, deliver);
}

text_server::Delivery CCimdServer::Report(uint64_t connectionId, const std::string& login, const StatusReport& report) {
    text_server::Outgoing operation{cimd::op::kStatusReport,
                                    {report.destination, report.timestamp, std::to_string(report.status)},
                                    Codes({cimd::param::kDestinationAddress, cimd::param::kServiceCentreTimeStamp,
                                           cimd::param::kStatusCode}),
                                    0};
    if (report.error != 0) {
        operation.codes.push_back(cimd::param::kStatusErrorCode);
        operation.fields.push_back(std::to_string(report.error));
    }
    operation.codes.push_back(cimd::param::kDischargeTime);
    operation.fields.push_back(NextTimestamp());
    return SendTo(connectionId, login, std::move(operation));
}

std::string CCimdServer::NextTimestamp() {
    const std::tm local = NextStamp();
    return cimd::FormatTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec});
}
