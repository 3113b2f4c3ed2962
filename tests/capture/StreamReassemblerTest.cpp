// Stream reassembly alone: segments in, PDUs and troubles out, cut by a 12-octet header's length
// and by UCP's STX/ETX frames.
#include "capture/StreamReassembler.h"
#include "wire/StxFrame.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using Bytes = std::vector<uint8_t>;
constexpr uint8_t kSyn = 0x02, kAck = 0x10;

// What the stream told, in order, as one line.
class Recorder final : public pcap::StreamListener {
public:
    std::string told;
    void OnPdu(const uint8_t* pdu, uint32_t length, int64_t time) override {
        told += "pdu " + std::to_string(length) + "/" + std::to_string(pdu[11]) + " @" + std::to_string(time) + "; ";
    }
    void OnGap(uint64_t missing) override { told += "gap " + std::to_string(missing) + "; "; }
    void OnNotPduStart(uint64_t octets) override { told += "not a start " + std::to_string(octets) + "; "; }
    void OnBadLength(uint32_t length) override { told += "bad length " + std::to_string(length) + "; "; }
    void OnBadFrame(wire::FrameFault fault, uint32_t octets) override {
        told += std::string(wire::FrameFaultName(fault)) + " " + std::to_string(octets) + "; ";
    }
    void OnNewConnection(bool unfinished) override { told += unfinished ? "restart, unfinished; " : "restart; "; }
};

// A PDU of `length` octets whose sequence number's last octet is `tag`.
Bytes Pdu(uint32_t length, uint8_t tag) { return Builder().u32(length).u32(1).u32(tag).fill(length - 12); }
Bytes Part(const Bytes& bytes, size_t from, size_t to) { return Bytes(bytes.begin() + long(from), bytes.begin() + long(to)); }

struct Seg {
    uint32_t time, sequence;
    uint8_t flags;
    Bytes bytes;
};

