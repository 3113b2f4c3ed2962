// Capture files: export and import round trip, stream reassembly, protocol versions, decode-as, bad files.
#include "capture/Pcap.h"
#include "capture/PcapDissector.h"

#include "tests/support/Bytes.h"
#include "tests/support/Import.h"
#include "wire/Cursor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kTime = 1'700'000'000;
constexpr uint32_t kClient = 0x0A000001, kServer = 0x0A000002; // 10.0.0.1, 10.0.0.2
constexpr uint16_t kClientPort = 40000;
constexpr uint32_t kClientIsn = 1000, kServerIsn = 70000;
constexpr uint8_t kPshAck = 0x18, kSyn = 0x02, kSynAck = 0x12, kAck = 0x10;

Bytes Pdu(uint32_t command, uint32_t sequence, const Bytes& body = {}) {
    return Builder().u32(uint32_t(12 + body.size())).u32(command).u32(sequence).raw(body);
}

Bytes Part(const Bytes& bytes, size_t from, size_t to) { return Bytes(bytes.begin() + long(from), bytes.begin() + long(to)); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Builder out;
    for (const Bytes& part : parts) out.raw(part);
    return out;
}

// PDUs written field by field from the protocols' layouts.
const Bytes kCmpp2Connect = Pdu(0x00000001, 1, Builder().text("901234", 6).fill(16).u8(0x20).u32(0));
const Bytes kCmpp3Connect = Pdu(0x00000001, 1, Builder().text("901234", 6).fill(16).u8(0x30).u32(0));
const Bytes kCmpp2ConnectResp = Pdu(0x80000001, 1, Builder().u8(0).fill(16).u8(0x20));
const Bytes kCmppActiveTest = Pdu(0x00000008, 2);
const Bytes kSmgp3Login = Pdu(0x00000001, 1, Builder().text("client", 8).fill(16).u8(0).u32(0).u8(0x30));
const Bytes kSmgp3LoginResp = Pdu(0x80000001, 1, Builder().u32(0).fill(16).u8(0x30));
const Bytes kSmgpActiveTest = Pdu(0x00000004, 2);
const Bytes kSmppEnquire = test_bytes::SmppPdu(0x00000015, 7);
const Bytes kSmppSubmitResp = Builder().u32(20).u32(0x80000004).u32(0).u32(8).raw("abc").u8(0);

// One TCP segment of the connection between kClient:kClientPort and kServer:serverPort; offset counts from
// the first byte after the SYN.
struct Segment {
    bool toServer;
    uint32_t offset;
    Bytes payload;
    uint8_t flags = kPshAck;
};

// What real captures add to the plain 20-octet IPv4 and TCP headers.
struct Extras {
    Bytes ipOptions{}, tcpOptions{}; // whole 4-octet words
    bool zeroTotalLength = false;    // as captured before segmentation offload
    Bytes trailer{};                 // behind the IPv4 packet, as a frame check sequence is
};

Bytes Frame(bool toServer, uint16_t serverPort, uint32_t sequence, uint8_t flags, const Bytes& payload,
            uint16_t etherType = 0x0800, uint8_t ipProtocol = 6, const Extras& extras = {}) {
    const uint32_t from = toServer ? kClient : kServer, to = toServer ? kServer : kClient;
    const uint16_t fromPort = toServer ? kClientPort : serverPort, toPort = toServer ? serverPort : kClientPort;
    const uint32_t ipHeader = uint32_t(20 + extras.ipOptions.size());
    const uint32_t tcpHeader = uint32_t(20 + extras.tcpOptions.size());
    const uint32_t total = extras.zeroTotalLength ? 0 : ipHeader + tcpHeader + uint32_t(payload.size());
    return Builder()
        .u16(0x0200).u32(to).u16(0x0200).u32(from).u16(etherType)
        .u8(0x40 | ipHeader / 4).u8(0).u16(total).u16(1).u16(0x4000).u8(64).u8(ipProtocol).u16(0)
        .u32(from).u32(to).raw(extras.ipOptions)
        .u16(fromPort).u16(toPort).u32(sequence).u32(0).u8(tcpHeader / 4 << 4).u8(flags).u16(65535).u32(0)
        .raw(extras.tcpOptions).raw(payload).raw(extras.trailer);
}

struct FileFrame {
    Bytes bytes;
    uint32_t wireLength = 0; // 0: as captured
};

Bytes PcapFile(const std::vector<FileFrame>& frames, uint32_t linkType = 1) {
    Builder file;
    file.u32le(0xA1B2C3D4).u16le(2).u16le(4).u32le(0).u32le(0).u32le(262144).u32le(linkType);
    uint32_t second = kTime;
    for (const FileFrame& frame : frames) {
        const uint32_t captured = uint32_t(frame.bytes.size());
        file.u32le(second++).u32le(0).u32le(captured).u32le(frame.wireLength ? frame.wireLength : captured)
            .raw(frame.bytes);
    }
    return file;
}

std::vector<FileFrame> Connection(uint16_t serverPort, const std::vector<Segment>& segments, bool handshake = true) {
    std::vector<FileFrame> frames;
    if (handshake) {
        frames.push_back({Frame(true, serverPort, kClientIsn, kSyn, {})});
        frames.push_back({Frame(false, serverPort, kServerIsn, kSynAck, {})});
    }
    for (const Segment& segment : segments)
        frames.push_back({Frame(segment.toServer, serverPort,
                                (segment.toServer ? kClientIsn : kServerIsn) + 1 + segment.offset, segment.flags,
                                segment.payload)});
    return frames;
}

