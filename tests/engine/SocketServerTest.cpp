// The socket server engine driven by real loopback clients: accept, limits, reads, closes, idle check.
#include "engine/SocketServer.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using test_net::kWaitMs;
using test_net::TestClient;
using test_net::WaitUntil;

constexpr int kCloseWaitMs = CSocketServer::kClosePauseMs + kWaitMs;
constexpr int64_t kStartTime = 1'700'000'000;

struct Event {
    enum Kind { Accept, Receive, Close } kind;
    std::string name;
    int index;
    uint16_t peerPort;
};

// Names connections "c0", "c1", ... in order of acceptance, fills every slot with values derived
// from that number, and keeps what each connection sent.
class RecordingServer : public CSocketServer {
public:
    explicit RecordingServer(std::vector<Event>& events) : m_events(events) {}

    bool readInOnReceive = true;
    int64_t chunk = 4096;
    std::map<std::string, std::string> received;
    std::vector<int64_t> receiveResults;

    int Count(Event::Kind kind, const std::string& name) const
    {
        int n = 0;
        for (const Event& e : m_events)
            n += e.kind == kind && e.name == name;
        return n;
    }
    int Find(const std::string& name) const
    {
        for (int i = 0; i < GetConnectionCount(); ++i)
            if (name == NameOf(i))
                return i;
        return -1;
    }
    uint8_t* Token(int n) { return &m_tokens[n % m_tokens.size()]; }

protected:
    void OnAccept(int index) override
    {
        const int n = m_accepted++;
        const std::string name = "c" + std::to_string(n);
        SetName(index, name.c_str());
        SetFrameState(index, n);
        SetReceivedCount(index, 100 + n);
        SetWantedCount(index, 200 + n);
        SetReceiveBuffer(index, Token(n));
        m_events.push_back({Event::Accept, name, index, GetPeerPort(index)});
    }
    void OnReceive(int index) override
    {
        m_events.push_back({Event::Receive, NameOf(index), index, GetPeerPort(index)});
        if (!readInOnReceive)
            return;
        std::vector<char> buffer(static_cast<size_t>(chunk));
        for (;;) {
            const int64_t n = CSocketServer::Receive(index, buffer.data(), chunk);
            receiveResults.push_back(n);
            if (n <= 0)
                break;
            received[NameOf(index)].append(buffer.data(), static_cast<size_t>(n));
        }
    }
    void OnClose(int index) override
    {
        m_events.push_back({Event::Close, NameOf(index), index, GetPeerPort(index)});
    }

private:
    std::vector<Event>& m_events;
    std::array<uint8_t, 16> m_tokens{};
    int m_accepted = 0;
};

class SocketServerTest : public ::testing::Test {
protected:
    void SetUp() override { Prepare(server); }

    void Prepare(CSocketServer& s)
    {
        s.SetListenAddress(QHostAddress::LocalHost);
        s.SetClock([this] { return now; });
    }

    void StartServer(int maxConnections = 10, int idleTimeout = 3600)
    {
        ASSERT_TRUE(server.Start(0, maxConnections, idleTimeout));
    }

    // Connects a client without waiting for the server to take it.
    TestClient& Dial()
    {
        clients.push_back(std::make_unique<TestClient>());
        EXPECT_TRUE(clients.back()->Connect(server.ListeningPort()));
        return *clients.back();
    }
    // Connects a client and waits until the server has accepted it, so client n is "c<n>".
    TestClient& ConnectAccepted()
    {
        const std::string name = "c" + std::to_string(clients.size());
        TestClient& client = Dial();
        EXPECT_TRUE(WaitUntil([&] { return server.Count(Event::Accept, name) == 1; })) << name;
        return client;
    }
    bool WaitClosed(const std::string& name)
    {
        return WaitUntil([&] { return server.Count(Event::Close, name) == 1; }, kCloseWaitMs);
    }
    // One round trip through the server on another connection: whatever was sent before it has arrived.
    void RoundTrip(TestClient& client, const std::string& name)
    {
        const size_t before = server.received[name].size();
        client.Send("~");
        ASSERT_TRUE(WaitUntil([&] { return server.received[name].size() == before + 1; }));
    }

