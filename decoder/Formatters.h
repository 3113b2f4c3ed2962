// Formatters that turn the bytes of one field into the text behind its label on a decode line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "decoder/tables/TableIds.h"

class NameIndex;

// Every formatter takes its bytes with an explicit count of readable bytes and reads nothing
// past it: a value that needs more bytes than are there reads the missing ones as absent (zero
// for numbers, end of text for texts). All output is UTF-8; text from the wire is GBK.
// The Append* forms write into an existing string so that a decode builds each line in place.

// "%03d.%03d.%03d.%03d", most significant byte first: 0x7F000001 gives 127.000.000.001.
std::string FormatIpv4(uint32_t address);
void AppendIpv4(std::string& out, uint32_t address);

// Seconds since 1970 as local time, "%Y-%m-%d %H:%M:%S": how every time is shown to the user.
std::string FormatLocalTime(int64_t secondsSince1970);
void AppendLocalTime(std::string& out, int64_t secondsSince1970);

// Two upper-case hex digits per byte, no separators.
std::string FormatHex(const uint8_t* bytes, int32_t count);
void AppendHex(std::string& out, const uint8_t* bytes, int32_t count);

// Eight '0'/'1' characters, most significant bit first.
std::string FormatBits(uint8_t value);
void AppendBits(std::string& out, uint8_t value);

// The 8-byte CMPP Msg_Id as 22 digits: month, day, hour, minute, second, gateway code, sequence.
std::string FormatCmppMsgId(const uint8_t* bytes, int32_t available);
void AppendCmppMsgId(std::string& out, const uint8_t* bytes, int32_t available);

// Content whose coding is no text shows as its octets in hex with the coding named beside them,
// " (name)"; a coding without a rule is named "Unknown data_coding，can't parse!".
void AppendOctetContent(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding);

// Message content of the gateway and TEST protocols by data coding (0..255; -1: no data coding seen).
std::string FormatShortMessage(const uint8_t* bytes, int32_t width, int32_t dataCoding);
void AppendShortMessage(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding);

// Text in which every octet is one character: ASCII (other octets as \xNN) and Latin-1 (as UTF-8).
// Control characters show as \xNN; nothing stops at a NUL.
void AppendAsciiText(std::string& out, const uint8_t* bytes, int32_t width);
void AppendLatin1Text(std::string& out, const uint8_t* bytes, int32_t width);

// What an SMSC means by data_coding 0. ESMEs mean GSM 03.38; a few SMSCs mean ASCII or Latin-1.
enum class DefaultAlphabet { Gsm, Ascii, Latin1 };
// The setting's value ("gsm", "ascii", "latin1"), nothing for another text.
std::optional<DefaultAlphabet> DefaultAlphabetNamed(std::string_view name);

// A number's digits as TBCD: two a octet, low nibble first, 0xA-0xE as * # a b c; the filler 0xF is left out.
void AppendTbcd(std::string& out, const uint8_t* bytes, int32_t width);

// Septets one per octet (GSM 03.38 unpacked), the extension table after an escape; an octet
// above 0x7F, a lone escape at the end and the control characters LF, CR and page break show as \xNN.
void AppendGsmText(std::string& out, const uint8_t* bytes, int32_t width);

// How SMPP content of a data coding reads: 0 in the default alphabet the SMSC means, 0xF0-0xF3 (GSM
// message class control, bit 2 clear) in GSM 03.38, 1 (and no data coding) ASCII, 3 Latin-1, 15 GBK,
// 8 UCS-2, 2 and 4 as octets; any other as octets with the coding named beside them.
enum class SmppText { Gsm, Ascii, Latin1, Gbk, Ucs2, Octets, Named };
SmppText SmppTextOf(int32_t dataCoding, DefaultAlphabet alphabet);
// `width` octets read as `text` says; dataCoding names the coding of a Named text.
void AppendSmppText(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding, SmppText text);

// Message content of SMPP by data coding, as SmppTextOf reads it; a data coding 0 read with another
// alphabet than GSM says which.
std::string FormatSmppShortMessage(const uint8_t* bytes, int32_t width, int32_t dataCoding,
                                   DefaultAlphabet alphabet = DefaultAlphabet::Gsm);
void AppendSmppShortMessage(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding,
                            DefaultAlphabet alphabet = DefaultAlphabet::Gsm);

// width / 2 big-endian UCS-2 code units (a trailing odd byte is ignored) as UTF-8, ending at a
// U+0000 unit. A surrogate pair becomes its character; an unpaired surrogate becomes U+FFFD;
// a control character (C0, DEL, C1) becomes \xNN.
std::string DecodeUcs2(const uint8_t* bytes, int32_t width);
void AppendUcs2(std::string& out, const uint8_t* bytes, int32_t width);

// A CMPP status report carried as message content; the layouts differ in the destination width.
enum class CmppReportLayout { Cmpp2, Cmpp3 };
std::string FormatCmppReport(const uint8_t* bytes, int32_t available, CmppReportLayout layout);
void AppendCmppReport(std::string& out, const uint8_t* bytes, int32_t available, CmppReportLayout layout);

// An SMGP status report: "id:" then 20 hex digits of the 10-byte message id, then its text.
std::string FormatSmgpReport(const uint8_t* bytes, int32_t available);
void AppendSmgpReport(std::string& out, const uint8_t* bytes, int32_t available);

// " (Receipt=%s; SME Ack=%s; Intermediate=%s)" for an SMPP registered_delivery read bit by bit:
// bits 0-1, 2-3 and 4, and a note when a bit above them is set.
void AppendRegisteredDeliveryBits(std::string& out, const NameIndex& names, uint8_t value);

// Whether the descriptor is one of the SMPP esm_class fields whose suffix FormatEsmClass makes.
constexpr bool IsEsmClassField(int32_t descriptorId) {
    using namespace decode_ids;
    return descriptorId == kSubmitSmEsmClass || descriptorId == kDeliverSmEsmClass ||
           descriptorId == kSubmitMultiEsmClass || descriptorId == kDataSmEsmClass;
}
// " (GSM=%s; Type=%s; Mode=%s)" for an SMPP esm_class; the deliver_sm field (1980) uses the
// delivered-message names, the others the submitted-message names. Empty for other ids.
std::string FormatEsmClass(const NameIndex& names, int32_t descriptorId, uint8_t esmClass);
void AppendEsmClass(std::string& out, const NameIndex& names, int32_t descriptorId, uint8_t esmClass);

// One SMGP 3.0 TLV (tag, length, value) as "name = value".
std::string FormatSmgp3Tlv(const NameIndex& names, const uint8_t* bytes, int32_t available);
void AppendSmgp3Tlv(std::string& out, const NameIndex& names, const uint8_t* bytes, int32_t available);

// One SMPP optional parameter (tag, length, value) as "name = value"; a tag without a name
// shows as 未知(0xTTTT) and its value in hex; a message_state value carries its name.
std::string FormatSmppTlv(const uint8_t* bytes, int32_t available);
// The name part alone: the table's name, or 未知(0xTTTT).
void AppendSmppTlvName(std::string& out, uint16_t tag);
void AppendSmppTlv(std::string& out, const uint8_t* bytes, int32_t available);
