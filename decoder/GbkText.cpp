// Conversion of GBK text read from the wire into the UTF-8 the decode lines carry.
#include "decoder/GbkText.h"

#include <iconv.h>

#include <cerrno>

namespace {

// One converter per thread: an iconv descriptor carries shift state and must not be shared.
class Gb18030Converter {
public:
    Gb18030Converter() : m_cd(iconv_open("UTF-8", "GB18030")) {}
    ~Gb18030Converter() {
        if (Usable()) iconv_close(m_cd);
    }
    Gb18030Converter(const Gb18030Converter&) = delete;
    Gb18030Converter& operator=(const Gb18030Converter&) = delete;

    bool Usable() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + size) as forms whole characters; returns the bytes consumed.
    size_t Convert(std::string& out, const uint8_t* in, size_t size) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(reinterpret_cast<const char*>(in));
        size_t left = size;
        while (left > 0) {
            char buffer[256];
            char* dst = buffer;
            size_t room = sizeof buffer;
            const size_t rc = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc != static_cast<size_t>(-1)) break;
            if (errno != E2BIG) break; // EILSEQ or EINVAL: the caller escapes the byte at src
        }
        return size - left;
    }

private:
    iconv_t m_cd;
};

} // namespace

void AppendEscaped(std::string& out, uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char escaped[4] = {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
    out.append(escaped, 4);
}

void AppendGbkText(std::string& out, const uint8_t* bytes, int32_t count) {
    if (!bytes || count <= 0) return;
    int32_t end = 0;
    while (end < count && bytes[end] != 0) ++end;

    int32_t at = 0;
    while (at < end) {
        int32_t ascii = at;
        while (ascii < end && bytes[ascii] < 0x80 && !IsControl(bytes[ascii])) ++ascii;
        out.append(reinterpret_cast<const char*>(bytes + at), static_cast<size_t>(ascii - at));
        at = ascii;
        if (at == end) break;
        if (IsControl(bytes[at])) {
            AppendEscaped(out, bytes[at]);
            ++at;
            continue;
        }

        // A multi-byte character may continue with bytes below 0x80 (GBK trail bytes, the
        // digits of a four-byte GB18030 form), so hand the converter the rest of the text up to
        // the next control character, which no character of GB18030 contains.
        int32_t run = at;
        while (run < end && !IsControl(bytes[run])) ++run;
        thread_local Gb18030Converter converter;
        const size_t used = converter.Usable() ? converter.Convert(out, bytes + at, static_cast<size_t>(run - at)) : 0;
        at += static_cast<int32_t>(used);
        if (at < end && used == 0) {
            AppendEscaped(out, bytes[at]);
            ++at;
        }
    }
}

std::string GbkToUtf8(const uint8_t* bytes, int32_t count) {
    std::string out;
    AppendGbkText(out, bytes, count);
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}
