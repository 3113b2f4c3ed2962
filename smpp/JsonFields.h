// Reading the JSON Tarnwick is configured with (accounts, fault rules, receipt profiles, generator
// jobs, sessions, echo) field by field: each kind of fault worded one way, the first one named once.
#pragma once

#include "smpp/MessageBody.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

// Reads the fields of one JSON object the way wire::Cursor reads bytes: every read returns a usable
// value, the first failure is remembered with the name of its field, and the caller checks Ok once.
class CJsonFields {
public:
    // where names the object's place in a list ("Rule 2", "Account 1 (esme1)"); a message then reads
    // `Rule 2, "delayMs": what was wrong`, and `delayMs: what was wrong` without it.
    explicit CJsonFields(const QJsonObject& object, QString where = {}) : m_object(object), m_where(std::move(where)) {}

    bool Has(const char* name) const { return m_object.contains(QLatin1String(name)); }
    // The text of a field; fallback when it is absent or null (either an error when required).
    QString Text(const char* name, bool required = false, const QString& fallback = {});
    // A whole number from min to max; fallback when absent (an error when required).
    int64_t Integer(const char* name, int64_t min, int64_t max, int64_t fallback, bool required = false);
    // Any number from min to max; fallback when absent.
    double Number(const char* name, double min, double max, double fallback);
    bool Bool(const char* name, bool fallback);
    // A list of texts; empty when absent.
    QStringList TextList(const char* name);
    // Which of names the field's text is; fallback when absent, and a FailOneOf for any other text.
    int OneOf(const char* name, const QStringList& names, int fallback);
    // The object a field holds; empty when absent.
    QJsonObject Object(const char* name);
    // One optional parameter of the field's, as "tlvs" writes them ({"0x0424": "68656c6c6f", "1060": "…",
    // "congestion_state": "32"}): the tag in hex after 0x, in decimal or by its SMPP 3.4 or 5.0 name, the value
    // in hex. Nothing when either does not read; the fault names the tag as it was written.
    std::optional<smpp::Tlv> Tlv(const char* name, const QString& tag, const QJsonValue& value);
    // Every parameter of the object the field holds; none when absent.
    std::vector<smpp::Tlv> Tlvs(const char* name);
    // Fails on the first field of the object that is not among names.
    void Only(std::initializer_list<const char*> names) {
        Only(std::span<const char* const>(names.begin(), names.size()));
    }
    void Only(std::span<const char* const> names);
    // Fails with "a, b or c expected", the names a field may take, and `, not "x"` when given is the
    // text it held.
    void FailOneOf(const char* name, const QStringList& names, const QString& given = {});
    static QString OneOfExpected(const QStringList& names, const QString& given = {});
    // Fails with a message of the caller's own about a field.
    void Fail(const char* name, const QString& what);

    // The one wording of every message about a field: `where, "name": what`, or `name: what`.
    static QString Message(const QString& where, const char* name, const QString& what);
    // The one wording of a whole number out of its range, for checks made after reading too.
    static QString WholeNumberExpected(int64_t min, int64_t max) {
        return QString("a whole number from %1 to %2 expected").arg(min).arg(max);
    }

    bool Ok() const { return m_error.isEmpty(); }
    // "dataCoding: a whole number from 0 to 255 expected"; with a place, `Rule 2, "delayMs": …`.
    const QString& Error() const { return m_error; }

private:
    QJsonValue Value(const char* name, bool required);

    const QJsonObject& m_object;
    QString m_where;
    QString m_error;
};
