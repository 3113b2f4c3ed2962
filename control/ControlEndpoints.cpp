// What each control API endpoint reads and does: the simulator's own functions, called as the window calls them.
#include "control/ControlServer.h"

#include "control/ControlAnswer.h"
#include "control/GeneratorJson.h"
#include "protocol/ConfigFields.h"
#include "protocol/SmppValues.h"
#include "smpp/JsonFields.h"
#include "simulator/DeliverSender.h"
#include "simulator/Simulator.h"
#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

using Answer = ControlAnswer;

QString Iso(int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

QJsonValue BindName(BindKind kind) {
    return kind == BindKind::None ? QJsonValue(QJsonValue::Null) : QJsonValue(smpp::BindKindName(kind));
}

QJsonObject ServerStatus(const CFramedServer& server) {
    return {{"running", server.IsRunning()}, {"port", server.OwnPort()}, {"connections", server.GetConnectionCount()}};
}

// The body as a JSON object, or the error that says why it is none.
QJsonObject BodyObject(const QHttpServerRequest& request, QString* error) {
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &parse);
    if (parse.error != QJsonParseError::NoError)
        *error = QString("body: not JSON (%1 at octet %2)").arg(parse.errorString()).arg(parse.offset);
    else if (!document.isObject())
        *error = "body: a JSON object expected";
    return document.object();
}

// "split": how a text longer than one short message goes out; udh8 when left out.
smpp::SplitOption ReadSplit(CJsonFields& fields) {
    constexpr smpp::SplitOption kDefault = smpp::SplitOption::Udh8;
    const QString name = fields.Text("split", false, QString::fromUtf8(smpp::NameOf(kDefault)));
    const std::optional<smpp::SplitOption> option = smpp::SplitOptionNamed(name.toStdString());
    if (!option) {
        QStringList names;
        for (const smpp::SplitOption each : smpp::kSplitOptions)
            names << QString::fromUtf8(smpp::NameOf(each));
        fields.FailOneOf("split", names);
    }
    return option.value_or(kDefault);
}

// A text of any length as the parts of one message, split as asked; the error says why it cannot go.
smpp::SplitResult PartsOf(const std::string& text, uint8_t dataCoding, smpp::SplitOption split) {
    const smpp::EncodedText encoded = smpp::EncodeMessage(text, dataCoding);
    return encoded.Ok() ? smpp::Split(encoded.octets, dataCoding, split, smpp::NextReference())
                        : smpp::SplitResult{{}, encoded.error};
}

} // namespace

Answer CControlServer::Status(const QHttpServerRequest&) {
    const CPacketLog& log = m_simulator.Log();
    return Answer::Json(QJsonObject{{"version", TARNWICK_VERSION},
                                    {"smpp", ServerStatus(m_simulator.Smpp())},
                                    {"mobile", ServerStatus(m_simulator.Mobile())},
                                    {"records", log.GetCount()},
                                    {"lastSeq", double(log.SerialBase() + log.GetCount())},
                                    {"uptimeSeconds", double(m_uptime.elapsed()) / 1000}});
}

Answer CControlServer::Connections(const QHttpServerRequest&) {
    QJsonArray connections;
    const auto add = [&connections](const CSocketServer& server, const char* kind, const char* nameKey, auto bind) {
        server.ForEachConnection([&](const CConnection& connection) {
            const int64_t bound = connection.LoginTime();
            const QString name = QString::fromUtf8(connection.Name());
            const QString version = QString::fromStdString(server.SessionVersion(connection));
            connections.append(QJsonObject{
                {"id", double(connection.Id())},
                {"server", kind},
                {nameKey, name.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(name)},
                {"bindType", bind(connection)},
                {"version", version.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(version)},
                {"address", QHostAddress(connection.PeerAddress()).toString()},
                {"port", connection.PeerPort()},
                {"connectedAt", Iso(connection.ConnectTime())},
                {"boundAt", bound > 0 ? QJsonValue(Iso(bound)) : QJsonValue(QJsonValue::Null)}});
        });
    };
    const CSmppServer& smpp = m_simulator.Smpp();
    add(smpp, "smpp", "systemId", [&smpp](const CConnection& c) { return BindName(smpp.BindKindOf(c)); });
    add(m_simulator.Mobile(), "mobile", "number", [](const CConnection&) { return QJsonValue(QJsonValue::Null); });
    return Answer::Json(QJsonObject{{"connections", connections}});
}

