// UCP/EMI frames: cutting them from a stream, reading their header and fields, refusing bad ones, building them.
#include "ucp/Header.h"
#include "ucp/Message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using ucp::Fault;
using ucp::FrameCut;
using ucp::FrameFault;
using ucp::FrameStatus;

std::span<const uint8_t> Octets(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Stx(const std::string& body) { return "\x02" + body + "\x03"; }

// A frame around `body`, which ends at its last '/': "LLLLL" becomes the LEN it needs and CHK is added,
// both worked out here, so that a case reaches the check it is about.
std::string Seal(std::string body) {
    if (const auto at = body.find("LLLLL"); at != std::string::npos) {
        const std::string length = std::to_string(body.size() + 2);
        body.replace(at, 5, std::string(5 - length.size(), '0') + length);
    }
    unsigned sum = 0;
    for (unsigned char c : body)
        sum += c;
    const char* hex = "0123456789ABCDEF";
    return Stx(body + hex[sum / 16 % 16] + hex[sum % 16]);
}

// The fields a message carries, as "Name=text", empty fields left out.
std::string Listing(const ucp::Message& m) {
    std::string out;
    for (std::size_t i = 0; i < m.fieldCount; ++i)
        if (!m.Text(i).empty())
            out.append(out.empty() ? "" : " ").append(m.FieldName(i)).append("=").append(m.Text(i));
    return out;
}

TEST(UcpFraming, CutsAtEtxAndSkipsToTheNextStx) {
    const std::string frame = Stx("02/00035/O/31/0234765439845/0139/A0");
    constexpr std::size_t kMax = ucp::kMaxFrameOctets;
    const std::string opened = std::string(1, '\x02') + std::string(kMax, '0'); // STX, and no ETX to come
    const struct {
        const char* name;
        std::string bytes;
        FrameCut expected;
    } cases[] = {
        {"nothing yet", "", {FrameStatus::NeedMore, 0, FrameFault::None}},
        {"a frame begun", frame.substr(0, 20), {FrameStatus::NeedMore, 0, FrameFault::None}},
        {"one frame", frame, {FrameStatus::Frame, 37, FrameFault::None}},
        {"a frame and the next one's STX", frame + "\x02" "01", {FrameStatus::Frame, 37, FrameFault::None}},
        {"line end between frames", "\r\n" + frame, {FrameStatus::Invalid, 2, FrameFault::Stray}},
        {"bytes and no STX", "hello", {FrameStatus::Invalid, 5, FrameFault::Stray}},
        {"the ETX lost", frame.substr(0, 30) + frame, {FrameStatus::Invalid, 30, FrameFault::Unterminated}},
        {"longest frame", opened.substr(0, kMax - 1) + "\x03", {FrameStatus::Frame, kMax, FrameFault::None}},
        {"one short of the bound", opened.substr(0, kMax - 1), {FrameStatus::NeedMore, 0, FrameFault::None}},
        {"no ETX, the bound reached", opened.substr(0, kMax), {FrameStatus::Invalid, kMax, FrameFault::TooLong}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ucp::CutFrame(Octets(c.bytes)), c.expected);
    }
}

// Frames of every OT in both forms. The 31 (CHK A0) and 60 frames and the 51 result are the EMI-UCP interface
// document's own examples, 52's OAdC its packed "ALPHA@NUM"; the rest are laid out the same way, their LEN
// and CHK counted with a separate script (sum of the octets after STX through the last '/', mod 256).
struct Example {
    const char* frame;
    uint8_t trn;
    ucp::Kind kind;
    uint8_t ot;
    ucp::Form form;
    std::size_t fields;
    const char* listing;
};
using ucp::Form;
using ucp::Kind;
const Example kExamples[] = {
    {"01/00059/O/01/01234567890///3/53686F7274204D657373616765/A4", 1, Kind::Operation, 1, Form::Operation, 5,
     "AdC=01234567890 MT=3 AMsg=53686F7274204D657373616765"},
    {"03/00049/O/02/2/0612345678/0687654321///3/4869/6A", 3, Kind::Operation, 2, Form::Operation, 7,
     "NPL=2 RAd=0612345678 RAd=0687654321 MT=3 AMsg=4869"},
    {"04/00047/O/03/0612345678///0//////////3/4869/D6", 4, Kind::Operation, 3, Form::Operation, 15,
     "RAd=0612345678 NPL=0 MT=3 AMsg=4869"},
    {"04/00049/O/03/0612345678///1/3//////////3/4869/3B", 4, Kind::Operation, 3, Form::Operation, 16,
     "RAd=0612345678 NPL=1 GA=3 MT=3 AMsg=4869"},
    {"05/00040/O/30/0612345678/////////4869/82", 5, Kind::Operation, 30, Form::Operation, 10,
     "AdC=0612345678 AMsg=4869"},
    {"05/00043/R/30/A//0612345678:170423112233/3C", 5, Kind::Result, 30, Form::Ack, 3,
     "ACK=A SM=0612345678:170423112233"},
    {"02/00035/O/31/0234765439845/0139/A0", 2, Kind::Operation, 31, Form::Operation, 2, "AdC=0234765439845 PID=0139"},
    {"02/00023/R/31/A/0000/28", 2, Kind::Result, 31, Form::Ack, 2, "ACK=A SM=0000"},
    {"00/00104/O/51/0612345678/0687654321//1/0687654321/1/////////////3//48656C6C6F20776F726C64/////////////65", 0,
     Kind::Operation, 51, Form::Operation, 33,
     "AdC=0612345678 OAdC=0687654321 NRq=1 NAdC=0687654321 NT=1 MT=3 AMsg=48656C6C6F20776F726C64"},
    {"00/00039/R/51/A//012345:090996101010/6B", 0, Kind::Result, 51, Form::Ack, 3, "ACK=A SM=012345:090996101010"},
    {"00/00022/R/51/N/02//05", 0, Kind::Result, 51, Form::Nack, 3, "NAck=N EC=02"},
    {"01/00128/O/52/0612345678/10412614190438AB4D/////////////170423112233////4/40/48656C6C6F////////5039//"
     "0106050003450202020104///FC", 1, Kind::Operation, 52, Form::Operation, 33,
     "AdC=0612345678 OAdC=10412614190438AB4D SCTS=170423112233 MT=4 NB=40 TMsg=48656C6C6F OTOA=5039 "
     "XSer=0106050003450202020104"},
    {"02/00124/O/53/0612345678/0687654321/////////////170423112233/0/000/170423112300/3//44656C697665726564201B6535"
     "/////////////10", 2, Kind::Operation, 53, Form::Operation, 33,
     "AdC=0612345678 OAdC=0687654321 SCTS=170423112233 Dst=0 Rsn=000 DSCTS=170423112300 MT=3 "
     "AMsg=44656C697665726564201B6535"},
    {"07/00069/O/55/0612345678/0687654321////////////////////////////////FE", 7, Kind::Operation, 55,
     Form::Operation, 33, "AdC=0612345678 OAdC=0687654321"},
    {"02/00059/O/60/07656765/2/1/1/50415353574F5244//0100//////53", 2, Kind::Operation, 60, Form::Operation, 12,
     "OAdC=07656765 OTON=2 ONPI=1 STYP=1 PWD=50415353574F5244 VERS=0100"},
    {"02/00019/R/60/A//6F", 2, Kind::Result, 60, Form::Ack, 2, "ACK=A"},
    {"02/00022/R/60/N/07//0C", 2, Kind::Result, 60, Form::Nack, 3, "NAck=N EC=07"},
    {"06/00055/O/61/07656765/2/1/3///0100/0612345678/1/1///73", 6, Kind::Operation, 61, Form::Operation, 12,
     "OAdC=07656765 OTON=2 ONPI=1 STYP=3 VERS=0100 LAdC=0612345678 LTON=1 LNPI=1"},
};

TEST(UcpMessage, ReadsEveryOtInBothFormsFieldByField) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.frame);
        const std::string frame = Stx(e.frame);
        const ucp::ParseResult r = ucp::Parse(frame);
        ASSERT_TRUE(r.Ok()) << int(r.fault) << " at " << r.faultOffset;
        const ucp::Message& m = r.message;
        EXPECT_EQ(m.trn, e.trn);
        EXPECT_EQ(m.length, frame.size() - 2);
        EXPECT_EQ(m.kind, e.kind);
        EXPECT_EQ(m.ot, e.ot);
        EXPECT_EQ(m.form, e.form);
        EXPECT_EQ(m.fieldCount, e.fields);
        EXPECT_EQ(Listing(m), e.listing);
        for (const ucp::Field& field : m.Fields())
            EXPECT_EQ(frame.substr(field.offset, field.text.size()), field.text);
    }
}

