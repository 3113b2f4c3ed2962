// The terminal stand-ins for the server information pages and the packet list when Tarnwick runs headless.
#pragma once

#include "capture/PacketLog.h"
#include "engine/ServerObserver.h"

#include <cstdint>
#include <ostream>
#include <string>

class CPacketDecoder;
class CSocketServer;

// Writes one server's console lines to a stream, one per line without the "\r" and behind the
// server's prefix ("[SMPP] ", "[Mobile] "): the start line and a line for every connect and
// disconnect, with the peer read from the server and the time from its clock. UI thread only; flushes after each line so a
// pipe sees it at once.
class CHeadlessConsole : public CServerObserver {
public:
    CHeadlessConsole(const CSocketServer& server, std::ostream& out, std::string prefix = {});

    void OnConnected(const CConnection& connection) override;
    void OnDisconnected(const CConnection& connection) override;
    void OnLoggedIn(const CConnection& connection) override;
    void Print(std::string_view line) override;

private:
    void ConnectionLine(bool connected, const CConnection& connection);

    const CSocketServer& m_server;
    std::ostream& m_out;
    std::string m_prefix;
};

// When tracing, prints one line per new record of the capture log with the packet list's
// columns (seq, here the serial number /pdus gives, source IP, source port, protocol:command, length, time), tab-separated, named
// as in the list. Listens to the log from construction to destruction.
class CHeadlessTrace : public CPacketLogListener {
public:
    CHeadlessTrace(CPacketLog& log, const CPacketDecoder& names, std::ostream& out, bool print);
    ~CHeadlessTrace() override;
    CHeadlessTrace(const CHeadlessTrace&) = delete;
    CHeadlessTrace& operator=(const CHeadlessTrace&) = delete;

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override {}

private:
    CPacketLog& m_log;
    const CPacketDecoder& m_names;
    std::ostream& m_out;
};
