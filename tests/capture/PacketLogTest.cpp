// The capture log's gate, record layout, full flag and wipe.
#include "capture/PacketLog.h"
#include "protocol/Registry.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

int64_t FixedTime() { return int64_t(0x01020304) * 1000000 + 999999; }

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

std::vector<uint8_t> Stored(const CPacketLog& log, int index) {
    uint32_t length = 0;
    const uint8_t* at = log.PacketAt(index, &length);
    return at ? std::vector<uint8_t>(at, at + length) : std::vector<uint8_t>();
}

class PacketLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log.Reset());
        log.SetTimeSource(FixedTime);
    }
    CPacketLog log;
    std::vector<uint8_t> enquire = test_bytes::SmppPdu(0x00000015, 7);
};

TEST(PacketLogWithoutArea, RefusesEverythingUntilReset) {
    CPacketLog log;
    const auto pdu = test_bytes::SmppPdu(0x00000015, 1);
    EXPECT_FALSE(log.AddPacket(2, 0x7F000001, 5018, pdu.data(), 16, 22));
    EXPECT_FALSE(log.AddCaptured(2, 0, 0x7F000001, 5018, {}, pdu.data(), 16));
    EXPECT_FALSE(log.AddTyped(2, pdu.data(), 16));
    EXPECT_EQ(log.GetCount(), 0);
    EXPECT_EQ(log.WipeCount(), 0);
    EXPECT_EQ(log.GetFilter(), std::string(protocol::filter::kRows, '1'));
}

TEST_F(PacketLogTest, RecordHeaderHoldsLengthTimeAddressPortAndProtocol) {
    // A port above 32767 and an address whose octets are all distinct catch order mistakes.
    ASSERT_TRUE(log.AddPacket(2, 0xC0A80114, 50000, enquire.data(), 16, 22));
    const auto expected = test_bytes::CaptureRecord(2, enquire, 0x01020304, 0xC0A80114, 50000);
    EXPECT_EQ(Stored(log, 0), expected);
    EXPECT_EQ(Le32(expected.data()), 32u);

    std::vector<uint8_t> copy(64, 0xEE);
    uint32_t length = 0;
    ASSERT_TRUE(log.GetPacket(0, copy.data(), &length));
    EXPECT_EQ(length, 32u);
    EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.begin() + 32), expected);
}

TEST_F(PacketLogTest, GateByFilterAndShowUnknown) {
    struct Case {
        const char* name;
        std::string filter;
        bool showUnknown;
        int32_t filterIndex;
        bool stored;
    } cases[] = {
        {"default keeps a known command", std::string(30, '1'), true, 9, true},
        {"default keeps an unknown command", std::string(30, '1'), true, -1, true},
        {"ShowUnknown 0 drops an unknown command", std::string(30, '1'), false, -1, false},
        {"ShowUnknown 0 keeps a known command", std::string(30, '1'), false, 10, true},
        {"flag 9 off drops submit_sm", std::string(9, '1') + "0" + std::string(20, '1'), true, 9, false},
        {"flag 9 off keeps submit_sm_resp", std::string(9, '1') + "0" + std::string(20, '1'), true, 10, true},
        {"flag 29 off drops the mobile protocol", std::string(29, '1') + "0", true, 29, false},
        {"flags 0 and 1 off decide nothing", "00" + std::string(28, '1'), true, 9, true},
        {"an index below -1 is always kept", std::string(30, '0'), false, -2, true},
        {"an index past the filter is always kept", std::string(30, '0'), true, 30, true},
        {"any character but '0' keeps", std::string(9, '1') + "x" + std::string(20, '1'), true, 9, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        log.SetFilter(c.filter);
        log.SetShowUnknown(c.showUnknown);
        EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, c.filterIndex));
        EXPECT_EQ(log.GetCount(), c.stored ? 1 : 0);
    }
}