TEST(UcpMessage, BuildsTheSameFramesFromTheirFields) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.frame);
        const std::string frame = Stx(e.frame);
        const ucp::Message m = ucp::Parse(frame).message;
        std::vector<std::string_view> fields;
        for (const ucp::Field& field : m.Fields())
            fields.push_back(field.text);
        EXPECT_EQ(ucp::Build(e.trn, e.kind, e.ot, fields), frame);
    }
    EXPECT_EQ(ucp::BuildAck(0, 51, "012345:090996101010"), Stx("00/00039/R/51/A//012345:090996101010/6B"));
    EXPECT_EQ(ucp::BuildAck(2, 31, "0000"), Stx("02/00023/R/31/A/0000/28"));
    EXPECT_EQ(ucp::BuildAck(2, 60, ""), Stx("02/00019/R/60/A//6F"));
    EXPECT_EQ(ucp::BuildNack(2, 60, ucp::ErrorCode::Authentication), Stx("02/00022/R/60/N/07//0C"));
    EXPECT_EQ(ucp::BuildNack(0, 51, ucp::ErrorCode::Syntax), Stx("00/00022/R/51/N/02//05"));
    EXPECT_EQ(ucp::BuildNack(9, 51, ucp::ErrorCode::MessageTooLong), Seal("09/LLLLL/R/51/N/24//"));
}

