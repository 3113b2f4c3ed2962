// Builds the bodies of server-started PDUs and encodes composer text.
#include "smpp/DeliverPdu.h"

#include "protocol/DataCoding.h"
#include "protocol/SmppFields.h"
#include "protocol/GsmAlphabet.h"
#include "smpp/SmppPdu.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>

namespace smpp {

namespace {

// data_coding values with an encoding of their own; every other value is sent as ASCII.
enum class Coding : uint8_t { Ascii, Gsm, Latin1, Ucs2, Gbk, Raw };

const char* NameOf(Coding coding) {
    switch (coding) {
    case Coding::Gsm: return "the GSM 7-bit alphabet";
    case Coding::Latin1: return "Latin-1";
    case Coding::Ucs2: return "UCS-2";
    case Coding::Gbk: return "GBK";
    case Coding::Ascii:
    case Coding::Raw: break;
    }
    return "ASCII";
}

Coding CodingOf(uint8_t dataCoding) {
    switch (dataCoding) {
    case protocol::data_coding::kLatin1: return Coding::Latin1;
    case protocol::data_coding::kBinary: return Coding::Raw;
    case protocol::data_coding::kUcs2: return Coding::Ucs2;
    case protocol::data_coding::kGbk: return Coding::Gbk;
    default: return Coding::Ascii;
    }
}

// One character of UTF-8 text: its code point (or kInvalid for a byte that starts none) and its
// octets.
constexpr uint32_t kInvalid = 0xFFFFFFFF;
struct Utf8Char {
    uint32_t codePoint;
    std::size_t length;
};

Utf8Char NextChar(std::string_view text, std::size_t at) {
    const auto octet = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = octet(at);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    uint32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) { length = 2; cp = lead & 0x1Fu; }
    else if ((lead & 0xF0) == 0xE0) { length = 3; cp = lead & 0x0Fu; }
    else if ((lead & 0xF8) == 0xF0) { length = 4; cp = lead & 0x07u; }
    else return {kInvalid, 1};
    if (at + length > text.size())
        return {kInvalid, 1};
    for (std::size_t i = 1; i < length; ++i) {
        if ((octet(at + i) & 0xC0) != 0x80)
            return {kInvalid, 1};
        cp = cp << 6 | (octet(at + i) & 0x3Fu);
    }
    return {cp, length};
}

// UTF-8 to GBK one character at a time, so that a character GBK lacks becomes one '?'.
class GbkEncoder {
public:
    GbkEncoder() : m_cd(iconv_open("GBK", "UTF-8")) {}
    ~GbkEncoder() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    GbkEncoder(const GbkEncoder&) = delete;
    GbkEncoder& operator=(const GbkEncoder&) = delete;

