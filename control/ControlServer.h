// The control API: an HTTP server on the UI thread that lets a test drive the simulator.
#pragma once

#include "control/PduJson.h"
#include "capture/PacketLog.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
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
// Reads and drives the simulator it is given, which outlives it; keeps the ESMEs' messages in the
// router's store so receipts can be sent on demand. Long polls and event streams wait on the capture
// log without blocking the event loop; records for the streams are copied as they are stored and sent
// once per event-loop turn, so a full log's wipe loses none. UI thread only.
class CControlServer : public QObject, public CPacketLogListener {
public:
    static constexpr int kMaxWaitMs = 300'000;
    static constexpr int kMaxLimit = 100'000;
    // A stream whose client reads slower than records come is closed once this much waits unsent.
    static constexpr qint64 kMaxStreamBacklog = 16 << 20;

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
    Answer Reset(const QHttpServerRequest& request);
    Answer Stats(const QHttpServerRequest& request);
    Answer Metrics(const QHttpServerRequest& request);
    // /pdus answers at once, or later when it waits; /events keeps the connection.
    void Pdus(const QHttpServerRequest& request, Responder&& responder);
    void Events(const QHttpServerRequest& request, Responder&& responder);

    struct Waiter {
        uint64_t id;
        PduQuery query;
        QPointer<QTcpSocket> socket;
        std::unique_ptr<Responder> responder;
    };
    // Answers the waiters that have a match now, and those whose time is up (timedOut, or all).
    void AnswerWaiters(uint64_t timedOut = 0);
    void Flush();

    CSimulator& m_simulator;
    QHttpServer* m_http;
    CControlListener* m_listener;
    QString m_token;
    CPduJson m_pduJson;
    QElapsedTimer m_uptime;
    std::list<Waiter> m_waiters;
    uint64_t m_lastWaiter = 0;
    std::vector<QPointer<QTcpSocket>> m_streams;
    // Copies of the records stored since the last flush, for the streams.
    struct PendingRecord {
        int64_t seq;
        PacketContext context;
        size_t offset; // in m_pendingBytes
        uint32_t length;
    };
    std::vector<PendingRecord> m_pending;
    std::vector<uint8_t> m_pendingBytes;
    bool m_flushQueued = false;
};
