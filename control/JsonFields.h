// Reading a request's JSON object field by field, with the first wrong field named once.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <span>

// Reads the fields of one JSON object the way wire::Cursor reads bytes: every read returns a usable
// value, the first failure is remembered with the name of its field, and the caller checks Ok once.
class CJsonFields {
public:
    explicit CJsonFields(const QJsonObject& object) : m_object(object) {}

    // The text of a field; fallback when it is absent (an error when required).
    QString Text(const char* name, bool required = false, const QString& fallback = {});
    // A whole number from min to max; fallback when absent (an error when required).
    int64_t Integer(const char* name, int64_t min, int64_t max, int64_t fallback, bool required = false);
    // The object a field holds; empty when absent.
    QJsonObject Object(const char* name);
    // Fails on the first field of the object that is not among names.
    void Only(std::initializer_list<const char*> names) {
        Only(std::span<const char* const>(names.begin(), names.size()));
    }
    void Only(std::span<const char* const> names);
    // Fails with "a, b or c expected", the names a field may take.
    void FailOneOf(const char* name, const QStringList& names);
    // Fails with a message of the caller's own about a field.
    void Fail(const char* name, const QString& what);

    bool Ok() const { return m_error.isEmpty(); }
    // "field: what was wrong", e.g. "dataCoding: a whole number from 0 to 255 expected".
    const QString& Error() const { return m_error; }

private:
    QJsonValue Value(const char* name, bool required);

    const QJsonObject& m_object;
    QString m_error;
};
