// Receipt profiles: the built-ins, their JSON and the receipt text they make.
#include "simulator/ReceiptProfile.h"

#include "protocol/ConfigFields.h"
#include "protocol/SmppFields.h"
#include "smpp/JsonFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <span>

namespace {

// The JSON field names, also used in every message about them.
using namespace config_fields::receipt_profile;
constexpr auto& kFields = kAll;
constexpr auto& kTlvsField = kTlvs;

using receipt_profiles::kCarrierNames;
using receipt_profiles::kIdFormNames;

using protocol::smpp::kTagMessageState;
using protocol::smpp::kTagNetworkErrorCode;
using protocol::smpp::kTagReceiptedMessageId;
constexpr uint8_t kNetworkTypeGsm = 3;
constexpr const char* kTlvNames[] = {receipt_profiles::kTlvs[0].name, receipt_profiles::kTlvs[1].name,
                                     receipt_profiles::kTlvs[2].name};
static_assert(std::size(kTlvNames) == std::size(receipt_profiles::kTlvs));

constexpr const char* kTextFields[] = {"id", "sub", "dlvrd", "submit_date", "done_date", "stat", "err", "text"};

QString Error(const char* field, const QString& what) { return CJsonFields::Message({}, field, what); }

// What is wrong with a mix's state or weight, however the mix was written.
QString MixStateExpected(const QString& state) {
    QStringList names;
    for (const MessageState each : receipt_profiles::MixStates())
        names << QString::fromUtf8(MessageStateText(each));
    return CJsonFields::OneOfExpected(names, state);
}
QString WeightExpected(const QString& state) {
    return QString("%1's weight: %2").arg(state, CJsonFields::WholeNumberExpected(0, receipt_profiles::kMaxWeight));
}

// The first field of the template no receipt knows, or a brace left open; empty when all are known.
QString TemplateError(const QString& text) {
    for (qsizetype at = text.indexOf(u'{'); at >= 0; at = text.indexOf(u'{', at + 1)) {
        const qsizetype end = text.indexOf(u'}', at);
        if (end < 0)
            return Error(kText, QString("\"{\" at %1 is never closed").arg(at + 1));
        const QString field = text.mid(at + 1, end - at - 1);
        if (std::none_of(std::begin(kTextFields), std::end(kTextFields), [&](const char* f) { return field == f; }))
            return Error(kText, QString("unknown field {%1}; the fields are {id} {sub} {dlvrd} {submit_date} "
                                        "{done_date} {stat} {err} {text}")
                                    .arg(field));
        at = end;
    }
    return {};
}

ReceiptProfile Named(const char* name) {
    ReceiptProfile profile;
    profile.name = name;
    return profile;
}

std::vector<ReceiptProfile> MakeBuiltIns() {
    ReceiptProfile tlvOnly = Named("TLV only");
    tlvOnly.text.clear();
    tlvOnly.networkErrorCode = true;
    ReceiptProfile dataSm = Named("data_sm receipts");
    dataSm.carrier = ReceiptProfile::Carrier::DataSm;
    ReceiptProfile hexIds = Named("hex ids in text");
    hexIds.idForm = ReceiptProfile::IdForm::Hex;
    return {Named("Default"), tlvOnly, dataSm, hexIds};
}

QString MixError(const std::vector<ReceiptProfile::Weight>& mix) {
    int64_t total = 0;
    for (const ReceiptProfile::Weight& w : mix) {
        const auto& states = receipt_profiles::MixStates();
        if (std::find(states.begin(), states.end(), w.state) == states.end())
            return Error(kStates, MixStateExpected(QString::fromUtf8(MessageStateText(w.state))));
        if (w.weight < 0 || w.weight > receipt_profiles::kMaxWeight)
            return Error(kStates, WeightExpected(QString::fromUtf8(MessageStateText(w.state))));
        total += w.weight;
    }
    if (!mix.empty() && total == 0)
        return Error(kStates, "the weights add up to 0");
    return {};
}

// Keeps the mix in the draw order, whatever order it was written in, so that one seed draws alike.
void SortMix(std::vector<ReceiptProfile::Weight>& mix) {
    const auto& states = receipt_profiles::MixStates();
    const auto place = [&](const ReceiptProfile::Weight& w) { return std::find(states.begin(), states.end(), w.state); };
    std::stable_sort(mix.begin(), mix.end(), [&](const auto& a, const auto& b) { return place(a) < place(b); });
}

} // namespace

