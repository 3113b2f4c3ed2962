// SMPP 3.4 and 5.0 optional parameters, each registered once: tag, name, the networks it serves, how its value reads.
#pragma once

#include "protocol/NamedValue.h"
#include "protocol/SmppFields.h"
#include "protocol/SmppValues.h"

#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

namespace protocol::smpp {

// How a parameter's value is read.
enum class TlvValue : uint8_t {
    U32,     // 32-bit network order
    U16,     // 16-bit network order
    U8,      // the first value octet, named from the row's list when it has one
    Number,  // an unsigned integer as long as the parameter says, 1 to 4 octets
    Version, // an interface version: high nibble "." low nibble
    None,    // no value
    Text,    // characters, cut to the length
    Octets,  // an octet string
    Parts,   // a structure of parts (callback_num, callback_num_atag)
};

// One-octet values that have names.
inline constexpr NamedValue kSubunits[] = {
    {0, "Unknown"}, {1, "MS Display"}, {2, "Mobile Equipment"}, {3, "Smart Card 1"}, {4, "External Unit 1"},
};
inline constexpr NamedValue kNetworkTypes[] = {
    {0, "Unknown"}, {1, "GSM"}, {2, "ANSI-136/TDMA"}, {3, "IS-95/CDMA"}, {4, "PDC"},
    {5, "PHS"},     {6, "iDEN"}, {7, "AMPS"},        {8, "Paging Network"},
};
inline constexpr NamedValue kBearerTypes[] = {
    {0, "Unknown"}, {1, "SMS"},      {2, "Circuit Switched Data"}, {3, "Packet Data"},    {4, "USSD"},
    {5, "CDPD"},    {6, "DataTAC"},  {7, "FLEX/ReFLEX"},           {8, "Cell Broadcast"},
};

inline constexpr NamedValue kBroadcastChannels[] = {{0, "Basic Broadcast Channel"}, {1, "Extended Broadcast Channel"}};
inline constexpr NamedValue kBroadcastMessageClasses[] = {
    {0, "No Class Specified"}, {1, "Class 1 (User Defined)"}, {2, "Class 2 (User Defined)"}, {3, "Class 3 (Terminal Equipment)"},
};
inline constexpr NamedValue kNumberPortabilityResolutions[] = {
    {0, "query not performed"}, {1, "query performed, number not ported"}, {2, "query performed, number ported"},
};

struct Tlv {
    uint16_t tag;
    std::string_view name;       // as SMPP 3.4 or 5.0 names it; a field's name is "smpp.tlv." and this
    std::string_view networks;   // where the standard says it applies: "GSM", "CDMA,TDMA", "Generic"
    TlvValue value;
    std::span<const NamedValue> names = {}; // the names of a U8 value
    std::string_view label = {}; // what the decoder shows where that is not "name(networks)"
};

inline constexpr Tlv kTlvs[] = {
    // tag   name                            networks             value
    {0x0005, "dest_addr_subunit",            "GSM",               TlvValue::U8, kSubunits},
    {0x0006, "dest_network_type",            "Generic",           TlvValue::U8, kNetworkTypes},
    {0x0007, "dest_bearer_type",             "Generic",           TlvValue::U8, kBearerTypes},
    {0x0008, "dest_telematics_id",           "GSM",               TlvValue::U8},
    {0x000D, "source_addr_subunit",          "GSM",               TlvValue::U8, kSubunits},
    {0x000E, "source_network_type",          "Generic",           TlvValue::U8, kNetworkTypes},
    {0x000F, "source_bearer_type",           "Generic",           TlvValue::U8, kBearerTypes},
    {0x0010, "source_telematics_id",         "GSM",               TlvValue::U8},
    {0x0017, "qos_time_to_live",             "Generic",           TlvValue::U32},
    {0x0019, "payload_type",                 "Generic",           TlvValue::U8},
    {kTagAdditionalStatusInfoText, "additional_status_info_text", "Generic", TlvValue::Text},
    {kTagReceiptedMessageId, "receipted_message_id", "Generic",   TlvValue::Text},
    {0x0030, "ms_msg_wait_facilities",       "GSM",               TlvValue::U8},
    {0x0201, "privacy_indicator",            "CDMA,TDMA",         TlvValue::U8},
    {0x0202, "source_subaddress",            "CDMA,TDMA",         TlvValue::Octets},
    {0x0203, "dest_subaddress",              "CDMA,TDMA",         TlvValue::Octets},
    {0x0204, "user_message_reference",       "Generic",           TlvValue::U16},
    {0x0205, "user_response_code",           "CDMA,TDMA",         TlvValue::U8},
    {0x020A, "source_port",                  "Generic",           TlvValue::U16},
    {0x020B, "destination_port",             "Generic",           TlvValue::U16},
    {kTagSarMsgRefNum, "sar_msg_ref_num",    "Generic",           TlvValue::U16},
    {0x020D, "language_indicator",           "CDMA,TDMA",         TlvValue::U8},
    {kTagSarTotalSegments, "sar_total_segments", "Generic",       TlvValue::U8},
    {kTagSarSegmentSeqnum, "sar_segment_seqnum", "Generic",       TlvValue::U8},
    {0x0210, "SC_interface_version",         "Generic",           TlvValue::Version},
    {0x0302, "callback_num_pres_ind",        "TDMA",              TlvValue::U8},
    {0x0303, "callback_num_atag",            "TDMA",              TlvValue::Parts},
    {0x0304, "number_of_messages",           "CDMA",              TlvValue::U8},
    {0x0381, "callback_num",                 "CDMA,TDMA,GSM,iDEN", TlvValue::Parts},
    {kTagDpfResult, "dpf_result",            "Generic",           TlvValue::U8},
    {0x0421, "set_dpf",                      "Generic",           TlvValue::U8},
    {0x0422, "ms_availability_status",       "Generic",           TlvValue::U8},
    {kTagNetworkErrorCode, "network_error_code", "Generic",       TlvValue::Octets},
    {kTagMessagePayload, "message_payload",  "Generic",           TlvValue::Text},
    {kTagDeliveryFailureReason, "delivery_failure_reason", "Generic", TlvValue::U8},
    {0x0426, "more_messages_to_send",        "GSM",               TlvValue::U8},
    {kTagMessageState, "message_state",      "Generic",           TlvValue::U8, kMessageStates},
    {kTagCongestionState, "congestion_state", "Generic",          TlvValue::U8}, // SMPP 5.0, as are 0x0600 to 0x0613
    {0x0501, "ussd_service_op",              "GSM,USSD",          TlvValue::U8},
    {kTagBroadcastChannelIndicator, "broadcast_channel_indicator", "GSM", TlvValue::U8, kBroadcastChannels},
    {kTagBroadcastContentType, "broadcast_content_type", "CDMA,TDMA,GSM", TlvValue::Octets},
    {0x0602, "broadcast_content_type_info",  "CDMA,TDMA",         TlvValue::Octets},
    {kTagBroadcastMessageClass, "broadcast_message_class", "GSM", TlvValue::U8, kBroadcastMessageClasses},
    {kTagBroadcastRepNum, "broadcast_rep_num", "GSM",             TlvValue::Number}, // 2 octets; ESMEs send 1 or 3 too
    {kTagBroadcastFrequencyInterval, "broadcast_frequency_interval", "CDMA,TDMA,GSM", TlvValue::Octets},
    {kTagBroadcastAreaIdentifier, "broadcast_area_identifier", "CDMA,TDMA,GSM", TlvValue::Octets},
    {0x0607, "broadcast_error_status",       "CDMA,TDMA,GSM",     TlvValue::U32},
    {kTagBroadcastAreaSuccess, "broadcast_area_success", "GSM",   TlvValue::U8},
    {0x0609, "broadcast_end_time",           "CDMA,TDMA,GSM",     TlvValue::Text},
    {0x060A, "broadcast_service_group",      "CDMA,TDMA",         TlvValue::Octets},
    {0x060B, "billing_identification",       "Generic",           TlvValue::Octets},
    {0x060D, "source_network_id",            "Generic",           TlvValue::Text},
    {0x060E, "dest_network_id",              "Generic",           TlvValue::Text},
    {0x060F, "source_node_id",               "Generic",           TlvValue::Text},
    {0x0610, "dest_node_id",                 "Generic",           TlvValue::Text},
    {0x0611, "dest_addr_np_resolution",      "CDMA,TDMA",         TlvValue::U8, kNumberPortabilityResolutions},
    {0x0612, "dest_addr_np_information",     "CDMA,TDMA",         TlvValue::Octets},
    {0x0613, "dest_addr_np_country",         "CDMA,TDMA",         TlvValue::Octets}, // a five-octet number
    {0x1201, "display_time",                 "CDMA,TDMA",         TlvValue::U8},
    {0x1203, "sms_signal",                   "TDMA",              TlvValue::U16},
    {0x1204, "ms_validity",                  "CDMA,TDMA",         TlvValue::U8},
    {0x130C, "alert_on_message_delivery",    "CDMA",              TlvValue::None},
    {0x1380, "its_reply_type",               "CDMA",              TlvValue::U8},
    {0x1383, "its_session_info",             "CDMA",              TlvValue::Octets},
    // Not SMPP 3.4's: a charged number some Chinese SMSCs add, and the tag the range ends with. The
    // stray parenthesis is part of how the decoder has always shown them.
    {0x1738, "charge_number",                "",                  TlvValue::Text, {}, "计费号码)"},
    {0xFFFF, "reserved",                     "",                  TlvValue::Text, {}, "Reserved)"},
};

// nullptr for a tag without a row.
constexpr const Tlv* FindTlv(uint16_t tag) {
    for (const Tlv& tlv : kTlvs)
        if (tlv.tag == tag)
            return &tlv;
    return nullptr;
}
constexpr const Tlv* FindTlvByName(std::string_view name) {
    for (const Tlv& tlv : kTlvs)
        if (tlv.name == name)
            return &tlv;
    return nullptr;
}

// SMPP 5.0 brought congestion_state and the parameters from 0x0600 to 0x0613; SMPP 3.4 has the other rows that
// name their networks. The rows without networks are no standard's.
constexpr bool SinceSmpp50(uint16_t tag) { return tag == kTagCongestionState || (tag >= 0x0600 && tag <= 0x0613); }
constexpr bool IsStandard(const Tlv& tlv) { return !tlv.networks.empty(); }

namespace detail {
constexpr bool TlvsAreConsistent() {
    for (std::size_t i = 0; i < std::size(kTlvs); ++i) {
        const Tlv& t = kTlvs[i];
        if ((i > 0 && kTlvs[i - 1].tag >= t.tag) || FindTlvByName(t.name) != &kTlvs[i])
            return false;
        if (!t.names.empty() && (t.value != TlvValue::U8 || !Ascending(t.names)))
            return false;
        if (t.networks.empty() == t.label.empty())
            return false; // a row is shown as name(networks), or by its own label
    }
    return true;
}
} // namespace detail

static_assert(std::size(kTlvs) == 46 + 20 && detail::TlvsAreConsistent(),
              "tags ascending, names unique, names only on one-octet values");

} // namespace protocol::smpp
