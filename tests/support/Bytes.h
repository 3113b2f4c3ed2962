// Builds PDUs and capture records from field values, so tests never take bytes from the code under test.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace test_bytes {

// Appends wire fields in order; integers big-endian unless the name says otherwise.
class Builder {
public:
    Builder& u8(uint32_t v) {
        const uint8_t octet = static_cast<uint8_t>(v);
        return append(&octet, 1);
    }
    Builder& u16(uint32_t v) { return u8(v >> 8).u8(v); }
    Builder& u32(uint32_t v) { return u16(v >> 16).u16(v); }
    Builder& u16le(uint32_t v) { return u8(v).u8(v >> 8); }
    Builder& u32le(uint32_t v) { return u16le(v).u16le(v >> 16); }
    // NUL-terminated string field.
    Builder& cstr(std::string_view s) { raw(s); return u8(0); }
    // Fixed-width text, NUL-filled (cut when longer).
    Builder& text(std::string_view s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
        return *this;
    }
    Builder& raw(std::string_view s) { return append(s.data(), s.size()); }
    Builder& raw(const std::vector<uint8_t>& b) { return append(b.data(), b.size()); }
    Builder& fill(size_t n, uint8_t v = 0) { m_bytes.insert(m_bytes.end(), n, v); return *this; }

    size_t size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    operator std::vector<uint8_t>() const { return m_bytes; }

private:
    // Grows by resize and copies with memcpy: GCC 12 at -O3 mistakes push_back and range insert
    // into a freshly grown vector for a write past its end.
    Builder& append(const void* data, size_t size) {
        const size_t at = m_bytes.size();
        m_bytes.resize(at + size);
        if (size != 0)
            std::memcpy(m_bytes.data() + at, data, size);
        return *this;
    }

    std::vector<uint8_t> m_bytes;
};

// An SMPP PDU: 16-byte header with command_length computed from the body.
inline std::vector<uint8_t> SmppPdu(uint32_t commandId, uint32_t sequence, const std::vector<uint8_t>& body = {},
                                    uint32_t status = 0) {
    Builder b;
    b.u32(static_cast<uint32_t>(16 + body.size())).u32(commandId).u32(status).u32(sequence).raw(body);
    return b;
}

// A PDU with the 12-octet header of the gateway and TEST protocols: length, command, sequence.
inline std::vector<uint8_t> Pdu12(uint32_t command, uint32_t sequence, const std::vector<uint8_t>& body = {}) {
    Builder b;
    b.u32(static_cast<uint32_t>(12 + body.size())).u32(command).u32(sequence).raw(body);
    return b;
}

// The body of a submit_sm or deliver_sm: empty service_type and times, ton and npi 1, the given addresses,
// esm_class, data_coding and short_message, then the TLVs as they are.
inline std::vector<uint8_t> SmppMessageBody(std::string_view source, std::string_view destination, uint8_t esmClass,
                                            uint8_t dataCoding, const std::vector<uint8_t>& shortMessage,
                                            const std::vector<uint8_t>& tlvs = {}) {
    Builder b;
    b.cstr("").u8(1).u8(1).cstr(source).u8(1).u8(1).cstr(destination).u8(esmClass).u8(0).u8(0).cstr("").cstr("");
    b.u8(0).u8(0).u8(dataCoding).u8(0).u8(static_cast<uint32_t>(shortMessage.size())).raw(shortMessage).raw(tlvs);
    return b;
}

// The body of a data_sm: the same fields as far as data_coding, then the TLVs.
inline std::vector<uint8_t> DataSmBody(std::string_view source, std::string_view destination, uint8_t esmClass,
                                       uint8_t dataCoding, const std::vector<uint8_t>& tlvs) {
    Builder b;
    b.cstr("").u8(1).u8(1).cstr(source).u8(1).u8(1).cstr(destination).u8(esmClass).u8(0).u8(dataCoding).raw(tlvs);
    return b;
}

// CMPP DELIVER up to its Msg_Length: Msg_Id, Dest_Id, Service_Id, TP_pid, TP_udhi, Msg_Fmt (15, GBK),
// Src_terminal_Id (21 octets in 2.0; 32 and a type octet in 3.0), Registered_Delivery.
inline Builder CmppDeliverHead(int version) {
    Builder b;
    b.fill(8).text("10658000", 21).text("SVC", 10).u8(0).u8(0).u8(15).text("13900139000", version == 2 ? 21 : 32);
    if (version == 3)
        b.u8(0);
    return b.u8(0);
}

inline std::vector<uint8_t> Tlv(uint16_t tag, const std::vector<uint8_t>& value) {
    return Builder().u16(tag).u16(static_cast<uint32_t>(value.size())).raw(value);
}

inline std::vector<uint8_t> Octets(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A capture record as the capture log stores it: little-endian header, address first octet first.
inline std::vector<uint8_t> CaptureRecord(uint16_t protocol, const std::vector<uint8_t>& pdu,
                                          uint32_t time = 0, uint32_t address = 0x7F000001, uint16_t port = 5018) {
    Builder b;
    b.u32le(static_cast<uint32_t>(16 + pdu.size())).u32le(time).u32(address).u16le(port).u16le(protocol).raw(pdu);
    return b;
}

} // namespace test_bytes
