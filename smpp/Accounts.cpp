// ESME accounts: reading, checking and writing their JSON.
#include "smpp/Accounts.h"

#include "smpp/JsonArray.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

namespace {

// The JSON field names, also used in every message about them.
constexpr const char* kSystemId = "systemId";
constexpr const char* kPassword = "password";
constexpr const char* kBindTypes = "bindTypes";
constexpr const char* kMaxBinds = "maxBinds";
constexpr const char* kAllowedAddresses = "allowedAddresses";
constexpr const char* kWindow = "window";
constexpr const char* kEnquireLinkSeconds = "enquireLinkSeconds";
constexpr const char* kReceiptProfile = "receiptProfile";
constexpr const char* kFields[] = {kSystemId, kPassword, kBindTypes, kMaxBinds, kAllowedAddresses, kWindow,
                                   kEnquireLinkSeconds, kReceiptProfile};
constexpr int kMaxProfileNameChars = 64;

constexpr int32_t kMaxCount = 1'000'000;

// "Account 2 (esme1)": the number always, the system id when there is one.
QString Name(int number, const QString& systemId) {
    return systemId.isEmpty() ? QString("Account %1").arg(number) : QString("Account %1 (%2)").arg(number).arg(systemId);
}

using accounts::FieldError;

// The first error of one account that its fields alone show.
QString AccountError(int number, const Account& a) {
    if (a.systemId.isEmpty())
        return FieldError(number, a.systemId, kSystemId, "missing");
    if (a.systemId.size() > accounts::kMaxSystemIdChars)
        return FieldError(number, a.systemId, kSystemId, "longer than 15 characters");
    if (a.password.size() > accounts::kMaxPasswordChars)
        return FieldError(number, a.systemId, kPassword, "longer than 8 characters");
    if ((a.bindTypes & Account::kEveryBindType) == 0)
        return FieldError(number, a.systemId, kBindTypes, "names no bind type");
    if (a.maxBinds < 0 || a.maxBinds > kMaxCount)
        return FieldError(number, a.systemId, kMaxBinds, "not a whole number of 0 or more");
    for (const QString& address : a.allowedAddresses) {
        if (!accounts::ParseBlock(address))
            return FieldError(number, a.systemId, kAllowedAddresses,
                              QString("\"%1\" is not an IPv4 address or CIDR block").arg(address));
    }
    if (a.window < 0 || a.window > kMaxCount)
        return FieldError(number, a.systemId, kWindow, "not a whole number of 0 or more");
    if (a.enquireLinkSeconds && (*a.enquireLinkSeconds < 0 || *a.enquireLinkSeconds > accounts::kMaxSeconds))
        return FieldError(number, a.systemId, kEnquireLinkSeconds, "not between 0 and 86400 seconds");
    // Which names are profiles is the router's to say (receipt_profiles::CheckAccounts).
    if (a.receiptProfile.size() > kMaxProfileNameChars)
        return FieldError(number, a.systemId, kReceiptProfile, "longer than 64 characters");
    return {};
}

bool ReadWhole(const QJsonValue& value, int32_t high, int32_t* out) {
    const double d = value.toDouble(-1);
    if (!value.isDouble() || d != double(int64_t(d)) || d < 0 || d > double(high))
        return false;
    *out = int32_t(d);
    return true;
}

QString ReadBindTypes(const QJsonValue& value, uint8_t* bits) {
    if (!value.isArray())
        return "not a list of bind types";
    *bits = 0;
    for (const QJsonValue& entry : value.toArray()) {
        const auto found = std::find_if(std::begin(accounts::kBindTypeNames), std::end(accounts::kBindTypeNames),
                                        [&](const auto& t) { return entry.toString() == t.name; });
        if (found == std::end(accounts::kBindTypeNames))
            return QString("\"%1\" is not transmitter, receiver or transceiver").arg(entry.toVariant().toString());
        *bits |= found->bit;
    }
    return {};
}

// Reads one account object; the message names the first field it cannot use.
QString ReadAccount(int number, const QJsonObject& object, Account* a) {
    a->systemId = object.value(kSystemId).toString();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (std::none_of(std::begin(kFields), std::end(kFields), [&](const char* f) { return it.key() == f; }))
            return QString("%1: unknown field \"%2\"").arg(Name(number, a->systemId), it.key());
    }
    for (const auto& [field, target] : {std::pair{kSystemId, &a->systemId}, std::pair{kPassword, &a->password},
                                        std::pair{kReceiptProfile, &a->receiptProfile}}) {
        const QJsonValue v = object.value(field);
        if (!v.isUndefined() && !v.isString())
            return FieldError(number, a->systemId, field, "not a text");
        *target = v.toString();
    }
    if (object.contains(kBindTypes)) {
        if (QString e = ReadBindTypes(object.value(kBindTypes), &a->bindTypes); !e.isEmpty())
            return FieldError(number, a->systemId, kBindTypes, e);
    }
    for (const auto& [field, target] : {std::pair{kMaxBinds, &a->maxBinds}, std::pair{kWindow, &a->window}}) {
        if (object.contains(field) && !ReadWhole(object.value(field), kMaxCount, target))
            return FieldError(number, a->systemId, field, "not a whole number of 0 or more");
    }
    if (object.contains(kAllowedAddresses)) {
        const QJsonValue v = object.value(kAllowedAddresses);
        if (!v.isArray())
            return FieldError(number, a->systemId, kAllowedAddresses, "not a list of addresses");
        for (const QJsonValue& entry : v.toArray()) {
            if (!entry.isString())
                return FieldError(number, a->systemId, kAllowedAddresses, "not a list of addresses");
            a->allowedAddresses.push_back(entry.toString());
        }
    }
    if (object.contains(kEnquireLinkSeconds)) {
        int32_t seconds = 0;
        if (!ReadWhole(object.value(kEnquireLinkSeconds), accounts::kMaxSeconds, &seconds))
            return FieldError(number, a->systemId, kEnquireLinkSeconds, "not between 0 and 86400 seconds");
        a->enquireLinkSeconds = seconds;
    }
    return AccountError(number, *a);
}

} // namespace

