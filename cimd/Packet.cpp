// Reading a CIMD2 packet parameter by parameter, with its checksum and packet number checked, and building packets.
#include "cimd/Packet.h"

#include "cimd/Coding.h"

#include <algorithm>
#include <cstdio>

namespace cimd {

namespace {

constexpr std::size_t kHeaderOctets = 7; // "OO:SSS" and its TAB
constexpr std::size_t kSmallestPacket = 1 + kHeaderOctets + 1;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

unsigned Number(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits)
        value = value * 10 + unsigned(c - '0');
    return value;
}

ParseResult Refuse(ParseResult& result, Fault fault, uint32_t offset) {
    result.fault = fault;
    result.faultOffset = offset;
    return result;
}

// Reads "OO:SSS" and its TAB; the offset of the first octet out of place, or 0.
uint32_t ReadHeader(std::string_view packet, ParseResult& result) {
    const std::string_view operation = packet.substr(1, 2), number = packet.substr(4, 3);
    result.packet.operation = IsDigits(operation) ? uint8_t(Number(operation)) : 0;
    result.packet.number = IsDigits(number) ? uint8_t(Number(number)) : 0;
    result.headerRead = IsDigits(operation) && IsDigits(number) && Number(number) <= kLargestNumber;
    if (!IsDigits(operation))
        return 1;
    if (packet[3] != ':')
        return 3;
    if (!IsDigits(number))
        return 4;
    return packet[kHeaderOctets] == char(kTab) ? 0 : uint32_t(kHeaderOctets);
}

// Splits what lies between the header's TAB and the last TAB into parameters.
ParseResult ReadParameters(std::string_view packet, std::size_t lastTab, ParseResult& result) {
    Packet& p = result.packet;
    for (std::size_t start = kHeaderOctets + 1; start <= lastTab;) {
        const std::size_t tab = packet.find(char(kTab), start);
        const std::string_view text = packet.substr(start, tab - start);
        if (text.size() < 4 || !IsDigits(text.substr(0, 3)) || text[3] != ':')
            return Refuse(result, Fault::Parameter, uint32_t(start));
        if (p.parameterCount == kMaxParameters)
            return Refuse(result, Fault::TooManyParameters, uint32_t(start));
        p.parameters[p.parameterCount++] = {uint16_t(Number(text.substr(0, 3))), text.substr(4), uint32_t(start)};
        start = tab + 1;
    }
    return result;
}

// Whether the number's parity is the one its sender gives: odd for the client's operations and the SMSC's
// responses to them, even for the SMSC's operations and the client's responses.
bool ParityFits(const Packet& p, Sender sender) {
    if (sender == Sender::Unknown)
        return true;
    const bool operation = p.operation < op::kResponseOffset;
    return (p.number % 2 == 1) == (operation == (sender == Sender::Client));
}

} // namespace

const Parameter* Packet::Find(uint16_t code) const {
    const auto found = std::find_if(parameters.begin(), parameters.begin() + long(parameterCount),
                                    [code](const Parameter& p) { return p.code == code; });
    return found == parameters.begin() + long(parameterCount) ? nullptr : &*found;
}

uint8_t ParseResult::Answer() const {
    switch (fault) {
    case Fault::None: return 0;
    case Fault::UnknownOperation: return op::kGeneralError;
    default: return op::kNack;
    }
}

uint8_t Checksum(std::string_view octets) {
    unsigned sum = 0;
    for (char c : octets)
        sum += uint8_t(c);
    return uint8_t(sum);
}

ParseResult Parse(std::span<const uint8_t> bytes, Sender sender) {
    ParseResult result;
    const std::string_view packet(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (packet.size() < kSmallestPacket || packet.size() > kMaxFrameOctets || packet.front() != char(kStx) ||
        packet.back() != char(kEtx) || packet.find_first_of("\x02\x03", 1) != packet.size() - 1)
        return Refuse(result, Fault::NotFramed, 0);
    if (const uint32_t bad = ReadHeader(packet, result))
        return Refuse(result, Fault::Header, bad);
    const std::size_t lastTab = packet.rfind(char(kTab));
    const std::string_view trailer = packet.substr(lastTab + 1, packet.size() - lastTab - 2);
    if (trailer.find(':') != std::string_view::npos)
        return Refuse(result, Fault::Parameter, uint32_t(lastTab + 1)); // a last parameter without its TAB
    if (!trailer.empty()) {
        const int high = trailer.size() == 2 ? HexDigit(trailer[0]) : -1;
        const int low = trailer.size() == 2 ? HexDigit(trailer[1]) : -1;
        if (high < 0 || low < 0 || Checksum(packet.substr(0, lastTab + 1)) != high * 16 + low)
            return Refuse(result, Fault::Checksum, uint32_t(lastTab + 1));
        result.packet.checksummed = true;
    }
    if (!result.headerRead)
        return Refuse(result, Fault::PacketNumber, 4);
    if (ReadParameters(packet, lastTab, result).fault != Fault::None)
        return result;
    if (OperationText(result.packet.operation).empty())
        return Refuse(result, Fault::UnknownOperation, 1);
    if (!ParityFits(result.packet, sender))
        return Refuse(result, Fault::PacketNumber, 4);
    return result;
}

std::string Build(uint8_t operation, uint8_t number, std::span<const ParameterValue> parameters, Trailer trailer) {
    if (operation > 99)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%03u\t", unsigned(operation), unsigned(number));
    std::string packet(1, char(kStx));
    packet += text;
    for (const ParameterValue& p : parameters) {
        if (p.code > 999 || p.value.find_first_of("\t\x02\x03") != std::string_view::npos)
            return {};
        std::snprintf(text, sizeof text, "%03u:", unsigned(p.code));
        packet += text;
        packet += p.value;
        packet += char(kTab);
        if (packet.size() > kMaxFrameOctets)
            return {};
    }
    if (trailer == Trailer::Checksum) {
        const uint8_t sum = Checksum(packet);
        packet += kHexDigits[sum >> 4];
        packet += kHexDigits[sum & 15];
    }
    packet += char(kEtx);
    return packet.size() > kMaxFrameOctets ? std::string() : packet;
}

} // namespace cimd