Answer CControlServer::Deliver(const QHttpServerRequest& request) {
    QString error;
    const QJsonObject body = BodyObject(request, &error);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    CJsonFields fields(body);
    fields.Only({"systemId", "command", "sourceAddr", "destinationAddr", "text", "dataCoding", "esmClass",
                 "registeredDelivery", "tlvs", "count", "split"});
    const QString systemId = fields.Text("systemId", true);
    const QString command = fields.Text("command", false, "deliver_sm");
    DeliverEntry::Kind kind = DeliverEntry::Kind::DeliverSm;
    if (command == "data_sm")
        kind = DeliverEntry::Kind::DataSm;
    else if (command == "alert_notification")
        kind = DeliverEntry::Kind::AlertNotification;
    else if (command != "deliver_sm")
        fields.Fail("command", "deliver_sm, data_sm or alert_notification expected");
    const QByteArray text = fields.Text("text").toUtf8();
    DeliverEntry entry = DeliverEntry::Make(systemId.toStdString(), text.toStdString(),
                                            int32_t(fields.Integer("count", 1, 10000, 1)), kind);
    entry.fields.sourceAddr = fields.Text("sourceAddr").toStdString();
    entry.fields.destAddr = fields.Text("destinationAddr").toStdString();
    entry.fields.dataCoding = uint8_t(fields.Integer("dataCoding", 0, 255, 0));
    entry.fields.esmClass = uint8_t(fields.Integer("esmClass", 0, 255, 0));
    entry.fields.registeredDelivery = uint8_t(fields.Integer("registeredDelivery", 0, 255, 0));
    entry.fields.tlvs = fields.Tlvs("tlvs");
    entry.split = ReadSplit(fields);
    if (fields.Ok()) {
        if (const std::string refusal = TextRefusal(entry); !refusal.empty())
            fields.Fail("text", QString::fromStdString(refusal));
    }
    if (!fields.Ok())
        return Answer::Error(400, fields.Error());
    std::vector<uint32_t> sequences;
    const int sent = MakeSmppSender(m_simulator.Smpp())->Send(entry, &sequences);
    if (sent == 0 && kind == DeliverEntry::Kind::DeliverSm) {
        // No ESME under that system id: a UCP or CIMD2 client logged in under it takes the text its own way.
        const smpp::SplitResult parts = PartsOf(text.toStdString(), entry.fields.dataCoding, entry.split);
        int delivered = 0;
        for (int copy = 0; copy < entry.count && parts.error.empty(); ++copy)
            delivered += m_simulator.Router().DeliverToLogin(systemId.toStdString(), entry.fields.sourceAddr,
                                                             entry.fields.dataCoding, parts.parts);
        if (delivered > 0)
            return Answer::Json(QJsonObject{{"sent", delivered}, {"sequences", QJsonArray{}}});
    }
    if (sent == 0)
        return Answer::Error(404, QString("systemId: no receiver or transceiver is bound as '%1'").arg(systemId));
    QJsonArray numbers;
    for (uint32_t sequence : sequences)
        numbers.append(double(sequence));
    return Answer::Json(QJsonObject{{"sent", sent}, {"sequences", numbers}});
}

Answer CControlServer::Receipts(const QHttpServerRequest& request) {
    QString error;
    const QJsonObject body = BodyObject(request, &error);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    CJsonFields fields(body);
    fields.Only({"messageId", "state", "err"});
    const QString messageId = fields.Text("messageId", true);
    const QString stateText = fields.Text("state", false, "DELIVRD");
    const std::optional<MessageState> state = MessageStateOf(stateText.toStdString());
    if (!state) {
        QStringList names;
        for (const protocol::NamedValue& row : protocol::smpp::kReceiptStates)
            names << QString::fromUtf8(row.name.data(), qsizetype(row.name.size()));
        fields.FailOneOf("state", names);
    }
    const int64_t err = fields.Integer("err", 0, 255, 0);
    if (!fields.Ok())
        return Answer::Error(400, fields.Error());
    switch (m_simulator.SendReceiptNow(messageId.toStdString(), *state, uint8_t(err))) {
    case CRouter::ReceiptOutcome::UnknownMessage:
        return Answer::Error(404, QString("messageId: no stored message has id '%1'").arg(messageId));
    case CRouter::ReceiptOutcome::Kept:
        // No receiver is bound under its system id: it is kept, and sent after the next bind.
        return Answer::Json(
            QJsonObject{{"messageId", messageId}, {"state", stateText}, {"err", int(err)}, {"kept", true}}, 202);
    case CRouter::ReceiptOutcome::Sent: break;
    }
    return Answer::Json(QJsonObject{{"messageId", messageId}, {"state", stateText}, {"err", int(err)}});
}