TEST(UcpMessage, RefusesToBuildWhatCannotBeAFrame) {
    EXPECT_EQ(ucp::Build(99, Kind::Operation, 99, {"1", "2"}).substr(0, 4), "\x02" "99/"); // the largest of two digits
    EXPECT_EQ(ucp::Build(100, Kind::Operation, 31, {"1", "2"}), "");   // TRN has two digits
    EXPECT_EQ(ucp::Build(0, Kind::Operation, 100, {"1", "2"}), "");    // so has OT
    EXPECT_EQ(ucp::Build(0, Kind::Operation, 31, {"1/2", "3"}), "");   // '/' would add a field
    EXPECT_EQ(ucp::Build(0, Kind::Operation, 31, {"1\x03", "3"}), ""); // ETX would end the frame
    const std::string huge(ucp::kMaxFrameOctets, '4');
    EXPECT_EQ(ucp::Build(0, Kind::Operation, 31, {huge, ""}), "");     // the peer could not cut it
    // The longest frame a peer can cut is built, and read back.
    const std::size_t room = ucp::kMaxFrameOctets - (ucp::Build(0, Kind::Operation, 31, {"4", ""}).size() - 1);
    const std::string longest = ucp::Build(0, Kind::Operation, 31, {std::string(room, '4'), ""});
    ASSERT_EQ(longest.size(), ucp::kMaxFrameOctets);
    EXPECT_TRUE(ucp::Parse(longest).Ok());
    EXPECT_EQ(ucp::Build(0, Kind::Operation, 31, {std::string(room + 1, '4'), ""}), "");
}

