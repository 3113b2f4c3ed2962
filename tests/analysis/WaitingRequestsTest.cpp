// The waiting requests' table against a std::map doing the same: adds, finds and removes that collide,
// wrap round the end of the table and make it grow.
#include "analysis/WaitingRequests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace {

using Key = CWaitingRequests::Key;

auto Tied(const Key& key) { return std::tuple(key.connection, key.sequence, key.family); }
struct Before {
    bool operator()(const Key& a, const Key& b) const { return Tied(a) < Tied(b); }
};

TEST(WaitingRequests, AgreesWithAMapOverCollidingKeys) {
    CWaitingRequests table;
    std::map<Key, int32_t, Before> model;
    uint32_t state = 12345;
    const auto next = [&state](uint32_t below) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % below;
    };
    for (int32_t step = 0; step < 50000; ++step) {
        // Few connections and sequences: the same keys come back, the table fills to a quarter again and
        // again, and runs of probes form, wrap round its end and break up.
        const Key key{next(3) + 1, {next(500), next(2), 0}, uint16_t(next(2) ? 2 : 6)};
        const size_t slot = table.Find(key);
        const auto known = model.find(key);
        ASSERT_EQ(slot != CWaitingRequests::kNone, known != model.end()) << "step " << step;
        if (known != model.end()) {
            ASSERT_EQ(table.Newest(slot), known->second) << "step " << step;
            if (next(3) == 0) { // answered, now and then
                table.Remove(slot);
                model.erase(known);
                continue;
            }
        }
        table.Newest(table.Add(key)) = step;
        model[key] = step;
        ASSERT_EQ(table.Size(), model.size());
    }
    std::vector<int32_t> seen, expected;
    table.ForEach([&](int32_t newest) { seen.push_back(newest); });
    for (const auto& [key, newest] : model)
        expected.push_back(newest);
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);

    table.Clear();
    EXPECT_EQ(table.Size(), 0u);
    EXPECT_EQ(table.Find(model.begin()->first), CWaitingRequests::kNone);
}

// A run of probes that wraps round the end of the table closes up when its first entry is answered.
TEST(WaitingRequests, ARunThatWrapsRoundTheEndClosesUp) {
    // Three keys whose home is the last of the first 64 slots, found by trying connections.
    std::vector<Key> last;
    for (uint64_t connection = 1; last.size() < 3; ++connection) {
        CWaitingRequests probe;
        const Key key{connection, {1, 0, 0}, 2};
        if (probe.Add(key) == 63)
            last.push_back(key);
    }
    CWaitingRequests table;
    for (int32_t i = 0; i < 3; ++i)
        table.Newest(table.Add(last[size_t(i)])) = i; // in slots 63, 0 and 1
    table.Remove(table.Find(last[0]));
    for (int32_t i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        const size_t slot = table.Find(last[size_t(i)]);
        ASSERT_NE(slot, CWaitingRequests::kNone);
        EXPECT_EQ(table.Newest(slot), i);
    }
}

} // namespace
