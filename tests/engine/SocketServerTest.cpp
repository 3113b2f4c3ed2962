// The socket server engine driven by real loopback clients: accept, limits, reads, closes, idle check.
#include "engine/SocketServer.h"
#include "tests/support/Connections.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/TestClient.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using test_net::kWaitMs;
using test_net::NthConnection;
using test_net::TestClient;
using test_net::WaitUntil;

constexpr int kCloseWaitMs = CSocketServer::kClosePauseMs + kWaitMs;
constexpr int64_t kStartTime = 1'700'000'000;

std::string Name(int n) { return std::string("c").append(std::to_string(n)); }

struct Event {
    enum Kind { Accept, Receive, Close } kind;
    std::string name; // "c<n>"
    int index;
    uint16_t peerPort;
};

// Names connections "c0", "c1", ... in order of acceptance, fills its framing progress and its
// session with values derived from that number, and keeps what each connection sent.
class RecordingServer : public CSocketServer {
public:
    explicit RecordingServer(std::vector<Event>& events) : m_events(events) {}

    bool readInOnReceive = true;
    int64_t chunk = 4096;
    std::map<std::string, std::string> received;
    std::vector<int64_t> receiveResults;

    int Count(Event::Kind kind, const std::string& name) const {
        int n = 0;
        for (const Event& e : m_events)
            n += e.kind == kind && e.name == name;
        return n;
    }
    struct Session : CConnectionSession {
        explicit Session(int number) : n(number) {}
        int n;
    };
    // The acceptance number of the connection's session; -1 for none.
    static int SessionNumber(const CConnection& connection) {
        return connection.SessionAs<Session>() ? connection.SessionAs<Session>()->n : -1;
    }

protected:
    void OnAccept(CConnection& connection) override {
        const int n = m_accepted++;
        connection.SetName(Name(n).c_str());
        ReceiveBuffer& in = connection.Receiving();
        in.state = static_cast<FrameState>(n);
        in.start = 100 + n;
        in.end = 200 + n;
        connection.SetSession(std::make_unique<Session>(n));
        Record(Event::Accept, connection);
    }
    void OnReceive(CConnection& connection) override {
        Record(Event::Receive, connection);
        std::vector<char> buffer(static_cast<size_t>(chunk));
        while (readInOnReceive) {
            const int64_t n = connection.Receive(buffer.data(), chunk);
            receiveResults.push_back(n);
            if (n <= 0)
                break;
            received[connection.Name()].append(buffer.data(), static_cast<size_t>(n));
        }
    }
    void OnClose(CConnection& connection) override { Record(Event::Close, connection); }

private:
    void Record(Event::Kind kind, const CConnection& connection) {
        m_events.push_back({kind, connection.Name(), PositionOf(connection), connection.PeerPort()});
    }

    std::vector<Event>& m_events;
    int m_accepted = 0;
};

class SocketServerTest : public ::testing::Test {
protected:
    void SetUp() override { Prepare(server); }

    void Prepare(CSocketServer& s) {
        s.SetListenAddress(QHostAddress::LocalHost);
        s.Scheduler().SetWallClock([this] { return now * 1'000'000; });
    }
    void StartServer(int maxConnections = 10, int idleTimeout = 3600) {
        ASSERT_TRUE(server.Start(0, maxConnections, idleTimeout));
    }
    // Connects a client without waiting for the server to take it.
    TestClient& Dial() {
        clients.push_back(std::make_unique<TestClient>());
        EXPECT_TRUE(clients.back()->Connect(server.ListeningPort()));
        return *clients.back();
    }
    // Connects client n at time kStartTime + n and waits until the server has accepted it as "c<n>".
    TestClient& ConnectAccepted() {
        const int n = static_cast<int>(clients.size());
        now = kStartTime + n;
        TestClient& client = Dial();
        EXPECT_TRUE(WaitUntil([&] { return server.Count(Event::Accept, Name(n)) == 1; })) << Name(n);
        return client;
    }
    bool WaitClosed(int n) {
        return WaitUntil([&] { return server.Count(Event::Close, Name(n)) == 1; }, kCloseWaitMs);
    }
    // One round trip through the server on another connection: whatever was sent before it has arrived.
    void RoundTrip(TestClient& client, const std::string& name) {
        const size_t before = server.received[name].size();
        client.Send("~");
        ASSERT_TRUE(WaitUntil([&] { return server.received[name].size() == before + 1; }));
    }
    // Record i still holds everything OnAccept gave connection n, and n's peer and connect time.
    void ExpectRecordOf(int i, int n) {
        SCOPED_TRACE("record " + std::to_string(i) + " of " + Name(n));
        EXPECT_STREQ(NthConnection(server, i)->Name(), Name(n).c_str());
        const ReceiveBuffer& in = NthConnection(server, i)->Receiving();
        EXPECT_EQ(int32_t(in.state), n);
        EXPECT_EQ(in.start, 100 + n);
        EXPECT_EQ(in.end, 200 + n);
        EXPECT_EQ(RecordingServer::SessionNumber(*NthConnection(server, i)), n);
        EXPECT_EQ(NthConnection(server, i)->PeerPort(), clients[n]->LocalPort());
        EXPECT_EQ(NthConnection(server, i)->ConnectTime(), kStartTime + n);
        EXPECT_FALSE(NthConnection(server, i)->IsClosing());
    }

