// The server information pages: the online list over real connections, the console lines, the deliver button.
#include "tests/support/WidgetTestEnv.h"

#include "decoder/Formatters.h"
#include "mobile/MobileServer.h"
#include "smpp/SmppServer.h"
#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/TestClient.h"
#include "ui/OnlineClientModel.h"
#include "ui/OutView.h"
#include "ui/ViewServerInfo.h"
#include "ui/ViewServerInfoOnlineClient.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using test_bytes::Builder;
using test_net::TestClient;
using test_net::WaitUntil;
using Bytes = std::vector<uint8_t>;
using Client = std::unique_ptr<TestClient>;

constexpr int kCloseWaitMs = CSocketServer::kClosePauseMs + test_net::kWaitMs;
constexpr int64_t kAcceptTime = 1'700'000'000;
const QString kLoopbackText = QStringLiteral("127.000.000.001");

Bytes Bind(const std::string& systemId, uint32_t sequence) {
    return test_bytes::SmppPdu(0x00000009, sequence,
                               Builder().cstr(systemId).cstr("secret").cstr("TEST").u8(0x34).u8(1).u8(1).cstr(""));
}
Bytes Login(const std::string& number, uint32_t sequence) {
    return test_bytes::Pdu12(test_protocol::kLogin, sequence, Builder().u32(1).text(number, 24));
}

