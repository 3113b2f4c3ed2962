// Requests paired with their answers.
#include "analysis/PacketPairs.h"

#include "decoder/Protocols.h"
#include "decoder/tables/TableIds.h"
#include "protocol/PduHeader.h"
#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"
#include "protocol/SmppStatus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>

namespace {

int64_t SystemClock() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

constexpr uint8_t kStatusUnread = 0;
constexpr uint8_t kStatusNone = 1;
constexpr uint8_t kStatusRead = 2;

bool IsResponseStatusField(int32_t id) {
    return std::find(std::begin(decode_ids::kResponseStatusFields), std::end(decode_ids::kResponseStatusFields), id) !=
           std::end(decode_ids::kResponseStatusFields);
}

} // namespace

CPacketPairs::CPacketPairs(CPacketLog& log, const CPacketDecoder& decoder)
    : m_log(log), m_decoder(decoder), m_clock(SystemClock) {
    // As many as the log can hold: every record takes at least its capture header.
    m_entries.reserve(CPacketLog::kAreaSize / CPacketLog::kHeaderSize);
    m_log.AddListener(this);
    OnPacketsAdded(0, m_log.GetCount());
}

CPacketPairs::~CPacketPairs() { m_log.RemoveListener(this); }

void CPacketPairs::OnLogReset() {
    m_entries.clear();
    m_waiting.Clear();
}

void CPacketPairs::OnPacketsAdded(int32_t first, int32_t count) {
    if (first < 0 || count <= 0)
        return;
    // One at a time, as the log stores them: appended, never a resize per record.
    for (const size_t end = size_t(first) + size_t(count); m_entries.size() < end;)
        m_entries.emplace_back();
    for (int32_t index = first; index < first + count; ++index)
        Add(index);
}

// Reads the record's summary only: the servers capture far more PDUs than anyone looks at.
void CPacketPairs::Add(int32_t index) {
    const PacketSummary& summary = m_log.SummaryAt(index);
    Entry& entry = m_entries[static_cast<size_t>(index)];
    entry = Entry{};
    if (!summary.Has(PacketSummary::kHasCommand | PacketSummary::kHasSequence))
        return;
    entry.smpp = summary.family == protocol::kSmpp;
    const uint32_t id = summary.command;
    if (summary.IsResponse()) {
        entry.role = Role::Response;
        entry.answerId = id;
    } else {
        // A request is one its protocol names an answer for; alert_notification and outbind have none.
        // A command SMPP does not have is answered all the same, with generic_nack.
        const uint32_t answer = protocol::ResponseIdOf(id);
        const ProtocolInfo* info = entry.smpp ? nullptr : protocols::Find(summary.protocol);
        const bool named = entry.smpp ? protocol::smpp::IndexOf(answer) >= 0 || protocol::smpp::IndexOf(id) < 0
                                      : info && m_decoder.Names().HasCodeName(info->commandTable, answer);
        if (!named)
            return;
        entry.role = Role::Request;
        entry.answerId = answer;
    }
    if (summary.connection == 0)
        return;
    const CWaitingRequests::Key key{summary.connection, summary.sequence, summary.family};
    if (entry.role == Role::Request) {
        int32_t& newest = m_waiting.Newest(m_waiting.Add(key));
        entry.olderWaiting = newest;
        newest = index;
        return;
    }
    const size_t slot = m_waiting.Find(key);
    if (slot == CWaitingRequests::kNone)
        return;
    // The newest waiting request it answers: a sequence number reused names the latest request.
    int32_t newer = -1;
    for (int32_t request = m_waiting.Newest(slot); request >= 0;
         newer = request, request = m_entries[static_cast<size_t>(request)].olderWaiting) {
        if (!Answers(request, index))
            continue;
        Entry& asked = m_entries[static_cast<size_t>(request)];
        asked.partner = index;
        entry.partner = request;
        if (newer >= 0)
            m_entries[static_cast<size_t>(newer)].olderWaiting = asked.olderWaiting;
        else if (asked.olderWaiting >= 0)
            m_waiting.Newest(slot) = asked.olderWaiting;
        else
            m_waiting.Remove(slot);
        asked.olderWaiting = -1;
        return;
    }
}

// Whether a response (same key) answers a waiting request: the answer it expects, or an SMPP
// generic_nack; and from the other end when both ends are known (each end numbers its own requests).
bool CPacketPairs::Answers(int32_t request, int32_t response) const {
    const Entry& asked = m_entries[static_cast<size_t>(request)];
    const Entry& answer = m_entries[static_cast<size_t>(response)];
    if (answer.answerId != asked.answerId && !(answer.smpp && answer.answerId == protocol::smpp::kGenericNack))
        return false;
    const PacketPeer from = m_log.SummaryAt(request).source, to = m_log.SummaryAt(response).source;
    return from == PacketPeer{} || to == PacketPeer{} || from != to;
}

