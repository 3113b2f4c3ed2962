// The mobile server over loopback with a simulator client: LOGIN, SUBMIT, framing, capture.
#include "mobile/MobileServer.h"

#include "capture/PacketLog.h"
#include "tests/support/Bytes.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/TestClient.h"

#include <QTcpServer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_net::TestClient;
using namespace test_protocol;

uint32_t FixedTime() { return 1000; }

std::vector<uint8_t> Packet(uint32_t command, uint32_t sequence, const std::vector<uint8_t>& body = {}) {
    return test_bytes::Pdu12(command, sequence, body);
}

std::vector<uint8_t> Login(const std::string& number, uint32_t sequence, uint32_t terminalType = 1) {
    return Packet(kLogin, sequence, Builder().u32(terminalType).text(number, 24));
}

std::vector<uint8_t> Submit(uint32_t sequence, const std::string& text = "hello") {
    return Packet(kSubmit, sequence,
                  Builder().text("13900000002", 24).text("13900000001", 24).text("ABCDEFGHIJ", 10)
                      .u8(static_cast<uint32_t>(text.size())).raw(text));
}

std::vector<uint8_t> LoginResp(uint32_t sequence, int32_t result) {
    return Builder().u32(16).u32(kLoginResp).u32(sequence).u32(static_cast<uint32_t>(result));
}

std::vector<uint8_t> SubmitResp(uint32_t sequence) {
    return Builder().u32(26).u32(kSubmitResp).u32(sequence).u32(0).fill(10);
}

class MobileServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log.Reset());
        log.SetTimeSource(FixedTime);
        server.AddObserver(&observer);
        server.SetPacketLog(&log);
        server.SetListenAddress(QHostAddress::LocalHost);
        ASSERT_TRUE(server.Start(0, 10, 3600));
        port = server.ListeningPort();
    }

    std::unique_ptr<TestClient> Connect() {
        const int before = server.GetConnectionCount();
        auto client = std::make_unique<TestClient>();
        EXPECT_TRUE(client->Connect(port));
        EXPECT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == before + 1; }));
        return client;
    }

    // Logs in and returns the LOGIN_RESP result.
    int32_t LogIn(TestClient& client, const std::string& number, uint32_t sequence) {
        client.Send(Login(number, sequence));
        EXPECT_TRUE(client.WaitForBytes(16));
        const std::vector<uint8_t> response = client.Take(16);
        if (response.size() != 16)
            return 1; // neither result: the caller's expectation fails
        const int32_t result = static_cast<int32_t>(wire::ReadBe32(response.data() + 12));
        EXPECT_EQ(response, LoginResp(sequence, result));
        return result;
    }

    std::vector<uint8_t> Record(int index) {
        uint32_t length = 0;
        const uint8_t* at = log.PacketAt(index, &length);
        return at ? std::vector<uint8_t>(at, at + length) : std::vector<uint8_t>();
    }

    CPacketLog log;
    RecordingObserver observer;
    CMobileServer server;
    uint16_t port = 0;
};

TEST_F(MobileServerTest, StartLineNamesTheRealPortAndAPortInUseFails) {
    ASSERT_EQ(observer.lines.size(), 1u);
    EXPECT_EQ(observer.lines[0], "Mobile server start OK! (port = " + std::to_string(port) + ")\r\n");

    RecordingObserver second;
    CMobileServer clash;
    clash.AddObserver(&second);
    clash.SetListenAddress(QHostAddress::LocalHost);
    EXPECT_FALSE(clash.Start(port, 10, 3600));
    ASSERT_EQ(second.lines.size(), 1u);
    EXPECT_EQ(second.lines[0], "Mobile server start fail! (port = " + std::to_string(port) + ")\r\n");
}

TEST_F(MobileServerTest, LoginAndSubmitAreAnsweredWithTheirSequence) {
    auto client = Connect();
    client->Send(Login("13900000001", 0x01020304));
    ASSERT_TRUE(client->WaitForBytes(16));
    EXPECT_EQ(client->Take(16), LoginResp(0x01020304, 0));
    EXPECT_STREQ(server.NameOf(0), "13900000001");

    // SUBMIT_RESP's msg_id is ten NULs whatever the SUBMIT carried.
    client->Send(Submit(77));
    ASSERT_TRUE(client->WaitForBytes(26));
    EXPECT_EQ(client->Take(26), SubmitResp(77));
}

TEST_F(MobileServerTest, SubmitWithoutLoginIsAnswered) {
    auto client = Connect();
    client->Send(Submit(5, ""));
    ASSERT_TRUE(client->WaitForBytes(26));
    EXPECT_EQ(client->Take(26), SubmitResp(5));
}

TEST_F(MobileServerTest, LoginSplitOverSegmentsIsAnsweredOnceAfterTheLastOctet) {
    auto client = Connect();
    const std::vector<uint8_t> login = Login("13900000001", 9);
    const size_t pieces[] = {5, 7, 28};
    size_t at = 0;
    for (size_t piece : pieces) {
        EXPECT_TRUE(client->Received().empty()) << "answered before octet " << at;
        client->Send(std::vector<uint8_t>(login.begin() + at, login.begin() + at + piece));
        client->Socket().flush();
        at += piece;
        if (at < login.size()) {
            EXPECT_FALSE(client->WaitForBytes(1, 100));
        }
    }
    ASSERT_TRUE(client->WaitForBytes(16));
    EXPECT_EQ(client->Take(16), LoginResp(9, 0));
    EXPECT_FALSE(client->WaitForBytes(1, 100));
}

