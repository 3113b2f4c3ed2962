// The control API's HTTP side: listening, the bearer token, routing by path and method, long polls
// and event streams.
#include "control/ControlServer.h"

#include "control/ControlAnswer.h"
#include "control/ControlListener.h"
#include "capture/PacketRecord.h"
#include "simulator/Simulator.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>

namespace {

using Method = QHttpServerRequest::Method;

QByteArray MethodName(Method method) {
    switch (method) {
    case Method::Get: return "GET";
    case Method::Put: return "PUT";
    case Method::Post: return "POST";
    default: return "";
    }
}

// The token compared without an early exit, so its length and contents cannot be timed out of us.
bool SameSecret(const QByteArray& a, const QByteArray& b) {
    unsigned difference = unsigned(a.size() ^ b.size());
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= unsigned(uint8_t(a[i]) ^ uint8_t(i < b.size() ? b[i] : 0));
    return difference == 0;
}

// Whether a path is the one a pattern names, where "*" stands for any one path segment.
bool PathMatches(const char* pattern, QByteArrayView path) {
    qsizetype at = 0;
    for (; *pattern != '\0'; ++pattern) {
        if (*pattern != '*') {
            if (at == path.size() || path[at++] != *pattern)
                return false;
            continue;
        }
        const qsizetype start = at;
        while (at < path.size() && path[at] != '/')
            ++at;
        if (at == start)
            return false;
    }
    return at == path.size();
}

} // namespace

// One row per path and method; a path with rows answers its other methods 405.
struct CControlServer::Endpoint {
    const char* path;
    Method method;
    Answer (CControlServer::*answer)(const QHttpServerRequest&);
    void (CControlServer::*respond)(const QHttpServerRequest&, Responder&&);
};

const CControlServer::Endpoint CControlServer::kEndpoints[] = {
    // path                      method        answers at once                    or answers itself
    {"/api/v1/status",           Method::Get,  &CControlServer::Status,           nullptr},
    {"/api/v1/connections",      Method::Get,  &CControlServer::Connections,      nullptr},
    {"/api/v1/pdus",             Method::Get,  nullptr,                           &CControlServer::Pdus},
    {"/api/v1/events",           Method::Get,  nullptr,                           &CControlServer::Events},
    {"/api/v1/deliver",          Method::Post, &CControlServer::Deliver,          nullptr},
    {"/api/v1/receipts",         Method::Post, &CControlServer::Receipts,         nullptr},
    {"/api/v1/mo",               Method::Post, &CControlServer::Mo,               nullptr},
    {"/api/v1/connections/*/unbind", Method::Post, &CControlServer::Unbind,       nullptr},
    {"/api/v1/accounts",         Method::Get,  &CControlServer::Accounts,         nullptr},
    {"/api/v1/sessions",         Method::Get,  &CControlServer::Sessions,         nullptr},
    {"/api/v1/sessions",         Method::Put,  &CControlServer::PutSessions,      nullptr},
    {"/api/v1/accounts",         Method::Put,  &CControlServer::PutAccounts,      nullptr},
    {"/api/v1/faults",           Method::Get,  &CControlServer::Faults,           nullptr},
    {"/api/v1/faults",           Method::Put,  &CControlServer::PutFaults,        nullptr},
    {"/api/v1/receipt-profile",  Method::Get,  &CControlServer::ReceiptProfile,   nullptr},
    {"/api/v1/receipt-profile",  Method::Put,  &CControlServer::PutReceiptProfile, nullptr},
    {"/api/v1/echo",             Method::Get,  &CControlServer::Echo,             nullptr},
    {"/api/v1/echo",             Method::Put,  &CControlServer::PutEcho,          nullptr},
    {"/api/v1/reset",            Method::Post, &CControlServer::Reset,            nullptr},
    {"/api/v1/stats",            Method::Get,  &CControlServer::Stats,            nullptr},
    {"/api/v1/generate",         Method::Post, &CControlServer::Generate,         nullptr},
    {"/api/v1/generate",         Method::Get,  &CControlServer::GenerateProgress, nullptr},
    {"/api/v1/generate/stop",    Method::Post, &CControlServer::GenerateStop,     nullptr},
    {"/metrics",                 Method::Get,  &CControlServer::Metrics,          nullptr},
};

