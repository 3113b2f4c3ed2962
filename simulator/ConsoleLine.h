// The console's connect and disconnect lines, shared by the window's console and the terminal one.
#pragma once

#include "decoder/Formatters.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace console_line {

// "ESME Connected [0] IP address = 127.000.000.001 Port = 40000 Time = 2026-12-06 22:15:00" (or
// "Disconnected"), without a line end. Mobile connections are reported with the word "ESME" too.
// index is the connection's table position at that moment, now the current time.
inline std::string Connection(bool connected, int index, uint32_t address, uint16_t port, int64_t now) {
    std::string line = connected ? "ESME Connected [" : "ESME Disconnected [";
    line += std::to_string(index);
    line += "] IP address = ";
    AppendIpv4(line, address);
    line += " Port = ";
    line += std::to_string(port);
    line += " Time = ";
    AppendLocalTime(line, now);
    return line;
}

// A server's start line without its trailing "\r\n".
inline std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

} // namespace console_line