// A record that ends exactly at the end of the area fits; the next one wipes the area and is stored
// first in the fresh one, numbered on from the last record wiped. A record the filter drops wipes nothing.
TEST_F(PacketLogTest, TheRecordThatFindsTheAreaFullIsStoredAfterTheWipe) {
    const uint32_t room = 100;
    std::vector<uint8_t> big(CPacketLog::kAreaSize - 16 - room, 0x5A);
    ASSERT_TRUE(log.AddPacket(2, 1, 1, big.data(), static_cast<uint32_t>(big.size()), 9));
    std::vector<uint8_t> fits(room - 16, 0x11);
    ASSERT_TRUE(log.AddPacket(2, 1, 1, fits.data(), static_cast<uint32_t>(fits.size()), 9));
    EXPECT_EQ(log.GetCount(), 2);
    EXPECT_EQ(Stored(log, 1).size(), room);

    log.SetFilter(std::string(30, '0'));
    EXPECT_TRUE(log.AddPacket(2, 1, 1, enquire.data(), 16, 22));
    EXPECT_EQ(log.GetCount(), 2) << "dropped by the filter: nothing wiped";
    EXPECT_EQ(log.WipeCount(), 0);

    log.SetFilter(std::string(30, '1'));
    ASSERT_TRUE(log.AddPacket(2, 1, 1, enquire.data(), 16, 22));
    EXPECT_EQ(log.WipeCount(), 1);
    EXPECT_EQ(log.SerialBase(), 2);
    ASSERT_EQ(log.GetCount(), 1);
    EXPECT_EQ(Stored(log, 0), test_bytes::CaptureRecord(2, enquire, 0x01020304, 1, 1));
    EXPECT_EQ(log.GetFilter(), std::string(30, '1')) << "the wipe leaves the filter alone";
}

// Bad lengths: a record larger than the whole area is refused and wipes nothing, however it came.
TEST_F(PacketLogTest, ARecordLargerThanTheAreaIsRefusedAndWipesNothing) {
    ASSERT_TRUE(log.AddPacket(2, 1, 1, enquire.data(), 16, 22));
    const std::vector<uint8_t> big(CPacketLog::kAreaSize - 16 + 1, 0); // one octet beyond an empty area
    const uint32_t lengths[] = {uint32_t(big.size()), 0xFFFFFFF8u};  // and one whose sum would wrap round
    for (uint32_t length : lengths) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(log.AddPacket(2, 1, 1, big.data(), length, 9));
        EXPECT_FALSE(log.AddCaptured(2, 0, 1, 1, {}, big.data(), length));
        EXPECT_FALSE(log.AddTyped(2, big.data(), length));
        EXPECT_EQ(log.GetCount(), 1);
        EXPECT_EQ(log.WipeCount(), 0);
    }
}

TEST_F(PacketLogTest, GetPacketRejectsIndicesOutsideTheRecordsAndLeavesTheBufferAlone) {
    ASSERT_TRUE(log.AddPacket(2, 1, 1, enquire.data(), 16, 22));
    for (int32_t index : {-1, 1, 1000}) {
        SCOPED_TRACE(index);
        std::vector<uint8_t> buffer(8, 0xAB);
        uint32_t length = 77;
        EXPECT_FALSE(log.GetPacket(index, buffer.data(), &length));
        EXPECT_EQ(buffer, std::vector<uint8_t>(8, 0xAB));
        EXPECT_EQ(length, 77u);
    }
}

TEST_F(PacketLogTest, RecordsStayInOrderBackToBack) {
    const auto submit = test_bytes::SmppPdu(0x00000004, 1, test_bytes::Builder().cstr("").u8(1).u8(1).cstr("123"));
    ASSERT_TRUE(log.AddPacket(2, 0x0A000001, 4000, submit.data(), static_cast<uint32_t>(submit.size()), 9));
    ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 23));
    ASSERT_EQ(log.GetCount(), 2);
    EXPECT_EQ(Stored(log, 0), test_bytes::CaptureRecord(2, submit, 0x01020304, 0x0A000001, 4000));
    EXPECT_EQ(Stored(log, 1), test_bytes::CaptureRecord(2, enquire, 0x01020304, 0x7F000001, 5018));
}