TEST_F(MobileServerTest, TwoPacketsInOneSegmentAreBothAnsweredInOrder) {
    auto client = Connect();
    Builder both;
    both.raw(Login("13900000001", 1)).raw(Submit(2));
    client->Send(both.bytes());
    ASSERT_TRUE(client->WaitForBytes(16 + 26));
    EXPECT_EQ(client->Take(16), LoginResp(1, 0));
    EXPECT_EQ(client->Take(26), SubmitResp(2));
}

TEST_F(MobileServerTest, ResponsesAndUnknownCommandsAreCapturedButNotAnswered) {
    auto client = Connect();
    client->Send(Packet(kDeliverResp, 3, Builder().u32(0).text("0123456789", 10)));
    client->Send(Packet(0x00004444, 4));
    client->Send(Packet(kDeliver, 5));
    client->Send(Submit(6));
    ASSERT_TRUE(client->WaitForBytes(26));
    EXPECT_EQ(client->Take(26), SubmitResp(6)) << "only the SUBMIT gets an answer";
    EXPECT_EQ(log.GetCount(), 5);
}

// A number is refused when another connection holds it, never because of the caller's own name.
TEST_F(MobileServerTest, DuplicateTerminalNumbers) {
    auto older = Connect();
    auto newer = Connect();
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 2; }));

    EXPECT_EQ(LogIn(*older, "13900000001", 1), kResultOk);
    EXPECT_EQ(LogIn(*older, "13900000001", 2), kResultOk) << "its own number is no duplicate";
    EXPECT_EQ(LogIn(*newer, "13900000001", 3), kResultNumberInUse) << "the newest connection is compared too";
    EXPECT_STREQ(server.NameOf(1), "13900000001") << "a refused number is kept as the name";

    EXPECT_EQ(LogIn(*older, "13900000002", 4), kResultOk);
    EXPECT_EQ(LogIn(*newer, "13900000002", 5), kResultNumberInUse);
    EXPECT_EQ(LogIn(*older, "13900000002", 6), kResultNumberInUse) << "now held by the newest connection";
    EXPECT_TRUE(older->IsConnected());
    EXPECT_TRUE(newer->IsConnected());
}

TEST_F(MobileServerTest, TerminalNumberIsCutToTheNameField) {
    auto client = Connect();
    // 24 digits and no NUL: only the field is read, and the name keeps 19 of it.
    EXPECT_EQ(LogIn(*client, "123456789012345678901234", 1), kResultOk);
    EXPECT_STREQ(server.NameOf(0), "1234567890123456789");

    // A LOGIN shorter than its layout gives the number it carries and nothing past it.
    client->Send(Packet(kLogin, 2, Builder().u32(1).raw("139")));
    ASSERT_TRUE(client->WaitForBytes(16));
    EXPECT_EQ(client->Take(16), LoginResp(2, 0));
    EXPECT_STREQ(server.NameOf(0), "139");
}

TEST_F(MobileServerTest, CaptureRecordsBothDirections) {
    auto client = Connect();
    const std::vector<uint8_t> login = Login("13900000001", 1);
    ASSERT_EQ(LogIn(*client, "13900000001", 1), kResultOk);
    ASSERT_EQ(log.GetCount(), 2);
    EXPECT_EQ(Record(0), test_bytes::CaptureRecord(8, login, 1000, 0x7F000001, client->LocalPort()));
    EXPECT_EQ(Record(1), test_bytes::CaptureRecord(8, LoginResp(1, 0), 1000, 0x7F000001, port));

    // With the mobile flag off neither direction is kept, yet the simulator is still answered.
    log.SetFilter(std::string(29, '1') + "0");
    client->Send(Submit(2));
    ASSERT_TRUE(client->WaitForBytes(26));
    EXPECT_EQ(log.GetCount(), 2);
}

TEST_F(MobileServerTest, ImpossibleLengthsKeepTheHeaderAndCloseTheConnection) {
    const struct {
        const char* name;
        uint32_t length;
    } cases[] = {
        {"shorter than the header", 11},
        {"zero", 0},
        {"longer than the receive buffer", 10241},
        {"all ones", 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        auto client = Connect();
        const uint16_t clientPort = client->LocalPort();
        const std::vector<uint8_t> header = Builder().u32(c.length).u32(kLogin).u32(8);
        client->Send(Builder().raw(header).fill(40, '7').bytes());
        ASSERT_TRUE(client->WaitForDisconnected());
        EXPECT_TRUE(client->Received().empty());
        ASSERT_EQ(log.GetCount(), 1);
        EXPECT_EQ(Record(0), test_bytes::CaptureRecord(8, header, 1000, 0x7F000001, clientPort));
        ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }));
    }
}

TEST_F(MobileServerTest, ObserverHearsConnectLoginAndDisconnect) {
    auto client = Connect();
    LogIn(*client, "13900000001", 1);
    client->Close();
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }));
    EXPECT_EQ(observer.events, (std::vector<std::string>{"connected 0", "logged in 0", "disconnected 0", "removed 0"}));
}

} // namespace
