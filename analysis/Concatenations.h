// Concatenated messages put back together from their parts in the capture log.
#pragma once

#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"

#include <cstdint>
#include <string>
#include <vector>

// A line the decode tree ends with for a part of a concatenated message; record is the captured
// record it names, -1 for none.
struct ReassemblyLine {
    std::string text;
    int32_t record = -1;
};

// Knows the parts of concatenated messages (UDH with 8- or 16-bit reference, or the SAR TLVs) in the
// capture log: parts belong together by connection, direction, source and destination address and
// reference. Forgets everything with the log's reset. UI thread only.
class CConcatenations : public CPacketLogListener {
public:
    CConcatenations(CPacketLog& log, const CPacketDecoder& decoder);
    ~CConcatenations() override;
    CConcatenations(const CConcatenations&) = delete;
    CConcatenations& operator=(const CConcatenations&) = delete;

    // For the record that completes a message: "Reassembled message (N parts)", the whole text, and
    // one line per part naming its row; for a part of a message still missing parts once a later
    // part arrived, a line that says which are missing. Empty for any other record.
    std::vector<ReassemblyLine> LinesFor(int32_t index) const;

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override;

private:
    CPacketLog& m_log;
    CPacketDecoder m_decoder;
};