// Listeners hear of each stored record and of every reset; the wipe of a full log comes inside the
// add that found it full, before that record.
TEST_F(PacketLogTest, ListenersHearOfStoredRecordsAndResets) {
    struct Listener : CPacketLogListener {
        explicit Listener(const CPacketLog& log) : log(log) {}
        void OnPacketsAdded(int32_t first, int32_t count) override {
            events.push_back("add " + std::to_string(first) + "+" + std::to_string(count));
        }
        void OnLogResetting() override { events.push_back("resetting " + std::to_string(log.GetCount())); }
        void OnLogReset() override { events.push_back("reset"); }
        const CPacketLog& log;
        std::vector<std::string> events;
    } listener(log);
    log.AddListener(&listener);
    log.AddListener(&listener); // once only
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 22));
    log.SetFilter(std::string(30, '0'));
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 22)); // filtered: nothing said
    log.SetFilter(std::string(30, '1'));
    const std::vector<uint8_t> big(CPacketLog::kAreaSize - 16, 0);
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, big.data(), uint32_t(big.size()), 9));
    log.RemoveListener(&listener);
    log.Reset();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"add 0+1", "resetting 1", "reset", "add 0+1"}));
}

// Beside each record: both ends of its connection, the time to the microsecond (the record keeps the
// second), the connection, where it came from, and what its header says; a wipe takes them with the records.
TEST_F(PacketLogTest, KeepsEachRecordsSummaryBesideIt) {
    EXPECT_TRUE(log.AddPacket(2, 0xC0A80107, 50123, enquire.data(), 16, 22, {0x7F000001, 5018}, 41));
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 23, {}, 41, true));
    EXPECT_TRUE(log.AddCaptured(9, 7'654321, 0x0A000001, 40000, {0x0A000002, 8890}, enquire.data(), 16, 42));
    EXPECT_TRUE(log.AddTyped(2, enquire.data(), 16));
    const PacketSummary& live = log.SummaryAt(0);
    EXPECT_EQ(live.source, (PacketPeer{0xC0A80107, 50123}));
    EXPECT_EQ(live.peer, (PacketPeer{0x7F000001, 5018}));
    EXPECT_EQ(live.timeUs, FixedTime());
    EXPECT_EQ(live.connection, 41u);
    EXPECT_EQ(live.origin, PacketOrigin::Live);
    EXPECT_FALSE(live.fromServer);
    EXPECT_TRUE(log.SummaryAt(1).fromServer);
    EXPECT_EQ(packet_record::ReadHeader(Stored(log, 0).data()).time, 0x01020304u); // the second, not rounded up
    EXPECT_EQ(log.PeerAt(1), PacketPeer{});
    EXPECT_EQ(log.PeerAt(2), (PacketPeer{0x0A000002, 8890}));
    EXPECT_EQ(log.SummaryAt(2).timeUs, 7'654321); // its own time, not the clock's
    EXPECT_EQ(log.SummaryAt(2).origin, PacketOrigin::Opened);
    EXPECT_EQ(packet_record::ReadHeader(Stored(log, 2).data()).time, 7u);
    EXPECT_EQ(log.SummaryAt(3).origin, PacketOrigin::Typed);
    EXPECT_EQ(log.SummaryAt(3).timeUs, FixedTime());
    EXPECT_EQ(log.SummaryAt(4).connection, 0u);
    EXPECT_NE(CPacketLog::NewConnectionId(), CPacketLog::NewConnectionId());
    log.Reset();
    EXPECT_EQ(log.PeerAt(0), PacketPeer{});
}

// PDUs of one read share one clock read, taken at the first; a sent PDU reads the clock itself; an arrival
// stored after it never takes an earlier time; outside a read every received PDU reads the clock.
TEST_F(PacketLogTest, ArrivalsOfOneReadShareOneClockRead) {
    static int64_t clock = 0;
    log.SetTimeSource([] { return clock += 10; });
    const auto add = [&](bool fromServer) {
        log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 22, {}, 41, fromServer);
        return log.SummaryAt(log.GetCount() - 1).timeUs;
    };
    log.BeginArrivals();
    const int64_t first = add(false);
    EXPECT_EQ(add(false), first);
    EXPECT_EQ(add(true), first + 10);
    EXPECT_EQ(add(false), first + 10) << "not before the answer stored ahead of it";
    log.BeginArrivals(); // the next read
    EXPECT_EQ(add(false), first + 20);
    log.EndArrivals();
    EXPECT_EQ(add(false), first + 30);
    EXPECT_EQ(add(false), first + 40);
}

// What each protocol's header gives the summary, as the registry places it; a PDU too short for a field
// leaves that field out, never read past its end.
TEST_F(PacketLogTest, SummaryReadsTheHeaderOfEachProtocol) {
    using test_bytes::Builder;
    using S = PacketSummary;
    constexpr uint8_t kAll = S::kHasCommand | S::kHasSequence | S::kHasStatus, kNoStatus = S::kHasCommand | S::kHasSequence;
    const struct {
        const char* name;
        uint16_t protocol;
        std::vector<uint8_t> pdu;
        uint8_t fields;
        uint32_t command, status;
        std::array<uint32_t, 3> sequence;
        uint16_t family;
    } cases[] = {
        {"SMPP answer", 2, test_bytes::SmppPdu(0x80000004, 7, {}, 0x58), kAll, 0x80000004, 0x58, {7, 0, 0}, 2},
        {"SMPP request's header status", 2, test_bytes::SmppPdu(0x00000004, 8, {}, 3), kAll, 4, 3, {8, 0, 0}, 2},
        {"CNGP status in the header", 7, Builder().u32(16).u32(0x80000002).u32(10).u32(11), kAll, 0x80000002, 10, {11, 0, 0}, 7},
        {"CMPP: status in the body", 1, test_bytes::Pdu12(0x80000004, 77, Builder().fill(9)), kNoStatus, 0x80000004, 0, {77, 0, 0}, 1},
        {"CMPP3 pairs with CMPP", 4, test_bytes::Pdu12(0x00000004, 78), kNoStatus, 4, 0, {78, 0, 0}, 1},
        {"SGIP's three words", 6, Builder().u32(20).u32(3).u32(1).u32(0x01020304).u32(5), kNoStatus, 3, 0, {1, 0x01020304, 5}, 6},
        {"TEST", 8, test_bytes::Pdu12(0x00001002, 9), kNoStatus, 0x1002, 0, {9, 0, 0}, 8},
        // Bad inputs: too short for what the protocol's header holds, or a code no protocol has.
        {"SMPP cut inside its sequence", 2, Builder().u32(14).u32(4).u32(9).u16(0), S::kHasCommand | S::kHasStatus, 4, 9, {0, 0, 0}, 2},
        {"SMPP cut inside its status", 2, Builder().u32(10).u32(4).u16(0), S::kHasCommand, 4, 0, {0, 0, 0}, 2},
        {"six octets: no command id", 2, Builder().u32(6).u16(0), 0, 0, 0, {0, 0, 0}, 0},
        {"empty", 2, {}, 0, 0, 0, {0, 0, 0}, 0},
        {"SGIP cut in its second word", 6, Builder().u32(16).u32(3).u32(1).u32(2), S::kHasCommand, 3, 0, {0, 0, 0}, 6},
        {"protocol code 5: a command id, nothing else", 5, test_bytes::SmppPdu(0x00000004, 1), S::kHasCommand, 4, 0, {0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.AddPacket(c.protocol, 1, 1, c.pdu.data(), uint32_t(c.pdu.size()), 9));
        const PacketSummary& summary = log.SummaryAt(log.GetCount() - 1);
        EXPECT_EQ(summary.protocol, c.protocol);
        EXPECT_EQ(summary.fields, c.fields);
        EXPECT_EQ(summary.command, c.command);
        EXPECT_EQ(summary.status, c.status);
        EXPECT_EQ(summary.sequence, c.sequence);
        EXPECT_EQ(summary.ShownSequence(), summary.Has(S::kHasSequence) ? c.sequence[c.protocol == 6 ? 2 : 0] : 0u);
        EXPECT_EQ(summary.family, c.family);
    }
}

} // namespace
