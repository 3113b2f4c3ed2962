// Reading the message fields out of received submit_sm, data_sm and submit_multi bodies.
#include "smpp/SubmittedMessage.h"

#include "smpp/SmppPdu.h"

#include <span>

namespace smpp {

namespace {

constexpr uint16_t kTagMessagePayload = 0x0424;
constexpr uint8_t kDestFlagSmeAddress = 1;
constexpr uint8_t kDestFlagDistributionList = 2;

using wire::Cursor;

std::vector<uint8_t> Octets(Cursor& in, std::size_t count) {
    const std::span<const uint8_t> octets = in.Bytes(count);
    return {octets.begin(), octets.end()};
}

SmeAddress Address(Cursor& in, std::size_t maxOctets) {
    SmeAddress address;
    address.ton = in.U8();
    address.npi = in.U8();
    address.addr = std::string(in.CString(maxOctets));
    return address;
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

} // namespace

std::optional<SubmittedMessage> ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length) {
    Cursor in(body, length > 0 ? static_cast<std::size_t>(length) : 0);
    SubmittedMessage m;
    m.commandId = commandId;
    m.serviceType = std::string(in.CString(kServiceTypeOctets));
    switch (commandId) {
    case kSubmitSm:
        m.source = Address(in, kShortAddressOctets);
        m.destinations.push_back(Address(in, kShortAddressOctets));
        SubmitTail(in, m);
        break;
    case kDataSm:
        m.source = Address(in, kLongAddressOctets);
        m.destinations.push_back(Address(in, kLongAddressOctets));
        m.esmClass = in.U8();
        m.registeredDelivery = in.U8();
        m.dataCoding = in.U8();
        break;
    case kSubmitMulti: {
        m.source = Address(in, kShortAddressOctets);
        const uint8_t count = in.U8();
        for (uint8_t i = 0; i < count && in.Ok(); ++i) {
            const uint8_t flag = in.U8();
            if (flag == kDestFlagSmeAddress)
                m.destinations.push_back(Address(in, kShortAddressOctets));
            else if (flag == kDestFlagDistributionList)
                in.CString(kDistributionListOctets); // a list name reaches no terminal
            else
                return std::nullopt;
        }
        SubmitTail(in, m);
        break;
    }
    default:
        return std::nullopt;
    }
    if (!in.Ok())
        return std::nullopt;
    ReadPayload(in, m);
    return m;
}

} // namespace smpp
