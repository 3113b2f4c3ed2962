// CUnsavedRecords: counting what the capture log took since the last save.
#include "ui/UnsavedRecords.h"

CUnsavedRecords::CUnsavedRecords(CPacketLog& log) : m_log(log) {
    m_log.AddListener(this);
}

CUnsavedRecords::~CUnsavedRecords() {
    m_log.RemoveListener(this);
}

void CUnsavedRecords::OnPacketsAdded(int32_t first, int32_t count) {
    for (int32_t index = first; index < first + count; ++index)
        m_count += m_log.SummaryAt(index).origin == PacketOrigin::Live ? 1 : 0;
}
