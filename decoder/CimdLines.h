// The decode lines of a CIMD2 packet, which the table walk cannot read: its header, each parameter under its
// code and name, user data as the text it carries, and an error line for a packet the codec refuses.
#pragma once

#include "decoder/DecodeLine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cimd_lines {

// The ids of CIMD2 lines lie above every table row's and UCP's: kFirstId plus the place of the line's field name.
inline constexpr int32_t kFirstId = 31000;
// The field name of an error line.
inline constexpr std::string_view kErrorField = "cimd2.error";

// Appends the lines of the packet that fills record[offset, total). False, after an error line, for bytes
// the codec refuses (a bad header, checksum or parameter). Reads nothing outside that range.
bool Append(std::vector<DecodeLine>& lines, const uint8_t* record, int32_t offset, int32_t total);

// Every field name a CIMD2 line can carry ("cimd2.user_identity"), with the label its line shows it by
// ("010 User identity").
std::vector<std::pair<std::string, std::string>> ListedFields();

} // namespace cimd_lines
