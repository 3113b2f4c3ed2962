// The decode listing as text, one line per decode line.
#include "decoder/Listing.h"

#include <cstdio>
#include <set>

#include "decoder/CimdLines.h"
#include "decoder/UcpLines.h"
#include "decoder/tables/FieldNames.h"

namespace decode_listing {

namespace {

void AppendLines(std::string& out, const std::vector<DecodeLine>& lines, bool offsets) {
    for (const DecodeLine& line : lines) {
        if (offsets) {
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "%6d %5d  ", line.offset, line.width);
            out += prefix;
        }
        if (!line.isGroup) out += "  ";
        out += line.text;
        out += '\n';
    }
}

} // namespace

std::string Lines(const std::vector<DecodeLine>& lines, bool offsets) {
    std::string out;
    AppendLines(out, lines, offsets);
    return out;
}

// Appended in place: GCC 12 at -O3 takes "\n" + a returned string for an overlapping copy.
std::string Block(const std::vector<DecodeLine>& lines, bool offsets, bool first) {
    std::string out = first ? std::string() : std::string(1, '\n');
    AppendLines(out, lines, offsets);
    return out;
}

std::vector<FieldEntry> Fields(const DecodeTable& table) {
    std::vector<FieldEntry> fields;
    std::set<std::string_view> listed;
    const auto add = [&](std::string_view name, FieldType type, std::string_view label) {
        if (name.empty() || !listed.insert(name).second)
            return;
        fields.push_back({std::string(name), std::string(name.substr(0, name.find('.'))), type, std::string(label)});
    };
    for (size_t position = 0; position < table.fieldNames.size(); ++position) {
        const FieldDescriptor& row = table.rows[position];
        const FieldType type = TypeOf(KindOf(row));
        const bool tlv = KindOf(row) == FieldKind::SmppTlv || KindOf(row) == FieldKind::Smgp3Tlv;
        if (!row.isGroup && type != FieldType::None)
            add(table.fieldNames[position], type, tlv ? "an optional parameter of a tag without a name" : field_names::LabelText(row.label));
    }
    for (const DecodeTable::TlvFieldName& tlv : table.tlvNames)
        add(tlv.name, FieldType::Octets, std::string_view(tlv.name).substr(tlv.name.rfind('.') + 1));
    // The text protocols' fields, which their codecs read, not the table.
    for (const auto& lines : {ucp_lines::ListedFields(), cimd_lines::ListedFields()})
        for (const auto& [name, label] : lines)
            add(name, FieldType::Text, label);
    return fields;
}

} // namespace decode_listing
