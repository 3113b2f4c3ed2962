// The two schedulers: the event loop's timers, and hand-moved time.
#include "engine/Scheduler.h"

#include <QTimer>

#include <algorithm>

void CEventLoopScheduler::After(int64_t delayMs, QObject* context, Task task) {
    const auto ms = static_cast<int>(std::clamp<int64_t>(delayMs, 0, INT32_MAX));
    QTimer::singleShot(ms, context, std::move(task));
}

void CManualScheduler::After(int64_t delayMs, QObject* context, Task task) {
    const int64_t due = m_now + std::max<int64_t>(delayMs, 0);
    m_tasks.emplace(std::make_pair(due, m_nextOrder++), Entry{context, std::move(task)});
}

void CManualScheduler::Advance(int64_t ms) {
    const int64_t end = m_now + std::max<int64_t>(ms, 0);
    // A task may schedule more; those due before end run in this call too.
    while (!m_tasks.empty() && m_tasks.begin()->first.first <= end) {
        auto first = m_tasks.begin();
        m_now = first->first.first;
        Entry entry = std::move(first->second);
        m_tasks.erase(first);
        if (entry.context)
            entry.task();
    }
    m_now = end;
}
