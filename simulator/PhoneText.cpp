// A phone's GBK text in the coding an ESME reads.
#include "simulator/PhoneText.h"

#include "decoder/GbkText.h"
#include "protocol/DataCoding.h"
#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"

#include <algorithm>
#include <limits>
#include <string>

namespace phone_text {

ForEsme ToEsme(const std::vector<uint8_t>& content) {
    namespace coding = protocol::data_coding;
    const size_t header = smpp::StartsWithConcatenationHeader(content.data(), content.size()) ? content[0] + 1u : 0u;
    const std::vector<uint8_t> text(content.begin() + std::ptrdiff_t(header), content.end());
    // A handset's line of text holds no control character; GBK read back the same proves the reading right.
    const bool control = std::any_of(text.begin(), text.end(), [](uint8_t octet) { return IsControl(octet); });
    const std::string utf8 = GbkToUtf8(text.data(), static_cast<int32_t>(text.size()));
    if (control || smpp::EncodeText(utf8, coding::kGbk, std::numeric_limits<size_t>::max()) != text)
        return {coding::kGbk, content};
    smpp::EncodedText encoded = smpp::EncodeMessage(utf8, coding::kDefault);
    const uint8_t dataCoding = encoded.Ok() ? coding::kDefault : coding::kUcs2;
    if (!encoded.Ok())
        encoded = smpp::EncodeMessage(utf8, coding::kUcs2);
    ForEsme out{dataCoding, std::vector<uint8_t>(content.begin(), content.begin() + std::ptrdiff_t(header))};
    out.content.insert(out.content.end(), encoded.octets.begin(), encoded.octets.end());
    return out;
}

} // namespace phone_text
