// Writing and reading the short-message bodies the server, the router, the composer and the
// generator send.
#include "smpp/MessageBody.h"

#include "protocol/SmppFields.h"
#include "smpp/SmppPdu.h"

#include "wire/Cursor.h"

#include <algorithm>

namespace smpp {

namespace {

using protocol::smpp::kTagMessagePayload;
constexpr std::size_t kMaxShortMessage = protocol::smpp::kMaxShortMessageOctets;

// Widths as text, without the NUL the octet widths count.
constexpr std::size_t CharsOf(int octets) { return std::size_t(octets - 1); }

bool IsMessageCommand(uint32_t commandId) {
    return commandId == kSubmitSm || commandId == kDeliverSm || commandId == kDataSm;
}

std::size_t AddressOctetsOf(uint32_t commandId) {
    return std::size_t(commandId == kDataSm ? kLongAddressOctets : kShortAddressOctets);
}

void Assign(std::string& out, std::string_view text) { out.assign(text.data(), text.size()); }

} // namespace

bool WriteMessageBody(uint32_t commandId, const DeliverFields& f, wire::Writer& out) {
    if (!IsMessageCommand(commandId))
        return false;
    const std::size_t address = CharsOf(int(AddressOctetsOf(commandId)));
    out.CString(f.serviceType, CharsOf(kServiceTypeOctets))
        .U8(f.sourceTon).U8(f.sourceNpi).CString(f.sourceAddr, address)
        .U8(f.destTon).U8(f.destNpi).CString(f.destAddr, address)
        .U8(f.esmClass);
    if (commandId == kDataSm) {
        out.U8(f.registeredDelivery).U8(f.dataCoding);
        // A payload given among the parameters is the message: an empty one before it would be
        // the first message_payload a peer reads.
        const bool payloadGiven = std::any_of(f.tlvs.begin(), f.tlvs.end(),
                                              [](const Tlv& tlv) { return tlv.tag == kTagMessagePayload; });
        if (!f.message.empty() || !payloadGiven)
            out.Tlv(kTagMessagePayload, f.message);
    } else {
        const std::size_t time = CharsOf(kTimeOctets);
        out.U8(f.protocolId).U8(f.priorityFlag)
            .CString(f.scheduleDeliveryTime, time).CString(f.validityPeriod, time)
            .U8(f.registeredDelivery).U8(f.replaceIfPresent).U8(f.dataCoding).U8(f.smDefaultMsgId);
        if (f.messagePayload || f.message.size() > kMaxShortMessage)
            out.U8(0).Tlv(kTagMessagePayload, f.message);
        else
            out.U8(uint8_t(f.message.size())).Bytes(f.message);
    }
    for (const Tlv& tlv : f.tlvs)
        out.Tlv(tlv.tag, tlv.value);
    return true;
}

bool WriteMessagePdu(uint32_t commandId, const DeliverFields& fields, std::vector<uint8_t>& out) {
    out.clear();
    wire::Writer pdu(out);
    pdu.U32(0).U32(commandId).U32(kStatusOk).U32(0);
    if (!WriteMessageBody(commandId, fields, pdu))
        return false;
    pdu.PatchU32(kLengthOffset, uint32_t(pdu.Size()));
    return true;
}

bool ReadMessageBody(uint32_t commandId, const uint8_t* body, std::size_t length, DeliverFields& f) {
    if (!IsMessageCommand(commandId))
        return false;
    wire::Cursor in(body, length);
    const std::size_t address = AddressOctetsOf(commandId);
    Assign(f.serviceType, in.CString(std::size_t(kServiceTypeOctets)));
    f.sourceTon = in.U8(), f.sourceNpi = in.U8();
    Assign(f.sourceAddr, in.CString(address));
    f.destTon = in.U8(), f.destNpi = in.U8();
    Assign(f.destAddr, in.CString(address));
    f.esmClass = in.U8();
    f.protocolId = f.priorityFlag = f.replaceIfPresent = f.smDefaultMsgId = 0;
    f.scheduleDeliveryTime.clear(), f.validityPeriod.clear();
    f.message.clear();
    f.messagePayload = false;
    if (commandId == kDataSm) {
        f.registeredDelivery = in.U8(), f.dataCoding = in.U8();
    } else {
        f.protocolId = in.U8(), f.priorityFlag = in.U8();
        Assign(f.scheduleDeliveryTime, in.CString(std::size_t(kTimeOctets)));
        Assign(f.validityPeriod, in.CString(std::size_t(kTimeOctets)));
        f.registeredDelivery = in.U8(), f.replaceIfPresent = in.U8(), f.dataCoding = in.U8(), f.smDefaultMsgId = in.U8();
        const std::span<const uint8_t> shortMessage = in.Bytes(in.U8());
        f.message.assign(shortMessage.begin(), shortMessage.end());
    }
    std::size_t count = 0;
    uint16_t tag = 0;
    for (std::span<const uint8_t> value; in.Tlv(tag, value);) {
        if (tag == kTagMessagePayload) {
            f.message.assign(value.begin(), value.end());
            f.messagePayload = commandId != kDataSm;
            continue;
        }
        if (count == f.tlvs.size())
            f.tlvs.emplace_back();
        f.tlvs[count].tag = tag;
        f.tlvs[count++].value.assign(value.begin(), value.end());
    }
    f.tlvs.resize(count);
    return in.Ok() && in.Remaining() == 0;
}

} // namespace smpp