    int64_t now = kStartTime;
    std::vector<Event> events;
    RecordingServer server{events};
    std::vector<std::unique_ptr<TestClient>> clients;
};

TEST_F(SocketServerTest, StartListensOnAFreePortAndASecondStartChangesNothing)
{
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.ListeningPort(), 0);
    StartServer(2);
    EXPECT_TRUE(server.IsRunning());
    EXPECT_EQ(server.GetPort(), 0);
    const uint16_t port = server.ListeningPort();
    ASSERT_NE(port, 0);

    EXPECT_FALSE(server.Start(port + 1, 1, 1));
    EXPECT_EQ(server.GetPort(), 0);
    EXPECT_EQ(server.ListeningPort(), port);
    // The first socket and the first limit still hold: two clients, not one, are served.
    ConnectAccepted();
    ConnectAccepted();
    EXPECT_EQ(server.GetConnectionCount(), 2);
}

TEST_F(SocketServerTest, PortInUseFailsAndLeavesTheServerStartable)
{
    StartServer();
    std::vector<Event> otherEvents;
    RecordingServer other(otherEvents);
    Prepare(other);

    EXPECT_FALSE(other.Start(server.ListeningPort(), 10, 3600));
    EXPECT_FALSE(other.IsRunning());
    EXPECT_EQ(other.ListeningPort(), 0);
    EXPECT_EQ(other.GetPort(), server.ListeningPort());

    EXPECT_TRUE(other.Start(0, 10, 3600));
    EXPECT_NE(other.ListeningPort(), server.ListeningPort());
}

TEST_F(SocketServerTest, AcceptAppendsARecordWithDefaultsAndReportsItsIndex)
{
    CSocketServer plain;
    Prepare(plain);
    plain.SetListenAddress(QHostAddress::Any); // dual stack: the peer shows as ::ffff:127.0.0.1
    ASSERT_TRUE(plain.Start(0, 10, 3600));
    TestClient first;
    ASSERT_TRUE(first.Connect(plain.ListeningPort()));
    ASSERT_TRUE(WaitUntil([&] { return plain.GetConnectionCount() == 1; }));

    EXPECT_EQ(plain.GetPeerAddress(0), 0x7F000001u);
    EXPECT_EQ(plain.GetPeerPort(0), first.LocalPort());
    EXPECT_EQ(plain.GetConnectTime(0), kStartTime);
    EXPECT_EQ(plain.GetFrameState(0), -1);
    EXPECT_EQ(plain.GetReceivedCount(0), -1);
    EXPECT_EQ(plain.GetWantedCount(0), -1);
    EXPECT_EQ(plain.GetReceiveBuffer(0), nullptr);
    EXPECT_STREQ(plain.NameOf(0), "");
    EXPECT_FALSE(plain.IsClosing(0));

    StartServer();
    ConnectAccepted();
    ConnectAccepted();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].index, 0);
    EXPECT_EQ(events[1].index, 1);
    EXPECT_EQ(events[1].peerPort, clients[1]->LocalPort());
}