const std::vector<ReceiptProfile>& receipt_profiles::BuiltIns() {
    static const std::vector<ReceiptProfile> builtIns = MakeBuiltIns();
    return builtIns;
}

std::optional<ReceiptProfile> receipt_profiles::BuiltIn(const QString& name) {
    for (const ReceiptProfile& profile : BuiltIns())
        if (profile.name == name)
            return profile;
    return std::nullopt;
}

uint8_t receipt_profiles::ErrorOf(MessageState state) {
    switch (state) {
    case MessageState::Delivered:
    case MessageState::Scheduled:
    case MessageState::Skipped: return 0;
    case MessageState::Expired: return 27;
    case MessageState::Rejected: return 13;
    default: return 1;
    }
}

const std::vector<MessageState>& receipt_profiles::MixStates() {
    // SMPP 5.0's two come last, so that a seed draws a mix without them as it always did.
    static const std::vector<MessageState> states{MessageState::Delivered, MessageState::Undeliverable,
                                                  MessageState::Expired,   MessageState::Rejected,
                                                  MessageState::Scheduled, MessageState::Skipped};
    return states;
}

const QString& receipt_profiles::TextFor(const ReceiptProfile& profile, uint8_t version) {
    static const QString fallback = ReceiptProfile{}.text;
    return profile.text.isEmpty() && !protocol::smpp::interface_version::TakesTlvs(version) ? fallback : profile.text;
}

MessageState receipt_profiles::StateFor(MessageState state, uint8_t version) {
    return MessageState(protocol::smpp::message_state::ForVersion(uint8_t(state), version));
}

namespace {

QStringList Names(std::span<const char* const> names) {
    QStringList list;
    for (const char* name : names)
        list << name;
    return list;
}

// Each reader below takes one field of a profile's JSON, when the profile has it.
void ReadName(CJsonFields& fields, ReceiptProfile& profile) {
    const QString name = fields.Text(kName);
    if (!fields.Has(kName) || !fields.Ok())
        return;
    if (std::optional<ReceiptProfile> builtIn = receipt_profiles::BuiltIn(name)) {
        profile = *builtIn;
    } else if (name == receipt_profiles::kCustom) {
        profile.name = receipt_profiles::kCustom;
    } else {
        QStringList names;
        for (const ReceiptProfile& p : receipt_profiles::BuiltIns())
            names.append("\"" + p.name + "\"");
        fields.FailOneOf(kName, names << QString("\"%1\"").arg(receipt_profiles::kCustom), name);
    }
}

void ReadTlvs(CJsonFields& fields, ReceiptProfile& profile) {
    if (!fields.Has(kTlvsField))
        return;
    const QStringList names = Names(kTlvNames);
    const QStringList chosen = fields.TextList(kTlvsField);
    for (const receipt_profiles::TlvChoice& tlv : receipt_profiles::kTlvs)
        profile.*tlv.flag = false;
    for (const QString& name : chosen) {
        const qsizetype at = names.indexOf(name);
        if (at < 0)
            return fields.FailOneOf(kTlvsField, names, name);
        profile.*receipt_profiles::kTlvs[std::size_t(at)].flag = true;
    }
}

void ReadStates(CJsonFields& fields, ReceiptProfile& profile) {
    const QJsonObject states = fields.Object(kStates);
    if (!fields.Has(kStates) || !fields.Ok())
        return;
    profile.mix.clear();
    for (auto it = states.begin(); it != states.end(); ++it) {
        const std::optional<MessageState> state = MessageStateOf(it.key().toStdString());
        const double weight = it.value().toDouble(-1);
        if (!state)
            return fields.Fail(kStates, MixStateExpected(it.key()));
        if (!it.value().isDouble() || weight != double(int64_t(weight)) || weight < 0 || weight > receipt_profiles::kMaxWeight)
            return fields.Fail(kStates, WeightExpected(it.key()));
        profile.mix.push_back({*state, int32_t(weight)});
    }
    SortMix(profile.mix);
}

// The fields after the name, in the order their messages are looked for.
void ReadFields(CJsonFields& fields, ReceiptProfile& profile) {
    profile.carrier = ReceiptProfile::Carrier(fields.OneOf(kCarrier, Names(kCarrierNames), int(profile.carrier)));
    profile.text = fields.Text(kText, false, profile.text);
    ReadTlvs(fields, profile);
    profile.idForm = ReceiptProfile::IdForm(fields.OneOf(kIdForm, Names(kIdFormNames), int(profile.idForm)));
    ReadStates(fields, profile);
}

} // namespace

