// A server observer for tests that keeps what a server told its information page, in order.
#pragma once

#include "engine/Connection.h"
#include "engine/ServerObserver.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Names each connection by the order it was first told of (0 first), so that an event says which
// connection it is about whatever its place in the table.
class RecordingObserver : public CServerObserver {
public:
    void OnConnected(const CConnection& connection) override { Event("connected ", connection); }
    void OnDisconnected(const CConnection& connection) override { Event("disconnected ", connection); }
    void OnRemoved(const CConnection& connection) override { Event("removed ", connection); }
    void OnLoggedIn(const CConnection& connection) override { Event("logged in ", connection); }
    void Print(std::string_view line) override { lines.emplace_back(line); }

    std::vector<std::string> events; // "connected 0", "logged in 0", ...
    std::vector<std::string> lines;

private:
    // Appends rather than writing literal + string, which GCC 12 at -O3 takes for an overlapping copy.
    void Event(const char* what, const CConnection& connection) {
        auto seen = std::find(m_seen.begin(), m_seen.end(), connection.Id());
        if (seen == m_seen.end())
            seen = m_seen.insert(m_seen.end(), connection.Id());
        events.push_back(std::string(what).append(std::to_string(seen - m_seen.begin())));
    }
    std::vector<uint64_t> m_seen;
};
