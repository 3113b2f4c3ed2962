// The messages the simulated SMSC remembers while delivery receipts are on, so that query_sm can
// tell their real state.
#pragma once

#include "smpp/SubmittedMessage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// SMPP message_state values.
enum class MessageState : uint8_t {
    Enroute = 1, Delivered = 2, Expired = 3, Deleted = 4, Undeliverable = 5, Accepted = 6, Unknown = 7, Rejected = 8
};

// The state as a receipt's "stat:" names it ("DELIVRD", "UNDELIV"); "UNKNOWN" for a value SMPP has not.
std::string_view MessageStateText(MessageState state);
// The state a "stat:" text names; nothing for a text no state has.
std::optional<MessageState> MessageStateOf(std::string_view text);

// Where a message's receipt goes and what its text quotes.
struct ReceiptRoute {
    uint64_t connectionId = 0;    // the submitter's connection
    std::string systemId;         // the submitter's, for a receiver bound under the same id
    smpp::SmeAddress submitter;   // the receipt's destination
    smpp::SmeAddress destination; // the receipt's source
    std::string text;             // the first 20 characters of the message
    uint8_t request = 0;          // registered_delivery's receipt bits: 1 any outcome, 2 failure only
};

struct StoredMessage {
    std::string messageId;
    int64_t submitTime = 0; // seconds since 1970
    int64_t finalTime = 0;  // 0 while not final
    MessageState state = MessageState::Enroute;
    uint8_t errorCode = 0;
    uint64_t handle = 0;    // 0: an empty slot
    ReceiptRoute route;
    bool receiptSent = false; // sent on demand: the one the delay schedules stays unsent
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
    // Forgets every message; handles already given out find nothing.
    void Clear();

private:
    std::vector<StoredMessage> m_slots; // allocated at the first Add
    std::unordered_map<std::string, std::size_t> m_index;
    std::size_t m_capacity;
    uint64_t m_lastHandle = 0;
};
