// Concatenated messages put back together.
#include "analysis/Concatenations.h"

CConcatenations::CConcatenations(CPacketLog& log, const CPacketDecoder& decoder) : m_log(log), m_decoder(decoder) {
    m_log.AddListener(this);
}
CConcatenations::~CConcatenations() { m_log.RemoveListener(this); }
std::vector<ReassemblyLine> CConcatenations::LinesFor(int32_t) const { return {}; }
void CConcatenations::OnPacketsAdded(int32_t, int32_t) {}
void CConcatenations::OnLogReset() {}
