// A server observer for tests that keeps what a server told its information page, in order.
#pragma once

#include "engine/ServerObserver.h"

#include <string>
#include <string_view>
#include <vector>

class RecordingObserver : public CServerObserver {
public:
    void OnConnected(int index) override { events.push_back("connected " + std::to_string(index)); }
    void OnDisconnected(int index) override { events.push_back("disconnected " + std::to_string(index)); }
    void OnRemoved(int index) override { events.push_back("removed " + std::to_string(index)); }
    void OnLoggedIn(int index) override { events.push_back("logged in " + std::to_string(index)); }
    void Print(std::string_view line) override { lines.emplace_back(line); }

    std::vector<std::string> events;
    std::vector<std::string> lines;
};