std::optional<ReceiptProfile> receipt_profiles::Parse(const QByteArray& json, QString* error) {
    error->clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QString("The receipt profile is not JSON (%1 at offset %2)").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = "The receipt profile must be a JSON object";
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const auto fail = [error](QString message) {
        *error = std::move(message);
        return std::nullopt;
    };
    CJsonFields fields(object);
    fields.Only(kFields);
    ReceiptProfile profile;
    ReadName(fields, profile);
    // Any field of its own makes a built-in a custom profile.
    if (object.size() > (object.contains(kName) ? 1 : 0))
        profile.name = kCustom;
    ReadFields(fields, profile);
    if (!fields.Ok())
        return fail(fields.Error());
    if (QString problem = Validate(profile); !problem.isEmpty())
        return fail(problem);
    // A built-in written out whole (as ToJson writes it) is still that built-in.
    if (std::optional<ReceiptProfile> builtIn = BuiltIn(object.value(kName).toString())) {
        ReceiptProfile named = profile;
        named.name = builtIn->name;
        if (named == *builtIn)
            return named;
    }
    return profile;
}

QString receipt_profiles::Validate(const ReceiptProfile& profile) {
    if (QString problem = TemplateError(profile.text); !problem.isEmpty())
        return problem;
    return MixError(profile.mix);
}

QByteArray receipt_profiles::ToJson(const ReceiptProfile& profile) {
    QJsonArray tlvs;
    for (const receipt_profiles::TlvChoice& tlv : receipt_profiles::kTlvs)
        if (profile.*tlv.flag)
            tlvs.append(tlv.name);
    QJsonObject states;
    for (const ReceiptProfile::Weight& w : profile.mix)
        states[QString::fromUtf8(MessageStateText(w.state))] = w.weight;
    const QJsonObject object{{kName, profile.name},
                             {kCarrier, kCarrierNames[int(profile.carrier)]},
                             {kText, profile.text},
                             {kTlvsField, tlvs},
                             {kIdForm, kIdFormNames[int(profile.idForm)]},
                             {kStates, states}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString receipt_profiles::MixText(const std::vector<ReceiptProfile::Weight>& mix) {
    QStringList parts;
    for (const ReceiptProfile::Weight& w : mix)
        parts.append(QString("%1 %2").arg(QString::fromUtf8(MessageStateText(w.state))).arg(w.weight));
    return parts.join(", ");
}

std::vector<ReceiptProfile::Weight> receipt_profiles::ParseMix(const QString& text, QString* error) {
    error->clear();
    std::vector<ReceiptProfile::Weight> mix;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList words = part.simplified().split(u' ');
        const std::optional<MessageState> state =
            words.isEmpty() ? std::nullopt : MessageStateOf(words.front().toUpper().toStdString());
        if (!state) {
            *error = Error(kStates, MixStateExpected(words.value(0)));
            return {};
        }
        bool ok = words.size() == 2;
        const int weight = ok ? words[1].toInt(&ok) : 0;
        if (!ok || weight < 0 || weight > kMaxWeight) {
            *error = Error(kStates, WeightExpected(words.front()));
            return {};
        }
        mix.push_back({*state, weight});
    }
    SortMix(mix);
    if (QString problem = MixError(mix); !problem.isEmpty()) {
        *error = problem;
        return {};
    }
    return mix;
}

QString receipt_profiles::CheckAccounts(const std::vector<Account>& accounts) {
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const Account& a = accounts[i];
        if (a.receiptProfile.isEmpty() || BuiltIn(a.receiptProfile))
            continue;
        return accounts::FieldError(int(i) + 1, a.systemId, "receiptProfile",
                                    QString("\"%1\" is no built-in receipt profile").arg(a.receiptProfile));
    }
    return {};
}

