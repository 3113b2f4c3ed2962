// Writing a run of big-endian fields into a buffer, with every bounds check in one place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace wire {

// Unchecked big-endian stores, for a fixed layout whose room the caller has already made.
constexpr void WriteBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
constexpr void WriteBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// The longest value an optional parameter's two-octet length can count.
constexpr std::size_t kMaxTlvValue = 0xFFFF;

// Writes fields in order, either into a buffer of `capacity` octets that it does not own, or at the
// end of a vector that grows as fields come. In a fixed buffer a field that does not fit is not
// written and marks the writer failed; later fields are dropped too, so a caller writes a whole PDU
// and checks once. A growing writer never fails: it takes the vector's whole room at once (doubling
// it when that is not enough), so a buffer reused from one PDU to the next costs one fill and no
// allocation, and cuts the vector to what was written when it goes; until then the vector may be
// longer. Size() is the offset of the next field (for a growing writer, from the start of the
// vector). A growing writer is not copied.
class Writer {
public:
    constexpr Writer(uint8_t* data, std::size_t capacity) : m_data(data), m_capacity(data ? capacity : 0) {}
    constexpr explicit Writer(std::span<uint8_t> buffer) : Writer(buffer.data(), buffer.size()) {}
    // Appends to out after what it already holds.
    explicit Writer(std::vector<uint8_t>& out)
        : m_data(out.data()), m_capacity(out.size()), m_size(out.size()), m_grow(&out) {}
    constexpr ~Writer() {
        if (m_grow)
            m_grow->resize(m_size);
    }

    constexpr bool Ok() const { return m_ok; }
    constexpr std::size_t Size() const { return m_size; }

    constexpr Writer& U8(uint8_t v) {
        if (Room(1))
            m_data[m_size++] = v;
        return *this;
    }
    constexpr Writer& U16(uint16_t v) {
        if (Room(2)) {
            WriteBe16(m_data + m_size, v);
            m_size += 2;
        }
        return *this;
    }
    constexpr Writer& U32(uint32_t v) {
        if (Room(4)) {
            WriteBe32(m_data + m_size, v);
            m_size += 4;
        }
        return *this;
    }
    Writer& Bytes(std::span<const uint8_t> bytes) {
        if (Room(bytes.size()) && !bytes.empty()) {
            std::memcpy(m_data + m_size, bytes.data(), bytes.size());
            m_size += bytes.size();
        }
        return *this;
    }
    // A fixed-width text field: the text cut to `width` octets, NUL-padded to it.
    Writer& Text(std::string_view text, std::size_t width) {
        if (Room(width)) {
            const std::size_t n = text.size() < width ? text.size() : width;
            if (n > 0)
                std::memcpy(m_data + m_size, text.data(), n);
            std::memset(m_data + m_size + n, 0, width - n);
            m_size += width;
        }
        return *this;
    }
    // A C string: the text and its NUL.
    Writer& CString(std::string_view text) {
        if (Room(text.size() + 1)) {
            if (!text.empty())
                std::memcpy(m_data + m_size, text.data(), text.size());
            m_data[m_size + text.size()] = 0;
            m_size += text.size() + 1;
        }
        return *this;
    }
    // A C string cut to at most maxChars octets and at any NUL of its own, then its NUL.
    Writer& CString(std::string_view text, std::size_t maxChars) {
        const std::size_t nul = text.find('\0');
        const std::size_t n = std::min({text.size(), maxChars, nul});
        return CString(text.substr(0, n));
    }
    // An optional parameter: tag, length and value, a value over kMaxTlvValue cut to it.
    Writer& Tlv(uint16_t tag, std::span<const uint8_t> value) {
        const std::size_t n = value.size() < kMaxTlvValue ? value.size() : kMaxTlvValue;
        return U16(tag).U16(static_cast<uint16_t>(n)).Bytes(value.first(n));
    }
    // Stores v at an offset already written (a length field filled in last).
    constexpr void PatchU32(std::size_t at, uint32_t v) {
        if (at <= m_size && m_size - at >= 4)
            WriteBe32(m_data + at, v);
        else
            Fail();
    }

private:
    // One compare on the way of every field; what does not fit grows the vector or fails the writer.
    constexpr bool Room(std::size_t count) { return count <= m_capacity - m_size || Grow(count); }
    constexpr bool Grow(std::size_t count) {
        if (m_grow) {
            m_grow->resize(std::max({m_size + count, m_grow->capacity(), 2 * m_grow->size(), std::size_t(64)}));
            m_data = m_grow->data();
            m_capacity = m_grow->size();
            return true;
        }
        Fail();
        return false;
    }
    // No more room from now on, so that nothing after a failure is written.
    constexpr void Fail() {
        m_ok = false;
        m_capacity = m_size;
    }

    uint8_t* m_data;
    std::size_t m_capacity;
    std::size_t m_size = 0;
    bool m_ok = true;
    std::vector<uint8_t>* m_grow = nullptr;
};

} // namespace wire
