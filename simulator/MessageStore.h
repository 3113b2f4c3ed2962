// The messages the simulated SMSC remembers while delivery receipts are on, so that query_sm can
// tell their real state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// SMPP message_state values the store uses.
enum class MessageState : uint8_t { Enroute = 1, Delivered = 2, Undeliverable = 5 };

struct StoredMessage {
    std::string messageId;
    int64_t submitTime = 0; // seconds since 1970
    int64_t finalTime = 0;  // 0 while not final
    MessageState state = MessageState::Enroute;
    uint8_t errorCode = 0;
    uint64_t handle = 0;    // 0: an empty slot
};

// A ring of the newest kCapacity messages, found by message id or by the handle Add returned;
// adding to a full ring forgets the oldest, and a message id added again replaces its earlier
// message. UI thread only.
class CMessageStore {
public:
    static constexpr std::size_t kCapacity = 65536;

    explicit CMessageStore(std::size_t capacity = kCapacity);

    // Stores an en-route message and returns its handle (never 0).
    uint64_t Add(const std::string& messageId, int64_t submitTime);
    // Null when the message is not (or no longer) held.
    StoredMessage* Find(std::string_view messageId);
    StoredMessage* FindHandle(uint64_t handle);
    std::size_t Size() const { return m_index.size(); }

private:
    std::vector<StoredMessage> m_slots; // allocated at the first Add
    std::unordered_map<std::string, std::size_t> m_index;
    std::size_t m_capacity;
    uint64_t m_lastHandle = 0;
};
