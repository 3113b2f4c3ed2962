// The capture log's gate, record layout, full flag and wipe.
#include "capture/PacketLog.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(log.GetCount(), 0);
    EXPECT_FALSE(log.IsFull());
    EXPECT_EQ(log.GetFilter(), std::string(30, '1'));
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

TEST_F(PacketLogTest, RecordEndingExactlyAtTheAreaFitsAndOneMoreByteFills) {
    // Fill with one big PDU so the area has exactly `room` bytes left for the next record.
    const uint32_t room = 100;
    std::vector<uint8_t> big(CPacketLog::kAreaSize - 16 - room, 0x5A);
    ASSERT_TRUE(log.AddPacket(2, 1, 1, big.data(), static_cast<uint32_t>(big.size()), 9));

    std::vector<uint8_t> fits(room - 16, 0x11);
    ASSERT_TRUE(log.AddPacket(2, 1, 1, fits.data(), static_cast<uint32_t>(fits.size()), 9));
    EXPECT_FALSE(log.IsFull());
    EXPECT_EQ(log.GetCount(), 2);
    EXPECT_EQ(Stored(log, 1).size(), room);

    // The area is now exactly used up: even a record the filter would drop finds no room.
    log.SetFilter(std::string(30, '0'));
    EXPECT_FALSE(log.AddPacket(2, 1, 1, enquire.data(), 16, 22));
    EXPECT_TRUE(log.IsFull());
    EXPECT_EQ(log.GetCount(), 2);

    ASSERT_TRUE(log.Reset());
    EXPECT_FALSE(log.IsFull());
    EXPECT_EQ(log.GetCount(), 0);
    EXPECT_EQ(log.GetFilter(), std::string(30, '0')) << "Reset leaves the filter alone";
}

TEST_F(PacketLogTest, OneByteTooManyIsRefused) {
    std::vector<uint8_t> big(CPacketLog::kAreaSize - 16 + 1, 0);
    EXPECT_FALSE(log.AddPacket(2, 1, 1, big.data(), static_cast<uint32_t>(big.size()), 9));
    EXPECT_TRUE(log.IsFull());
    EXPECT_EQ(log.GetCount(), 0);
}

TEST_F(PacketLogTest, HugeLengthDoesNotWrapIntoFitting) {
    EXPECT_FALSE(log.AddPacket(2, 1, 1, enquire.data(), 0xFFFFFFF8u, 9));
    EXPECT_TRUE(log.IsFull());
    EXPECT_EQ(log.GetCount(), 0);
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

// Listeners hear of each stored record and of every reset, the wipe of a full log included.
TEST_F(PacketLogTest, ListenersHearOfStoredRecordsAndResets) {
    struct Listener : CPacketLogListener {
        void OnPacketsAdded(int32_t first, int32_t count) override { events.push_back("add " + std::to_string(first) + "+" + std::to_string(count)); }
        void OnLogReset() override { events.push_back("reset"); }
        std::vector<std::string> events;
    } listener;
    log.AddListener(&listener);
    log.AddListener(&listener); // once only
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 22));
    log.SetFilter(std::string(30, '0'));
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 22)); // filtered: nothing said
    EXPECT_FALSE(log.WipeIfFull());
    const std::vector<uint8_t> big(CPacketLog::kAreaSize, 0);
    EXPECT_FALSE(log.AddPacket(2, 0x7F000001, 5018, big.data(), uint32_t(big.size()), 9));
    EXPECT_TRUE(log.WipeIfFull());
    EXPECT_FALSE(log.IsFull());
    log.RemoveListener(&listener);
    log.Reset();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"add 0+1", "reset"}));
}

// Beside each record: the other end of its connection, the time to the microsecond (the record keeps
// the second), the connection and whether it was typed in; a wipe takes them with the records.
TEST_F(PacketLogTest, KeepsEachRecordsContextBesideIt) {
    EXPECT_TRUE(log.AddPacket(2, 0xC0A80107, 50123, enquire.data(), 16, 22, {0x7F000001, 5018}, 41));
    EXPECT_TRUE(log.AddPacket(2, 0x7F000001, 5018, enquire.data(), 16, 23));
    EXPECT_TRUE(log.AddCaptured(9, 7'654321, 0x0A000001, 40000, {0x0A000002, 8890}, enquire.data(), 16, 42));
    EXPECT_TRUE(log.AddTyped(2, enquire.data(), 16));
    const PacketContext& live = log.ContextAt(0);
    EXPECT_EQ(live.peer, (PacketPeer{0x7F000001, 5018}));
    EXPECT_EQ(live.timeUs, FixedTime());
    EXPECT_EQ(live.connection, 41u);
    EXPECT_EQ(packet_record::ReadHeader(Stored(log, 0).data()).time, 0x01020304u); // the second, not rounded up
    EXPECT_EQ(log.PeerAt(1), PacketPeer{});
    EXPECT_EQ(log.PeerAt(2), (PacketPeer{0x0A000002, 8890}));
    EXPECT_EQ(log.ContextAt(2).timeUs, 7'654321); // its own time, not the clock's
    EXPECT_EQ(packet_record::ReadHeader(Stored(log, 2).data()).time, 7u);
    EXPECT_TRUE(log.ContextAt(3).typed);
    EXPECT_FALSE(log.ContextAt(2).typed);
    EXPECT_EQ(log.ContextAt(4).connection, 0u);
    EXPECT_NE(CPacketLog::NewConnectionId(), CPacketLog::NewConnectionId());
    log.Reset();
    EXPECT_EQ(log.PeerAt(0), PacketPeer{});
}

} // namespace
