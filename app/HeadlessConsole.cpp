// Console lines and the capture trace of the headless runner.
#include "app/HeadlessConsole.h"

#include "decoder/Formatters.h"
#include "decoder/PacketDecoder.h"
#include "decoder/Protocols.h"
#include "engine/SocketServer.h"
#include "simulator/ConsoleLine.h"


CHeadlessConsole::CHeadlessConsole(const CSocketServer& server, std::ostream& out, std::string prefix)
    : m_server(server), m_out(out), m_prefix(std::move(prefix)) {}

void CHeadlessConsole::OnConnected(const CConnection& connection) { ConnectionLine(true, connection); }

void CHeadlessConsole::OnDisconnected(const CConnection& connection) { ConnectionLine(false, connection); }

void CHeadlessConsole::OnLoggedIn(const CConnection& connection) {
    // The online list has no terminal counterpart; binds and logins show in the trace, and the version a
    // bind settled on here, as the list's Version column shows it.
    const std::string version = m_server.SessionVersion(connection);
    if (!version.empty())
        Print(std::string(connection.Name()) + " bound as " + m_server.SessionKind(connection) + " at version " + version);
}

void CHeadlessConsole::Print(std::string_view line) {
    m_out << m_prefix << console_line::WithoutLineEnd(line) << '\n' << std::flush;
}

void CHeadlessConsole::ConnectionLine(bool connected, const CConnection& connection) {
    m_out << m_prefix
          << console_line::Connection(connected, m_server.PositionOf(connection), connection.PeerAddress(),
                                      connection.PeerPort(), m_server.Scheduler().WallSeconds())
          << '\n' << std::flush;
}

CHeadlessTrace::CHeadlessTrace(CPacketLog& log, const CPacketDecoder& names, std::ostream& out, bool print)
    : m_log(log), m_names(names), m_out(out) {
    // Without --trace there is nothing to print: stay off the capture path altogether.
    if (print)
        m_log.AddListener(this);
}

CHeadlessTrace::~CHeadlessTrace() { m_log.RemoveListener(this); }

void CHeadlessTrace::OnPacketsAdded(int32_t first, int32_t count) {
    for (int32_t index = first; index < first + count; ++index) {
        uint32_t length = 0;
        if (!m_log.PacketAt(index, &length))
            continue;
        // The serial number, as /pdus gives it: the wipe of a full log does not start it again.
        const PacketSummary& summary = m_log.SummaryAt(index);
        const std::optional<uint32_t> command =
            summary.Has(PacketSummary::kHasCommand) ? std::optional<uint32_t>(summary.command) : std::nullopt;
        m_out << (m_log.SerialBase() + index + 1) << '\t' << FormatIpv4(summary.source.address) << '\t'
              << summary.source.port << '\t' << protocols::Describe(m_names.Names(), summary.protocol, command) << '\t'
              << length << '\t' << FormatLocalTime(summary.timeUs / 1'000'000) << '\n';
    }
    m_out << std::flush;
}
