// Cutting UCP/EMI frames out of buffered bytes by their STX and ETX.
#include "ucp/Framing.h"

#include <algorithm>

namespace ucp {

FrameCut CutFrame(std::span<const uint8_t> buffered) {
    if (buffered.empty())
        return {FrameStatus::NeedMore, 0, FrameFault::None};
    if (buffered[0] != kStx) {
        const auto next = std::find(buffered.begin(), buffered.end(), kStx);
        return {FrameStatus::Invalid, std::size_t(next - buffered.begin()), FrameFault::Stray};
    }
    const std::size_t reach = std::min(buffered.size(), kMaxFrameOctets);
    for (std::size_t i = 1; i < reach; ++i) {
        if (buffered[i] == kEtx)
            return {FrameStatus::Frame, i + 1, FrameFault::None};
        if (buffered[i] == kStx)
            return {FrameStatus::Invalid, i, FrameFault::Unterminated};
    }
    if (reach == kMaxFrameOctets)
        return {FrameStatus::Invalid, kMaxFrameOctets, FrameFault::TooLong};
    return {FrameStatus::NeedMore, 0, FrameFault::None};
}

} // namespace ucp
