// The decode table: every protocol family's rows with the indexes the walk reads, built once and shared.
#include "decoder/DecodeTable.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <cstring>
#include <unordered_map>

#include "decoder/tables/FieldNames.h"
#include "decoder/tables/Tables.h"
#include "protocol/SmppTlvs.h"

namespace {
constexpr FieldDescriptor kTerminator = {-1, -1, -1, "", -1, -1, 0, 0, -1, -1};

// A row that names a case of a dispatcher (or ends a case list), not a field.
bool IsCaseRow(const FieldDescriptor& row) { return row.caseOwner != decode_table::kNone || row.kind == -1; }

// The stable names of the rows: each row takes the protocol of the header group it follows (rows of a
// table without protocol groups are "field"s).
void NameRows(DecodeTable& t) {
    std::string_view prefix = "field";
    t.fieldNames.reserve(t.rows.size());
    for (const FieldDescriptor& row : t.rows) {
        std::string name;
        const std::string_view label(row.label);
        if (row.isGroup && !field_names::PrefixOfGroup(label).empty()) {
            prefix = field_names::PrefixOfGroup(label);
            name = prefix;
        } else if (row.isGroup) {
            name = std::string(prefix) + '.';
            for (const char c : field_names::LabelTag(label)) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        } else if (KindOf(row) == FieldKind::SmppTlv || KindOf(row) == FieldKind::Smgp3Tlv) {
            name = std::string(prefix) + ".tlv";
        } else if (!IsCaseRow(row) && row.id > 0) {
            const std::string own = field_names::NameOf(prefix, row.id, label, KindOf(row) == FieldKind::TpUdhi);
            name = std::string(prefix) + '.' + (own.empty() ? "field_" + std::to_string(row.id) : own);
        }
        t.fieldNames.push_back(std::move(name));
    }
    for (const protocol::smpp::Tlv& tlv : protocol::smpp::kTlvs)
        t.tlvNames.push_back({true, tlv.tag, std::string(field_names::kSmppTlvPrefix).append(tlv.name)});
    for (const field_names::TagName& tlv : field_names::SmgpTlvNames())
        t.tlvNames.push_back({false, tlv.tag, "smgp.tlv." + std::string(tlv.name)});
}
// The label part of a row's label up to its ':' and the name after it, blanks and a closing '=' trimmed.
DecodeTable::RowName SplitLabel(std::string_view label) {
    const size_t colon = label.find(':');
    std::string_view name = colon == std::string_view::npos ? label : label.substr(colon + 1);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '=')) name.remove_suffix(1);
    return {label.substr(0, colon == std::string_view::npos ? 0 : colon), name,
            colon == std::string_view::npos ? -1 : static_cast<int32_t>(colon)};
}
} // namespace

std::shared_ptr<const DecodeTable> DecodeTable::Build(std::span<const decode_table::Family> families) {
    auto table = std::make_shared<DecodeTable>();
    DecodeTable& t = *table;
    std::unordered_map<int32_t, int32_t> categoryOf;
    for (const decode_table::Family& family : families) {
        for (const FieldDescriptor& row : family.descriptors) {
            if (row.id == -1) break; // a family's own terminator ends its rows
            t.rows.push_back(row);
        }
        t.names.AddCodeNames(family.codeNames);
        t.names.AddValueNames(family.valueNames);
        for (const NameCategory& alias : family.nameCategories) categoryOf.try_emplace(alias.descriptorId, alias.category);
        for (const LayoutChoice& choice : family.layoutChoices)
            t.layoutPairs.push_back({choice.body, choice.alternative, body_layout::Resolve(family.descriptors, choice.body),
                                     body_layout::Resolve(family.descriptors, choice.alternative)});
    }
    t.rows.push_back(kTerminator);

    std::unordered_map<int32_t, int32_t> first;
    for (int32_t position = 0; position < static_cast<int32_t>(t.rows.size()) - 1; ++position)
        if (t.rows[position].id > 0) first.try_emplace(t.rows[position].id, position);
    t.firstPositions.assign(first.begin(), first.end());
    std::sort(t.firstPositions.begin(), t.firstPositions.end());

    t.labelLengths.reserve(t.rows.size());
    t.nameCategories.reserve(t.rows.size());
    t.selectorStarts.reserve(t.rows.size());
    t.sourceKinds.reserve(t.rows.size());
    for (FieldDescriptor& row : t.rows) {
        if (!row.label) row.label = "";
        t.labelLengths.push_back(static_cast<int32_t>(std::strlen(row.label)));
        const auto alias = categoryOf.find(row.id);
        const int32_t category = alias == categoryOf.end() ? row.id : alias->second;
        t.nameCategories.push_back(t.names.HasCategory(category) ? category : -1);
        t.selectorStarts.push_back(t.PositionOf(row.selectorId));
        const int32_t source = t.PositionOf(row.widthSourceId);
        t.sourceKinds.push_back(source < 0 ? FieldKind::CaseListEnd : KindOf(t.rows[source]));
    }
    NameRows(t);
    t.rowNames.reserve(t.rows.size());
    for (const FieldDescriptor& row : t.rows) {
        const int32_t first = t.PositionOf(row.id);
        t.rowNames.push_back(first < 0 ? RowName{} : SplitLabel(t.rows[static_cast<size_t>(first)].label));
    }
    for (LayoutPair& pair : t.layoutPairs) {
        pair.body = t.PositionOf(pair.body);
        pair.alternative = t.PositionOf(pair.alternative);
    }
    // Positive ids become positions only now, so that the lookups above still saw ids.
    for (FieldDescriptor& row : t.rows)
        if (row.next > 0) row.next = t.PositionOf(row.next);
    return table;
}

int32_t DecodeTable::PositionOf(int32_t id) const {
    const auto it = std::lower_bound(firstPositions.begin(), firstPositions.end(), std::pair<int32_t, int32_t>(id, -1));
    return it != firstPositions.end() && it->first == id ? it->second : -1;
}

std::string_view DecodeTable::TlvName(int32_t position, uint16_t tag) const {
    const bool smpp = KindOf(rows[static_cast<size_t>(position)]) == FieldKind::SmppTlv;
    for (const TlvFieldName& tlv : tlvNames)
        if (tlv.smpp == smpp && tlv.tag == tag) return tlv.name;
    return fieldNames[static_cast<size_t>(position)];
}

std::shared_ptr<const DecodeTable> DecodeTable::Whole() {
    static const std::shared_ptr<const DecodeTable> whole = [] {
        const decode_table::Family families[] = {
            decode_table::CaptureHeaderFamily(), decode_table::CmppFamily(),   decode_table::SmgpFamily(),
            decode_table::SgipCngpFamily(),      decode_table::SmppFamily(),   decode_table::UcpFamily(),
            decode_table::CimdFamily(),
        };
        return Build(families);
    }();
    return whole;
}