    int64_t now = kStartTime;
    std::vector<Event> events;
    RecordingServer server{events};
    std::vector<std::unique_ptr<TestClient>> clients;
};

TEST_F(SocketServerTest, StartTakesOnePortOnceAndAPortInUseLeavesTheServerStartable) {
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.ListeningPort(), 0);
    StartServer(2);
    EXPECT_TRUE(server.IsRunning());
    const uint16_t port = server.ListeningPort();
    ASSERT_NE(port, 0);
    EXPECT_FALSE(server.Start(port + 1, 1, 1)); // a second start changes nothing
    EXPECT_EQ(server.GetPort(), 0);
    EXPECT_EQ(server.ListeningPort(), port);
    // The first limit still holds: two clients, not one, are served.
    ConnectAccepted();
    ConnectAccepted();
    EXPECT_EQ(server.GetConnectionCount(), 2);

    CSocketServer other;
    Prepare(other);
    EXPECT_FALSE(other.Start(port, 10, 3600));
    EXPECT_FALSE(other.IsRunning());
    EXPECT_EQ(other.ListeningPort(), 0);
    EXPECT_EQ(other.GetPort(), port);
    EXPECT_TRUE(other.Start(0, 10, 3600));
}

TEST_F(SocketServerTest, AcceptAppendsARecordWithDefaults) {
    CSocketServer plain;
    Prepare(plain);
    plain.SetListenAddress(QHostAddress::Any); // dual stack: the peer shows as ::ffff:127.0.0.1
    ASSERT_TRUE(plain.Start(0, 10, 3600));
    TestClient client;
    ASSERT_TRUE(client.Connect(plain.ListeningPort()));
    ASSERT_TRUE(WaitUntil([&] { return plain.GetConnectionCount() == 1; }));
    EXPECT_EQ(NthConnection(plain, 0)->PeerAddress(), 0x7F000001u);
    EXPECT_EQ(NthConnection(plain, 0)->PeerPort(), client.LocalPort());
    EXPECT_EQ(NthConnection(plain, 0)->ConnectTime(), kStartTime);
    const CConnection& connection = *NthConnection(plain, 0);
    EXPECT_EQ(int32_t(connection.Receiving().state), -1);
    EXPECT_EQ(connection.Receiving().capacity, 0);
    EXPECT_EQ(connection.Receiving().bytes, nullptr);
    EXPECT_EQ(connection.SessionAs<CConnectionSession>(), nullptr);
    EXPECT_STREQ(NthConnection(plain, 0)->Name(), "");
    EXPECT_FALSE(NthConnection(plain, 0)->IsClosing());
}

TEST_F(SocketServerTest, NamesKeepAtMostNineteenCharacters) {
    StartServer();
    ConnectAccepted();
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"0123456789abcdefghi", "0123456789abcdefghi"},
        {"0123456789abcdefghij", "0123456789abcdefghi"}, // twenty: cut
        {"ab", "ab"},                                     // shorter after longer: no leftovers
        {nullptr, ""},                                    // null clears
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        NthConnection(server, 0)->SetName("0123456789abcdefghi");
        NthConnection(server, 0)->SetName(c.input);
        EXPECT_STREQ(NthConnection(server, 0)->Name(), c.expected);
    }
}

