// CUcpServer: UCP/EMI framing on the framed server, login against the accounts, submits, and the window of
// operations the server sends.
#include "ucpserver/UcpServer.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

using namespace ucp_server;

namespace {

using ucp::FieldIndex;
using ucp::kSeries50Fields;
constexpr std::size_t kAdC = FieldIndex(kSeries50Fields, "AdC"), kOAdC = FieldIndex(kSeries50Fields, "OAdC"),
                      kNRq = FieldIndex(kSeries50Fields, "NRq"), kScts = FieldIndex(kSeries50Fields, "SCTS"),
                      kDst = FieldIndex(kSeries50Fields, "Dst"), kRsn = FieldIndex(kSeries50Fields, "Rsn"),
                      kDscts = FieldIndex(kSeries50Fields, "DSCTS"), kMt = FieldIndex(kSeries50Fields, "MT"),
                      kNb = FieldIndex(kSeries50Fields, "NB"), kMsg = FieldIndex(kSeries50Fields, "Msg"),
                      kOtoa = FieldIndex(kSeries50Fields, "OTOA"), kXSer = FieldIndex(kSeries50Fields, "XSer");
constexpr std::size_t kLoginOAdC = FieldIndex(ucp::kSessionFields, "OAdC"),
                      kLoginStyp = FieldIndex(ucp::kSessionFields, "STYP"),
                      kLoginPwd = FieldIndex(ucp::kSessionFields, "PWD");
constexpr std::size_t kCallAdC = FieldIndex(ucp::kCallInputFields, "AdC"),
                      kCallOAdC = FieldIndex(ucp::kCallInputFields, "OAdC"),
                      kCallMt = FieldIndex(ucp::kCallInputFields, "MT"),
                      kCallMsg = FieldIndex(ucp::kCallInputFields, "Msg");
constexpr std::string_view kOpenSession = "1"; // STYP
constexpr std::string_view kAlertAnswer = "0000";

constexpr uint8_t kOtCallInput = 1, kOtAlert = 31, kOtSubmit = 51, kOtDeliver = 52, kOtNotification = 53,
                  kOtSession = 60;

bool IsAddress(std::string_view text) {
    return !text.empty() && text.size() <= kMaxAddressDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Utf8(std::u32string_view text) {
    return QString::fromUcs4(text.data(), qsizetype(text.size())).toStdString();
}

// The message of a submit by its MT: the error that refuses it, or none with content filled in.
std::optional<ucp::ErrorCode> ReadContent(std::string_view mt, std::string_view nb, std::string_view msg,
                                          std::string_view xser, Content& content) {
    if (mt == ucp::kMtAlphanumeric || mt == ucp::kMtNumeric) {
        const auto octets = ucp::FromHex(msg);
        const bool digits = mt == ucp::kMtNumeric && std::all_of(msg.begin(), msg.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (mt == ucp::kMtNumeric ? !digits : (!octets || std::any_of(octets->begin(), octets->end(), [](uint8_t o) { return o > 0x7F; })))
            return ucp::ErrorCode::Syntax;
        content.septets = mt == ucp::kMtNumeric ? std::vector<uint8_t>(msg.begin(), msg.end()) : *octets;
    } else if (mt == ucp::kMtTransparent) {
        auto octets = ucp::DecodeTMsg(nb, msg);
        if (!octets)
            return ucp::ErrorCode::Syntax;
        content.binary = true;
        content.octets = std::move(*octets);
    } else {
        return ucp::ErrorCode::Syntax;
    }
    const auto elements = ucp::ParseXSer(xser);
    if (!elements)
        return ucp::ErrorCode::Syntax;
    for (const ucp::XSerElement& element : *elements) {
        const auto data = ucp::FromHex(element.data);
        if (element.type == ucp::kXSerUdh)
            content.udh = *data;
        else if (element.type == ucp::kXSerDcs && data->size() == 1)
            content.dcs = (*data)[0];
    }
    const bool tooLong = content.binary ? content.octets.size() + content.udh.size() > kMaxOctets
                                             : content.septets.size() > kMaxSeptets;
    return tooLong ? std::optional(ucp::ErrorCode::MessageTooLong) : std::nullopt;
}

} // namespace

CUcpServer::CUcpServer(QObject* parent) : CTextServer(kProtocolCode, kFilterIndex, kWindow, parent) {}

void CUcpServer::Serve(CConnection& connection, std::span<const uint8_t> frame, const Decided& decided) {
    const ucp::ParseResult parsed = ucp::Parse(frame);
    const ucp::Message& m = parsed.message;
    if (!parsed.headerRead) {
        // Nothing to address an answer to: the peer does not speak UCP.
        CloseConnection(connection, "a frame whose header does not read");
    } else if (m.kind == ucp::Kind::Result) {
        if (parsed.Ok())
            TakeResult(connection, m);
    } else if (!parsed.Ok()) {
        Nack(connection, m.trn, m.ot, parsed.Error());
    } else if (m.ot != kOtSession && m.ot != kOtSubmit && m.ot != kOtCallInput) {
        Operate(connection, m);
    } else {
        // A login or a message: the fault rules have their say first.
        const bool login = m.ot == kOtSession;
        const std::string_view destination = login ? "" : m.Text(m.ot == kOtSubmit ? kAdC : kCallAdC);
        const FaultStep step = ApplyFaults(
            connection, frame, decided, login, login ? m.Text(kLoginOAdC) : connection.Name(), destination,
            {[&](uint32_t error) { Nack(connection, m.trn, m.ot, ucp::ErrorCode(error)); },
             [&] { Nack(connection, m.trn, m.ot, ucp::ErrorCode::Syntax); }});
        if (step != FaultStep::Done)
            Operate(connection, m);
        if (step == FaultStep::ServeThenClose)
            CloseConnection(connection, "a fault rule closes it");
    }
}

void CUcpServer::HandleBadChecksum(CConnection& connection, const uint8_t* octets, uint32_t length) {
    const auto facts = ucp::PeekHeader({octets, length});
    if (!facts)
        CloseConnection(connection, "a frame whose header does not read");
    else if (!facts->result)
        Nack(connection, facts->trn, facts->ot, ucp::ErrorCode::Checksum);
}

void CUcpServer::Operate(CConnection& connection, const ucp::Message& m) {
    const Session* session = connection.SessionAs<Session>();
    if (m.ot == kOtSession)
        Login(connection, m);
    else if (m.ot == kOtAlert)
        Reply(connection, ucp::BuildAck(m.trn, m.ot, kAlertAnswer));
    else if (m.ot != kOtSubmit && m.ot != kOtCallInput)
        Nack(connection, m.trn, m.ot, ucp::ErrorCode::NotSupported);
    else if (HasAccounts() && !session->loggedIn)
        Nack(connection, m.trn, m.ot, ucp::ErrorCode::NotAllowed); // the accounts ask for a login first
    else
        Submit(connection, m);
}

void CUcpServer::Login(CConnection& connection, const ucp::Message& m) {
    const std::string oadc(m.Text(kLoginOAdC));
    if (m.Text(kLoginStyp) != kOpenSession)
        return Nack(connection, m.trn, m.ot, ucp::ErrorCode::NotSupported);
    const auto octets = ucp::FromHex(m.Text(kLoginPwd)); // PWD is IRA characters in hex
    const auto password = octets ? std::optional(std::string(octets->begin(), octets->end())) : std::nullopt;
    const std::string refusal = LoginRefusal(connection, oadc, password, "OAdC");
    if (!refusal.empty()) {
        PrintRefusal(connection, oadc, refusal, unsigned(ucp::ErrorCode::Authentication));
        return Nack(connection, m.trn, m.ot, ucp::ErrorCode::Authentication);
    }
    Reply(connection, ucp::BuildAck(m.trn, m.ot, ""));
    LoggedIn(connection, oadc);
}

void CUcpServer::Submit(CConnection& connection, const ucp::Message& m) {
    const bool series50 = m.ot == kOtSubmit;
    Submitted message;
    message.ot = m.ot;
    message.adc = m.Text(series50 ? kAdC : kCallAdC);
    const std::string_view oadc = m.Text(series50 ? kOAdC : kCallOAdC);
    const auto alphanumeric = series50 && m.Text(kOtoa) == ucp::kOtoaAlphanumeric ? ucp::UnpackAlphanumeric(oadc)
                                                                                  : std::nullopt;
    message.oadc = alphanumeric ? Utf8(*alphanumeric) : std::string(oadc);
    message.notification = series50 && m.Text(kNRq) == "1";
    if (!IsAddress(message.adc))
        return Nack(connection, m.trn, m.ot, ucp::ErrorCode::AdcInvalid);
    const auto refused = series50 ? ReadContent(m.Text(kMt), m.Text(kNb), m.Text(kMsg), m.Text(kXSer), message.content)
                                  : ReadContent(m.Text(kCallMt), {}, m.Text(kCallMsg), {}, message.content);
    if (refused)
        return Nack(connection, m.trn, m.ot, *refused);
    message.scts = NextScts();
    Reply(connection, ucp::BuildAck(m.trn, m.ot, message.adc + ":" + message.scts));
    if (m_listener)
        m_listener->OnUcpSubmitted(connection, message);
}

void CUcpServer::TakeResult(CConnection& connection, const ucp::Message& m) {
    if (m.ot != kOtDeliver && m.ot != kOtNotification)
        return; // a result to nothing of ours: captured, nothing more
    const bool positive = m.form == ucp::Form::Ack;
    const uint16_t error = positive ? 0 : uint16_t(std::atoi(std::string(m.Text(1)).c_str()));
    Settle(connection, m.trn, {positive ? text_server::Outcome::Positive : text_server::Outcome::Negative, error});
}

void CUcpServer::Answered(uint64_t tag, const text_server::Result& result) {
    if (tag != 0 && m_listener)
        m_listener->OnUcpAnswered(tag, result);
}

void CUcpServer::Nack(CConnection& connection, uint8_t trn, uint8_t ot, ucp::ErrorCode error) {
    Reply(connection, ucp::BuildNack(trn, ot, error));
}

std::string CUcpServer::BuildOperation(std::size_t slot, const text_server::Outgoing& operation) const {
    const std::vector<std::string_view> fields(operation.fields.begin(), operation.fields.end());
    return ucp::Build(uint8_t(slot), ucp::Kind::Operation, operation.operation, fields);
}

int CUcpServer::DeliverTo(const std::string& to, const std::string& from, const Content& content, uint64_t tag) {
    std::vector<std::string> fields(std::size(kSeries50Fields));
    fields[kAdC] = to;
    const std::u32string sender = QString::fromStdString(from).toStdU32String();
    const auto packed = IsAddress(from) ? std::nullopt : ucp::PackAlphanumeric(sender);
    fields[kOAdC] = packed ? *packed : from;
    fields[kOtoa] = packed ? std::string(ucp::kOtoaAlphanumeric) : std::string();
    fields[kScts] = NextScts();
    // A new string, not an assignment from the view: GCC 12 at -O3 warns of a false overlap in the latter.
    fields[kMt] = std::string(content.binary ? ucp::kMtTransparent : ucp::kMtAlphanumeric);
    if (content.binary) {
        const ucp::Transparent tmsg = ucp::EncodeTMsg(content.octets);
        fields[kNb] = tmsg.nb;
        fields[kMsg] = tmsg.tmsg;
        fields[kXSer] = ucp::XSerElementHex(ucp::kXSerDcs, std::span(&content.dcs, 1));
    } else {
        fields[kMsg] = ucp::ToHex(content.septets);
    }
    if (!content.udh.empty())
        fields[kXSer] = ucp::XSerElementHex(ucp::kXSerUdh, content.udh) + fields[kXSer];
    return SendToLogin(to, {kOtDeliver, std::move(fields), {}, tag});
}

text_server::Delivery CUcpServer::Notify(uint64_t connectionId, const std::string& login,
                                         const Notification& notification) {
    std::vector<std::string> fields(std::size(kSeries50Fields));
    fields[kAdC] = notification.adc;
    fields[kOAdC] = notification.oadc;
    fields[kScts] = notification.scts;
    fields[kDst] = std::string(1, notification.dst);
    fields[kRsn] = notification.rsn;
    fields[kDscts] = NextScts();
    fields[kMt] = std::string(ucp::kMtAlphanumeric);
    fields[kMsg] = ucp::EncodeAMsg(QString::fromStdString(notification.text).toStdU32String()).value_or("");
    return SendTo(connectionId, login, {kOtNotification, std::move(fields), {}, 0});
}

std::string CUcpServer::NextScts() {
    const std::tm local = NextStamp();
    return ucp::FormatTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec});
}
