// Formatters that turn the bytes of one field into the text behind its label on a decode line.
#include "decoder/Formatters.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>

#include "decoder/RecordCursor.h"
#include "decoder/GbkText.h"
#include "decoder/NameIndex.h"
#include "decoder/TextAppend.h"
#include "decoder/tables/TableIds.h"
#include "decoder/tables/TlvNames.h"
#include "protocol/GsmAlphabet.h"
#include "protocol/SmppTlvs.h"

namespace {

using namespace protocol::gsm;

constexpr const char* kUnknownCoding = "Unknown data_coding，can't parse!";

// Codings whose content is octets, not text, and the name shown beside their hex.
struct OctetCoding {
    int32_t coding;
    const char* name;
};
constexpr OctetCoding kOctetCodings[] = {
    {0x03, "短信写卡操作!"},
    {0x04, "二进制信息!"},
    {0xF4, "8-bit data, class 0"},
    {0xF5, "8-bit data, class 1"},
    {0xF6, "8-bit data, class 2: SIM data download"},
    {0xF7, "8-bit data, class 3"},
};

// The name that says which alphabet read data_coding 0, shown only when it is not GSM.
constexpr struct {
    DefaultAlphabet alphabet;
    const char* setting;
    const char* shown;
} kDefaultAlphabets[] = {
    {DefaultAlphabet::Gsm, "gsm", ""},
    {DefaultAlphabet::Ascii, "ascii", " (default alphabet read as ASCII)"},
    {DefaultAlphabet::Latin1, "latin1", " (default alphabet read as Latin-1)"},
};

// SMPP data codings with a rule of their own besides the default alphabet, UCS-2 and GB2312.
constexpr int32_t kNoDataCoding = -1; // the PDU has no data_coding field
constexpr int32_t kSmppDefaultAlphabet = 0;
constexpr int32_t kSmppIa5 = 1;
constexpr int32_t kSmppOctets = 2;
constexpr int32_t kSmppLatin1 = 3;
constexpr int32_t kSmppOctetsToo = 4;
constexpr int32_t kGsmClassControl = 0xF0;  // the coding group 1111xxxx
constexpr int32_t kGsmClassReserved = 0x08; // its bit 3
constexpr int32_t kGsmClassEightBit = 0x04; // its bit 2, clear for the GSM default alphabet

constexpr bool IsGsmClassControl(int32_t dataCoding) {
    return dataCoding >= 0 && (dataCoding & kGsmClassControl) == kGsmClassControl;
}

// Text of at most `count` bytes at `at` within the readable run, ending early at a NUL.
void AppendTextAt(std::string& out, const uint8_t* bytes, int32_t available, int32_t at, int32_t count) {
    if (!bytes || at < 0 || at >= available || count <= 0) return;
    AppendGbkText(out, bytes + at, std::min(count, available - at));
}

void AppendNamedSuffix(std::string& out, const NameIndex& names, int32_t category, int32_t value) {
    const std::string_view name = names.FindValueName(category, value);
    if (name.empty()) return;
    out.append(" (").append(name).push_back(')');
}

template <typename AppendFn, typename... Args>
std::string Formatted(AppendFn append, Args... args) {
    std::string out;
    append(out, args...);
    return out;
}

} // namespace

void AppendIpv4(std::string& out, uint32_t address) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        AppendPadded(out, (address >> shift) & 0xFF, 3);
        if (shift) out.push_back('.');
    }
}

std::string FormatLocalTime(int64_t secondsSince1970) {
    std::string out;
    AppendLocalTime(out, secondsSince1970);
    return out;
}

void AppendLocalTime(std::string& out, int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    if (!localtime_r(&time, &local))
        return;
    char buffer[32];
    const size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    out.append(buffer, n);
}

std::string FormatIpv4(uint32_t address) { return Formatted(AppendIpv4, address); }

void AppendHex(std::string& out, const uint8_t* bytes, int32_t count) {
    for (int32_t i = 0; bytes && i < count; ++i) AppendHexDigits(out, bytes[i], 2);
}
std::string FormatHex(const uint8_t* bytes, int32_t count) { return Formatted(AppendHex, bytes, count); }

