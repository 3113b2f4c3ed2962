// The decode table's row types: field descriptors, command names and value names.
#pragma once

#include <cstdint>
#include <span>

// One row of the decode table. The walk in CPacketDecoder is the only code that reads it;
// what a protocol looks like lives entirely in rows of this type (decoder/tables/).
struct FieldDescriptor {
    int32_t id;            // node id; a selector and the case rows after it share it
    int32_t kind;          // how the bytes are read and printed; -1 ends a case list
    int32_t width;         // bytes covered; -1 = settled during the walk
    const char* label;     // UTF-8; on a case row, the selector text the case matches
    int32_t caseOwner;     // case rows: 0 = any dispatcher, else the dispatcher's id
    int32_t next;          // id of the following row; -1 = end, -2 = dispatch by case scan
    int32_t isGroup;       // 1 opens a top-level node of the tree
    int32_t iconId;        // 152..163
    int32_t selectorId;    // next == -2: id of the decoded field whose value picks the case
    int32_t widthSourceId; // width == -1: id of the decoded field giving the width or count
};

// A row of the code-name table: protocol codes (table 6) and command ids per protocol.
struct CodeName {
    int32_t tableId;
    uint32_t code; // command ids as their 32-bit pattern
    const char* name;
};

// A row of the value-name table. value -1 is the category's wildcard and comes last.
struct ValueName {
    int32_t category;
    int32_t value;
    const char* name;
};

// A descriptor whose value names are kept under another category than its own id
// (many address fields share one type-of-number list). Without a row the category is the id.
struct NameCategory {
    int32_t descriptorId;
    int32_t category;
};

// Shorthands that keep table rows on one aligned line each.
namespace decode_table {
inline constexpr int32_t kEnd = -1;      // next: the walk ends after this field
inline constexpr int32_t kDispatch = -2; // next: a case scan picks the next row
inline constexpr int32_t kNone = -1;     // selectorId / widthSourceId / caseOwner unused
inline constexpr int32_t kVariable = -1; // width settled while walking

// The part of the decode table that one protocol family contributes.
struct Family {
    std::span<const FieldDescriptor> descriptors;
    std::span<const CodeName> codeNames;
    std::span<const ValueName> valueNames;
    std::span<const NameCategory> nameCategories = {};
};
} // namespace decode_table