TEST_F(SocketServerTest, BadIndicesGiveBadValuesAndChangeNothing)
{
    StartServer();
    ConnectAccepted();
    const std::array<int, 5> badIndices = {-1, 1, 2, INT_MIN, INT_MAX}; // the table holds one record
    for (int bad : badIndices) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(server.GetPeerAddress(bad), 0xFFFFFFFFu);
        EXPECT_EQ(server.GetPeerPort(bad), 0xFFFF);
        EXPECT_EQ(server.GetConnectTime(bad), -1);
        EXPECT_FALSE(server.IsClosing(bad));
        EXPECT_EQ(server.GetReceiveBuffer(bad), nullptr);
        EXPECT_EQ(server.GetReceivedCount(bad), -1);
        EXPECT_EQ(server.GetWantedCount(bad), -1);
        EXPECT_EQ(server.GetFrameState(bad), -1);
        EXPECT_STREQ(server.NameOf(bad), "");
        char out[8] = "keep";
        EXPECT_FALSE(server.GetName(bad, out, sizeof out));
        EXPECT_STREQ(out, "keep");
        char byte = 'x';
        EXPECT_EQ(server.Receive(bad, &byte, 1), -1);
        EXPECT_EQ(server.Send(bad, &byte, 1), -1);

        server.SetReceiveBuffer(bad, server.Token(9));
        server.SetReceivedCount(bad, 7);
        server.SetWantedCount(bad, 7);
        server.SetFrameState(bad, 7);
        server.SetName(bad, "intruder");
        server.CloseConnection(bad);
    }
    EXPECT_EQ(server.GetConnectionCount(), 1);
    EXPECT_EQ(server.GetReceiveBuffer(0), server.Token(0));
    EXPECT_EQ(server.GetReceivedCount(0), 100);
    EXPECT_EQ(server.GetWantedCount(0), 200);
    EXPECT_EQ(server.GetFrameState(0), 0);
    EXPECT_STREQ(server.NameOf(0), "c0");
    EXPECT_FALSE(server.IsClosing(0));
}

TEST_F(SocketServerTest, NamesKeepAtMostNineteenCharacters)
{
    StartServer();
    ConnectAccepted();
    struct Case {
        const char* name;
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"short", "esme", "esme"},
        {"nineteen", "0123456789abcdefghi", "0123456789abcdefghi"},
        {"twenty is cut", "0123456789abcdefghij", "0123456789abcdefghi"},
        {"shorter after longer", "ab", "ab"},
        {"empty", "", ""},
        {"null clears", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetName(0, "0123456789abcdefghi");
        server.SetName(0, c.input);
        EXPECT_STREQ(server.NameOf(0), c.expected);
        char out[20] = "garbage";
        EXPECT_TRUE(server.GetName(0, out, sizeof out));
        EXPECT_STREQ(out, c.expected);
    }

    server.SetName(0, "system");
    char small[4] = "zzz";
    EXPECT_TRUE(server.GetName(0, small, sizeof small));
    EXPECT_STREQ(small, "sys");
    EXPECT_FALSE(server.GetName(0, small, 0));
    EXPECT_FALSE(server.GetName(0, nullptr, 4));
}

TEST_F(SocketServerTest, ClientsBeyondTheLimitWaitAndAreServedWhenPlacesFree)
{
    StartServer(3);
    TestClient& c0 = ConnectAccepted();
    ConnectAccepted();
    ConnectAccepted();
    // Both complete their handshake in the backlog but get no record yet.
    TestClient& c3 = Dial();
    TestClient& c4 = Dial();
    c3.Send("sent while waiting");
    RoundTrip(c0, "c0");
    EXPECT_EQ(server.GetConnectionCount(), 3);
    EXPECT_EQ(server.Count(Event::Accept, "c3"), 0);

    c0.Close();
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Accept, "c3") == 1; }, kCloseWaitMs));
    EXPECT_EQ(server.Count(Event::Close, "c0"), 1);
    ASSERT_TRUE(WaitUntil([&] { return server.received["c3"] == "sent while waiting"; }));
    EXPECT_EQ(server.GetPeerPort(server.Find("c3")), c3.LocalPort());
    EXPECT_EQ(server.Count(Event::Accept, "c4"), 0);

    server.CloseConnection(server.Find("c1"));
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Accept, "c4") == 1; }, kCloseWaitMs));
    EXPECT_EQ(server.GetPeerPort(server.Find("c4")), c4.LocalPort());
    EXPECT_EQ(server.GetConnectionCount(), 3);
}

