// The one reader of ESME request bodies.
#include "smpp/BodyReader.h"

#include "smpp/SmppPdu.h"

namespace smpp {

namespace {

constexpr uint8_t kDestFlagSmeAddress = 1;
constexpr uint8_t kDestFlagDistributionList = 2;
constexpr std::size_t kOctetsBeforeAddressRange = 3; // interface_version, addr_ton, addr_npi

AddressField Address(wire::Cursor& in, std::size_t maxOctets) {
    AddressField address;
    address.ton = in.U8();
    address.npi = in.U8();
    address.addr = in.CString(maxOctets);
    return address;
}

} // namespace

bool CRequestBodyReader::ReadHead(uint32_t commandId, std::string_view* serviceType, AddressField* source) {
    m_left = 0;
    if (commandId != kSubmitSm && commandId != kDataSm && commandId != kCancelSm && commandId != kSubmitMulti)
        return false;
    *serviceType = m_in.CString(kServiceTypeOctets);
    m_addressOctets = kShortAddressOctets;
    switch (commandId) {
    case kSubmitSm:
        *source = Address(m_in, kShortAddressOctets);
        m_left = 1;
        return true;
    case kDataSm: // addresses of up to 64 characters
        m_addressOctets = kLongAddressOctets;
        *source = Address(m_in, kLongAddressOctets);
        m_left = 1;
        return true;
    case kCancelSm:
        m_in.CString(kMessageIdOctets);
        *source = Address(m_in, kShortAddressOctets);
        m_left = 1;
        return true;
    case kSubmitMulti:
        *source = Address(m_in, kShortAddressOctets);
        m_left = m_in.U8(); // number_of_dests
        m_flagged = true;
        return true;
    default:
        return false;
    }
}

CRequestBodyReader::Next CRequestBodyReader::NextDestination(Destination* out) {
    if (m_left <= 0 || !m_in.Ok())
        return Next::End;
    --m_left;
    *out = Destination{};
    if (m_flagged) {
        const uint8_t flag = m_in.U8();
        if (!m_in.Ok())
            return Next::End;
        if (flag == kDestFlagDistributionList) {
            out->list = true;
            out->address.addr = m_in.CString(kDistributionListOctets);
            return m_in.Ok() ? Next::Destination : Next::End;
        }
        if (flag != kDestFlagSmeAddress)
            return Next::BadFlag;
    }
    out->address = Address(m_in, m_addressOctets);
    return m_in.Ok() ? Next::Destination : Next::End;
}

std::string_view LeadingText(const uint8_t* body, int32_t length, std::size_t maxChars) {
    const std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;
    const std::size_t limit = size < maxChars ? size : maxChars;
    std::size_t n = 0;
    while (n < limit && body[n] != 0)
        ++n;
    return {reinterpret_cast<const char*>(body), n};
}

std::string_view BindAddressRange(const uint8_t* body, int32_t length) {
    wire::Cursor in(body, length > 0 ? static_cast<std::size_t>(length) : 0);
    in.CString(kSystemIdOctets);
    in.CString(kPasswordOctets);
    in.CString(kSystemTypeOctets);
    in.Skip(kOctetsBeforeAddressRange);
    if (in.Remaining() == 0)
        return {};
    return LeadingText(body + in.Offset(), int32_t(in.Remaining()), kMaxAddressRangeChars);
}

std::optional<uint8_t> BindInterfaceVersion(const uint8_t* body, int32_t length) {
    wire::Cursor in(body, length > 0 ? static_cast<std::size_t>(length) : 0);
    in.CString(kSystemIdOctets);
    in.CString(kPasswordOctets);
    in.CString(kSystemTypeOctets);
    const uint8_t version = in.U8();
    return in.Ok() ? std::optional<uint8_t>(version) : std::nullopt;
}

std::string_view BindPassword(const uint8_t* body, int32_t length) {
    wire::Cursor in(body, length > 0 ? static_cast<std::size_t>(length) : 0);
    in.CString(kSystemIdOctets);
    if (in.Remaining() == 0)
        return {};
    return LeadingText(body + in.Offset(), int32_t(in.Remaining()), kPasswordOctets - 1);
}

} // namespace smpp
