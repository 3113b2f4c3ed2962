// Reading broadcast_sm bodies, and the broadcasts kept for their queries and cancels.
#include "smpp/Broadcasts.h"

#include "protocol/SmppFields.h"
#include "protocol/SmppValues.h"
#include "smpp/SmppPdu.h"

#include <algorithm>
#include <span>

namespace smpp {

namespace {

// The statuses a broadcast_sm is refused with.
constexpr uint32_t kStatusTlvStream = 0x000000C0;        // ESME_RINVTLVSTREAM
constexpr uint32_t kStatusMissingTlv = 0x000000C3;       // ESME_RMISSINGTLV
constexpr uint32_t kStatusFrequencyInterval = 0x00000107; // ESME_RINVBCASTFREQINT
constexpr uint32_t kStatusAreaFormat = 0x00000109;       // ESME_RINVBCASTAREAFMT
constexpr uint32_t kStatusNumberOfAreas = 0x0000010A;    // ESME_RINVNUMBCAST_AREAS
constexpr uint32_t kStatusContentType = 0x0000010B;      // ESME_RINVBCASTCNTTYPE
constexpr uint32_t kStatusMessageClass = 0x0000010C;     // ESME_RINVBCASTMSGCLASS
constexpr uint32_t kStatusRepetitions = 0x00000110;      // ESME_RINVBCAST_REP
constexpr uint32_t kStatusChannel = 0x00000112;          // ESME_RINVBCASTCHANIND

// Values SMPP 5.0 defines: the area formats (alias, ellipsoid arc, polygon), the networks a content type
// belongs to (generic, GSM, TDMA, CDMA), the units of a frequency interval (as often as possible, or seconds
// to years), the channels and the message classes.
constexpr uint8_t kLastAreaFormat = 0x02;
constexpr uint8_t kLastContentNetwork = 0x03;
constexpr bool IsIntervalUnit(uint8_t unit) { return unit == 0x00 || (unit >= 0x08 && unit <= 0x0E); }
constexpr uint8_t kLastChannel = 0x01;
constexpr uint8_t kLastMessageClass = 0x03;

// The four parameters a broadcast_sm must carry, one bit each.
enum Mandatory : uint8_t { kArea = 1, kContentType = 2, kRepetitions = 4, kInterval = 8, kAll = 15 };

// The status one optional parameter's value earns, and which mandatory one it was.
uint32_t CheckParameter(uint16_t tag, std::span<const uint8_t> value, uint8_t* seen) {
    const std::size_t n = value.size();
    switch (tag) {
    case kTagBroadcastAreaIdentifier:
        *seen |= kArea;
        return n >= 1 && value[0] <= kLastAreaFormat ? kStatusOk : kStatusAreaFormat;
    case kTagBroadcastContentType:
        *seen |= kContentType;
        return n == 3 && value[0] <= kLastContentNetwork ? kStatusOk : kStatusContentType;
    case kTagBroadcastRepNum: // SMPP 5.0 makes it two octets; ESMEs send one or three as well
        *seen |= kRepetitions;
        return n >= 1 && n <= 3 ? kStatusOk : kStatusRepetitions;
    case kTagBroadcastFrequencyInterval:
        *seen |= kInterval;
        return n == 3 && IsIntervalUnit(value[0]) ? kStatusOk : kStatusFrequencyInterval;
    case kTagBroadcastChannelIndicator:
        return n == 1 && value[0] <= kLastChannel ? kStatusOk : kStatusChannel;
    case kTagBroadcastMessageClass:
        return n == 1 && value[0] <= kLastMessageClass ? kStatusOk : kStatusMessageClass;
    default:
        return kStatusOk;
    }
}

} // namespace

uint32_t ReadBroadcast(const uint8_t* body, int32_t length, std::vector<std::string>* areas) {
    areas->clear();
    wire::Cursor in(body, length > 0 ? std::size_t(length) : 0);
    in.CString(kServiceTypeOctets);
    in.U8(), in.U8(), in.CString(kShortAddressOctets); // the source address
    in.CString(kMessageIdOctets);
    in.U8(); // priority_flag
    in.CString(kTimeOctets), in.CString(kTimeOctets);
    in.U8(), in.U8(), in.U8(); // replace_if_present_flag, data_coding, sm_default_msg_id
    if (!in.Ok())
        return kStatusInvalidCommandLength;
    uint8_t seen = 0;
    std::size_t areaOctets = 0;
    while (in.Remaining() > 0) {
        const uint16_t tag = in.U16();
        const std::span<const uint8_t> value = in.Bytes(in.U16());
        if (!in.Ok())
            return kStatusTlvStream;
        if (const uint32_t status = CheckParameter(tag, value, &seen); status != kStatusOk)
            return status;
        if (tag != kTagBroadcastAreaIdentifier)
            continue;
        // Each area is answered again with its success rate: the lot must fit one answer.
        areaOctets += 4 + value.size() + 5;
        if (areaOctets > CBroadcasts::kMaxAreaOctets)
            return kStatusNumberOfAreas;
        areas->emplace_back(reinterpret_cast<const char*>(value.data()), value.size());
    }
    return seen == kAll ? kStatusOk : kStatusMissingTlv;
}

void CBroadcasts::Add(std::string_view messageId, std::vector<std::string> areas) {
    std::string id(messageId);
    if (m_kept.find(id) == m_kept.end()) {
        if (m_order.size() >= kMaxKept) {
            m_kept.erase(m_order.front());
            m_order.pop_front();
        }
        m_order.push_back(id);
    }
    m_kept[std::move(id)] = Broadcast{std::move(areas), protocol::smpp::message_state::kEnroute};
}

const Broadcast* CBroadcasts::Find(std::string_view messageId) const {
    const auto found = m_kept.find(std::string(messageId));
    return found == m_kept.end() ? nullptr : &found->second;
}

bool CBroadcasts::Cancel(std::string_view messageId) {
    const auto found = m_kept.find(std::string(messageId));
    if (found == m_kept.end() || found->second.state != protocol::smpp::message_state::kEnroute)
        return false;
    found->second.state = protocol::smpp::message_state::kDeleted;
    return true;
}

} // namespace smpp
