// The bounded ring of remembered messages.
#include "simulator/MessageStore.h"

#include <algorithm>
#include <iterator>

namespace {

struct StateName {
    MessageState state;
    std::string_view text;
};

constexpr StateName kStateNames[] = {
    {MessageState::Enroute,       "ENROUTE"},
    {MessageState::Delivered,     "DELIVRD"},
    {MessageState::Expired,       "EXPIRED"},
    {MessageState::Deleted,       "DELETED"},
    {MessageState::Undeliverable, "UNDELIV"},
    {MessageState::Accepted,      "ACCEPTD"},
    {MessageState::Unknown,       "UNKNOWN"},
    {MessageState::Rejected,      "REJECTD"},
};

} // namespace

std::string_view MessageStateText(MessageState state) {
    const auto found = std::find_if(std::begin(kStateNames), std::end(kStateNames),
                                    [state](const StateName& row) { return row.state == state; });
    return found == std::end(kStateNames) ? std::string_view("UNKNOWN") : found->text;
}

std::optional<MessageState> MessageStateOf(std::string_view text) {
    const auto found = std::find_if(std::begin(kStateNames), std::end(kStateNames),
                                    [text](const StateName& row) { return row.text == text; });
    return found == std::end(kStateNames) ? std::nullopt : std::optional<MessageState>(found->state);
}

CMessageStore::CMessageStore(std::size_t capacity) : m_capacity(capacity == 0 ? 1 : capacity) {}

uint64_t CMessageStore::Add(const std::string& messageId, int64_t submitTime) {
    if (m_slots.empty())
        m_slots.resize(m_capacity);
    // Handles count up by one per message, so a handle names its slot as well.
    const uint64_t handle = ++m_lastHandle;
    StoredMessage& slot = m_slots[handle % m_capacity];
    if (slot.handle != 0)
        m_index.erase(slot.messageId);
    const auto earlier = m_index.find(messageId);
    if (earlier != m_index.end()) {
        m_slots[earlier->second] = StoredMessage{};
        m_index.erase(earlier);
    }
    slot = StoredMessage{messageId, submitTime, 0, MessageState::Enroute, 0, handle, {}, false};
    m_index.emplace(messageId, handle % m_capacity);
    return handle;
}

StoredMessage* CMessageStore::Find(std::string_view messageId) {
    const auto found = m_index.find(std::string(messageId));
    return found == m_index.end() ? nullptr : &m_slots[found->second];
}

StoredMessage* CMessageStore::FindHandle(uint64_t handle) {
    if (handle == 0 || m_slots.empty())
        return nullptr;
    StoredMessage& slot = m_slots[handle % m_capacity];
    return slot.handle == handle ? &slot : nullptr;
}

void CMessageStore::Clear() {
    std::fill(m_slots.begin(), m_slots.end(), StoredMessage{});
    m_index.clear();
}
