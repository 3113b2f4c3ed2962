// The answer a request handler means to give, as a value: a whole PDU in a fixed inline buffer.
#pragma once

#include "smpp/SmppPdu.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace smpp {

// A response PDU built in place, header first, body through Body() and EndBody(). Holds no heap
// memory, so that answering costs no allocation; at most kResponseSize octets. What happens to
// it (sent, held, followed by a close, dropped) is decided by whoever delivers it.
class Answer {
public:
    // No answer: a response of the ESME's that only settles or is only captured.
    Answer() = default;
    // A header-only answer until a body is ended into it.
    Answer(uint32_t commandId, uint32_t status, uint32_t sequence, int32_t filterIndex)
        : m_filterIndex(filterIndex), m_length(kHeaderSize) {
        WriteBe32(m_pdu + kLengthOffset, kHeaderSize);
        WriteBe32(m_pdu + kIdOffset, commandId);
        WriteBe32(m_pdu + kStatusOffset, status);
        WriteBe32(m_pdu + kSequenceOffset, sequence);
    }

    // Writes the body after the header; EndBody with the same writer makes it part of the PDU.
    wire::Writer Body() { return wire::Writer(m_pdu + kHeaderSize, sizeof m_pdu - kHeaderSize); }
    void EndBody(const wire::Writer& body) {
        m_length = uint32_t(kHeaderSize + body.Size());
        WriteBe32(m_pdu + kLengthOffset, m_length);
    }

    // Appends an optional parameter behind what the PDU holds; false, and nothing appended, where it does not fit.
    bool AppendTlv(uint16_t tag, std::span<const uint8_t> value) {
        if (!Present() || value.size() > sizeof m_pdu - m_length - 4)
            return false;
        wire::Writer out(m_pdu + m_length, sizeof m_pdu - m_length);
        out.Tlv(tag, value);
        m_length += uint32_t(out.Size());
        WriteBe32(m_pdu + kLengthOffset, m_length);
        return true;
    }

    bool Present() const { return m_length != 0; }
    bool HeaderOnly() const { return m_length == uint32_t(kHeaderSize); }
    uint32_t CommandId() const { return ReadBe32(m_pdu + kIdOffset); }
    const uint8_t* Pdu() const { return m_pdu; }
    uint32_t Length() const { return m_length; }
    int32_t FilterIndex() const { return m_filterIndex; }
    // The message_id a submit_sm_resp, data_sm_resp or submit_multi_resp opens its body with.
    std::string_view MessageId() const {
        const auto* text = reinterpret_cast<const char*>(m_pdu + kHeaderSize);
        std::size_t n = 0;
        while (kHeaderSize + n < m_length && text[n] != '\0')
            ++n;
        return {text, n};
    }

    // unbind: the connection closes once this answer has gone.
    bool closeAfter = false;

private:
    int32_t m_filterIndex = kFilterUnknown;
    uint32_t m_length = 0; // 0: no answer
    uint8_t m_pdu[kResponseSize];
};

} // namespace smpp
