// Millisecond time and delayed work for the servers, so that a delayed answer or a receipt is a
// timer on the event loop (never a wait) and tests can move time by hand.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

class CScheduler {
public:
    using Task = std::function<void()>;

    virtual ~CScheduler() = default;
    // Milliseconds on a clock that never goes back.
    virtual int64_t NowMs() const = 0;
    // Runs task on this thread once delayMs have passed (0: on a later turn, never inside this
    // call). Nothing runs once context is destroyed, so a task may use context freely.
    virtual void After(int64_t delayMs, QObject* context, Task task) = 0;
};

// The scheduler of a running program: QTimer single shots on the event loop.
class CEventLoopScheduler : public CScheduler {
public:
    CEventLoopScheduler() { m_started.start(); }
    int64_t NowMs() const override { return m_started.elapsed(); }
    void After(int64_t delayMs, QObject* context, Task task) override;

private:
    QElapsedTimer m_started;
};

// Time that moves only when told: Advance runs every task that falls due, in order of due time,
// then of scheduling, with NowMs showing each task's due time while it runs.
class CManualScheduler : public CScheduler {
public:
    int64_t NowMs() const override { return m_now; }
    void After(int64_t delayMs, QObject* context, Task task) override;
    void Advance(int64_t ms);
    std::size_t Pending() const { return m_tasks.size(); }

private:
    struct Entry {
        QPointer<QObject> context;
        Task task;
    };
    int64_t m_now = 0;
    uint64_t m_nextOrder = 0;
    std::multimap<std::pair<int64_t, uint64_t>, Entry> m_tasks;
};
