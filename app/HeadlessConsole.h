// The terminal stand-ins for the server information pages and the packet list when Tarnwick runs headless.
#pragma once

#include "engine/ServerObserver.h"

#include <cstdint>
#include <ostream>
#include <string>

class CPacketDecoder;
class CPacketLog;
class CSocketServer;

namespace headless {

using TimeSource = int64_t (*)(); // seconds since 1970

// Local time as "%Y-%m-%d %H:%M:%S".
std::string FormatLocalTime(int64_t secondsSince1970);
// The code table that names the commands of a capture protocol code, -1 when it has none.
int32_t CommandTableOf(uint16_t protocol);

} // namespace headless

// Writes one server's console lines to a stream, one per line without the "\r" and behind the
// server's prefix ("[SMPP] ", "[Mobile] "): the start line and a line for every connect and
// disconnect, with the peer read from the server. UI thread only; flushes after each line so a
// pipe sees it at once.
class CHeadlessConsole : public CServerObserver {
public:
    CHeadlessConsole(const CSocketServer& server, std::ostream& out, std::string prefix = {},
                     headless::TimeSource now = nullptr);

    void OnConnected(int index) override;
    void OnDisconnected(int index) override;
    void OnLoggedIn(int index) override;
    void Print(std::string_view line) override;

private:
    void ConnectionLine(const char* event, int index);

    const CSocketServer& m_server;
    std::ostream& m_out;
    std::string m_prefix;
    headless::TimeSource m_now;
};

// Does for the capture log what the packet list does in the window: wipes it when it is full
// so capturing goes on, and, when tracing, prints one line per new record with the list's
// columns (seq, source IP, source port, protocol:command, length, time), tab-separated.
// Names come from the decoder's code tables, as in the list.
class CHeadlessTrace : public CPacketListRefresher {
public:
    CHeadlessTrace(CPacketLog& log, const CPacketDecoder& names, std::ostream& out, bool print);

    void Refresh() override;

private:
    CPacketLog& m_log;
    const CPacketDecoder& m_names;
    std::ostream& m_out;
    bool m_print;
    int32_t m_shown = 0; // records already printed since the last wipe
};
