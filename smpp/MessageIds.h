// The ids the SMPP server gives: the message id of each submit it answers, and the id of the
// delivery series under which each deliver_sm or data_sm it starts is kept for query_sm.
#pragma once

#include "wire/Writer.h"

#include <array>
#include <cstdint>

namespace smpp {

// Writes the message id text ("%06d" of the signed 16-bit value: 000042, -00001, -32768) and
// its NUL into out, which holds at least 8 octets. Returns the number of characters.
int FormatMessageId(int16_t id, char* out);

class CMessageIds {
public:
    // Writes the next message id and its NUL.
    void Take(wire::Writer& out);
    // The next id of the delivery series: "D" and six digits, NUL-terminated.
    void IssueDelivery(std::array<char, 8>& id);

    // The value the next submit takes; 0 at start.
    void SetNext(int16_t id) { m_next = id; }
    int16_t Next() const { return m_next; }

private:
    int16_t TakeNext();

    int16_t m_next = 0;
    uint32_t m_nextDelivery = 0;
};

} // namespace smpp
