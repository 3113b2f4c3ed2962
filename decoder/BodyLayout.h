// Where a body's fields end when it is read as one layout of the decode tables: the widths from the rows,
// the counts and lengths from the body's own octets. Version sniffing and the decoder's choice between two
// layouts of one body both measure this way.
#pragma once

#include "decoder/FieldDescriptor.h"

#include <cstdint>
#include <span>
#include <vector>

namespace body_layout {

// One field of a body as the measure needs it.
struct Field {
    int32_t id;
    int32_t width;       // decode_table::kVariable: read from the field at `source`
    int32_t numberWidth; // a list of numbers: octets per number; 0: the source gives the octets themselves
    int32_t source;      // position in the walk of the one-octet count or length; -1 for none
    bool tlvs;           // TLVs up to the end of the PDU
};
using Walk = std::vector<Field>;

// The fields of a body from its group row to its end (rows found by id); empty when a row or a width
// source cannot be resolved, or a width comes from anything but a one-octet field.
Walk Resolve(std::span<const FieldDescriptor> rows, int32_t bodyId);

// Where a body of `length` octets laid out as `walk` ends, read from its own count and length octets; 0 when
// one of them is not in the body (or the walk is empty).
uint32_t End(const Walk& walk, const uint8_t* body, uint32_t length);

} // namespace body_layout
