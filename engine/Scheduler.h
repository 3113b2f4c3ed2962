// Millisecond time and delayed work for the servers, so that a delayed answer or a receipt is a
// timer on the event loop (never a wait) and tests can move time by hand.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

class CScheduler {
public:
    using Task = std::function<void()>;
    using WallClock = std::function<int64_t()>; // microseconds since 1970

    virtual ~CScheduler() = default;
    // Milliseconds on a clock that never goes back.
    virtual int64_t NowMs() const = 0;
    // The one wall clock of whatever runs on this scheduler: the times the user reads (connect and
    // bind times, console lines, message and receipt dates). Unlike NowMs it may step. The
    // system's clock unless a test pins it.
    int64_t WallUs() const { return m_wall ? m_wall() : SystemWallUs(); }
    int64_t WallSeconds() const;
    void SetWallClock(WallClock wall) { m_wall = std::move(wall); }
    static int64_t SystemWallUs();
    // Runs task on this thread once delayMs have passed (0: on a later turn, never inside this
    // call). Nothing runs once context is destroyed, so a task may use context freely.
    virtual void After(int64_t delayMs, QObject* context, Task task) = 0;

private:
    WallClock m_wall;
};

// Tasks in order of due time, then of scheduling. Each keeps a weak hold on its context.
class CTaskQueue {
public:
    void Add(int64_t dueMs, QObject* context, CScheduler::Task task);
    std::size_t Size() const { return m_tasks.size(); }
    std::optional<int64_t> NextDue() const;
    // How many tasks have ever been added: tasks added from now on come at or after this mark.
    uint64_t Mark() const { return m_added; }
    // Takes out the first task when it is due by dueMs and was added before the mark addedBefore,
    // and runs it unless its context has gone; false when no task was taken.
    bool RunNext(int64_t dueMs, uint64_t addedBefore = UINT64_MAX);

private:
    struct Entry {
        QPointer<QObject> context;
        CScheduler::Task task;
    };
    uint64_t m_added = 0;
    std::multimap<std::pair<int64_t, uint64_t>, Entry> m_tasks;
};

// The scheduler of a running program: its tasks wait in order of due time under one precise
// timer of the event loop, armed for the first. A coarse timer would be free to fire 5% of its
// interval early or late; a delay the user asks for (a fault rule's delayMs, the receipt delay,
// the retry back-off) is met to the millisecond. UI thread only.
class CEventLoopScheduler : public CScheduler {
public:
    CEventLoopScheduler();
    int64_t NowMs() const override { return m_started.elapsed(); }
    void After(int64_t delayMs, QObject* context, Task task) override;
    std::size_t Pending() const { return m_tasks.Size(); }
    // Armed while a task waits, for the time until the first is due.
    const QTimer& Timer() const { return m_timer; }

private:
    void RunDue();
    void Arm();

    QElapsedTimer m_started;
    QTimer m_timer;
    CTaskQueue m_tasks;
};

// Time that moves only when told: Advance runs every task that falls due, in order of due time,
// then of scheduling, with NowMs showing each task's due time while it runs.
class CManualScheduler : public CScheduler {
public:
    int64_t NowMs() const override { return m_now; }
    void After(int64_t delayMs, QObject* context, Task task) override;
    void Advance(int64_t ms);
    std::size_t Pending() const { return m_tasks.Size(); }

private:
    int64_t m_now = 0;
    CTaskQueue m_tasks;
};
