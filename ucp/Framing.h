// Cutting UCP/EMI frames (STX ... ETX) out of the bytes a connection has buffered: the wire kit's cutter.
#pragma once

#include "wire/StxFrame.h"

namespace ucp {

using wire::kEtx;
using wire::kStx;
inline constexpr std::size_t kMaxFrameOctets = wire::kMaxStxFrameOctets;
using FrameStatus = wire::StxFrameStatus;
using FrameFault = wire::StxFrameFault;
using FrameCut = wire::StxFrameCut;
inline FrameCut CutFrame(std::span<const uint8_t> buffered) { return wire::CutStxFrame(buffered); }

} // namespace ucp
