// Fault rules: reading and writing their JSON, compiling them and matching requests.
#include "smpp/FaultRules.h"

#include "protocol/ConfigFields.h"
#include "smpp/BodyReader.h"
#include "smpp/JsonArray.h"
#include "smpp/JsonFields.h"
#include "smpp/SmppPdu.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

using namespace smpp;

namespace {

// The requests a rule can name, by their registry names; a rule keeps one bit per row.
struct Request {
    uint32_t commandId;
    bool messageOperation; // what a rule without a command covers
    bool bind;

    constexpr std::string_view Name() const { return protocol::smpp::Find(commandId)->name; }
};
constexpr Request kRequests[] = {
    // command_id       message op  bind
    {kBindReceiver,    false,      true},
    {kBindTransmitter, false,      true},
    {kBindTransceiver, false,      true},
    {kUnbind,          false,      false},
    {kEnquireLink,     false,      false},
    {kSubmitSm,        true,       false},
    {kSubmitMulti,     true,       false},
    {kDataSm,          true,       false},
    {kQuerySm,         true,       false},
    {kReplaceSm,       true,       false},
    {kCancelSm,        true,       false},
    {kBroadcastSm,     true,       false}, // SMPP 5.0's: a session below 5.0 is nacked before any rule
    {kQueryBroadcastSm, true,      false},
    {kCancelBroadcastSm, true,     false},
};

QString NameOf(const Request& r) { return QString::fromLatin1(r.Name().data(), qsizetype(r.Name().size())); }

constexpr const char* kBindName = "bind";

static_assert(std::size(kRequests) == CFaultRules::kRequestKinds, "one bit and one candidate list per request");
static_assert(std::all_of(std::begin(kRequests), std::end(kRequests), [](const Request& r) { return r.Name().size() > 0; }),
              "every request is a registered command");

uint32_t BitOf(uint32_t commandId) {
    for (size_t i = 0; i < std::size(kRequests); ++i) {
        if (kRequests[i].commandId == commandId)
            return 1u << i;
    }
    return 0;
}

// 0 for a name no rule may carry.
uint32_t MaskOf(const QString& command) {
    uint32_t mask = 0;
    for (size_t i = 0; i < std::size(kRequests); ++i) {
        const Request& r = kRequests[i];
        if (command.isEmpty() ? r.messageOperation : command == kBindName ? r.bind : command == NameOf(r))
            mask |= 1u << i;
    }
    return mask;
}

constexpr const char* kActionNames[] = {"answer", "drop", "close", "nack"}; // by FaultAction

// The JSON field names, also used in every message about them.
using namespace config_fields::fault_rule;
constexpr auto& kFields = kAll;

// The whole-number parameters: where each is kept and its highest value (-1, the lowest, leaves it out).
struct NumberParameter {
    const char* field;
    int32_t AnswerParameters::*value;
    int32_t highest;
};
constexpr NumberParameter kNumberParameters[] = {
    {kCongestionState, &AnswerParameters::congestionState, 100},
    {kDeliveryFailureReason, &AnswerParameters::deliveryFailureReason, 255},
    {kDpfResult, &AnswerParameters::dpfResult, 1},
};
constexpr int kMaxStatusInfoText = 255; // additional_status_info_text's octets, its NUL not counted
constexpr const char* kNetworkErrorExpected = "a network type and an error code expected (\"3:27\")";

// network_error_code as the rules write it: network type and error code, "3:27".
QString NetworkErrorText(int32_t code) { return QString("%1:%2").arg(code >> 16).arg(code & 0xFFFF); }
bool ReadNetworkError(const QString& text, int32_t* code) {
    const QStringList parts = text.split(':');
    bool typeOk = false, codeOk = false;
    const uint type = parts.size() == 2 ? parts[0].toUInt(&typeOk) : 0, error = parts.size() == 2 ? parts[1].toUInt(&codeOk) : 0;
    if (!typeOk || !codeOk || type > 0xFF || error > 0xFFFF)
        return false;
    *code = int32_t(type << 16 | error);
    return true;
}

QString FieldError(int rule, const char* field, const QString& what) {
    return CJsonFields::Message(QString("Rule %1").arg(rule), field, what);
}

QString RegexError(const QString& pattern) {
    if (pattern.isEmpty()) // matches every name: nothing to compile, and a long list of rules stays quick to check
        return {};
    const QRegularExpression re(pattern);
    if (re.isValid())
        return {};
    return QString("bad regular expression (%1 at offset %2)").arg(re.errorString()).arg(re.patternErrorOffset());
}

// The text protocols a rule may name, and the highest error code each answers with.
struct TextProtocol {
    const char* name;
    uint32_t highestError;
};
constexpr TextProtocol kTextProtocols[] = {{"ucp", 99}, {"cimd2", 999}};
constexpr const char* kSmppName = "smpp";

// The first error of a rule for a text protocol, which takes no SMPP command, no rate and no SMPP 5.0 parameters.
QString TextRuleError(int number, const FaultRule& rule, const TextProtocol& text) {
    if (!rule.command.isEmpty() && rule.command != kBindName)
        return FieldError(number, kCommand, QString("\"\" or \"bind\" expected for %1").arg(text.name));
    if (rule.status > text.highestError)
        return FieldError(number, kStatus, QString("an error code from 0 to %1 expected for %2").arg(text.highestError).arg(text.name));
    if (rule.ratePerSecond != 0)
        return FieldError(number, kRatePerSecond, QString("not taken for %1").arg(text.name));
    return {};
}

// The first error of one rule, numbered from 1.
QString RuleError(int number, const FaultRule& rule) {
    const auto text = std::find_if(std::begin(kTextProtocols), std::end(kTextProtocols),
                                   [&](const TextProtocol& t) { return rule.protocol == t.name; });
    if (text == std::end(kTextProtocols) && !rule.protocol.isEmpty() && rule.protocol != kSmppName)
        return FieldError(number, kProtocol, "\"smpp\", \"ucp\" or \"cimd2\" expected");
    if (text != std::end(kTextProtocols)) {
        if (QString e = TextRuleError(number, rule, *text); !e.isEmpty())
            return e;
    } else if (MaskOf(rule.command) == 0)
        return FieldError(number, kCommand, QString("unknown command \"%1\"").arg(rule.command));
    if (QString e = RegexError(rule.systemId); !e.isEmpty())
        return FieldError(number, kSystemId, e);
    if (QString e = RegexError(rule.destination); !e.isEmpty())
        return FieldError(number, kDestination, e);
    if (rule.delayMs < 0 || rule.delayMs > fault_rules::kMaxDelayMs)
        return FieldError(number, kDelayMs, CJsonFields::WholeNumberExpected(0, fault_rules::kMaxDelayMs));
    if (!(rule.probability >= 0 && rule.probability <= 1))
        return FieldError(number, kProbability, "a number from 0 to 1 expected");
    if (rule.ratePerSecond < 0)
        return FieldError(number, kRatePerSecond, CJsonFields::WholeNumberExpected(0, fault_rules::kMaxRate));
    for (const NumberParameter& p : kNumberParameters)
        if (rule.parameters.*p.value < -1 || rule.parameters.*p.value > p.highest)
            return FieldError(number, p.field, CJsonFields::WholeNumberExpected(0, p.highest));
    if (rule.parameters.additionalStatusInfoText.size() > size_t(kMaxStatusInfoText))
        return FieldError(number, kAdditionalStatusInfoText, "longer than 255 characters");
    if (rule.parameters.networkErrorCode < -1 || rule.parameters.networkErrorCode > 0xFFFFFF)
        return FieldError(number, kNetworkErrorCode, kNetworkErrorExpected);
    return {};
}

// A command_status as a JSON number or as text ("0x58", "88").
uint32_t ReadStatus(const QJsonObject& object, CJsonFields& fields, uint32_t fallback) {
    if (!fields.Has(kStatus))
        return fallback;
    const QJsonValue value = object.value(kStatus);
    bool ok = false;
    qulonglong status = 0;
    if (value.isDouble()) {
        const double d = value.toDouble();
        ok = d >= 0 && d <= 4294967295.0 && d == std::trunc(d);
        status = ok ? qulonglong(d) : 0;
    } else if (value.isString()) {
        status = fault_rules::ParseStatus(value.toString(), &ok);
    }
    if (!ok || status > 0xFFFFFFFFull) {
        fields.Fail(kStatus, "a command_status from 0 to 0xFFFFFFFF expected");
        return fallback;
    }
    return uint32_t(status);
}

// Reads the SMPP 5.0 parameters of a rule object.
void ReadParameters(CJsonFields& fields, AnswerParameters& parameters) {
    for (const NumberParameter& p : kNumberParameters)
        parameters.*p.value = int32_t(fields.Integer(p.field, 0, p.highest, parameters.*p.value));
    parameters.additionalStatusInfoText =
        fields.Text(kAdditionalStatusInfoText, false, QString::fromStdString(parameters.additionalStatusInfoText)).toStdString();
    const QString network = fields.Text(kNetworkErrorCode);
    if (fields.Has(kNetworkErrorCode) && fields.Ok() && !ReadNetworkError(network, &parameters.networkErrorCode))
        fields.Fail(kNetworkErrorCode, kNetworkErrorExpected);
}

// Reads one rule object; the message names the first field it cannot use.
QString ReadRule(int number, const QJsonObject& object, FaultRule* rule) {
    CJsonFields fields(object, QString("Rule %1").arg(number));
    fields.Only(kFields);
    rule->protocol = fields.Text(kProtocol, false, rule->protocol);
    rule->command = fields.Text(kCommand, false, rule->command);
    rule->systemId = fields.Text(kSystemId, false, rule->systemId);
    rule->destination = fields.Text(kDestination, false, rule->destination);
    rule->status = ReadStatus(object, fields, rule->status);
    rule->delayMs = fields.Integer(kDelayMs, 0, fault_rules::kMaxDelayMs, rule->delayMs);
    QStringList actions;
    for (const auto& name : fault_rules::ActionNames())
        actions << name;
    rule->action = FaultAction(fields.OneOf(kAction, actions, int(rule->action)));
    rule->probability = fields.Number(kProbability, 0, 1, rule->probability);
    rule->ratePerSecond = int32_t(fields.Integer(kRatePerSecond, 0, fault_rules::kMaxRate, rule->ratePerSecond));
    rule->enabled = fields.Bool(kEnabled, rule->enabled);
    ReadParameters(fields, rule->parameters);
    return fields.Ok() ? RuleError(number, *rule) : fields.Error();
}

// For the few octets of an address or a system id, a plain loop beats a library call.
bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

bool Search(const QRegularExpression& re, std::string_view text) {
    return re.match(QString::fromLatin1(text.data(), qsizetype(text.size()))).hasMatch();
}

} // namespace


