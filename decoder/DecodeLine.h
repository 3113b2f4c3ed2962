// The line every decoder writes, the table walk and the text protocols alike, and every view, filter and export reads.
#pragma once

#include "decoder/FieldDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

// One line of decode output: one typed field, its display text and the bytes of the record it covers.
// Readers take the field's name, raw value and value name from here; none of them splits `text`.
struct DecodeLine {
    int32_t id;       // id of the descriptor that produced the line
    std::string text; // UTF-8: the display text, "label value (value name)"
    int32_t offset;   // first byte, counted from the start of the capture record
    int32_t width;    // bytes covered; 0 for group lines
    int32_t iconId;   // decode icon id (152..163), see CPacketDecoder::IconIndex
    int32_t isGroup;  // 1: a top-level node; 0: a field under the latest group

    // The stable name ("smpp.destination_addr", "smpp.tlv.message_payload"): the table's, which outlives every
    // line. A line a field adds under its own (a user data header element, a receipt part) carries the field's name.
    std::string_view field = {};
    FieldType type = FieldType::None; // what the raw value is
    int64_t number = 0;               // the raw value of a Number field
    int32_t rawOffset = 0;            // the raw octets of an Octets field, in the record
    int32_t rawWidth = 0;
    int32_t valueAt = 0;   // where the shown value starts in text; text.size() when the line shows none, 0 for an
                           // error line, which shows its whole text
    int32_t valueEnd = 0;  // where the value's own text ends: a value name follows as " (name)" up to nameEnd
    int32_t nameEnd = 0;   // 0 when the value has no name
    int32_t parent = -1;   // the line of the field this line shows a part of; -1 for a field or a group

    // What the field is called beside its value: its row's label ("SUB_SM") and name ("destination_addr"), texts
    // of the table or of the protocol that outlive every line. A name the line spells in its own text (an optional
    // parameter's, a text protocol's field) lies there at nameAt instead. A part (parent >= 0) has neither.
    std::string_view label = {};
    std::string_view rowName = {};
    int32_t nameAt = -1;
    int32_t nameLength = 0;

    // The value as shown, with its name: "1 (International)".
    std::string_view Show() const { return std::string_view(text).substr(static_cast<size_t>(valueAt)); }
    // The value's own text without its name: the raw value of a Text field.
    std::string_view ValueText() const {
        return std::string_view(text).substr(static_cast<size_t>(valueAt), static_cast<size_t>(valueEnd - valueAt));
    }
    // The field's name: "destination_addr", "message_payload(Generic)", "AdC".
    std::string_view Name() const {
        return nameAt < 0 ? rowName : std::string_view(text).substr(static_cast<size_t>(nameAt), static_cast<size_t>(nameLength));
    }
    // Names the field by its own text from `from` to `to`, blanks and a closing '=' left out.
    void SpellName(size_t from, size_t to) {
        to = std::min(to, text.size());
        from = std::min(from, to);
        while (from < to && text[from] == ' ') ++from;
        while (to > from && (text[to - 1] == ' ' || text[to - 1] == '=')) --to;
        nameAt = static_cast<int32_t>(from);
        nameLength = static_cast<int32_t>(to - from);
    }
    // The name the value has ("International"), empty when none.
    std::string_view ValueName() const {
        return nameEnd == 0 ? std::string_view{}
                            : std::string_view(text).substr(static_cast<size_t>(valueEnd + 2), static_cast<size_t>(nameEnd - valueEnd - 2));
    }
};
