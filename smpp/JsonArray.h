// Reading a JSON array of objects (fault rules, accounts) with the first fault named by its place.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace json_array {

// Reads json as an array of objects, each by read(number, object, &item), which returns the
// message naming the field it cannot use (empty when the item is good). what names the whole
// ("Fault rules"), kind the objects ("rule"), label one of them ("Rule", numbered from 1). On
// failure returns nothing and sets error; error stays empty on success.
template <typename T, typename Read>
std::vector<T> Parse(const QByteArray& json, const char* what, const char* kind, const char* label, Read read,
                     QString* error) {
    error->clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QString("%1 are not JSON (%2 at offset %3)").arg(what, parseError.errorString()).arg(parseError.offset);
        return {};
    }
    if (!document.isArray()) {
        *error = QString("%1 must be a JSON array of %2 objects").arg(what, kind);
        return {};
    }
    std::vector<T> items;
    const QJsonArray array = document.array();
    for (int i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject()) {
            *error = QString("%1 %2: not a JSON object").arg(label).arg(i + 1);
            return {};
        }
        T item;
        *error = read(i + 1, array.at(i).toObject(), &item);
        if (!error->isEmpty())
            return {};
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace json_array
