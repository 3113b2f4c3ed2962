// Decode rows of the capture header that starts every record, and the protocol names.
#include "decoder/tables/TableChecks.h"
#include "decoder/tables/TableIds.h"
#include "decoder/tables/Tables.h"
#include "protocol/Registry.h"

#include <array>
#include <iterator>
#include <string_view>

namespace decode_table {
namespace {

// Columns: {id, kind, width, label, caseOwner, next, isGroup, iconId, selectorId, widthSourceId}.
// Icons: 152 the capture-header group, 159 its fields.
constexpr FieldDescriptor kDescriptors[] = {
    {1,  0, 0, "TCP: ----- Network base info -----", -1, 2,         1, 152, kNone, kNone},
    {2,  1, 4, "TCP: Packet len =",                  -1, 3,         0, 159, kNone, kNone},
    {3,  7, 4, "TCP: Time =",                        -1, 4,         0, 159, kNone, kNone},
    {4, 10, 4, "TCP: Source address =",              -1, 5,         0, 159, kNone, kNone},
    {5, 12, 2, "TCP: Source port =",                 -1, 6,         0, 159, kNone, kNone},
    {6, 20, 2, "TCP: Protocol =",                    -1, kDispatch, 0, 159,     6, kNone}, // named from code table 6
    // protocol cases: the protocol code picks the first row of the protocol's header
    {6,  3, 2, "1",                                   0,   10,      0, 159, kNone, kNone}, // CMPP 2.0
    {6,  3, 2, "2",                                   0, 1890,      0, 159, kNone, kNone}, // SMPP
    {6,  3, 2, "3",                                   0,  290,      0, 159, kNone, kNone}, // SMGP 2.0
    {6,  3, 2, "4",                                   0, 1010,      0, 159, kNone, kNone}, // CMPP 3.0
    {6,  3, 2, "6",                                   0, 1300,      0, 159, kNone, kNone}, // SGIP
    {6,  3, 2, "7",                                   0, 1700,      0, 159, kNone, kNone}, // CNGP
    {6,  3, 2, "8",                                   0,  180,      0, 159, kNone, kNone}, // mobile TEST
    {6,  3, 2, "9",                                   0, 2290,      0, 159, kNone, kNone}, // SMGP 3.0
    {6,  3, 2, "10",                                  0, 1290,      0, 159, kNone, kNone}, // SMGP 1.3
    {6,  3, 2, "11",                                  0, kEnd,      0, 159, kNone, kNone}, // UCP/EMI: text, read by its codec
    {6,  3, 2, "12",                                  0, kEnd,      0, 159, kNone, kNone}, // CIMD2: text, read by its codec
    {6, -1, 0, "",                                    0, kEnd,      0, 159, kNone, kNone},
};
static_assert(std::size(kDescriptors) == 6 + 11 + 1);
static_assert(NoTerminatorLookalike(kDescriptors));
static_assert(CaseListsClosed(kDescriptors));

// The protocol cases keep their codes as text, the form a case row matches; each must be a registered code,
// and every registered code must have its case.
constexpr int CodeOfLabel(std::string_view label) {
    int code = 0;
    for (char c : label) {
        if (c < '0' || c > '9') return -1;
        code = code * 10 + (c - '0');
    }
    return label.empty() ? -1 : code;
}
constexpr bool ProtocolCasesAreTheRegistry() {
    std::size_t cases = 0;
    for (const FieldDescriptor& d : kDescriptors) {
        if (d.caseOwner != 0 || KindOf(d) == FieldKind::CaseListEnd) continue;
        ++cases;
        int same = 0;
        for (const FieldDescriptor& other : kDescriptors)
            same += other.caseOwner == 0 && KindOf(other) != FieldKind::CaseListEnd &&
                    CodeOfLabel(other.label) == CodeOfLabel(d.label);
        const int code = CodeOfLabel(d.label);
        if (same != 1 || code < 0 || code > 0xFFFF || protocol::IndexOf(static_cast<uint16_t>(code)) < 0) return false;
    }
    return cases == std::size(protocol::kProtocols);
}
static_assert(ProtocolCasesAreTheRegistry(), "one protocol case per registered code");

// Code table 6: the protocol codes, named as the registry names them.
constexpr auto BuildCodeNames() {
    std::array<CodeName, std::size(protocol::kProtocols)> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = {decode_ids::kProtocolCodes, protocol::kProtocols[i].code, protocol::kProtocols[i].name.data()};
    return rows;
}
constexpr auto kCodeNames = BuildCodeNames();

} // namespace

Family CaptureHeaderFamily() { return {kDescriptors, kCodeNames, {}}; }
} // namespace decode_table
