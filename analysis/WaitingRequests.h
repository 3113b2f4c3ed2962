// The requests of a capture still waiting for their answers, found by connection, family and sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Maps a request's key to the newest record index waiting under it. Open addressing with linear
// probing in one array that only grows (to four times the most keys ever waiting at once), and removal
// by shifting the following entries back, so that no lookup, insertion or removal allocates once
// the run's window has been seen: every request of the servers' hot path passes here. Plain data,
// one thread.
class CWaitingRequests {
public:
    struct Key {
        uint64_t connection = 0;
        std::array<uint32_t, 3> sequence{}; // SGIP's three words; one word elsewhere, the others 0
        uint16_t family = 0;
        // Field by field: a call to compare memory costs more than the three words.
        bool operator==(const Key& o) const {
            return connection == o.connection && sequence[0] == o.sequence[0] && sequence[1] == o.sequence[1] &&
                   sequence[2] == o.sequence[2] && family == o.family;
        }
    };

    static constexpr size_t kNone = SIZE_MAX;

    // The slot of key, or kNone.
    size_t Find(const Key& key) const {
        if (m_slots.empty())
            return kNone;
        for (size_t at = Home(key);; at = Next(at)) {
            if (m_slots[at].newest < 0)
                return kNone;
            if (m_slots[at].key == key)
                return at;
        }
    }
    // The slot of key, made when missing: its newest request is -1 until the caller sets it (to 0 or
    // more). Slots move with every Add and Remove.
    size_t Add(const Key& key) {
        if (const size_t found = Find(key); found != kNone)
            return found;
        if (4 * (m_count + 1) > m_slots.size())
            Grow();
        size_t at = Home(key);
        while (m_slots[at].newest >= 0)
            at = Next(at);
        ++m_count;
        m_slots[at].key = key;
        return at;
    }
    int32_t& Newest(size_t slot) { return m_slots[slot].newest; }
    void Remove(size_t slot) {
        size_t hole = slot;
        m_slots[hole].newest = -1;
        --m_count;
        // Moves back every later entry of the run whose home does not lie after the hole, so that
        // probing may stop at the first empty slot.
        for (size_t at = Next(hole); m_slots[at].newest >= 0; at = Next(at)) {
            const size_t home = Home(m_slots[at].key);
            const bool mustMove = hole <= at ? home <= hole || home > at : home <= hole && home > at;
            if (!mustMove)
                continue;
            m_slots[hole] = m_slots[at];
            m_slots[at].newest = -1;
            hole = at;
        }
    }
    void Clear() {
        for (Slot& slot : m_slots)
            slot.newest = -1;
        m_count = 0;
    }
    size_t Size() const { return m_count; }
    // Visits the newest request of every key, in no particular order.
    template <typename Visit>
    void ForEach(Visit visit) const {
        for (const Slot& slot : m_slots)
            if (slot.newest >= 0)
                visit(slot.newest);
    }

private:
    struct Slot {
        Key key;
        int32_t newest = -1; // -1: empty
    };

    // Consecutive sequence numbers must land apart, or runs grow and every removal walks them: the
    // words are folded into one and every bit of it stirred into the low ones the table uses.
    size_t Home(const Key& key) const {
        uint64_t h = key.connection * 0x9E3779B97F4A7C15ull ^ (uint64_t(key.sequence[0]) << 16 | key.family) ^
                     (uint64_t(key.sequence[1]) << 32 | key.sequence[2]);
        h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
        h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
        return size_t(h ^ (h >> 31)) & (m_slots.size() - 1);
    }
    size_t Next(size_t at) const { return (at + 1) & (m_slots.size() - 1); }
    void Grow() {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        m_count = 0;
        for (const Slot& slot : old)
            if (slot.newest >= 0)
                m_slots[Add(slot.key)].newest = slot.newest;
    }

    std::vector<Slot> m_slots; // a power of two in size, at most a quarter full
    size_t m_count = 0;
};
