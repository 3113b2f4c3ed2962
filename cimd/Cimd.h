// CIMD2 (the Nokia SMSC protocol) for the server and the decoder, in one include.
//
// A server keeps the bytes a connection has buffered and asks CutFrame what they open with: NeedMore, a
// Frame of n octets, or Invalid with the octets to drop. Each packet goes to Parse with Sender::Client; a
// refused one whose header was read is answered with Build(result.Answer(), number, ...): 99 NACK, or 98
// carrying 900 = error::kUnexpectedOperation. Responses (BuildResponse: the operation's code plus 50, the
// same packet number; 53 carries 060, the receipt key) and the server's own 20 and 23 (even numbers) are
// made by Build, their texts by EncodeUserData and ToHex, their time stamps by FormatTime.
//
// A decoder calls Parse on a captured packet and shows each parameter as `code name = value` at its offset,
// kParameters giving the name and how to read the value (033 through DecodeUserData), kOperations the
// operation, kErrorCodes and kStatusCodes the values of 900 and 061; a refused packet as its fault.
#pragma once

#include "cimd/Codes.h"
#include "cimd/Coding.h"
#include "cimd/Framing.h"
#include "cimd/Header.h"
#include "cimd/Packet.h"
