// Which version of CMPP or SMGP a captured PDU shows, read with the field widths of the decode tables.
#pragma once

#include <cstdint>

namespace protocol_version {

// 2 or 3 when the PDU says which version its connection speaks, 13 for SMGP 1.x (a SUBMIT without FixedFee):
// a CMPP CONNECT or an SMGP Login or Login_Resp by its version octet (once the whole body is in), a CMPP response by a body length that only
// one version's layout has; 0 when it cannot tell. family: the 2.0 code (protocol::kCmpp or kSmgp); any
// other tells nothing. pdu: the whole PDU of length octets, header included.
int Shown(uint16_t family, const uint8_t* pdu, uint32_t length);

// For a SUBMIT, DELIVER or CMPP FWD of a connection that has not said its version: the version whose fields end
// exactly at the PDU's length, read from its own count and length octets (2.0 also by the older layout its
// rows offer, an SMGP 1.3 client's SUBMIT); 0 when neither does, or when both do and differ in more than
// SMGP 3.0's trailing TLVs (without them, SMGP reads as 2).
int ByLength(uint16_t family, const uint8_t* pdu, uint32_t length);

} // namespace protocol_version
