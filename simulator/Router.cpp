// Routing between the mobile and SMPP sides, and delivery receipts with their message store.
#include "simulator/Router.h"

#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"
#include "protocol/DataCoding.h"
#include "simulator/PhoneText.h"
#include "protocol/SmppFields.h"
#include "smpp/SmppPdu.h"
#include "protocol/SmppStatus.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

using protocol::smpp::kEsmClassReceipt;
constexpr uint8_t kReceiptRequestMask = 0x03;
constexpr uint8_t kReceiptOnAnyOutcome = 0x01;
constexpr uint8_t kReceiptOnFailure = 0x02;
using protocol::smpp::kEsmClassUdhi;
constexpr std::size_t kReceiptTextChars = 20;
constexpr uint32_t kStatusQueryFail = 0x00000067; // ESME_RQUERYFAIL
constexpr int kReceiptsPerTurn = 1000;
// A kept receipt carries its text and SMPP 3.4's states, which a receiver of any version reads; the outbox takes its
// optional parameters off for one of 3.3.
constexpr uint8_t kKeptReceiptVersion = protocol::smpp::interface_version::k33;

std::tm LocalTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// YYMMDDhhmm, the dates of a receipt's text. Receipts come by the thousand a minute, so the last
// minute's text is kept; the zone is part of what it is kept under.
std::string ReceiptDate(int64_t seconds) {
    static int64_t s_minute = INT64_MIN;
    static long s_zone = 0;
    static std::string s_text;
    if (seconds / 60 != s_minute || ::timezone != s_zone) {
        const std::tm t = LocalTime(seconds);
        char text[16];
        s_text.assign(text, std::strftime(text, sizeof text, "%y%m%d%H%M", &t));
        s_minute = seconds / 60;
        s_zone = ::timezone;
    }
    return s_text;
}

// YYMMDDhhmmss, tenths, the distance from UTC in quarter hours and its direction: SMPP's
// absolute time format, for query_sm's final_date.
std::string AbsoluteTime(int64_t seconds) {
    const std::tm t = LocalTime(seconds);
    const long offset = t.tm_gmtoff;
    const long quarters = (offset < 0 ? -offset : offset) / 900 % 100;
    char text[16];
    std::string date(text, std::strftime(text, sizeof text, "%y%m%d%H%M%S", &t));
    date += '0';
    date += static_cast<char>('0' + quarters / 10);
    date += static_cast<char>('0' + quarters % 10);
    date += offset < 0 ? '-' : '+';
    return date;
}

bool MayReceive(BindKind kind) { return kind == BindKind::Receiver || kind == BindKind::Transceiver; }

// The trace line of a message the server started: kept, sent after a bind, expired, or the end of a try.
std::string DeliveryLine(const DeliveryTry& delivery, int timeoutSeconds) {
    using Outcome = DeliveryTry::Outcome;
    const smpp::Command* command = smpp::Find(delivery.commandId);
    const std::string head = "[Route] " + std::string(command ? command->name : "deliver_sm") + " " +
                             std::string(delivery.messageId);
    const std::string systemId(delivery.systemId);
    switch (delivery.outcome) {
    case Outcome::Kept:
        return head + " kept for " + systemId + (delivery.forgotten ? ": outbox full" : ": no bound receiver");
    case Outcome::Released: return head + " to " + systemId + ": sent after bind";
    case Outcome::Expired:
        return head + " kept for " + systemId + ": expired" +
               (delivery.forgotten ? ", the store for " + systemId + " is full" : "");
    default: break;
    }
    std::string why;
    if (delivery.closed) {
        why = "connection closed";
    } else if (delivery.forgotten) {
        why = "outbox full, never sent";
    } else if (!delivery.status) {
        why = "no answer in " + std::to_string(timeoutSeconds) + " s";
    } else if (*delivery.status != 0) {
        const std::string_view name = protocol::smpp::StatusName(*delivery.status);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", unsigned(*delivery.status));
        why = name.empty() ? std::string(hex) : std::string(name);
    }
    std::string line = head + " to " + systemId + ", try " + std::to_string(delivery.tryNumber) + " of " +
                       std::to_string(delivery.tries) + ": " + (why.empty() ? "" : why + ", ");
    switch (delivery.outcome) {
    case Outcome::Again: return line + "again in " + std::to_string(delivery.againInMs) + " ms";
    case Outcome::Delivered: return line + "delivered";
    default: return line + "undeliverable";
    }
}

