// The UCP/EMI command names: each operation type and its result, named from the codec's own table.
#include "decoder/tables/TableIds.h"
#include "decoder/tables/Tables.h"
#include "protocol/PduHeader.h"
#include "ucp/Operations.h"

#include <array>
#include <iterator>
#include <string_view>

namespace decode_table {
namespace {

constexpr std::string_view kResultSuffix = " result";
constexpr std::size_t kTypes = std::size(ucp::kOperationTypes);

// Every "<name> result", each ended by a NUL, in one block that the code names point into.
constexpr std::size_t ResultNamesSize() {
    std::size_t size = 0;
    for (const ucp::OperationType& type : ucp::kOperationTypes)
        size += type.name.size() + kResultSuffix.size() + 1;
    return size;
}
constexpr auto BuildResultNames() {
    std::array<char, ResultNamesSize()> chars{};
    std::size_t at = 0;
    for (const ucp::OperationType& type : ucp::kOperationTypes) {
        for (char c : type.name) chars[at++] = c;
        for (char c : kResultSuffix) chars[at++] = c;
        chars[at++] = '\0';
    }
    return chars;
}
constexpr auto kResultNames = BuildResultNames();

// The command id of a UCP record is its OT, with the response bit for a result.
constexpr auto BuildCodeNames() {
    std::array<CodeName, 2 * kTypes> rows{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < kTypes; ++i) {
        const ucp::OperationType& type = ucp::kOperationTypes[i];
        rows[2 * i] = {decode_ids::kUcpCommands, type.ot, type.name.data()};
        rows[2 * i + 1] = {decode_ids::kUcpCommands, protocol::ResponseIdOf(type.ot), kResultNames.data() + at};
        at += type.name.size() + kResultSuffix.size() + 1;
    }
    return rows;
}
constexpr auto kCodeNames = BuildCodeNames();

} // namespace

Family UcpFamily() { return {{}, kCodeNames, {}}; }
} // namespace decode_table