TEST(StreamReassembler, OrdersFramesAndReportsTrouble) {
    const Bytes a = Pdu(12, 1), b = Pdu(20, 2);
    const struct {
        const char* name;
        std::vector<Seg> segments;
        bool drain;
        const char* told;
        bool unfinished;
    } cases[] = {
        {"a PDU over two segments, the length field cut", {{1, 0, kSyn, {}}, {2, 1, kAck, Part(b, 0, 2)}, {3, 3, kAck, Part(b, 2, 20)}},
         false, "pdu 20/2 @3; ", false},
        {"early bytes wait for the ones before them", {{1, 0, kSyn, {}}, {2, 13, kAck, b}, {3, 1, kAck, a}},
         false, "pdu 12/1 @3; pdu 20/2 @3; ", false},
        {"an early segment sent again shorter: the longer copy waits",
         {{1, 0, kSyn, {}}, {2, 13, kAck, b}, {3, 13, kAck, Part(b, 0, 10)}, {4, 1, kAck, a}}, false, "pdu 12/1 @4; pdu 20/2 @4; ", false},
        {"what was held arrives again inside a longer segment", {{1, 0, kSyn, {}}, {2, 13, kAck, b}, {3, 1, kAck, Builder().raw(a).raw(b).raw(a)}},
         false, "pdu 12/1 @3; pdu 20/2 @3; pdu 12/1 @3; ", false},
        {"a SYN sent again before any data is the same connection", {{1, 0, kSyn, {}}, {2, 0, kSyn, {}}, {3, 1, kAck, a}},
         false, "pdu 12/1 @3; ", false},
        {"given up on, missing bytes are a gap; what was held keeps its time", {{1, 0, kSyn, {}}, {2, 13, kAck, b}},
         true, "gap 12; pdu 20/2 @2; ", false},
        {"a SYN after data is a new connection", {{1, 0, kSyn, {}}, {2, 1, kAck, Builder().raw(a).raw(Part(b, 0, 5))},
                                                  {3, 900, kSyn, {}}, {4, 901, kAck, a}},
         false, "pdu 12/1 @2; restart, unfinished; pdu 12/1 @4; ", false},
        {"caught mid-stream: a segment shorter than a length field does not start a PDU; a length field alone does",
         {{1, 500, kAck, Part(b, 17, 20)}, {2, 503, kAck, Part(a, 0, 4)}, {3, 507, kAck, Part(a, 4, 12)}}, false,
         "not a start 3; pdu 12/1 @3; ", false},
        {"a bad length is judged by its own four octets; what follows starts no PDU unless it opens with one",
         {{1, 0, kSyn, {}}, {2, 1, kAck, Builder().u32(5000).u32(1)}, {3, 9, kAck, Bytes(8)}, {4, 17, kAck, a}},
         false, "bad length 5000; not a start 8; pdu 12/1 @4; ", false},
        {"a stream that stops inside a PDU is unfinished", {{1, 0, kSyn, {}}, {2, 1, kAck, Part(b, 0, 14)}},
         true, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pcap::CStreamReassembler stream(std::make_unique<wire::LengthPrefixFramer>(12, 100));
        Recorder recorder;
        for (const Seg& s : c.segments) stream.Segment(recorder, s.time, s.sequence, s.flags, s.bytes);
        if (c.drain) stream.Drain(recorder);
        EXPECT_EQ(recorder.told, c.told);
        EXPECT_EQ(stream.Unfinished(), c.unfinished);
    }
}

// A delimited stream is never out of step: what is no frame is skipped up to the next STX, and frames
// split over segments or joined in one are cut whole.
TEST(StreamReassembler, CutsTextFramesWithTheProtocolsFramer) {
    const std::string ucp = "\x02" "01/00053/O/30/0612345678/0612345679//1/48656C6C6F//6C\x03";
    const std::string answer = "\x02" "01/00043/R/30/A//0612345678:071226101010/30\x03";
    const std::string wrongSum = ucp.substr(0, ucp.size() - 2) + "D\x03";
    const auto bytes = [](const std::string& text) { return Bytes(text.begin(), text.end()); };
    const struct {
        const char* name;
        std::vector<Seg> segments;
        const char* told;
    } cases[] = {
        {"split, joined, stray octets and a bad checksum",
         {{1, 0, kSyn, {}}, {2, 1, kAck, bytes("ab" + ucp.substr(0, 10))},
          {3, 13, kAck, bytes(ucp.substr(10) + answer + wrongSum)}, {4, 158, kAck, bytes(ucp)}},
         "octets before the start 2; pdu 55/47 @3; pdu 45/47 @3; a bad checksum 55; pdu 55/47 @4; "},
        {"a frame cut by the next STX, then one without an end",
         {{1, 0, kSyn, {}}, {2, 1, kAck, bytes("\x02" "01/0" + answer + "\x02" + std::string(wire::kMaxStxFrameOctets - 1, 'x'))}},
         "a start with no end 5; pdu 45/47 @2; no end within the largest frame 4096; "},
        {"caught mid-frame: its tail is stray", {{1, 700, kAck, bytes(ucp.substr(20) + answer)}},
         "octets before the start 35; pdu 45/47 @1; "},
        {"a gap's lost frame: the next STX starts again",
         {{1, 0, kSyn, {}}, {2, 1, kAck, bytes(ucp.substr(0, 9))}, {3, 30, kAck, bytes(ucp.substr(29) + answer)}},
         "gap 20; octets before the start 26; pdu 45/47 @3; "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pcap::CStreamReassembler stream(std::make_unique<wire::DelimitedFramer>(wire::kUcpDelimiting));
        Recorder recorder;
        for (const Seg& s : c.segments) stream.Segment(recorder, s.time, s.sequence, s.flags, s.bytes);
        stream.Drain(recorder);
        EXPECT_EQ(recorder.told, c.told);
        EXPECT_FALSE(stream.Unfinished());
    }
}

// More early data than the stream holds: the missing bytes become a gap at once.
TEST(StreamReassembler, TooMuchHeldDataIsAGap) {
    pcap::CStreamReassembler stream(std::make_unique<wire::LengthPrefixFramer>(12, 65536));
    Recorder recorder;
    stream.Segment(recorder, 1, 0, kSyn, {});
    const Bytes big = Pdu(60000, 7);
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(recorder.told, "") << "held so far: " << i * 60000 << " octets"; // 240,000 still fit
        stream.Segment(recorder, 2 + i, 1 + 1000 + i * 60000, kAck, big);
    }
    EXPECT_EQ(recorder.told, "gap 1000; pdu 60000/7 @2; pdu 60000/7 @3; pdu 60000/7 @4; pdu 60000/7 @5; pdu 60000/7 @6; ");
    EXPECT_FALSE(stream.HasHeldSegments());
}

} // namespace