    // The GBK octets of one UTF-8 character, empty when GBK has none.
    std::string Encode(std::string_view utf8Char) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return {};
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char out[8];
        char* src = const_cast<char*>(utf8Char.data());
        std::size_t left = utf8Char.size();
        char* dst = out;
        std::size_t room = sizeof out;
        if (iconv(m_cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0)
            return {};
        return std::string(out, static_cast<std::size_t>(dst - out));
    }

private:
    iconv_t m_cd;
};

// The septets of one character in the GSM 7-bit alphabet: one, or the escape and one; empty when the
// alphabet lacks it. The escape itself is no character of its own.
std::string GsmSeptets(uint32_t codePoint) {
    using namespace protocol::gsm;
    for (uint8_t septet = 0; septet < std::size(GsmDefaultAlphabet); ++septet) {
        if (septet != kGsmEscape && GsmDefaultAlphabet[septet] == codePoint)
            return std::string(1, static_cast<char>(septet));
    }
    for (const GsmExtension& e : GsmExtensionTable) {
        if (e.character == codePoint)
            return {static_cast<char>(kGsmEscape), static_cast<char>(e.septet)};
    }
    return {};
}

// Every coding's text, cut to at most maxOctets on a whole character. A character the coding lacks
// becomes '?', or is refused when refuse is set: then the result names it and holds no octets.
EncodedText Encode(std::string_view utf8, Coding coding, std::size_t maxOctets, bool refuse) {
    GbkEncoder gbk;
    EncodedText out;
    std::string encoded;
    for (std::size_t at = 0; at < utf8.size();) {
        const Utf8Char c = NextChar(utf8, at);
        const std::string_view octets = utf8.substr(at, c.length);
        at += c.length;
        encoded.clear();
        switch (coding) {
        case Coding::Raw:
            encoded = octets;
            break;
        case Coding::Ascii:
            if (c.codePoint < 0x80)
                encoded = static_cast<char>(c.codePoint);
            break;
        case Coding::Gsm:
            encoded = GsmSeptets(c.codePoint);
            break;
        case Coding::Latin1:
            if (c.codePoint < 0x100)
                encoded = static_cast<char>(c.codePoint);
            break;
        case Coding::Ucs2:
            if (c.codePoint < 0x10000 && (c.codePoint < 0xD800 || c.codePoint > 0xDFFF)) {
                encoded += static_cast<char>(c.codePoint >> 8);
                encoded += static_cast<char>(c.codePoint & 0xFF);
            }
            break;
        case Coding::Gbk:
            // ASCII is itself in GBK; only the rest needs the converter.
            if (c.codePoint < 0x80)
                encoded = octets;
            else if (c.codePoint != kInvalid)
                encoded = gbk.Encode(octets);
            break;
        }
        if (encoded.empty()) {
            if (refuse) {
                char name[64];
                if (c.codePoint == kInvalid)
                    std::snprintf(name, sizeof name, "octet 0x%02X", static_cast<uint8_t>(octets.front()));
                else
                    std::snprintf(name, sizeof name, "'%.*s' (U+%04X)", static_cast<int>(octets.size()), octets.data(),
                                  static_cast<unsigned>(c.codePoint));
                return {{}, std::string(name) + " is not in " + NameOf(coding)};
            }
            encoded = coding == Coding::Ucs2 ? std::string{'\0', '?'} : std::string(1, '?');
        }
        if (out.octets.size() + encoded.size() > maxOctets)
            break;
        out.octets.insert(out.octets.end(), encoded.begin(), encoded.end());
    }
    return out;
}

} // namespace

std::vector<uint8_t> EncodeText(std::string_view utf8, uint8_t dataCoding, std::size_t maxOctets) {
    return Encode(utf8, CodingOf(dataCoding), maxOctets, false).octets;
}

// No coding takes more than two octets for one of UTF-8: UCS-2 for ASCII, GSM's escapes.
EncodedText EncodeMessage(std::string_view utf8, uint8_t dataCoding) {
    const Coding coding = dataCoding == protocol::data_coding::kDefault ? Coding::Gsm : CodingOf(dataCoding);
    return Encode(utf8, coding, utf8.size() * 2, coding == Coding::Gsm);
}

EncodedText EncodePhoneText(std::string_view utf8, uint8_t format) {
    return Encode(utf8, CodingOf(format), utf8.size() * 2, true);
}

void WriteDeliverSmBody(const DeliverFields& fields, std::vector<uint8_t>& out) {
    out.clear();
    wire::Writer body(out);
    WriteMessageBody(kDeliverSm, fields, body);
}

void WriteDataSmBody(const DeliverFields& fields, std::vector<uint8_t>& out) {
    out.clear();
    wire::Writer body(out);
    WriteMessageBody(kDataSm, fields, body);
}

std::vector<uint8_t> DeliverSmBody(const DeliverFields& fields) {
    std::vector<uint8_t> body;
    WriteDeliverSmBody(fields, body);
    return body;
}

std::vector<uint8_t> DataSmBody(const DeliverFields& fields) {
    std::vector<uint8_t> body;
    WriteDataSmBody(fields, body);
    return body;
}

std::vector<uint8_t> AlertNotificationBody(const DeliverFields& f) {
    std::vector<uint8_t> out;
    {
        wire::Writer body(out);
        const std::size_t address = std::size_t(kLongAddressOctets - 1);
        body.U8(f.sourceTon).U8(f.sourceNpi).CString(f.sourceAddr, address)
            .U8(f.destTon).U8(f.destNpi).CString(f.destAddr, address);
        for (const Tlv& tlv : f.tlvs)
            body.Tlv(tlv.tag, tlv.value);
    } // the writer cuts out to what it wrote
    return out;
}

} // namespace smpp
