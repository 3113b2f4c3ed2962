// The ids of descriptors, name categories and code tables that code (not a table row) refers to.
#pragma once

#include <cstdint>

namespace decode_ids {

// Code tables that name a "0x%08X (name)" field.
inline constexpr int32_t kProtocolCodes = 6;
inline constexpr int32_t kCmppCommands = 12;
inline constexpr int32_t kCmpp3Commands = 1012; // repeats table 12
inline constexpr int32_t kTestCommands = 182;
inline constexpr int32_t kSmgpCommands = 298;
inline constexpr int32_t kSmgp3Commands = 2298; // repeats table 298
inline constexpr int32_t kSmgp13Commands = 1298; // repeats table 298, SUBMIT in the 1.3 layout
inline constexpr int32_t kSgipCommands = 1302;
inline constexpr int32_t kCngpCommands = 1702;
inline constexpr int32_t kSmppCommands = 1892;
inline constexpr int32_t kUcpCommands = 3011; // no row of its own: UCP frames are read by their codec
inline constexpr int32_t kCimdCommands = 3012; // no row of its own: CIMD2 packets are read by their codec

// The SMPP esm_class fields, whose suffix is the GSM / Type / Mode breakdown.
inline constexpr int32_t kSubmitSmEsmClass = 1948;
inline constexpr int32_t kDeliverSmEsmClass = 1980;
inline constexpr int32_t kSubmitMultiEsmClass = 2187;
inline constexpr int32_t kDataSmEsmClass = 2218;

// esm_class parts: messaging mode, message type and GSM features, of submitted and of delivered messages.
inline constexpr int32_t kSubmittedMode = 2650;
inline constexpr int32_t kSubmittedType = 2651;
inline constexpr int32_t kSubmittedGsm = 2652;
inline constexpr int32_t kDeliveredMode = 2653;
inline constexpr int32_t kDeliveredType = 2654;
inline constexpr int32_t kDeliveredGsm = 2655;

// registered_delivery names of submitted messages (submit_sm, submit_multi, data_sm) and of
// deliver_sm; a value without a row of its own is named bit by bit from the three lists after.
inline constexpr int32_t kSubmittedRegisteredDelivery = 1954;
inline constexpr int32_t kDeliveredRegisteredDelivery = 1985;
inline constexpr int32_t kReceiptBits = 2660;       // bits 0-1
inline constexpr int32_t kAcknowledgementBits = 2661; // bits 2-3
inline constexpr int32_t kIntermediateBit = 2662;   // bit 4

// Message content that TLVs follow, after 8 reserved octets (SMGP 3.0, and the SUBMIT of an SMGP 1.3
// client): whether it opens with a user data header is said by a TP_udhi TLV among them.
inline constexpr int32_t kContentBeforeTlvs[] = {
    2515, // SMGP 3.0 SUBMIT
    2610, // SMGP 3.0 DELIVER
    535,  // SMGP 1.3 SUBMIT
};

// Name lists that the parts of SMPP's structured optional parameters show their values with (SmppTlvParts).
inline constexpr int32_t kTypesOfNumber = 1942;
inline constexpr int32_t kNumberingPlans = 1943;
inline constexpr int32_t kDataCodings = 1956;
inline constexpr int32_t kDigitModes = 2670; // callback_num's digit mode indicator

// Name lists that the SMGP 3.0 TLVs show their values with (Smgp3TlvValueRules).
inline constexpr int32_t kSmgpFeeUserType = 1067;
inline constexpr int32_t kSmgpNumberType = 1069;
inline constexpr int32_t kSmgpSpMessageType = 30004;
inline constexpr int32_t kSmgpSpResult = 30005;

// The field that says how a request went, in every answer of the gateway and TEST protocols that has
// one (a result or status in the body; CNGP's command status in its header). An answer's status is
// the first of these its decode shows.
inline constexpr int32_t kResponseStatusFields[] = {
    31,   102,  162,  284,        // CMPP 2.0: connect, submit, deliver, forward
    1031, 1102, 1162, 1254,       // CMPP 3.0
    201,  223,  241,              // TEST: login, submit, deliver
    401,  552,  616,  651,        // SMGP 2.0: login, submit, deliver, transaction
    2401, 2552, 2616,             // SMGP 3.0
    1331, 1370, 1395, 1411,       // SGIP: bind, submit, deliver, report
    1703,                         // CNGP header
};

// The TEST submit's content: plain text, so of no content kind.
inline constexpr int32_t kTestSubmitContent = 220;

} // namespace decode_ids
