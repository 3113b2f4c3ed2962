// ESME accounts: reading, checking and writing their JSON.
#include "smpp/Accounts.h"

#include "protocol/ConfigFields.h"
#include "smpp/JsonArray.h"
#include "smpp/JsonFields.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

namespace {

// The JSON field names, also used in every message about them.
using namespace config_fields::account;
constexpr auto& kFields = kAll;
constexpr int kMaxProfileNameChars = 64;
using accounts::kMaxCount;

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
        return FieldError(number, a.systemId, kMaxBinds, CJsonFields::WholeNumberExpected(0, kMaxCount));
    for (const QString& address : a.allowedAddresses) {
        if (!accounts::ParseBlock(address))
            return FieldError(number, a.systemId, kAllowedAddresses,
                              QString("\"%1\" is not an IPv4 address or CIDR block").arg(address));
    }
    if (a.window < 0 || a.window > kMaxCount)
        return FieldError(number, a.systemId, kWindow, CJsonFields::WholeNumberExpected(0, kMaxCount));
    if (a.enquireLinkSeconds && (*a.enquireLinkSeconds < 0 || *a.enquireLinkSeconds > accounts::kMaxSeconds))
        return FieldError(number, a.systemId, kEnquireLinkSeconds,
                          CJsonFields::WholeNumberExpected(0, accounts::kMaxSeconds));
    // Which names are profiles is the router's to say (receipt_profiles::CheckAccounts).
    if (a.receiptProfile.size() > kMaxProfileNameChars)
        return FieldError(number, a.systemId, kReceiptProfile, "longer than 64 characters");
    return {};
}

// The bind types a list names, as bits; a name none of them has fails.
uint8_t ReadBindTypes(CJsonFields& fields) {
    QStringList names;
    for (const accounts::BindTypeName& t : accounts::kBindTypeNames)
        names << t.name;
    uint8_t bits = 0;
    for (const QString& name : fields.TextList(kBindTypes)) {
        const qsizetype at = names.indexOf(name);
        if (at < 0) {
            fields.FailOneOf(kBindTypes, names, name);
            return 0;
        }
        bits |= accounts::kBindTypeNames[at].bit;
    }
    return bits;
}

// Reads one account object; the message names the first field it cannot use.
QString ReadAccount(int number, const QJsonObject& object, Account* a) {
    CJsonFields fields(object, Name(number, object.value(kSystemId).toString()));
    fields.Only(kFields);
    a->systemId = fields.Text(kSystemId);
    a->password = fields.Text(kPassword);
    a->receiptProfile = fields.Text(kReceiptProfile);
    if (fields.Has(kBindTypes))
        a->bindTypes = ReadBindTypes(fields);
    a->maxBinds = int32_t(fields.Integer(kMaxBinds, 0, kMaxCount, a->maxBinds));
    a->window = int32_t(fields.Integer(kWindow, 0, kMaxCount, a->window));
    for (const QString& address : fields.TextList(kAllowedAddresses))
        a->allowedAddresses.push_back(address);
    if (fields.Has(kEnquireLinkSeconds))
        a->enquireLinkSeconds = int32_t(fields.Integer(kEnquireLinkSeconds, 0, accounts::kMaxSeconds, 0));
    return fields.Ok() ? AccountError(number, *a) : fields.Error();
}

} // namespace


QString accounts::FieldError(int number, const QString& systemId, const char* field, const QString& what) {
    return CJsonFields::Message(Name(number, systemId), field, what);
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
