// libFuzzer entry: any bytes are one capture record; the decode must stay inside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "decoder/PacketDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CPacketDecoder decoder;
    if (size > 1 << 16) return 0;
    const int32_t total = static_cast<int32_t>(size);
    decoder.Decode(data, total);
    for (const DecodeLine& line : decoder.Lines()) {
        if (line.offset < 0 || line.width < 0 || line.offset > total || line.width > total - line.offset) std::abort();
        if (line.nameAt >= 0 && (line.nameLength < 0 || size_t(line.nameAt) + size_t(line.nameLength) > line.text.size()))
            std::abort();
    }
    return 0;
}
