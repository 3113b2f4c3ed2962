// The bounded ring of remembered messages.
#include "simulator/MessageStore.h"

#include "smpp/SmppServer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

std::string_view MessageStateText(MessageState state) {
    const std::string_view text = protocol::NameOf(protocol::smpp::kReceiptStates, uint32_t(state));
    return text.empty() ? std::string_view("UNKNOWN") : text;
}

std::optional<MessageState> MessageStateOf(std::string_view text) {
    const std::optional<uint8_t> state = protocol::smpp::ReceiptState(text);
    return state ? std::optional<MessageState>(MessageState(*state)) : std::nullopt;
}

std::optional<uint32_t> MessageKeyOf(std::string_view id) {
    // Only the exact text the server writes: "42" or "0000042" name no message of its.
    const bool delivery = !id.empty() && id[0] == 'D';
    const std::string_view digits = delivery ? id.substr(1) : id;
    if (digits.size() != 6 || (delivery && digits[0] == '-'))
        return std::nullopt;
    const bool negative = digits[0] == '-';
    int value = 0;
    for (std::size_t at = negative ? 1 : 0; at < digits.size(); ++at) {
        if (digits[at] < '0' || digits[at] > '9')
            return std::nullopt;
        value = value * 10 + (digits[at] - '0');
    }
    if (delivery)
        return kSubmitKeys + uint32_t(value);
    // "%06d" writes -1 as "-00001" and never "-00000".
    if (negative ? value < 1 || value > 32768 : value > 32767)
        return std::nullopt;
    return uint32_t((negative ? -value : value) + 32768);
}

std::string MessageIdOf(uint32_t key) {
    char text[16];
    if (key < kSubmitKeys)
        return std::string(text, std::size_t(smpp::FormatMessageId(int16_t(int(key) - 32768), text)));
    unsigned value = (key - kSubmitKeys) % 1000000u;
    text[0] = 'D';
    for (int at = 6; at >= 1; --at, value /= 10)
        text[at] = char('0' + value % 10);
    return std::string(text, 7);
}

namespace {

template <std::size_t N>
void Put(std::array<char, N>& out, const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), n, out.begin());
    out[n] = '\0';
}

StoredRoute::Address AddressOf(const smpp::SmeAddress& address) {
    StoredRoute::Address out;
    out.ton = address.ton;
    out.npi = address.npi;
    Put(out.addr, address.addr);
    return out;
}

void ReadAddress(const StoredRoute::Address& address, smpp::SmeAddress& into) {
    into.ton = address.ton;
    into.npi = address.npi;
    into.addr.assign(address.addr.data());
}

constexpr std::size_t kRouteBlock = 4096;

} // namespace

bool CMessageStore::SetRoute(StoredMessage& message, const ReceiptRoute& route) {
    if (message.key >= kSubmitKeys)
        return false;
    if (m_routes.empty())
        m_routes.resize(kSubmitKeys / kRouteBlock);
    std::unique_ptr<StoredRoute[]>& block = m_routes[message.key / kRouteBlock];
    if (!block)
        block = std::make_unique<StoredRoute[]>(kRouteBlock);
    StoredRoute& kept = block[message.key % kRouteBlock];
    kept.connectionId = route.connectionId;
    Put(kept.systemId, route.systemId);
    kept.submitter = AddressOf(route.submitter);
    kept.destination = AddressOf(route.destination);
    kept.textOctets = uint8_t(std::min(route.text.size(), StoredRoute::kTextOctets));
    std::copy_n(route.text.begin(), kept.textOctets, kept.text.begin());
    message.request = route.request;
    message.routed = true;
    return true;
}

ReceiptRoute CMessageStore::RouteOf(const StoredMessage& message) const {
    ReceiptRoute route;
    ReadRoute(message, route);
    return route;
}

void CMessageStore::ReadRoute(const StoredMessage& message, ReceiptRoute& into) const {
    if (!message.routed || message.key >= kSubmitKeys || m_routes.empty() || !m_routes[message.key / kRouteBlock]) {
        into = {};
        return;
    }
    const StoredRoute& kept = m_routes[message.key / kRouteBlock][message.key % kRouteBlock];
    into.connectionId = kept.connectionId;
    into.systemId.assign(kept.systemId.data());
    ReadAddress(kept.submitter, into.submitter);
    ReadAddress(kept.destination, into.destination);
    into.text.assign(kept.text.begin(), kept.text.begin() + kept.textOctets);
    into.request = message.request;
}

CMessageStore::CMessageStore(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {}

void CMessageStore::SetCapacity(std::size_t capacity) {
    Clear();
    m_blocks.clear();
    m_capacity = std::max<std::size_t>(capacity, 1);
}

StoredMessage& CMessageStore::Slot(std::size_t at) {
    std::unique_ptr<StoredMessage[]>& block = m_blocks[at / kBlock];
    if (!block)
        block = std::make_unique<StoredMessage[]>(std::min(kBlock, m_capacity - at / kBlock * kBlock));
    return block[at % kBlock];
}

uint64_t CMessageStore::Add(std::string_view messageId, int64_t submitTime) {
    const std::optional<uint32_t> key = MessageKeyOf(messageId);
    if (!key)
        return 0;
    if (m_index.empty()) {
        m_index.assign(kMessageKeys, kNone);
        m_blocks.resize((m_capacity + kBlock - 1) / kBlock);
    }
    // A handle names its slot and the lap of the ring it was given in, so that finding a message
    // by its handle takes no division and a handle from an earlier lap finds nothing.
    const std::size_t at = m_next;
    const uint64_t handle = uint64_t(m_lap) << 32 | at;
    if (++m_next == m_capacity) {
        m_next = 0;
        ++m_lap;
    }
    StoredMessage& slot = Slot(at);
    if (slot.handle != 0) {
        m_index[slot.key] = kForgotten;
        --m_size;
    }
    if (const uint32_t earlier = m_index[*key]; earlier != kNone && earlier != kForgotten) {
        Slot(earlier - 1) = StoredMessage{};
        --m_size;
    }
    slot = StoredMessage{};
    slot.handle = handle;
    slot.key = *key;
    slot.submitTime = submitTime;
    m_index[*key] = uint32_t(at + 1);
    ++m_size;
    return handle;
}

StoredMessage* CMessageStore::Find(std::string_view messageId) {
    const std::optional<uint32_t> key = MessageKeyOf(messageId);
    if (!key || m_index.empty())
        return nullptr;
    const uint32_t at = m_index[*key];
    return at == kNone || at == kForgotten ? nullptr : &Slot(at - 1);
}

StoredMessage* CMessageStore::FindHandle(uint64_t handle) {
    const std::size_t at = uint32_t(handle);
    if (handle == 0 || at >= m_capacity || m_index.empty() || !m_blocks[at / kBlock])
        return nullptr;
    StoredMessage& slot = m_blocks[at / kBlock][at % kBlock];
    return slot.handle == handle ? &slot : nullptr;
}

bool CMessageStore::Forgot(std::string_view messageId) const {
    const std::optional<uint32_t> key = MessageKeyOf(messageId);
    return key && !m_index.empty() && m_index[*key] == kForgotten;
}

void CMessageStore::Clear() {
    // The slots are given back; they are allocated again as the ring fills anew.
    for (std::unique_ptr<StoredMessage[]>& block : m_blocks)
        block.reset();
    m_routes.clear();
    m_next = 0;
    ++m_lap;
    m_index.clear();
    m_size = 0;
}
