// Connections of the SMPP server: the start line, the console events, the limit of ten and the idle check.
#include "tests/smpp/EsmeSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace test_esme;

TEST_F(SmppServerTest, StartPrintsOkWithThePortPicked) {
    EXPECT_EQ(observer.lines, std::vector<std::string>{"SMPP server start ok! (port = " + std::to_string(port) + ")\r\n"});
}

TEST_F(SmppServerTest, StartOnAPortInUsePrintsFailWithThatPort) {
    RecordingObserver second;
    CSmppServer other;
    other.AddObserver(&second);
    EXPECT_FALSE(other.Start(port, 10, 3600));
    EXPECT_FALSE(other.IsRunning());
    EXPECT_EQ(second.lines, std::vector<std::string>{"SMPP server start fail! (port = " + std::to_string(port) + ")\r\n"});
}

TEST(SmppServerStart, WorksWithNothingAttached) {
    CSmppServer server;
    ASSERT_TRUE(server.Start(0, 10, 3600));
    test_net::TestClient client;
    ASSERT_TRUE(client.Connect(server.ListeningPort()));
    client.Send(SmppPdu(0x00000009, 1, BindBody("bare")));
    ASSERT_TRUE(client.WaitForBytes(26));
    EXPECT_EQ(client.Take(26), BindResp(0x80000009, 1, "bare"));
}

TEST_F(SmppServerTest, ConsoleSeesEachConnectionWithItsIndexAtThatMoment) {
    auto first = Connect();
    auto second = Connect();
    first->Close();
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 1; }, kCloseWaitMs));
    auto third = Connect();
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"connected 0", "connected 1", "disconnected 0", "removed 0", "connected 1"}));
    EXPECT_EQ(server.GetPeerPort(1), third->LocalPort());
}

TEST_F(SmppServerTest, EleventhClientWaitsUntilOneOfTheTenLeaves) {
    std::vector<std::unique_ptr<Esme>> esmes;
    for (int i = 0; i < 10; ++i)
        esmes.push_back(ConnectBound("esme" + std::to_string(i)));

    Esme eleventh;
    ASSERT_TRUE(eleventh.Connect(port)); // the listen backlog takes it
    eleventh.Send(SmppPdu(0x00000009, 1, BindBody("late")));
    // An enquire_link round trip on another connection: the event loop has had its chance.
    esmes[3]->Send(SmppPdu(0x00000015, 2));
    EXPECT_EQ(esmes[3]->NextPdu(), SmppPdu(0x80000015, 2));
    EXPECT_EQ(server.GetConnectionCount(), 10);
    EXPECT_TRUE(eleventh.Received().empty());

    esmes[3]->Send(SmppPdu(0x00000006, 3));
    EXPECT_EQ(esmes[3]->NextPdu(), SmppPdu(0x80000006, 3));
    EXPECT_EQ(eleventh.NextPdu(test_net::kWaitMs + CSocketServer::kClosePauseMs), BindResp(0x80000009, 1, "late"));
    EXPECT_EQ(server.GetConnectionCount(), 10);
    EXPECT_STREQ(server.NameOf(9), "late");
    EXPECT_EQ(observer.events.back(), "logged in 9");
}

TEST_F(SmppServerTest, IdleCheckClosesOnlyConnectionsSilentForMoreThanAnHour) {
    auto first = Connect();
    auto second = Connect();
    now = kStartTime + 100;
    auto third = ConnectBound("talker"); // accepted and heard from at +100

    struct Step {
        int64_t at;
        std::vector<bool> closing;
    };
    const Step steps[] = {
        {kStartTime + 3600, {false, false, false}}, // exactly an hour stays
        {kStartTime + 3601, {true, true, false}},   // adjacent idle connections go in the same run
        {kStartTime + 3700, {true, true, false}},
        {kStartTime + 3701, {true, true, true}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.at - kStartTime);
        now = step.at;
        server.CheckIdle();
        ASSERT_EQ(server.GetConnectionCount(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(server.IsClosing(i), step.closing[size_t(i)]) << "connection " << i;
    }
    EXPECT_TRUE(first->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(second->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(third->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }));
}

} // namespace
