// Long messages: a text longer than one short message, cut into parts an ESME (or a handset) puts back
// together, as carriers send them.
#pragma once

#include "smpp/DeliverPdu.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smpp {

// How the parts of a long message say they belong together.
enum class SplitOption : uint8_t {
    Udh8,    // user data header, IE 0x00: 8-bit reference (the default)
    Udh16,   // user data header, IE 0x08: 16-bit reference
    Sar,     // sar_msg_ref_num, sar_total_segments and sar_segment_seqnum, no header
    Payload, // not cut at all: the whole message in one message_payload
};
inline constexpr SplitOption kSplitOptions[] = {SplitOption::Udh8, SplitOption::Udh16, SplitOption::Sar,
                                                SplitOption::Payload};
// "udh8", "udh16", "sar", "payload": the names the control API reads and the settings keep.
std::string_view NameOf(SplitOption option);
std::optional<SplitOption> SplitOptionNamed(std::string_view name);
// As the composers list them.
const char* LabelOf(SplitOption option);

inline constexpr std::size_t kMaxParts = 255; // the header's and sar_total_segments' one octet

// One part as it travels: its octets (the header first when udhi), the esm_class UDHI flag, and the
// optional parameters it adds.
struct MessagePart {
    std::vector<uint8_t> message;
    bool udhi = false;
    bool inPayload = false; // the whole message, in message_payload
    std::vector<Tlv> tlvs;
};

struct SplitResult {
    std::vector<MessagePart> parts;
    std::string error; // set, and no parts, when the text needs more than 255
};

// Cuts a message already encoded for dataCoding (EncodeMessage) into the parts option asks for, each
// part as large as one short message holds: 160 GSM septets, 70 UCS-2 characters or 140 octets alone;
// less the header with one (153 / 67 / 134 for the 8-bit reference, 152 / 66 / 133 for the 16-bit one);
// a SAR part carries no header and holds as much as one message. A message that fits one short message
// is one plain part, whatever the option. A cut never parts a GSM escape from its septet, a UCS-2
// surrogate pair or a GBK character. All parts carry reference (its low octet for the 8-bit header).
SplitResult Split(const std::vector<uint8_t>& octets, uint8_t dataCoding, SplitOption option, uint16_t reference);

// How many octets the character at the start of text (size octets, at least one) takes in data_coding,
// what a cut or a reversal may not part: UCS-2 two (a surrogate pair four), GBK two from a lead octet
// on, the default alphabet two for an escape and the character it escapes, IA5 and Latin-1 one; anything
// else (the composer's 8-bit data among them) is taken as UTF-8, whose sequences stay whole. Never more than size.
std::size_t CharacterOctets(const uint8_t* text, std::size_t size, uint8_t dataCoding);
// The octets of the text's first `characters` characters, each kept whole (as CharacterOctets
// counts them; a GSM '@', 0x00, is a character like any other), and of no more than maxOctets.
std::size_t FirstCharacters(const uint8_t* text, std::size_t size, uint8_t dataCoding, std::size_t characters,
                            std::size_t maxOctets);

// The reference numbers of long messages: one counter for the whole run, so that no two long messages
// in flight share one.
uint16_t NextReference();

// The fields of base carrying one part: the message, UDHI added to esm_class, the part's parameters
// after base's.
DeliverFields WithPart(DeliverFields base, const MessagePart& part);

// A message that starts with a well-formed concatenation header: its length octet consistent with the
// octets, IE 0x00 of 3 or IE 0x08 of 4 octets first, at least 2 parts and a sequence number within them.
// Never reads past the octets.
bool StartsWithConcatenationHeader(const uint8_t* octets, std::size_t length);

} // namespace smpp
