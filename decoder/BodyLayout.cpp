// Measuring a body by a layout of the decode tables.
#include "decoder/BodyLayout.h"

#include "wire/Cursor.h"

#include <array>
#include <cstddef>

namespace body_layout {
namespace {

const FieldDescriptor* FindRow(std::span<const FieldDescriptor> rows, int32_t id) {
    for (const FieldDescriptor& row : rows)
        if (row.id == id && row.caseOwner == decode_table::kNone)
            return &row;
    return nullptr;
}

} // namespace

Walk Resolve(std::span<const FieldDescriptor> rows, int32_t bodyId) {
    Walk walk;
    for (const FieldDescriptor* row = FindRow(rows, bodyId); row;) {
        Field field{row->id, row->width, NumberWidth(KindOf(*row)), -1, KindOf(*row) == FieldKind::Smgp3Tlv};
        if (field.width == decode_table::kVariable && !field.tlvs) {
            for (std::size_t i = 0; i < walk.size(); ++i)
                if (walk[i].id == row->widthSourceId && walk[i].width == 1)
                    field.source = int32_t(i);
            if (field.source < 0)
                return {};
        }
        walk.push_back(field);
        if (row->next == decode_table::kEnd || field.tlvs)
            return walk;
        row = FindRow(rows, row->next);
    }
    return {};
}

uint32_t End(const Walk& walk, const uint8_t* bytes, uint32_t length) {
    const wire::Cursor body(bytes, length);
    std::array<uint32_t, 64> offsets{};
    if (walk.empty() || walk.size() > offsets.size())
        return 0;
    uint32_t at = 0;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const Field& field = walk[i];
        offsets[i] = at;
        if (field.tlvs) {
            while (at + 4 <= length)
                at += 4 + body.At(at + 2).U16();
        } else if (field.source >= 0) {
            wire::Cursor value = body.At(offsets[std::size_t(field.source)]);
            const uint32_t n = value.U8();
            if (!value.Ok())
                return 0;
            at += field.numberWidth ? n * uint32_t(field.numberWidth) : n;
        } else {
            at += uint32_t(field.width);
        }
    }
    return at;
}

} // namespace body_layout
