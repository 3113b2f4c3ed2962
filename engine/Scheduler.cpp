// The task queue and the two schedulers: the event loop's precise timer, and hand-moved time.
#include "engine/Scheduler.h"

#include <ctime>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

int64_t CScheduler::SystemWallUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t CScheduler::WallSeconds() const {
    // Whole seconds need no microsecond read: the system's coarse clock, a fraction of the cost, serves
    // the dates every message and receipt stamps.
    timespec coarse{};
    if (!m_wall && clock_gettime(CLOCK_REALTIME_COARSE, &coarse) == 0)
        return coarse.tv_sec;
    // Floored, so that a time before 1970 still falls in the second it belongs to.
    const int64_t us = WallUs();
    return us / 1'000'000 - (us % 1'000'000 < 0 ? 1 : 0);
}

void CTaskQueue::Add(int64_t dueMs, QObject* context, CScheduler::Task task) {
    m_tasks.emplace(std::make_pair(dueMs, m_added++), Entry{context, std::move(task)});
}

std::optional<int64_t> CTaskQueue::NextDue() const {
    if (m_tasks.empty())
        return std::nullopt;
    return m_tasks.begin()->first.first;
}

bool CTaskQueue::RunNext(int64_t dueMs, uint64_t addedBefore) {
    if (m_tasks.empty())
        return false;
    const auto first = m_tasks.begin();
    if (first->first.first > dueMs || first->first.second >= addedBefore)
        return false;
    // Out of the queue before it runs: the task may add more.
    Entry entry = std::move(first->second);
    m_tasks.erase(first);
    if (entry.context)
        entry.task();
    return true;
}

CEventLoopScheduler::CEventLoopScheduler() {
    m_started.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { RunDue(); });
}

void CEventLoopScheduler::After(int64_t delayMs, QObject* context, Task task) {
    const int64_t due = NowMs() + std::clamp<int64_t>(delayMs, 0, INT32_MAX);
    const bool first = !m_tasks.NextDue() || due < *m_tasks.NextDue();
    m_tasks.Add(due, context, std::move(task));
    if (first)
        Arm();
}

void CEventLoopScheduler::RunDue() {
    // Tasks that the running ones add wait for the next turn, even when due at once, so that a
    // task that keeps adding itself cannot hold the event loop.
    const uint64_t mark = m_tasks.Mark();
    while (m_tasks.RunNext(NowMs(), mark)) {
    }
    Arm();
}

void CEventLoopScheduler::Arm() {
    const std::optional<int64_t> due = m_tasks.NextDue();
    if (!due) {
        m_timer.stop();
        return;
    }
    m_timer.start(int(std::clamp<int64_t>(*due - NowMs(), 0, INT32_MAX)));
}

void CManualScheduler::After(int64_t delayMs, QObject* context, Task task) {
    m_tasks.Add(m_now + std::max<int64_t>(delayMs, 0), context, std::move(task));
}

void CManualScheduler::Advance(int64_t ms) {
    const int64_t end = m_now + std::max<int64_t>(ms, 0);
    // A task may schedule more; those due before end run in this call too. Tasks that keep scheduling
    // each other at one instant would hold hand-moved time still for ever: that is a fault in their
    // owner, told at once rather than as a run that never ends.
    constexpr int kMostAtOneInstant = 1'000'000;
    int atThisInstant = 0;
    for (std::optional<int64_t> due = m_tasks.NextDue(); due && *due <= end; due = m_tasks.NextDue()) {
        atThisInstant = *due == m_now ? atThisInstant + 1 : 0;
        if (atThisInstant > kMostAtOneInstant) {
            std::fprintf(stderr, "CManualScheduler: tasks keep scheduling each other at %lld ms\n", static_cast<long long>(m_now));
            std::abort();
        }
        m_now = *due;
        m_tasks.RunNext(end);
    }
    m_now = end;
}
