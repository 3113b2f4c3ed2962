// Decode rows of the capture header that starts every record, and the protocol names.
#include "decoder/tables/TableChecks.h"
#include "decoder/tables/Tables.h"

#include <iterator>

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
    {6, 20, 2, "TCP: Protocol =",                    -1, kDispatch, 0, 159,     6, kNone},
    // protocol cases: the protocol code picks the first row of the protocol's header
    {6,  3, 2, "1",                                   0,   10,      0, 159, kNone, kNone}, // CMPP 2.0
    {6,  3, 2, "2",                                   0, 1890,      0, 159, kNone, kNone}, // SMPP
    {6,  3, 2, "3",                                   0,  290,      0, 159, kNone, kNone}, // SMGP 2.0
    {6,  3, 2, "4",                                   0, 1010,      0, 159, kNone, kNone}, // CMPP 3.0
    {6,  3, 2, "6",                                   0, 1300,      0, 159, kNone, kNone}, // SGIP
    {6,  3, 2, "7",                                   0, 1700,      0, 159, kNone, kNone}, // CNGP
    {6,  3, 2, "8",                                   0,  180,      0, 159, kNone, kNone}, // mobile TEST
    {6,  3, 2, "9",                                   0, 2290,      0, 159, kNone, kNone}, // SMGP 3.0
    {6, -1, 0, "",                                    0, kEnd,      0, 159, kNone, kNone},
};
static_assert(std::size(kDescriptors) == 6 + 8 + 1);
static_assert(NoTerminatorLookalike(kDescriptors));
static_assert(CaseListsClosed(kDescriptors));

// Code table 6: protocol codes of the capture header.
constexpr CodeName kCodeNames[] = {
    {6, 1, "CMPP"},
    {6, 2, "SMPP"},
    {6, 3, "SMGP"},
    {6, 4, "CMPP3"},
    {6, 6, "SGIP"},
    {6, 7, "CNGP"},
    {6, 8, "TEST"},
    {6, 9, "SMGP3"},
};

} // namespace

Family CaptureHeaderFamily() { return {kDescriptors, kCodeNames, {}}; }
} // namespace decode_table
