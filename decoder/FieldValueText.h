// The value text of a field whose text depends on its own bytes alone, by the field's kind.
#pragma once

#include <cstdint>
#include <string>

#include "decoder/FieldDescriptor.h"
#include "decoder/NameIndex.h"

// Appends the value of a number, character, octet or code-named kind and returns true; returns
// false, appending nothing, for a kind whose text depends on the rest of the PDU or that has none.
// `width` is the field's settled width, at most `available`, the octets readable from p; nothing
// at or past p + available is read.
bool AppendFieldValue(std::string& out, FieldKind kind, const NameIndex& names, const uint8_t* p, int32_t width,
                      int32_t available);
