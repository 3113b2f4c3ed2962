// The value text of a field whose text depends on its own bytes alone, by the field's kind.
#include "decoder/FieldValueText.h"

#include <algorithm>

#include "decoder/RecordCursor.h"
#include "decoder/Formatters.h"
#include "decoder/GbkText.h"
#include "decoder/TextAppend.h"
#include "decoder/tables/TableIds.h"

namespace {

// Code table that names the value of a "0x%08X (%s)" kind.
int32_t CodeTableOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::CmppCommand: return decode_ids::kCmppCommands;
    case FieldKind::SmgpCommand: return decode_ids::kSmgpCommands;
    case FieldKind::TestCommand: return decode_ids::kTestCommands;
    case FieldKind::SgipCommand: return decode_ids::kSgipCommands;
    case FieldKind::CngpCommand: return decode_ids::kCngpCommands;
    case FieldKind::SmppCommand: return decode_ids::kSmppCommands;
    default: return -1;
    }
}

// The value of a kind that reads as a number or a fixed run of numbers; false for other kinds.
bool AppendNumber(std::string& out, FieldKind kind, wire::Cursor bytes) {
    switch (kind) {
    case FieldKind::U32Host: AppendDecimal(out, bytes.U32Le()); return true;
    case FieldKind::U32Net: AppendDecimal(out, bytes.U32()); return true;
    case FieldKind::S16Host: AppendDecimal(out, static_cast<int16_t>(bytes.U16Le())); return true;
    case FieldKind::U16Net:
    case FieldKind::U16NetToo: AppendDecimal(out, bytes.U16()); return true;
    case FieldKind::U16Host: AppendDecimal(out, bytes.U16Le()); return true;
    case FieldKind::U8:
    case FieldKind::Octet: AppendDecimal(out, bytes.U8()); return true;
    case FieldKind::LocalTime: AppendLocalTime(out, bytes.U32Le()); return true;
    case FieldKind::Hex32: out.append("0x"); AppendHexDigits(out, bytes.U32(), 8); return true;
    case FieldKind::Hex16: out.append("0x"); AppendHexDigits(out, bytes.U16(), 4); return true;
    case FieldKind::Ipv4Net: AppendIpv4(out, bytes.U32()); return true;
    case FieldKind::Ipv4Host: AppendIpv4(out, bytes.U32Le()); return true;
    case FieldKind::Version: {
        const uint8_t version = bytes.U8();
        AppendDecimal(out, version >> 4);
        out.push_back('.');
        AppendDecimal(out, version & 0xF);
        return true;
    }
    case FieldKind::SgipSequence:
        AppendDecimal(out, bytes.U32());
        out.push_back(' ');
        AppendDecimal(out, bytes.U32());
        out.push_back(' ');
        AppendDecimal(out, bytes.U32());
        return true;
    default: return false;
    }
}

// The value of a kind that shows the field's characters or octets; false for other kinds.
bool AppendCharacters(std::string& out, FieldKind kind, const uint8_t* p, int32_t width, int32_t available) {
    wire::Cursor bytes = RecordCursor(p, available);
    switch (kind) {
    case FieldKind::Char: {
        const uint8_t c = bytes.U8();
        if (c != 0) AppendGbkText(out, &c, 1); // a lone byte above 0x7F shows as \xNN
        return true;
    }
    case FieldKind::Text:
    case FieldKind::CString: AppendGbkText(out, p, width); return true;
    case FieldKind::Numbers21:
    case FieldKind::Numbers21Too:
    case FieldKind::Numbers32:
        // The field's line shows the first number; the walk gives each further one a line of its own.
        AppendGbkText(out, p, std::min(width, NumberWidth(kind)));
        return true;
    case FieldKind::HexOctets: AppendHex(out, p, width); return true;
    case FieldKind::Hex10: AppendHex(out, p, std::min(available, 10)); return true;
    default: return false;
    }
}

// The value of a kind named from a code table; false for other kinds.
bool AppendCoded(std::string& out, FieldKind kind, const NameIndex& names, const uint8_t* p, int32_t available) {
    wire::Cursor bytes = RecordCursor(p, available);
    switch (kind) {
    case FieldKind::ProtocolCode: {
        const uint16_t code = bytes.U16Le();
        AppendDecimal(out, code);
        out.append(" (").append(names.FindCodeName(decode_ids::kProtocolCodes, code)).push_back(')');
        return true;
    }
    case FieldKind::CmppCommand:
    case FieldKind::SmgpCommand:
    case FieldKind::TestCommand:
    case FieldKind::SgipCommand:
    case FieldKind::CngpCommand:
    case FieldKind::SmppCommand: {
        const uint32_t code = bytes.U32();
        out.append("0x");
        AppendHexDigits(out, code, 8);
        out.append(" (").append(names.FindCodeName(CodeTableOf(kind), code)).push_back(')');
        return true;
    }
    case FieldKind::CmppMsgId:
        AppendCmppMsgId(out, p, available);
        // The composite reads fields out of the identifier; its octets as one number are what
        // another gateway's log shows.
        out.append(" (0x");
        AppendHexDigits(out, bytes.U32(), 8);
        AppendHexDigits(out, bytes.U32(), 8);
        out.push_back(')');
        return true;
    default: return false;
    }
}

} // namespace

bool AppendFieldValue(std::string& out, FieldKind kind, const NameIndex& names, const uint8_t* p, int32_t width,
                      int32_t available) {
    return AppendNumber(out, kind, RecordCursor(p, available)) || AppendCharacters(out, kind, p, width, available) ||
           AppendCoded(out, kind, names, p, available);
}
