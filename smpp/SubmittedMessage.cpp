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

void OctetsInto(Cursor& in, std::size_t count, std::vector<uint8_t>& out) {
    const std::span<const uint8_t> octets = in.Bytes(count);
    out.assign(octets.begin(), octets.end());
}

void Own(const AddressField& field, SmeAddress& out) {
    out.ton = field.ton;
    out.npi = field.npi;
    out.addr.assign(field.addr);
}

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
    OctetsInto(in, smLength, m.message);
}

void ReadPayload(Cursor& in, SubmittedMessage& m) {
    uint16_t tag = 0;
    for (std::span<const uint8_t> value; in.Tlv(tag, value);) {
        if (tag == kTagMessagePayload)
            m.message.assign(value.begin(), value.end());
    }
}

// The destinations in order; false for a dest_flag that is no SME address or list. A list name
// reaches no terminal and is left out.
bool ReadDestinations(CRequestBodyReader& reader, SubmittedMessage& m) {
    CRequestBodyReader::Destination destination;
    std::size_t count = 0;
    for (;;) {
        switch (reader.NextDestination(&destination)) {
        case CRequestBodyReader::Next::End:
            m.destinations.resize(count);
            return true;
        case CRequestBodyReader::Next::BadFlag:
            return false;
        case CRequestBodyReader::Next::Destination:
            if (destination.list)
                break;
            if (count == m.destinations.size())
                m.destinations.emplace_back();
            Own(destination.address, m.destinations[count++]);
            break;
        }
    }
}

} // namespace

std::optional<SubmittedMessage> ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length) {
    SubmittedMessage m;
    if (!ParseSubmitted(commandId, body, length, m))
        return std::nullopt;
    return m;
}

bool ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length, SubmittedMessage& m) {
    if (commandId != kSubmitSm && commandId != kDataSm && commandId != kSubmitMulti)
        return false;
    CRequestBodyReader reader(body, length);
    m.commandId = commandId;
    m.esmClass = m.registeredDelivery = m.dataCoding = 0;
    m.message.clear();
    std::string_view serviceType;
    AddressField source;
    reader.ReadHead(commandId, &serviceType, &source);
    m.serviceType.assign(serviceType);
    Own(source, m.source);
    if (!ReadDestinations(reader, m))
        return false;
    Cursor& in = reader.Cursor();
    if (commandId == kDataSm) {
        m.esmClass = in.U8();
        m.registeredDelivery = in.U8();
        m.dataCoding = in.U8();
    } else {
        SubmitTail(in, m);
    }
    if (!in.Ok())
        return false;
    ReadPayload(in, m);
    return true;
}

} // namespace smpp