TEST_F(SocketServerTest, ClientsBeyondTheLimitWaitAndAreServedWhenPlacesFree) {
    StartServer(3);
    TestClient& c0 = ConnectAccepted();
    ConnectAccepted();
    ConnectAccepted();
    // Both complete their handshake in the backlog but get no record yet; c4 leaves while waiting.
    TestClient& c3 = Dial();
    TestClient& c4 = Dial();
    c3.Send("sent while waiting");
    c4.Send("goodbye");
    c4.Close();
    ASSERT_TRUE(c4.WaitForDisconnected());
    RoundTrip(c0, "c0");
    EXPECT_EQ(server.GetConnectionCount(), 3);
    EXPECT_EQ(server.Count(Event::Accept, "c3"), 0);

    c0.Close();
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Accept, "c3") == 1; }, kCloseWaitMs));
    EXPECT_EQ(server.Count(Event::Close, "c0"), 1);
    ASSERT_TRUE(WaitUntil([&] { return server.received["c3"] == "sent while waiting"; }));
    EXPECT_EQ(NthConnection(server, 2)->PeerPort(), c3.LocalPort()); // c1, c2, c3
    EXPECT_EQ(server.Count(Event::Accept, "c4"), 0);

    // The client that left is still accepted, read and closed.
    server.CloseConnection(*NthConnection(server, 0));
    ASSERT_TRUE(WaitClosed(4));
    EXPECT_EQ(server.received["c4"], "goodbye");
    EXPECT_EQ(server.Count(Event::Close, "c1"), 1);
    EXPECT_EQ(server.GetConnectionCount(), 2);
}

TEST_F(SocketServerTest, ReceiveReadsAtMostLengthAndNothingOnceTheCloseIsDecided) {
    StartServer();
    TestClient& c0 = ConnectAccepted();
    TestClient& c1 = ConnectAccepted();
    char buffer[8] = {};
    EXPECT_EQ(NthConnection(server, 0)->Receive(buffer, 1), -1); // connected, nothing sent yet

    server.chunk = 3;
    c0.Send("abcdefgh");
    ASSERT_TRUE(WaitUntil([&] { return server.received["c0"] == "abcdefgh"; }));
    for (int64_t n : server.receiveResults)
        EXPECT_LE(n, 3);
    EXPECT_EQ(server.receiveResults.back(), -1);

    const int reads = server.Count(Event::Receive, "c0");
    server.readInOnReceive = false;
    c0.Send("xyz");
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Receive, "c0") == reads + 1; }));
    EXPECT_EQ(NthConnection(server, 0)->Receive(nullptr, 3), -1);
    EXPECT_EQ(NthConnection(server, 0)->Receive(buffer, 0), -1);
    EXPECT_EQ(NthConnection(server, 0)->Receive(buffer, -5), -1);
    ASSERT_EQ(NthConnection(server, 0)->Receive(buffer, sizeof buffer), 3); // the refused calls consumed nothing
    EXPECT_STREQ(buffer, "xyz");

    c0.Send("unread");
    ASSERT_TRUE(WaitUntil([&] { return server.Count(Event::Receive, "c0") == reads + 2; }));
    server.CloseConnection(*NthConnection(server, 0));
    EXPECT_EQ(NthConnection(server, 0)->Receive(buffer, 1), -1); // though "unread" is still buffered
    c0.Send("after the close was decided");
    server.readInOnReceive = true;
    RoundTrip(c1, "c1");
    ASSERT_TRUE(WaitClosed(0));
    EXPECT_EQ(server.Count(Event::Receive, "c0"), reads + 2);
}