const std::vector<QString>& fault_rules::ProtocolNames() {
    static const std::vector<QString> names = [] {
        std::vector<QString> n{kSmppName};
        for (const TextProtocol& t : kTextProtocols)
            n.push_back(t.name);
        return n;
    }();
    return names;
}

const std::vector<QString>& fault_rules::CommandNames() {
    static const std::vector<QString> names = [] {
        std::vector<QString> n{QString(), kBindName};
        for (const Request& r : kRequests)
            n.push_back(NameOf(r));
        return n;
    }();
    return names;
}

qulonglong fault_rules::ParseStatus(const QString& text, bool* ok) {
    const QString t = text.trimmed();
    const bool hex = t.startsWith("0x", Qt::CaseInsensitive);
    const qulonglong value = (hex ? t.mid(2) : t).toULongLong(ok, hex ? 16 : 10);
    *ok = *ok && value <= 0xFFFFFFFFull;
    return value;
}

QString fault_rules::StatusText(uint32_t status) {
    return QString::asprintf("0x%08X", status);
}

bool fault_rules::AppliesTo(const FaultRule& rule, std::string_view protocol) {
    const QString name = rule.protocol.isEmpty() ? QString(kSmppName) : rule.protocol;
    return name == QLatin1StringView(protocol.data(), qsizetype(protocol.size()));
}

