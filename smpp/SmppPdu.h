// SMPP 3.4 wire constants and the big-endian field access the server reads and writes PDUs with.
#pragma once

#include "protocol/PduHeader.h"
#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"
#include "wire/Cursor.h"
#include "wire/Writer.h"

#include <cstddef>
#include <cstdint>

namespace smpp {

constexpr int kHeaderSize = int(protocol::HeaderSizeOf(protocol::kSmpp));
constexpr int kMaxPduSize = 10240;  // the server's receive buffer: a longer command_length is refused
constexpr int kResponseSize = 1024; // every response is built in a buffer of this size

// Header field offsets.
constexpr int kLengthOffset = 0;
constexpr int kIdOffset = 4;
using protocol::smpp::kSequenceOffset;
using protocol::smpp::kStatusOffset;

using protocol::kResponseBit;
constexpr uint16_t kProtocolCode = protocol::kSmpp;

// command_id values of the 27 SMPP 3.4 commands: kSubmitSm and the rest, as the registry names them.
using namespace protocol::smpp;

// command_status values the server sends.
constexpr uint32_t kStatusOk = 0x00000000;               // ESME_ROK
constexpr uint32_t kStatusInvalidCommandLength = 0x00000002; // ESME_RINVCMDLEN
constexpr uint32_t kStatusInvalidCommandId = 0x00000003;     // ESME_RINVCMDID
constexpr uint32_t kStatusAlreadyBound = 0x00000005;         // ESME_RALYBND
constexpr uint32_t kStatusBindFailed = 0x0000000D;           // ESME_RBINDFAIL
constexpr uint32_t kStatusInvalidPassword = 0x0000000E;      // ESME_RINVPASWD
constexpr uint32_t kStatusInvalidSystemId = 0x0000000F;      // ESME_RINVSYSID
constexpr uint32_t kStatusQueueFull = 0x00000014;            // ESME_RMSGQFUL

// The optional parameter every bind response carries to a session above 3.3: the highest version served.
constexpr uint16_t kTagScInterfaceVersion = 0x0210;

// Longest text the server takes from a request: the connection name, the query_sm echo and a
// bind's address_range, none of which needs its NUL.
constexpr int kMaxSystemIdChars = 15;
constexpr int kMaxMessageIdChars = 64;
constexpr size_t kMaxFinalDateChars = 16;
constexpr int kMaxAddressRangeChars = 40;

// SMPP maximum octets of the string fields read from request bodies, NUL included.
constexpr int kSystemIdOctets = 16;
constexpr int kPasswordOctets = 9;
constexpr int kSystemTypeOctets = 13;
constexpr int kServiceTypeOctets = 6;
constexpr int kShortAddressOctets = 21; // submit_sm, submit_multi, cancel_sm addresses
constexpr int kLongAddressOctets = 65;  // data_sm addresses
constexpr int kMessageIdOctets = 65;
constexpr int kTimeOctets = 17;
constexpr int kDistributionListOctets = 21;

// Sequence numbers of the PDUs the server starts run from 1 to this, then start again at 1.
constexpr uint32_t kMaxSequence = 0x7FFFFFFF;

// Filter indices under which the capture log files SMPP PDUs.
constexpr int32_t kFilterUnknown = protocol::filter::kUnknown;
constexpr int32_t kFilterGenericNack = FilterIndexOf(kGenericNack);

// The header and body fields are read and written octet by octet, never as host structures.
using wire::ReadBe32;
using wire::WriteBe16;
using wire::WriteBe32;

} // namespace smpp
