// libFuzzer entry: any bytes are a UCP/EMI stream; cutting, reading and the codings stay inside them, and
// every frame read whole is built again octet for octet.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ucp/Ucp.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void Check(std::span<const uint8_t> frame) {
    const ucp::ParseResult r = ucp::Parse(frame);
    Require(r.faultOffset <= frame.size());
    if (!r.Ok())
        return;
    const ucp::Message& m = r.message;
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < m.fieldCount; ++i) {
        const ucp::Field& f = m.fields[i];
        const char* at = reinterpret_cast<const char*>(frame.data()) + f.offset;
        Require(f.offset + f.text.size() < frame.size() && f.text.data() == at);
        Require(!m.FieldName(i).empty());
        fields.push_back(f.text);
        if (const auto text = ucp::DecodeAMsg(f.text); text && ucp::EncodeAMsg(*text))
            Require(ucp::DecodeAMsg(*ucp::EncodeAMsg(*text)) == text);
        if (const auto text = ucp::UnpackAlphanumeric(f.text); text && !text->empty()) // not escapes alone
            Require(ucp::UnpackAlphanumeric(ucp::PackAlphanumeric(*text).value_or("")) == text);
        if (const auto elements = ucp::ParseXSer(f.text))
            for (const ucp::XSerElement& e : *elements)
                Require(e.offset + 4 + e.data.size() <= f.text.size());
        if (const auto time = ucp::ParseTime(f.text))
            Require(ucp::FormatTime(*time) == f.text);
        if (i > 0)
            (void)ucp::DecodeTMsg(m.fields[i - 1].text, f.text);
    }
    const std::string built = ucp::Build(m.trn, m.kind, m.ot, fields);
    Require(std::string_view(built) == std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()));
}

} // namespace

// An odd first octet makes the rest a frame's text from TRN to its last field, given a true LEN and CHK here
// so that the fields are reached; an even one makes the rest a stream as it came.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 16)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 1) {
        bytes += '/';
        if (bytes.size() >= 8)
            bytes.replace(3, 5, std::to_string(100000 + bytes.size() + 2).substr(1));
        const char* hex = "0123456789ABCDEF";
        const uint8_t sum = ucp::Checksum(bytes);
        bytes = "\x02" + bytes + hex[sum >> 4] + hex[sum & 15] + "\x03";
    }
    std::span<const uint8_t> rest(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    while (!rest.empty()) {
        const ucp::FrameCut cut = ucp::CutFrame(rest);
        if (cut.status == ucp::FrameStatus::NeedMore)
            break;
        Require(cut.length > 0 && cut.length <= rest.size() && cut.length <= ucp::kMaxFrameOctets);
        if (cut.status == ucp::FrameStatus::Frame)
            Check(rest.first(cut.length));
        rest = rest.subspan(cut.length);
    }
    Check(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    return 0;
}
