// A server observer for tests that keeps what a server told its information page, in order.
#pragma once

#include "engine/ServerObserver.h"

#include <string>
#include <string_view>
#include <vector>

class RecordingObserver : public CServerObserver {
public:
    void OnConnected(int index) override { Event("connected ", index); }
    void OnDisconnected(int index) override { Event("disconnected ", index); }
    void OnRemoved(int index) override { Event("removed ", index); }
    void OnLoggedIn(int index) override { Event("logged in ", index); }
    void Print(std::string_view line) override { lines.emplace_back(line); }

    std::vector<std::string> events; // "connected 0", "logged in 0", ...
    std::vector<std::string> lines;

private:
    // Appends rather than writing literal + string, which GCC 12 at -O3 takes for an overlapping copy.
    void Event(const char* what, int index) { events.push_back(std::string(what).append(std::to_string(index))); }
};
