// CIMD2 packets: cutting them from a stream, reading their parameters, refusing bad ones, building them.
#include "cimd/Header.h"
#include "cimd/Packet.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using cimd::Fault;
using cimd::FrameCut;
using cimd::FrameFault;
using cimd::FrameStatus;
using cimd::Sender;

std::span<const uint8_t> Octets(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A packet around `body`, which ends at its last TAB, with the checksum worked out here: the sum of the
// octets from STX through that TAB.
std::string Seal(const std::string& body) {
    const std::string counted = "\x02" + body;
    unsigned sum = 0;
    for (unsigned char c : counted)
        sum += c;
    const char* hex = "0123456789ABCDEF";
    return counted + hex[sum / 16 % 16] + hex[sum % 16] + "\x03";
}

// The parameters a packet carries, as "code=value".
std::string Listing(const cimd::Packet& p) {
    std::string out;
    for (const cimd::Parameter& parameter : p.Parameters()) {
        char code[8];
        std::snprintf(code, sizeof code, "%03u=", unsigned(parameter.code));
        out.append(out.empty() ? "" : " ").append(code).append(parameter.value);
    }
    return out;
}

TEST(CimdFraming, CutsAtEtxAndSkipsToTheNextStx) {
    const std::string packet = "\x02" "40:019\t\x03";
    constexpr std::size_t kMax = cimd::kMaxFrameOctets;
    const std::string opened = std::string(1, '\x02') + std::string(kMax, '0'); // STX, and no ETX to come
    const struct {
        const char* name;
        std::string bytes;
        FrameCut expected;
    } cases[] = {
        {"nothing yet", "", {FrameStatus::NeedMore, 0, FrameFault::None}},
        {"a packet begun", packet.substr(0, 5), {FrameStatus::NeedMore, 0, FrameFault::None}},
        {"one packet", packet, {FrameStatus::Frame, 9, FrameFault::None}},
        {"a packet and the next one's STX", packet + "\x02", {FrameStatus::Frame, 9, FrameFault::None}},
        {"line end between packets", "\r\n" + packet, {FrameStatus::Invalid, 2, FrameFault::Stray}},
        {"the ETX lost", packet.substr(0, 8) + packet, {FrameStatus::Invalid, 8, FrameFault::Unterminated}},
        {"no ETX within the bound", opened, {FrameStatus::Invalid, kMax, FrameFault::TooLong}},
        {"one short of the bound", opened.substr(0, kMax - 1), {FrameStatus::NeedMore, 0, FrameFault::None}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cimd::CutFrame(Octets(c.bytes)), c.expected);
    }
}

// A session's packets both ways, laid out as the CIMD2 interface specification lays out its examples
// (client numbers odd, the SMSC's even); checksums counted by a separate script.
struct Example {
    std::string packet;
    Sender sender;
    uint8_t operation, number;
    bool checksummed;
    const char* listing;
};
const Example kExamples[] = {
    {"\x02" "01:001\t010:tarnwick\t011:secret\tC9\x03", Sender::Client, 1, 1, true, "010=tarnwick 011=secret"},
    {"\x02" "51:001\t3C\x03", Sender::Smsc, 51, 1, true, ""},
    {"\x02" "51:001\t900:100\t901:Invalid login\t86\x03", Sender::Smsc, 51, 1, true, "900=100 901=Invalid login"},
    {"\x02" "03:003\t021:0612345678\t033:Hello _XX(world_XX)\t056:1\tAE\x03", Sender::Client, 3, 3, true,
     "021=0612345678 033=Hello _XX(world_XX) 056=1"},
    {"\x02" "53:003\t021:0612345678\t060:230417112233\t56\x03", Sender::Smsc, 53, 3, true,
     "021=0612345678 060=230417112233"},
    {"\x02" "20:002\t021:0612345678\t023:0687654321\t060:230417112240\t033:R_a\"ksm_o\"rg_a*s\tAD\x03", Sender::Smsc,
     20, 2, true, "021=0612345678 023=0687654321 060=230417112240 033=R_a\"ksm_o\"rg_a*s"},
    {"\x02" "20:004\t021:0612345678\t023:0687654321\t060:230417112241\t032:050003450202\t030:4\t034:48656C6C6F\t88\x03",
     Sender::Smsc, 20, 4, true, "021=0612345678 023=0687654321 060=230417112241 032=050003450202 030=4 034=48656C6C6F"},
    {"\x02" "70:002\t3E\x03", Sender::Client, 70, 2, true, ""},
    {"\x02" "23:006\t021:0612345678\t060:230417112233\t061:4\t062:0\t063:230417112300\tA3\x03", Sender::Smsc, 23, 6,
     true, "021=0612345678 060=230417112233 061=4 062=0 063=230417112300"},
    {"\x02" "73:006\t45\x03", Sender::Client, 73, 6, true, ""},
    {"\x02" "04:009\t021:0612345678\t060:230417112233\t58\x03", Sender::Client, 4, 9, true,
     "021=0612345678 060=230417112233"},
    {"\x02" "54:009\t021:0612345678\t060:230417112233\t061:4\t6B\x03", Sender::Smsc, 54, 9, true,
     "021=0612345678 060=230417112233 061=4"},
    {"\x02" "06:011\t059:1\t021:0612345678\t060:230417112233\t65\x03", Sender::Client, 6, 11, true,
     "059=1 021=0612345678 060=230417112233"},
    {"\x02" "02:013\t3B\x03", Sender::Client, 2, 13, true, ""},
    {"\x02" "98:015\t900:1\t59\x03", Sender::Smsc, 98, 15, true, "900=1"},
    {"\x02" "99:017\t4F\x03", Sender::Smsc, 99, 17, true, ""},
    {"\x02" "40:019\t\x03", Sender::Client, 40, 19, false, ""}, // the checksum left out
    {"\x02" "90:019\t48\x03", Sender::Smsc, 90, 19, true, ""},
    {"\x02" "90:019\t48\x03", Sender::Unknown, 90, 19, true, ""},
    // A parameter may be empty: 023 with no sender.
    {Seal("03:021\t021:0612345678\t023:\t033:Hi\t"), Sender::Client, 3, 21, true, "021=0612345678 023= 033=Hi"},
};

TEST(CimdPacket, ReadsASessionBothWaysParameterByParameter) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.packet);
        const cimd::ParseResult r = cimd::Parse(e.packet, e.sender);
        ASSERT_TRUE(r.Ok()) << int(r.fault) << " at " << r.faultOffset;
        EXPECT_EQ(r.packet.operation, e.operation);
        EXPECT_EQ(r.packet.number, e.number);
        EXPECT_EQ(r.packet.checksummed, e.checksummed);
        EXPECT_EQ(Listing(r.packet), e.listing);
        for (const cimd::Parameter& p : r.packet.Parameters())
            EXPECT_EQ(e.packet.substr(p.offset + 4, p.value.size()), p.value);
    }
    // The submit's answer carries 060, which the status report later names the message by.
    const cimd::ParseResult answer = cimd::Parse(kExamples[4].packet, Sender::Smsc);
    ASSERT_NE(answer.packet.Find(cimd::param::kServiceCentreTimeStamp), nullptr);
    EXPECT_EQ(answer.packet.Find(cimd::param::kServiceCentreTimeStamp)->value, "230417112233");
    EXPECT_EQ(answer.packet.Find(cimd::param::kUserData), nullptr);
    // Either case of hex digits is a checksum.
    std::string lower = kExamples[3].packet;
    lower.replace(lower.size() - 3, 2, "ae");
    EXPECT_TRUE(cimd::Parse(lower).Ok());
}

