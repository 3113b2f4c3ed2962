// The stable names of decoded fields: the protocol, then the field's name in its standard
// ("smpp.destination_addr", "cmpp.Msg_Fmt", "sgip.UserNumber"). A row's name is derived once, when the
// decode table is built, from the protocol whose header group the row follows and from its label: an English
// label is its own name; a label in Chinese is looked up in the protocol's list below.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/SmppTlvs.h"

namespace field_names {

// The prefix of an SMPP optional parameter's name, and the name of the one that carries a long message's text.
inline constexpr std::string_view kSmppTlvPrefix = "smpp.tlv.";
inline constexpr std::string_view kSmppMessagePayload = "smpp.tlv.message_payload";
static_assert(kSmppMessagePayload.substr(kSmppTlvPrefix.size()) ==
              protocol::smpp::FindTlv(protocol::smpp::kTagMessagePayload)->name);

// The group label tag ("SMPP" of "SMPP: ----- ...") that starts a protocol's rows, and the prefix of its names.
struct ProtocolTag {
    std::string_view tag;
    std::string_view prefix;
};

// A field a gateway protocol labels in Chinese: the label's text after its tag, and the standard's name.
struct LabelName {
    std::string_view prefix;
    std::string_view label;
    std::string_view name;
};

// A row whose label means another field than the label's usual one (the same words, another place).
struct RowName {
    int32_t id;
    std::string_view name;
};

// An SMGP 3.0 TLV's name in its standard, by tag.
struct TagName {
    uint16_t tag;
    std::string_view name;
};

// The fields that hold a message's destination and its source number, one per protocol that has them: the packet
// list's "Destination" and "Source address" columns show whichever a record has.
inline constexpr std::string_view kDestinationFields[] = {
    "smpp.destination_addr", "test.destination", "cmpp.Dest_terminal_Id", "smgp.DestTermID", "cngp.DestTermID",
    "sgip.UserNumber",
};
inline constexpr std::string_view kSourceFields[] = {
    "smpp.source_addr", "test.source", "cmpp.Src_terminal_Id", "smgp.SrcTermID", "cngp.SrcTermID", "sgip.SPNumber",
};

std::span<const ProtocolTag> ProtocolTags();
std::span<const TagName> SmgpTlvNames();
std::span<const LabelName> LabelNames();
std::span<const RowName> RowNames();

// The prefix of the protocol a group label starts, or empty when the label starts no protocol.
std::string_view PrefixOfGroup(std::string_view label);

// The name of a field row under `prefix`: the row's own name when it has one, else its label's name. `label` is
// the whole row label ("SUB_SM: destination_addr ="). Empty when the label has no name (no list entry for a
// Chinese label, or nothing after the tag).
std::string NameOf(std::string_view prefix, int32_t id, std::string_view label, bool udhiFlag);

// The name part of a label: the text between its tag's ": " and a closing " =" ("destination_addr").
std::string_view LabelText(std::string_view label);
// The tag of a label: the text before ": " or " TLV:" ("SUB_SM").
std::string_view LabelTag(std::string_view label);

} // namespace field_names
