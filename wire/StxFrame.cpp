// Cutting STX ... ETX frames out of buffered bytes.
#include "wire/StxFrame.h"

#include <algorithm>

namespace wire {

StxFrameCut CutStxFrame(std::span<const uint8_t> buffered) {
    if (buffered.empty())
        return {StxFrameStatus::NeedMore, 0, StxFrameFault::None};
    if (buffered[0] != kStx) {
        const auto next = std::find(buffered.begin(), buffered.end(), kStx);
        return {StxFrameStatus::Invalid, std::size_t(next - buffered.begin()), StxFrameFault::Stray};
    }
    const std::size_t reach = std::min(buffered.size(), kMaxStxFrameOctets);
    for (std::size_t i = 1; i < reach; ++i) {
        if (buffered[i] == kEtx)
            return {StxFrameStatus::Frame, i + 1, StxFrameFault::None};
        if (buffered[i] == kStx)
            return {StxFrameStatus::Invalid, i, StxFrameFault::Unterminated};
    }
    if (reach == kMaxStxFrameOctets)
        return {StxFrameStatus::Invalid, kMaxStxFrameOctets, StxFrameFault::TooLong};
    return {StxFrameStatus::NeedMore, 0, StxFrameFault::None};
}

} // namespace wire