// The capture's summary reads the header at fixed places and 900 by its TAB; the parameter walk is the other
// home of those facts.
TEST(CimdPacket, PeekedHeaderAgreesWithTheWalk) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.packet);
        const cimd::ParseResult r = cimd::Parse(e.packet);
        const auto facts = cimd::PeekHeader(Octets(e.packet));
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->operation, r.packet.operation);
        EXPECT_EQ(facts->number, r.packet.number);
        const cimd::Parameter* error = r.packet.Find(cimd::param::kErrorCode);
        const int want = r.packet.operation <= 50 ? -1 : error ? std::stoi(std::string(error->value)) : 0;
        EXPECT_EQ(facts->error ? int(*facts->error) : -1, want);
        // A response pairs with its operation: the same id but for the response bit; 98 and 99 with none.
        const uint32_t id = facts->CommandId(), bare = id & 0x7FFFFFFFu;
        EXPECT_EQ(id & 0x80000000u ? (bare >= 98 ? bare : bare + 50) : id, r.packet.operation);
    }
    EXPECT_EQ(cimd::PeekHeader(Octets(Seal("53:003\t900:300\t")))->error, 300);
    for (const char* bad : {"", "\x02", "\x02" "03:001", "03:001\t\x03", "\x02" "3:001\t\x03", "\x02" "03-001\t\x03",
                            "\x02" "03:01\t\x03", "\x02" "03:256\t\x03", "\x02" "03:001 \x03"})
        EXPECT_FALSE(cimd::PeekHeader({reinterpret_cast<const uint8_t*>(bad), std::strlen(bad)})) << bad;
}

