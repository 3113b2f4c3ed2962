// Response latencies kept by value, for percentiles and the histogram of the "Statistics" page.
#pragma once

#include <array>
#include <cstdint>

// Latencies in microseconds: exact below 256 us, then 128 steps per power of two (under 0.8% apart),
// up to 2^40 us; and counted in the page's buckets. A fixed 36 KiB, nothing allocated per answer.
// Plain data for one thread.
class CLatencyHistogram {
public:
    // Upper bounds (inclusive) of the histogram's buckets in microseconds; one more bucket holds
    // what lies above the last.
    static constexpr std::array<int64_t, 16> kBoundsUs = {
        100, 250, 500, 1'000, 2'500, 5'000, 10'000, 25'000, 50'000, 100'000, 250'000, 500'000,
        1'000'000, 2'500'000, 5'000'000, 10'000'000};
    static constexpr int kBuckets = int(kBoundsUs.size()) + 1;

    struct Summary {
        uint64_t count = 0;
        double p50 = 0, p90 = 0, p99 = 0, max = 0; // milliseconds
    };

    // A latency below 0 counts as 0.
    void Add(int64_t us);
    // The percentiles are within 1% of the exact value and never above max.
    Summary Summarise() const;
    // Answers per bucket of kBoundsUs (not cumulative), the one above the last bound last.
    const std::array<uint64_t, kBuckets>& Buckets() const { return m_buckets; }
    uint64_t Count() const { return m_count; }
    int64_t SumUs() const { return m_sumUs; }

private:
    static constexpr int kExactUs = 256;
    static constexpr int kSteps = 128;
    static constexpr int kIndexes = kExactUs + 33 * kSteps;

    std::array<uint64_t, kIndexes> m_byValue{};
    std::array<uint64_t, kBuckets> m_buckets{};
    uint64_t m_count = 0;
    int64_t m_sumUs = 0;
    int64_t m_maxUs = 0;
};
