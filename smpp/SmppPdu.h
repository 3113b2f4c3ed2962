// SMPP 3.4 wire constants and the big-endian field access the server reads and writes PDUs with.
#pragma once

#include "engine/Wire.h"

#include <cstddef>
#include <cstdint>

namespace smpp {

constexpr int kHeaderSize = 16;
constexpr int kMaxPduSize = 10240;  // the receive buffer: a longer command_length is refused
constexpr int kResponseSize = 1024; // every response is built in a buffer of this size

// Header field offsets.
constexpr int kLengthOffset = 0;
constexpr int kIdOffset = 4;
constexpr int kStatusOffset = 8;
constexpr int kSequenceOffset = 12;

constexpr uint32_t kResponseBit = 0x80000000;

// command_id values of the 27 SMPP 3.4 commands.
constexpr uint32_t kGenericNack = 0x80000000;
constexpr uint32_t kBindReceiver = 0x00000001;
constexpr uint32_t kBindReceiverResp = 0x80000001;
constexpr uint32_t kBindTransmitter = 0x00000002;
constexpr uint32_t kBindTransmitterResp = 0x80000002;
constexpr uint32_t kQuerySm = 0x00000003;
constexpr uint32_t kQuerySmResp = 0x80000003;
constexpr uint32_t kSubmitSm = 0x00000004;
constexpr uint32_t kSubmitSmResp = 0x80000004;
constexpr uint32_t kDeliverSm = 0x00000005;
constexpr uint32_t kDeliverSmResp = 0x80000005;
constexpr uint32_t kUnbind = 0x00000006;
constexpr uint32_t kUnbindResp = 0x80000006;
constexpr uint32_t kReplaceSm = 0x00000007;
constexpr uint32_t kReplaceSmResp = 0x80000007;
constexpr uint32_t kCancelSm = 0x00000008;
constexpr uint32_t kCancelSmResp = 0x80000008;
constexpr uint32_t kBindTransceiver = 0x00000009;
constexpr uint32_t kBindTransceiverResp = 0x80000009;
constexpr uint32_t kOutbind = 0x0000000B;
constexpr uint32_t kEnquireLink = 0x00000015;
constexpr uint32_t kEnquireLinkResp = 0x80000015;
constexpr uint32_t kSubmitMulti = 0x00000021;
constexpr uint32_t kSubmitMultiResp = 0x80000021;
constexpr uint32_t kAlertNotification = 0x00000102;
constexpr uint32_t kDataSm = 0x00000103;
constexpr uint32_t kDataSmResp = 0x80000103;

// command_status values the server sends.
constexpr uint32_t kStatusOk = 0x00000000;               // ESME_ROK
constexpr uint32_t kStatusInvalidCommandLength = 0x00000002; // ESME_RINVCMDLEN
constexpr uint32_t kStatusInvalidCommandId = 0x00000003;     // ESME_RINVCMDID

// The one optional parameter the server writes: sc_interface_version 3.4 in every bind response.
constexpr uint16_t kTagScInterfaceVersion = 0x0210;
constexpr uint8_t kInterfaceVersion34 = 0x34;

// Longest text the server takes from a request: the connection name and the query_sm echo.
constexpr int kMaxSystemIdChars = 15;
constexpr int kMaxMessageIdChars = 64;
constexpr size_t kMaxFinalDateChars = 16;

// SMPP maximum octets of the string fields read from request bodies, NUL included.
constexpr int kServiceTypeOctets = 6;
constexpr int kShortAddressOctets = 21; // submit_sm, submit_multi, cancel_sm addresses
constexpr int kLongAddressOctets = 65;  // data_sm addresses
constexpr int kMessageIdOctets = 65;
constexpr int kTimeOctets = 17;
constexpr int kDistributionListOctets = 21;

// Sequence numbers of the PDUs the server starts run from 1 to this, then start again at 1.
constexpr uint32_t kMaxSequence = 0x7FFFFFFF;

// Filter indices under which the capture log files SMPP PDUs (a command's position plus 2).
constexpr int32_t kFilterUnknown = -1;
constexpr int32_t kFilterGenericNack = 2;

// The header and body fields are read and written octet by octet, never as host structures.
using wire::ReadBe32;
using wire::WriteBe16;
using wire::WriteBe32;

} // namespace smpp
