// The window of PDUs the server started on one connection, their tries, and the one timer they share.
#include "smpp/Outbox.h"

#include "engine/Scheduler.h"

#include <algorithm>
#include <iterator>

namespace {

// The answers that say the ESME is there but cannot take the message now.
constexpr uint32_t kRetriedStatuses[] = {
    0x00000014, // ESME_RMSGQFUL
    0x00000058, // ESME_RTHROTTLED
    0x00000064, // ESME_RX_T_APPN
};

bool Retried(uint32_t status) {
    return std::find(std::begin(kRetriedStatuses), std::end(kRetriedStatuses), status) != std::end(kRetriedStatuses);
}

// backoffMs before the second try, doubled before each one after it, kept within a timer's reach.
int64_t BackOff(int64_t backoffMs, int triesMade) {
    const int64_t delay = std::max<int64_t>(backoffMs, 0) << std::clamp(triesMade - 1, 0, 31);
    return std::min<int64_t>(delay, INT32_MAX);
}

constexpr std::size_t kSpareBuffers = 64;
constexpr std::size_t kSequenceOffset = 12;

void WriteSequence(std::vector<uint8_t>& pdu, uint32_t sequence) {
    if (pdu.size() < kSequenceOffset + 4)
        return;
    for (int i = 0; i < 4; ++i)
        pdu[kSequenceOffset + std::size_t(i)] = uint8_t(sequence >> (24 - 8 * i));
}

} // namespace

COutbox::COutbox(CScheduler& scheduler, Link& link) : m_scheduler(scheduler), m_link(link) {}

void COutbox::SetWindow(std::size_t window) {
    m_window = std::clamp<std::size_t>(window, 1, kMaxWindow);
    Pump();
}

std::size_t COutbox::Room() const {
    return m_waiting.empty() && m_unanswered.size() < m_window ? m_window - m_unanswered.size() : 0;
}

std::vector<uint8_t> COutbox::TakeBuffer() {
    if (m_spare.empty())
        return {};
    std::vector<uint8_t> buffer = std::move(m_spare.back());
    m_spare.pop_back();
    buffer.clear();
    return buffer;
}

void COutbox::Recycle(OutboxItem& item) {
    if (item.pdu.capacity() > 0 && m_spare.size() < kSpareBuffers)
        m_spare.push_back(std::move(item.pdu));
}

uint32_t COutbox::TakeSequence() {
    const uint32_t sequence = m_nextSequence;
    m_nextSequence = sequence >= kMaxSequence ? 1 : sequence + 1;
    return sequence;
}

uint32_t COutbox::Post(OutboxItem item) {
    item.sequence = TakeSequence();
    item.tryNumber = 1;
    item.backingOff = false;
    const uint32_t sequence = item.sequence;
    if (m_waiting.empty() && m_unanswered.size() < m_window) {
        Launch(std::move(item)); // room, and nothing before it: straight out
        return sequence;
    }
    if (m_waiting.size() >= kMaxWaiting) {
        // The oldest waiting goes: the newest news is what a receiver that has fallen this far
        // behind is least likely to have had in another way.
        OutboxItem forgotten = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_link.Told(forgotten, {OutboxEvent::Kind::Undeliverable, OutboxEvent::Why::Forgotten, std::nullopt, 0});
        Recycle(forgotten);
    }
    m_waiting.push_back(std::move(item));
    Pump();
    return sequence;
}

void COutbox::Pump() {
    while (!m_waiting.empty() && m_unanswered.size() < m_window) {
        OutboxItem item = std::move(m_waiting.front());
        m_waiting.pop_front();
        Launch(std::move(item));
    }
}

void COutbox::Launch(OutboxItem&& item) {
    if (!SendTry(item))
        return;
    if (!item.answered) {
        Recycle(item);
        return;
    }
    const int64_t due = item.dueMs;
    m_unanswered.push_back(std::move(item));
    Arm(due);
}

