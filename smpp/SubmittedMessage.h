// What an ESME's submit_sm, data_sm or submit_multi carries for whoever takes the message on
// (routing to a mobile simulator, delivery receipts), read from the received body.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace smpp {

struct SmeAddress {
    uint8_t ton = 0, npi = 0;
    std::string addr;
};

struct SubmittedMessage {
    uint32_t commandId = 0;
    std::string serviceType;
    SmeAddress source;
    std::vector<SmeAddress> destinations; // one for submit_sm and data_sm; the SME addresses of submit_multi
    uint8_t esmClass = 0, registeredDelivery = 0, dataCoding = 0;
    std::vector<uint8_t> message;         // message_payload when present, else short_message
};

// The message of a submit_sm, data_sm or submit_multi body; nothing when the body ends before its
// mandatory fields do or a string field has no NUL within its SMPP maximum. Reads only the
// octets given. A truncated optional parameter ends the scan of the others.
std::optional<SubmittedMessage> ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length);
// The same read over m, whose room is kept from one message to the next; false for nothing.
bool ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length, SubmittedMessage& m);

} // namespace smpp
