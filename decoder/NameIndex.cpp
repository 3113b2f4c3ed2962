// Lookup of command names and value names over the rows that the protocol families contribute.
#include "decoder/NameIndex.h"

#include <algorithm>

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return fold(x) == fold(y); });
}

} // namespace

void NameIndex::AddCodeNames(std::span<const CodeName> rows) {
    for (const CodeName& row : rows) {
        if (row.tableId == -1) break; // a family may still carry its terminator row
        m_codeNames.try_emplace(Key(row.tableId, row.code), row.name ? row.name : "");
    }
}

void NameIndex::AddValueNames(std::span<const ValueName> rows) {
    for (const ValueName& row : rows) {
        if (row.category == -1) break;
        const Named named{m_valueRows++, row.name ? row.name : ""};
        ++m_categories[row.category];
        if (row.value == -1)
            m_wildcards.try_emplace(row.category, named);
        else
            m_values.try_emplace(Key(row.category, static_cast<uint32_t>(row.value)), named);
    }
}

std::vector<CodeName> NameIndex::CodeNamesOf(int32_t tableId) const {
    std::vector<CodeName> rows;
    for (const auto& [key, name] : m_codeNames)
        if (static_cast<int32_t>(key >> 32) == tableId) rows.push_back({tableId, static_cast<uint32_t>(key), name});
    return rows;
}

std::vector<int32_t> NameIndex::ValuesNamed(int32_t category, std::string_view name) const {
    std::vector<int32_t> values;
    for (const auto& [key, named] : m_values)
        if (static_cast<int32_t>(key >> 32) == category && SameIgnoringCase(named.name, name))
            values.push_back(static_cast<int32_t>(static_cast<uint32_t>(key)));
    std::sort(values.begin(), values.end());
    return values;
}
