// Requests paired with their answers over a scripted capture: roles, partners, latency, status texts.
#include "analysis/PacketPairs.h"

#include "decoder/tables/TableIds.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Role = CPacketPairs::Role;
using test_bytes::Builder;
using test_bytes::Pdu12;
using test_bytes::SmppPdu;

constexpr int64_t kT0 = 1'700'000'000'000'000;
int64_t g_now = 0;
int64_t Now() { return g_now; }

constexpr uint16_t kSmpp = 2, kCmpp = 1, kCmpp3 = 4, kSgip = 6, kCngp = 7, kTest = 8, kUcp = 11;
constexpr uint32_t kEsme = 0x0A000001, kSmsc = 0x0A000002;
constexpr uint64_t kA = 7, kB = 8, kTyped = 0, kNoAddresses = 9; // the last: a capture that knew no ends

std::vector<uint8_t> SgipPdu(uint32_t command, uint32_t node, uint32_t number, const std::vector<uint8_t>& body = {}) {
    return Builder().u32(static_cast<uint32_t>(20 + body.size())).u32(command).u32(node).u32(0x01020304).u32(number).raw(body);
}
std::vector<uint8_t> CngpPdu(uint32_t command, uint32_t status, uint32_t sequence) {
    return Builder().u32(16).u32(command).u32(status).u32(sequence);
}
std::vector<uint8_t> Ucp(const char* frame) { return Builder().u8(0x02).raw(std::string(frame)).u8(0x03); }
std::vector<uint8_t> Cut(std::vector<uint8_t> pdu, size_t octets) {
    pdu.resize(octets);
    return pdu;
}

struct Row {
    const char* what;
    uint16_t protocol;
    uint64_t connection;
    bool fromEsme;
    int64_t timeUs; // after kT0
    std::vector<uint8_t> pdu;
    Role role;
    int32_t partner;
    const char* status; // StatusText at the end of the script
    int64_t latencyUs;  // -1: none
    bool error;
};