bool COutbox::SendTry(OutboxItem& item) {
    WriteSequence(item.pdu, item.sequence);
    item.dueMs = m_scheduler.NowMs() + std::max<int64_t>(m_timing.timeoutMs, 1);
    if (!m_link.Transmit(item)) {
        m_link.Told(item, {OutboxEvent::Kind::Undeliverable, OutboxEvent::Why::Closed, std::nullopt, 0});
        Recycle(item);
        return false;
    }
    m_link.Told(item, {OutboxEvent::Kind::Sent, OutboxEvent::Why::Answer, std::nullopt, 0});
    return true;
}

bool COutbox::Settle(uint32_t sequence, uint32_t status) {
    // Answers mostly come in sending order, so the oldest is looked at first.
    for (std::size_t at = 0; at < m_unanswered.size(); ++at) {
        const OutboxItem& item = m_unanswered[at];
        if (item.sequence == sequence && !item.backingOff) {
            Conclude(at, status);
            return true;
        }
    }
    return false;
}

void COutbox::Conclude(std::size_t at, std::optional<uint32_t> status) {
    using Kind = OutboxEvent::Kind;
    OutboxItem& item = m_unanswered[at];
    const OutboxEvent::Why why = status ? OutboxEvent::Why::Answer : OutboxEvent::Why::Silence;
    Kind kind = Kind::Undeliverable;
    if (item.origin != OutboxOrigin::Message)
        kind = status ? Kind::Delivered : Kind::Undeliverable;
    else if (status == 0u)
        kind = Kind::Delivered;
    else if ((!status || Retried(*status)) && item.tryNumber < item.tries)
        kind = Kind::Again;

    if (kind == Kind::Again) {
        // It keeps its place in the window, so that what waits behind it does not overtake it.
        const int64_t delay = BackOff(m_timing.backoffMs, item.tryNumber);
        item.backingOff = true;
        item.dueMs = m_scheduler.NowMs() + delay;
        m_link.Told(item, {kind, why, status, delay});
        Arm(item.dueMs);
        return;
    }
    OutboxItem ended = std::move(item);
    m_unanswered.erase(m_unanswered.begin() + std::ptrdiff_t(at));
    // Its buffer first: whoever hears of the end may post the next PDU at once.
    Recycle(ended);
    m_link.Told(ended, {kind, why, status, 0});
    Pump();
}

void COutbox::Close() {
    std::deque<OutboxItem> unanswered, waiting;
    unanswered.swap(m_unanswered);
    waiting.swap(m_waiting);
    ++m_armRun;
    m_armedDueMs = -1;
    for (std::deque<OutboxItem>* items : {&unanswered, &waiting}) {
        for (OutboxItem& item : *items)
            m_link.Told(item, {OutboxEvent::Kind::Undeliverable, OutboxEvent::Why::Closed, std::nullopt, 0});
    }
}

void COutbox::Arm(int64_t dueMs) {
    if (m_armedDueMs >= 0 && dueMs >= m_armedDueMs)
        return;
    m_armedDueMs = dueMs;
    const uint64_t run = ++m_armRun;
    m_scheduler.After(dueMs - m_scheduler.NowMs(), &m_timerContext, [this, run] {
        if (run != m_armRun)
            return; // an earlier deadline took its place
        m_armedDueMs = -1;
        Expire();
    });
}

void COutbox::Expire() {
    const int64_t now = m_scheduler.NowMs();
    for (std::size_t at = 0; at < m_unanswered.size();) {
        OutboxItem& item = m_unanswered[at];
        if (item.dueMs > now) {
            ++at;
            continue;
        }
        if (!item.backingOff) {
            const std::size_t before = m_unanswered.size();
            Conclude(at, std::nullopt);
            at += m_unanswered.size() == before ? 1 : 0; // ended ones leave, and the next takes their place
            continue;
        }
        item.backingOff = false;
        ++item.tryNumber;
        item.sequence = TakeSequence();
        if (SendTry(item)) {
            ++at;
            continue;
        }
        m_unanswered.erase(m_unanswered.begin() + std::ptrdiff_t(at));
    }
    int64_t earliest = -1;
    for (const OutboxItem& item : m_unanswered)
        earliest = earliest < 0 ? item.dueMs : std::min(earliest, item.dueMs);
    if (earliest >= 0)
        Arm(earliest);
    Pump();
}