void AppendBits(std::string& out, uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) out.push_back((value >> bit) & 1 ? '1' : '0');
}
std::string FormatBits(uint8_t value) { return Formatted(AppendBits, value); }

void AppendCmppMsgId(std::string& out, const uint8_t* bytes, int32_t available) {
    uint8_t id[8] = {};
    if (bytes && available > 0) std::memcpy(id, bytes, static_cast<size_t>(std::min(available, 8)));
    const wire::Cursor reader(id, sizeof id);
    const uint32_t w0 = reader.At(0).U32();
    const uint32_t w1 = reader.At(3).U32();
    const uint32_t w2 = reader.At(4).U32();
    AppendPadded(out, (w0 & 0xF0000000) >> 28, 2); // month
    AppendPadded(out, (w0 & 0x0F800000) >> 23, 2); // day
    AppendPadded(out, (w0 & 0x007C0000) >> 18, 2); // hour
    AppendPadded(out, (w0 & 0x0003F000) >> 12, 2); // minute
    AppendPadded(out, (w0 & 0x00000FC0) >> 6, 2);  // second
    AppendPadded(out, (w1 & 0x3FFFFF00) >> 8, 7);  // gateway code
    AppendPadded(out, w2 & 0xFFFF, 5);             // sequence
}
std::string FormatCmppMsgId(const uint8_t* bytes, int32_t available) {
    return Formatted(AppendCmppMsgId, bytes, available);
}

