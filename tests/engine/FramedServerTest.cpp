// Cutting length-prefixed PDUs and delimited text frames out of each connection's byte stream, over loopback sockets.
#include "engine/FramedServer.h"
#include "engine/PendingAnswers.h"
#include "wire/Cursor.h"

#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using test_bytes::Builder;
using test_net::TestClient;
using test_net::WaitUntil;

constexpr int kHeaderSize = 8;    // length and command
constexpr int kMaxPduSize = 40;   // a small buffer, so that "exactly the buffer" is a short PDU
constexpr uint32_t kCloseCommand = 0xC105E; // the test server closes the connection after this PDU
constexpr uint16_t kProtocolCode = 0;        // captures nothing: no log

// A PDU of the test protocol: length, command, then body octets counting up from the command's.
Bytes Pdu(uint32_t command, uint32_t bodySize) {
    Builder b;
    b.u32(kHeaderSize + bodySize).u32(command);
    for (uint32_t i = 0; i < bodySize; ++i)
        b.u8(command + i);
    return b;
}
// A header whatever its length says.
Bytes Header(uint32_t length) { return Builder().u32(length).u32(0xBAD); }

Bytes Cat(std::initializer_list<Bytes> parts) {
    Builder b;
    for (const Bytes& part : parts)
        b.raw(part);
    return b;
}
Bytes Part(const Bytes& pdu, size_t from, size_t to) { return Bytes(pdu.begin() + from, pdu.begin() + to); }
std::vector<Bytes> Octets(const Bytes& bytes) {
    std::vector<Bytes> octets;
    for (uint8_t octet : bytes)
        octets.push_back({octet});
    return octets;
}

// Keeps what the framing hands over; like the protocol servers, it closes the connection on a
// bad length, and after a PDU whose command asks for it.
class RecordingServer : public CFramedServer {
public:
    explicit RecordingServer(std::unique_ptr<wire::Framer> framer)
        : CFramedServer(kProtocolCode, std::move(framer), nullptr) {}
    std::vector<wire::FrameFault> notFrames;
    size_t skipped = 0; // octets dropped as no frame

    std::vector<Bytes> pdus;
    std::vector<Bytes> badHeaders;
    std::string answer; // sent back for every PDU

    // Octets taken off the sockets so far: every PDU handed over, and connection index's PDU in progress.
    size_t Taken(int index) const {
        size_t taken = static_cast<size_t>(Framing(index).end) + skipped;
        for (const Bytes& pdu : pdus)
            taken += pdu.size();
        return taken;
    }

    // The framing progress of the connection at index.
    const ReceiveBuffer& Framing(int index) const { return test_net::NthConnection(*this, index)->Receiving(); }

protected:
    void HandleNotFrame(CConnection&, const uint8_t*, uint32_t length, wire::FrameFault fault) override {
        notFrames.push_back(fault);
        skipped += length;
    }
    void HandlePdu(CConnection& connection, const uint8_t* pdu, uint32_t length) override {
        pdus.emplace_back(pdu, pdu + length);
        connection.Send(answer.data(), int64_t(answer.size()));
        if (wire::ReadBe32(pdu + 4) == kCloseCommand)
            CloseConnection(connection);
    }
    void HandleBadLength(CConnection& connection, const uint8_t* header) override {
        badHeaders.emplace_back(header, header + kHeaderSize);
        CloseConnection(connection);
    }
};

struct Slots {
    int32_t unhandled, state; // octets read of a PDU not yet whole; FrameState
};

// A started server with one client accepted at index 0.
struct Connected {
    explicit Connected(std::unique_ptr<wire::Framer> framer = std::make_unique<wire::LengthPrefixFramer>(
                           kHeaderSize, kMaxPduSize))
        : server(std::move(framer)) {
        server.SetListenAddress(QHostAddress::LocalHost);
        EXPECT_TRUE(server.Start(0, 2, 3600));
        EXPECT_TRUE(client.Connect(server.ListeningPort()));
        EXPECT_TRUE(WaitUntil([&] { return server.GetConnectionCount() == 1; }));
    }
    // Writes bytes and waits until the server has taken sent octets of connection index in all.
    void Write(TestClient& from, const Bytes& bytes, int index, size_t sent) {
        from.Send(bytes);
        from.Socket().flush();
        ASSERT_TRUE(WaitUntil([&] { return server.Taken(index) == sent; })) << server.Taken(index) << " of " << sent;
    }

    RecordingServer server;
    TestClient client;
};