CPacketPairs::Role CPacketPairs::RoleOf(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < m_entries.size() ? m_entries[static_cast<size_t>(index)].role
                                                                        : Role::Other;
}

int32_t CPacketPairs::PartnerOf(int32_t index) const {
    return RoleOf(index) == Role::Other ? -1 : m_entries[static_cast<size_t>(index)].partner;
}

std::optional<uint32_t> CPacketPairs::SequenceOf(int32_t index) const {
    const PacketSummary& summary = m_log.SummaryAt(index);
    return summary.Has(PacketSummary::kHasSequence) ? std::optional<uint32_t>(summary.ShownSequence()) : std::nullopt;
}

const CPacketPairs::Entry& CPacketPairs::StatusEntry(int32_t response) const {
    const Entry& entry = m_entries[static_cast<size_t>(response)];
    if (entry.statusState != kStatusUnread)
        return entry;
    entry.statusState = kStatusNone;
    const PacketSummary& summary = m_log.SummaryAt(response);
    const protocol::Protocol& known = *protocol::Find(summary.protocol);
    if (known.statusOffset != 0 || known.framing != protocol::Framing::LengthPrefixed) {
        entry.status = summary.status;
        entry.statusState = summary.Has(PacketSummary::kHasStatus) ? kStatusRead : kStatusNone;
        return entry;
    }
    // The status of a gateway answer is a field of its body: the decode finds it.
    StatusField(response);
    return entry;
}

// The descriptor of the field a response's status is shown by, from a decode of it; its value is
// read on the way when the header holds none.
int32_t CPacketPairs::StatusField(int32_t response) const {
    const Entry& entry = m_entries[static_cast<size_t>(response)];
    if (entry.statusField != -2)
        return entry.statusField;
    entry.statusField = -1;
    uint32_t length = 0;
    const uint8_t* record = m_log.PacketAt(response, &length);
    m_decoder.Decode(record, static_cast<int32_t>(length));
    for (const DecodeLine& line : m_decoder.Lines()) {
        if (line.isGroup || !IsResponseStatusField(line.id))
            continue;
        // An error line carries the id of the field it stands for, but no value.
        if (line.type != FieldType::Number)
            break;
        entry.statusField = line.id;
        if (entry.statusState != kStatusRead) {
            entry.status = static_cast<uint32_t>(line.number);
            entry.statusState = kStatusRead;
        }
        break;
    }
    return entry.statusField;
}

std::optional<uint32_t> CPacketPairs::StatusOf(int32_t index) const {
    const Role role = RoleOf(index);
    const int32_t response = role == Role::Response ? index : role == Role::Request ? PartnerOf(index) : -1;
    if (response < 0)
        return std::nullopt;
    const Entry& entry = StatusEntry(response);
    return entry.statusState == kStatusRead ? std::optional<uint32_t>(entry.status) : std::nullopt;
}

std::string CPacketPairs::StatusText(int32_t index) const {
    if (IsUnanswered(index))
        return "no answer";
    const std::optional<uint32_t> status = StatusOf(index);
    if (!status || *status == 0)
        return {};
    const int32_t response = RoleOf(index) == Role::Response ? index : PartnerOf(index);
    if (m_entries[static_cast<size_t>(response)].smpp) {
        const std::string_view name = protocol::smpp::StatusName(*status);
        if (!name.empty())
            return std::string(name);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", *status);
        return hex;
    }
    const int32_t field = StatusField(response);
    std::string name = field < 0 ? std::string() : m_decoder.OwnValueName(field, static_cast<int32_t>(*status));
    return name.empty() ? std::to_string(*status) : name;
}

std::optional<int64_t> CPacketPairs::LatencyUs(int32_t index) const {
    const int32_t partner = PartnerOf(index);
    if (partner < 0)
        return std::nullopt;
    const int64_t request = m_log.SummaryAt(RoleOf(index) == Role::Request ? index : partner).timeUs;
    const int64_t response = m_log.SummaryAt(RoleOf(index) == Role::Request ? partner : index).timeUs;
    return response - request;
}

bool CPacketPairs::IsUnanswered(int32_t index) const {
    if (RoleOf(index) != Role::Request || PartnerOf(index) >= 0)
        return false;
    const PacketSummary& context = m_log.SummaryAt(index);
    return context.connection != 0 && m_clock() - context.timeUs >= m_unansweredUs;
}

bool CPacketPairs::IsError(int32_t index) const {
    const std::optional<uint32_t> status = StatusOf(index);
    return (status && *status != 0) || IsUnanswered(index);
}

void CPacketPairs::WaitingRequests(std::vector<int32_t>& out) const {
    m_waiting.ForEach([&](int32_t newest) {
        for (int32_t request = newest; request >= 0; request = m_entries[static_cast<size_t>(request)].olderWaiting)
            out.push_back(request);
    });
}
