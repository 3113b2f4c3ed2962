// The messages the simulated SMSC remembers, so that query_sm can tell their real state and their
// receipts know where to go.
#pragma once

#include "protocol/SmppValues.h"
#include "smpp/SubmittedMessage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// SMPP message_state values.
namespace message_states = protocol::smpp::message_state;
enum class MessageState : uint8_t {
    Scheduled = message_states::kScheduled, Enroute = message_states::kEnroute,
    Delivered = message_states::kDelivered, Expired = message_states::kExpired, Deleted = message_states::kDeleted, Undeliverable = message_states::kUndeliverable,
    Accepted = message_states::kAccepted, Unknown = message_states::kUnknown, Rejected = message_states::kRejected,
    Skipped = message_states::kSkipped
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
    std::string text;             // the message's first 20 characters, whole, as octets of its data_coding
    uint8_t request = 0;          // registered_delivery's receipt bits: 1 any outcome, 2 failure only
};

// The ids the server gives: "%06d" of the signed 16-bit submit counter, and "D%06u" of the delivery
// series. Each is a number below kMessageKeys: the submit's value + 32768, or 65536 + the delivery
// number; nothing for any other text (an id is only ever written one way).
constexpr uint32_t kSubmitKeys = 65536, kMessageKeys = kSubmitKeys + 1'000'000;
std::optional<uint32_t> MessageKeyOf(std::string_view messageId);
std::string MessageIdOf(uint32_t key);

// One remembered message, in 32 octets: what query_sm and the receipt's timing need. Where its
// receipt goes and what it quotes is kept apart, by the id's number, and only for the submit
// series: the delivery series is never routed back, and the submit counter's 65,536 ids bound the
// routes however many messages the ring remembers.
struct StoredMessage {
    uint64_t handle = 0;    // 0: an empty slot
    int64_t submitTime = 0; // seconds since 1970
    int64_t finalTime = 0;  // 0 while not final
    uint32_t key = 0;
    MessageState state = MessageState::Enroute;
    uint8_t errorCode = 0;
    uint8_t request = 0;           // registered_delivery's receipt bits, from the route
    bool receiptSent : 1 = false;  // sent on demand: the one the delay schedules stays unsent
    bool routed : 1 = false;       // a route was kept for this message, not for an earlier one of its id

    std::string MessageId() const { return MessageIdOf(key); }
};
static_assert(sizeof(StoredMessage) <= 32, "a million remembered messages fit in the memory a run may take");

// A submitted message's route, kept in place and cut to the SMPP maximums so that keeping it
// allocates nothing. The text holds a receipt's 20 characters whole at four octets each (a UCS-2
// surrogate pair, the longest UTF-8 sequence).
struct StoredRoute {
    static constexpr std::size_t kSystemIdOctets = 16, kAddressOctets = 21, kTextOctets = 80;
    struct Address {
        uint8_t ton = 0, npi = 0;
        std::array<char, kAddressOctets> addr{};
    };

    uint64_t connectionId = 0;
    std::array<char, kSystemIdOctets> systemId{};
    Address submitter, destination;
    uint8_t textOctets = 0;
    std::array<uint8_t, kTextOctets> text{};
};

// A ring of the newest `capacity` messages, found by message id or by the handle Add returned, in
// constant time and without a hash: the id's number is an index. Adding to a full ring forgets the
// oldest, and a message id added again replaces its earlier message; an id forgotten to make room
// is known as forgotten until it is added again. Slots are allocated in blocks as the ring first
// fills. UI thread only.
class CMessageStore {
public:
    static constexpr std::size_t kDefaultCapacity = 1'000'000;

    explicit CMessageStore(std::size_t capacity = kDefaultCapacity);

    // Forgets every message and keeps at most capacity (at least 1) from now on.
    void SetCapacity(std::size_t capacity);
    std::size_t Capacity() const { return m_capacity; }
    // Stores an en-route message and returns its handle (never 0); 0, and nothing stored, for an
    // id the server never gives.
    uint64_t Add(std::string_view messageId, int64_t submitTime);
    // Null when the message is not (or no longer) held.
    StoredMessage* Find(std::string_view messageId);
    StoredMessage* FindHandle(uint64_t handle);
    // Keeps where the message's receipt goes, each part cut to what it may hold; false, and nothing
    // kept, for a message of the delivery series.
    bool SetRoute(StoredMessage& message, const ReceiptRoute& route);
    // The route SetRoute kept for this message; an empty one when none was. ReadRoute writes it over
    // a route of the caller's, whose buffers a receipt after receipt reuses.
    ReceiptRoute RouteOf(const StoredMessage& message) const;
    void ReadRoute(const StoredMessage& message, ReceiptRoute& into) const;
    // Whether the message was held and was forgotten to make room for newer ones.
    bool Forgot(std::string_view messageId) const;
    std::size_t Size() const { return m_size; }
    // Forgets every message, and that any was forgotten; handles already given out find nothing.
    void Clear();

private:
    static constexpr std::size_t kBlock = 4096;
    static constexpr uint32_t kNone = 0, kForgotten = UINT32_MAX; // in m_index; else a slot + 1
    StoredMessage& Slot(std::size_t at);

    std::vector<std::unique_ptr<StoredMessage[]>> m_blocks;
    std::vector<std::unique_ptr<StoredRoute[]>> m_routes; // by key of the submit series, in blocks
    std::vector<uint32_t> m_index; // by key; allocated at the first Add
    std::size_t m_capacity;
    std::size_t m_size = 0;
    std::size_t m_next = 0; // the slot the next message takes
    uint32_t m_lap = 1;     // of the ring, counted since the store was made; never 0, so no handle is
};
