// The CIMD2 command names: each operation and response, named from the codec's own table.
#include "cimd/Codes.h"
#include "cimd/Header.h"
#include "decoder/tables/TableIds.h"
#include "decoder/tables/Tables.h"

#include <array>
#include <iterator>

namespace decode_table {
namespace {

// The command id of a CIMD2 record is its operation's, a response's with the response bit.
constexpr auto BuildCodeNames() {
    std::array<CodeName, std::size(cimd::kOperations)> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = {decode_ids::kCimdCommands, cimd::CommandIdOf(cimd::kOperations[i].code), cimd::kOperations[i].name.data()};
    return rows;
}
constexpr auto kCodeNames = BuildCodeNames();

} // namespace

Family CimdFamily() { return {{}, kCodeNames, {}}; }
} // namespace decode_table