TEST_F(SocketServerTest, SendQueuesEverythingAndCloseLetsItGoOutFirst) {
    StartServer();
    TestClient& client = ConnectAccepted();
    client.PauseReading();
    // More than the loopback buffers hold, so most of it is still queued when the close is decided.
    std::string farewell(32 << 20, '\0');
    for (size_t i = 0; i < farewell.size(); ++i)
        farewell[i] = static_cast<char>(i * 7);
    const auto size = static_cast<int64_t>(farewell.size());
    ASSERT_EQ(NthConnection(server, 0)->Send(farewell.data(), size), size);
    EXPECT_EQ(NthConnection(server, 0)->Send(farewell.data(), 0), 0);
    EXPECT_EQ(NthConnection(server, 0)->Send(nullptr, 5), -1);
    EXPECT_EQ(NthConnection(server, 0)->Send(farewell.data(), -1), -1);

    server.CloseConnection(*NthConnection(server, 0));
    EXPECT_TRUE(NthConnection(server, 0)->IsClosing());
    ASSERT_TRUE(WaitClosed(0));
    EXPECT_EQ(server.GetConnectionCount(), 0);
    client.ResumeReading();
    ASSERT_TRUE(client.WaitForDisconnected(4 * kWaitMs));
    EXPECT_TRUE(client.ReceivedText() == farewell) << client.Received().size() << " octets arrived";
}

class SocketServerCloseTest : public SocketServerTest, public ::testing::WithParamInterface<int> {};

TEST_P(SocketServerCloseTest, OnCloseSeesTheRecordAndLaterRecordsMoveDownIntact) {
    StartServer();
    for (int n = 0; n < 3; ++n)
        ConnectAccepted();
    const int closed = GetParam();
    server.CloseConnection(*NthConnection(server, closed));
    ASSERT_TRUE(WaitClosed(closed));
    EXPECT_EQ(events.back().index, closed);
    EXPECT_EQ(events.back().peerPort, clients[closed]->LocalPort());
    ASSERT_EQ(server.GetConnectionCount(), 2);
    for (int n = 0, i = 0; n < 3; ++n)
        if (n != closed)
            ExpectRecordOf(i++, n);
    EXPECT_TRUE(clients[closed]->WaitForDisconnected());
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, SocketServerCloseTest, ::testing::Values(0, 1, 2));

TEST_F(SocketServerTest, APeerCloseOrResetBecomesOneCloseAndNothingIsLost) {
    StartServer();
    TestClient& c0 = ConnectAccepted();
    TestClient& c1 = ConnectAccepted();
    TestClient& c2 = ConnectAccepted();
    c0.Send("last words");
    c0.Close();
    ASSERT_TRUE(WaitUntil([&] { return NthConnection(server, 0)->IsClosing(); }));
    EXPECT_EQ(NthConnection(server, 0)->Send("x", 1), -1);
    ASSERT_TRUE(WaitClosed(0));
    EXPECT_EQ(server.received["c0"], "last words");

    // A close already pending absorbs further close requests and the peer's own close.
    server.CloseConnection(*NthConnection(server, 0));
    server.CloseConnection(*NthConnection(server, 0));
    c1.Close();
    ASSERT_TRUE(WaitClosed(1));
    c2.Reset();
    ASSERT_TRUE(WaitClosed(2));
    TestClient& c3 = ConnectAccepted();
    RoundTrip(c3, "c3");
    EXPECT_EQ(server.Count(Event::Close, "c0"), 1);
    EXPECT_EQ(server.Count(Event::Close, "c1"), 1);
    EXPECT_EQ(server.GetConnectionCount(), 1);
}

