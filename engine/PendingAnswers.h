// The PDUs a server started on one connection and still expects an answer to, matched once by
// sequence number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

// Keeps at most kCapacity PDUs, oldest first; a new one past that forgets the oldest, so a peer
// that never answers costs bounded memory.
template <typename Info, std::size_t kCapacity>
class CPendingAnswers {
public:
    void Add(uint32_t sequence, Info info) {
        if (m_pending.size() == kCapacity)
            m_pending.pop_front();
        m_pending.push_back({sequence, std::move(info)});
    }
    // What was kept with the PDU this answer settles; nothing for an answer to no PDU of ours.
    std::optional<Info> Settle(uint32_t sequence) {
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->sequence != sequence)
                continue;
            Info info = std::move(it->info);
            m_pending.erase(it);
            return info;
        }
        return std::nullopt;
    }
    std::size_t Size() const { return m_pending.size(); }
    // Hands every kept PDU's info to visit, oldest first, and forgets them all.
    template <typename Visit>
    void Drain(Visit visit) {
        std::deque<Entry> pending;
        pending.swap(m_pending);
        for (Entry& entry : pending)
            visit(std::move(entry.info));
    }

private:
    struct Entry {
        uint32_t sequence;
        Info info;
    };
    std::deque<Entry> m_pending;
};