TEST_F(SocketServerTest, AWaitingClientThatLeftIsStillAcceptedReadAndClosed)
{
    StartServer(1);
    // Two clients at once, so the second may already be taken off the backlog when the table fills.
    TestClient a;
    TestClient b;
    a.Socket().connectToHost(QHostAddress::LocalHost, server.ListeningPort());
    b.Socket().connectToHost(QHostAddress::LocalHost, server.ListeningPort());
    ASSERT_TRUE(WaitUntil([&] { return a.IsConnected() && b.IsConnected() && server.GetConnectionCount() == 1; }));
    TestClient& leaver = server.GetPeerPort(0) == a.LocalPort() ? b : a;
    leaver.Send("goodbye");
    leaver.Close();
    ASSERT_TRUE(leaver.WaitForDisconnected());
    RoundTrip(&leaver == &a ? b : a, "c0");

    server.CloseConnection(0);
    ASSERT_TRUE(WaitClosed("c1"));
    EXPECT_EQ(server.received["c1"], "goodbye");
    EXPECT_EQ(server.GetConnectionCount(), 0);
}

TEST_F(SocketServerTest, ReceiveReadsAtMostLengthAndReportsWhenNothingIsBuffered)
{
    StartServer();
    TestClient& client = ConnectAccepted();
    char byte = 0;
    EXPECT_EQ(server.Receive(0, &byte, 1), -1); // connected, nothing sent yet

    server.chunk = 3;
    client.Send("abcdefgh");
    ASSERT_TRUE(WaitUntil([&] { return server.received["c0"] == "abcdefgh"; }));
    for (int64_t n : server.receiveResults)
        EXPECT_LE(n, 3);
    EXPECT_EQ(server.receiveResults.back(), -1);

    server.readInOnReceive = false;
    client.Send("xyz");
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Receive, "c0") >= 2; }));
    char buffer[8] = {};
    EXPECT_EQ(server.Receive(0, nullptr, 3), -1);
    EXPECT_EQ(server.Receive(0, buffer, 0), -1);
    EXPECT_EQ(server.Receive(0, buffer, -5), -1);
    ASSERT_EQ(server.Receive(0, buffer, sizeof buffer), 3); // the refused calls consumed nothing
    EXPECT_STREQ(buffer, "xyz");
}

TEST_F(SocketServerTest, SendQueuesEverythingAndFailsOnceThePeerIsGone)
{
    StartServer();
    TestClient& client = ConnectAccepted();
    // Far more than the kernel takes at once, so most of it goes out from the event loop.
    std::string big(8 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    EXPECT_EQ(server.Send(0, big.data(), static_cast<int64_t>(big.size())), static_cast<int64_t>(big.size()));
    ASSERT_TRUE(client.WaitForBytes(big.size(), 4 * kWaitMs));
    EXPECT_TRUE(client.ReceivedText() == big);

    EXPECT_EQ(server.Send(0, big.data(), 0), 0);
    EXPECT_EQ(server.Send(0, nullptr, 5), -1);
    EXPECT_EQ(server.Send(0, big.data(), -1), -1);

    client.Close();
    ASSERT_TRUE(WaitUntil([&] { return server.IsClosing(0); }));
    EXPECT_EQ(server.Send(0, "x", 1), -1);
}

TEST_F(SocketServerTest, CloseLetsQueuedOctetsGoOutBeforeTheConnectionEnds)
{
    StartServer();
    TestClient& client = ConnectAccepted();
    client.PauseReading();
    // More than the loopback buffers hold, so part of it is still queued when the socket closes.
    const std::string farewell(32 << 20, 'f');
    ASSERT_EQ(server.Send(0, farewell.data(), static_cast<int64_t>(farewell.size())),
              static_cast<int64_t>(farewell.size()));
    server.CloseConnection(0);
    EXPECT_TRUE(server.IsClosing(0));
    ASSERT_TRUE(WaitClosed("c0"));
    EXPECT_EQ(server.GetConnectionCount(), 0);

    client.ResumeReading();
    ASSERT_TRUE(client.WaitForDisconnected(4 * kWaitMs));
    EXPECT_EQ(client.Received().size(), farewell.size());
}

TEST_F(SocketServerTest, AClosingConnectionIsNoLongerRead)
{
    StartServer();
    TestClient& c0 = ConnectAccepted();
    TestClient& c1 = ConnectAccepted();
    server.readInOnReceive = false;
    c0.Send("unread");
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Receive, "c0") == 1; }));

    server.CloseConnection(0);
    char byte = 0;
    EXPECT_EQ(server.Receive(0, &byte, 1), -1); // though "unread" is still buffered
    c0.Send("after the close was decided");
    server.readInOnReceive = true;
    RoundTrip(c1, "c1");
    ASSERT_TRUE(WaitClosed("c0"));
    EXPECT_EQ(server.Count(Event::Receive, "c0"), 1);
}

