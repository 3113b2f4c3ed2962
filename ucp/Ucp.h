// UCP/EMI (the ETSI/CMG SMSC protocol) for the server and the decoder, in one include.
//
// A server keeps the bytes a connection has buffered and asks CutFrame what they open with: NeedMore, a
// Frame of n octets, or Invalid with the octets to drop. Each frame goes to Parse; a refused one is
// answered, when its header was read, with BuildNack(trn, ot, result.Error()). Answers and the server's
// own operations (52 deliver, 53 notification) are made by Build and BuildAck, their message texts by
// EncodeAMsg, EncodeTMsg, XSerElementHex and PackAlphanumeric, their SCTS by FormatTime.
//
// A capture summarises a frame by PeekHeader (TRN, O or R, OT, EC) without a walk of its fields.
//
// A decoder calls Parse on a captured frame and shows each field as `FieldName = text` at its offset,
// a refused frame as its fault; the message texts through DecodeAMsg, DecodeTMsg, ParseXSer and, where
// OTOA is kOtoaAlphanumeric, UnpackAlphanumeric; OperationType names the OT and ErrorText an EC.
#pragma once

#include "ucp/Coding.h"
#include "ucp/Framing.h"
#include "ucp/Header.h"
#include "ucp/Message.h"
#include "ucp/Operations.h"