// The text backwards by character, in its own data_coding.
std::vector<uint8_t> Reversed(const std::vector<uint8_t>& text, uint8_t dataCoding) {
    std::vector<std::pair<std::size_t, std::size_t>> characters; // offset, length
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = smpp::CharacterOctets(text.data() + at, text.size() - at, dataCoding);
        characters.emplace_back(at, length);
        at += length;
    }
    std::vector<uint8_t> reversed;
    reversed.reserve(text.size());
    for (auto it = characters.rbegin(); it != characters.rend(); ++it)
        reversed.insert(reversed.end(), text.begin() + std::ptrdiff_t(it->first),
                        text.begin() + std::ptrdiff_t(it->first + it->second));
    return reversed;
}

} // namespace

CRouter::CRouter(CSmppServer& smpp, CMobileServer& mobile) : m_smpp(smpp), m_mobile(mobile) {
    m_smpp.SetMessageListener(this);
    m_mobile.SetMessageListener(this);
}

CRouter::~CRouter() {
    m_smpp.SetMessageListener(nullptr);
    m_mobile.SetMessageListener(nullptr);
    AttachUcp(nullptr);
    AttachCimd(nullptr);
}

void CRouter::Trace(const std::string& line) const {
    if (m_trace)
        m_trace(line);
}

void CRouter::OnSubmitted(const CConnection& connection, uint32_t commandId, std::string_view id, const uint8_t* body,
                          int32_t bodyLength) {
    // Routing needs a simulator to route to; without one (as under a load test) the message is
    // not even read unless a receipt may follow.
    const bool route = m_settings.routing && m_mobile.GetConnectionCount() > 0;
    if (!route && !m_settings.receipts && m_echo.destination.empty())
        return;
    // Read over the message before it, so that its fields' room is reused.
    if (!smpp::ParseSubmitted(commandId, body, bodyLength, m_submitted))
        return;
    const smpp::SubmittedMessage* message = &m_submitted;
    const std::string messageId(id);
    if (!m_echo.destination.empty() &&
        std::any_of(message->destinations.begin(), message->destinations.end(),
                    [this](const smpp::SmeAddress& d) { return d.addr == m_echo.destination; })) {
        FillRoute(*message, connection.Id(), connection.Name(), m_route);
        SendEcho(messageId, *message, m_route);
    }
    // The store keeps every message while receipts are on, asked for or not, so query_sm knows it.
    const uint64_t handle = m_settings.receipts ? m_store.Add(messageId, Now()) : 0;
    if (route)
        RouteToTerminals(messageId, *message, handle);
    StoredMessage* stored = m_store.FindHandle(handle);
    if (!stored)
        return;
    // The delay stands for the network: when it has passed the message is final, and its receipt
    // goes out if one was asked for.
    FillRoute(*message, connection.Id(), connection.Name(), m_route);
    m_store.SetRoute(*stored, m_route);
    const int64_t due = m_smpp.Scheduler().NowMs() + std::max(0, m_settings.receiptDelayMs);
    m_dueReceipts.push({due, m_receiptOrder++, handle, stored->key});
    ArmReceipts(due);
}

void CRouter::ArmReceipts(int64_t dueMs) {
    if (m_receiptTimerDueMs >= 0 && dueMs >= m_receiptTimerDueMs)
        return;
    m_receiptTimerDueMs = dueMs;
    const uint64_t run = ++m_receiptTimerRun;
    m_smpp.Scheduler().After(dueMs - m_smpp.Scheduler().NowMs(), this, [this, run] {
        if (run != m_receiptTimerRun)
            return; // an earlier receipt took its place
        m_receiptTimerDueMs = -1;
        SendDueReceipts();
    });
}

void CRouter::SendDueReceipts() {
    // A burst's receipts fall due together: a share of them a turn, so the window and the control
    // API are answered between shares.
    const int64_t now = m_smpp.Scheduler().NowMs();
    for (int sent = 0; sent < kReceiptsPerTurn && !m_dueReceipts.empty() && m_dueReceipts.top().dueMs <= now; ++sent) {
        const DueReceipt receipt = m_dueReceipts.top();
        m_dueReceipts.pop();
        Conclude(receipt);
    }
    if (!m_dueReceipts.empty())
        ArmReceipts(std::max(now, m_dueReceipts.top().dueMs));
}

void CRouter::ForgetMessages() {
    m_store.Clear();
    m_dueReceipts = {};
}

void CRouter::SetStoreCapacity(std::size_t capacity) {
    m_store.SetCapacity(capacity);
    m_dueReceipts = {};
}

ReceiptRoute CRouter::RouteOf(const smpp::SubmittedMessage& message, uint64_t connectionId, std::string systemId) {
    ReceiptRoute route;
    FillRoute(message, connectionId, systemId, route);
    return route;
}

