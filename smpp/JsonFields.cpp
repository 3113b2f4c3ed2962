// The fields of a configuration's JSON object.
#include "smpp/JsonFields.h"

#include "protocol/SmppTlvs.h"
#include "wire/Hex.h"

#include <QJsonArray>
#include <QJsonValue>

#include <cmath>

QJsonValue CJsonFields::Value(const char* name, bool required) {
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined() && required)
        Fail(name, "missing");
    return value;
}

void CJsonFields::Fail(const char* name, const QString& what) {
    if (!m_error.isEmpty())
        return;
    m_error = Message(m_where, name, what);
}

QString CJsonFields::Message(const QString& where, const char* name, const QString& what) {
    return where.isEmpty() ? QString("%1: %2").arg(QString::fromUtf8(name), what)
                           : QString("%1, \"%2\": %3").arg(where, QString::fromUtf8(name), what);
}

QString CJsonFields::Text(const char* name, bool required, const QString& fallback) {
    // A null text is one left out, as a rule written by hand may say.
    const QJsonValue value = Value(name, required);
    if (value.isNull() && required)
        Fail(name, "missing");
    if (value.isUndefined() || value.isNull())
        return fallback;
    if (!value.isString()) {
        Fail(name, "text expected");
        return fallback;
    }
    return value.toString();
}

int64_t CJsonFields::Integer(const char* name, int64_t min, int64_t max, int64_t fallback, bool required) {
    const QJsonValue value = Value(name, required);
    if (value.isUndefined())
        return fallback;
    const double number = value.toDouble(std::nan(""));
    // A double holds every whole number up to 2^53 exactly; the ranges asked for stay far below.
    if (!value.isDouble() || std::trunc(number) != number || number < double(min) || number > double(max)) {
        Fail(name, WholeNumberExpected(min, max));
        return fallback;
    }
    return static_cast<int64_t>(number);
}

double CJsonFields::Number(const char* name, double min, double max, double fallback) {
    const QJsonValue value = Value(name, false);
    if (value.isUndefined())
        return fallback;
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !(number >= min && number <= max)) {
        Fail(name, QString("a number from %1 to %2 expected").arg(min).arg(max));
        return fallback;
    }
    return number;
}

bool CJsonFields::Bool(const char* name, bool fallback) {
    const QJsonValue value = Value(name, false);
    if (value.isUndefined())
        return fallback;
    if (!value.isBool())
        Fail(name, "true or false expected");
    return value.toBool(fallback);
}

QStringList CJsonFields::TextList(const char* name) {
    const QJsonValue value = Value(name, false);
    QStringList texts;
    if (value.isUndefined())
        return texts;
    for (const QJsonValue& entry : value.toArray()) {
        if (!entry.isString())
            break;
        texts.append(entry.toString());
    }
    if (!value.isArray() || texts.size() != value.toArray().size()) {
        Fail(name, "a list of texts expected");
        return {};
    }
    return texts;
}

int CJsonFields::OneOf(const char* name, const QStringList& names, int fallback) {
    const QJsonValue value = Value(name, false);
    if (value.isUndefined())
        return fallback;
    const int index = value.isString() ? int(names.indexOf(value.toString())) : -1;
    if (index < 0)
        FailOneOf(name, names, value.toString());
    return index < 0 ? fallback : index;
}

QJsonObject CJsonFields::Object(const char* name) {
    const QJsonValue value = Value(name, false);
    if (value.isUndefined())
        return {};
    if (!value.isObject())
        Fail(name, "object expected");
    return value.toObject();
}

void CJsonFields::Only(std::span<const char* const> names) {
    for (auto it = m_object.begin(); it != m_object.end(); ++it) {
        bool known = false;
        for (const char* name : names)
            known = known || it.key() == QLatin1String(name);
        if (!known) {
            const QByteArray key = it.key().toUtf8();
            Fail(key.constData(), "unknown field");
            return;
        }
    }
}

void CJsonFields::FailOneOf(const char* name, const QStringList& names, const QString& given) {
    Fail(name, OneOfExpected(names, given));
}

QString CJsonFields::OneOfExpected(const QStringList& names, const QString& given) {
    QString text;
    for (qsizetype i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return given.isEmpty() ? text + " expected" : QString("%1 expected, not \"%2\"").arg(text, given);
}

std::optional<smpp::Tlv> CJsonFields::Tlv(const char* name, const QString& tag, const QJsonValue& value) {
    bool ok = false;
    const protocol::smpp::Tlv* named = protocol::smpp::FindTlvByName(tag.toStdString());
    const uint number = named ? (ok = true, named->tag)
                        : tag.startsWith("0x", Qt::CaseInsensitive) ? tag.mid(2).toUInt(&ok, 16) : tag.toUInt(&ok, 10);
    const wire::HexResult octets = wire::ParseHex(value.toString().toStdString());
    if (!ok || number > 0xFFFF)
        Fail(name, QString("tag '%1' is no 16-bit number nor a parameter's name").arg(tag));
    else if (!value.isString() || !octets.Ok())
        Fail(name, QString("the value of tag '%1' is no hex text").arg(tag));
    else if (octets.bytes.size() > 0xFFFF)
        Fail(name, QString("the value of tag '%1' is longer than 65535 octets").arg(tag));
    else
        return smpp::Tlv{uint16_t(number), octets.bytes};
    return std::nullopt;
}

std::vector<smpp::Tlv> CJsonFields::Tlvs(const char* name) {
    const QJsonObject tlvs = Object(name);
    std::vector<smpp::Tlv> out;
    for (auto it = tlvs.begin(); it != tlvs.end(); ++it)
        if (std::optional<smpp::Tlv> tlv = Tlv(name, it.key(), it.value()))
            out.push_back(std::move(*tlv));
    return out;
}
