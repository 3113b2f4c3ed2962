// The decode listing as text, one line per decode line.
#include "decoder/Listing.h"

#include <cstdio>

namespace decode_listing {

std::string Lines(const std::vector<DecodeLine>& lines, bool offsets) {
    std::string out;
    for (const DecodeLine& line : lines) {
        if (offsets) {
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "%6d %5d  ", line.offset, line.width);
            out += prefix;
        }
        if (!line.isGroup) out += "  ";
        out += line.text;
        out += '\n';
    }
    return out;
}

std::string Block(const std::vector<DecodeLine>& lines, bool offsets, bool first) {
    return (first ? std::string() : std::string("\n")) + Lines(lines, offsets);
}

} // namespace decode_listing
