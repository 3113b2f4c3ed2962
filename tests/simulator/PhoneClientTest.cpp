// The phone's TEST client against a scripted mobile server on loopback: the octets it sends, and what it
// makes of every kind of packet a server may send it, good or bad.
#include "simulator/PhoneClient.h"

#include "tests/support/Bytes.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::Pdu12;
using test_net::WaitUntil;
using Bytes = std::vector<uint8_t>;
using State = CPhoneClient::State;

constexpr uint32_t kLogin = 0x00001001, kLoginResp = 0x80001001, kSubmit = 0x00001002;
constexpr uint32_t kDeliver = 0x00001003, kDeliverResp = 0x80001003;
constexpr char kNumber[] = "13900000001";

Bytes Deliver(uint32_t sequence, const std::string& from, const std::string& msgId, uint8_t format, const Bytes& content,
              int msgLength = -1) {
    return Pdu12(kDeliver, sequence, Builder().text(kNumber, 24).text(from, 24).text(msgId, 10)
        .u8(msgLength < 0 ? uint32_t(content.size()) : uint32_t(msgLength)).u8(format).raw(content));
}
Bytes DeliverResp(uint32_t sequence, const std::string& msgId) {
    return Pdu12(kDeliverResp, sequence, Builder().u32(0).text(msgId, 10));
}

// A connected phone that has sent its LOGIN and waits for the answer; the test plays the server.
class PhoneClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        client = std::make_unique<CPhoneClient>(server.serverPort());
        QObject::connect(client.get(), &CPhoneClient::StateChanged,
                         [this](State, const QString& status) { statuses.push_back(status.toStdString()); });
        QObject::connect(client.get(), &CPhoneClient::Delivered, [this](const QString& from, const QString& text) {
            delivered.emplace_back(from.toStdString(), text.toStdString());
        });
        client->LogIn(kNumber);
        ASSERT_TRUE(WaitUntil([this] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
        ASSERT_TRUE(Next(40));
        EXPECT_EQ(taken, Pdu12(kLogin, 1, Builder().u32(0).text(kNumber, 24))) << "terminal_type 0, then the number";
    }

    void Send(const Bytes& bytes) { peer->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())); }
    // The next count octets the phone sent, into taken.
    bool Next(size_t count) {
        if (!WaitUntil([&] { return size_t(received.size() + peer->bytesAvailable()) >= count; }))
            return false;
        received.append(peer->readAll());
        taken.assign(received.begin(), received.begin() + qsizetype(count));
        received.remove(0, qsizetype(count));
        return true;
    }

    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;
    Bytes taken;
    std::unique_ptr<CPhoneClient> client;
    std::vector<std::string> statuses;
    std::vector<std::pair<std::string, std::string>> delivered;
};