std::string receipt_profiles::IdIn(ReceiptProfile::IdForm form, const std::string& messageId) {
    if (form == ReceiptProfile::IdForm::AsAnswered || messageId.empty())
        return messageId;
    const int base = form == ReceiptProfile::IdForm::Hex ? 10 : 16;
    // An id that is not a number of the base it is read in stays as it is.
    char* end = nullptr;
    const unsigned long long value = std::strtoull(messageId.c_str(), &end, base);
    if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(messageId.front())))
        return messageId;
    char text[24];
    std::snprintf(text, sizeof text, form == ReceiptProfile::IdForm::Hex ? "%llX" : "%llu", value);
    return text;
}

std::string receipt_profiles::Text(const ReceiptProfile& profile, const ReceiptFacts& facts) {
    std::string text;
    WriteText(profile, facts, text);
    return text;
}

void receipt_profiles::WriteText(const ReceiptProfile& profile, const ReceiptFacts& facts, std::string& text) {
    // Receipts come by the thousand a second: the pattern is cut once into pieces of literal text,
    // each followed by the field that comes after it, and again only when the profile's text changes.
    static constexpr std::string_view kFields[] = {"id",       "sub",  "dlvrd", "submit_date",
                                                   "done_date", "stat", "err",   "text"};
    struct Piece {
        std::size_t at, length; // the literal, in s_pattern
        int field;              // into kFields; -1: none (the pattern's end, or a name no field has)
    };
    static QString s_source;
    static std::string s_pattern;
    static std::vector<Piece> s_pieces;
    if (const QString& source = TextFor(profile, facts.version); s_source != source) {
        s_source = source;
        s_pattern = source.toStdString();
        s_pieces.clear();
        for (std::size_t at = 0; at < s_pattern.size();) {
            const std::size_t open = s_pattern.find('{', at);
            const std::size_t close = open == std::string::npos ? open : s_pattern.find('}', open);
            if (close == std::string::npos) {
                s_pieces.push_back({at, s_pattern.size() - at, -1});
                break;
            }
            const std::string_view name = std::string_view(s_pattern).substr(open + 1, close - open - 1);
            const auto field = std::find(std::begin(kFields), std::end(kFields), name);
            s_pieces.push_back({at, open - at, field == std::end(kFields) ? -1 : int(field - std::begin(kFields))});
            at = close + 1;
        }
    }
    const char err[] = {char('0' + facts.error / 100), char('0' + facts.error / 10 % 10), char('0' + facts.error % 10)};
    const bool asAnswered = profile.idForm == ReceiptProfile::IdForm::AsAnswered;
    const std::string converted = asAnswered ? std::string() : IdIn(profile.idForm, std::string(facts.messageId));
    const std::string_view values[] = {
        asAnswered ? facts.messageId : std::string_view(converted),
        "001",
        facts.state == MessageState::Delivered ? "001" : "000",
        facts.submitDate,
        facts.doneDate,
        MessageStateText(StateFor(facts.state, facts.version)),
        std::string_view(err, sizeof err),
        facts.text,
    };
    static_assert(std::size(values) == std::size(kFields));
    text.clear();
    for (const Piece& piece : s_pieces) {
        text.append(s_pattern, piece.at, piece.length);
        if (piece.field >= 0)
            text.append(values[piece.field]);
    }
}

std::vector<smpp::Tlv> receipt_profiles::Tlvs(const ReceiptProfile& profile, const ReceiptFacts& facts) {
    std::vector<smpp::Tlv> tlvs;
    WriteTlvs(profile, facts, tlvs);
    return tlvs;
}

void receipt_profiles::WriteTlvs(const ReceiptProfile& profile, const ReceiptFacts& facts,
                                 std::vector<smpp::Tlv>& tlvs) {
    std::size_t count = 0;
    const auto next = [&tlvs, &count](uint16_t tag) -> std::vector<uint8_t>& {
        if (count == tlvs.size())
            tlvs.emplace_back();
        smpp::Tlv& tlv = tlvs[count++];
        tlv.tag = tag;
        tlv.value.clear();
        return tlv.value;
    };
    if (profile.receiptedMessageId) {
        std::vector<uint8_t>& id = next(kTagReceiptedMessageId);
        id.assign(facts.messageId.begin(), facts.messageId.end());
        id.push_back(0);
    }
    if (profile.messageState)
        next(kTagMessageState).push_back(static_cast<uint8_t>(StateFor(facts.state, facts.version)));
    if (profile.networkErrorCode)
        next(kTagNetworkErrorCode).assign({kNetworkTypeGsm, 0, facts.error});
    tlvs.resize(count);
}
