// Latencies by value and by bucket.
#include "simulator/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

double Ms(int64_t us) { return std::round(double(us)) / 1000.0; }

} // namespace

void CLatencyHistogram::Add(int64_t us) {
    us = std::clamp<int64_t>(us, 0, (int64_t(1) << 40) - 1);
    size_t index = size_t(us);
    if (us >= kExactUs) {
        const int shift = std::bit_width(uint64_t(us)) - 8; // keeps 8 significant bits: 128 steps
        index = size_t(kExactUs + (shift - 1) * kSteps + (int(us >> shift) - kSteps));
    }
    ++m_byValue[index];
    const auto bound = std::lower_bound(kBoundsUs.begin(), kBoundsUs.end(), us);
    ++m_buckets[size_t(bound - kBoundsUs.begin())];
    ++m_count;
    m_sumUs += us;
    m_maxUs = std::max(m_maxUs, us);
}

CLatencyHistogram::Summary CLatencyHistogram::Summarise() const {
    Summary summary;
    summary.count = m_count;
    if (m_count == 0)
        return summary;
    const auto percentile = [&](double p) {
        const uint64_t rank = std::max<uint64_t>(1, uint64_t(std::ceil(p * double(m_count))));
        uint64_t seen = 0;
        for (size_t index = 0; index < m_byValue.size(); ++index) {
            seen += m_byValue[index];
            if (seen < rank)
                continue;
            if (index < size_t(kExactUs))
                return Ms(int64_t(index));
            const int shift = int(index - kExactUs) / kSteps + 1;
            const int64_t low = int64_t(int(index - kExactUs) % kSteps + kSteps) << shift;
            // The middle of the bucket, never beyond the largest latency seen.
            return Ms(std::min(low + ((int64_t(1) << shift) - 1) / 2, m_maxUs));
        }
        return Ms(m_maxUs);
    };
    summary.p50 = percentile(0.50);
    summary.p90 = percentile(0.90);
    summary.p99 = percentile(0.99);
    summary.max = Ms(m_maxUs);
    return summary;
}
