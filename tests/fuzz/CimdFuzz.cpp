// libFuzzer entry: any bytes are a CIMD2 stream; cutting, reading and the codings stay inside them, and
// every packet read whole is built again octet for octet.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cimd/Cimd.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void Check(std::span<const uint8_t> bytes, cimd::Sender sender) {
    const cimd::ParseResult r = cimd::Parse(bytes, sender);
    Require(r.faultOffset <= bytes.size());
    if (!r.Ok())
        return;
    const std::string_view packet(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<cimd::ParameterValue> parameters;
    for (const cimd::Parameter& p : r.packet.Parameters()) {
        Require(p.offset + 4 + p.value.size() < packet.size() && p.value.data() == packet.data() + p.offset + 4);
        parameters.push_back({p.code, p.value});
        if (const auto text = cimd::DecodeUserData(p.value); text && cimd::EncodeUserData(*text))
            Require(cimd::DecodeUserData(*cimd::EncodeUserData(*text)) == text);
        if (const auto time = cimd::ParseTime(p.value))
            Require(cimd::FormatTime(*time) == p.value);
        (void)cimd::FromHex(p.value);
    }
    const std::string built = cimd::Build(r.packet.operation, r.packet.number, parameters,
                                          r.packet.checksummed ? cimd::Trailer::Checksum : cimd::Trailer::None);
    std::string upper(packet); // the checksum is read in either case and written in upper case
    for (std::size_t i = upper.size() - 3; r.packet.checksummed && i < upper.size(); ++i)
        upper[i] = char(std::toupper(uint8_t(upper[i])));
    Require(built == upper);
}

} // namespace

// The first octet's low bit gives a packet's text from its operation code to its last TAB a true checksum
// here, so that the parameters are reached; the next two bits choose who sent it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 16)
        return 0;
    const unsigned pick = data[0] >> 1 & 3;
    using cimd::Sender;
    const Sender sender = pick == 0 ? Sender::Client : pick == 1 ? Sender::Smsc : Sender::Unknown;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 1) {
        bytes = "\x02" + bytes + "\t";
        const char* hex = "0123456789ABCDEF";
        const uint8_t sum = cimd::Checksum(bytes);
        bytes = bytes + hex[sum >> 4] + hex[sum & 15] + "\x03";
    }
    std::span<const uint8_t> rest(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    while (!rest.empty()) {
        const cimd::FrameCut cut = cimd::CutFrame(rest);
        if (cut.status == cimd::FrameStatus::NeedMore)
            break;
        Require(cut.length > 0 && cut.length <= rest.size() && cut.length <= cimd::kMaxFrameOctets);
        if (cut.status == cimd::FrameStatus::Frame)
            Check(rest.first(cut.length), sender);
        rest = rest.subspan(cut.length);
    }
    Check(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), sender);
    return 0;
}