TEST(CimdPacket, BuildsTheSamePacketsFromTheirParameters) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.packet);
        const cimd::Packet p = cimd::Parse(e.packet).packet;
        std::vector<cimd::ParameterValue> parameters;
        for (const cimd::Parameter& parameter : p.Parameters())
            parameters.push_back({parameter.code, parameter.value});
        EXPECT_EQ(cimd::Build(e.operation, e.number, parameters,
                              e.checksummed ? cimd::Trailer::Checksum : cimd::Trailer::None),
                  e.packet);
    }
    EXPECT_EQ(cimd::BuildResponse(cimd::op::kSubmit, 3, {{21, "0612345678"}, {60, "230417112233"}}),
              kExamples[4].packet);
    EXPECT_EQ(cimd::Build(cimd::op::kNack, 17, {}), kExamples[15].packet);

    EXPECT_EQ(cimd::Build(100, 1, {}), "");                // two digits of operation
    EXPECT_EQ(cimd::Build(3, 1, {{1000, "1"}}), "");       // three digits of parameter code
    EXPECT_EQ(cimd::Build(3, 1, {{33, "a\tb"}}), "");      // a TAB would end the parameter
    EXPECT_EQ(cimd::Build(3, 1, {{33, "a\x03"}}), "");     // ETX would end the packet
    // The largest packet a peer can cut is built and read back; one octet more is not built.
    constexpr std::size_t kAroundValue = 16; // STX, "03:001\t", "033:", TAB, the checksum and ETX
    const std::string largest = cimd::Build(3, 1, {{33, std::string(cimd::kMaxFrameOctets - kAroundValue, 'a')}});
    EXPECT_EQ(largest.size(), cimd::kMaxFrameOctets);
    EXPECT_EQ(cimd::Parse(largest).fault, Fault::None);
    EXPECT_EQ(cimd::Build(3, 1, {{33, std::string(cimd::kMaxFrameOctets - kAroundValue + 1, 'a')}}), "");
}

