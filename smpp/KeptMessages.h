// The messages owed to system ids with no receiver bound, kept in order until one binds.
#pragma once

#include "smpp/Outbox.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Store and forward: a PDU owed to a system id that no receiver or transceiver is bound under waits
// here, in order, until one binds (Take), until its validity runs out, or until the store for its
// system id is full, when the oldest goes to make room. Every message that goes unsent is told to
// the expiry sink; one timer, armed for the oldest message's end, serves them all. UI thread.
class CKeptMessages {
public:
    static constexpr int64_t kDefaultValidityMs = 48LL * 3600 * 1000;
    static constexpr std::size_t kDefaultLimit = 100'000;

    enum class Expiry : uint8_t { Validity, Limit };
    using ExpirySink = std::function<void(const std::string& systemId, OutboxItem& item, Expiry why)>;

    explicit CKeptMessages(CScheduler& scheduler) : m_scheduler(&scheduler) {}

    void SetScheduler(CScheduler& scheduler) { m_scheduler = &scheduler; }
    void SetExpirySink(ExpirySink sink) { m_sink = std::move(sink); }
    // Apply to messages kept from now on; limit at least 1.
    void SetValidityMs(int64_t validityMs) { m_validityMs = validityMs; }
    void SetLimit(std::size_t limit) { m_limit = limit == 0 ? 1 : limit; }
    int64_t ValidityMs() const { return m_validityMs; }
    std::size_t Limit() const { return m_limit; }

    // Keeps the item (dueMs becomes its end) behind those kept for the same system id.
    void Keep(const std::string& systemId, OutboxItem item);
    // At most `most` of what is kept for the system id, oldest first, and forgets them.
    std::deque<OutboxItem> Take(const std::string& systemId, std::size_t most);
    std::size_t Count(const std::string& systemId) const;
    bool Empty() const { return m_kept.empty(); }
    // The system ids something is kept for, and how many, in name order.
    std::vector<std::pair<std::string, std::size_t>> Counts() const;

private:
    void Arm(int64_t dueMs);
    void Expire();

    CScheduler* m_scheduler;
    QObject m_timerContext;
    ExpirySink m_sink;
    int64_t m_validityMs = kDefaultValidityMs;
    std::size_t m_limit = kDefaultLimit;
    std::map<std::string, std::deque<OutboxItem>> m_kept;
    int64_t m_armedDueMs = -1;
    uint64_t m_armRun = 0;
};