TEST_F(SocketServerTest, IdleCheckClosesOnlyConnectionsSilentForLongerThanTheTimeout) {
    RecordingObserver observer;
    server.AddObserver(&observer);
    StartServer(10, 3600);
    TestClient& talker = ConnectAccepted();
    TestClient& sentTo = ConnectAccepted();
    ConnectAccepted();
    ConnectAccepted();
    now = kStartTime + 100;
    talker.Send("hello");
    ASSERT_TRUE(WaitUntil([&] { return server.received["c0"] == "hello"; }));
    const std::string news(1000, 'n'); // sending to a peer is no sign of life from it
    ASSERT_EQ(NthConnection(server, 1)->Send(news.data(), 1000), 1000);
    ASSERT_TRUE(sentTo.WaitForBytes(1000));

    now = kStartTime + 3603; // c0 silent 3503 s, c1 3602 s, c2 3601 s, c3 exactly 3600 s
    server.CheckIdle();
    EXPECT_FALSE(NthConnection(server, 0)->IsClosing());
    EXPECT_TRUE(NthConnection(server, 1)->IsClosing());
    EXPECT_TRUE(NthConnection(server, 2)->IsClosing());
    EXPECT_FALSE(NthConnection(server, 3)->IsClosing());
    server.CheckIdle(); // already closing: left alone
    EXPECT_EQ(observer.lines, (std::vector<std::string>{"Closing [1] (c1): nothing received for 3600 s\r\n",
                                                        "Closing [2] (c2): nothing received for 3600 s\r\n"}));
    server.RemoveObserver(&observer);
    ASSERT_TRUE(WaitClosed(1));
    ASSERT_TRUE(WaitClosed(2));
    ASSERT_EQ(server.GetConnectionCount(), 2);
    EXPECT_STREQ(NthConnection(server, 1)->Name(), "c3");
    ++now;
    server.CheckIdle();
    EXPECT_FALSE(NthConnection(server, 0)->IsClosing());
    EXPECT_TRUE(NthConnection(server, 1)->IsClosing());

    now = kStartTime + 100 + 3601; // c0 too, and nobody calls the check but the server's own timer
    EXPECT_TRUE(WaitUntil([&] { return server.Count(Event::Close, "c0") == 1; },
                          CSocketServer::kIdleCheckMs + kCloseWaitMs));

    // A time-out of 0 is none: however long a connection keeps silent, it stays.
    server.SetIdleTimeout(0);
    ConnectAccepted();
    now += 100'000;
    server.CheckIdle();
    EXPECT_FALSE(NthConnection(server, server.GetConnectionCount() - 1)->IsClosing());
}

TEST_F(SocketServerTest, DestructionDropsConnectionsWithoutCallingBack) {
    std::vector<Event> log;
    auto doomed = std::make_unique<RecordingServer>(log);
    Prepare(*doomed);
    ASSERT_TRUE(doomed->Start(0, 10, 3600));
    TestClient a, b;
    ASSERT_TRUE(a.Connect(doomed->ListeningPort()));
    ASSERT_TRUE(b.Connect(doomed->ListeningPort()));
    ASSERT_TRUE(WaitUntil([&] { return doomed->GetConnectionCount() == 2; }));
    doomed->CloseConnection(*NthConnection(*doomed, 0));
    // A witness whose close is due after the doomed one's would have been.
    StartServer();
    ConnectAccepted();
    server.CloseConnection(*NthConnection(server, 0));

    doomed.reset();
    EXPECT_TRUE(a.WaitForDisconnected());
    EXPECT_TRUE(b.WaitForDisconnected());
    ASSERT_TRUE(WaitClosed(0));
    EXPECT_EQ(log.size(), 2u); // the two accepts only
}

// Ids outlive index shifts; Stop closes everything at once, each close told like any other, and
// the server can start again.
TEST_F(SocketServerTest, IdsStayWithTheirConnectionsAndStopClosesEveryone) {
    RecordingObserver observer;
    server.AddObserver(&observer);
    StartServer();
    ConnectAccepted();
    ConnectAccepted();
    const uint64_t first = NthConnection(server, 0)->Id(), second = NthConnection(server, 1)->Id();
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    server.CloseConnection(*NthConnection(server, 0));
    ASSERT_TRUE(WaitClosed(0));
    ASSERT_NE(server.FindConnection(second), nullptr);
    EXPECT_EQ(server.PositionOf(*server.FindConnection(second)), 0);
    EXPECT_EQ(server.FindConnection(first), nullptr);
    ConnectAccepted();

    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.GetConnectionCount(), 0);
    EXPECT_TRUE(clients[1]->WaitForDisconnected());
    EXPECT_TRUE(clients[2]->WaitForDisconnected());
    // Each event names its connection, whatever its place: Stop closes the newest first.
    EXPECT_EQ(observer.events, (std::vector<std::string>{"connected 0", "connected 1", "disconnected 0", "removed 0",
                                                         "connected 2", "disconnected 2", "removed 2",
                                                         "disconnected 1", "removed 1"}));
    StartServer();
    EXPECT_TRUE(server.IsRunning());
}

} // namespace
