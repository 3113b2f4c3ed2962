// The decode listing as text, one line per decode line.
#include "decoder/Listing.h"

#include <cstdio>

namespace decode_listing {

namespace {

void AppendLines(std::string& out, const std::vector<DecodeLine>& lines, bool offsets) {
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
}

} // namespace

std::string Lines(const std::vector<DecodeLine>& lines, bool offsets) {
    std::string out;
    AppendLines(out, lines, offsets);
    return out;
}

// Appended in place: GCC 12 at -O3 takes "\n" + a returned string for an overlapping copy.
std::string Block(const std::vector<DecodeLine>& lines, bool offsets, bool first) {
    std::string out = first ? std::string() : std::string(1, '\n');
    AppendLines(out, lines, offsets);
    return out;
}

} // namespace decode_listing
