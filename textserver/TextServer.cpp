// CTextServer: the start line, logins, time stamps and the window of operations the text servers share.
#include "textserver/TextServer.h"

#include "protocol/Registry.h"
#include "wire/Framer.h"

#include <cstdio>

using namespace text_server;

CTextServer::CTextServer(uint16_t protocolCode, int32_t filterIndex, std::size_t window, QObject* parent)
    : CFramedServer(protocolCode, wire::FramerFor(*protocol::Find(protocolCode)), parent), m_filterIndex(filterIndex),
      m_window(window), m_faults(protocol::Find(protocolCode)->cliName) {}

bool CTextServer::Start(uint16_t port, int maxConnections, int idleTimeoutSeconds) {
    const bool ok = CFramedServer::Start(port, maxConnections, idleTimeoutSeconds);
    const std::string name(protocol::Find(ProtocolCode())->name);
    NotifyPrint(name + " server start " + (ok ? "ok" : "fail") + "! (port = " + std::to_string(OwnPort()) + ")\r\n");
    return ok;
}

void CTextServer::OnAccept(CConnection& connection) {
    CFramedServer::OnAccept(connection);
    std::unique_ptr<Session> session = NewSession();
    session->flights.resize(m_window);
    connection.SetSession(std::move(session));
}

std::string CTextServer::SessionKind(const CConnection& connection) const {
    const Session* session = connection.SessionAs<Session>();
    return session && session->loggedIn ? "session" : "";
}

void CTextServer::HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) {
    CaptureReceived(connection, pdu, length, m_filterIndex);
    Serve(connection, {pdu, length}, std::nullopt);
}

CTextServer::FaultStep CTextServer::ApplyFaults(CConnection& connection, std::span<const uint8_t> frame,
                                                const Decided& decided, bool login, std::string_view name,
                                                std::string_view destination, const Refusals& refusals) {
    const Decided decision = decided ? decided : m_faults.Decide(login, name, destination);
    if (!decision)
        return FaultStep::Serve;
    if (decision->delayMs > 0) {
        // The frame is served again once the delay has passed, as if it came then; the decision goes with it.
        CTextFaults::Decision later = *decision;
        later.delayMs = 0;
        Scheduler().After(decision->delayMs, this,
                          [this, id = connection.Id(), bytes = std::vector<uint8_t>(frame.begin(), frame.end()), later] {
                              if (CConnection* c = FindConnection(id); c && !c->IsClosing())
                                  Serve(*c, bytes, later);
                          });
        return FaultStep::Done;
    }
    switch (decision->action) {
    case FaultAction::Drop: return FaultStep::Done;
    case FaultAction::Nack: refusals.nack(); return FaultStep::Done;
    case FaultAction::Answer:
    case FaultAction::Close: break;
    }
    const bool close = decision->action == FaultAction::Close;
    if (decision->status == 0)
        return close ? FaultStep::ServeThenClose : FaultStep::Serve;
    refusals.refuse(decision->status);
    if (close)
        CloseConnection(connection, "a fault rule closes it");
    return FaultStep::Done;
}

void CTextServer::HandleBadLength(CConnection& connection, const uint8_t* /*header*/) {
    // The framer resynchronises at the next STX and never stops a stream; should it, the stream is lost.
    CloseConnection(connection, "a stream that can no longer be cut into frames");
}

void CTextServer::HandleNotFrame(CConnection& connection, const uint8_t* octets, uint32_t length,
                                 wire::FrameFault fault) {
    // A whole frame whose checksum is wrong is captured and left to the protocol to answer; octets between
    // frames and a frame without its end are passed over.
    if (fault != wire::FrameFault::BadChecksum)
        return;
    CaptureReceived(connection, octets, length, m_filterIndex);
    HandleBadChecksum(connection, octets, length);
}

std::string CTextServer::LoginRefusal(const CConnection& connection, std::string_view name,
                                      const std::optional<std::string>& password, std::string_view what) const {
    if (connection.SessionAs<Session>()->loggedIn)
        return "already logged in";
    if (m_accounts.empty())
        return {};
    const auto found = std::find_if(m_accounts.begin(), m_accounts.end(),
                                    [&](const Account& a) { return a.systemId.toStdString() == name; });
    if (found == m_accounts.end())
        return "no account has this " + std::string(what);
    return password && found->password.toStdString() == *password ? std::string() : "wrong password";
}

void CTextServer::PrintRefusal(const CConnection& connection, std::string_view name, std::string_view refusal,
                               unsigned error) {
    char code[8];
    std::snprintf(code, sizeof code, error < 100 ? "%02u" : "%u", error);
    NotifyPrint("Login refused [" + std::to_string(PositionOf(connection)) + "] (" + std::string(name) + "): " +
                std::string(refusal) + " (" + code + ")\r\n");
}