QString fault_rules::ActionName(FaultAction action) {
    return kActionNames[int(action)];
}

const std::vector<QString>& fault_rules::ActionNames() {
    static const std::vector<QString> names(std::begin(kActionNames), std::end(kActionNames));
    return names;
}

std::vector<FaultRule> fault_rules::Parse(const QByteArray& json, QString* error) {
    return json_array::Parse<FaultRule>(json, "Fault rules", "rule", "Rule", ReadRule, error);
}

QString fault_rules::Validate(const std::vector<FaultRule>& rules) {
    for (size_t i = 0; i < rules.size(); ++i) {
        if (QString e = RuleError(int(i) + 1, rules[i]); !e.isEmpty())
            return e;
    }
    return {};
}

QByteArray fault_rules::ToJson(const std::vector<FaultRule>& rules) {
    const FaultRule defaults;
    QJsonArray array;
    for (const FaultRule& rule : rules) {
        QJsonObject o;
        if (!rule.protocol.isEmpty())
            o[kProtocol] = rule.protocol;
        if (!rule.command.isEmpty())
            o[kCommand] = rule.command;
        if (!rule.systemId.isEmpty())
            o[kSystemId] = rule.systemId;
        if (!rule.destination.isEmpty())
            o[kDestination] = rule.destination;
        if (rule.status != defaults.status)
            o[kStatus] = StatusText(rule.status);
        if (rule.delayMs != defaults.delayMs)
            o[kDelayMs] = double(rule.delayMs);
        if (rule.action != defaults.action)
            o[kAction] = ActionName(rule.action);
        if (rule.probability != defaults.probability)
            o[kProbability] = rule.probability;
        if (rule.ratePerSecond != defaults.ratePerSecond)
            o[kRatePerSecond] = rule.ratePerSecond;
        if (rule.enabled != defaults.enabled)
            o[kEnabled] = rule.enabled;
        for (const NumberParameter& p : kNumberParameters)
            if (rule.parameters.*p.value >= 0)
                o[p.field] = rule.parameters.*p.value;
        if (!rule.parameters.additionalStatusInfoText.empty())
            o[kAdditionalStatusInfoText] = QString::fromStdString(rule.parameters.additionalStatusInfoText);
        if (rule.parameters.networkErrorCode >= 0)
            o[kNetworkErrorCode] = NetworkErrorText(rule.parameters.networkErrorCode);
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QString CFaultRules::SetRules(const std::vector<FaultRule>& rules) {
    if (rules.size() > kMaxRules)
        return QString("More than %1 fault rules").arg(kMaxRules);
    if (QString error = fault_rules::Validate(rules); !error.isEmpty())
        return error;
    m_given = rules;
    m_compiled.clear();
    for (size_t i = 0; i < rules.size(); ++i) {
        const FaultRule& r = rules[i];
        if (!r.enabled || !fault_rules::AppliesTo(r, kSmppName))
            continue;
        const auto options = QRegularExpression::DontCaptureOption;
        Compiled c{int(i), MaskOf(r.command), QRegularExpression(r.systemId, options),
                   QRegularExpression(r.destination, options), r.systemId.isEmpty(), r.destination.isEmpty(),
                   r.probability, r.ratePerSecond, r.action, r.status, r.delayMs, r.parameters};
        c.systemId.optimize();
        c.destination.optimize();
        m_compiled.push_back(std::move(c));
    }
    m_namedRequests = 0;
    for (const Compiled& c : m_compiled)
        m_namedRequests |= c.commandMask;
    // Cached matches and rate windows belong to the old list; refused binds stay.
    ++m_generation;
    m_destinationMemo.clear();
    m_lastDestination = nullptr;
    for (auto& [id, state] : m_connections)
        state.windows.clear();
    return {};
}

inline bool CFaultRules::MatchesDestination(const Compiled& rule, size_t at) {
    for (auto& [text, known] : m_destinations) {
        if (!known)
            known = Known(text);
        uint8_t& match = (*known)[at];
        if (match == 2)
            match = Search(rule.destination, text) ? 1 : 0;
        if (match == 1)
            return true;
    }
    return false;
}

void CFaultRules::FindCandidates(uint32_t bit, std::string_view systemId, Candidates* out) const {
    out->clear();
    for (size_t i = 0; i < m_compiled.size(); ++i) {
        const Compiled& rule = m_compiled[i];
        if ((rule.commandMask & bit) && (rule.anySystemId || Search(rule.systemId, systemId)))
            out->push_back(uint16_t(i));
    }
}

const CFaultRules::Candidates& CFaultRules::KeptCandidates(Connection& state, uint32_t bit, std::string_view systemId) {
    if (state.generation != m_generation || !SameText(state.systemId, systemId)) {
        state.generation = m_generation;
        state.systemId.assign(systemId);
        std::fill(std::begin(state.known), std::end(state.known), false);
    }
    const int kind = std::countr_zero(bit);
    if (!state.known[kind]) {
        state.quiet[kind] = false;
        FindCandidates(bit, systemId, &state.candidates[kind]);
        state.known[kind] = true;
    }
    return state.candidates[kind];
}

void CFaultRules::Throttle(Connection& state, size_t at, const CScheduler& clock, FaultDecision* decision) {
    Compiled& rule = m_compiled[at];
    if (state.windows.size() != m_compiled.size())
        state.windows.assign(m_compiled.size(), RateWindow{});
    RateWindow& window = state.windows[at];
    const int64_t nowMs = clock.NowMs();
    if (window.count < 0 || nowMs - window.startMs >= fault_rules::kRateWindowMs)
        window = RateWindow{nowMs, 0};
    if (++window.count > rule.ratePerSecond) {
        decision->throttled = true;
        decision->status = fault_rules::kStatusThrottled;
        decision->action = FaultAction::Answer;
        decision->delayMs = 0;
        ++rule.throttled;
    }
}

bool CFaultRules::Decide(uint64_t connection, uint32_t commandId, std::string_view systemId, const uint8_t* body,
                         int32_t bodyLength, const CScheduler& clock, FaultDecision* decision) {
    static const uint32_t kBinds = MaskOf(kBindName);
    if (commandId != m_lastCommandId) { // a load sends one kind of request after another
        m_lastCommandId = commandId;
        m_lastCommandBit = BitOf(commandId);
    }
    const uint32_t bit = m_lastCommandBit;
    if (!(bit & m_namedRequests))
        return false;
    Connection& state = m_connections[connection];
    const Candidates* candidates = nullptr;
    Candidates bindCandidates;
    const bool bind = (bit & kBinds) != 0;
    if (bind) {
        // A bind asks under a name of its own, and binds are few: nothing kept.
        FindCandidates(bit, systemId, &bindCandidates);
        candidates = &bindCandidates;
    } else {
        candidates = &KeptCandidates(state, bit, systemId);
    }
    const int kind = std::countr_zero(bit);
    // A body that opens with the same octets, up to its destination, as the last one no rule
    // matched reads the same: none will match it either. This is all a steady load costs.
    if (!bind && state.quiet[kind]) {
        const std::string& prefix = state.quietPrefix[kind];
        if (size_t(std::max(bodyLength, 0)) >= prefix.size() && std::memcmp(body, prefix.data(), prefix.size()) == 0)
            return false;
    }
    m_destinationsRead = false;
    bool passed = false; // some rule passed on command, system id and destination
    for (const uint16_t i : *candidates) {
        Compiled& rule = m_compiled[i];
        if (!rule.anyDestination) {
            if (!m_destinationsRead)
                ReadDestinations(commandId, body, bodyLength);
            if (!MatchesDestination(rule, i))
                continue;
        }
        passed = true;
        // Drawn only for rules left to chance, so that certain rules do not move the sequence.
        if (rule.probability < 1 && !(double(m_random() >> 8) / double(1u << 24) < rule.probability))
            continue;

        *decision = FaultDecision{rule.position, rule.action, rule.status, rule.delayMs, false, &rule.parameters};
        if (rule.ratePerSecond > 0)
            Throttle(state, i, clock, decision);
        ++rule.fired;
        return true;
    }
    // A request with one destination: everything up to its NUL decided the matches. (A
    // submit_multi's later octets can still add destinations, so it is never let through so.)
    const std::string_view only = m_destinations.size() == 1 ? m_destinations[0].first : std::string_view();
    if (!bind && !passed && m_destinationsRead && commandId != kSubmitMulti && only.data() != nullptr) {
        const auto* end = reinterpret_cast<const uint8_t*>(only.data() + only.size()) + 1;
        state.quiet[kind] = true;
        state.quietPrefix[kind].assign(reinterpret_cast<const char*>(body), size_t(end - body));
    }
    return false;
}

void CFaultRules::ReadDestinations(uint32_t commandId, const uint8_t* body, int32_t bodyLength) {
    m_destinationsRead = true;
    m_destinations.clear();
    if (m_destinationMemo.size() >= kDestinationMemoLimit) {
        m_destinationMemo.clear();
        m_lastDestination = nullptr;
    }
    // Read only up to the last destination: a steady load reads this once (see Decide).
    CRequestBodyReader reader(body, bodyLength);
    std::string_view serviceType;
    AddressField source;
    reader.ReadHead(commandId, &serviceType, &source);
    CRequestBodyReader::Destination destination;
    bool any = false;
    while (reader.NextDestination(&destination) == CRequestBodyReader::Next::Destination) {
        any = true;
        m_destinations.emplace_back(destination.address.addr, nullptr);
    }
    if (!any)
        m_destinations.emplace_back(std::string_view(), nullptr); // a request without a destination offers empty text
}

std::vector<uint8_t>* CFaultRules::Known(std::string_view text) {
    // Load tests send to one destination over and over: skip the hash for a repeat.
    if (m_lastDestination && SameText(text, m_lastDestinationText))
        return m_lastDestination;
    std::vector<uint8_t>* known = &m_destinationMemo[std::string(text)];
    m_lastDestinationText.assign(text);
    m_lastDestination = known;
    if (known->size() != m_compiled.size())
        known->assign(m_compiled.size(), 2);
    return known;
}

void CFaultRules::SetBindRefused(uint64_t connection, bool refused) {
    if (refused)
        m_connections[connection].bindRefused = true;
    else if (const auto found = m_connections.find(connection); found != m_connections.end())
        found->second.bindRefused = false;
}

bool CFaultRules::BindRefused(uint64_t connection) const {
    const auto found = m_connections.find(connection);
    return found != m_connections.end() && found->second.bindRefused;
}

void CFaultRules::Forget(uint64_t connection) {
    m_connections.erase(connection);
}

std::vector<std::string> CFaultRules::TakeReport(int periodSeconds) {
    std::vector<std::string> lines;
    for (Compiled& rule : m_compiled) {
        if (rule.fired == 0)
            continue;
        const FaultRule& given = m_given[size_t(rule.position)];
        const QString command = given.command.isEmpty() ? QString("message operations") : given.command;
        QString line = QString("Fault rule %1 (%2, %3, status %4) applied %5 times in %6 s")
                           .arg(rule.position + 1)
                           .arg(command, fault_rules::ActionName(given.action),
                                fault_rules::StatusText(given.status))
                           .arg(rule.fired)
                           .arg(periodSeconds);
        if (rule.throttled > 0)
            line += QString(", %1 throttled").arg(rule.throttled);
        lines.push_back(line.toStdString() + "\r\n");
        rule.fired = 0;
        rule.throttled = 0;
    }
    return lines;
}