void CRouter::FillRoute(const smpp::SubmittedMessage& message, uint64_t connectionId, std::string_view systemId,
                        ReceiptRoute& into) {
    into.connectionId = connectionId;
    into.systemId.assign(systemId);
    into.submitter = message.source;
    into.destination = message.destinations.empty() ? smpp::SmeAddress{} : message.destinations.front();
    into.request = uint8_t(message.registeredDelivery & kReceiptRequestMask);
    // Characters, not octets, and a GSM '@' (0x00) is one of them.
    const std::size_t octets = smpp::FirstCharacters(message.message.data(), message.message.size(),
                                                     message.dataCoding, kReceiptTextChars, StoredRoute::kTextOctets);
    into.text.assign(message.message.begin(), message.message.begin() + std::ptrdiff_t(octets));
}

void CRouter::SendEcho(const std::string& messageId, const smpp::SubmittedMessage& message, const ReceiptRoute& route) {
    const auto to = std::find_if(message.destinations.begin(), message.destinations.end(),
                                 [this](const smpp::SmeAddress& d) { return d.addr == m_echo.destination; });
    smpp::DeliverFields fields;
    fields.sourceTon = to->ton;
    fields.sourceNpi = to->npi;
    fields.sourceAddr = to->addr;
    fields.destTon = message.source.ton;
    fields.destNpi = message.source.npi;
    fields.destAddr = message.source.addr;
    fields.dataCoding = message.dataCoding;
    fields.message = message.message;
    // A user data header goes back as it came, ahead of the text it heads.
    const bool udh = (message.esmClass & kEsmClassUdhi) != 0 && !message.message.empty();
    const std::size_t header = udh ? std::min<std::size_t>(message.message.size(), message.message[0] + 1u) : 0;
    fields.esmClass = udh ? kEsmClassUdhi : 0;
    if (m_echo.reverse) {
        const std::vector<uint8_t> reversed =
            Reversed({message.message.begin() + std::ptrdiff_t(header), message.message.end()}, message.dataCoding);
        std::copy(reversed.begin(), reversed.end(), fields.message.begin() + std::ptrdiff_t(header));
    }
    const bool sent =
        m_smpp.SendOwed(route.connectionId, route.systemId, smpp::kDeliverSm, smpp::DeliverSmBody(fields)) != 0;
    Trace("[Echo] message " + messageId + " from " + message.source.addr + " to " + to->addr + ": " +
          (sent ? "deliver_sm to " : "kept for ") + route.systemId);
}

const ReceiptProfile& CRouter::ProfileOf(const std::string& systemId) const {
    for (const Account& account : m_smpp.Accounts()) {
        if (account.receiptProfile.isEmpty() ||
            account.systemId != QLatin1StringView(systemId.data(), qsizetype(systemId.size())))
            continue;
        for (const ReceiptProfile& profile : receipt_profiles::BuiltIns())
            if (profile.name == account.receiptProfile)
                return profile;
    }
    return m_profile;
}

void CRouter::RouteToTerminals(const std::string& messageId, const smpp::SubmittedMessage& message, uint64_t handle) {
    const std::vector<std::string> terminals = m_mobile.LoggedInTerminals();
    const std::vector<uint8_t> content(message.message.begin(),
                                       message.message.begin() + std::min<std::size_t>(message.message.size(),
                                                                                       test_protocol::kMaxContentOctets));
    for (const smpp::SmeAddress& destination : message.destinations) {
        if (std::find(terminals.begin(), terminals.end(), destination.addr) == terminals.end())
            continue;
        const int sent = m_mobile.DeliverToTerminal(destination.addr, message.source.addr,
                                                    CMobileServer::MsgFormatFor(message.dataCoding), content, 1, handle);
        Trace("[Route] SMPP message " + messageId + " from " + message.source.addr + " to terminal " +
              destination.addr + ": " + std::to_string(sent) + " DELIVER");
    }
}

bool CRouter::AnswerQuery(std::string_view messageId, QueryAnswer& answer) {
    // A message the store does not know is answered by the server as it always has.
    const StoredMessage* stored = m_store.Find(messageId);
    if (!stored && m_store.Forgot(messageId)) {
        answer.status = kStatusQueryFail;
        return true;
    }
    if (!stored)
        return false;
    answer.messageState = static_cast<uint8_t>(stored->state);
    answer.errorCode = stored->errorCode;
    answer.finalDate = stored->finalTime != 0 ? AbsoluteTime(stored->finalTime) : std::string();
    return true;
}