// What a log holds, one line per record ("out": the server's end sent it), and the summary's counters.
std::string Listing(const CPacketLog& log, int32_t from, const pcap::ImportSummary& summary) {
    std::ostringstream out;
    for (int32_t index = from; index < log.GetCount(); ++index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(index, &length);
        const PacketRecordHeader header = packet_record::ReadHeader(record);
        const PacketPeer peer = log.PeerAt(index);
        out << header.protocol << " " << std::hex << header.sourceAddress << ":" << std::dec << header.sourcePort
            << ">" << std::hex << peer.address << ":" << std::dec << peer.port << " " << length - 16 << " +"
            << header.time - kTime << (log.SummaryAt(index).fromServer ? " out" : "") << "\n";
    }
    out << "pdus " << summary.pdus << " skipped " << summary.skippedFrames << " bad " << summary.badPdus << " gaps "
        << summary.gaps << (summary.truncatedFile ? " truncated" : "") << (summary.keptNewestOnly ? " newest" : "");
    if (summary.smppByHeader)
        out << " smpp by header " << summary.smppByHeader;
    std::set<uint64_t> conversations;
    for (int32_t index = from; index < log.GetCount(); ++index) conversations.insert(log.SummaryAt(index).connection);
    if (conversations.size() > 1)
        out << " conversations " << conversations.size();
    return out.str();
}

std::string Import(CPacketLog& log, const Bytes& file, const pcap::DecodeAsTable& overrides = {}) {
    const int32_t before = log.GetCount();
    pcap::CPcapImporter importer;
    std::string error;
    if (!importer.OpenMemory(file.data(), file.size(), overrides, error))
        return "error";
    for (double progress = importer.Progress(); importer.Step(log, 3); progress = importer.Progress())
        EXPECT_GT(importer.Progress(), progress); // the window's bar moves on with every step
    EXPECT_EQ(importer.Progress(), 1.0);
    const pcap::ImportSummary& summary = importer.Finish(log);
    return Listing(log, before, summary);
}

// The 16-bit one's-complement sum of RFC 1071, octet by octet; a header or segment that carries a right
// checksum sums to 0xFFFF.
uint32_t OnesComplementSum(const Bytes& bytes) {
    uint64_t sum = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        sum += i % 2 ? bytes[i] : uint32_t(bytes[i]) << 8;
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum);
}

class PcapTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.Reset()); }
    CPacketLog log;
};

