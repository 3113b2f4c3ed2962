// Store and forward: the kept messages per system id, their limit and their validity.
#include "smpp/KeptMessages.h"

#include "engine/Scheduler.h"

#include <algorithm>

void CKeptMessages::Keep(const std::string& systemId, OutboxItem item) {
    std::deque<OutboxItem>& kept = m_kept[systemId];
    if (kept.size() >= m_limit) {
        OutboxItem oldest = std::move(kept.front());
        kept.pop_front();
        if (m_sink)
            m_sink(systemId, oldest, Expiry::Limit);
    }
    item.dueMs = m_scheduler->NowMs() + std::max<int64_t>(m_validityMs, 0);
    const int64_t due = item.dueMs;
    kept.push_back(std::move(item));
    Arm(due);
}

std::deque<OutboxItem> CKeptMessages::Take(const std::string& systemId, std::size_t most) {
    const auto found = m_kept.find(systemId);
    if (found == m_kept.end() || most == 0)
        return {};
    std::deque<OutboxItem>& kept = found->second;
    std::deque<OutboxItem> taken;
    if (kept.size() <= most) {
        taken.swap(kept);
        m_kept.erase(found);
        return taken;
    }
    for (std::size_t n = 0; n < most; ++n) {
        taken.push_back(std::move(kept.front()));
        kept.pop_front();
    }
    return taken;
}

std::size_t CKeptMessages::Count(const std::string& systemId) const {
    const auto found = m_kept.find(systemId);
    return found == m_kept.end() ? 0 : found->second.size();
}

std::vector<std::pair<std::string, std::size_t>> CKeptMessages::Counts() const {
    std::vector<std::pair<std::string, std::size_t>> counts;
    for (const auto& [systemId, kept] : m_kept)
        counts.emplace_back(systemId, kept.size());
    return counts;
}

void CKeptMessages::Arm(int64_t dueMs) {
    if (m_armedDueMs >= 0 && dueMs >= m_armedDueMs)
        return;
    m_armedDueMs = dueMs;
    const uint64_t run = ++m_armRun;
    m_scheduler->After(dueMs - m_scheduler->NowMs(), &m_timerContext, [this, run] {
        if (run != m_armRun)
            return;
        m_armedDueMs = -1;
        Expire();
    });
}

void CKeptMessages::Expire() {
    // Each system id's messages end in the order they were kept, so only the oldest are looked at.
    const int64_t now = m_scheduler->NowMs();
    int64_t earliest = -1;
    for (auto it = m_kept.begin(); it != m_kept.end();) {
        std::deque<OutboxItem>& kept = it->second;
        while (!kept.empty() && kept.front().dueMs <= now) {
            OutboxItem expired = std::move(kept.front());
            kept.pop_front();
            if (m_sink)
                m_sink(it->first, expired, Expiry::Validity);
        }
        if (kept.empty()) {
            it = m_kept.erase(it);
            continue;
        }
        earliest = earliest < 0 ? kept.front().dueMs : std::min(earliest, kept.front().dueMs);
        ++it;
    }
    if (earliest >= 0)
        Arm(earliest);
}
