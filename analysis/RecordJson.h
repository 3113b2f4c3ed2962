// A captured record as JSON: the shape GET /api/v1/pdus lists and tarnwick-decode --json prints, written as text
// directly (a page of a thousand records with their fields is built in a few milliseconds).
#pragma once

#include "analysis/Concatenations.h"
#include "capture/PacketSummary.h"
#include "decoder/PacketDecoder.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace record_json {

// Appends {seq, time, protocol, command, commandStatus, sequence, connection, direction, length, hex, fields}
// and, for the record that completes a long message, reassembled {parts, text, seqs}. Each field is {field,
// label, name, value, raw, show, valueName (when the value has a name), offset, length, children (its parts)}.
// Decodes the record with `decoder`.
void AppendRecord(std::string& out, CPacketDecoder& decoder, int64_t seq, const uint8_t* record, uint32_t length,
                  const PacketSummary& summary, const Reassembled* reassembled);
// Record `index` of the log the concatenations follow as one line of tarnwick-decode --json: the record (its seq the
// log's serial number) with the long message it completes, then '\n'. Nothing for an index the log does not hold.
void AppendLogRecord(std::string& out, CPacketDecoder& decoder, const CConcatenations& concatenations, int32_t index);
// The command's name as the decoder gives it ("submit_sm"), or its id as "0x%08X" when it has none.
std::string CommandName(const CPacketDecoder& decoder, const PacketSummary& summary);
// A JSON string: quotes, backslashes and control characters escaped, and any octet that does not belong to
// valid UTF-8 replaced by U+FFFD, so the text is valid JSON whatever a PDU held.
void AppendString(std::string& out, std::string_view text);

} // namespace record_json
