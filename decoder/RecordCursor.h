// The wire kit's cursor over a stretch of a captured record, whose lengths the decoder counts in signed octets.
#pragma once

#include "wire/Cursor.h"

#include <cstddef>
#include <cstdint>

// A cursor over `available` octets at p; a negative count (a field that starts past the record's end) reads
// as none.
inline wire::Cursor RecordCursor(const uint8_t* p, int32_t available) {
    return wire::Cursor(p, available > 0 ? static_cast<std::size_t>(available) : 0);
}