TEST_F(SocketServerTest, OnCloseSeesTheRecordAndLaterRecordsMoveDownIntact)
{
    struct Case {
        const char* name;
        int closed;
        std::vector<std::string> remaining;
    };
    const Case cases[] = {
        {"first", 0, {"c1", "c2"}},
        {"middle", 1, {"c0", "c2"}},
        {"last", 2, {"c0", "c1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Event> log;
        RecordingServer table(log);
        Prepare(table);
        ASSERT_TRUE(table.Start(0, 10, 3600));
        std::vector<std::unique_ptr<TestClient>> peers;
        for (int n = 0; n < 3; ++n) {
            now = kStartTime + n;
            peers.push_back(std::make_unique<TestClient>());
            ASSERT_TRUE(peers.back()->Connect(table.ListeningPort()));
            ASSERT_TRUE(WaitUntil([&] { return table.GetConnectionCount() == n + 1; }));
        }

        const std::string closedName = "c" + std::to_string(c.closed);
        table.CloseConnection(c.closed);
        ASSERT_TRUE(WaitUntil([&] { return table.Count(Event::Close, closedName) == 1; }, kCloseWaitMs));
        EXPECT_EQ(log.back().index, c.closed);
        EXPECT_EQ(log.back().peerPort, peers[c.closed]->LocalPort());

        ASSERT_EQ(table.GetConnectionCount(), 2);
        for (int i = 0; i < 2; ++i) {
            const int n = c.remaining[i][1] - '0';
            EXPECT_STREQ(table.NameOf(i), c.remaining[i].c_str());
            EXPECT_EQ(table.GetFrameState(i), n);
            EXPECT_EQ(table.GetReceivedCount(i), 100 + n);
            EXPECT_EQ(table.GetWantedCount(i), 200 + n);
            EXPECT_EQ(table.GetReceiveBuffer(i), table.Token(n));
            EXPECT_EQ(table.GetPeerPort(i), peers[n]->LocalPort());
            EXPECT_EQ(table.GetConnectTime(i), kStartTime + n);
        }
        EXPECT_TRUE(peers[c.closed]->WaitForDisconnected());
    }
}

TEST_F(SocketServerTest, APeerCloseBecomesOneCloseAndNothingIsLost)
{
    StartServer();
    TestClient& c0 = ConnectAccepted();
    TestClient& c1 = ConnectAccepted();
    c0.Send("last words");
    c0.Close();
    ASSERT_TRUE(WaitUntil([&] { return server.IsClosing(0); }));
    ASSERT_TRUE(WaitClosed("c0"));
    EXPECT_EQ(server.received["c0"], "last words");
    EXPECT_EQ(events.back().kind, Event::Close);

    // A close already pending absorbs further close requests and the peer's own close.
    server.CloseConnection(0);
    server.CloseConnection(0);
    c1.Close();
    ASSERT_TRUE(WaitClosed("c1"));
    TestClient& c2 = ConnectAccepted();
    RoundTrip(c2, "c2");
    EXPECT_EQ(server.Count(Event::Close, "c1"), 1);
    EXPECT_EQ(server.GetConnectionCount(), 1);
}

TEST_F(SocketServerTest, AResetPeerIsClosed)
{
    StartServer();
    TestClient& client = ConnectAccepted();
    client.Reset();
    ASSERT_TRUE(WaitClosed("c0"));
    EXPECT_EQ(server.GetConnectionCount(), 0);
}

TEST_F(SocketServerTest, IdleCheckClosesOnlyConnectionsSilentForLongerThanTheTimeout)
{
    StartServer(10, 3600);
    for (int n = 0; n < 3; ++n) {
        now = kStartTime + n;
        ConnectAccepted();
    }
    now = kStartTime + 3602; // c0 silent 3602 s, c1 3601 s, c2 exactly 3600 s
    server.CheckIdle();
    EXPECT_TRUE(server.IsClosing(0));
    EXPECT_TRUE(server.IsClosing(1));
    EXPECT_FALSE(server.IsClosing(2));
    server.CheckIdle(); // already closing: left alone
    ASSERT_TRUE(WaitClosed("c0"));
    ASSERT_TRUE(WaitClosed("c1"));
    EXPECT_EQ(server.Count(Event::Close, "c0"), 1);
    EXPECT_EQ(server.Count(Event::Close, "c1"), 1);

    ASSERT_EQ(server.GetConnectionCount(), 1);
    EXPECT_STREQ(server.NameOf(0), "c2");
    ++now;
    server.CheckIdle();
    EXPECT_TRUE(server.IsClosing(0));
}

TEST_F(SocketServerTest, OnlyReceivingCountsAsActivity)
{
    StartServer(10, 3600);
    TestClient& talked = ConnectAccepted();
    TestClient& talker = ConnectAccepted();
    now = kStartTime + 100;
    talker.Send("hello");
    ASSERT_TRUE(WaitUntil([&] { return server.received["c1"] == "hello"; }));
    const std::string news(1000, 'n');
    ASSERT_EQ(server.Send(0, news.data(), 1000), 1000);
    ASSERT_TRUE(talked.WaitForBytes(1000));

    now = kStartTime + 3601;
    server.CheckIdle();
    EXPECT_TRUE(server.IsClosing(0));
    EXPECT_FALSE(server.IsClosing(1));
}

TEST_F(SocketServerTest, TheIdleTimerRunsTheCheck)
{
    StartServer(10, 0);
    ConnectAccepted();
    ++now;
    EXPECT_TRUE(WaitUntil([&] { return server.IsClosing(0); }, CSocketServer::kIdleCheckMs + kWaitMs));
}

TEST_F(SocketServerTest, DestructionDropsConnectionsWithoutCallingBack)
{
    std::vector<Event> log;
    auto doomed = std::make_unique<RecordingServer>(log);
    Prepare(*doomed);
    ASSERT_TRUE(doomed->Start(0, 10, 3600));
    TestClient a;
    TestClient b;
    ASSERT_TRUE(a.Connect(doomed->ListeningPort()));
    ASSERT_TRUE(b.Connect(doomed->ListeningPort()));
    ASSERT_TRUE(WaitUntil([&] { return doomed->GetConnectionCount() == 2; }));
    doomed->CloseConnection(0);
    // A witness whose close is due after the doomed one's would have been.
    StartServer();
    ConnectAccepted();
    server.CloseConnection(0);

    doomed.reset();
    EXPECT_TRUE(a.WaitForDisconnected());
    EXPECT_TRUE(b.WaitForDisconnected());
    ASSERT_TRUE(WaitClosed("c0"));
    EXPECT_EQ(log.size(), 2u); // the two accepts only
}

} // namespace
