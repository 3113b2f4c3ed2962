// One CIMD2 packet read into its operation code, packet number and parameters, and packets built from them.
#pragma once

#include "cimd/Codes.h"
#include "cimd/Framing.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace cimd {

inline constexpr uint8_t kTab = 0x09;

// A parameter's code and value text, and where its code starts counted from the STX.
struct Parameter {
    uint16_t code = 0;
    std::string_view value;
    uint32_t offset = 0;
};

// More than any operation has; a submit to many destinations repeats 021.
inline constexpr std::size_t kMaxParameters = 64;

// A packet read whole. The values point into the bytes given to Parse, which must outlive the packet.
struct Packet {
    uint8_t operation = 0;
    uint8_t number = 0;
    bool checksummed = false; // false: the packet ended TAB ETX
    std::array<Parameter, kMaxParameters> parameters{};
    std::size_t parameterCount = 0;

    std::span<const Parameter> Parameters() const { return {parameters.data(), parameterCount}; }
    // The first parameter of that code, or null.
    const Parameter* Find(uint16_t code) const;
};

// Who sent a packet, which fixes the parity of its number: the client numbers its operations odd and the
// SMSC its own even, and a response carries the number of what it answers.
enum class Sender : uint8_t { Client, Smsc, Unknown };

// Why a packet was refused; ParseResult::Answer() says with which operation the SMSC answers it.
enum class Fault : uint8_t {
    None,
    NotFramed,         // not STX first and ETX last alone, shorter than a header, or over kMaxFrameOctets
    Header,            // not two digits, ':', three digits and a TAB
    PacketNumber,      // over 255, or odd or even against who sent it
    Checksum,          // after the last TAB neither nothing nor two hex digits equal to the sum
    Parameter,         // a parameter not three digits, ':' and its value, or the last without its TAB
    TooManyParameters, // more than kMaxParameters
    UnknownOperation,  // an operation code CIMD2 does not have
};

struct ParseResult {
    Packet packet;
    Fault fault = Fault::None;
    uint32_t faultOffset = 0; // where in the packet the fault lies
    bool headerRead = false;  // operation and number are good enough to address an answer

    bool Ok() const { return fault == Fault::None; }
    // op::kNack for a packet that cannot be read, op::kGeneralError (900: unexpected operation) for an
    // operation CIMD2 does not have; 0 when there is no fault.
    uint8_t Answer() const;
};

// Reads one packet as CutFrame cut it, STX to ETX. Any bytes at all give a result; none is trusted.
ParseResult Parse(std::span<const uint8_t> packet, Sender sender = Sender::Unknown);
inline ParseResult Parse(std::string_view packet, Sender sender = Sender::Unknown) {
    return Parse({reinterpret_cast<const uint8_t*>(packet.data()), packet.size()}, sender);
}

// The sum modulo 256 of the octets, as the checksum is of those from STX through the last TAB.
uint8_t Checksum(std::string_view octets);

struct ParameterValue {
    uint16_t code;
    std::string_view value;
};
enum class Trailer : uint8_t { Checksum, None };

// A packet of those parameters, its checksum computed or left out. Empty when it cannot be one: an
// operation over 99, a code over 999, a value holding TAB, STX or ETX, or longer than kMaxFrameOctets.
std::string Build(uint8_t operation, uint8_t number, std::span<const ParameterValue> parameters,
                  Trailer trailer = Trailer::Checksum);
inline std::string Build(uint8_t operation, uint8_t number, std::initializer_list<ParameterValue> parameters,
                         Trailer trailer = Trailer::Checksum) {
    return Build(operation, number, std::span<const ParameterValue>(parameters.begin(), parameters.size()), trailer);
}
// The response to operation `operation` of packet `number`.
inline std::string BuildResponse(uint8_t operation, uint8_t number, std::initializer_list<ParameterValue> parameters,
                                 Trailer trailer = Trailer::Checksum) {
    return Build(uint8_t(operation + op::kResponseOffset), number, parameters, trailer);
}

} // namespace cimd
