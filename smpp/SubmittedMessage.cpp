// Reading the message fields out of received submit_sm, data_sm and submit_multi bodies.
#include "smpp/SubmittedMessage.h"

#include "protocol/SmppFields.h"
#include "smpp/BodyReader.h"
#include "smpp/SmppPdu.h"

#include <span>

namespace smpp {

namespace {

using protocol::smpp::kTagMessagePayload;

using wire::Cursor;

std::vector<uint8_t> Octets(Cursor& in, std::size_t count) {
    const std::span<const uint8_t> octets = in.Bytes(count);
    return {octets.begin(), octets.end()};
}

SmeAddress Own(const AddressField& field) { return {field.ton, field.npi, std::string(field.addr)}; }

// esm_class .. sm_length and short_message, shared by submit_sm and submit_multi.
void SubmitTail(Cursor& in, SubmittedMessage& m) {
    m.esmClass = in.U8();
    in.Skip(2); // protocol_id, priority_flag
    in.CString(kTimeOctets);
    in.CString(kTimeOctets);
    m.registeredDelivery = in.U8();
    in.Skip(1); // replace_if_present_flag
    m.dataCoding = in.U8();
    in.Skip(1); // sm_default_msg_id
    const uint8_t smLength = in.U8();
    m.message = Octets(in, smLength);
}

void ReadPayload(Cursor& in, SubmittedMessage& m) {
    while (in.Remaining() >= 4) {
        const uint16_t tag = in.U16();
        const uint16_t length = in.U16();
        std::vector<uint8_t> value = Octets(in, length);
        if (!in.Ok())
            return;
        if (tag == kTagMessagePayload)
            m.message = std::move(value);
    }
}

// The destinations in order; false for a dest_flag that is no SME address or list. A list name
// reaches no terminal and is left out.
bool ReadDestinations(CRequestBodyReader& reader, SubmittedMessage& m) {
    CRequestBodyReader::Destination destination;
    for (;;) {
        switch (reader.NextDestination(&destination)) {
        case CRequestBodyReader::Next::End:
            return true;
        case CRequestBodyReader::Next::BadFlag:
            return false;
        case CRequestBodyReader::Next::Destination:
            if (!destination.list)
                m.destinations.push_back(Own(destination.address));
            break;
        }
    }
}

} // namespace

std::optional<SubmittedMessage> ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length) {
    if (commandId != kSubmitSm && commandId != kDataSm && commandId != kSubmitMulti)
        return std::nullopt;
    CRequestBodyReader reader(body, length);
    SubmittedMessage m;
    m.commandId = commandId;
    std::string_view serviceType;
    AddressField source;
    reader.ReadHead(commandId, &serviceType, &source);
    m.serviceType = std::string(serviceType);
    m.source = Own(source);
    if (!ReadDestinations(reader, m))
        return std::nullopt;
    Cursor& in = reader.Cursor();
    if (commandId == kDataSm) {
        m.esmClass = in.U8();
        m.registeredDelivery = in.U8();
        m.dataCoding = in.U8();
    } else {
        SubmitTail(in, m);
    }
    if (!in.Ok())
        return std::nullopt;
    ReadPayload(in, m);
    return m;
}

} // namespace smpp