void CRouter::OnTerminalSubmitted(const CConnection& connection, const test_protocol::TerminalMessage& message) {
    const phone_text::ForEsme text = phone_text::ToEsme(message.content);
    RouteFromPhone(message.srcTerminal.empty() ? std::string(connection.Name()) : message.srcTerminal,
                   message.destTerminal, text.dataCoding, text.content);
}

int CRouter::RouteFromPhone(const std::string& from, const std::string& to, uint8_t dataCoding,
                            const std::vector<uint8_t>& content) {
    smpp::MessagePart part;
    part.message = content;
    part.udhi = smpp::StartsWithConcatenationHeader(content.data(), content.size());
    return RouteFromPhone(from, to, dataCoding, std::vector<smpp::MessagePart>{part});
}

int CRouter::RouteFromPhone(const std::string& from, const std::string& to, uint8_t dataCoding,
                            const std::vector<smpp::MessagePart>& parts) {
    // A SUBMIT that names no destination has nowhere to go.
    if (!m_settings.routing || to.empty())
        return 0;
    smpp::DeliverFields fields;
    fields.sourceAddr = from;
    fields.destAddr = to;
    fields.dataCoding = dataCoding;
    std::vector<std::vector<uint8_t>> bodies;
    for (const smpp::MessagePart& part : parts)
        bodies.push_back(smpp::DeliverSmBody(smpp::WithPart(fields, part)));
    int sent = 0;
    m_smpp.ForEachConnection([&](CConnection& esme) {
        if (!MayReceive(m_smpp.BindKindOf(esme)) || !RangeTakes(m_smpp.AddressRangeOf(esme), to))
            return;
        for (const std::vector<uint8_t>& body : bodies) {
            if (m_smpp.SendServerPdu(esme, smpp::kDeliverSm, body) == 0)
                break; // closing: no later part fares better
            ++sent;
        }
    });
    Trace("[Route] terminal " + from + " to " + to + ": " + std::to_string(sent) + " deliver_sm");
    sent += RouteToText(from, to, dataCoding, parts);
    if (sent == 0)
        m_smpp.Report("No receiver's address_range takes " + to + "\r\n");
    return sent;
}

bool CRouter::RangeTakes(const std::string& addressRange, const std::string& address) {
    if (addressRange.empty())
        return true;
    auto found = m_ranges.find(addressRange);
    if (found == m_ranges.end()) {
        // Searched in the address, anchored only by its own ^ and $: "^1234" takes every number
        // starting 1234, "5678$" every number ending so.
        QRegularExpression pattern(QString::fromStdString(addressRange));
        if (!pattern.isValid()) {
            // Said once per pattern: a bad range then quietly matches nothing.
            m_smpp.Report("address_range \"" + addressRange + "\" is no valid regular expression: it matches no terminal\r\n");
        }
        found = m_ranges.emplace(addressRange, std::move(pattern)).first;
    }
    return found->second.isValid() && found->second.match(QString::fromStdString(address)).hasMatch();
}

void CRouter::OnDeliverAnswered(int32_t result, uint64_t tag) {
    StoredMessage* stored = m_store.FindHandle(tag);
    if (!stored || stored->state != MessageState::Enroute)
        return;
    stored->state = result == 0 ? MessageState::Delivered : MessageState::Undeliverable;
    stored->errorCode = result == 0 ? 0 : 1;
    stored->finalTime = Now();
}

void CRouter::OnDelivery(const DeliveryTry& delivery) {
    using Outcome = DeliveryTry::Outcome;
    const std::string_view id = delivery.messageId;
    StoredMessage* stored = m_store.Find(id);
    const bool first = (delivery.outcome == Outcome::Sent && delivery.tryNumber == 1) || delivery.outcome == Outcome::Kept;
    if (first && !stored) {
        m_store.Add(id, Now());
        stored = nullptr; // en route, as a new message is
    } else if (stored && delivery.outcome != Outcome::Again && delivery.outcome != Outcome::Sent &&
               delivery.outcome != Outcome::Kept && delivery.outcome != Outcome::Released) {
        const bool delivered = delivery.outcome == Outcome::Delivered;
        const bool expired = delivery.outcome == Outcome::Expired;
        stored->state = delivered ? MessageState::Delivered : expired ? MessageState::Expired : MessageState::Undeliverable;
        stored->errorCode = delivered ? 0 : expired ? receipt_profiles::ErrorOf(MessageState::Expired) : 1;
        stored->finalTime = Now();
    }
    if (m_trace && delivery.outcome != Outcome::Sent)
        Trace(DeliveryLine(delivery, std::max(1, m_smpp.Sessions().responseTimeoutSeconds)));
}

