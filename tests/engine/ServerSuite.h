// What the SMPP and mobile servers do alike, as one typed suite each server's test instantiates.
#pragma once

#include "capture/PacketLog.h"
#include "engine/Stream.h"
#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/TestClient.h"

#include <QSignalBlocker>

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace test_server {

using Bytes = std::vector<uint8_t>;
using test_net::TestClient;
using test_net::NthConnection;
using test_net::WaitUntil;

constexpr int kCloseWaitMs = CSocketServer::kClosePauseMs + test_net::kWaitMs;
constexpr uint32_t kCaptureTime = 1'700'000'123;
constexpr int64_t kStartTime = 1'700'000'000;
constexpr uint32_t kLoopback = 0x7F000001;

inline int64_t CaptureTime() { return int64_t(kCaptureTime) * 1000000; }

// A started server on a free loopback port with an empty capture log, a recording observer and a
// clock the test moves by hand. Traits name the server and its protocol:
//   Server; kProtocol (capture code); kName, kOk (start line words);
//   Login(name, sequence) and LoginAnswer(name, sequence): the request that names a connection.
template <typename Traits>
class ServerTest : public ::testing::Test {
protected:
    using Server = typename Traits::Server;

    void SetUp() override {
        ASSERT_TRUE(log.Reset());
        log.SetTimeSource(CaptureTime);
        server.AddObserver(&observer);
        server.SetPacketLog(&log);
        Prepare(server);
        ASSERT_TRUE(server.Start(0, 100, 3600));
        port = server.ListeningPort();
    }
    void Prepare(Server& s) {
        s.SetListenAddress(QHostAddress::LocalHost);
        s.Scheduler().SetWallClock([this] { return now * 1'000'000; });
    }

    // A connected client, accepted by the server.
    std::unique_ptr<TestClient> Connect() {
        auto client = std::make_unique<TestClient>();
        EXPECT_TRUE(client->Connect(port));
        EXPECT_TRUE(WaitUntil([&] { return ConnectionOf(*client) != nullptr; }));
        return client;
    }
    // A time of the case's clock in UTC, in strftime's format: a text server's stamp as a test expects it.
    static std::string UtcText(int64_t seconds, const char* format) {
        const std::time_t t = std::time_t(seconds);
        std::tm utc{};
        gmtime_r(&t, &utc);
        char text[32];
        std::strftime(text, sizeof text, format, &utc);
        return std::string(text);
    }
    // The client's connection on the server; nullptr when it has none.
    CConnection* ConnectionOf(const TestClient& client) const {
        return test_net::ConnectionAt(server, client.LocalPort());
    }
    // Whether the client's connection is closing; false once it has gone.
    bool IsClosing(const TestClient& client) const {
        const CConnection* connection = ConnectionOf(client);
        return connection && connection->IsClosing();
    }

    std::vector<Bytes> Records() const {
        std::vector<Bytes> records;
        for (int32_t i = 0; i < log.GetCount(); ++i) {
            uint32_t length = 0;
            const uint8_t* record = log.PacketAt(i, &length);
            records.emplace_back(record, record + length);
        }
        return records;
    }
    // How the log stores a PDU the client sent, and one the server sent.
    Bytes FromClient(const TestClient& client, const Bytes& pdu) const {
        return test_bytes::CaptureRecord(Traits::kProtocol, pdu, kCaptureTime, kLoopback, client.LocalPort());
    }
    Bytes FromServer(const Bytes& pdu) const {
        return test_bytes::CaptureRecord(Traits::kProtocol, pdu, kCaptureTime, kLoopback, port);
    }

    // Floods the client's connection with logins, the client reading no answer, until the server holds
    // the connection's reading. A small kernel buffer behind the server's end makes the answers soon back
    // up in the server itself. Gives the answers to every login sent, in order.
    Bytes FloodUntilHeld(TestClient& client, const CConnection& connection) {
        SendBuffer(connection, 4096);
        client.PauseReading();
        sent = uint32_t(3 * CConnection::kMaxUnsentOctets / int64_t(Traits::LoginAnswer("flood", 1).size()));
        test_bytes::Builder flood, answers;
        for (uint32_t sequence = 1; sequence <= sent; ++sequence) {
            flood.raw(Traits::Login("flood", sequence));
            answers.raw(Traits::LoginAnswer("flood", sequence));
        }
        client.Send(flood);
        EXPECT_TRUE(WaitUntil([&] { return connection.IsReadingHeld(); }, 4 * test_net::kWaitMs));
        return answers;
    }
    void SendBuffer(const CConnection& connection, int octets) {
        const int descriptor = static_cast<CPlainStream&>(connection.Stream()).Descriptor();
        ASSERT_EQ(setsockopt(descriptor, SOL_SOCKET, SO_SNDBUF, &octets, sizeof octets), 0);
    }
    // The logins the server has read and answered.
    size_t Answered() const {
        return size_t(std::count(observer.events.begin(), observer.events.end(), "logged in 0"));
    }

    static std::string StartLine(const char* outcome, uint16_t atPort) {
        return std::string(Traits::kName).append(" server start ").append(outcome).append("! (port = ")
            .append(std::to_string(atPort)).append(")\r\n");
    }

    int64_t now = kStartTime;
    CPacketLog log;
    RecordingObserver observer;
    Server server;
    uint16_t port = 0;
    uint32_t sent = 0; // logins FloodUntilHeld sent
};

template <typename Traits>
class ServerSuite : public ServerTest<Traits> {};
TYPED_TEST_SUITE_P(ServerSuite);

TYPED_TEST_P(ServerSuite, StartLineShowsThePortPickedAndAPortInUseFails) {
    EXPECT_EQ(this->observer.lines, std::vector<std::string>{this->StartLine(TypeParam::kOk, this->port)});
    RecordingObserver second;
    typename TypeParam::Server clash;
    clash.AddObserver(&second);
    this->Prepare(clash);
    EXPECT_FALSE(clash.Start(this->port, 10, 3600));
    EXPECT_FALSE(clash.IsRunning());
    EXPECT_EQ(second.lines, std::vector<std::string>{this->StartLine("fail", this->port)});
}

// Neither a capture log nor an observer is needed, for a good PDU or for a bad length.
TYPED_TEST_P(ServerSuite, ServesWithNothingAttached) {
    typename TypeParam::Server bare;
    this->Prepare(bare);
    ASSERT_TRUE(bare.Start(0, 10, 3600));
    TestClient client;
    ASSERT_TRUE(client.Connect(bare.ListeningPort()));
    client.Send(TypeParam::Login("bare", 1));
    EXPECT_EQ(client.NextPdu(), TypeParam::LoginAnswer("bare", 1));
    client.Send(test_bytes::Builder().u32(1).fill(12).bytes());
    EXPECT_TRUE(WaitUntil([&] { return NthConnection(bare, 0)->IsClosing(); }));
}

// Received PDUs come from the peer (in), answers from 127.0.0.1 and the listening port (out); a PDU that
// finds the log full wipes it and is stored first in the fresh one, so that nothing is lost.
TYPED_TEST_P(ServerSuite, CapturesBothDirectionsAndLosesNothingToTheWipe) {
    auto client = this->Connect();
    const Bytes login = TypeParam::Login("first", 1), answer = TypeParam::LoginAnswer("first", 1);
    client->Send(login);
    EXPECT_EQ(client->NextPdu(), answer);
    EXPECT_EQ(this->Records(), (std::vector<Bytes>{this->FromClient(*client, login), this->FromServer(answer)}));
    EXPECT_FALSE(this->log.SummaryAt(0).fromServer);
    EXPECT_TRUE(this->log.SummaryAt(1).fromServer);

    ASSERT_TRUE(this->log.Reset());
    // The login's record ends exactly at the end of the area; its answer finds no room.
    const Bytes filler(CPacketLog::kAreaSize - 2 * CPacketLog::kHeaderSize - login.size(), 0x11);
    ASSERT_TRUE(this->log.AddPacket(8, kLoopback, 8880, filler.data(), uint32_t(filler.size()), 29));
    client->Send(login);
    EXPECT_EQ(client->NextPdu(), answer);
    EXPECT_EQ(this->Records(), (std::vector<Bytes>{this->FromServer(answer)}));
    EXPECT_EQ(this->log.SerialBase(), 2 + 2) << "the filler and the login before it, and the first two";
}

// An answer the stream no longer takes never reached the client: the request is captured, the
// answer is not. Here the server's end was shut for sending and a send has failed on it before the
// request is handled; the server hears of it only after it has handled what it could still read.
TYPED_TEST_P(ServerSuite, AnAnswerTheStreamRefusesIsNotCaptured) {
    auto client = this->Connect();
    CConnection& connection = *NthConnection(this->server, 0);
    auto& stream = static_cast<CPlainStream&>(connection.Stream());
    const Bytes login = TypeParam::Login("late", 1);
    {
        const QSignalBlocker quiet(stream);
        client->Send(login);
        ASSERT_TRUE(WaitUntil([&] {
            int waiting = 0;
            return ioctl(stream.Descriptor(), FIONREAD, &waiting) == 0 && waiting >= int(login.size());
        }));
        ASSERT_EQ(shutdown(stream.Descriptor(), SHUT_WR), 0);
        ASSERT_EQ(connection.Send("\0", 1), 1);
        stream.Flush();
        ASSERT_FALSE(stream.IsOpen());
    }
    emit stream.Readable();
    EXPECT_EQ(this->Records(), (std::vector<Bytes>{this->FromClient(*client, login)}));
    ASSERT_TRUE(WaitUntil([&] { return connection.IsClosing(); })) << "the failed send closes the connection";
}

TYPED_TEST_P(ServerSuite, ObserverHearsConnectLoginAndDisconnect) {
    auto client = this->Connect();
    client->Send(TypeParam::Login("named", 1));
    EXPECT_EQ(client->NextPdu(), TypeParam::LoginAnswer("named", 1));
    EXPECT_STREQ(NthConnection(this->server, 0)->Name(), "named");
    client->Close();
    ASSERT_TRUE(WaitUntil([&] { return this->server.GetConnectionCount() == 0; }, kCloseWaitMs));
    EXPECT_EQ(this->observer.events,
              (std::vector<std::string>{"connected 0", "logged in 0", "disconnected 0", "removed 0"}));
}

// The server keeps to the connection limit and idle timeout Start was given.
TYPED_TEST_P(ServerSuite, ConnectionLimitAndIdleTimeoutAreThoseStartWasGiven) {
    typename TypeParam::Server limited;
    this->Prepare(limited);
    ASSERT_TRUE(limited.Start(0, 1, 60));
    TestClient first, second;
    ASSERT_TRUE(first.Connect(limited.ListeningPort()));
    ASSERT_TRUE(WaitUntil([&] { return limited.GetConnectionCount() == 1; }));
    ASSERT_TRUE(second.Connect(limited.ListeningPort())); // the listen backlog takes it
    second.Send(TypeParam::Login("second", 2));
    first.Send(TypeParam::Login("first", 1));
    EXPECT_EQ(first.NextPdu(), TypeParam::LoginAnswer("first", 1)); // the event loop has had its chance
    EXPECT_EQ(limited.GetConnectionCount(), 1);
    EXPECT_TRUE(second.Received().empty());

    this->now += 60;
    limited.CheckIdle();
    EXPECT_FALSE(NthConnection(limited, 0)->IsClosing());
    this->now += 1;
    limited.CheckIdle();
    EXPECT_TRUE(NthConnection(limited, 0)->IsClosing());
    EXPECT_EQ(second.NextPdu(kCloseWaitMs), TypeParam::LoginAnswer("second", 2));
}

// A peer that pipelines requests and reads none of the answers: once the answers waiting pass the
// bound, the server reads nothing more of it (its requests wait in the kernel), and once the peer
// reads, every request is answered, in order.
TYPED_TEST_P(ServerSuite, APeerThatLeavesItsAnswersUnreadIsReadAgainOnceTheyDrainAndLosesNothing) {
    auto client = this->Connect();
    const CConnection& connection = *this->ConnectionOf(*client);
    const Bytes answers = this->FloodUntilHeld(*client, connection);
    int told = 0;
    {
        const QObject listening;
        QObject::connect(&connection.Stream(), &CStream::Readable, &listening, [&told] { ++told; });
        for (int turn = 0; turn < 20; ++turn)
            QCoreApplication::processEvents();
    }
    EXPECT_EQ(told, 0) << "a held connection is told of what waits on every turn";
    EXPECT_TRUE(connection.IsReadingHeld());
    EXPECT_LE(connection.Unsent(), CConnection::kMaxUnsentOctets + int64_t(answers.size() / this->sent));
    EXPECT_LT(this->Answered(), size_t(this->sent)) << "every login was read: none waits in the kernel";

    // Room again, so that the backlog drains at loopback speed.
    this->SendBuffer(connection, 1 << 20);
    client->ResumeReading();
    ASSERT_TRUE(client->WaitForBytes(answers.size(), 4 * test_net::kWaitMs)) << client->Received().size();
    EXPECT_TRUE(client->Received() == answers) << "answers lost or out of order";
    EXPECT_FALSE(connection.IsReadingHeld());
}

// A held connection the user closes still hands its peer every answer it took, and no more, then closes.
TYPED_TEST_P(ServerSuite, AHeldConnectionClosedStillDeliversEveryAnswerItTook) {
    auto client = this->Connect();
    const CConnection& connection = *this->ConnectionOf(*client);
    const Bytes answers = this->FloodUntilHeld(*client, connection);
    const size_t answered = this->Answered(); // no more: a closing connection is not read
    // Still held when its close comes: the peer reads only once the connection has left the table.
    ASSERT_TRUE(this->server.Disconnect(connection.Id()));
    ASSERT_TRUE(WaitUntil([&] { return this->server.GetConnectionCount() == 0; }, kCloseWaitMs));
    client->ResumeReading();
    const Bytes taken(answers.begin(), answers.begin() + std::ptrdiff_t(answered * answers.size() / this->sent));
    ASSERT_TRUE(client->WaitForBytes(taken.size(), 4 * test_net::kWaitMs + kCloseWaitMs)) << client->Received().size();
    EXPECT_TRUE(WaitUntil([&] { return client->Socket().state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(client->Received() == taken) << "answers lost, out of order or more than were taken";
}

REGISTER_TYPED_TEST_SUITE_P(ServerSuite, StartLineShowsThePortPickedAndAPortInUseFails, ServesWithNothingAttached,
                            CapturesBothDirectionsAndLosesNothingToTheWipe, AnAnswerTheStreamRefusesIsNotCaptured,
                            ObserverHearsConnectLoginAndDisconnect, ConnectionLimitAndIdleTimeoutAreThoseStartWasGiven,
                            APeerThatLeavesItsAnswersUnreadIsReadAgainOnceTheyDrainAndLosesNothing,
                            AHeldConnectionClosedStillDeliversEveryAnswerItTook);

} // namespace test_server
