// The framers: a length-prefixed PDU, and UCP/EMI and CIMD2 text frames with their checksums, whole,
// split, joined, and every way they can be no frame.
#include "wire/Framer.h"
#include "wire/StxFrame.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using wire::FrameCut;
using wire::FrameFault;
using wire::FrameStatus;

std::span<const uint8_t> Octets(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}
uint32_t Size(const std::string& text) { return uint32_t(text.size()); }

// Reviewed frames: a UCP 30 and its answer, whose sums (after STX through the last '/') are 0x6C and
// 0x30, and a CIMD2 login whose sum (STX through the last TAB) is 0x25.
const std::string kUcp = "\x02" "01/00053/O/30/0612345678/0612345679//1/48656C6C6F//6C\x03";
const std::string kUcpAnswer = "\x02" "01/00043/R/30/A//0612345678:071226101010/30\x03";
const std::string kCimd = "\x02" "01:001\t010:user\t011:secret\t25\x03";
const std::string kCimdUnchecked = "\x02" "01:001\t010:user\t011:secret\t\x03";

TEST(Framer, DelimitedFramesAreCutAndTheirChecksumsChecked) {
    const wire::DelimitedFramer ucp(wire::kUcpDelimiting), cimd(wire::kCimdDelimiting);
    const auto bad = [](const std::string& text, FrameFault fault) { return FrameCut{FrameStatus::Invalid, Size(text), fault}; };
    const struct {
        const char* name;
        const wire::Framer& framer;
        std::string bytes;
        FrameCut expected;
    } cases[] = {
        {"UCP operation", ucp, kUcp, {FrameStatus::Pdu, Size(kUcp)}},
        {"UCP answer", ucp, kUcpAnswer, {FrameStatus::Pdu, Size(kUcpAnswer)}},
        {"UCP split before ETX", ucp, kUcp.substr(0, kUcp.size() - 1), {FrameStatus::NeedMore, 0}},
        {"UCP joined to the next", ucp, kUcp + kUcpAnswer, {FrameStatus::Pdu, Size(kUcp)}},
        {"CIMD2 with its checksum", cimd, kCimd, {FrameStatus::Pdu, Size(kCimd)}},
        {"CIMD2 without one", cimd, kCimdUnchecked, {FrameStatus::Pdu, Size(kCimdUnchecked)}},
        {"CIMD2 joined", cimd, kCimdUnchecked + kCimd, {FrameStatus::Pdu, Size(kCimdUnchecked)}},
        // Bad: a wrong sum, a sum in lower case, a sum left out where it is required, one digit, no separator.
        {"UCP wrong sum", ucp, "\x02" "01/00053/O/30/0612345678/0612345679//1/48656C6C6F//6D\x03",
         bad(kUcp, FrameFault::BadChecksum)},
        {"UCP lower-case sum", ucp, "\x02" "01/00043/R/30/A//0612345678:071226101010/3a\x03",
         bad(kUcpAnswer, FrameFault::BadChecksum)},
        {"UCP without its sum", ucp, "\x02" "01/00043/R/30/A//0612345678:071226101010/\x03",
         bad("\x02" "01/00043/R/30/A//0612345678:071226101010/\x03", FrameFault::BadChecksum)},
        {"CIMD2 wrong sum", cimd, "\x02" "01:001\t010:user\t011:secret\t26\x03", bad(kCimd, FrameFault::BadChecksum)},
        {"CIMD2 one digit", cimd, "\x02" "01:001\t010:user\t011:secret\t2\x03",
         bad(kCimdUnchecked + "2", FrameFault::BadChecksum)},
        {"no separator", cimd, "\x02" "0100125\x03", bad("\x02" "0100125\x03", FrameFault::BadChecksum)},
        // Bad: not frames at all; each is skipped and cutting goes on at the next STX.
        {"stray octets first", ucp, "ab" + kUcp, {FrameStatus::Invalid, 2, FrameFault::Stray}},
        {"a frame that lost its end", ucp, "\x02" "01/0" + kUcp, {FrameStatus::Invalid, 5, FrameFault::Unterminated}},
        {"no ETX within the bound", cimd, "\x02" + std::string(wire::kMaxStxFrameOctets, 'x'),
         {FrameStatus::Invalid, uint32_t(wire::kMaxStxFrameOctets), FrameFault::TooLong}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.framer.Cut(Octets(c.bytes)), c.expected);
        EXPECT_TRUE(c.framer.Resyncs());
    }
}

TEST(Framer, LengthPrefixedPdusStopTheStreamAtABadLength) {
    const wire::LengthPrefixFramer smpp(16, 64);
    const std::string pdu("\0\0\0\x10" "abcdefghijkl", 16);
    EXPECT_EQ(smpp.Cut(Octets(pdu + pdu)), (FrameCut{FrameStatus::Pdu, 16}));
    EXPECT_EQ(smpp.Cut(Octets(pdu.substr(0, 15))), (FrameCut{FrameStatus::NeedMore, 0})); // the header not whole yet
    // Bad: a length above the largest PDU, and one below the header.
    EXPECT_EQ(smpp.Cut(Octets(std::string("\0\0\0\x41", 4) + pdu)), (FrameCut{FrameStatus::Invalid, 65, FrameFault::BadLength}));
    EXPECT_EQ(smpp.Cut(Octets(std::string("\0\0\0\x0F", 4) + pdu)), (FrameCut{FrameStatus::Invalid, 15, FrameFault::BadLength}));
    EXPECT_FALSE(smpp.Resyncs());
    EXPECT_EQ(smpp.MaxFrame(), 64u);
}

} // namespace