QString ControlOptions::Check() const {
    if (!address.isLoopback() && token.isEmpty())
        return QString("The control API on %1 would answer anyone who can reach it: give --control-token TOKEN "
                       "with --control-listen.")
            .arg(address.toString());
    return {};
}

CControlServer::CControlServer(CSimulator& simulator, QObject* parent)
    : QObject(parent), m_simulator(simulator), m_http(new QHttpServer(this)), m_listener(new CControlListener(this)),
      m_pduJson(simulator.Log(), simulator.Decoder()) {
    m_uptime.start();
    std::vector<const char*> paths;
    for (const Endpoint& endpoint : kEndpoints)
        if (std::none_of(paths.begin(), paths.end(), [&](const char* p) { return qstrcmp(p, endpoint.path) == 0; }))
            paths.push_back(endpoint.path);
    // Paths with a segment of their own (a connection's id) are found by the missing handler.
    for (const char* path : paths)
        if (!strchr(path, '*'))
            m_http->route(path, [this, path](const QHttpServerRequest& request, Responder&& responder) {
            Route(path, request, std::move(responder));
        });
    m_http->setMissingHandler([this, paths](const QHttpServerRequest& request, Responder&& responder) {
        // The router passes over methods it has no name for: on a path of ours they are a 405 too.
        const QByteArray path = request.url().path().toUtf8();
        for (const char* known : paths)
            if (PathMatches(known, path))
                return Route(known, request, std::move(responder));
        CControlListener::RequestHandled(responder.socket());
        Send(responder, Authorized(request) ? Answer::Error(404, "no such path: " + request.url().path())
                                            : Answer::Unauthorized());
    });
    m_simulator.Log().AddListener(this);
}

CControlServer::~CControlServer() {
    m_simulator.Log().RemoveListener(this);
}

bool CControlServer::Start(const ControlOptions& options, QString* error) {
    if (QString problem = options.Check(); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    if (!m_listener->listen(options.address, options.port)) {
        *error = QString("Control API cannot listen on %1 port %2: %3.")
                     .arg(options.address.toString())
                     .arg(options.port)
                     .arg(m_listener->errorString());
        return false;
    }
    m_token = options.token;
    m_http->bind(m_listener);
    return true;
}

uint16_t CControlServer::Port() const { return m_listener->serverPort(); }

QString CControlServer::StartLine() const {
    const QHostAddress address = m_listener->serverAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? "[" + address.toString() + "]"
                                                                              : address.toString();
    return QString("Control API listening on http://%1:%2").arg(host).arg(Port());
}

bool CControlServer::Authorized(const QHttpServerRequest& request) const {
    return m_token.isEmpty() || SameSecret(request.value("Authorization"), "Bearer " + m_token.toUtf8());
}

void CControlServer::Route(const char* path, const QHttpServerRequest& request, Responder&& responder) {
    QByteArray allowed;
    for (const Endpoint& endpoint : kEndpoints) {
        if (qstrcmp(endpoint.path, path) != 0)
            continue;
        if (endpoint.method == request.method())
            return Serve(endpoint, request, std::move(responder));
        allowed += (allowed.isEmpty() ? "" : ", ") + MethodName(endpoint.method);
    }
    CControlListener::RequestHandled(responder.socket());
    Answer answer = Authorized(request) ? Answer::Error(405, QString("%1 takes %2").arg(path, allowed))
                                        : Answer::Unauthorized();
    answer.allow = allowed;
    Send(responder, answer);
}

void CControlServer::Serve(const Endpoint& endpoint, const QHttpServerRequest& request, Responder&& responder) {
    CControlListener::RequestHandled(responder.socket());
    if (!Authorized(request))
        return Send(responder, Answer::Unauthorized());
    // The listener refuses most long bodies before they are read; a chunked one is only known now.
    if (request.body().size() > CControlListener::kMaxBody)
        return Send(responder, Answer::Error(413, "the request body is over 1 MiB (1048576 octets)"));
    if (endpoint.answer)
        return Send(responder, (this->*endpoint.answer)(request));
    (this->*endpoint.respond)(request, std::move(responder));
}

void CControlServer::Send(Responder& responder, const Answer& answer) {
    QTcpSocket* socket = responder.socket();
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(answer.status));
    responder.writeHeader("Content-Type", answer.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(answer.body.size()));
    if (!answer.allow.isEmpty())
        responder.writeHeader("Allow", answer.allow);
    if (answer.status == 401)
        responder.writeHeader("WWW-Authenticate", "Bearer");
    responder.writeBody(answer.body);
}

