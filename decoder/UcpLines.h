// The decode lines of a UCP/EMI frame, which the table walk cannot read: its header, each field under the
// standard's abbreviation, the message texts as they read, and an error line for a frame the codec refuses.
#pragma once

#include "decoder/DecodeLine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ucp_lines {

// The ids of UCP lines lie above every table row's: kFirstId plus the place of the line's field name.
inline constexpr int32_t kFirstId = 30000;
// The field name of an error line.
inline constexpr std::string_view kErrorField = "ucp.error";

// Appends the lines of the frame that fills record[offset, total). False, after an error line, for bytes
// the codec refuses (a bad LEN, checksum, header or field count). Reads nothing outside that range.
bool Append(std::vector<DecodeLine>& lines, const uint8_t* record, int32_t offset, int32_t total);

// Every field name a UCP line can carry ("ucp.AdC"), with the label its line shows it by: the standard's
// abbreviation ("AdC").
std::vector<std::pair<std::string, std::string>> ListedFields();

} // namespace ucp_lines