void AppendUcs2(std::string& out, const uint8_t* bytes, int32_t width) {
    if (!bytes || width < 2) return;
    const int32_t units = width / 2;
    for (int32_t i = 0; i < units; ++i) {
        const uint32_t unit = static_cast<uint32_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const uint32_t low = static_cast<uint32_t>(bytes[2 * i + 2] << 8 | bytes[2 * i + 3]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (IsControl(unit) || (unit >= 0x80 && unit < 0xA0)) {
            AppendEscaped(out, static_cast<uint8_t>(unit)); // a control character never reaches a line
            continue;
        }
        AppendUtf8(out, unit); // an unpaired surrogate comes out as U+FFFD
    }
}
std::string DecodeUcs2(const uint8_t* bytes, int32_t width) { return Formatted(AppendUcs2, bytes, width); }

void AppendOctetContent(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding) {
    // Bit 3 of a GSM message class control coding is reserved: 0xFC reads as 0xF4.
    const int32_t coding = IsGsmClassControl(dataCoding) ? dataCoding & ~kGsmClassReserved : dataCoding;
    const auto named = std::find_if(std::begin(kOctetCodings), std::end(kOctetCodings),
                                    [coding](const OctetCoding& row) { return row.coding == coding; });
    AppendHex(out, bytes, width);
    out.append(" (").append(named == std::end(kOctetCodings) ? kUnknownCoding : named->name).push_back(')');
}

void AppendShortMessage(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding) {
    switch (dataCoding) {
    case 0:
    case 15: AppendGbkText(out, bytes, width); break;
    case 8: AppendUcs2(out, bytes, width); break;
    default: AppendOctetContent(out, bytes, width, dataCoding); break;
    }
}
std::string FormatShortMessage(const uint8_t* bytes, int32_t width, int32_t dataCoding) {
    return Formatted(AppendShortMessage, bytes, width, dataCoding);
}

void AppendAsciiText(std::string& out, const uint8_t* bytes, int32_t width) {
    for (int32_t i = 0; bytes && i < width; ++i) {
        if (bytes[i] >= 0x80 || IsControl(bytes[i])) AppendEscaped(out, bytes[i]);
        else out.push_back(static_cast<char>(bytes[i]));
    }
}

void AppendLatin1Text(std::string& out, const uint8_t* bytes, int32_t width) {
    for (int32_t i = 0; bytes && i < width; ++i) {
        if (IsControl(bytes[i]) || (bytes[i] >= 0x80 && bytes[i] < 0xA0)) AppendEscaped(out, bytes[i]);
        else AppendUtf8(out, bytes[i]);
    }
}

std::optional<DefaultAlphabet> DefaultAlphabetNamed(std::string_view name) {
    for (const auto& row : kDefaultAlphabets)
        if (name == row.setting) return row.alphabet;
    return std::nullopt;
}

void AppendTbcd(std::string& out, const uint8_t* bytes, int32_t width) {
    static constexpr char kDigits[] = "0123456789*#abc";
    constexpr uint8_t kFiller = 0xF;
    for (int32_t i = 0; bytes && i < width; ++i)
        for (const uint8_t nibble : {uint8_t(bytes[i] & 0xF), uint8_t(bytes[i] >> 4)})
            if (nibble != kFiller) out.push_back(kDigits[nibble]);
}

void AppendGsmText(std::string& out, const uint8_t* bytes, int32_t width) {
    for (int32_t i = 0; bytes && i < width; ++i) {
        const uint8_t septet = bytes[i];
        // An escape needs a septet after it; without one it shows as the octet it is.
        const bool escaped = septet == kGsmEscape && i + 1 < width && bytes[i + 1] <= 0x7F;
        if (septet > 0x7F || (septet == kGsmEscape && !escaped)) {
            AppendEscaped(out, septet);
            continue;
        }
        char32_t c = GsmDefaultAlphabet[septet];
        if (escaped) {
            const uint8_t extended = bytes[++i];
            const auto row = std::find_if(std::begin(GsmExtensionTable), std::end(GsmExtensionTable),
                                          [extended](const GsmExtension& e) { return e.septet == extended; });
            // A septet the extension table does not hold reads as in the main table.
            c = row != std::end(GsmExtensionTable) ? row->character : GsmDefaultAlphabet[extended];
        }
        if (IsControl(c)) AppendEscaped(out, static_cast<uint8_t>(c)); // LF, CR, page break
        else AppendUtf8(out, c);
    }
}

SmppText SmppTextOf(int32_t dataCoding, DefaultAlphabet alphabet) {
    // 1111xxxx is GSM message class control: bit 2 clear says the GSM default alphabet, set says 8-bit data.
    if (IsGsmClassControl(dataCoding))
        return (dataCoding & kGsmClassEightBit) ? SmppText::Named : SmppText::Gsm;
    switch (dataCoding) {
    case kNoDataCoding: // replace_sm carries no data_coding: its text is read as plain ASCII
    case kSmppIa5: return SmppText::Ascii;
    case kSmppLatin1: return SmppText::Latin1;
    case kSmppOctets:
    case kSmppOctetsToo: return SmppText::Octets;
    case kSmppDefaultAlphabet:
        return alphabet == DefaultAlphabet::Ascii ? SmppText::Ascii
               : alphabet == DefaultAlphabet::Latin1 ? SmppText::Latin1
                                                     : SmppText::Gsm;
    case 15: return SmppText::Gbk;
    case 8: return SmppText::Ucs2;
    default: return SmppText::Named;
    }
}

void AppendSmppText(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding, SmppText text) {
    switch (text) {
    // sm_length counts every octet: in GSM 03.38 an octet 0x00 is '@', never the end of the text.
    case SmppText::Gsm: AppendGsmText(out, bytes, width); break;
    case SmppText::Ascii: AppendAsciiText(out, bytes, width); break;
    case SmppText::Latin1: AppendLatin1Text(out, bytes, width); break;
    case SmppText::Gbk: AppendGbkText(out, bytes, width); break;
    case SmppText::Ucs2: AppendUcs2(out, bytes, width); break;
    case SmppText::Octets: AppendHex(out, bytes, width); break;
    case SmppText::Named: AppendOctetContent(out, bytes, width, dataCoding); break;
    }
}

void AppendSmppShortMessage(std::string& out, const uint8_t* bytes, int32_t width, int32_t dataCoding,
                            DefaultAlphabet alphabet) {
    AppendSmppText(out, bytes, width, dataCoding, SmppTextOf(dataCoding, alphabet));
    if (dataCoding != kSmppDefaultAlphabet) return;
    for (const auto& row : kDefaultAlphabets)
        if (row.alphabet == alphabet) out.append(row.shown);
}
std::string FormatSmppShortMessage(const uint8_t* bytes, int32_t width, int32_t dataCoding, DefaultAlphabet alphabet) {
    std::string out;
    AppendSmppShortMessage(out, bytes, width, dataCoding, alphabet);
    return out;
}

void AppendCmppReport(std::string& out, const uint8_t* bytes, int32_t available, CmppReportLayout layout) {
    const bool cmpp3 = layout == CmppReportLayout::Cmpp3;
    const int32_t destWidth = cmpp3 ? 32 : 21;
    const int32_t smscAt = cmpp3 ? 67 : 56;
    out.append("信息标识 = ");
    AppendCmppMsgId(out, bytes, available);
    out.append(", 结果 = ");
    AppendTextAt(out, bytes, available, 8, 7);
    out.append(", 提交时间 = ");
    AppendTextAt(out, bytes, available, 15, 10);
    out.append(", 完成时间 = ");
    AppendTextAt(out, bytes, available, 25, 10);
    out.append(", 目的号码 = ");
    AppendTextAt(out, bytes, available, 35, destWidth);
    out.append(", SMSC = ");
    AppendDecimal(out, RecordCursor(bytes, available).At(static_cast<size_t>(smscAt)).U32());
}
std::string FormatCmppReport(const uint8_t* bytes, int32_t available, CmppReportLayout layout) {
    return Formatted(AppendCmppReport, bytes, available, layout);
}

void AppendSmgpReport(std::string& out, const uint8_t* bytes, int32_t available) {
    out.append("id:");
    if (bytes && available > 3) AppendHex(out, bytes + 3, std::min(available - 3, 10));
    if (available > 13) AppendTextAt(out, bytes, available, 13, available - 13);
}
std::string FormatSmgpReport(const uint8_t* bytes, int32_t available) {
    return Formatted(AppendSmgpReport, bytes, available);
}

void AppendRegisteredDeliveryBits(std::string& out, const NameIndex& names, uint8_t value) {
    using namespace decode_ids;
    out.append(" (Receipt=").append(names.FindValueName(kReceiptBits, value & 0x03));
    out.append("; SME Ack=").append(names.FindValueName(kAcknowledgementBits, (value >> 2) & 0x03));
    out.append("; Intermediate=").append(names.FindValueName(kIntermediateBit, (value >> 4) & 0x01));
    if (value & 0xE0) out.append("; bits 5-7 reserved");
    out.push_back(')');
}

void AppendEsmClass(std::string& out, const NameIndex& names, int32_t descriptorId, uint8_t esmClass) {
    if (!IsEsmClassField(descriptorId)) return;
    using namespace decode_ids;
    const bool delivered = descriptorId == kDeliverSmEsmClass;
    out.append(" (GSM=").append(names.FindValueName(delivered ? kDeliveredGsm : kSubmittedGsm, esmClass & 0xC0));
    out.append("; Type=").append(names.FindValueName(delivered ? kDeliveredType : kSubmittedType, esmClass & 0x3C));
    out.append("; Mode=").append(names.FindValueName(delivered ? kDeliveredMode : kSubmittedMode, esmClass & 0x03));
    out.push_back(')');
}
std::string FormatEsmClass(const NameIndex& names, int32_t descriptorId, uint8_t esmClass) {
    std::string out;
    AppendEsmClass(out, names, descriptorId, esmClass);
    return out;
}

void AppendSmgp3Tlv(std::string& out, const NameIndex& names, const uint8_t* bytes, int32_t available) {
    wire::Cursor reader = RecordCursor(bytes, available);
    const uint16_t tag = reader.U16();
    const uint16_t declared = reader.U16();
    // The value is read at its own length, as far as the PDU holds it.
    const int32_t length = available > 4 ? std::min<int32_t>(declared, available - 4) : 0;
    const uint8_t* value = length > 0 ? bytes + 4 : nullptr;

    const auto entry = std::find_if(std::begin(Smgp3TlvNameTable), std::end(Smgp3TlvNameTable),
                                    [tag](const TlvName& row) { return row.tag == tag; });
    out.append(entry == std::end(Smgp3TlvNameTable) ? "未知" : entry->name);
    out.append(" = ");

    const auto rule = std::find_if(std::begin(Smgp3TlvValueRules), std::end(Smgp3TlvValueRules),
                                   [tag](const Smgp3TlvRule& row) { return row.tag == tag; });
    const bool text = rule != std::end(Smgp3TlvValueRules) && rule->category == kSmgp3TextValue;
    if (rule == std::end(Smgp3TlvValueRules) || length == 0) {
        AppendHex(out, value, length);
    } else if (text) {
        // Identifiers are ASCII padded with NULs; anything else shows as the octets it is.
        int32_t end = length;
        while (end > 0 && value[end - 1] == 0) --end;
        const bool printable = std::all_of(value, value + end, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
        if (printable) out.append(reinterpret_cast<const char*>(value), static_cast<size_t>(end));
        else AppendHex(out, value, length);
    } else if (length > 4) {
        AppendHex(out, value, length);
    } else {
        uint32_t number = 0;
        for (int32_t i = 0; i < length; ++i) number = number << 8 | value[i];
        AppendDecimal(out, number);
        if (rule->category > 0) AppendNamedSuffix(out, names, rule->category, static_cast<int32_t>(number));
    }
}
std::string FormatSmgp3Tlv(const NameIndex& names, const uint8_t* bytes, int32_t available) {
    std::string out;
    AppendSmgp3Tlv(out, names, bytes, available);
    return out;
}

void AppendSmppTlvName(std::string& out, uint16_t tag) {
    const protocol::smpp::Tlv* tlv = protocol::smpp::FindTlv(tag);
    if (!tlv) {
        out.append("未知(0x");
        AppendHexDigits(out, tag, 4);
        out.push_back(')');
    } else if (!tlv->label.empty()) {
        out.append(tlv->label);
    } else {
        out.append(tlv->name).append("(").append(tlv->networks).push_back(')');
    }
}

void AppendSmppTlv(std::string& out, const uint8_t* bytes, int32_t available) {
    wire::Cursor tlv = RecordCursor(bytes, available);
    const uint16_t tag = tlv.U16();
    const uint16_t length = tlv.U16();

    const protocol::smpp::Tlv* entry = protocol::smpp::FindTlv(tag);
    AppendSmppTlvName(out, tag);
    out.append(" = ");

    // A parameter without a name is one the registry knows nothing of: its value shows as octets. A
    // structured one shows its last part as text; its parts get lines of their own.
    using protocol::smpp::TlvValue;
    const TlvValue kind = !entry ? TlvValue::Octets : entry->value == TlvValue::Parts ? TlvValue::Text : entry->value;
    // Only the parameter's own value bytes are read; a value too short for its rule shows nothing.
    const int32_t valueBytes = available > 4 ? std::min<int32_t>(length, available - 4) : 0;
    wire::Cursor value = RecordCursor(valueBytes > 0 ? bytes + 4 : nullptr, valueBytes);
    switch (kind) {
    case TlvValue::U32:
        if (value.Has(4)) AppendDecimal(out, value.U32());
        break;
    case TlvValue::U16:
        if (value.Has(2)) AppendDecimal(out, value.U16());
        break;
    case TlvValue::U8:
        if (value.Has(1)) {
            const uint8_t octet = value.U8();
            AppendDecimal(out, octet);
            const std::string_view name = protocol::NameOf(entry->names, octet);
            if (!name.empty()) out.append(" (").append(name).push_back(')');
        }
        break;
    case TlvValue::Number:
        if (valueBytes > 4) {
            AppendHex(out, bytes + 4, valueBytes);
        } else if (valueBytes > 0) {
            uint32_t number = 0;
            while (value.Has(1)) number = number << 8 | value.U8();
            AppendDecimal(out, number);
        }
        break;
    case TlvValue::Version:
        if (value.Has(1)) {
            const uint8_t version = value.U8();
            AppendDecimal(out, version >> 4);
            out.push_back('.');
            AppendDecimal(out, version & 0xF);
        }
        break;
    case TlvValue::None:
    case TlvValue::Parts: break;
    case TlvValue::Octets:
        if (valueBytes > 0) AppendHex(out, bytes + 4, valueBytes);
        break;
    case TlvValue::Text:
        if (valueBytes > 0) AppendGbkText(out, bytes + 4, valueBytes);
        break;
    }
}
std::string FormatSmppTlv(const uint8_t* bytes, int32_t available) { return Formatted(AppendSmppTlv, bytes, available); }
