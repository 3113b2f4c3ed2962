// A bounds-checked reader of big- and little-endian integers over a run of received bytes.
#pragma once

#include <cstdint>

// Reads at byte positions relative to the start of a run of `size` readable bytes. A read that
// does not fit wholly inside the run yields 0 and marks the reader failed, so a caller can read
// a series of fields and check once. Nothing outside [data, data + size) is ever touched.
class ByteReader {
public:
    ByteReader(const uint8_t* data, int32_t size) : m_data(data), m_size(data && size > 0 ? size : 0) {}

    int32_t Size() const { return m_size; }
    bool Has(int32_t at, int32_t count) const {
        return at >= 0 && count >= 0 && at <= m_size && count <= m_size - at;
    }
    bool Failed() const { return m_failed; }

    uint8_t U8(int32_t at) const { return Has(at, 1) ? m_data[at] : Fail<uint8_t>(); }
    uint16_t U16Be(int32_t at) const {
        return Has(at, 2) ? static_cast<uint16_t>(m_data[at] << 8 | m_data[at + 1]) : Fail<uint16_t>();
    }
    uint16_t U16Le(int32_t at) const {
        return Has(at, 2) ? static_cast<uint16_t>(m_data[at + 1] << 8 | m_data[at]) : Fail<uint16_t>();
    }
    uint32_t U32Be(int32_t at) const {
        return Has(at, 4) ? static_cast<uint32_t>(m_data[at]) << 24 | static_cast<uint32_t>(m_data[at + 1]) << 16 |
                                static_cast<uint32_t>(m_data[at + 2]) << 8 | m_data[at + 3]
                          : Fail<uint32_t>();
    }
    uint32_t U32Le(int32_t at) const {
        return Has(at, 4) ? static_cast<uint32_t>(m_data[at + 3]) << 24 | static_cast<uint32_t>(m_data[at + 2]) << 16 |
                                static_cast<uint32_t>(m_data[at + 1]) << 8 | m_data[at]
                          : Fail<uint32_t>();
    }

    // Length of the text at `at` up to its NUL or the end of the run, at most `limit` bytes;
    // `terminated` tells whether the NUL was found within that reach.
    int32_t TextLength(int32_t at, int32_t limit, bool& terminated) const {
        terminated = false;
        if (at < 0 || at > m_size || limit < 0) return 0;
        const int32_t reach = limit < m_size - at ? limit : m_size - at;
        for (int32_t i = 0; i < reach; ++i) {
            if (m_data[at + i] == 0) {
                terminated = true;
                return i;
            }
        }
        return reach;
    }

private:
    template <typename T>
    T Fail() const {
        m_failed = true;
        return 0;
    }

    const uint8_t* m_data;
    int32_t m_size;
    mutable bool m_failed = false;
};
