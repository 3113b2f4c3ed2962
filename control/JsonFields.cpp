// The fields of a request's JSON object.
#include "control/JsonFields.h"

#include <QJsonValue>

#include <cmath>

QJsonValue CJsonFields::Value(const char* name, bool required) {
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined() && required)
        Fail(name, "missing");
    return value;
}

void CJsonFields::Fail(const char* name, const QString& what) {
    if (m_error.isEmpty())
        m_error = QString("%1: %2").arg(QLatin1String(name), what);
}

QString CJsonFields::Text(const char* name, bool required, const QString& fallback) {
    const QJsonValue value = Value(name, required);
    if (value.isUndefined())
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
        Fail(name, QString("a whole number from %1 to %2 expected").arg(min).arg(max));
        return fallback;
    }
    return static_cast<int64_t>(number);
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

void CJsonFields::FailOneOf(const char* name, const QStringList& names) {
    QString text;
    for (qsizetype i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    Fail(name, text + " expected");
}
