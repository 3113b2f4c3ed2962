// The one home of the short-message body layouts (submit_sm, deliver_sm, data_sm): one struct holds
// every field, written onto the wire from it and read back into it.
#pragma once

#include "wire/Writer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace smpp {

struct Tlv {
    uint16_t tag = 0;
    std::vector<uint8_t> value;

    bool operator==(const Tlv&) const = default;
};

// Every field of a short message's body; the composer offers them all for deliver_sm, data_sm and
// alert_notification.
struct DeliverFields {
    std::string serviceType;
    uint8_t sourceTon = 0, sourceNpi = 0;
    std::string sourceAddr;
    uint8_t destTon = 0, destNpi = 0;
    std::string destAddr;
    uint8_t esmClass = 0, protocolId = 0, priorityFlag = 0;
    std::string scheduleDeliveryTime, validityPeriod;
    uint8_t registeredDelivery = 0, replaceIfPresent = 0, dataCoding = 0, smDefaultMsgId = 0;
    std::vector<uint8_t> message; // already encoded octets
    bool messagePayload = false;  // submit_sm, deliver_sm: the message goes in message_payload whatever its length
    std::vector<Tlv> tlvs;        // extra optional parameters, appended after the mandatory fields

    bool operator==(const DeliverFields&) const = default;
};

// Writes the body of a submit_sm, deliver_sm or data_sm at out's end; false (nothing written) for any
// other command. String fields are cut to their widest text and at a NUL of their own. In submit_sm and
// deliver_sm a message that sm_length cannot count (over 254 octets) travels in message_payload with
// sm_length 0; data_sm has no short_message and always carries it there. A data_sm writes only the
// fields it has (no protocol_id, priority, times, replace flag or default message id).
bool WriteMessageBody(uint32_t commandId, const DeliverFields& fields, wire::Writer& out);
// A whole PDU over out, its room kept: the header (length, commandId, status and sequence 0) and the body.
bool WriteMessagePdu(uint32_t commandId, const DeliverFields& fields, std::vector<uint8_t>& out);

// Reads a body WriteMessageBody writes back over out, whose room is kept. message is message_payload
// when the body has one (messagePayload set, for submit_sm and deliver_sm), else short_message; every
// other optional parameter lands in tlvs in order. False for another command, a body that ends before
// its mandatory fields do, a string with no NUL within its width, or an optional parameter that runs
// past the end. Reads only the `length` octets given.
bool ReadMessageBody(uint32_t commandId, const uint8_t* body, std::size_t length, DeliverFields& out);

} // namespace smpp
