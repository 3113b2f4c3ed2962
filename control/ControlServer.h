// The control API: an HTTP server on the UI thread that lets a test drive the simulator.
#pragma once

#include "control/PduJson.h"
#include "capture/PacketLog.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

class CControlListener;
class CSimulator;
struct ControlAnswer;
class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QTcpSocket;

struct ControlOptions {
    QHostAddress address{QHostAddress::LocalHost};
    uint16_t port = 0; // 0 picks a free port
    QString token;     // when set, every request must carry "Authorization: Bearer <token>"

    // Why the options cannot be used; empty when they can. A non-loopback address needs a token.
    QString Check() const;
};

// Serves /api/v1 (status, connections, pdus, events, deliver, receipts, mo, faults, reset, stats) and
// /metrics over HTTP/1.1, answering in JSON (the metrics in Prometheus text, the events as a stream).
// Reads and drives the simulator it is given, which outlives it. Long polls and event streams wait on
// the capture log without blocking the event loop. A stream reads the records from the log itself, as
// fast as its client takes them and within a slice of the event loop's time, so that following a flood
// costs the servers little: records the log wipes before their turn are told as one "gap" event.
// UI thread only.
class CControlServer : public QObject, public CPacketLogListener {
public:
    // The event streams' share of the event loop: this long at most writing events, then this pause.
    static constexpr int64_t kStreamSliceUs = 500;
    static constexpr int kStreamPauseMs = 10;
    // A stream's client has this much unread before the stream waits for it.
    static constexpr qint64 kStreamBacklog = 1 << 20;

    explicit CControlServer(CSimulator& simulator, QObject* parent = nullptr);
    ~CControlServer() override;

    // Listens; false, with the reason in error, when it cannot.
    bool Start(const ControlOptions& options, QString* error);
    uint16_t Port() const;
    // "Control API listening on http://127.0.0.1:PORT".
    QString StartLine() const;

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override {}

private:
    using Responder = QHttpServerResponder;
    using Answer = ControlAnswer;
    struct Endpoint;
    static const Endpoint kEndpoints[];

    void Route(const char* path, const QHttpServerRequest& request, Responder&& responder);
    void Serve(const Endpoint& endpoint, const QHttpServerRequest& request, Responder&& responder);
    bool Authorized(const QHttpServerRequest& request) const;
    static void Send(Responder& responder, const Answer& answer);

    // The endpoints (ControlEndpoints.cpp).
    Answer Status(const QHttpServerRequest& request);
    Answer Connections(const QHttpServerRequest& request);
    Answer Deliver(const QHttpServerRequest& request);
    Answer Receipts(const QHttpServerRequest& request);
    Answer Mo(const QHttpServerRequest& request);
    Answer Faults(const QHttpServerRequest& request);
    Answer PutFaults(const QHttpServerRequest& request);
    Answer Accounts(const QHttpServerRequest& request);
    Answer PutAccounts(const QHttpServerRequest& request);
    Answer Unbind(const QHttpServerRequest& request);
    Answer Sessions(const QHttpServerRequest& request);
    Answer PutSessions(const QHttpServerRequest& request);
    Answer ReceiptProfile(const QHttpServerRequest& request);
    Answer PutReceiptProfile(const QHttpServerRequest& request);
    Answer Echo(const QHttpServerRequest& request);
    Answer PutEcho(const QHttpServerRequest& request);
    Answer Reset(const QHttpServerRequest& request);
    Answer Stats(const QHttpServerRequest& request);
    Answer Generate(const QHttpServerRequest& request);
    Answer GenerateProgress(const QHttpServerRequest& request);
    Answer GenerateStop(const QHttpServerRequest& request);
    Answer Metrics(const QHttpServerRequest& request);
    // /pdus answers at once, or later when it waits; /events keeps the connection.
    void Pdus(const QHttpServerRequest& request, Responder&& responder);
    void Events(const QHttpServerRequest& request, Responder&& responder);

    struct Waiter {
        uint64_t id;
        PduQuery query;
        int64_t checked; // records up to this seq are known not to match
        QPointer<QTcpSocket> socket;
        std::unique_ptr<Responder> responder;
    };
    struct Stream {
        QPointer<QTcpSocket> socket;
        int64_t next; // seq of the next record to send
    };
    // Answers the waiters that have a match now, and the one whose time is up.
    void AnswerWaiters(uint64_t timedOut = 0);
    // Writes events to the streams for a slice of time; true when some have more to send.
    bool WriteEvents();
    void Flush();
    void FlushSoon(int delayMs);

    CSimulator& m_simulator;
    QHttpServer* m_http;
    CControlListener* m_listener;
    QString m_token;
    CPduJson m_pduJson;
    QElapsedTimer m_uptime;
    std::list<Waiter> m_waiters;
    uint64_t m_lastWaiter = 0;
    std::vector<Stream> m_streams;
    bool m_flushQueued = false;
};
