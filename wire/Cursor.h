// Reading a run of big-endian fields out of received bytes, with every bounds check in one place.
// Little-endian reads are for the capture record's own header and the capture files' headers only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace wire {

// Unchecked big-endian access, for a fixed layout whose size the caller has already checked (a framed header).
constexpr uint16_t ReadBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
constexpr uint32_t ReadBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
constexpr uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[1] << 8 | p[0]); }
constexpr uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[0]);
}

enum class CursorError : uint8_t {
    None,
    Short,        // a field reaches past the end of the bytes
    Unterminated, // a C string has no NUL within its largest width
};

// Reads fields in order from a run of `size` bytes that it does not own. The first read that does not fit
// is remembered with the offset it started at; from then on every read returns 0 or empty and moves
// nothing, so a caller reads a whole series of fields and checks once. Nothing outside
// [data, data + size) is touched. Small and inline: made on the stack for every PDU and every field.
// At() starts another cursor over the same run, for a field whose place is known rather than next.
class Cursor {
public:
    constexpr Cursor(const uint8_t* data, std::size_t size, std::size_t offset = 0)
        : m_data(data), m_size(data ? size : 0), m_offset(offset) {
        if (m_offset > m_size)
            Fail(CursorError::Short);
    }
    constexpr explicit Cursor(std::span<const uint8_t> bytes) : Cursor(bytes.data(), bytes.size()) {}

    constexpr bool Ok() const { return m_error == CursorError::None; }
    constexpr CursorError Error() const { return m_error; }
    // Where the failing read started; meaningless while Ok().
    constexpr std::size_t ErrorOffset() const { return m_errorOffset; }
    // Offset of the next field from the start of the run.
    constexpr std::size_t Offset() const { return m_offset; }
    // Octets left to read; 0 once a read has failed.
    constexpr std::size_t Remaining() const { return Ok() ? m_size - m_offset : 0; }
    // Whether the next `count` octets are all there (always false once a read has failed).
    constexpr bool Has(std::size_t count) const { return Ok() && count <= m_size - m_offset; }
    // A fresh cursor over the same run at `offset` from its start; failed at once when that is past the end.
    constexpr Cursor At(std::size_t offset) const { return Cursor(m_data, m_size, offset); }

    constexpr uint8_t U8() { return Need(1) ? m_data[m_offset++] : 0; }
    constexpr uint16_t U16() {
        if (!Need(2))
            return 0;
        const uint16_t v = ReadBe16(m_data + m_offset);
        m_offset += 2;
        return v;
    }
    constexpr uint32_t U32() {
        if (!Need(4))
            return 0;
        const uint32_t v = ReadBe32(m_data + m_offset);
        m_offset += 4;
        return v;
    }
    constexpr uint16_t U16Le() {
        if (!Need(2))
            return 0;
        const uint16_t v = ReadLe16(m_data + m_offset);
        m_offset += 2;
        return v;
    }
    constexpr uint32_t U32Le() {
        if (!Need(4))
            return 0;
        const uint32_t v = ReadLe32(m_data + m_offset);
        m_offset += 4;
        return v;
    }
    // The next `count` octets as they are.
    constexpr std::span<const uint8_t> Bytes(std::size_t count) {
        if (!Need(count))
            return {};
        const std::span<const uint8_t> bytes(m_data + m_offset, count);
        m_offset += count;
        return bytes;
    }
    // A fixed-width text field: consumes `width` octets, returns them up to the first NUL.
    std::string_view Text(std::size_t width) {
        const std::span<const uint8_t> field = Bytes(width);
        std::size_t length = 0;
        while (length < field.size() && field[length] != 0)
            ++length;
        return {reinterpret_cast<const char*>(field.data()), length};
    }
    // A C string of at most maxOctets octets, its NUL included: returns the text, consumes it and its NUL.
    // No NUL within that reach (or before the end) fails the cursor as Unterminated or Short.
    std::string_view CString(std::size_t maxOctets) {
        if (!Ok())
            return {};
        const std::size_t left = m_size - m_offset;
        const std::size_t reach = maxOctets < left ? maxOctets : left;
        for (std::size_t i = 0; i < reach; ++i) {
            if (m_data[m_offset + i] == 0) {
                const std::string_view text(reinterpret_cast<const char*>(m_data + m_offset), i);
                m_offset += i + 1;
                return text;
            }
        }
        Fail(reach == maxOctets ? CursorError::Unterminated : CursorError::Short);
        return {};
    }
    // Looks ahead without moving or failing: the octets before the first NUL, at most maxOctets and no
    // further than the end; `terminated` tells whether the NUL was found within that reach.
    constexpr std::size_t TextLength(std::size_t maxOctets, bool& terminated) const {
        terminated = false;
        const std::size_t left = Ok() ? m_size - m_offset : 0;
        const std::size_t reach = maxOctets < left ? maxOctets : left;
        for (std::size_t i = 0; i < reach; ++i) {
            if (m_data[m_offset + i] == 0) {
                terminated = true;
                return i;
            }
        }
        return reach;
    }
    // The next optional parameter: false, moving nothing, when fewer than four octets are left (the
    // parameters have ended); false with the cursor failed when its value runs past the end.
    constexpr bool Tlv(uint16_t& tag, std::span<const uint8_t>& value) {
        if (!Ok() || m_size - m_offset < 4)
            return false;
        tag = U16();
        value = Bytes(U16());
        return Ok();
    }
    constexpr void Skip(std::size_t count) {
        if (Need(count))
            m_offset += count;
    }

private:
    constexpr bool Need(std::size_t count) {
        if (Ok() && count > m_size - m_offset)
            Fail(CursorError::Short);
        return Ok();
    }
    constexpr void Fail(CursorError error) {
        if (Ok()) {
            m_error = error;
            m_errorOffset = m_offset;
        }
    }

    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset;
    std::size_t m_errorOffset = 0;
    CursorError m_error = CursorError::None;
};

} // namespace wire
