// The server information page.
#include "ui/ViewServerInfo.h"

#include "engine/SocketServer.h"
#include "protocol/Registry.h"
#include "simulator/ConsoleLine.h"
#include "ui/OnlineClientModel.h"
#include "ui/OutView.h"
#include "ui/ViewServerInfoOnlineClient.h"

#include <QSplitter>
#include <QVBoxLayout>


CViewServerInfo::CViewServerInfo(CSocketServer& server, uint16_t protocol, const QFont& consoleFont, QWidget* parent)
    : QWidget(parent), m_server(server), m_protocol(protocol) {
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_online = new CViewServerInfoOnlineClient(server, m_splitter);
    m_console = new COutView(consoleFont, m_splitter);
    m_splitter->addWidget(m_online);
    m_splitter->addWidget(m_console);
    // The list may be dragged shut; the console takes whatever height the list leaves.
    m_splitter->setCollapsible(0, true);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kListHeight, kConsoleHeight});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    connect(m_online, &CViewServerInfoOnlineClient::DeliverRequested, this, &CViewServerInfo::DeliverRequested);
    connect(m_online, &CViewServerInfoOnlineClient::QuickDeliverRequested, this,
            &CViewServerInfo::QuickDeliverRequested);
    connect(m_online, &CViewServerInfoOnlineClient::ConnectionRequested, this, &CViewServerInfo::ConnectionRequested);
    connect(m_online, &CViewServerInfoOnlineClient::UnbindRequested, this, &CViewServerInfo::UnbindRequested);
    connect(m_online, &CViewServerInfoOnlineClient::DisconnectRequested, this,
            [this](uint64_t id) { m_server.Disconnect(id); });
    if (protocol == protocol::kSmpp)
        m_online->OfferUnbind();
    m_server.AddObserver(this);
}

CViewServerInfo::~CViewServerInfo() { m_server.RemoveObserver(this); }

void CViewServerInfo::OnConnected(const CConnection& connection) {
    m_online->Model()->OnConnected(connection);
    ConnectionLine(true, connection);
}

void CViewServerInfo::OnDisconnected(const CConnection& connection) {
    m_online->Model()->OnDisconnected(connection);
    ConnectionLine(false, connection);
}

void CViewServerInfo::OnRemoved(const CConnection& connection) { m_online->Model()->OnRemoved(connection); }

void CViewServerInfo::OnLoggedIn(const CConnection& connection) { m_online->Model()->OnLoggedIn(connection); }

void CViewServerInfo::Print(std::string_view line) {
    const std::string_view text = console_line::WithoutLineEnd(line);
    m_console->AppendLine(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CViewServerInfo::ConnectionLine(bool connected, const CConnection& connection) {
    const std::string line = console_line::Connection(connected, m_server.PositionOf(connection),
                                                      connection.PeerAddress(), connection.PeerPort(),
                                                      m_server.Scheduler().WallSeconds());
    m_console->AppendLine(QString::fromStdString(line));
}
