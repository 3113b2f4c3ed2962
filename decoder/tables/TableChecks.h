// Row builders and compile-time checks that every protocol family's table file shares.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoder/FieldDescriptor.h"

namespace decode_table {

// ---- building rows from shared lists ----

// A value and its name. A list of them is written once and placed under every category that
// shows those names; a value of -1 is the wildcard and closes its list.
struct Named {
    int32_t value;
    const char* name;
};

// One value-name category and the list its rows come from.
struct CategoryRows {
    int32_t category;
    std::span<const Named> rows;
};

// A command id and its name. A list of them is written once and placed under every code table
// that names those commands.
struct CommandName {
    uint32_t code;
    const char* name;
};

// One code table and the list its rows come from.
struct CommandTable {
    int32_t tableId;
    std::span<const CommandName> rows;
};

// The number of rows the lists hold together.
template <typename List, std::size_t M>
constexpr std::size_t RowCount(const List (&lists)[M]) {
    std::size_t count = 0;
    for (const List& list : lists) count += list.rows.size();
    return count;
}

// The rows of `lists` as one table of `Row`s ({key, code, name}): each list's rows under its
// category or table id, in list order.
template <typename Row, const auto& lists>
constexpr auto Flatten() {
    std::array<Row, RowCount(lists)> out{};
    std::size_t at = 0;
    for (const auto& [key, rows] : lists)
        for (const auto& [code, name] : rows) out[at++] = {key, code, name};
    return out;
}

// ---- checks the compiler makes on a family's rows ----

// An id below 0 reads as the table's terminator and would cut off every row after it.
constexpr bool NoTerminatorLookalike(std::span<const FieldDescriptor> rows) {
    for (const FieldDescriptor& d : rows)
        if (d.id < 0) return false;
    return true;
}

// Every case list ends with its kind -1 row, so a case scan never runs on into the next body.
constexpr bool CaseListsClosed(std::span<const FieldDescriptor> rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FieldDescriptor& d = rows[i];
        if (d.caseOwner != 0 || KindOf(d) == FieldKind::CaseListEnd) continue;
        if (i + 1 == rows.size() || rows[i + 1].caseOwner != 0 || rows[i + 1].id != d.id) return false;
    }
    return true;
}

// Whether a row other than a case list's end has this id.
constexpr bool HasDescriptor(std::span<const FieldDescriptor> rows, int32_t id) {
    for (const FieldDescriptor& d : rows)
        if (d.id == id && KindOf(d) != FieldKind::CaseListEnd) return true;
    return false;
}

// Every id a row names is one of the same rows; a dangling id would end the walk without saying why.
constexpr bool ReferencesResolve(std::span<const FieldDescriptor> rows) {
    for (const FieldDescriptor& d : rows) {
        if (d.next > 0 && !HasDescriptor(rows, d.next)) return false;
        if (d.next == kDispatch && !HasDescriptor(rows, d.selectorId)) return false;
        if (d.widthSourceId > 0 && !HasDescriptor(rows, d.widthSourceId)) return false;
    }
    return true;
}

// The number of rows the category has.
constexpr int RowsOf(std::span<const ValueName> names, int32_t category) {
    int count = 0;
    for (const ValueName& v : names) count += v.category == category ? 1 : 0;
    return count;
}

// A wildcard answers for every value of its category that has no row before it, so no row of
// the category may follow it.
constexpr bool WildcardsLast(std::span<const ValueName> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].value != -1) continue;
        for (std::size_t j = i + 1; j < names.size(); ++j)
            if (names[j].category == names[i].category) return false;
    }
    return true;
}

// Every borrowing names a field of these rows and a list that has rows: among `names`, or among
// `elsewhere`, the categories that another family's rows hold (the decoder loads every family).
// A field that borrows must not have rows of its own, which the borrowing would hide.
constexpr bool NameCategoriesResolve(std::span<const FieldDescriptor> rows, std::span<const ValueName> names,
                                     std::span<const NameCategory> borrowed,
                                     std::span<const int32_t> elsewhere = {}) {
    for (const NameCategory& b : borrowed) {
        bool listed = RowsOf(names, b.category) > 0;
        for (int32_t category : elsewhere) listed = listed || category == b.category;
        if (!HasDescriptor(rows, b.descriptorId) || !listed || RowsOf(names, b.descriptorId) != 0) return false;
    }
    return true;
}

} // namespace decode_table
