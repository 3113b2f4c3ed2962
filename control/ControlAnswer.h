// One answer of the control API: status, body and content type, JSON unless said otherwise.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

struct ControlAnswer {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QByteArray allow; // a 405's Allow header

    static ControlAnswer Json(const QJsonDocument& document, int status = 200) {
        return {status, document.toJson(QJsonDocument::Compact), "application/json", {}};
    }
    static ControlAnswer Json(const QJsonObject& object, int status = 200) { return Json(QJsonDocument(object), status); }
    static ControlAnswer Json(const QJsonArray& array, int status = 200) { return Json(QJsonDocument(array), status); }
    // {"error": "..."}
    static ControlAnswer Error(int status, const QString& message) {
        return Json(QJsonObject{{"error", message}}, status);
    }
    static ControlAnswer Unauthorized() {
        return Error(401, "this control API wants \"Authorization: Bearer <token>\" with the token it was started with");
    }
};
