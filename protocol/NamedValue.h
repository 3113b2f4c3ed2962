// A value and its name: the row of every list of protocol values the decoder, the composer and the servers share.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace protocol {

struct NamedValue {
    uint32_t value;
    std::string_view name;
};

// The name of a value in a list, empty for a value without a row.
constexpr std::string_view NameOf(std::span<const NamedValue> list, uint32_t value) {
    for (const NamedValue& row : list)
        if (row.value == value)
            return row.name;
    return {};
}

// A list names each value once, ascending, so a lookup can stop early and a composer lists them in order.
constexpr bool Ascending(std::span<const NamedValue> list) {
    for (std::size_t i = 1; i < list.size(); ++i)
        if (list[i - 1].value >= list[i].value || list[i].name.empty())
            return false;
    return true;
}

} // namespace protocol
