// The PDUs the simulated SMSC starts towards an ESME: deliver_sm, data_sm and alert_notification,
// built from the composer's fields, and the text encodings their data_coding names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace smpp {

struct Tlv {
    uint16_t tag = 0;
    std::vector<uint8_t> value;
};

// Every field the composer offers, for deliver_sm, data_sm and alert_notification.
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
    std::vector<Tlv> tlvs;        // extra optional parameters, appended after the mandatory fields
};

// The text (UTF-8) as the octets of data_coding: 0 and 1 ASCII, 3 Latin-1, 8 UCS-2 big-endian,
// 15 GBK, 4 raw (the UTF-8 octets as they are); others as 0. Characters the coding cannot hold
// become '?'. Cut to at most maxOctets, never in the middle of a character.
std::vector<uint8_t> EncodeText(std::string_view utf8, uint8_t dataCoding, std::size_t maxOctets);

// Bodies without the 16-octet header. A message over 254 octets goes into message_payload
// (sm_length 0).
std::vector<uint8_t> DeliverSmBody(const DeliverFields& fields);
// The message always travels in message_payload.
std::vector<uint8_t> DataSmBody(const DeliverFields& fields);
// source = source_addr, esme = dest.
std::vector<uint8_t> AlertNotificationBody(const DeliverFields& fields);

} // namespace smpp