TEST_F(PhoneClientTest, LogsInAcrossSplitReadsAndSubmitsOnlyWhenLoggedIn) {
    EXPECT_FALSE(client->Submit("10086", "ok")) << "not logged in yet";
    const Bytes answer = Pdu12(kLoginResp, 1, Builder().u32(0xFFFFFFFF)); // the number is in use already
    Send(Bytes(answer.begin(), answer.begin() + 5));
    ASSERT_TRUE(WaitUntil([&] { return peer->bytesToWrite() == 0; }));
    Send(Bytes(answer.begin() + 5, answer.end()));
    ASSERT_TRUE(WaitUntil([&] { return client->GetState() == State::LoggedIn; }));
    EXPECT_EQ(statuses.back(), "Logged in as 13900000001, which another phone uses too");

    EXPECT_FALSE(client->Submit("", "ok")) << "no destination";
    ASSERT_TRUE(client->Submit("10086", "ok\u4F60")); // GBK: C4 E3
    ASSERT_TRUE(Next(12 + 24 + 24 + 10 + 1 + 4));
    EXPECT_EQ(taken, Pdu12(kSubmit, 2, Builder().text("10086", 24).text(kNumber, 24).text("0000000001", 10).u8(4)
                                           .raw(Bytes{'o', 'k', 0xC4, 0xE3})));

    // A handset refuses what GBK cannot write, and sends a long text in parts that carry the header.
    std::string error;
    EXPECT_EQ(client->Submit("10086", "a\U0001F600", smpp::SplitOption::Udh8, &error), 0);
    EXPECT_EQ(error, "'\U0001F600' (U+1F600) is not in GBK");
    ASSERT_EQ(client->Submit("10086", std::string(161, 'x'), smpp::SplitOption::Udh16), 2);
    for (const auto& [seq, body] : {std::pair{1, 133}, std::pair{2, 28}}) {
        ASSERT_TRUE(Next(12 + 24 + 24 + 10 + 1 + 7 + size_t(body)));
        const Bytes content(taken.end() - 7 - body, taken.end());
        EXPECT_EQ(taken[12 + 58], 7 + body) << "msg_length";
        EXPECT_EQ(Bytes(content.begin(), content.begin() + 3), (Bytes{0x06, 0x08, 0x04}));
        EXPECT_EQ(Bytes(content.begin() + 5, content.begin() + 7), (Bytes{2, uint8_t(seq)}));
        EXPECT_EQ(Bytes(content.begin() + 7, content.end()), Bytes(size_t(body), 'x'));
    }
    // SAR parameters and message_payload are SMPP's alone: a phone sends such a text in parts with the 8-bit header.
    ASSERT_EQ(client->Submit("10086", std::string(161, 'x'), smpp::SplitOption::Sar), 2);
    for (const int body : {134, 27}) {
        ASSERT_TRUE(Next(12 + 24 + 24 + 10 + 1 + 6 + size_t(body)));
        EXPECT_EQ(Bytes(taken.end() - 6 - body, taken.end() - 3 - body), (Bytes{0x05, 0x00, 0x03}));
    }
    // A new number while connected goes as a fresh LOGIN on the same connection; an empty one changes nothing.
    client->LogIn("");
    client->LogIn("13900000002");
    ASSERT_TRUE(Next(40));
    EXPECT_EQ(taken, Pdu12(kLogin, 7, Builder().u32(0).text("13900000002", 24)));

    client->LogOut();
    EXPECT_EQ(statuses.back(), "Not logged in");
    EXPECT_TRUE(WaitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

// Each packet is followed by a plain DELIVER with sequence 99: whatever the first did, the connection must
// still frame and answer the next.
TEST_F(PhoneClientTest, ShowsAndAnswersEachDeliverAndIgnoresWhatItCannotRead) {
    const Bytes ucs2{0x4F, 0x60, 0x59};
    struct Case {
        const char* name;
        Bytes packet;
        std::vector<std::pair<std::string, std::string>> shown;
        Bytes answer; // empty: no answer
    } cases[] = {
        {"GBK text", Deliver(7, "10086", "0000000042", 15, {'h', 'i', ' ', 0xC4, 0xE3}),
         {{"10086", "hi \u4F60"}}, DeliverResp(7, "0000000042")},
        {"UCS-2 with an odd octet", Deliver(8, "10086", "1", 8, ucs2), {{"10086", "\u4F60"}}, DeliverResp(8, "1")},
        {"binary", Deliver(9, "", "2", 4, {0x01, 0xAB}), {{"", "01 AB"}}, DeliverResp(9, "2")},
        {"msg_length beyond the packet", Deliver(10, "1", "3", 0, {'a', 'b'}, 200), {{"1", "ab"}}, DeliverResp(10, "3")},
        {"DELIVER too short for its fields", Pdu12(kDeliver, 11, Builder().fill(59)), {}, {}},
        {"LOGIN_RESP without its result", Pdu12(kLoginResp, 12), {}, {}},
        {"a command the phone does not know", Pdu12(0x00001234, 13, Builder().u32(0)), {}, {}},
    };
    const Bytes marker = Deliver(99, "5", "9", 0, {'z'});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delivered.clear();
        Send(Builder().raw(c.packet).raw(marker));
        if (!c.answer.empty()) {
            ASSERT_TRUE(Next(c.answer.size()));
            EXPECT_EQ(taken, c.answer);
        }
        ASSERT_TRUE(Next(26));
        EXPECT_EQ(taken, DeliverResp(99, "9"));
        auto expected = c.shown;
        expected.emplace_back("5", "z");
        EXPECT_EQ(delivered, expected);
    }
    EXPECT_EQ(client->GetState(), State::LoggingIn) << "a short LOGIN_RESP logs nobody in";
}

// The parts of a long message, in any order and mixed with others, are told of once, as one text, when the last
// comes; every part is answered. A header that is no concatenation header reads as the text it is.
TEST_F(PhoneClientTest, LongMessagesAreToldOfWholeOnceTheirLastPartCame) {
    const auto part = [](Bytes header, const std::string& text) {
        header.insert(header.end(), text.begin(), text.end());
        return header;
    };
    std::vector<int> parts;
    QObject::connect(client.get(), &CPhoneClient::PartDelivered, [&](const QString&, int present, int) { parts.push_back(present); });
    const struct {
        const char* from;
        uint8_t format;
        Bytes content;
    } packets[] = {
        {"10086", 15, part({5, 0, 3, 0x42, 2, 2}, "world")},         // 8-bit reference, the last part first
        {"10010", 8, part({6, 8, 4, 0x01, 0x42, 2, 1}, {0, 'u'})},  // 16-bit reference, UCS-2, another sender
        {"10086", 15, part({5, 0, 3, 0x43, 2, 1}, "other ")},        // another reference: another message
        {"10086", 15, part({5, 0, 3, 0x42, 2, 1}, "Hello, ")},
        {"10010", 8, part({6, 8, 4, 0x01, 0x42, 2, 2}, {0, 'p'})},
        {"10086", 15, part({5, 0, 3, 0x42, 1, 1}, "one of one")},    // a single part: no concatenation header
    };
    uint32_t sequence = 20;
    for (const auto& p : packets) {
        Send(Deliver(++sequence, p.from, "1", p.format, p.content));
        ASSERT_TRUE(Next(26));
        EXPECT_EQ(taken, DeliverResp(sequence, "1"));
    }
    EXPECT_EQ(delivered, (std::vector<std::pair<std::string, std::string>>{
                             {"10086", "Hello, world"}, {"10010", "up"}, {"10086", "\\x05"}}));
    EXPECT_EQ(parts, (std::vector<int>{1, 1, 1}));

    // At most 32 long messages wait for their parts: the 33rd makes the phone forget the oldest.
    delivered.clear();
    for (int reference = 0x50; reference <= 0x70; ++reference) {
        Send(Deliver(++sequence, "10086", "1", 15, part({5, 0, 3, uint8_t(reference), 2, 1}, "a")));
        ASSERT_TRUE(Next(26));
    }
    for (const uint8_t reference : {0x51, 0x50}) {
        Send(Deliver(++sequence, "10086", "1", 15, part({5, 0, 3, reference, 2, 2}, "b")));
        ASSERT_TRUE(Next(26));
    }
    EXPECT_EQ(delivered, (std::vector<std::pair<std::string, std::string>>{{"10086", "ab"}}));
}

TEST_F(PhoneClientTest, ABadLengthClosesTheConnectionAndFramesNothingAfterIt) {
    for (const uint32_t length : {0u, 11u, 10241u}) {
        SCOPED_TRACE(length);
        if (client->GetState() == State::LoggedOut) {
            client->LogIn(kNumber);
            ASSERT_TRUE(WaitUntil([this] { return server.hasPendingConnections(); }));
            peer = server.nextPendingConnection();
            received.clear();
        }
        delivered.clear();
        Send(Builder().u32(length).u32(kDeliver).u32(1).raw(Deliver(2, "5", "9", 0, {'z'})));
        ASSERT_TRUE(WaitUntil([&] { return client->GetState() == State::LoggedOut; }));
        EXPECT_EQ(statuses.back(), "Bad packet from the mobile server; disconnected");
        EXPECT_TRUE(delivered.empty());
        EXPECT_TRUE(WaitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    }
}

TEST_F(PhoneClientTest, SaysWhenTheServerClosesOrCannotBeReached) {
    peer->close();
    ASSERT_TRUE(WaitUntil([&] { return client->GetState() == State::LoggedOut; }));
    EXPECT_EQ(statuses.back(), "The mobile server closed the connection");

    const uint16_t port = server.serverPort();
    server.close();
    CPhoneClient unreachable(port);
    unreachable.LogIn("1");
    EXPECT_EQ(unreachable.StatusText(), "Connecting...");
    ASSERT_TRUE(WaitUntil([&] { return unreachable.GetState() == State::LoggedOut; }));
    EXPECT_EQ(unreachable.StatusText(), QString("Cannot reach the mobile server on port %1").arg(port));
}

} // namespace