Answer CControlServer::Mo(const QHttpServerRequest& request) {
    QString error;
    const QJsonObject body = BodyObject(request, &error);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    CJsonFields fields(body);
    fields.Only({"from", "to", "text", "dataCoding", "split"});
    const std::string from = fields.Text("from", true).toStdString();
    const std::string to = fields.Text("to", true).toStdString();
    const std::string text = fields.Text("text").toStdString();
    const auto dataCoding = uint8_t(fields.Integer("dataCoding", 0, 255, 0));
    const smpp::SplitOption split = ReadSplit(fields);
    if (fields.Ok() && to.empty())
        fields.Fail("to", "a number expected");
    smpp::SplitResult parts;
    if (fields.Ok()) {
        parts = PartsOf(text, dataCoding, split);
        if (!parts.error.empty())
            fields.Fail("text", QString::fromStdString(parts.error));
    }
    if (!fields.Ok())
        return Answer::Error(400, fields.Error());
    const int sent = m_simulator.Router().RouteFromPhone(from, to, dataCoding, parts.parts);
    return Answer::Json(QJsonObject{{"sent", sent}});
}

Answer CControlServer::Faults(const QHttpServerRequest&) {
    return {200, fault_rules::ToJson(m_simulator.Smpp().Faults().Rules()), "application/json", {}};
}

Answer CControlServer::PutFaults(const QHttpServerRequest& request) {
    QString error;
    const std::vector<FaultRule> rules = fault_rules::Parse(request.body(), &error);
    // For this run only, as a rules file is: the rules stored for the window stay as they are.
    if (error.isEmpty())
        error = m_simulator.SetFaultRules(rules);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    return Faults(request);
}

Answer CControlServer::Accounts(const QHttpServerRequest&) {
    return {200, accounts::ToJson(m_simulator.Smpp().Accounts()), "application/json", {}};
}

Answer CControlServer::PutAccounts(const QHttpServerRequest& request) {
    QString error;
    const std::vector<Account> list = accounts::Parse(request.body(), &error);
    if (error.isEmpty())
        error = receipt_profiles::CheckAccounts(list);
    // For this run only, as an accounts file is; connections bound already stay bound.
    if (!error.isEmpty() || !m_simulator.Smpp().SetAccounts(list))
        return Answer::Error(400, error.isEmpty() ? accounts::Validate(list) : error);
    return Accounts(request);
}

Answer CControlServer::Sessions(const QHttpServerRequest&) {
    const SessionSettings& s = m_simulator.Smpp().Sessions();
    const RetryPolicy& retry = m_simulator.Smpp().Retry();
    namespace f = config_fields::sessions;
    return Answer::Json(QJsonObject{{f::kEnquireLinkSeconds, s.enquireLinkSeconds},
                                    {f::kResponseTimeoutSeconds, s.responseTimeoutSeconds},
                                    {f::kBindTimeoutSeconds, s.bindTimeoutSeconds},
                                    {f::kInactivitySeconds, s.inactivitySeconds},
                                    {f::kRetryBackoffMs, retry.backoffMs},
                                    {f::kDeliverTries, retry.maxTries},
                                    {f::kDeliverWindow, retry.window}});
}

Answer CControlServer::PutSessions(const QHttpServerRequest& request) {
    QString error;
    const QJsonObject body = BodyObject(request, &error);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    // A field left out keeps its value; the ranges are the "Sessions" page's.
    SessionSettings s = m_simulator.Smpp().Sessions();
    RetryPolicy retry = m_simulator.Smpp().Retry();
    namespace f = config_fields::sessions;
    CJsonFields fields(body);
    fields.Only(f::kAll);
    const auto seconds = [&fields](const char* name, int64_t min, int32_t value) {
        return int32_t(fields.Integer(name, min, accounts::kMaxSeconds, value));
    };
    s.enquireLinkSeconds = seconds(f::kEnquireLinkSeconds, 0, s.enquireLinkSeconds);
    s.responseTimeoutSeconds = seconds(f::kResponseTimeoutSeconds, 1, s.responseTimeoutSeconds);
    s.bindTimeoutSeconds = seconds(f::kBindTimeoutSeconds, 0, s.bindTimeoutSeconds);
    s.inactivitySeconds = seconds(f::kInactivitySeconds, 0, s.inactivitySeconds);
    retry.backoffMs = int(fields.Integer(f::kRetryBackoffMs, 0, RetryPolicy::kMaxBackoffMs, retry.backoffMs));
    retry.maxTries = int(fields.Integer(f::kDeliverTries, 1, RetryPolicy::kMaxTries, retry.maxTries));
    retry.window = int(fields.Integer(f::kDeliverWindow, 1, RetryPolicy::kMaxWindow, retry.window));
    if (!fields.Ok())
        return Answer::Error(400, fields.Error());
    // For this run only, as the rules and accounts put here are.
    m_simulator.Smpp().SetSessionSettings(s);
    m_simulator.Smpp().SetRetry(retry);
    return Sessions(request);
}