TEST(FramedServer, CutsSegmentsIntoPdusWhateverTheirBoundaries) {
    const Bytes a = Pdu(0xA0, 4), b = Pdu(0xB0, 0), full = Pdu(0xF0, kMaxPduSize - kHeaderSize);
    const Bytes closer = Pdu(kCloseCommand, 2);
    const Slots reset{0, 0};
    Builder many; // more than the buffer holds, PDUs of every length: one lies across its end
    std::vector<Bytes> manyPdus;
    for (uint32_t i = 0; i < 2000; ++i) {
        manyPdus.push_back(Pdu(0xC0 + i % 32, i % (kMaxPduSize - kHeaderSize + 1)));
        many.raw(manyPdus.back());
    }
    struct Case {
        const char* name;
        std::vector<Bytes> segments; // each taken by the server before the next is written
        std::vector<Bytes> pdus;     // handed over, in order
        std::optional<Slots> after;  // once the last segment is taken; none: the connection is closing
        std::vector<Bytes> badHeaders = {};
    };
    const Case cases[] = {
        {"one PDU in one segment", {a}, {a}, reset},
        {"header-only PDU", {b}, {b}, reset},
        {"one octet per segment", Octets(a), {a}, reset},
        {"two PDUs in one segment", {Cat({a, b})}, {a, b}, reset},
        {"split inside the length field", {Part(a, 0, 2), Part(a, 2, 12)}, {a}, reset},
        {"split where the body starts", {Part(a, 0, 8), Part(a, 8, 12)}, {a}, reset},
        {"the next PDU starts in this one's segment", {Cat({a, Part(b, 0, 3)}), Part(b, 3, 8)}, {a, b}, reset},
        {"exactly the buffer, then another PDU", {Cat({full, a})}, {full, a}, reset},
        {"more than the buffer holds in one segment", {many}, manyPdus, reset},
        {"header incomplete", {Part(a, 0, 5)}, {}, Slots{5, 0}},
        {"header complete, body incomplete", {Part(a, 0, 10)}, {}, Slots{10, 0}},
        {"a whole PDU and the start of the next", {Cat({a, Part(a, 0, 3)})}, {a}, Slots{3, 0}},
        {"the handler closes: what follows is never handed over", {Cat({a, closer, b})}, {a, closer}, std::nullopt},
    };
    // Lengths that cannot frame a PDU: the header is handed over alone and nothing after it.
    const Case bad[] = {
        {"zero", {Cat({Header(0), a})}, {}, std::nullopt, {Header(0)}},                           // not even its own length field
        {"one below the header", {Cat({Header(kHeaderSize - 1), a})}, {}, std::nullopt, {Header(kHeaderSize - 1)}}, // shorter than what arrived
        {"one above the buffer", {Cat({Header(kMaxPduSize + 1), a})}, {}, std::nullopt, {Header(kMaxPduSize + 1)}}, // would overrun the buffer
        {"largest signed", {Header(0x7FFFFFFF)}, {}, std::nullopt, {Header(0x7FFFFFFF)}},          // wanted count at the edge of int32
        {"all ones", {Header(0xFFFFFFFF)}, {}, std::nullopt, {Header(0xFFFFFFFF)}},                // negative if read as signed
        {"after a good PDU in one segment", {Cat({a, Header(1), b})}, {a}, std::nullopt, {Header(1)}}, // the good one still counts
        {"arriving octet by octet", Octets(Header(3)), {}, std::nullopt, {Header(3)}},             // judged once the header is whole
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    all.insert(all.end(), std::begin(bad), std::end(bad));
    for (const Case& c : all) {
        SCOPED_TRACE(c.name);
        // The server goes with its connection still open: its buffer is freed all the same.
        Connected at;
        size_t sent = 0;
        for (size_t i = 0; i + 1 < c.segments.size(); ++i)
            at.Write(at.client, c.segments[i], 0, sent += c.segments[i].size());
        if (c.after) {
            at.Write(at.client, c.segments.back(), 0, sent + c.segments.back().size());
            EXPECT_EQ(at.server.Framing(0).start, 0) << "what is left of a PDU waits at the front";
            EXPECT_EQ(at.server.Framing(0).end, c.after->unhandled);
            EXPECT_EQ(int32_t(at.server.Framing(0).state), c.after->state);
            EXPECT_FALSE(test_net::NthConnection(at.server, 0)->IsClosing());
        } else {
            at.client.Send(c.segments.back());
            EXPECT_TRUE(WaitUntil([&] { return test_net::NthConnection(at.server, 0)->IsClosing(); }));
        }
        EXPECT_EQ(at.server.pdus, c.pdus);
        EXPECT_EQ(at.server.badHeaders, c.badHeaders);
    }
}

// A connection's partial PDU lives in its own buffer: another connection leaving mid-PDU hands
// nothing over, and moving down the table keeps the partial PDU and its counts.
TEST(FramedServer, APartialPduSurvivesAnotherConnectionLeaving) {
    const Bytes a = Pdu(0xA0, 4), b = Pdu(0xB0, 6);
    Connected at;
    TestClient staying;
    ASSERT_TRUE(staying.Connect(at.server.ListeningPort()));
    ASSERT_TRUE(WaitUntil([&] { return at.server.GetConnectionCount() == 2; }));
    at.Write(at.client, Part(b, 0, 11), 0, 11);
    at.Write(staying, Part(a, 0, 10), 1, 10);
    at.client.Close();
    ASSERT_TRUE(WaitUntil([&] { return at.server.GetConnectionCount() == 1; },
                          CSocketServer::kClosePauseMs + test_net::kWaitMs));
    EXPECT_EQ(at.server.Framing(0).end, 10);
    EXPECT_EQ(int32_t(at.server.Framing(0).state), int32_t(FrameState::Reading));
    at.Write(staying, Part(a, 10, 12), 0, 12);
    EXPECT_EQ(at.server.pdus, std::vector<Bytes>{a});
}

// Text frames between STX and ETX, split and joined as the segments fall; what is no frame (a wrong
// checksum, stray octets) is dropped and the connection reads on.
TEST(FramedServer, DelimitedFramesAreCutAndWhatIsNoFrameIsSkipped) {
    const auto text = [](const char* frame) { return Bytes(Builder().raw(std::string_view(frame))); };
    // A UCP 30 (its sum 0x6C) and its answer (0x30); the same operation with a wrong sum.
    const Bytes ucp = text("\x02" "01/00053/O/30/0612345678/0612345679//1/48656C6C6F//6C\x03");
    const Bytes answer = text("\x02" "01/00043/R/30/A//0612345678:071226101010/30\x03");
    const Bytes wrong = text("\x02" "01/00053/O/30/0612345678/0612345679//1/48656C6C6F//6D\x03");
    Connected at(std::make_unique<wire::DelimitedFramer>(wire::kUcpDelimiting));
    const std::vector<Bytes> segments = {
        Part(ucp, 0, 5), Cat({Part(ucp, 5, ucp.size()), answer, Part(wrong, 0, 3)}),
        Cat({Part(wrong, 3, wrong.size()), text("xy"), ucp})};
    size_t sent = 0;
    for (const Bytes& segment : segments)
        at.Write(at.client, segment, 0, sent += segment.size());
    EXPECT_EQ(at.server.pdus, (std::vector<Bytes>{ucp, answer, ucp}));
    EXPECT_EQ(at.server.notFrames, (std::vector<wire::FrameFault>{wire::FrameFault::BadChecksum, wire::FrameFault::Stray}));
    EXPECT_FALSE(test_net::NthConnection(at.server, 0)->IsClosing());
}

// PDUs read before the answers backed up wait in the buffer, with nothing more to come from the peer: once
// the answers drain they are handled all the same.
TEST(FramedServer, PdusReadBeforeAHoldAreHandledOnceItEnds) {
    const Bytes a = Pdu(0xA0, 4), b = Pdu(0xB0, 0), c = Pdu(0xC0, 2);
    Connected at;
    at.server.answer.assign(size_t(32 * CConnection::kMaxUnsentOctets), 'x'); // more than the kernel takes: one alone passes the bound
    at.client.PauseReading();
    const Bytes all = Cat({a, b, c});
    at.client.Send(all);
    ASSERT_TRUE(WaitUntil([&] { return test_net::NthConnection(at.server, 0)->IsReadingHeld(); }));
    EXPECT_EQ(at.server.Framing(0).end - at.server.Framing(0).start, int32_t(b.size() + c.size())) << "b and c wait";
    EXPECT_EQ(at.server.pdus, std::vector<Bytes>{a});
    at.client.ResumeReading();
    EXPECT_TRUE(at.client.WaitForBytes(3 * at.server.answer.size(), 4 * test_net::kWaitMs));
    EXPECT_EQ(at.server.pdus, (std::vector<Bytes>{a, b, c}));
}

// A peer that never answers fills the queue; the oldest PDU is forgotten, the newest still settle.
TEST(PendingAnswers, AFullQueueForgetsTheOldest) {
    CPendingAnswers<char, 2> pending;
    pending.Add(1, 'a');
    pending.Add(2, 'b');
    pending.Add(3, 'c');
    EXPECT_EQ(pending.Size(), 2u);
    EXPECT_EQ(pending.Settle(1), std::nullopt);
    EXPECT_EQ(pending.Settle(3), 'c');
    EXPECT_EQ(pending.Settle(2), 'b');
    EXPECT_EQ(pending.Settle(2), std::nullopt) << "an answer settles its PDU once";
}

} // namespace