void CControlServer::Pdus(const QHttpServerRequest& request, Responder&& responder) {
    PduQuery query;
    int64_t waitMs = 0;
    if (QString error = ReadPduQuery(request.query(), &query, &waitMs); !error.isEmpty())
        return Send(responder, Answer::Error(400, error));
    if (waitMs == 0 || m_pduJson.HasMatch(m_simulator.Log(), query))
        return Send(responder, {200, m_pduJson.Query(m_simulator.Log(), query), "application/json", {}});
    const uint64_t id = ++m_lastWaiter;
    const int64_t checked = m_simulator.Log().SerialBase() + m_simulator.Log().GetCount();
    m_waiters.push_back({id, query, checked, responder.socket(), std::make_unique<Responder>(std::move(responder))});
    QTimer::singleShot(int(waitMs), this, [this, id] { AnswerWaiters(id); });
}

void CControlServer::AnswerWaiters(uint64_t timedOut) {
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        if (!it->socket) {
            it = m_waiters.erase(it);
            continue;
        }
        PduQuery unchecked = it->query;
        unchecked.since = std::max(it->query.since, it->checked);
        if (it->id != timedOut && !m_pduJson.HasMatch(m_simulator.Log(), unchecked)) {
            it->checked = m_simulator.Log().SerialBase() + m_simulator.Log().GetCount();
            ++it;
            continue;
        }
        Send(*it->responder, {200, m_pduJson.Query(m_simulator.Log(), it->query), "application/json", {}});
        it = m_waiters.erase(it);
    }
}

void CControlServer::Events(const QHttpServerRequest&, Responder&& responder) {
    // The stream is the one answer that is not JSON: each event's data is.
    responder.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
    responder.writeHeader("Content-Type", "text/event-stream");
    responder.writeHeader("Cache-Control", "no-cache");
    responder.writeBody(": records as they are captured\n\n");
    m_streams.push_back({responder.socket(), m_simulator.Log().SerialBase() + m_simulator.Log().GetCount() + 1});
}

void CControlServer::OnPacketsAdded(int32_t, int32_t) {
    if (!m_streams.empty() || !m_waiters.empty())
        FlushSoon(0);
}

void CControlServer::FlushSoon(int delayMs) {
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    // After the server has finished with what it is handling: once per event-loop turn at most.
    QTimer::singleShot(delayMs, this, [this] { Flush(); });
}

void CControlServer::Flush() {
    m_flushQueued = false;
    AnswerWaiters();
    if (WriteEvents())
        FlushSoon(kStreamPauseMs);
}

bool CControlServer::WriteEvents() {
    std::erase_if(m_streams, [](const Stream& stream) {
        return !stream.socket || stream.socket->state() != QAbstractSocket::ConnectedState;
    });
    const CPacketLog& log = m_simulator.Log();
    const int64_t first = log.SerialBase() + 1, end = first + log.GetCount();
    QElapsedTimer slice;
    slice.start();
    bool more = false;
    std::string events;
    for (Stream& stream : m_streams) {
        // A client that has not read what it was sent is looked at again after the pause.
        if (stream.socket->bytesToWrite() > kStreamBacklog) {
            more = true;
            continue;
        }
        events.clear();
        if (stream.next < first) {
            events += "event: gap\ndata: {\"from\":" + std::to_string(stream.next) + ",\"to\":" +
                      std::to_string(first - 1) + "}\n\n";
            stream.next = first;
        }
        for (; stream.next < end && slice.nsecsElapsed() < kStreamSliceUs * 1000; ++stream.next) {
            uint32_t length = 0;
            const int32_t index = int32_t(stream.next - first);
            const uint8_t* record = log.PacketAt(index, &length);
            if (!record || length < packet_record::kHeaderSize)
                continue;
            events += "event: pdu\nid: " + std::to_string(stream.next) + "\ndata: ";
            m_pduJson.AppendRecord(events, stream.next, record, length, log.SummaryAt(index));
            events += "\n\n";
        }
        stream.socket->write(events.data(), qint64(events.size()));
        more = more || stream.next < end;
    }
    return more;
}