TEST_F(PcapTest, ExportThenImportGivesBackTheRecords) {
    struct Row {
        uint16_t protocol;
        uint32_t time, address;
        uint16_t port;
        PacketPeer peer;
        Bytes pdu;
    };
    const Row rows[] = {
        {2, kTime, 0xC0A80107, 50123, {0x7F000001, 5018}, kSmppEnquire},
        {2, kTime, 0x7F000001, 5018, {0xC0A80107, 50123}, kSmppSubmitResp},
        {8, kTime + 1, 0xC0A80108, 61000, {0x7F000001, 8880}, Pdu(0x00001002, 3, Bytes(300, 0x41))},
        {1, kTime + 2, kClient, kClientPort, {kServer, 7890}, kCmpp2Connect},
        {9, kTime + 2, kServer, 8890, {kClient, 41000}, kSmgp3LoginResp},
        {2, kTime + 3, 0xC0A80107, 50123, {0x7F000001, 5018}, test_bytes::SmppPdu(0x00000004, 9, Bytes(60000, 1))},
        {2, kTime + 3, 0x7F000001, 5018, {}, kSmppEnquire}, // nobody noted the other end
        // The largest SMPP PDU, in two segments; 0xFF octets make a segment's sum carry again after one fold.
        {2, kTime + 4, 0xC0A80107, 50123, {0x7F000001, 5018}, test_bytes::SmppPdu(0x00000004, 10, Bytes(65520, 0xFF))},
        {2, kTime + 4, 0xC0A80107, 50123, {0x7F000001, 5018}, kSmppEnquire}, // after a PDU of two segments
        // Our server on a port of its own: no port names SMPP, the first PDU's header does, even at the largest
        // length SMPP allows.
        {2, kTime + 5, 0xC0A80107, 50124, {0x7F000001, 40123}, test_bytes::SmppPdu(0x00000002, 1, Bytes(65520, 0x41))},
        {2, kTime + 5, 0x7F000001, 40123, {0xC0A80107, 50124}, test_bytes::SmppPdu(0x80000002, 1, {}, 0x0E)},
        {2, kTime + 6, 0x7F000001, 2775, {}, kSmppEnquire}, // from SMPP's own port: the other end is not the same one
        {4, kTime + 6, kClient, 41001, {}, kCmpp3Connect}, // CMPP 3.0 goes to the port of its family
    };
    // Times to the microsecond, two records of one microsecond among them.
    for (size_t i = 0; i < std::size(rows); ++i)
        ASSERT_TRUE(log.AddCaptured(rows[i].protocol, int64_t(rows[i].time) * 1'000'000 + int64_t(i / 2) * 1001,
                                    rows[i].address, rows[i].port, rows[i].peer, rows[i].pdu.data(),
                                    uint32_t(rows[i].pdu.size())));
    const std::string path = ::testing::TempDir() + "/tarnwick-export.pcap";
    std::string error;
    ASSERT_TRUE(log.AddTyped(2, kSmppEnquire.data(), uint32_t(kSmppEnquire.size()))); // no connection to write it on
    ASSERT_TRUE(pcap::ExportLog(log, path, error)) << error;

    // Each frame as an analyser checks it: IPv4 total length and header checksum, TCP checksum over the
    // pseudo-header (addresses, protocol 6, TCP length). A PDU goes out in segments of at most 65,495 octets,
    // the most a 65,535-octet IPv4 packet carries behind two 20-octet headers.
    std::vector<uint32_t> segments, expectedSegments;
    std::vector<std::pair<uint32_t, uint32_t>> sequences; // each frame's sequence and acknowledgement numbers
    for (const Row& row : rows)
        for (uint32_t left = uint32_t(row.pdu.size()), part = 0; left > 0; left -= part)
            expectedSegments.push_back(part = std::min<uint32_t>(left, 65495));
    std::ifstream in(path, std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (size_t at = 24; at < file.size();) {
        SCOPED_TRACE("frame " + std::to_string(segments.size()));
        ASSERT_LE(at + 16, file.size());
        const uint32_t captured = file[at + 8] | file[at + 9] << 8 | file[at + 10] << 16 | file[at + 11] << 24;
        ASSERT_LE(at + 16 + captured, file.size());
        ASSERT_GE(captured, 54u);
        const Bytes frame(file.begin() + long(at) + 16, file.begin() + long(at + 16 + captured));
        at += 16 + captured;
        const uint32_t ipHeader = (frame[14] & 0x0F) * 4u, tcpHeader = (frame[14 + ipHeader + 12] >> 4) * 4u;
        const uint32_t tcpLength = captured - 14 - ipHeader;
        EXPECT_EQ(uint32_t(frame[16] << 8 | frame[17]), captured - 14);
        EXPECT_EQ(OnesComplementSum(Bytes(frame.begin() + 14, frame.begin() + 14 + ipHeader)), 0xFFFFu);
        const Bytes pseudo = Builder().raw(Bytes(frame.begin() + 26, frame.begin() + 34)).u8(0).u8(6).u16(tcpLength)
                                 .raw(Bytes(frame.begin() + 14 + ipHeader, frame.end()));
        EXPECT_EQ(OnesComplementSum(pseudo), 0xFFFFu);
        segments.push_back(tcpLength - tcpHeader);
        sequences.push_back({wire::ReadBe32(&frame[14 + ipHeader + 4]), wire::ReadBe32(&frame[14 + ipHeader + 8])});
    }
    EXPECT_EQ(segments, expectedSegments);
    // The answer acknowledges all of the request before it.
    EXPECT_EQ(sequences[1].second, sequences[0].first + segments[0]);

    CPacketLog back;
    ASSERT_TRUE(back.Reset());
    pcap::CPcapImporter importer;
    ASSERT_TRUE(importer.Open(path, {}, error)) << error;
    test_import::StepToEnd(importer, back);
    const pcap::ImportSummary& summary = importer.Finish(back);
    EXPECT_EQ(summary.pdus, std::size(rows));
    EXPECT_EQ(summary.skippedFrames, 0u);
    EXPECT_NE(std::find(summary.messages.begin(), summary.messages.end(),
                        "1 connections on ports no protocol is decoded on were read as SMPP: each opened with an "
                        "SMPP header."),
              summary.messages.end());
    ASSERT_EQ(back.GetCount(), log.GetCount() - 1);
    // The server's end: the one whose port names the protocol, else the one that did not open. The record
    // whose other end nobody noted went out to SMPP's well-known port, so that end is the server's.
    const bool fromServer[std::size(rows)] = {false, true, false, false, true, false, false, false, false, false, true, true, false};
    for (int32_t index = 0; index < back.GetCount(); ++index) {
        EXPECT_EQ(back.SummaryAt(index).fromServer, fromServer[index]) << index;
        uint32_t length = 0, backLength = 0;
        const uint8_t* record = log.PacketAt(index, &length);
        const uint8_t* backRecord = back.PacketAt(index, &backLength);
        EXPECT_EQ(Bytes(record, record + length), Bytes(backRecord, backRecord + backLength)) << index;
        EXPECT_EQ(log.SummaryAt(index).timeUs, back.SummaryAt(index).timeUs) << index;
        if (!(log.PeerAt(index) == PacketPeer{})) {
            EXPECT_EQ(log.PeerAt(index), back.PeerAt(index)) << index;
        }
    }
    // Files that cannot be written or read: the user is told which, and why.
    const std::string missing = ::testing::TempDir() + "/no-such-folder/x.pcap";
    EXPECT_FALSE(pcap::ExportLog(log, missing, error));
    EXPECT_EQ(error.rfind("cannot create " + missing + ": ", 0), 0u) << error;
    EXPECT_FALSE(pcap::ExportLog(log, "/dev/full", error)); // a full disk
    EXPECT_EQ(error.rfind("cannot write /dev/full: ", 0), 0u) << error;
    std::ofstream(path) << "not a capture";
    for (const std::string& bad : {missing, path}) {
        EXPECT_FALSE(importer.Open(bad, {}, error));
        EXPECT_TRUE(error.rfind(bad + ": ", 0) == 0 && error.find(bad, 1) == std::string::npos) << error; // named once
    }
    std::remove(path.c_str());
}

TEST_F(PcapTest, StreamsAreReassembledAndVersioned) {
    const Bytes submit = test_bytes::SmppPdu(0x00000004, 5, Bytes(40, 0x33));
    const Bytes part1(submit.begin(), submit.begin() + 10), part2(submit.begin() + 10, submit.begin() + 30),
        part3(submit.begin() + 30, submit.end());
    const struct {
        const char* name;
        uint16_t port;
        std::vector<Segment> segments;
        pcap::DecodeAsTable overrides;
        const char* listing;
    } cases[] = {
        {"CMPP 2.0 by the connect's version octet, both directions",
         7890,
         {{true, 0, kCmpp2Connect}, {false, 0, kCmpp2ConnectResp}, {true, 39, kCmppActiveTest}},
         {},
         "1 a000001:40000>a000002:7890 39 +2\n1 a000002:7890>a000001:40000 30 +3 out\n1 a000001:40000>a000002:7890 12 +4\n"
         "pdus 3 skipped 0 bad 0 gaps 0"},
        {"SMGP 3.0 by the login's version octet, also for the PDUs after it",
         8890,
         {{true, 0, kSmgp3Login}, {false, 0, kSmgp3LoginResp}, {false, 33, kSmgpActiveTest}},
         {},
         "9 a000001:40000>a000002:8890 42 +2\n9 a000002:8890>a000001:40000 33 +3 out\n9 a000002:8890>a000001:40000 12 +4 out\n"
         "pdus 3 skipped 0 bad 0 gaps 0"},
        {"SMGP 1.3 by the login's version octet", 8890,
         {{true, 0, Pdu(0x00000001, 1, Builder().text("client", 8).fill(16).u8(0).u32(0).u8(0x13))}}, {},
         "10 a000001:40000>a000002:8890 42 +2\npdus 1 skipped 0 bad 0 gaps 0"},
        {"CNGP on its standard port", 9890, {{true, 0, test_bytes::SmppPdu(0x00000008, 1)}}, {},
         "7 a000001:40000>a000002:9890 16 +2\npdus 1 skipped 0 bad 0 gaps 0"},
        {"SGIP on its standard port", 8801, {{true, 0, Builder().u32(20).u32(0x00000002).u32(1).u32(2).u32(3)}}, {},
         "6 a000001:40000>a000002:8801 20 +2\npdus 1 skipped 0 bad 0 gaps 0"},
        {"two PDUs in one segment, one PDU over two",
         2775,
         {{true, 0, Concat({kSmppEnquire, part1})}, {true, 26, Bytes(part2.begin() + 0, part2.end())},
          {true, 46, part3}},
         {},
         "2 a000001:40000>a000002:2775 16 +2\n2 a000001:40000>a000002:2775 56 +4\n"
         "pdus 2 skipped 0 bad 0 gaps 0"},
        {"out of order, retransmitted and overlapping segments",
         2775,
         {{true, 30, part3}, {true, 0, part1}, {true, 0, part1},
          {true, 5, Concat({Bytes(part1.begin() + 5, part1.end()), part2})},
          {true, 30, part3}},
         {},
         "2 a000001:40000>a000002:2775 56 +5\npdus 1 skipped 0 bad 0 gaps 0"},
        {"a lost segment is a gap; framing resumes with the next PDU",
         2775,
         {{true, 0, part1}, {true, 30, part3}, {true, 56, kSmppEnquire}},
         {},
         "2 a000001:40000>a000002:2775 16 +4\npdus 1 skipped 0 bad 1 gaps 20"},
        {"decode-as beats the port table",
         7890,
         {{true, 0, kCmppActiveTest}},
         {{7890, 8}},
         "8 a000001:40000>a000002:7890 12 +2\npdus 1 skipped 0 bad 0 gaps 0"},
        {"decode-as names a port the table does not know, the server's end on it",
         40001,
         {{true, 0, kCmppActiveTest}, {false, 0, kCmppActiveTest}},
         {{40001, 4}},
         "4 a000001:40000>a000002:40001 12 +2\n4 a000002:40001>a000001:40000 12 +3 out\npdus 2 skipped 0 bad 0 gaps 0"},
        {"decode-as CMPP still takes the version from the connect",
         40001,
         {{true, 0, kCmpp3Connect}},
         {{40001, 1}},
         "4 a000001:40000>a000002:40001 39 +2\npdus 1 skipped 0 bad 0 gaps 0"},
        {"SMPP on a port no protocol is known on, by its first header, not by the handshake's last ACK; the answer "
         "goes with it",
         40123,
         {{true, 0, {}, kAck}, {true, 0, kSmppEnquire}, {false, 0, kSmppSubmitResp}, {true, 16, kSmppEnquire}},
         {},
         "2 a000001:40000>a000002:40123 16 +3\n2 a000002:40123>a000001:40000 20 +4 out\n"
         "2 a000001:40000>a000002:40123 16 +5\npdus 3 skipped 0 bad 0 gaps 0 smpp by header 1"},
        {"the server speaks first: an SMSC's own error 0x4FF still reads as SMPP; the end whose data came first is "
         "taken as the client",
         40123,
         {{false, 0, test_bytes::SmppPdu(0x80000009, 1, {}, 0x4FF)}, {true, 0, kSmppEnquire}},
         {},
         "2 a000002:40123>a000001:40000 16 +2\n2 a000001:40000>a000002:40123 16 +3 out\n"
         "pdus 2 skipped 0 bad 0 gaps 0 smpp by header 1"},
        {"two PDUs in the first segment, the second cut short after its command id",
         40123,
         {{true, 0, Concat({kSmppEnquire, Part(kSmppEnquire, 0, 8)})}, {true, 24, Part(kSmppEnquire, 8, 16)}},
         {},
         "2 a000001:40000>a000002:40123 16 +2\n2 a000001:40000>a000002:40123 16 +3\n"
         "pdus 2 skipped 0 bad 0 gaps 0 smpp by header 1"},
        {"two PDUs in the first segment, the second cut short after its length", 40123,
         {{true, 0, Concat({kSmppEnquire, Part(kSmppEnquire, 0, 4)})}, {true, 20, Part(kSmppEnquire, 4, 16)}}, {},
         "2 a000001:40000>a000002:40123 16 +2\n2 a000001:40000>a000002:40123 16 +3\n"
         "pdus 2 skipped 0 bad 0 gaps 0 smpp by header 1"},
        {"a well-known port of another protocol wins over the header",
         7890,
         {{true, 0, kSmppEnquire}},
         {},
         "1 a000001:40000>a000002:7890 16 +2\npdus 1 skipped 0 bad 0 gaps 0"},
        {"decode-as wins over the header",
         40123,
         {{true, 0, kSmppEnquire}},
         {{40123, 8}},
         "8 a000001:40000>a000002:40123 16 +2\npdus 1 skipped 0 bad 0 gaps 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        EXPECT_EQ(Import(log, PcapFile(Connection(c.port, c.segments)), c.overrides), c.listing);
    }
}

// On a port no protocol is known on, a connection whose first data is no SMPP header is skipped whole,
// handshake included, as it was before headers were read.
TEST_F(PcapTest, AConnectionOnAnUnknownPortThatDoesNotOpenWithSmppIsSkipped) {
    const Bytes http = Builder().raw("GET /status HTTP/1.1\r\nHost: smsc\r\n\r\n");
    const struct {
        const char* name;
        std::vector<Segment> segments;
        uint64_t skipped; // with the SYN and the SYN-ACK
    } cases[] = {
        {"a CMPP ACTIVE_TEST, shorter than an SMPP header", {{true, 0, kCmppActiveTest}}, 3},
        // A CONNECT's command id is bind_receiver's, but its sequence id stands where a request's status is 0.
        {"a CMPP CONNECT", {{true, 0, kCmpp2Connect}}, 3},
        // The answer alone has a believable header (status 1): the CONNECT before it decided.
        {"a CMPP CONNECT and its answer", {{true, 0, kCmpp2Connect}, {false, 0, kCmpp2ConnectResp}}, 4},
        {"HTTP text", {{true, 0, http}}, 3},
        {"random bytes", {{true, 0, Builder().u32(0x5A17C3E9).u32(0x0D4E8B21).u32(0xF00B7A65).u32(0x3C9902DE)}}, 3},
        {"an SMPP request with a status", {{true, 0, test_bytes::SmppPdu(0x00000015, 7, {}, 1)}}, 3},
        {"a response status SMPP keeps reserved", {{false, 0, test_bytes::SmppPdu(0x80000015, 7, {}, 0x500)}}, 3},
        {"a command id SMPP 3.4 has not", {{true, 0, test_bytes::SmppPdu(0x00000016, 7)}}, 3},
        {"a length above SMPP's largest PDU", {{true, 0, Builder().u32(65537).u32(4).u32(0).u32(1)}}, 3},
        {"an SMPP header, then text", {{true, 0, Concat({kSmppEnquire, http})}}, 3},
        {"a first segment too short to tell", {{true, 0, Part(kSmppEnquire, 0, 12)}, {true, 12, Part(kSmppEnquire, 12, 16)}}, 4},
        {"SMPP after a first segment that is not", {{true, 0, http}, {true, uint32_t(http.size()), kSmppEnquire}}, 4},
        {"a handshake without data", {}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        EXPECT_EQ(Import(log, PcapFile(Connection(40123, c.segments))),
                  "pdus 0 skipped " + std::to_string(c.skipped) + " bad 0 gaps 0");
    }
}

// What the import window tells once the file is read: the records, and the summary's lines for the user.
TEST_F(PcapTest, TheSummaryTellsHowTheStreamsEnded) {
    const std::string ucp = "\x02" "01/00043/R/30/A//0612345678:071226101010/30\x03";
    const Bytes strayThenUcp = Builder().raw("ab" + ucp);
    const struct {
        const char* name;
        uint16_t port;
        std::vector<Segment> segments;
        bool cancel;
        const char* told;
    } cases[] = {
        {"opened again on the same ends: a new conversation, which speaks its own version", 7890,
         {{true, 0, kCmpp2Connect}, {true, 39, Part(kCmppActiveTest, 0, 6)}, {true, 100, {}, kSyn}, {true, 101, kCmpp3Connect}},
         false,
         "1 a000001:40000>a000002:7890 39 +2\n4 a000001:40000>a000002:7890 39 +5\n"
         "pdus 2 skipped 0 bad 0 gaps 0 conversations 2\n"
         "6 frames read, 2 PDUs added to the capture log.\n1 streams end in the middle of a PDU."},
        {"the file ends inside a PDU", 2775, {{true, 0, kSmppEnquire}, {true, 16, Part(kSmppEnquire, 0, 10)}}, false,
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 0 bad 0 gaps 0\n"
         "4 frames read, 1 PDUs added to the capture log.\n1 streams end in the middle of a PDU."},
        {"octets that are no UCP frame", 5020, {{true, 0, strayThenUcp}}, false,
         "11 a000001:40000>a000002:5020 45 +2\npdus 1 skipped 0 bad 1 gaps 0\n"
         "3 frames read, 1 PDUs added to the capture log.\n"
         "1 times a stream was out of step (a bad length field, or a start in the middle of a PDU).\n"
         "10.0.0.1:40000 -> 10.0.0.2:5020: 2 bytes that are no frame skipped: octets before the start"},
        // Cancelled with a segment held for the bytes before it: what was framed stays, the rest is not forced.
        {"cancelled", 2775, {{true, 16, kSmppEnquire}, {true, 32, kSmppEnquire}}, true,
         "pdus 0 skipped 0 bad 0 gaps 0\nImport cancelled: the PDUs read so far are kept.\n"
         "3 frames read, 0 PDUs added to the capture log."},
    };
    const auto told = [this](uint16_t port, const std::vector<Segment>& segments, bool cancel) {
        const Bytes file = PcapFile(Connection(port, segments));
        pcap::CPcapImporter importer;
        std::string text;
        EXPECT_TRUE(importer.OpenMemory(file.data(), file.size(), {}, text));
        while (importer.Step(log, 3) && !cancel) {
        }
        const pcap::ImportSummary& summary = importer.Finish(log, cancel);
        text = Listing(log, 0, summary);
        for (const std::string& line : summary.messages) text += "\n" + line;
        return text;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        EXPECT_EQ(told(c.port, c.segments, c.cancel), c.told);
    }
    // However often a stream is out of step, the window gets 20 lines of detail at most.
    std::vector<Segment> junk;
    for (uint32_t i = 0; i < 30; ++i) junk.push_back({true, 8 * i, Builder().u32(4).u32(0x15)});
    const std::string many = told(2775, junk, false);
    EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 2 + 20) << many;
}

TEST_F(PcapTest, BadInputIsSkippedOrRefusedAndNothingCapturedIsLost) {
    const Bytes good = PcapFile(Connection(2775, {{true, 0, kSmppEnquire}, {true, 16, kSmppEnquire}}));
    const auto withFrame = [](Bytes frame, uint32_t wireLength = 0) {
        std::vector<FileFrame> frames = Connection(2775, {{true, 0, kSmppEnquire}});
        frames.push_back({std::move(frame), wireLength});
        return PcapFile(frames);
    };
    const auto cutBy = [](const Bytes& bytes, size_t cut) { return Bytes(bytes.begin(), bytes.end() - long(cut)); };
    // The next PDU of the stream, then the same frame with one header octet changed.
    const Bytes next = Frame(true, 2775, kClientIsn + 17, kPshAck, kSmppEnquire);
    const auto with = [&next](size_t at, uint8_t value) { Bytes frame = next; frame[at] = value; return frame; };
    const Bytes nextIp(next.begin() + 14, next.end());
    const struct {
        const char* name;
        Bytes file;
        const char* listing;
    } cases[] = {
        // Not a capture file at all: refused with the reader's message.
        {"text", Builder().raw("hello, this is not a capture"), "error"},
        // Empty, and too short for the file header.
        {"empty", {}, "error"},
        {"half a header", Bytes(good.begin(), good.begin() + 12), "error"},
        // The last frame stops in the middle: what came before is kept.
        {"truncated file", cutBy(good, 7),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 0 bad 0 gaps 0 truncated"},
        // The last frame was cut by the snap length: its PDU bytes are not all there.
        {"cut by the snap length",
         withFrame(cutBy(Frame(true, 2775, kClientIsn + 17, kPshAck, kSmppEnquire), 6), 70),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        // ARP and IPv6 frames, and UDP over IPv4.
        {"ARP", withFrame(Frame(true, 2775, 0, kPshAck, kSmppEnquire, 0x0806)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"IPv6 ethertype", withFrame(Frame(true, 2775, 0, kPshAck, kSmppEnquire, 0x86DD)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"UDP", withFrame(Frame(true, 2775, 0, kPshAck, kSmppEnquire, 0x0800, 17)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        // IPv4 and TCP header lengths that do not fit, a fragment, a total length beyond the frame.
        {"IPv4 header shorter than 20 octets", withFrame(with(14, 0x44)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"IPv4 header longer than the packet", withFrame(with(14, 0x4F)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"TCP header shorter than 20 octets", withFrame(with(46, 0x40)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"TCP header longer than the segment", withFrame(with(46, 0xF0)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"IPv4 fragment", withFrame(with(20, 0x20)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"total length beyond the frame", withFrame(with(16, 0x01)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"total length 0 in a frame cut by the snap length",
         withFrame(cutBy(Frame(true, 2775, kClientIsn + 17, kPshAck, kSmppEnquire, 0x0800, 6,
                               {.zeroTotalLength = true}), 6), 70),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        // Only two VLAN tags are read; a frame that ends inside its tags.
        {"three VLAN tags",
         withFrame(Concat({Builder().fill(12).u16(0x88A8).u16(5).u16(0x8100).u16(6).u16(0x8100).u16(7).u16(0x0800),
                           nextIp})),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        {"frame ends inside the second VLAN tag", withFrame(Builder().fill(12).u16(0x8100).u16(5).u16(0x8100).u16(6)),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 1 bad 0 gaps 0"},
        // A length field below the SMPP header, then one above the largest PDU.
        {"length below the header", withFrame(Frame(true, 2775, kClientIsn + 17, kPshAck, Builder().u32(4).u32(0x15))),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 0 bad 1 gaps 0"},
        {"length above the maximum",
         withFrame(Frame(true, 2775, kClientIsn + 17, kPshAck, Builder().u32(0x7FFFFFFF).u32(0x15))),
         "2 a000001:40000>a000002:2775 16 +2\npdus 1 skipped 0 bad 1 gaps 0"},
        // No handshake in the file and the first segment is the tail of a PDU: skipped, the next PDU is framed.
        {"stream starts mid-PDU",
         PcapFile(Connection(2775, {{true, 0, Bytes(kSmppSubmitResp.begin() + 8, kSmppSubmitResp.end())},
                                    {true, 12, kSmppEnquire}}, false)),
         "2 a000001:40000>a000002:2775 16 +1\npdus 1 skipped 0 bad 1 gaps 0"},
    };
    const Bytes kept = test_bytes::SmppPdu(0x00000006, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        ASSERT_TRUE(log.AddCaptured(2, 1, 1, 1, {}, kept.data(), uint32_t(kept.size())));
        EXPECT_EQ(Import(log, c.file), c.listing);
        uint32_t length = 0;
        const uint8_t* first = log.PacketAt(0, &length);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(Bytes(first + 16, first + length), kept);
    }
}

// The same IPv4 packet behind each link-layer header the importer reads.
TEST_F(PcapTest, LinkTypes) {
    const Bytes ethernet = Frame(true, 2775, kClientIsn + 1, kPshAck, kSmppEnquire);
    const Bytes ip(ethernet.begin() + 14, ethernet.end());
    const struct {
        const char* name;
        uint32_t linkType;
        Bytes header;
    } cases[] = {
        {"Ethernet", 1, Bytes(ethernet.begin(), ethernet.begin() + 14)},
        {"Ethernet with a VLAN tag", 1, Builder().fill(12).u16(0x8100).u16(5).u16(0x0800)},
        {"Ethernet with QinQ tags", 1, Builder().fill(12).u16(0x88A8).u16(5).u16(0x8100).u16(6).u16(0x0800)},
        {"Ethernet with two VLAN tags", 1, Builder().fill(12).u16(0x8100).u16(5).u16(0x8100).u16(6).u16(0x0800)},
        {"Linux cooked", 113, Builder().u16(0).u16(1).u16(6).fill(8).u16(0x0800)},
        {"Linux cooked v2", 276, Builder().u16(0x0800).u16(0).u32(1).u16(1).u8(0).u8(6).fill(8)},
        {"raw IPv4", 101, {}},
        {"raw IP, link type 12", 12, {}},
        {"raw IP as OpenBSD numbers it", 14, {}},
        {"IPv4", 228, {}},
        {"BSD loopback", 0, Builder().u32le(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        EXPECT_EQ(Import(log, PcapFile({{Concat({c.header, ip})}}, c.linkType)),
                  "2 a000001:40000>a000002:2775 16 +0\npdus 1 skipped 0 bad 0 gaps 0");
    }
    for (const uint32_t unread : {105u, 229u}) // 802.11 and IPv6: not read
        EXPECT_EQ(Import(log, PcapFile({{ip}}, unread)), "error") << unread;
}

// IPv4 and TCP headers as real captures carry them.
TEST_F(PcapTest, HeaderOptionsOffloadAndTrailers) {
    // NOP, NOP, timestamps (kind 8, length 10, two 4-octet values): Linux sends them on every segment.
    const Bytes timestamps = Builder().u8(1).u8(1).u8(8).u8(10).u32(0x01020304).u32(0x05060708);
    const Bytes routerAlert = Builder().u8(0x94).u8(4).u16(0);
    const Bytes largest = test_bytes::SmppPdu(0x00000004, 3, Bytes(65536 - 16, 0x44)); // SMPP's largest PDU
    const struct {
        const char* name;
        Bytes payload;
        Extras extras;
        const char* listing;
    } cases[] = {
        {"TCP timestamps: a 32-octet TCP header", kSmppEnquire, {.tcpOptions = timestamps},
         "2 a000001:40000>a000002:2775 16 +0\npdus 1 skipped 0 bad 0 gaps 0"},
        {"IPv4 router alert: a 24-octet IPv4 header", kSmppEnquire, {.ipOptions = routerAlert},
         "2 a000001:40000>a000002:2775 16 +0\npdus 1 skipped 0 bad 0 gaps 0"},
        {"IPv4 and TCP options together", kSmppSubmitResp, {.ipOptions = routerAlert, .tcpOptions = timestamps},
         "2 a000001:40000>a000002:2775 20 +0\npdus 1 skipped 0 bad 0 gaps 0"},
        {"total length 0: the frame holds the segment", Concat({kSmppEnquire, kSmppSubmitResp}),
         {.tcpOptions = timestamps, .zeroTotalLength = true},
         "2 a000001:40000>a000002:2775 16 +0\n2 a000001:40000>a000002:2775 20 +0\n"
         "pdus 2 skipped 0 bad 0 gaps 0"},
        {"total length 0 on more than 65,535 octets", largest, {.tcpOptions = timestamps, .zeroTotalLength = true},
         "2 a000001:40000>a000002:2775 65536 +0\npdus 1 skipped 0 bad 0 gaps 0"},
        {"a frame check sequence behind the IPv4 packet", kSmppEnquire, {.trailer = Builder().u32(0xDEADBEEF)},
         "2 a000001:40000>a000002:2775 16 +0\npdus 1 skipped 0 bad 0 gaps 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Reset());
        EXPECT_EQ(Import(log, PcapFile({{Frame(true, 2775, kClientIsn + 1, kPshAck, c.payload, 0x0800, 6, c.extras)}})),
                  c.listing);
    }
}

// The dissector alone: the segment it finds, and why it finds none, which the import's summary counts by.
TEST(PcapDissector, FindsTheSegmentOrSaysWhyNot) {
    const Bytes frame = Frame(true, 2775, kClientIsn + 1, kPshAck, kSmppEnquire, 0x0800, 6,
                              {.tcpOptions = Builder().u32(0x01010101)});
    const pcap::Dissected good = pcap::Dissect(1, frame, uint32_t(frame.size()));
    ASSERT_FALSE(good.skipped);
    EXPECT_EQ(good.segment.sourceAddress, kClient);
    EXPECT_EQ(good.segment.destinationPort, 2775);
    EXPECT_EQ(good.segment.sequence, kClientIsn + 1);
    EXPECT_EQ(good.segment.flags, kPshAck);
    EXPECT_EQ(Bytes(good.segment.payload.begin(), good.segment.payload.end()), kSmppEnquire);

    const Bytes ip(frame.begin() + 14, frame.end());
    const Bytes vlanCut = Builder().fill(12).u16(0x8100).u16(5);
    const struct {
        const char* name;
        int linkType;
        Bytes bytes;
        uint32_t wireLength; // 0: as captured
        std::optional<pcap::Skip> skipped;
    } cases[] = {
        {"BSD loopback from a big-endian host", 0, Concat({Builder().u32(2), ip}), 0, std::nullopt},
        {"a VLAN tag cut by the snap length", 1, vlanCut, 100, pcap::Skip::Cut},
        {"a frame that ends in its VLAN tag", 1, vlanCut, 0, pcap::Skip::NotIpv4},
        {"IPv4 cut by the snap length", 101, Part(ip, 0, 30), uint32_t(ip.size()), pcap::Skip::Cut},
        {"UDP", 1, Frame(true, 2775, 0, kPshAck, kSmppEnquire, 0x0800, 17), 0, pcap::Skip::NotTcp},
        {"a fragment", 101, [&] { Bytes f = ip; f[6] = 0x20; return f; }(), 0, pcap::Skip::Fragment},
        {"a link type not read", 105, ip, 0, pcap::Skip::NotIpv4},
        {"a frame shorter than its Ethernet header", 1, Part(frame, 0, 10), 0, pcap::Skip::NotIpv4},
        {"an Ethernet header cut by the snap length", 1, Part(frame, 0, 10), 100, pcap::Skip::Cut},
        {"BSD loopback carrying IPv6", 0, Concat({Builder().u32le(24), ip}), 0, pcap::Skip::NotIpv4},
        {"IP version 6 in the first octet", 101, [&] { Bytes f = ip; f[0] = 0x65; return f; }(), 0, pcap::Skip::NotIpv4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t wire = c.wireLength ? c.wireLength : uint32_t(c.bytes.size());
        EXPECT_EQ(pcap::Dissect(c.linkType, c.bytes, wire).skipped, c.skipped);
    }
}

TEST_F(PcapTest, PcapngIsReadToo) {
    const Bytes frame = Frame(true, 2775, kClientIsn + 1, kPshAck, kSmppEnquire);
    const auto block = [](uint32_t type, const Bytes& body) {
        const uint32_t length = uint32_t(12 + body.size());
        return Builder().u32le(type).u32le(length).raw(body).u32le(length).bytes();
    };
    const Bytes file = Concat({
        block(0x0A0D0D0A, Builder().u32le(0x1A2B3C4D).u16le(1).u16le(0).u32le(0xFFFFFFFF).u32le(0xFFFFFFFF)),
        block(1, Builder().u16le(1).u16le(0).u32le(65535)),
        // Enhanced packet: interface 0, microseconds since 1970 in two halves, lengths, data padded to 4.
        block(6, Builder().u32le(0).u32le(uint32_t(uint64_t(kTime) * 1000000 >> 32))
                     .u32le(uint32_t(uint64_t(kTime) * 1000000)).u32le(uint32_t(frame.size()))
                     .u32le(uint32_t(frame.size())).raw(frame).fill((4 - frame.size() % 4) % 4)),
    });
    EXPECT_EQ(Import(log, file), "2 a000001:40000>a000002:2775 16 +0\npdus 1 skipped 0 bad 0 gaps 0");
}

TEST_F(PcapTest, AFileLargerThanTheLogKeepsTheNewestRecords) {
    const Bytes big = test_bytes::SmppPdu(0x00000004, 1, Bytes(16000, 0x55));
    std::vector<Segment> segments;
    for (uint32_t i = 0; i < 80; ++i)
        segments.push_back({true, i * uint32_t(big.size()), big});
    const std::string listing = Import(log, PcapFile(Connection(2775, segments)));
    EXPECT_NE(listing.find("pdus 80 skipped 0 bad 0 gaps 0 newest"), std::string::npos);
    EXPECT_EQ(log.GetCount(), 80 - int32_t(CPacketLog::kAreaSize / (big.size() + 16)));
}

TEST(PcapDecodeAs, ParsesPortEqualsProtocol) {
    const struct {
        const char* text;
        bool ok;
        int port, protocol;
    } cases[] = {
        {"7890=cmpp3", true, 7890, 4}, {"65535=test", true, 65535, 8}, {"7890", false, 0, 0},
        {"0=smpp", false, 0, 0},       {"65536=smpp", false, 0, 0},   {"12x=smpp", false, 0, 0},
        {"2775=http", false, 0, 0},    {"=smpp", false, 0, 0},
    };
    for (const auto& c : cases) {
        pcap::DecodeAsTable table;
        std::string error;
        EXPECT_EQ(pcap::ParseDecodeAs(c.text, table, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(pcap::ProtocolForPort(uint16_t(c.port), table), c.protocol) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
    EXPECT_EQ(pcap::ProtocolForPort(8801, {}), 6);
    EXPECT_EQ(pcap::ProtocolForPort(8801, {{8801, 7}}), 7);
    EXPECT_EQ(pcap::ProtocolForPort(1, {}), -1);
}

} // namespace