void CTextServer::LoggedIn(CConnection& connection, const std::string& name) {
    connection.SessionAs<Session>()->loggedIn = true;
    connection.SetName(name.c_str());
    NotifyLoggedIn(connection);
    const auto kept = m_kept.find(name);
    if (kept == m_kept.end())
        return;
    std::deque<Outgoing> operations = std::move(kept->second);
    m_kept.erase(kept);
    for (Outgoing& operation : operations)
        Queue(connection, std::move(operation));
}

void CTextServer::Reply(CConnection& connection, const std::string& frame) {
    SendAndCapture(connection, reinterpret_cast<const uint8_t*>(frame.data()), uint32_t(frame.size()), m_filterIndex);
}

Delivery CTextServer::SendTo(uint64_t connectionId, const std::string& login, Outgoing operation) {
    // The connection the message came from, unless its session logged out since.
    CConnection* connection = FindConnection(connectionId);
    const Session* session = connection ? connection->SessionAs<Session>() : nullptr;
    if (session && (session->loggedIn || !connection->IsNamed()) && Queue(*connection, operation))
        return Delivery::Sent;
    if (login.empty())
        return Delivery::Refused;
    CConnection* other = nullptr;
    ForEachConnection([&](CConnection& c) {
        const Session* session = c.SessionAs<Session>();
        if (!other && session && session->loggedIn && !c.IsClosing() && login == c.Name())
            other = &c;
    });
    if (other)
        return Queue(*other, std::move(operation)) ? Delivery::Sent : Delivery::Refused;
    // Kept as SMPP keeps a receipt for a system id with no receiver bound: until the next login.
    if (!m_kept.contains(login) && m_kept.size() >= kMaxKeptLogins)
        return Delivery::Refused;
    std::deque<Outgoing>& kept = m_kept[login];
    if (kept.size() >= kMaxWaiting)
        return Delivery::Refused;
    kept.push_back(std::move(operation));
    return Delivery::Kept;
}

int CTextServer::SendToLogin(const std::string& login, const Outgoing& operation) {
    int taken = 0;
    ForEachConnection([&](CConnection& connection) {
        const Session* session = connection.SessionAs<Session>();
        if (session && session->loggedIn && login == connection.Name() && Queue(connection, operation))
            ++taken;
    });
    return taken;
}

bool CTextServer::Queue(CConnection& connection, Outgoing operation) {
    Session* session = connection.SessionAs<Session>();
    if (!session || connection.IsClosing() || session->waiting.size() >= kMaxWaiting)
        return false;
    session->waiting.push_back(std::move(operation));
    SendWaiting(connection);
    return true;
}

void CTextServer::SendWaiting(CConnection& connection) {
    Session* session = connection.SessionAs<Session>();
    while (!session->waiting.empty() && session->outstanding < m_window && !connection.IsClosing()) {
        while (session->flights[session->nextSlot].busy)
            session->nextSlot = (session->nextSlot + 1) % m_window;
        const std::size_t slot = session->nextSlot;
        session->nextSlot = (slot + 1) % m_window;
        const Outgoing operation = std::move(session->waiting.front());
        session->waiting.pop_front();
        const std::string frame = BuildOperation(slot, operation);
        if (frame.empty())
            continue; // a field that cannot be sent: our own mistake, never the peer's
        Reply(connection, frame);
        session->flights[slot] = {true, operation.tag, ++m_serial};
        ++session->outstanding;
        Scheduler().After(m_resultTimeoutMs, this, [this, id = connection.Id(), slot, serial = m_serial] {
            Expire(id, slot, serial);
        });
    }
}

bool CTextServer::Settle(CConnection& connection, std::size_t slot, const Result& result) {
    Session* session = connection.SessionAs<Session>();
    if (slot >= m_window || !session->flights[slot].busy)
        return false;
    session->flights[slot].busy = false;
    --session->outstanding;
    Answered(session->flights[slot].tag, result);
    SendWaiting(connection);
    return true;
}

void CTextServer::Expire(uint64_t connectionId, std::size_t slot, uint64_t serial) {
    CConnection* connection = FindConnection(connectionId);
    const Session* session = connection ? connection->SessionAs<Session>() : nullptr;
    if (!session || !session->flights[slot].busy || session->flights[slot].serial != serial)
        return;
    NotifyPrint("No result [" + std::to_string(PositionOf(*connection)) + "] in " +
                std::to_string(m_resultTimeoutMs / 1000) + " s: the operation counts as unanswered\r\n");
    Settle(*connection, slot, {Outcome::NoAnswer, 0});
}

std::size_t CTextServer::OutstandingCount(const CConnection& connection) const {
    return connection.SessionAs<Session>()->outstanding;
}

std::size_t CTextServer::WaitingCount(const CConnection& connection) const {
    return connection.SessionAs<Session>()->waiting.size();
}

std::tm CTextServer::NextStamp() {
    const int64_t now = Now();
    m_lastStamp = now > m_lastStamp ? now : m_lastStamp + 1;
    const std::time_t seconds = std::time_t(m_lastStamp);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}