void CRouter::Conclude(const DueReceipt& receipt) {
    StoredMessage* stored = m_store.FindHandle(receipt.handle);
    if (!stored) {
        // More messages came within the delay than the store holds, or the id came round again.
        Trace("[Receipt] message " + MessageIdOf(receipt.key) + " forgotten before its receipt was due");
        return;
    }
    if (stored->receiptSent)
        return;
    // Nothing said otherwise by the time the receipt is due: the message counts as delivered, or
    // as the profile's mix draws.
    m_store.ReadRoute(*stored, m_route);
    const ReceiptRoute& route = m_route;
    if (stored->state == MessageState::Enroute) {
        stored->state = Draw(ProfileOf(route.systemId).mix);
        stored->errorCode = receipt_profiles::ErrorOf(stored->state);
        stored->finalTime = Now();
    }
    const bool delivered = stored->state == MessageState::Delivered;
    if (stored->request != kReceiptOnAnyOutcome && !(stored->request == kReceiptOnFailure && !delivered))
        return;
    SendReceipt(stored->MessageId(), route, stored->state, stored->errorCode, stored->submitTime, stored->finalTime);
}

MessageState CRouter::Draw(const std::vector<ReceiptProfile::Weight>& mix) {
    int64_t total = 0;
    for (const ReceiptProfile::Weight& w : mix)
        total += w.weight;
    if (total <= 0)
        return MessageState::Delivered;
    int64_t pick = std::uniform_int_distribution<int64_t>(0, total - 1)(m_random);
    for (const ReceiptProfile::Weight& w : mix) {
        if (pick < w.weight)
            return w.state;
        pick -= w.weight;
    }
    return MessageState::Delivered;
}

CRouter::ReceiptOutcome CRouter::SendReceiptNow(std::string_view messageId, MessageState state, uint8_t error) {
    StoredMessage* stored = m_store.Find(messageId);
    if (!stored)
        return ReceiptOutcome::UnknownMessage;
    stored->state = state;
    stored->errorCode = error;
    stored->finalTime = Now();
    stored->receiptSent = true; // sent or kept: the one the delay would send stays unsent
    m_store.ReadRoute(*stored, m_route);
    return SendReceipt(stored->MessageId(), m_route, state, error, stored->submitTime, stored->finalTime);
}

CRouter::ReceiptOutcome CRouter::SendReceiptNow(const std::string& messageId, const ReceiptRoute& route,
                                                int64_t submitTime, MessageState state, uint8_t error) {
    return SendReceipt(messageId, route, state, error, submitTime, Now());
}

CRouter::ReceiptOutcome CRouter::SendReceipt(const std::string& messageId, const ReceiptRoute& route, MessageState state, uint8_t error,
                          int64_t submitTime, int64_t doneTime) {
    // Written over the buffers of the receipt before it: a receipt allocates nothing of its own.
    const ReceiptProfile& profile = ProfileOf(route.systemId);
    const std::string submitDate = ReceiptDate(submitTime), doneDate = ReceiptDate(doneTime);
    // Written for the session it goes to now; one kept for a receiver yet to bind, for the oldest that may bind.
    const uint8_t version = m_smpp.OwedVersion(route.connectionId, route.systemId).value_or(kKeptReceiptVersion);
    const ReceiptFacts facts{messageId, state, error, submitDate, doneDate, route.text, version};
    receipt_profiles::WriteText(profile, facts, m_receiptText);

    smpp::DeliverFields& fields = m_receiptFields;
    fields.sourceTon = route.destination.ton;
    fields.sourceNpi = route.destination.npi;
    fields.sourceAddr = route.destination.addr;
    fields.destTon = route.submitter.ton;
    fields.destNpi = route.submitter.npi;
    fields.destAddr = route.submitter.addr;
    fields.esmClass = kEsmClassReceipt;
    fields.message.assign(m_receiptText.begin(), m_receiptText.end());
    receipt_profiles::WriteTlvs(profile, facts, fields.tlvs);
    const bool dataSm = profile.carrier == ReceiptProfile::Carrier::DataSm;
    if (dataSm)
        smpp::WriteDataSmBody(fields, m_receiptBody);
    else
        smpp::WriteDeliverSmBody(fields, m_receiptBody);

    const bool sent = m_smpp.SendOwed(route.connectionId, route.systemId, dataSm ? smpp::kDataSm : smpp::kDeliverSm,
                                       m_receiptBody) != 0;
    if (m_trace)
        Trace("[Receipt] message " + messageId + " " + std::string(MessageStateText(state)) + " to " + route.systemId +
              (sent ? "" : ": kept"));
    return sent ? ReceiptOutcome::Sent : ReceiptOutcome::Kept;
}
