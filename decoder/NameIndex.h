// Lookup of command names and value names over the rows that the protocol families contribute.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "decoder/FieldDescriptor.h"

// What a code without a row, or a value that is no code of its field, is named.
inline constexpr std::string_view kUnknownName = "未知";

// Holds the code-name and value-name rows of the decode table with indexes built once, so that
// naming a value during a walk is a hash lookup. The names are not copied: rows point into the
// static tables, which outlive every index. Read-only after loading; safe to share between threads.
class NameIndex {
public:
    // Rows are appended in table order; for equal keys the first row added wins.
    void AddCodeNames(std::span<const CodeName> rows);
    void AddValueNames(std::span<const ValueName> rows);

    // Written here so that a walk, which asks them of nearly every field, does not call away for them.

    // The name of the first row with that table id and code, "未知" when there is none.
    std::string_view FindCodeName(int32_t tableId, uint32_t code) const {
        const auto it = m_codeNames.find(Key(tableId, code));
        return it == m_codeNames.end() ? kUnknownName : it->second;
    }
    // The name of the first row of the category whose value equals `value` or is the wildcard -1;
    // empty for a negative value, a value without a row, or a row with an empty name.
    std::string_view FindValueName(int32_t category, int32_t value) const {
        if (value < 0) return {};
        const auto exact = m_values.find(Key(category, static_cast<uint32_t>(value)));
        const auto wildcard = m_wildcards.find(category);
        // Table order decides: a wildcard listed before the exact row would win.
        if (exact != m_values.end() && (wildcard == m_wildcards.end() || exact->second.row < wildcard->second.row))
            return exact->second.name;
        if (wildcard != m_wildcards.end()) return wildcard->second.name;
        return {};
    }
    // Whether the value has a row of its own in the category (not only the wildcard's name).
    bool HasOwnRow(int32_t category, int32_t value) const {
        return value >= 0 && m_values.count(Key(category, static_cast<uint32_t>(value))) != 0;
    }
    // Whether the category has any row at all (a descriptor without rows gets no suffix).
    bool HasCategory(int32_t category) const { return m_categories.count(category) != 0; }
    // Whether the table has a row for the code.
    bool HasCodeName(int32_t tableId, uint32_t code) const { return m_codeNames.count(Key(tableId, code)) != 0; }
    // The values of the category whose own row bears that name, case ignored (ASCII letters); none when no row
    // does. A display filter reads a value by its name this way once, not on every record.
    std::vector<int32_t> ValuesNamed(int32_t category, std::string_view name) const;
    // Every code the table names, with its name, in no particular order.
    std::vector<CodeName> CodeNamesOf(int32_t tableId) const;

private:
    static uint64_t Key(int32_t a, uint32_t b) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | b;
    }

    std::unordered_map<uint64_t, const char*> m_codeNames;
    struct Named {
        int32_t row;
        const char* name;
    };
    std::unordered_map<uint64_t, Named> m_values;      // (category, value) -> first row
    std::unordered_map<int32_t, Named> m_wildcards;    // category -> first wildcard row
    std::unordered_map<int32_t, int32_t> m_categories; // category -> row count
    int32_t m_valueRows = 0;
};
