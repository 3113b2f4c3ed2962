// SMPP 3.4 optional parameter tags and esm_class bits that the servers, the router and the capture's
// analysis build or read; the decoder's tables name every tag for display.
#pragma once

#include <cstdint>

namespace protocol::smpp {

// Optional parameter tags.
inline constexpr uint16_t kTagReceiptedMessageId = 0x001E;
inline constexpr uint16_t kTagSarMsgRefNum = 0x020C;     // the parts' shared reference
inline constexpr uint16_t kTagSarTotalSegments = 0x020E; // how many parts
inline constexpr uint16_t kTagSarSegmentSeqnum = 0x020F; // this part's number, from 1
inline constexpr uint16_t kTagNetworkErrorCode = 0x0423;
inline constexpr uint16_t kTagMessagePayload = 0x0424;
inline constexpr uint16_t kTagMessageState = 0x0427;

// esm_class bits.
inline constexpr uint8_t kEsmClassReceipt = 0x04; // an SMSC delivery receipt
inline constexpr uint8_t kEsmClassUdhi = 0x40;    // the short message opens with a user data header

} // namespace protocol::smpp
