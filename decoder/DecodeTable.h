// The decode table: every protocol family's rows with the indexes the walk reads, built once and shared.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "decoder/BodyLayout.h"
#include "decoder/FieldDescriptor.h"
#include "decoder/NameIndex.h"

// Read-only once built, so every decoder of the program (the window's, the pairing's, the filter's, the
// control API's) walks the one table: a copy of a decoder copies a pointer, not 782 rows and their indexes.
struct DecodeTable {
    std::vector<FieldDescriptor> rows;   // `next` holds a table position (or -1, -2, 0); the last row is the terminator
    std::vector<int32_t> labelLengths;   // per position
    std::vector<int32_t> nameCategories; // per position: category with rows, or -1
    std::vector<int32_t> selectorStarts; // per position: where its case scan starts, or -1
    std::vector<FieldKind> sourceKinds;  // per position: kind of its width source, or CaseListEnd
    std::vector<std::pair<int32_t, int32_t>> firstPositions; // (id, position), sorted by id
    // Per position: the row's stable name ("smpp.destination_addr"); empty for a case row. A group's name is its
    // protocol's ("smpp") or the protocol's and the body's ("smpp.sub_sm"); a TLV row's is "smpp.tlv".
    std::vector<std::string> fieldNames;
    // The names of optional parameters, by protocol and tag: "smpp.tlv.message_payload".
    struct TlvFieldName {
        bool smpp; // SMPP's, else SMGP 3.0's
        uint16_t tag;
        std::string name;
    };
    std::vector<TlvFieldName> tlvNames;
    // Per position: what a field of the row's id is called beside its value, from the label of the first row with
    // that id: "SUB_SM" and "destination_addr" of "SUB_SM: destination_addr =". colon: where the label's ':'
    // stands, after which an optional parameter's line spells the parameter's name; -1 for a label without one.
    struct RowName {
        std::string_view label, name;
        int32_t colon = -1;
    };
    std::vector<RowName> rowNames;
    // A body that comes in two layouts (decode_table::LayoutChoice), both measured from the family's rows.
    struct LayoutPair {
        int32_t body, alternative; // positions of the group rows
        body_layout::Walk bodyWalk, alternativeWalk;
    };
    std::vector<LayoutPair> layoutPairs;
    NameIndex names;

    // Position of the first row with that id, -1 when no row has it.
    int32_t PositionOf(int32_t id) const;
    // The name of an optional parameter of that tag, or the TLV row's own name when the tag has none.
    std::string_view TlvName(int32_t position, uint16_t tag) const;

    // A table of the given families, in order. The row texts are not copied and must outlive the table.
    static std::shared_ptr<const DecodeTable> Build(std::span<const decode_table::Family> families);
    // The whole table (capture header, CMPP/TEST, SMGP, SGIP/CNGP, SMPP), built on first use.
    static std::shared_ptr<const DecodeTable> Whole();
};
