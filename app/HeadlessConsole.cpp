// Console lines and the capture trace of the headless runner.
#include "app/HeadlessConsole.h"

#include "capture/PacketLog.h"
#include "decoder/Formatters.h"
#include "decoder/PacketDecoder.h"
#include "engine/SocketServer.h"

#include <ctime>

namespace {

int64_t SystemNow() { return static_cast<int64_t>(std::time(nullptr)); }

constexpr int32_t kProtocolTable = 6; // protocol codes of the capture header
constexpr const char* kUnknownName = "未知";

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

} // namespace

std::string headless::FormatLocalTime(int64_t secondsSince1970) {
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

int32_t headless::CommandTableOf(uint16_t protocol) {
    switch (protocol) {
    case 1: return 12;   // CMPP
    case 2: return 1892; // SMPP
    case 3: return 298;  // SMGP
    case 4: return 1012; // CMPP3
    case 6: return 1302; // SGIP
    case 7: return 1702; // CNGP
    case 8: return 182;  // TEST
    case 9: return 2298; // SMGP3
    default: return -1;
    }
}

CHeadlessConsole::CHeadlessConsole(const CSocketServer& server, std::ostream& out, std::string prefix,
                                   headless::TimeSource now)
    : m_server(server), m_out(out), m_prefix(std::move(prefix)), m_now(now ? now : SystemNow) {}

void CHeadlessConsole::OnConnected(int index) { ConnectionLine("Connected", index); }

void CHeadlessConsole::OnDisconnected(int index) { ConnectionLine("Disconnected", index); }

void CHeadlessConsole::OnLoggedIn(int) {
    // The online list has no terminal counterpart; binds and logins show in the trace.
}

void CHeadlessConsole::Print(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    m_out << m_prefix << line << '\n' << std::flush;
}

void CHeadlessConsole::ConnectionLine(const char* event, int index) {
    // Mobile connections are reported with the word "ESME" too, as in the window's console.
    m_out << m_prefix << "ESME " << event << " [" << index << "] IP address = "
          << FormatIpv4(m_server.GetPeerAddress(index)) << " Port = " << m_server.GetPeerPort(index)
          << " Time = " << headless::FormatLocalTime(m_now()) << '\n'
          << std::flush;
}

CHeadlessTrace::CHeadlessTrace(CPacketLog& log, const CPacketDecoder& names, std::ostream& out, bool print)
    : m_log(log), m_names(names), m_out(out), m_print(print) {}

void CHeadlessTrace::Refresh() {
    if (m_log.IsFull()) {
        m_log.Reset();
        m_shown = 0;
    }
    if (!m_print)
        return;
    const int32_t count = m_log.GetCount();
    if (m_shown >= count)
        return;
    for (; m_shown < count; ++m_shown) {
        uint32_t length = 0;
        const uint8_t* record = m_log.PacketAt(m_shown, &length);
        if (!record)
            continue;
        const uint16_t protocol = static_cast<uint16_t>(record[14] | record[15] << 8);
        const int32_t table = headless::CommandTableOf(protocol);
        // A PDU too short to hold a command id has no command name.
        const std::string command =
            table >= 0 && length >= 24 ? m_names.LookupCodeName(table, Be32(record + 20)) : kUnknownName;
        m_out << (m_shown + 1) << '\t' << FormatIpv4(Be32(record + 8)) << '\t' << (record[12] | record[13] << 8)
              << '\t' << m_names.LookupCodeName(kProtocolTable, protocol) << ':' << command << '\t' << Le32(record)
              << '\t' << headless::FormatLocalTime(Le32(record + 4)) << '\n';
    }
    m_out << std::flush;
}