// NPL's two digits count up to 99 addresses or GAs: the longest list is a frame like any other.
TEST(UcpMessage, TakesTheLongestListNplCanCount) {
    std::vector<std::string_view> fields(4 + 99 + 11, "1"); // RAd, OAdC, AC, NPL, 99 GAs, RP ... MT, AMsg
    fields[3] = "99";
    const std::string frame = ucp::Build(4, Kind::Operation, 3, fields);
    const ucp::ParseResult r = ucp::Parse(frame);
    ASSERT_TRUE(r.Ok()) << int(r.fault) << " at " << r.faultOffset;
    EXPECT_EQ(r.message.fieldCount, 114u);
    EXPECT_EQ(r.message.FieldName(102), "GA");
    EXPECT_EQ(r.message.FieldName(103), "RP");
    fields.push_back("1");
    EXPECT_EQ(ucp::Build(4, Kind::Operation, 3, fields), ""); // more than any OT can have
}

// The capture's summary reads the header at fixed places; the field walk is the other home of those facts.
TEST(UcpMessage, PeekedHeaderAgreesWithTheWalk) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(e.frame);
        const std::string frame = Stx(e.frame);
        const ucp::ParseResult r = ucp::Parse(frame);
        const auto facts = ucp::PeekHeader({reinterpret_cast<const uint8_t*>(frame.data()), frame.size()});
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->trn, r.message.trn);
        EXPECT_EQ(facts->result, r.message.kind == Kind::Result);
        EXPECT_EQ(facts->CommandId(), r.message.ot | (facts->result ? 0x80000000u : 0));
        const int error = r.message.form == Form::Nack ? std::stoi(std::string(r.message.Text(1)))
                          : r.message.form == Form::Ack ? 0 : -1;
        EXPECT_EQ(facts->error ? int(*facts->error) : -1, error);
    }
    for (const char* bad : {"", "\x02", "\x02" "01/00019/R/01", "01/00019/R/01/A//69", "\x02" "1/00019/R/01/A//69",
                            "\x02" "01/0019/R/01/A//69", "\x02" "01/00019/X/01/A//69", "\x02" "01/00019/R/1A/A//69"})
        EXPECT_FALSE(ucp::PeekHeader({reinterpret_cast<const uint8_t*>(bad), std::strlen(bad)})) << bad;
    for (const char* unread : {"\x02" "01/00020/R/01/N/02x//", "\x02" "01/00018/R/01/N/02"})
        EXPECT_EQ(ucp::PeekHeader({reinterpret_cast<const uint8_t*>(unread), std::strlen(unread)})->error, std::nullopt) << unread;
}