TEST(CimdPacket, RefusesEveryKindOfBadPacketWithNackOrGeneralError) {
    using cimd::op::kGeneralError;
    using cimd::op::kNack;
    std::string sixtyFive;
    for (int i = 0; i < 65; ++i)
        sixtyFive += "021:1\t";
    const struct {
        const char* name;
        std::string packet;
        Sender sender;
        Fault fault;
        uint32_t offset;
        uint8_t answer;
        bool headerRead;
    } cases[] = {
        {"no STX", "40:019\t\t\x03", Sender::Client, Fault::NotFramed, 0, kNack, false},
        {"no ETX", "\x02" "40:019\t\t", Sender::Client, Fault::NotFramed, 0, kNack, false},
        {"shorter than a header", "\x02" "40:19\t\x03", Sender::Client, Fault::NotFramed, 0, kNack, false},
        {"STX where ETX belongs", "\x02" "40:019\t\x02", Sender::Client, Fault::NotFramed, 0, kNack, false},
        {"an STX inside", Seal("03:001\t033:a\x02\t"), Sender::Client, Fault::NotFramed, 0, kNack, false},
        {"longer than any packet cut", Seal("03:001\t033:" + std::string(4096, 'a') + "\t"), Sender::Client,
         Fault::NotFramed, 0, kNack, false},
        {"operation of one digit", Seal("4:0019\t"), Sender::Client, Fault::Header, 1, kNack, false},
        {"no colon", Seal("40-019\t"), Sender::Client, Fault::Header, 3, kNack, true},
        {"number of two digits", Seal("40:19\t021:1\t"), Sender::Client, Fault::Header, 4, kNack, false},
        {"no TAB after the header", Seal("40:019 021:1\t"), Sender::Client, Fault::Header, 7, kNack, true},
        {"checksum one off", "\x02" "90:019\t49\x03", Sender::Smsc, Fault::Checksum, 8, kNack, true},
        {"checksum without STX", "\x02" "90:019\t46\x03", Sender::Smsc, Fault::Checksum, 8, kNack, true},
        {"checksum of one digit", "\x02" "90:019\t4\x03", Sender::Smsc, Fault::Checksum, 8, kNack, true},
        {"checksum not hex", "\x02" "90:019\tG8\x03", Sender::Smsc, Fault::Checksum, 8, kNack, true},
        {"number over 255", Seal("40:257\t"), Sender::Client, Fault::PacketNumber, 4, kNack, false},
        {"number 255, the largest, then no TAB", Seal("40:255 021:1\t"), Sender::Client, Fault::Header, 7, kNack, true},
        {"code of two digits", Seal("03:001\t21:0612345678\t"), Sender::Client, Fault::Parameter, 8, kNack, true},
        {"code not digits", Seal("03:001\t02x:0612345678\t"), Sender::Client, Fault::Parameter, 8, kNack, true},
        {"no colon after the code", Seal("03:001\t021\t"), Sender::Client, Fault::Parameter, 8, kNack, true},
        {"an empty parameter", Seal("03:001\t\t"), Sender::Client, Fault::Parameter, 8, kNack, true},
        {"the last TAB missing", "\x02" "03:001\t021:0612345678\x03", Sender::Client, Fault::Parameter, 8, kNack, true},
        {"65 parameters", Seal("03:001\t" + sixtyFive), Sender::Client, Fault::TooManyParameters, 8 + 64 * 6, kNack,
         true},
        {"operation CIMD2 lacks", Seal("45:001\t"), Sender::Client, Fault::UnknownOperation, 1, kGeneralError, true},
        {"client operation numbered even", Seal("03:002\t"), Sender::Client, Fault::PacketNumber, 4, kNack, true},
        {"client response numbered odd", Seal("70:003\t"), Sender::Client, Fault::PacketNumber, 4, kNack, true},
        {"SMSC operation numbered odd", Seal("20:003\t"), Sender::Smsc, Fault::PacketNumber, 4, kNack, true},
        {"SMSC response numbered even", Seal("53:002\t"), Sender::Smsc, Fault::PacketNumber, 4, kNack, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const cimd::ParseResult r = cimd::Parse(c.packet, c.sender);
        EXPECT_EQ(r.fault, c.fault);
        EXPECT_EQ(r.faultOffset, c.offset);
        EXPECT_EQ(r.Answer(), c.answer);
        EXPECT_EQ(r.headerRead, c.headerRead);
    }
}

TEST(CimdCodes, EveryCodeHasOneRowInOrder) {
    for (std::size_t i = 1; i < std::size(cimd::kParameters); ++i)
        EXPECT_LT(cimd::kParameters[i - 1].code, cimd::kParameters[i].code) << cimd::kParameters[i].name;
    for (std::size_t i = 1; i < std::size(cimd::kOperations); ++i)
        EXPECT_LT(cimd::kOperations[i - 1].code, cimd::kOperations[i].code) << cimd::kOperations[i].name;
    // Every operation the client starts has its response, 50 above it.
    for (const cimd::OperationName& row : cimd::kOperations)
        if (row.code < cimd::op::kResponseOffset) {
            EXPECT_FALSE(cimd::OperationText(row.code + cimd::op::kResponseOffset).empty()) << row.name;
        }
}

} // namespace
