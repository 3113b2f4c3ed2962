// The count of captured PDUs that no save has written yet, for the question asked before they are dropped.
#pragma once

#include "capture/PacketLog.h"

#include <cstdint>

// Listens to the capture log and counts the records it holds that the servers captured since the
// last save. A PDU typed into "Decode hex..." is never saved, so it never counts; one read from a
// capture file is in that file already; a reset or a wipe leaves nothing to save. UI thread only;
// the log outlives it.
class CUnsavedRecords : public CPacketLogListener {
public:
    explicit CUnsavedRecords(CPacketLog& log);
    ~CUnsavedRecords() override;
    CUnsavedRecords(const CUnsavedRecords&) = delete;
    CUnsavedRecords& operator=(const CUnsavedRecords&) = delete;

    int32_t Count() const { return m_count; }
    // Every record in the log has just been written to a file.
    void MarkSaved() { m_count = 0; }

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override { m_count = 0; }

private:
    CPacketLog& m_log;
    int32_t m_count = 0;
};
