// The decode table's row types: field descriptors, command names and value names.
#pragma once

#include <cstdint>
#include <span>

// How a field's bytes are read and printed. The tables keep the kind as its number (the
// `kind` column of a row); code names it through this type. Integers are unsigned unless said
// otherwise; "Net" is network order (big-endian), "Host" the capture header's little-endian.
enum class FieldKind : int32_t {
    CaseListEnd = -1,    // ends a case list
    Label = 0,           // the label alone
    U32Host = 1,         // "%d"
    U32Net = 2,          // "%d"
    S16Host = 3,         // "%d", signed
    U16Net = 4,          // "%d"
    Char = 5,            // the byte as a character
    Text = 6,            // NUL-terminated text cut to the width
    LocalTime = 7,       // 32-bit host order seconds since 1970, local time
    Hex32 = 8,           // "0x%08X"
    U8 = 9,              // "%d"
    Ipv4Net = 10,        // four octets in network order, FormatIpv4
    Ipv4Host = 11,       // 32-bit host order, FormatIpv4
    U16Host = 12,        // "%d"
    U16NetToo = 13,      // "%d", as U16Net
    ProtocolCode = 20,   // 16-bit host order, named from the protocol code table
    CmppCommand = 30,    // "0x%08X (name)" from the CMPP command table
    Numbers21 = 31,      // count x 21 octets, a line per number
    Octet = 32,          // "%d", as U8
    Version = 33,        // high nibble "." low nibble
    DataCoding = 38,     // "%d"; remembered as the PDU's data coding
    TpUdhi = 39,         // "%d"; remembered as the PDU's user-data-header indicator
    SmgpCommand = 40,    // "0x%08X (name)" from the SMGP command table
    Numbers21Too = 42,   // as Numbers21
    Numbers32 = 43,      // count x 32 octets, a line per number
    Entries = 45,        // no line: a count of entries, each walked from the row selectorId names
    TestCommand = 50,    // "0x%08X (name)" from the TEST command table
    SgipSequence = 51,   // three 32-bit network-order integers
    SgipCommand = 52,    // "0x%08X (name)" from the SGIP command table
    ReportFlag = 53,     // signed 8-bit "%d"; remembered as the PDU's report flag
    CString = 55,        // NUL-terminated text of at most the width; the width ends after the NUL
    Hex10 = 56,          // 10 octets as 20 hex digits
    Hex16 = 60,          // "0x%04X"
    HexOctets = 58,      // the field's octets as hex digits (authenticators, binary values)
    Smgp3Tlv = 70,       // one SMGP 3.0 TLV (repeats)
    SmppTlv = 71,        // one SMPP optional parameter (repeats)
    Bits = 75,           // eight '0'/'1' digits
    CmppContent = 100,   // message content, a report in the CMPP 2.0 layout when flagged
    Cmpp3Content = 101,  // message content, a report in the CMPP 3.0 layout when flagged
    SmgpContent = 102,   // message content, an SMGP report when flagged
    CngpCommand = 103,   // "0x%08X (name)" from the CNGP command table
    SmppCommand = 104,   // "0x%08X (name)" from the SMPP command table
    SmppContent = 105,   // SMPP short_message by data_coding
    CngpContent = 106,   // as SmgpContent
    CmppMsgId = 1000,    // the 8-octet CMPP Msg_Id
};

// What a decoded field's raw value is: a number, text (GBK read as UTF-8), or octets of the record.
enum class FieldType : uint8_t { None, Number, Text, Octets };

// The type of a kind's raw value; None for a label, a group and a count of entries.
constexpr FieldType TypeOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::U32Host: case FieldKind::U32Net: case FieldKind::S16Host: case FieldKind::U16Net:
    case FieldKind::LocalTime: case FieldKind::Hex32: case FieldKind::U8: case FieldKind::Ipv4Net:
    case FieldKind::Ipv4Host: case FieldKind::U16Host: case FieldKind::U16NetToo: case FieldKind::ProtocolCode:
    case FieldKind::CmppCommand: case FieldKind::Octet: case FieldKind::Version: case FieldKind::DataCoding:
    case FieldKind::TpUdhi: case FieldKind::SmgpCommand: case FieldKind::TestCommand: case FieldKind::SgipCommand:
    case FieldKind::ReportFlag: case FieldKind::Hex16: case FieldKind::Bits: case FieldKind::CngpCommand:
    case FieldKind::SmppCommand: return FieldType::Number;
    case FieldKind::Char: case FieldKind::Text: case FieldKind::CString: case FieldKind::Numbers21:
    case FieldKind::Numbers21Too: case FieldKind::Numbers32: return FieldType::Text;
    case FieldKind::SgipSequence: case FieldKind::Hex10: case FieldKind::HexOctets: case FieldKind::Smgp3Tlv:
    case FieldKind::SmppTlv: case FieldKind::CmppContent: case FieldKind::Cmpp3Content: case FieldKind::SmgpContent:
    case FieldKind::SmppContent: case FieldKind::CngpContent: case FieldKind::CmppMsgId: return FieldType::Octets;
    default: return FieldType::None;
    }
}

constexpr const char* TypeName(FieldType type) {
    switch (type) {
    case FieldType::Number: return "number";
    case FieldType::Text: return "text";
    case FieldType::Octets: return "octets";
    default: return "none";
    }
}

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
    int32_t selectorId;    // next == -2: id of the decoded field whose value picks the case;
                           // an Entries row: the first row of each entry
    int32_t widthSourceId; // width == -1: id of the decoded field giving the width or count
};
// An Entries row walks a run of structured entries (submit_multi's destinations, say): as many as
// the value of its widthSourceId field, each from the row its selectorId names to a row whose next
// names the Entries row again; after the last (or at once, for none) the walk goes on at its next.
// Entries do not nest.

// The kind of a row, as code reads it.
constexpr FieldKind KindOf(const FieldDescriptor& row) { return static_cast<FieldKind>(row.kind); }

// Octets of one number in a list of numbers (the count times this is the field's width); 0 for
// a kind that is no list of numbers.
constexpr int32_t NumberWidth(FieldKind kind) {
    switch (kind) {
    case FieldKind::Numbers21:
    case FieldKind::Numbers21Too: return 21;
    case FieldKind::Numbers32: return 32;
    default: return 0;
    }
}

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

// A body that some peers send in another layout: the decoder reads the alternative's rows instead when
// only they end exactly where the record does (where a field's width comes from its own count or length
// octets, those are read as each layout places them).
struct LayoutChoice {
    int32_t body;        // id of the body's group row, which a case leads to
    int32_t alternative; // id of the other layout's group row
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
    std::span<const LayoutChoice> layoutChoices = {};
};
} // namespace decode_table
