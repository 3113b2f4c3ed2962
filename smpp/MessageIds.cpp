// The SMPP server's id counters.
#include "smpp/MessageIds.h"

#include <string_view>

int smpp::FormatMessageId(int16_t id, char* out) {
    // "%06d" by hand: this runs for every submit on the hot path. A 16-bit value has at most five
    // digits, so the text is always six characters: a sign and five digits, or six digits.
    unsigned value = id < 0 ? unsigned(-int(id)) : unsigned(id);
    out[0] = id < 0 ? '-' : '0';
    for (int at = 5; at >= 1; --at, value /= 10)
        out[at] = static_cast<char>('0' + value % 10);
    out[6] = '\0';
    return 6;
}

namespace smpp {

int16_t CMessageIds::TakeNext() {
    // The counter is 16-bit signed by design: 32767 is followed by -32768.
    const int16_t id = m_next;
    m_next = static_cast<int16_t>(static_cast<uint16_t>(id) + 1u);
    return id;
}

void CMessageIds::Take(wire::Writer& out) {
    char text[8];
    const int length = FormatMessageId(TakeNext(), text);
    out.CString(std::string_view(text, size_t(length)));
}

void CMessageIds::IssueDelivery(std::array<char, 8>& id) {
    // A series of its own, so the ids ESMEs are given for their submits stay consecutive; the "D"
    // keeps the two apart where query_sm looks either up.
    unsigned value = unsigned(m_nextDelivery++ % 1000000u);
    id[0] = 'D';
    for (int at = 6; at >= 1; --at, value /= 10)
        id[size_t(at)] = char('0' + value % 10);
    id[7] = '\0';
}

} // namespace smpp
