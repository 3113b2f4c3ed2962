// Reading the message fields out of received submit_sm, data_sm and submit_multi bodies.
#include "smpp/SubmittedMessage.h"

#include "smpp/SmppPdu.h"

#include <cstring>

namespace smpp {

namespace {

constexpr uint16_t kTagMessagePayload = 0x0424;
constexpr uint8_t kDestFlagSmeAddress = 1;
constexpr uint8_t kDestFlagDistributionList = 2;

// Reads fields in order and remembers the first failure, so the caller checks once at the end.
class Cursor {
public:
    Cursor(const uint8_t* data, int32_t length)
        : m_data(data), m_left(length > 0 ? static_cast<std::size_t>(length) : 0) {}

    bool Ok() const { return m_ok; }
    std::size_t Left() const { return m_ok ? m_left : 0; }

    uint8_t Octet() {
        if (!Need(1))
            return 0;
        --m_left;
        return *m_data++;
    }
    uint16_t Be16() {
        const uint8_t high = Octet();
        return static_cast<uint16_t>(high << 8 | Octet());
    }
    std::string CString(std::size_t maxOctets) {
        const std::size_t limit = std::min(maxOctets, m_left);
        const void* nul = m_ok && limit > 0 ? std::memchr(m_data, 0, limit) : nullptr;
        if (!nul) {
            m_ok = false;
            return {};
        }
        const std::size_t length = static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - m_data);
        std::string text(reinterpret_cast<const char*>(m_data), length);
        m_data += length + 1;
        m_left -= length + 1;
        return text;
    }
    std::vector<uint8_t> Octets(std::size_t count) {
        if (!Need(count))
            return {};
        std::vector<uint8_t> octets(m_data, m_data + count);
        m_data += count;
        m_left -= count;
        return octets;
    }
    void Skip(std::size_t count) {
        if (Need(count)) {
            m_data += count;
            m_left -= count;
        }
    }

private:
    bool Need(std::size_t count) {
        if (!m_ok || m_left < count)
            m_ok = false;
        return m_ok;
    }

    const uint8_t* m_data;
    std::size_t m_left;
    bool m_ok = true;
};

SmeAddress Address(Cursor& in, std::size_t maxOctets) {
    SmeAddress address;
    address.ton = in.Octet();
    address.npi = in.Octet();
    address.addr = in.CString(maxOctets);
    return address;
}

// esm_class .. sm_length and short_message, shared by submit_sm and submit_multi.
void SubmitTail(Cursor& in, SubmittedMessage& m) {
    m.esmClass = in.Octet();
    in.Skip(2); // protocol_id, priority_flag
    in.CString(kTimeOctets);
    in.CString(kTimeOctets);
    m.registeredDelivery = in.Octet();
    in.Skip(1); // replace_if_present_flag
    m.dataCoding = in.Octet();
    in.Skip(1); // sm_default_msg_id
    const uint8_t smLength = in.Octet();
    m.message = in.Octets(smLength);
}

void ReadPayload(Cursor& in, SubmittedMessage& m) {
    while (in.Left() >= 4) {
        const uint16_t tag = in.Be16();
        const uint16_t length = in.Be16();
        std::vector<uint8_t> value = in.Octets(length);
        if (!in.Ok())
            return;
        if (tag == kTagMessagePayload)
            m.message = std::move(value);
    }
}

} // namespace

std::optional<SubmittedMessage> ParseSubmitted(uint32_t commandId, const uint8_t* body, int32_t length) {
    Cursor in(body, length);
    SubmittedMessage m;
    m.commandId = commandId;
    m.serviceType = in.CString(kServiceTypeOctets);
    switch (commandId) {
    case kSubmitSm:
        m.source = Address(in, kShortAddressOctets);
        m.destinations.push_back(Address(in, kShortAddressOctets));
        SubmitTail(in, m);
        break;
    case kDataSm:
        m.source = Address(in, kLongAddressOctets);
        m.destinations.push_back(Address(in, kLongAddressOctets));
        m.esmClass = in.Octet();
        m.registeredDelivery = in.Octet();
        m.dataCoding = in.Octet();
        break;
    case kSubmitMulti: {
        m.source = Address(in, kShortAddressOctets);
        const uint8_t count = in.Octet();
        for (uint8_t i = 0; i < count && in.Ok(); ++i) {
            const uint8_t flag = in.Octet();
            if (flag == kDestFlagSmeAddress)
                m.destinations.push_back(Address(in, kShortAddressOctets));
            else if (flag == kDestFlagDistributionList)
                in.CString(kDistributionListOctets); // a list name reaches no terminal
            else
                return std::nullopt;
        }
        SubmitTail(in, m);
        break;
    }
    default:
        return std::nullopt;
    }
    if (!in.Ok())
        return std::nullopt;
    ReadPayload(in, m);
    return m;
}

} // namespace smpp
