// What a phone's text becomes on its way to an ESME.
#pragma once

#include <cstdint>
#include <vector>

namespace phone_text {

// A SUBMIT's content as an ESME gets it in a deliver_sm.
struct ForEsme {
    uint8_t dataCoding = 0;
    std::vector<uint8_t> content;
};

// TEST carries a handset's text in GBK (the msg_format 15 its SUBMIT has no room to name). The content (a
// concatenation header, when it starts with one, then the text) goes on with the header as it came and the text in
// the coding an ESME reads: the GSM 7-bit alphabet (data_coding 0) when it holds every character, else UCS-2 (8).
// Octets that are no GBK text (a control character, a sequence that does not read back the same) go on unchanged
// in data_coding 15.
ForEsme ToEsme(const std::vector<uint8_t>& content);

} // namespace phone_text
