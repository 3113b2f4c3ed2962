// SMPP 3.4 field widths, optional parameter tags and esm_class bits that the servers, the router, the decoder
// and the capture's analysis build or read; SmppTlvs.h names every tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace protocol::smpp {

// The most octets of each C-string field, its NUL included, as SMPP 3.4 sizes them in every command
// but data_sm and alert_notification, whose addresses are long. A namespace of their own keeps them apart
// from the names a component that takes in all of protocol::smpp gives the same widths.
namespace field_width {
inline constexpr uint32_t kSystemId = 16;
inline constexpr uint32_t kPassword = 9;
inline constexpr uint32_t kSystemType = 13;
inline constexpr uint32_t kAddressRange = 41;
inline constexpr uint32_t kServiceType = 6;
inline constexpr uint32_t kShortAddress = 21;
inline constexpr uint32_t kLongAddress = 65; // data_sm's and alert_notification's addresses
inline constexpr uint32_t kTime = 17;
inline constexpr uint32_t kMessageId = 65;
inline constexpr uint32_t kDistributionList = 21;
} // namespace field_width

// The most octets short_message holds: sm_length is one octet and 255 is reserved.
inline constexpr std::size_t kMaxShortMessageOctets = 254;

struct StringField {
    std::string_view name;
    uint32_t octets;
};
inline constexpr StringField kStringFields[] = {
    {"system_id", field_width::kSystemId},
    {"password", field_width::kPassword},
    {"system_type", field_width::kSystemType},
    {"address_range", field_width::kAddressRange},
    {"service_type", field_width::kServiceType},
    {"source_addr", field_width::kShortAddress},
    {"destination_addr", field_width::kShortAddress},
    {"esme_addr", field_width::kLongAddress},
    {"schedule_delivery_time", field_width::kTime},
    {"validity_period", field_width::kTime},
    {"final_date", field_width::kTime},
    {"message_id", field_width::kMessageId},
    {"dl_name", field_width::kDistributionList},
};

// The octets of a C-string field by its name, 0 for a name that is no C-string field.
constexpr uint32_t StringFieldOctets(std::string_view name) {
    for (const StringField& field : kStringFields)
        if (field.name == name)
            return field.octets;
    return 0;
}

// Optional parameter tags.
inline constexpr uint16_t kTagAdditionalStatusInfoText = 0x001D;
inline constexpr uint16_t kTagReceiptedMessageId = 0x001E;
inline constexpr uint16_t kTagSarMsgRefNum = 0x020C;     // the parts' shared reference
inline constexpr uint16_t kTagSarTotalSegments = 0x020E; // how many parts
inline constexpr uint16_t kTagSarSegmentSeqnum = 0x020F; // this part's number, from 1
inline constexpr uint16_t kTagDpfResult = 0x0420;
inline constexpr uint16_t kTagNetworkErrorCode = 0x0423;
inline constexpr uint16_t kTagMessagePayload = 0x0424;
inline constexpr uint16_t kTagDeliveryFailureReason = 0x0425;
inline constexpr uint16_t kTagMessageState = 0x0427;
// SMPP 5.0's: how loaded the SMSC is (0-100), and the broadcast family's parameters.
inline constexpr uint16_t kTagCongestionState = 0x0428;
inline constexpr uint16_t kTagBroadcastChannelIndicator = 0x0600;
inline constexpr uint16_t kTagBroadcastContentType = 0x0601;
inline constexpr uint16_t kTagBroadcastMessageClass = 0x0603;
inline constexpr uint16_t kTagBroadcastRepNum = 0x0604;
inline constexpr uint16_t kTagBroadcastFrequencyInterval = 0x0605;
inline constexpr uint16_t kTagBroadcastAreaIdentifier = 0x0606;
inline constexpr uint16_t kTagBroadcastAreaSuccess = 0x0608;

// esm_class bits.
inline constexpr uint8_t kEsmClassReceipt = 0x04; // an SMSC delivery receipt
inline constexpr uint8_t kEsmClassUdhi = 0x40;    // the short message opens with a user data header

} // namespace protocol::smpp