std::span<const char* const> accounts::FieldNames() { return kFields; }

QString accounts::FieldError(int number, const QString& systemId, const char* field, const QString& what) {
    return QString("%1, \"%2\": %3").arg(Name(number, systemId), field, what);
}

std::optional<accounts::Block> accounts::ParseBlock(const QString& text) {
    const QString trimmed = text.trimmed();
    const std::pair<QHostAddress, int> subnet =
        QHostAddress::parseSubnet(trimmed.contains(u'/') ? trimmed : trimmed + "/32");
    // parseSubnet takes "10/8" and "10.0.0.0/255.0.0.0" too; only the dotted address with a prefix
    // length is the form a reader of the list expects.
    const QString address = trimmed.section(u'/', 0, 0);
    if (subnet.first.protocol() != QAbstractSocket::IPv4Protocol || address.count(u'.') != 3 ||
        trimmed.section(u'/', 1).contains(u'.'))
        return std::nullopt;
    const uint32_t mask = subnet.second == 0 ? 0 : ~uint32_t(0) << (32 - subnet.second);
    return Block{QHostAddress(address).toIPv4Address() & mask, mask};
}

std::vector<Account> accounts::Parse(const QByteArray& json, QString* error) {
    std::vector<Account> list = json_array::Parse<Account>(json, "Accounts", "account", "Account", ReadAccount, error);
    if (!error->isEmpty())
        return {};
    *error = Validate(list);
    return error->isEmpty() ? list : std::vector<Account>{};
}

QString accounts::Validate(const std::vector<Account>& list) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (QString e = AccountError(int(i) + 1, list[i]); !e.isEmpty())
            return e;
        for (size_t j = 0; j < i; ++j) {
            if (list[j].systemId == list[i].systemId)
                return FieldError(int(i) + 1, list[i].systemId, kSystemId, QString("also account %1's").arg(j + 1));
        }
    }
    return {};
}

QByteArray accounts::ToJson(const std::vector<Account>& list) {
    const Account defaults;
    QJsonArray array;
    for (const Account& a : list) {
        QJsonObject o;
        o[kSystemId] = a.systemId;
        o[kPassword] = a.password;
        if (a.bindTypes != defaults.bindTypes) {
            QJsonArray types;
            for (const BindTypeName& t : kBindTypeNames) {
                if (a.bindTypes & t.bit)
                    types.append(t.name);
            }
            o[kBindTypes] = types;
        }
        if (a.maxBinds != defaults.maxBinds)
            o[kMaxBinds] = a.maxBinds;
        if (!a.allowedAddresses.empty()) {
            QJsonArray addresses;
            for (const QString& address : a.allowedAddresses)
                addresses.append(address);
            o[kAllowedAddresses] = addresses;
        }
        if (a.window != defaults.window)
            o[kWindow] = a.window;
        if (a.enquireLinkSeconds)
            o[kEnquireLinkSeconds] = *a.enquireLinkSeconds;
        if (!a.receiptProfile.isEmpty())
            o[kReceiptProfile] = a.receiptProfile;
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}
