// The decode listing as text: what tarnwick-decode prints, for anyone who writes a decode out the same way.
#pragma once

#include <string>
#include <vector>

#include "decoder/PacketDecoder.h"

namespace decode_listing {

// One text line per decode line, each ending in '\n': groups at the left, fields indented by two blanks;
// with `offsets` each line starts with its offset and width counted from the start of the capture record
// ("%6d %5d  ").
std::string Lines(const std::vector<DecodeLine>& lines, bool offsets);

// One record's block in a listing of several records, exactly as tarnwick-decode --pcap prints it: the
// record's lines, after a blank line unless it is the first block.
std::string Block(const std::vector<DecodeLine>& lines, bool offsets, bool first);

// One name of the decoder's fields, as tarnwick-decode --list-fields lists it: the name, its protocol, the type of
// its raw value and the label the decode shows it by (the first, where fields of one name have several).
struct FieldEntry {
    std::string name;
    std::string protocol;
    FieldType type;
    std::string label;
};
// Every field name of the table once, in table order, the optional parameters after the fields, then the
// fields of the text protocols (UCP/EMI, CIMD2).
std::vector<FieldEntry> Fields(const DecodeTable& table);

} // namespace decode_listing