Answer CControlServer::ReceiptProfile(const QHttpServerRequest&) {
    return {200, receipt_profiles::ToJson(m_simulator.Receipts()), "application/json", {}};
}

Answer CControlServer::PutReceiptProfile(const QHttpServerRequest& request) {
    QString error;
    const std::optional<::ReceiptProfile> profile = receipt_profiles::Parse(request.body(), &error);
    // For this run only, as the rules put here are: the profile stored for the window stays.
    if (error.isEmpty())
        error = m_simulator.SetReceiptProfile(*profile);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    return ReceiptProfile(request);
}

Answer CControlServer::Echo(const QHttpServerRequest&) {
    const EchoSettings& echo = m_simulator.Echo();
    return Answer::Json(QJsonObject{{config_fields::echo::kDestination, QString::fromStdString(echo.destination)},
                                    {config_fields::echo::kReverse, echo.reverse}});
}

Answer CControlServer::PutEcho(const QHttpServerRequest& request) {
    QString error;
    const QJsonObject body = BodyObject(request, &error);
    if (!error.isEmpty())
        return Answer::Error(400, error);
    // A field left out keeps its value; an empty destination turns the echo off.
    EchoSettings echo = m_simulator.Echo();
    namespace f = config_fields::echo;
    CJsonFields fields(body);
    fields.Only(f::kAll);
    echo.destination = fields.Text(f::kDestination, false, QString::fromStdString(echo.destination)).toStdString();
    echo.reverse = fields.Bool(f::kReverse, echo.reverse);
    if (!fields.Ok())
        return Answer::Error(400, fields.Error());
    m_simulator.SetEcho(echo); // for this run only
    return Echo(request);
}

Answer CControlServer::Unbind(const QHttpServerRequest& request) {
    // The path is /api/v1/connections/ID/unbind.
    const QString segment = request.url().path().section('/', 4, 4);
    bool ok = false;
    const uint64_t id = segment.toULongLong(&ok);
    if (!ok || id == 0)
        return Answer::Error(400, "connection id: \"" + segment + "\" is no connection id");
    switch (m_simulator.Unbind(id)) {
    case CSmppServer::UnbindResult::Sent:
        return Answer::Json(QJsonObject{{"id", double(id)}, {"unbind", "sent"}}, 202);
    case CSmppServer::UnbindResult::NotBound:
        return Answer::Error(409, QString("connection %1 is not bound").arg(id));
    case CSmppServer::UnbindResult::Gone:
        break;
    }
    return Answer::Error(404, QString("no SMPP connection has id %1").arg(id));
}

Answer CControlServer::Reset(const QHttpServerRequest&) {
    m_simulator.ResetRun();
    const CPacketLog& log = m_simulator.Log();
    return Answer::Json(QJsonObject{{"records", log.GetCount()}, {"lastSeq", double(log.SerialBase())}});
}

Answer CControlServer::Stats(const QHttpServerRequest&) {
    QJsonObject stats = m_simulator.Statistics().Json();
    stats["generator"] = m_simulator.Generator().Json();
    return Answer::Json(stats);
}

Answer CControlServer::Generate(const QHttpServerRequest& request) {
    QString error;
    const std::optional<GeneratorJob> job = ParseGeneratorJob(request.body(), &error);
    if (!job)
        return Answer::Error(400, error);
    switch (m_simulator.Generator().Start(*job)) {
    case CTrafficGenerator::StartResult::Busy:
        return Answer::Error(409, "systemId: a job is running; POST /api/v1/generate/stop ends it");
    case CTrafficGenerator::StartResult::NoReceiver:
        return Answer::Error(404, QString("systemId: no receiver or transceiver is bound as '%1'")
                                      .arg(QString::fromStdString(job->systemId)));
    default: break;
    }
    return Answer::Json(m_simulator.Generator().Json(), 202);
}

Answer CControlServer::GenerateProgress(const QHttpServerRequest&) {
    return Answer::Json(m_simulator.Generator().Json());
}

Answer CControlServer::GenerateStop(const QHttpServerRequest&) {
    m_simulator.Generator().Stop();
    return Answer::Json(m_simulator.Generator().Json());
}

Answer CControlServer::Metrics(const QHttpServerRequest&) {
    return {200,
            m_simulator.Statistics().Prometheus(m_simulator.Smpp().GetConnectionCount(),
                                                m_simulator.Mobile().GetConnectionCount()),
            "text/plain; version=0.0.4; charset=utf-8", {}};
}