// Both servers on free loopback ports, each with its page built before it starts.
class ServerInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (CSocketServer* server : {static_cast<CSocketServer*>(&smpp), static_cast<CSocketServer*>(&mobile)}) {
            server->SetListenAddress(QHostAddress::LocalHost);
            server->Scheduler().SetWallClock([this] { return now * 1'000'000; });
        }
        smppPage.resize(700, 500);
        smppPage.show();
        ASSERT_TRUE(smpp.Start(0, 50, 3600));
        ASSERT_TRUE(mobile.Start(0, 50, 3600));
    }

    Client Connect(CSocketServer& server) {
        auto client = std::make_unique<TestClient>();
        const int before = server.GetConnectionCount();
        EXPECT_TRUE(client->Connect(server.ListeningPort()));
        EXPECT_TRUE(WaitUntil([&] { return server.GetConnectionCount() > before; }));
        return client;
    }
    static void CloseAndWait(TestClient& client, const COnlineClientModel& model) {
        const int rows = model.rowCount();
        client.Close();
        EXPECT_TRUE(WaitUntil([&] { return model.rowCount() < rows; }, kCloseWaitMs));
    }
    static void Request(TestClient& client, const Bytes& pdu) {
        client.Send(pdu);
        EXPECT_TRUE(client.NextPdu().has_value());
    }

    static QString Cell(const COnlineClientModel& model, int row, int column) {
        return model.data(model.index(row, column)).toString();
    }
    // Each row as "seq|system id|address|port|bind time|bind type|transport".
    static std::vector<QString> Rows(const COnlineClientModel& model) {
        std::vector<QString> rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < COnlineClientModel::kColumnCount; ++column)
                cells << Cell(model, row, column);
            rows.push_back(cells.join('|'));
        }
        return rows;
    }
    static QString Row(int seq, const char* name, const TestClient& client, int64_t accepted, const char* kind = "",
                       const char* version = "") {
        return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|TCP")
            .arg(seq).arg(QLatin1String(name), kLoopbackText).arg(client.LocalPort())
            .arg(QString::fromStdString(FormatLocalTime(accepted)), QLatin1String(kind), QLatin1String(version));
    }
    // The console's lines with the time stamps cut off ("... Time = " stays), after checking their form.
    static std::vector<QString> Lines(const COutView& console) {
        std::vector<QString> lines;
        const QRegularExpression stamp(QStringLiteral(" Time = \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
        for (QTextBlock block = console.document()->begin(); block.isValid(); block = block.next()) {
            QString text = block.text();
            if (text.contains(QLatin1String(" Time = "))) {
                EXPECT_TRUE(stamp.match(text).hasMatch()) << text.toStdString();
                text.truncate(text.indexOf(QLatin1String(" Time = ")) + 8);
            }
            lines.push_back(text);
        }
        return lines;
    }
    static QString Event(const char* event, int index, const TestClient& client) {
        return QStringLiteral("ESME %1 [%2] IP address = %3 Port = %4 Time = ")
            .arg(QLatin1String(event)).arg(index).arg(kLoopbackText).arg(client.LocalPort());
    }

    int64_t now = kAcceptTime;
    QFont consoleFont{QStringLiteral("Tahoma")};
    CSmppServer smpp;
    CMobileServer mobile;
    CViewServerInfo smppPage{smpp, 2, consoleFont};
    CViewServerInfo mobilePage{mobile, 8, consoleFont};
    const COnlineClientModel& smppModel = *smppPage.OnlineList()->Model();
    const COnlineClientModel& mobileModel = *mobilePage.OnlineList()->Model();
    QAbstractItemModelTester smppTester{smppPage.OnlineList()->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal};
    QAbstractItemModelTester mobileTester{mobilePage.OnlineList()->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// The list follows every notification: accept, bind, rebind and a close in the middle.
TEST_F(ServerInfoTest, SmppListShowsTheTableAfterEachChange) {
    Client first = Connect(smpp);
    now += 60;
    Client second = Connect(smpp);
    now += 60;
    Client third = Connect(smpp);
    EXPECT_EQ(Rows(smppModel), (std::vector<QString>{Row(1, "", *first, kAcceptTime),
                                                     Row(2, "", *second, kAcceptTime + 60),
                                                     Row(3, "", *third, kAcceptTime + 120)}));

    now += 60; // the bind time stays the time of the accept
    QSignalSpy changed(&smppModel, &QAbstractItemModel::dataChanged);
    Request(*first, Bind("alpha", 1));
    EXPECT_EQ(Cell(smppModel, 0, COnlineClientModel::kSystemId), "alpha");
    ASSERT_EQ(changed.size(), 1) << "the views learn of the bind";
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 0);
    Request(*first, Bind("beta", 2));
    EXPECT_EQ(Rows(smppModel)[0], Row(1, "beta", *first, kAcceptTime, "transceiver", "3.4"));

    const uint64_t thirdId = smppModel.ConnectionIdAt(2);
    QSignalSpy renumbered(&smppModel, &QAbstractItemModel::dataChanged);
    CloseAndWait(*second, smppModel);
    ASSERT_EQ(renumbered.size(), 1) << "the row moved up is told its new Seq";
    EXPECT_EQ(renumbered[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(renumbered[0][1].toModelIndex().row(), 1);
    EXPECT_EQ(Rows(smppModel), (std::vector<QString>{Row(1, "beta", *first, kAcceptTime, "transceiver", "3.4"),
                                                     Row(2, "", *third, kAcceptTime + 120)}));
    EXPECT_EQ(smppModel.ConnectionIdAt(1), thirdId);
    EXPECT_EQ(smppModel.data(smppModel.index(1, 0), COnlineClientModel::kConnectionIdRole).toULongLong(), thirdId);
    EXPECT_EQ(smppModel.data(smppModel.index(1, 0), COnlineClientModel::kTableIndexRole).toInt(), 1);
    EXPECT_EQ(Rows(COnlineClientModel(smpp)), Rows(smppModel)) << "a list opened on the running server";
    QStringList titles;
    for (int column = 0; column < COnlineClientModel::kColumnCount; ++column)
        titles << smppModel.headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(titles.join('|'), "Seq|System ID|Source IP|Source Port|Bind time|Bind type|Version|Transport");
}

TEST_F(ServerInfoTest, TwoMobilesWithTheSameNumberAreBothListed) {
    Client first = Connect(mobile);
    Client second = Connect(mobile);
    Request(*first, Login("13900000001", 1));
    Request(*second, Login("13900000001", 2));
    EXPECT_EQ(Rows(mobileModel), (std::vector<QString>{Row(1, "13900000001", *first, kAcceptTime),
                                                       Row(2, "13900000001", *second, kAcceptTime)}));
    EXPECT_EQ(smppModel.rowCount(), 0);
}

// Connect and disconnect lines carry the table index of the moment and the same address and port.
TEST_F(ServerInfoTest, ConsoleWritesConnectsAndDisconnectsWithTheirIndex) {
    for (auto [server, page] : {std::pair<CSocketServer*, CViewServerInfo*>{&smpp, &smppPage}, {&mobile, &mobilePage}}) {
        SCOPED_TRACE(page->Protocol());
        const COnlineClientModel& model = *page->OnlineList()->Model();
        Client first = Connect(*server);
        Client second = Connect(*server);
        CloseAndWait(*first, model);
        Client third = Connect(*server);
        std::vector<QString> lines = Lines(*page->Console());
        ASSERT_EQ(lines.size(), 5u);
        lines.erase(lines.begin()); // the start line
        EXPECT_EQ(lines, (std::vector<QString>{Event("Connected", 0, *first), Event("Connected", 1, *second),
                                               Event("Disconnected", 0, *first), Event("Connected", 1, *third)}));
    }
}

TEST_F(ServerInfoTest, StartLinesSayOkOrFailWithThePort) {
    EXPECT_EQ(Lines(*smppPage.Console()).front(), QStringLiteral("SMPP server start ok! (port = %1)").arg(smpp.ListeningPort()));
    EXPECT_EQ(Lines(*mobilePage.Console()).front(), QStringLiteral("Mobile server start OK! (port = %1)").arg(mobile.ListeningPort()));

    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    const uint16_t port = taken.serverPort();
    CSmppServer smppAgain;
    CMobileServer mobileAgain;
    CViewServerInfo smppAgainPage(smppAgain, 2, consoleFont);
    CViewServerInfo mobileAgainPage(mobileAgain, 8, consoleFont);
    smppAgain.SetListenAddress(QHostAddress::LocalHost);
    mobileAgain.SetListenAddress(QHostAddress::LocalHost);
    EXPECT_FALSE(smppAgain.Start(port, 10, 3600));
    EXPECT_FALSE(mobileAgain.Start(port, 10, 3600));
    EXPECT_EQ(smppAgainPage.Console()->toPlainText(), QStringLiteral("SMPP server start fail! (port = %1)").arg(port));
    EXPECT_EQ(mobileAgainPage.Console()->toPlainText(), QStringLiteral("Mobile server start fail! (port = %1)").arg(port));
}

// Waves of fifty clients (2,000 connects), each wave closed at once by a stop: the list empties and the console
// keeps only its newest lines, ending with the last close.
TEST_F(ServerInfoTest, AFloodOfConnectsLeavesTheConsoleBounded) {
    constexpr int kWaves = 40, kWave = 50, kKept = 300;
    COutView& console = *smppPage.Console();
    console.SetMaxLines(kKept);
    uint16_t lastPort = 0;
    for (int wave = 0; wave < kWaves; ++wave) {
        std::vector<Client> clients;
        // Ten at a time, what the listen backlog holds without dropping a connect.
        for (int i = 0; i < kWave; ++i) {
            clients.push_back(std::make_unique<TestClient>());
            clients.back()->Socket().connectToHost(QHostAddress::LocalHost, smpp.ListeningPort());
            if ((i + 1) % CSocketServer::kListenBacklog == 0) {
                ASSERT_TRUE(WaitUntil([&] { return smppModel.rowCount() == i + 1; })) << wave;
            }
        }
        lastPort = test_net::NthConnection(smpp, 0)->PeerPort(); // a stop closes from the end
        smpp.Stop();
        ASSERT_EQ(smppModel.rowCount(), 0);
        ASSERT_TRUE(smpp.Start(0, kWave, 3600));
    }
    EXPECT_EQ(console.document()->blockCount(), kKept);
    const QString last = console.document()->lastBlock().previous().text(); // the restart line comes last
    EXPECT_TRUE(last.startsWith(QStringLiteral("ESME Disconnected [%1] IP address = %2 Port = %3 Time = ")
                                    .arg(0).arg(kLoopbackText).arg(lastPort)))
        << last.toStdString();
}

TEST_F(ServerInfoTest, ConsoleFollowsTheEndOnlyWhenTheUserIsThere) {
    COutView& console = *smppPage.Console();
    for (int i = 0; i < 200; ++i)
        smppPage.Print("line\r\n");
    QScrollBar* bar = console.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(3);
    smppPage.Print("one more\r\n");
    EXPECT_EQ(bar->value(), 3);
    EXPECT_TRUE(console.isReadOnly());
    EXPECT_EQ(console.font().family(), "Tahoma");
}

TEST_F(ServerInfoTest, DeliverButtonAndQuickDeliver) {
    CViewServerInfoOnlineClient& online = *smppPage.OnlineList();
    QToolButton& button = *online.DeliverButton();
    EXPECT_EQ(button.size(), QSize(16, 16));
    EXPECT_EQ(button.pos(), QPoint(button.parentWidget()->width() - 21, 2));
    EXPECT_EQ(button.parentWidget()->height(), 22);
    EXPECT_EQ(button.accessibleName(), "Deliver short message");
    EXPECT_EQ(smppPage.Splitter()->sizes().front(), 300);

    QSignalSpy deliver(&smppPage, &CViewServerInfo::DeliverRequested);
    QTest::mouseClick(&button, Qt::LeftButton);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(deliver.count(), 2);

    Client client = Connect(smpp);
    QSignalSpy quick(&smppPage, &CViewServerInfo::QuickDeliverRequested);
    QAction& action = *online.QuickDeliverAction();
    EXPECT_EQ(action.text(), "Quick deliver &short message");
    EXPECT_FALSE(action.isEnabled());
    QTableView& list = *online.List();
    const QRect cell = list.visualRect(smppModel.index(0, 1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(action.isEnabled());
    emit list.customContextMenuRequested(cell.center());
    EXPECT_TRUE(online.ContextMenu()->isVisible());
    QStringList commands;
    for (const QAction* command : online.ContextMenu()->actions())
        commands << command->text();
    EXPECT_EQ(commands.join('|'), "Quick deliver &short message|Show this c&onnection only||&Unbind|&Disconnect");
    online.ContextMenu()->hide();
    action.trigger();
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(quick.count(), 3) << "the menu's command, a double-click and Ctrl+Return";
    EXPECT_EQ(quick.at(0).at(0).value<uint64_t>(), test_net::NthConnection(smpp, 0)->Id());
    // "Show this connection only" names the same connection to the decoder page.
    QSignalSpy conversation(&smppPage, &CViewServerInfo::ConnectionRequested);
    online.ShowConnectionAction()->trigger();
    ASSERT_EQ(conversation.count(), 1);
    EXPECT_EQ(conversation.at(0).at(0).value<uint64_t>(), test_net::NthConnection(smpp, 0)->Id());

    CloseAndWait(*client, smppModel);
    EXPECT_FALSE(action.isEnabled());
    EXPECT_FALSE(online.ShowConnectionAction()->isEnabled());
    EXPECT_FALSE(online.DisconnectAction()->isEnabled());
}

// From the keyboard: Ctrl+U asks to unbind the selected bound ESME, Delete disconnects it at once
// and says so on the console. The mobile list has neither unbind nor bind types.
TEST_F(ServerInfoTest, UnbindAndDisconnectTheSelectedConnection) {
    CViewServerInfoOnlineClient& online = *smppPage.OnlineList();
    Client unbound = Connect(smpp);
    Client bound = Connect(smpp);
    Request(*bound, Bind("esme", 1));
    QTableView& list = *online.List();
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Up); // the first row, wherever the cursor started
    EXPECT_FALSE(online.UnbindAction()->isEnabled()) << "not bound";
    EXPECT_TRUE(online.DisconnectAction()->isEnabled());
    Request(*unbound, Bind("late", 1)); // the selected ESME binds: Ctrl+U is offered without selecting it again
    EXPECT_TRUE(online.UnbindAction()->isEnabled());
    QTest::keyClick(&list, Qt::Key_Down);
    ASSERT_TRUE(online.UnbindAction()->isEnabled());
    QSignalSpy unbind(&smppPage, &CViewServerInfo::UnbindRequested);
    QTest::keyClick(&list, Qt::Key_U, Qt::ControlModifier);
    ASSERT_EQ(unbind.count(), 1);
    EXPECT_EQ(unbind.at(0).at(0).value<uint64_t>(), test_net::NthConnection(smpp, 1)->Id());

    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_TRUE(test_net::NthConnection(smpp, 1)->IsClosing());
    EXPECT_EQ(Lines(*smppPage.Console()).back(), "Closing [1] (esme): disconnected by the user");
    EXPECT_TRUE(bound->WaitForDisconnected(kCloseWaitMs));

    EXPECT_FALSE(mobilePage.OnlineList()->UnbindAction()->isVisible());
    for (const int column : {COnlineClientModel::kBindType, COnlineClientModel::kTransport}) {
        EXPECT_TRUE(mobilePage.OnlineList()->List()->isColumnHidden(column)) << column;
        EXPECT_FALSE(list.isColumnHidden(column)) << column;
    }
}

} // namespace
