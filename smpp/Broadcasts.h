// The broadcasts SMPP 5.0 ESMEs ask for: what a broadcast_sm must carry, and each broadcast kept for
// query_broadcast_sm and cancel_broadcast_sm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace smpp {

// One broadcast as the server keeps it: the areas it was asked for (each broadcast_area_identifier's value, as
// sent) and its state.
struct Broadcast {
    std::vector<std::string> areas;
    uint8_t state = 0;
};

// Reads a broadcast_sm body: its mandatory fields, then its optional parameters, of which
// broadcast_area_identifier (one or more), broadcast_content_type, broadcast_rep_num (1, 2 or 3 octets) and
// broadcast_frequency_interval must be there. Returns ESME_ROK and fills areas, or the status that refuses
// it: ESME_RINVCMDLEN for a body cut inside its mandatory fields, ESME_RINVTLVSTREAM for a parameter cut
// short, ESME_RMISSINGTLV for a missing one, and the broadcast statuses (0x107-0x112) for a bad value.
// Reads only the octets given.
uint32_t ReadBroadcast(const uint8_t* body, int32_t length, std::vector<std::string>* areas);

// The broadcasts accepted, by message id, up to kMaxKept: the oldest is forgotten first. UI thread.
class CBroadcasts {
public:
    static constexpr std::size_t kMaxKept = 10000;
    // What the areas of one broadcast may take in all, so that its query's answer fits the answer buffer.
    static constexpr std::size_t kMaxAreaOctets = 800;

    void Add(std::string_view messageId, std::vector<std::string> areas);
    // nullptr for an id no broadcast has, or one forgotten.
    const Broadcast* Find(std::string_view messageId) const;
    // Ends a broadcast still running; false for one unknown or ended already.
    bool Cancel(std::string_view messageId);

private:
    std::unordered_map<std::string, Broadcast> m_kept;
    std::deque<std::string> m_order; // oldest first
};

} // namespace smpp