TEST(UcpMessage, RefusesEveryKindOfBadFrameWithTheStandardsError) {
    const struct {
        const char* name;
        std::string frame;
        Fault fault;
        uint32_t offset;
        int error;
        bool headerRead;
    } cases[] = {
        {"no STX", "02/00035/O/31/0234765439845/0139/A0\x03", Fault::NotFramed, 0, 2, false},
        {"no ETX", "\x02" "02/00035/O/31/0234765439845/0139/A0", Fault::NotFramed, 0, 2, false},
        {"too short for a header", Stx("02/0001/O/31/A0"), Fault::NotFramed, 0, 2, false},
        {"STX where ETX belongs", "\x02" "02/00035/O/31/0234765439845/0139/A0\x02", Fault::NotFramed, 0, 2, false},
        {"an ETX inside", Stx("02/00035/O/31/0234765\x03" "439845/0139/A0"), Fault::NotFramed, 0, 2, false},
        {"longer than any frame cut", Seal("02/LLLLL/O/31/" + std::string(4096, '0') + "/0139/"), Fault::NotFramed, 0,
         2, false},
        {"checksum one off", Stx("02/00035/O/31/0234765439845/0139/A1"), Fault::Checksum, 34, 1, true},
        {"checksum in lower case", Stx("02/00035/O/31/0234765439845/0139/a0"), Fault::Checksum, 34, 1, true},
        {"checksum of one digit", Stx("02/00034/O/31/0234765439845/0139/A"), Fault::Checksum, 34, 1, true},
        // the sum taken with the STX (0x02 more), then without the last '/' (0x2F less)
        {"checksum counting STX", Stx("02/00035/O/31/0234765439845/0139/A2"), Fault::Checksum, 34, 1, true},
        {"checksum short of the last '/'", Stx("02/00035/O/31/0234765439845/0139/71"), Fault::Checksum, 34, 1, true},
        {"no '/' at all", Seal("02-00035-O-31-0234765439845-0139-"), Fault::Header, 1, 2, false},
        {"TRN of one digit", Seal("2/LLLLL/O/31/0234765439845/0139/"), Fault::Header, 1, 2, false},
        {"LEN of four digits", Seal("02/0035/O/31/0234765439845/0139/"), Fault::Header, 4, 2, true},
        {"neither O nor R", Seal("02/LLLLL/X/31/0234765439845/0139/"), Fault::Header, 10, 2, false},
        {"OT not digits", Seal("02/LLLLL/O/3A/0234765439845/0139/"), Fault::Header, 12, 2, false},
        {"LEN one short", Seal("02/00034/O/31/0234765439845/0139/"), Fault::Length, 4, 2, true},
        {"LEN counting STX and ETX", Seal("02/00037/O/31/0234765439845/0139/"), Fault::Length, 4, 2, true},
        {"OT without a field list", Seal("02/LLLLL/O/99/1/"), Fault::UnknownOt, 12, 3, true},
        {"result neither A nor N", Seal("02/LLLLL/R/31/X/0000/"), Fault::ResultForm, 15, 2, true},
        {"result with no field", Seal("02/LLLLL/R/31/"), Fault::ResultForm, 15, 2, true},
        {"31 with a field too many", Seal("02/LLLLL/O/31/1/2/3/"), Fault::FieldCount, 19, 2, true},
        {"31 with one field", Seal("02/LLLLL/O/31/1/"), Fault::FieldCount, 17, 2, true},
        {"51 with 32 fields", Seal("00/LLLLL/O/51/1" + std::string(31, '/') + "/"), Fault::FieldCount, 48, 2, true},
        {"51 with 34 fields", Seal("00/LLLLL/O/51/1" + std::string(33, '/') + "/"), Fault::FieldCount, 49, 2, true},
        {"51 ACK without MVP", Seal("00/LLLLL/R/51/A/0612345678:170423112233/"), Fault::FieldCount, 41, 2, true},
        {"31 ACK with an MVP", Seal("02/LLLLL/R/31/A//0000/"), Fault::FieldCount, 18, 2, true},
        {"NACK without EC", Seal("02/LLLLL/R/60/N//"), Fault::FieldCount, 18, 2, true},
        {"02 with NPL 2 and one RAd", Seal("03/LLLLL/O/02/2/0612345678///3/4869/"), Fault::FieldCount, 37, 2, true},
        {"02 with NPL not a number", Seal("03/LLLLL/O/02/X/0612345678///3/4869/"), Fault::FieldCount, 15, 2, true},
        {"03 too short for its NPL", Seal("04/LLLLL/O/03/0612345678///"), Fault::FieldCount, 28, 2, true},
        {"more fields than any OT", Seal("02/LLLLL/O/31/" + std::string(120, '/')), Fault::FieldCount, 129, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ucp::ParseResult r = ucp::Parse(c.frame);
        EXPECT_EQ(r.fault, c.fault);
        EXPECT_EQ(r.faultOffset, c.offset);
        EXPECT_EQ(int(r.Error()), c.error);
        EXPECT_EQ(r.headerRead, c.headerRead);
        if (c.headerRead) {
            EXPECT_EQ(r.message.trn, c.frame[2] - '0'); // what a NACK will answer
        }
    }
}

} // namespace
