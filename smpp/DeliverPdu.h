// The PDUs the simulated SMSC starts towards an ESME: deliver_sm, data_sm and alert_notification,
// built from the composer's fields, and the text encodings their data_coding names.
#pragma once

#include "smpp/MessageBody.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace smpp {

// The text (UTF-8) as a phone's TEST packets carry data_coding: 0 and 1 ASCII, 3 Latin-1, 8 UCS-2 big-endian,
// 15 GBK, 4 raw (the UTF-8 octets as they are); others as 0. Characters the coding cannot hold
// become '?'. Cut to at most maxOctets, never in the middle of a character.
std::vector<uint8_t> EncodeText(std::string_view utf8, uint8_t dataCoding, std::size_t maxOctets);

// The text (UTF-8) as an ESME reads data_coding: 0 the GSM 7-bit default alphabet, one septet per octet,
// with the extension table's characters as the escape 0x1B and their septet; 1 ASCII; the others as
// EncodeText has them, uncut. GSM 7-bit refuses every character it lacks rather than send '?': octets
// stay empty and error names the first, e.g. "'Ж' (U+0416) is not in the GSM 7-bit alphabet".
struct EncodedText {
    std::vector<uint8_t> octets;
    std::string error;
    bool Ok() const { return error.empty(); }
};
EncodedText EncodeMessage(std::string_view utf8, uint8_t dataCoding);
// The text as a handset writes a TEST msg_format (as EncodeText, uncut), refusing in every coding what
// the coding lacks, as a handset will not send what it cannot write.
EncodedText EncodePhoneText(std::string_view utf8, uint8_t format);

// Bodies without the 16-octet header, as WriteMessageBody writes them. A message over 254 octets goes
// into message_payload (sm_length 0).
std::vector<uint8_t> DeliverSmBody(const DeliverFields& fields);
// The message always travels in message_payload.
std::vector<uint8_t> DataSmBody(const DeliverFields& fields);
// The same bodies written over out, whose room is kept: a receipt a message allocates nothing.
void WriteDeliverSmBody(const DeliverFields& fields, std::vector<uint8_t>& out);
void WriteDataSmBody(const DeliverFields& fields, std::vector<uint8_t>& out);
// source = source_addr, esme = dest.
std::vector<uint8_t> AlertNotificationBody(const DeliverFields& fields);

} // namespace smpp
