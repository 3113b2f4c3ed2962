// Console lines and the capture trace of the headless runner.
#include "app/HeadlessConsole.h"

#include "capture/PacketLog.h"
#include "engine/SocketServer.h"

#include <cstdio>
#include <ctime>
#include <iterator>

namespace {

int64_t SystemNow() { return static_cast<int64_t>(std::time(nullptr)); }

struct CodeName {
    uint32_t code;
    const char* name;
};

// The 27 SMPP 3.4 commands, in the order of the filter table.
constexpr CodeName kSmppCommands[] = {
    {0x80000000, "generic_nack"},
    {0x00000001, "bind_receiver"},
    {0x80000001, "bind_receiver_resp"},
    {0x00000002, "bind_transmitter"},
    {0x80000002, "bind_transmitter_resp"},
    {0x00000003, "query_sm"},
    {0x80000003, "query_sm_resp"},
    {0x00000004, "submit_sm"},
    {0x80000004, "submit_sm_resp"},
    {0x00000005, "deliver_sm"},
    {0x80000005, "deliver_sm_resp"},
    {0x00000006, "unbind"},
    {0x80000006, "unbind_resp"},
    {0x00000007, "replace_sm"},
    {0x80000007, "replace_sm_resp"},
    {0x00000008, "cancel_sm"},
    {0x80000008, "cancel_sm_resp"},
    {0x00000009, "bind_transceiver"},
    {0x80000009, "bind_transceiver_resp"},
    {0x0000000B, "outbind"},
    {0x00000015, "enquire_link"},
    {0x80000015, "enquire_link_resp"},
    {0x00000021, "submit_multi"},
    {0x80000021, "submit_multi_resp"},
    {0x00000102, "alert_notification"},
    {0x00000103, "data_sm"},
    {0x80000103, "data_sm_resp"},
};
static_assert(std::size(kSmppCommands) == 27);

constexpr CodeName kProtocols[] = {
    {1, "CMPP"}, {2, "SMPP"}, {3, "SMGP"}, {4, "CMPP3"}, {6, "SGIP"}, {7, "CNGP"}, {8, "TEST"}, {9, "SMGP3"},
};

constexpr const char* kUnknownName = "未知";
constexpr uint16_t kProtocolSmpp = 2;

const char* Find(const CodeName* begin, const CodeName* end, uint32_t code) {
    for (const CodeName* row = begin; row != end; ++row) {
        if (row->code == code)
            return row->name;
    }
    return kUnknownName;
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

} // namespace

std::string headless::FormatIpv4(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", address >> 24, (address >> 16) & 0xFF,
                  (address >> 8) & 0xFF, address & 0xFF);
    return text;
}

std::string headless::FormatLocalTime(int64_t secondsSince1970) {
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

const char* headless::SmppCommandName(uint32_t commandId) {
    return Find(std::begin(kSmppCommands), std::end(kSmppCommands), commandId);
}

const char* headless::ProtocolName(uint16_t protocol) {
    return Find(std::begin(kProtocols), std::end(kProtocols), protocol);
}

CHeadlessConsole::CHeadlessConsole(const CSocketServer& server, std::ostream& out, headless::TimeSource now)
    : m_server(server), m_out(out), m_now(now ? now : SystemNow) {}

void CHeadlessConsole::OnConnected(int index) { ConnectionLine("Connected", index); }

void CHeadlessConsole::OnDisconnected(int index) { ConnectionLine("Disconnected", index); }

void CHeadlessConsole::OnLoggedIn(int) {
    // The online list has no terminal counterpart; binds show in the trace.
}

void CHeadlessConsole::Print(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    m_out << line << '\n' << std::flush;
}

void CHeadlessConsole::ConnectionLine(const char* event, int index) {
    m_out << "ESME " << event << " [" << index << "] IP address = "
          << headless::FormatIpv4(m_server.GetPeerAddress(index)) << " Port = " << m_server.GetPeerPort(index)
          << " Time = " << headless::FormatLocalTime(m_now()) << '\n'
          << std::flush;
}

CHeadlessTrace::CHeadlessTrace(CPacketLog& log, std::ostream& out, bool print)
    : m_log(log), m_out(out), m_print(print) {}

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
        const char* command = protocol == kProtocolSmpp && length >= 24 ? headless::SmppCommandName(Be32(record + 20))
                                                                        : kUnknownName;
        const uint32_t address = Be32(record + 8);
        m_out << (m_shown + 1) << '\t' << headless::FormatIpv4(address) << '\t' << (record[12] | record[13] << 8)
              << '\t' << headless::ProtocolName(protocol) << ':' << command << '\t' << Le32(record)
              << '\t' << headless::FormatLocalTime(Le32(record + 4)) << '\n';
    }
    m_out << std::flush;
}
