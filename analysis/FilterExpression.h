// The display filter's language, parsed once into a small tree: terms and field comparisons joined by and, or,
// not and parentheses.
#pragma once

#include "decoder/FieldDescriptor.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

class CPacketDecoder;
struct DecodeLine;

namespace display_filter {

// What a term reads, cheapest first: the record's summary, then the pairs, then a decode.
enum class Kind : uint8_t { Command, Port, Ip, Connection, Sequence, Status, Error, Unanswered, Text, Field };

enum class Compare : uint8_t { Present, Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains, Matches };

// What a field is compared with: the text as written, its number when it reads as one, the values the field's
// value names give it (ESME_RTHROTTLED: 0x58), and for matches the expression, compiled once.
struct Value {
    std::string text;
    std::optional<int64_t> number;
    std::vector<int64_t> named;
    std::shared_ptr<const std::regex> pattern;
};

struct Term {
    Kind kind = Kind::Command;
    std::vector<uint64_t> numbers; // status (those a name gives), port, address, sequence, connection, commands
    std::string word;              // text: lower case; a field: its name
    FieldType type = FieldType::None; // a field's raw value
    Compare compare = Compare::Present;
    Value value;
};

// A node of the tree: a term, or and / or over its children, or not of its one child. An and without children
// (the empty filter) holds for every record.
struct Node {
    enum class Op : uint8_t { Term, And, Or, Not };
    Op op = Op::And;
    Term term;
    std::vector<Node> children;
    Kind cost = Kind::Command; // the dearest term under it: and / or try their cheapest children first
};

// Where a filter failed: the byte offset into its text and why.
struct Error {
    size_t at = 0;
    std::string what;
    // The column the offset is at, counted in characters from 1.
    int Column(std::string_view text) const;
};

// Parses text against the decoder's fields and names; false with the first error (out unchanged).
bool Parse(std::string_view text, const CPacketDecoder& decoder, Node& out, Error& error);

// The expression that asks for a decode line's field with the line's value: "smpp.data_coding == 8",
// "smpp.destination_addr == \"10086\"", a field without a value alone (its presence); empty for a line of no field.
std::string ExpressionFor(const DecodeLine& line);

// One line of the filter's help: how a term, operator or keyword is written and what it asks for.
struct HelpLine {
    std::string_view written;
    std::string_view meaning;
};
// The shortcut terms, the operators and the keywords, from the tables the parser reads them by.
std::vector<HelpLine> Help();

// Lower case of ASCII letters; other bytes as they are.
std::string Lower(std::string_view text);

} // namespace display_filter