// Seen at kT0 + 10 s, when every request older than 5 s without an answer is unanswered.
const Row kScript[] = {
    // clang-format off
    {"0 bind on A",                     kSmpp, kA, true,  0,     SmppPdu(0x00000002, 1),             Role::Request,  1,  "",   1000, false},
    {"1 its answer",                    kSmpp, kA, false, 1000,  SmppPdu(0x80000002, 1),             Role::Response, 0,  "",   1000, false},
    {"2 bind on B, same sequence",      kSmpp, kB, true,  1500,  SmppPdu(0x00000002, 1),             Role::Request,  3,  "",   100,  false},
    {"3 answer on B",                   kSmpp, kB, false, 1600,  SmppPdu(0x80000002, 1),             Role::Response, 2,  "",   100,  false},
    {"4 submit on A",                   kSmpp, kA, true,  2000,  SmppPdu(0x00000004, 2),             Role::Request,  7,  "",   1000, false},
    {"5 submit on B",                   kSmpp, kB, true,  2100,  SmppPdu(0x00000004, 2),             Role::Request,  6,  "ESME_RTHROTTLED", 500, true},
    {"6 throttled on B",                kSmpp, kB, false, 2600,  SmppPdu(0x80000004, 2, {}, 0x58),   Role::Response, 5,  "ESME_RTHROTTLED", 500, true},
    {"7 answer on A",                   kSmpp, kA, false, 3000,  SmppPdu(0x80000004, 2),             Role::Response, 4,  "",   1000, false},
    {"8 second answer keeps the first", kSmpp, kA, false, 3100,  SmppPdu(0x80000004, 2),             Role::Response, -1, "",   -1,   false},
    {"9 enquire_link never answered",   kSmpp, kA, true,  4000,  SmppPdu(0x00000015, 3),             Role::Request,  -1, "no answer", -1, true},
    {"10 alert_notification",           kSmpp, kA, false, 4100,  SmppPdu(0x00000102, 4),             Role::Other,    -1, "",   -1,   false},
    {"11 outbind",                      kSmpp, kA, false, 4200,  SmppPdu(0x0000000B, 5),             Role::Other,    -1, "",   -1,   false},
    {"12 unknown command, seq 2 again", kSmpp, kA, true,  5000,  SmppPdu(0x00000099, 2),             Role::Request,  13, "ESME_RINVCMDID", 200, true},
    {"13 generic_nack answers it",      kSmpp, kA, false, 5200,  SmppPdu(0x80000000, 2, {}, 3),      Role::Response, 12, "ESME_RINVCMDID", 200, true},
    {"14 SMSC's deliver_sm, seq 6",     kSmpp, kA, false, 6000,  SmppPdu(0x00000005, 6),             Role::Request,  17, "",   30,   false},
    {"15 ESME's submit, seq 6 too",     kSmpp, kA, true,  6001,  SmppPdu(0x00000004, 6),             Role::Request,  16, "0x00000400", 9, true},
    {"16 its answer, unnamed status",   kSmpp, kA, false, 6010,  SmppPdu(0x80000004, 6, {}, 0x400),  Role::Response, 15, "0x00000400", 9, true},
    {"17 deliver_sm_resp",              kSmpp, kA, true,  6030,  SmppPdu(0x80000005, 6),             Role::Response, 14, "",   30,   false},
    {"18 typed: nothing can answer",    kSmpp, kTyped, true, 7000, SmppPdu(0x00000004, 9),           Role::Request,  -1, "",   -1,   false},
    {"19 CMPP submit",                  kCmpp, kA, true,  100,   Pdu12(0x00000004, 77),              Role::Request,  20, "流量控制错", 50, true},
    {"20 CMPP3 answer, result 8",       kCmpp3, kA, false, 150,  Pdu12(0x80000004, 77, Builder().fill(8).u32(8)), Role::Response, 19, "流量控制错", 50, true},
    {"21 CMPP submit",                  kCmpp, kA, true,  200,   Pdu12(0x00000004, 78),              Role::Request,  22, "",   1,    false},
    {"22 answer cut before its result", kCmpp, kA, false, 201,   Pdu12(0x80000004, 78, Builder().fill(8)), Role::Response, 21, "", 1, false},
    {"23 SGIP submit, node 1",          kSgip, kA, true,  300,   SgipPdu(0x00000003, 1, 5),          Role::Request,  25, "1",  20,   true},
    {"24 answer from node 2: not it",   kSgip, kA, false, 310,   SgipPdu(0x80000003, 2, 5, Builder().u8(1).fill(8)), Role::Response, -1, "1", -1, true},
    {"25 answer from node 1",           kSgip, kA, false, 320,   SgipPdu(0x80000003, 1, 5, Builder().u8(1).fill(8)), Role::Response, 23, "1", 20, true},
    {"26 CNGP submit",                  kCngp, kA, true,  400,   CngpPdu(0x00000002, 0, 11),         Role::Request,  27, "消息结构错", 3, true},
    {"27 header status 10",             kCngp, kA, false, 403,   CngpPdu(0x80000002, 10, 11),        Role::Response, 26, "消息结构错", 3, true},
    {"28 TEST submit",                  kTest, kA, true,  500,   Pdu12(0x00001002, 1),               Role::Request,  29, "5",  4,    true},
    {"29 TEST answer, result 5",        kTest, kA, false, 504,   Pdu12(0x80001002, 1, Builder().u32(5).fill(10)), Role::Response, 28, "5", 4, true},
    {"30 SGIP activity test",           kSgip, kA, true,  600,   SgipPdu(0x10000001, 1, 6),          Role::Other,    -1, "",   -1,   false},
    {"31 six octets: no command id",    kSmpp, kA, true,  700,   Cut(SmppPdu(0x00000004, 2), 6),     Role::Other,    -1, "",   -1,   false},
    {"32 fourteen: no sequence",        kSmpp, kA, true,  701,   Cut(SmppPdu(0x00000004, 2), 14),    Role::Other,    -1, "",   -1,   false},
    {"33 SGIP cut inside its sequence", kSgip, kA, false, 702,   Cut(SgipPdu(0x80000003, 1, 5), 16), Role::Other,    -1, "",   -1,   false},
    {"34 ESME's enquire_link, seq 9",   kSmpp, kA, true,  800,   SmppPdu(0x00000015, 9),             Role::Request,  36, "",   20,   false},
    {"35 SMSC's, seq 9 too, newer",     kSmpp, kA, false, 810,   SmppPdu(0x00000015, 9),             Role::Request,  37, "",   10,   false},
    {"36 SMSC answers the ESME's",      kSmpp, kA, false, 820,   SmppPdu(0x80000015, 9),             Role::Response, 34, "",   20,   false},
    {"37 ESME answers the SMSC's",      kSmpp, kA, true,  820,   SmppPdu(0x80000015, 9),             Role::Response, 35, "",   10,   false},
    {"38 submit, ends unknown",         kSmpp, kNoAddresses, true, 900, SmppPdu(0x00000004, 3),     Role::Request,  39, "",   5,    false},
    {"39 its answer, ends unknown",     kSmpp, kNoAddresses, false, 905, SmppPdu(0x80000004, 3),    Role::Response, 38, "",   5,    false},
    {"40 three wait on seq 10: submit", kSmpp, kA, true,  950,   SmppPdu(0x00000004, 10),            Role::Request,  44, "",   50,   false},
    {"41 SMSC's deliver_sm",            kSmpp, kA, false, 960,   SmppPdu(0x00000005, 10),            Role::Request,  43, "",   10,   false},
    {"42 ESME's enquire_link",          kSmpp, kA, true,  965,   SmppPdu(0x00000015, 10),            Role::Request,  45, "",   40,   false},
    {"43 the middle one answered",      kSmpp, kA, true,  970,   SmppPdu(0x80000005, 10),            Role::Response, 41, "",   10,   false},
    {"44 the oldest still waits",       kSmpp, kA, false, 1000,  SmppPdu(0x80000004, 10),            Role::Response, 40, "",   50,   false},
    {"45 the newest",                   kSmpp, kA, false, 1005,  SmppPdu(0x80000015, 10),            Role::Response, 42, "",   40,   false},
    {"46 CMPP3 submit",                 kCmpp3, kA, true, 1100,  Pdu12(0x00000004, 79),              Role::Request,  47, "",   1,    false},
    {"47 answer cut inside its result", kCmpp3, kA, false, 1101, Pdu12(0x80000004, 79, Builder().fill(8).u16(8)), Role::Response, 46, "", 1, false},
    {"48 UCP alert",                    kUcp, kA, true,  1200,  Ucp("01/00032/O/31/0612345678/0539/FE"), Role::Request, 49, "6", 4, true},
    {"49 its negative result, EC 06",   kUcp, kA, false, 1204,  Ucp("01/00022/R/31/N/06//08"),        Role::Response, 48, "6", 4, true},
    // clang-format on
};

class PacketPairsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log.Reset());
        pairs.SetClock(Now);
        g_now = kT0 + 10'000'000;
    }
    void Play() {
        for (const Row& row : kScript) {
            const uint32_t from = row.fromEsme ? kEsme : kSmsc, to = row.fromEsme ? kSmsc : kEsme;
            const uint16_t port = row.fromEsme ? 40000 : 2775, peerPort = row.fromEsme ? 2775 : 40000;
            if (row.connection == kTyped)
                ASSERT_TRUE(log.AddTyped(row.protocol, row.pdu.data(), static_cast<uint32_t>(row.pdu.size())));
            else if (row.connection == kNoAddresses)
                ASSERT_TRUE(log.AddCaptured(row.protocol, kT0 + row.timeUs, 0, 0, {}, row.pdu.data(),
                                            static_cast<uint32_t>(row.pdu.size()), row.connection));
            else
                ASSERT_TRUE(log.AddCaptured(row.protocol, kT0 + row.timeUs, from, port, {to, peerPort}, row.pdu.data(),
                                            static_cast<uint32_t>(row.pdu.size()), row.connection));
        }
    }
    CPacketLog log;
    CPacketPairs pairs{log, CPacketDecoder()};
};

TEST_F(PacketPairsTest, ScriptedSession) {
    Play();
    ASSERT_EQ(log.GetCount(), static_cast<int32_t>(std::size(kScript)));
    CPacketPairs later(log, CPacketDecoder()); // made after the records: pairs them when made
    later.SetClock(Now);
    for (int32_t i = 0; i < log.GetCount(); ++i) {
        const Row& row = kScript[i];
        SCOPED_TRACE(row.what);
        for (const CPacketPairs* p : {&pairs, &later}) {
            EXPECT_EQ(p->RoleOf(i), row.role);
            EXPECT_EQ(p->PartnerOf(i), row.partner);
            EXPECT_EQ(p->StatusText(i), row.status);
            EXPECT_EQ(p->LatencyUs(i).value_or(-1), row.latencyUs);
            EXPECT_EQ(p->IsError(i), row.error);
        }
    }
    EXPECT_EQ(pairs.SequenceOf(25), 5u); // SGIP: the number, the last of the three words
    EXPECT_EQ(pairs.SequenceOf(6), 2u);
    EXPECT_EQ(pairs.StatusOf(5), 0x58u);
    EXPECT_EQ(pairs.StatusOf(20), 8u);
    EXPECT_EQ(pairs.StatusOf(49), 6u); // UCP: the error code of a negative result
    EXPECT_EQ(pairs.StatusOf(22), std::nullopt);
    EXPECT_EQ(pairs.StatusOf(47), std::nullopt);
    EXPECT_EQ(pairs.StatusOf(9), std::nullopt);
    EXPECT_EQ(pairs.SequenceOf(31), std::nullopt);

    // The unanswered time is a bound: one microsecond before it the enquire_link may still be answered.
    g_now = kT0 + 4000 + CPacketPairs::kDefaultUnansweredUs - 1;
    EXPECT_FALSE(pairs.IsUnanswered(9));
    EXPECT_EQ(pairs.StatusText(9), "");
    g_now += 1;
    EXPECT_TRUE(pairs.IsUnanswered(9));
    pairs.SetUnansweredAfterUs(60'000'000);
    EXPECT_FALSE(pairs.IsError(9));
    // A request typed in has no connection to be answered on: never overdue, however long it waits.
    g_now = log.SummaryAt(18).timeUs + 60'000'000;
    EXPECT_TRUE(pairs.IsUnanswered(9));
    EXPECT_FALSE(pairs.IsUnanswered(18));
    EXPECT_FALSE(pairs.IsError(18));

    ASSERT_TRUE(log.Reset());
    EXPECT_EQ(pairs.RoleOf(0), Role::Other);
    EXPECT_EQ(pairs.PartnerOf(1), -1);
    Play(); // numbering starts again: nothing waits from before the reset
    EXPECT_EQ(pairs.PartnerOf(7), 4);
}

// Every field the status of an answer is read from is one the decoder shows.
TEST_F(PacketPairsTest, StatusFieldsAreDescriptors) {
    const CPacketDecoder decoder;
    for (int32_t id : decode_ids::kResponseStatusFields) {
        SCOPED_TRACE(id);
        const int32_t position = decoder.PositionOf(id);
        ASSERT_GE(position, 0);
        const int32_t width = decoder.Descriptors()[static_cast<size_t>(position)].width;
        EXPECT_TRUE(width == 1 || width == 4);
    }
}

} // namespace
