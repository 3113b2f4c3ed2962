// The two framers: by length field, and between STX and ETX with a checksum.
#include "wire/Framer.h"

#include "wire/StxFrame.h"

#include <algorithm>

namespace wire {
namespace {

// The value of an upper-case hex digit, -1 for any other octet.
int UpperHexDigit(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

FrameFault FaultOf(StxFrameFault fault) {
    switch (fault) {
    case StxFrameFault::Stray:
        return FrameFault::Stray;
    case StxFrameFault::Unterminated:
        return FrameFault::Unterminated;
    case StxFrameFault::TooLong:
        return FrameFault::TooLong;
    case StxFrameFault::None:
        break;
    }
    return FrameFault::None;
}

} // namespace

const char* FrameFaultName(FrameFault fault) {
    switch (fault) {
    case FrameFault::BadLength: return "a bad length";
    case FrameFault::Stray: return "octets before the start";
    case FrameFault::Unterminated: return "a start with no end";
    case FrameFault::TooLong: return "no end within the largest frame";
    case FrameFault::BadChecksum: return "a bad checksum";
    case FrameFault::None: break;
    }
    return "no fault";
}

FrameCut LengthPrefixFramer::Cut(std::span<const uint8_t> buffered) const {
    const FrameResult frame = Frame(buffered.data(), buffered.size(), m_headerSize, m_maxPdu);
    return {frame.status, frame.length, frame.status == FrameStatus::Invalid ? FrameFault::BadLength : FrameFault::None};
}

FrameCut LengthPrefixFramer::CutEarly(std::span<const uint8_t> buffered) const {
    const FrameCut cut = Cut(buffered);
    if (cut.status == FrameStatus::NeedMore && cut.length == 0 && buffered.size() >= 4 &&
        !LengthFits(ReadBe32(buffered.data()), m_headerSize, m_maxPdu))
        return {FrameStatus::Invalid, ReadBe32(buffered.data()), FrameFault::BadLength};
    return cut;
}

uint32_t DelimitedFramer::MaxFrame() const { return uint32_t(kMaxStxFrameOctets); }

FrameCut DelimitedFramer::Cut(std::span<const uint8_t> buffered) const {
    const StxFrameCut cut = CutStxFrame(buffered);
    const auto length = static_cast<uint32_t>(cut.length);
    switch (cut.status) {
    case StxFrameStatus::NeedMore:
        return {FrameStatus::NeedMore, 0};
    case StxFrameStatus::Invalid:
        return {FrameStatus::Invalid, length, FaultOf(cut.fault)};
    case StxFrameStatus::Frame:
        break;
    }
    if (!ChecksumHolds(buffered.first(cut.length)))
        return {FrameStatus::Invalid, length, FrameFault::BadChecksum};
    return {FrameStatus::Pdu, length};
}

bool DelimitedFramer::ChecksumHolds(std::span<const uint8_t> frame) const {
    if (m_delimiting.checksum == Delimiting::Checksum::None)
        return true;
    // frame is STX ... ETX; the checksum sits between the last separator and the ETX.
    const std::span<const uint8_t> inside = frame.subspan(1, frame.size() - 2);
    const auto last = std::find(inside.rbegin(), inside.rend(), m_delimiting.separator);
    if (last == inside.rend())
        return false;
    const std::size_t through = std::size_t(inside.rend() - last); // octets of inside up to and with the separator
    const std::span<const uint8_t> digits = inside.subspan(through);
    if (digits.empty())
        return m_delimiting.checksum == Delimiting::Checksum::Optional;
    if (digits.size() != 2 || UpperHexDigit(digits[0]) < 0 || UpperHexDigit(digits[1]) < 0)
        return false;
    unsigned sum = m_delimiting.sumsStart ? frame[0] : 0;
    for (std::size_t i = 0; i < through; ++i)
        sum += inside[i];
    return (sum & 0xFF) == unsigned(UpperHexDigit(digits[0]) * 16 + UpperHexDigit(digits[1]));
}

std::unique_ptr<Framer> FramerFor(const protocol::Protocol& protocol, uint32_t maxPdu) {
    switch (protocol.framing) {
    case protocol::Framing::UcpText:
        return std::make_unique<DelimitedFramer>(kUcpDelimiting);
    case protocol::Framing::CimdText:
        return std::make_unique<DelimitedFramer>(kCimdDelimiting);
    case protocol::Framing::LengthPrefixed:
        break;
    }
    return std::make_unique<LengthPrefixFramer>(protocol.headerSize, maxPdu != 0 ? maxPdu : protocol.maxPdu);
}

} // namespace wire
