// tarnwick-decode: hex and file input, protocol wrapping, output layout and exit statuses.
#include "app/DecodeCli.h"

#include "app/CommandLine.h"
#include "analysis/RecordJson.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "tests/support/Bytes.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

// Lower-case hex, a blank after each octet.
std::string Hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) out += {kDigits[b >> 4], kDigits[b & 0xF], ' '};
    return out;
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunCommand(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = decode_cli::Run(args, in, out, err);
    return {status, out.str(), err.str()};
}

class DecodeCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(DecodeCliTest, WholeRecordWithOffsets) {
    const Bytes record = CaptureRecord(2, SmppPdu(0x80000004, 3, Builder().cstr("000042")), 0, 0x0A000001, 40000);
    const Result r = RunCommand({"--offsets", Hex(record)});
    EXPECT_EQ(r.status, decode_cli::kDecoded);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "     0     0  TCP: ----- Network base info -----\n"
              "     0     4    TCP: Packet len = 39\n"
              "     4     4    TCP: Time = 1970-01-01 00:00:00\n"
              "     8     4    TCP: Source address = 010.000.000.001\n"
              "    12     2    TCP: Source port = 40000\n"
              "    14     2    TCP: Protocol = 2 (SMPP)\n"
              "    16     0  SMPP: ----- SMPP protocol -----\n"
              "    16     4    SMPP: Command length = 23\n"
              "    20     4    SMPP: Command ID = 0x80000004 (submit_sm_resp)\n"
              "    24     4    SMPP: Command status = 0x00000000 (No Error)\n"
              "    28     4    SMPP: Sequence number = 3\n"
              "    32     0  SUB_SM_RESP: ----- ESME submit a short message resp -----\n"
              "    32     7    SUB_SM_RESP: message_id = 000042\n");
}

// --protocol puts a bare PDU in a record from 127.0.0.1, port 0, time 0; each name gives its code.
TEST_F(DecodeCliTest, ProtocolWrapsABarePdu) {
    const struct {
        const char* name;
        uint16_t code;
    } names[] = {{"cmpp", 1}, {"smpp", 2}, {"smgp", 3}, {"cmpp3", 4}, {"sgip", 6}, {"cngp", 7}, {"test", 8}, {"smgp3", 9}};
    const Bytes pdu = SmppPdu(0x15, 7);
    for (const auto& n : names) {
        SCOPED_TRACE(n.name);
        const Result bare = RunCommand({"--protocol", n.name, Hex(pdu)});
        EXPECT_EQ(bare.out, RunCommand({Hex(CaptureRecord(n.code, pdu, 0, 0x7F000001, 0))}).out);
        EXPECT_EQ(bare.err, "");
    }
    EXPECT_FALSE(decode_cli::ProtocolCodeOf("SMPP").has_value());
}

TEST_F(DecodeCliTest, DefaultAlphabetReadsDataCoding0) {
    // submit_sm: service_type, source TON NPI address, destination TON NPI address, esm_class, protocol_id,
    // priority_flag, two empty times, registered_delivery, replace_if_present, data_coding 0, sm_default_msg_id,
    // then "a@é" as sm_length and octets (0x00 is '@' in GSM 03.38, 0xE9 is 'é' in Latin-1).
    const Bytes body = Builder().u8(0).u8(1).u8(1).cstr("1").u8(1).u8(1).cstr("2").u8(0).u8(0).u8(0).u8(0).u8(0)
                           .u8(0).u8(0).u8(0).u8(0).u8(3).raw(Bytes{'a', 0x00, 0xE9});
    const std::string hex = Hex(SmppPdu(0x04, 1, body));
    const struct {
        std::vector<std::string> alphabet;
        const char* line;
    } cases[] = {
        {{}, "  SUB_SM: short_message = a@\\xE9\n"},
        {{"--default-alphabet", "gsm"}, "  SUB_SM: short_message = a@\\xE9\n"},
        {{"--default-alphabet=ascii"}, "  SUB_SM: short_message = a\\x00\\xE9 (default alphabet read as ASCII)\n"},
        {{"--default-alphabet", "latin1"}, "  SUB_SM: short_message = a\\x00é (default alphabet read as Latin-1)\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.alphabet;
        args.insert(args.end(), {"--protocol", "smpp", hex});
        const Result r = RunCommand(args);
        EXPECT_EQ(r.status, decode_cli::kDecoded);
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
    }
}

TEST_F(DecodeCliTest, ExitStatusFollowsTheLastLine) {
    Bytes cut = CaptureRecord(2, SmppPdu(4, 1, Builder().cstr("CMT").u8(1).u8(1).cstr("1234567890")));
    cut.resize(cut.size() - 3);
    const Bytes overlong = SmppPdu(0x80000001, 1, Builder().cstr("sys").u16(0x0210).u16(0xFFFF).u8(0x34));
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* last;
    } cases[] = {
        {"body cut short", {Hex(cut)}, 1, "  未知错误!\n"},
        {"parameter length of 65535", {"--protocol", "smpp", Hex(overlong)}, 1, "  消息长度错误!\n"},
        {"generic_nack has no body", {"--protocol", "smpp", Hex(SmppPdu(0x80000000, 9))}, 0,
         "  SMPP: Sequence number = 9\n"},
        {"protocol without a case", {Hex(CaptureRecord(5, {}))}, 0, "  TCP: Protocol = 5 (未知)\n"},
        {"record shorter than its header", {"10000000 00000000 7f00"}, 1, "  未知错误!\n"},
        // The standard's positive result of a call input sums to 69.
        {"UCP frame as text", {"--protocol", "ucp", "01/00019/R/01/A//69"}, 0, "  UCP: CHK = 69\n"},
        {"UCP frame with STX and ETX, in hex", {"--protocol", "ucp", "02 3031 2F 3030303139 2F 52 2F 3031 2F 41 2F2F 3639 03"},
         0, "  UCP: CHK = 69\n"},
        {"UCP checksum one off", {"--protocol", "ucp", "01/00019/R/01/A//68"}, 1,
         "  Bad checksum: the octets through the last '/' sum to 69\n"},
        {"UCP text on a binary protocol", {"--protocol", "smpp", "01/00019/R/01/A//69"}, 2, ""},
        // An alive response: 0x02 + "90:001" + TAB sums to 0x13F.
        {"CIMD2 packet as text", {"--protocol", "cimd2", "90:001\t3F"}, 0, "  CIMD2: Checksum = 3F\n"},
        {"CIMD2 packet without checksum, its TAB kept", {"--protocol", "cimd2", "90:001\t"}, 0,
         "  CIMD2: Checksum = left out\n"},
        {"CIMD2 checksum without the STX", {"--protocol", "cimd2", "90:001\t3D"}, 1,
         "  Bad checksum: the octets from STX through the last TAB sum to 3F\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = RunCommand(c.args);
        EXPECT_EQ(r.status, c.status);
        const std::string last = c.last;
        ASSERT_GE(r.out.size(), last.size());
        EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
    }
}

TEST_F(DecodeCliTest, StandardInputAndFile) {
    const Bytes pdu = SmppPdu(0x15, 7);
    const Result fromStdin = RunCommand({"--protocol=smpp"}, "0x00000010\n0x00000015\n00000000 00000007\n");
    EXPECT_EQ(fromStdin.status, 0);
    EXPECT_NE(fromStdin.out.find("  SMPP: Command ID = 0x00000015 (enquire_link)\n"), std::string::npos);

    const auto path = std::filesystem::temp_directory_path() / ("tarnwick-decode-" + std::to_string(getpid()) + ".bin");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(pdu.data()), std::streamsize(pdu.size()));
    const Result fromFile = RunCommand({"--protocol", "smpp", "--file", path.string()});
    std::filesystem::remove(path);
    EXPECT_EQ(fromFile.status, 0);
    EXPECT_EQ(fromFile.out, fromStdin.out);
}

TEST_F(DecodeCliTest, UnusableInputEndsWithStatusTwo) {
    const auto big = std::filesystem::temp_directory_path() / ("tarnwick-big-" + std::to_string(getpid()) + ".bin");
    std::ofstream(big, std::ios::binary).seekp(std::streamoff(decode_cli::kMaxInputBytes)).put('\0'); // one byte over
    const std::string tooBig = "tarnwick-decode: " + big.string() + " is larger than 16777216 bytes\n";
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        const char* message;
    } cases[] = {
        {"not hex", {"00 0g"}, "", "tarnwick-decode: not a hex digit at position 5: 'g'\n"},
        {"0x only starts a group", {"10x20"}, "", "tarnwick-decode: not a hex digit at position 3: 'x'\n"},
        {"separators other than the grammar's", {"00;01"}, "", "tarnwick-decode: not a hex digit at position 3: ';'\n"},
        {"half a byte", {}, "00 001", "tarnwick-decode: odd number of hex digits at position 4: '001'\n"},
        {"nothing given", {}, " \n", "tarnwick-decode: no bytes to decode\n"},
        {"unknown protocol", {"--protocol", "xmpp", "00"}, "",
         "tarnwick-decode: unknown protocol 'xmpp' (smpp, cmpp, cmpp3, smgp, smgp3, smgp13, sgip, cngp, test, ucp, cimd2)\n"},
        {"protocol without a name", {"--protocol"}, "",
         "tarnwick-decode: --protocol needs a name (smpp, cmpp, cmpp3, smgp, smgp3, smgp13, sgip, cngp, test, ucp, cimd2)\n"},
        {"missing file", {"--file", "/nonexistent/tarnwick.bin"}, "",
         "tarnwick-decode: cannot open /nonexistent/tarnwick.bin\n"},
        {"file and hex", {"--file", "x.bin", "00"}, "",
         "tarnwick-decode: give the bytes either as hex or with --file, not both\n"},
        {"unknown option", {"--verbose"}, "", "tarnwick-decode: unknown option '--verbose' (see --help)\n"},
        {"capture file and hex", {"--pcap", "x.pcap", "00"}, "",
         "tarnwick-decode: --pcap takes no hex, --file or --protocol\n"},
        {"capture file and a protocol", {"--pcap", "x.pcap", "--protocol", "smpp"}, "",
         "tarnwick-decode: --pcap takes no hex, --file or --protocol\n"},
        {"decode-as alone", {"--decode-as", "1=smpp", "00"}, "", "tarnwick-decode: --decode-as goes with --pcap\n"},
        {"decode-as without a port", {"--pcap", "x.pcap", "--decode-as", "smpp"}, "",
         "tarnwick-decode: --decode-as: 'smpp' is not PORT=PROTOCOL\n"},
        {"unknown alphabet", {"--default-alphabet", "utf8", "00"}, "",
         "tarnwick-decode: unknown alphabet 'utf8' (gsm, ascii, latin1)\n"},
        {"stream of a capture file", {"--stream", "--pcap", "x.pcap"}, "",
         "tarnwick-decode: --stream reads hex or --file; a pcap file is a stream already\n"},
        {"json with offsets", {"--json", "--offsets", "00"}, "",
         "tarnwick-decode: --json gives every field's offset and length; --offsets goes without it\n"},
        {"capture file missing", {"--pcap", "/nonexistent/x.pcap"}, "",
         "tarnwick-decode: /nonexistent/x.pcap: No such file or directory\n"},
        {"a file over the largest input", {"--file", big.string()}, "", tooBig.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = RunCommand(c.args, c.input);
        EXPECT_EQ(r.status, decode_cli::kBadInput);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, "");
    }
    std::filesystem::remove(big);
}

// One TCP segment from one end to the other, in a raw-IPv4 frame.
Bytes Segment(uint32_t from, uint16_t fromPort, uint32_t to, uint16_t toPort, uint32_t sequence, const Bytes& payload) {
    return Builder()
        .u8(0x45).u8(0).u16(uint32_t(40 + payload.size())).u16(0).u16(0).u8(64).u8(6).u16(0).u32(from).u32(to)
        .u16(fromPort).u16(toPort).u32(sequence).u32(0).u8(0x50).u8(0x18).u16(8192).u32(0)
        .raw(payload).bytes();
}

// tarnwick-decode --pcap over a raw-IPv4 capture file of the frames, with the further arguments; the file
// loses its last `cut` octets.
Result RunOnCapture(const std::vector<Bytes>& frames, std::vector<std::string> args = {}, size_t cut = 0) {
    Builder file;
    file.u32le(0xA1B2C3D4).u16le(2).u16le(4).u32le(0).u32le(0).u32le(65535).u32le(101); // raw IPv4
    for (const Bytes& frame : frames)
        file.u32le(1'700'000'000).u32le(0).u32le(uint32_t(frame.size())).u32le(uint32_t(frame.size())).raw(frame);
    const auto path =
        std::filesystem::temp_directory_path() / ("tarnwick-decode-" + std::to_string(getpid()) + ".pcap");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.bytes().data()), std::streamsize(file.size() - cut));
    args.insert(args.begin(), {"--pcap", path.string()});
    const Result r = RunCommand(args);
    std::filesystem::remove(path);
    return r;
}

std::vector<std::string> LinesWith(const std::string& text, std::string_view part) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.find(part) != std::string::npos) found.push_back(line);
    return found;
}

// A CMPP 2.0 connect and its answer on the CMPP port, and an SMPP PDU on a port that only --decode-as names:
// one block per PDU, the CMPP version from the connect's version octet.
TEST_F(DecodeCliTest, CaptureFilePrintsOneBlockPerPdu) {
    const Bytes connect = Builder().u32(39).u32(1).u32(1).text("901234", 6).fill(16).u8(0x20).u32(0);
    const Bytes connectResp = Builder().u32(30).u32(0x80000001).u32(1).u8(0).fill(16).u8(0x20);
    const Result r = RunOnCapture({Segment(0x0A000001, 40000, 0x0A000002, 7890, 1, connect),
                                   Segment(0x0A000002, 7890, 0x0A000001, 40000, 1, connectResp),
                                   Segment(0x0A000001, 40001, 0x0A000002, 6000, 1, SmppPdu(0x15, 7))},
                                  {"--decode-as", "6000=smpp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinesWith(r.out, "TCP: Protocol = "),
              (std::vector<std::string>{"  TCP: Protocol = 1 (CMPP)", "  TCP: Protocol = 1 (CMPP)",
                                        "  TCP: Protocol = 2 (SMPP)"}));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n') - static_cast<long>(LinesWith(r.out, " ").size()), 2)
        << "a blank line between blocks";
    EXPECT_EQ(r.err, "tarnwick-decode: 3 frames read, 3 PDUs added to the capture log.\n");

    // A file cut off inside its last frame: what came before is printed, and the status says it was not whole.
    const Result cut = RunOnCapture({Segment(0x0A000001, 40001, 0x0A000002, 6000, 1, SmppPdu(0x15, 7)),
                                     Segment(0x0A000001, 40001, 0x0A000002, 6000, 17, SmppPdu(0x15, 8))},
                                    {"--decode-as", "6000=smpp"}, 4);
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_EQ(LinesWith(cut.out, "TCP: Protocol = ").size(), 1u) << cut.err;
}

// A capture that starts mid-session, before any CONNECT or Login: each SUBMIT is read by the version whose
// fields end exactly at its length, and the summary says how many were.
TEST_F(DecodeCliTest, CaptureWithoutAnnouncedVersionReadsEachSubmitByItsLength) {
    const auto cmpp = [](uint32_t sequence, const Bytes& body) {
        return Builder().u32(uint32_t(12 + body.size())).u32(0x00000004).u32(sequence).raw(body).bytes();
    };
    // Msg_Id, Pk_total, Pk_number, Registered_Delivery, Msg_level, Service_Id, Fee_UserType, then by version.
    const auto start = [] { return Builder().fill(8).u8(1).u8(1).u8(0).u8(0).text("SVC", 10).u8(0); };
    // Msg_src, FeeType, FeeCode, ValId_Time, At_Time, Src_Id, DestUsr_tl 1.
    const auto middle = [](Builder b) {
        return b.text("901234", 6).text("01", 2).text("000000", 6).fill(17).fill(17).text("10658000", 21).u8(1);
    };
    // 2.0: Fee_terminal_Id 21, TP_pId, TP_udhi, Msg_Fmt; one Dest_terminal_Id 21, Msg_Length, content, Reserve 8.
    const Bytes submit2 = middle(start().fill(21).u8(0).u8(0).u8(15)).text("13900139000", 21).u8(5).raw("hello").fill(8);
    // 3.0: Fee_terminal_Id 32 and its type, TP_pId, TP_udhi, Msg_Fmt; one Dest_terminal_Id 32 and its type,
    // Msg_Length, content, LinkID 20.
    const Bytes submit3 = middle(start().fill(32).u8(0).u8(0).u8(0).u8(15)).text("13900139000", 32).u8(0).u8(5)
                              .raw("hello").fill(20);
    // SMGP 3.0 Submit: MsgType, NeedReport, Priority, ServiceID, FeeType, FeeCode, FixedFee, MsgFormat, ValidTime,
    // AtTime, SrcTermID, ChargeTermID, DestTermIDCount 1, DestTermID, MsgLength, content, Reserve 8, a LinkID TLV.
    const Bytes smgpBody = Builder().u8(0).u8(1).u8(1).text("SVC", 10).text("01", 2).text("000010", 6)
                               .text("000000", 6).u8(15).fill(17).fill(17).text("10620000", 21).fill(21).u8(1)
                               .text("13300133000", 21).u8(5).raw("hello").fill(8).u16(3).u16(4).raw("LINK");
    const Bytes smgp = Builder().u32(uint32_t(12 + smgpBody.size())).u32(0x00000002).u32(9).raw(smgpBody);
    const Bytes first = cmpp(3, submit3);
    const Result r = RunOnCapture({Segment(0x0A000001, 40000, 0x0A000002, 7890, 1, first),
                                   Segment(0x0A000001, 40000, 0x0A000002, 7890, 1 + uint32_t(first.size()), cmpp(4, submit2)),
                                   Segment(0x0A000001, 40002, 0x0A000002, 8890, 1, smgp)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinesWith(r.out, "TCP: Protocol = "),
              (std::vector<std::string>{"  TCP: Protocol = 4 (CMPP3)", "  TCP: Protocol = 1 (CMPP)",
                                        "  TCP: Protocol = 9 (SMGP3)"}));
    EXPECT_EQ(LinesWith(r.out, kTrailingOctetsText), std::vector<std::string>{}) << r.out;
    EXPECT_EQ(LinesWith(r.err, "by the version whose fields end at its length"),
              std::vector<std::string>{"tarnwick-decode: 3 SUBMIT or DELIVER PDUs came before any CONNECT or Login said "
                                       "the version: each was read by the version whose fields end at its length."});
}

// An SMGP 1.3 client's Login (ClientVersion 0x13) says how its SUBMITs are laid out: without FixedFee, whatever
// their length says, so one with an octet too many still shows its destination and content where they are.
TEST_F(DecodeCliTest, SmgpLoginOfVersion13ChoosesTheOlderSubmit) {
    const Bytes login = Builder().u32(42).u32(0x00000001).u32(1).text("90123456", 8).fill(16).u8(2).u32(0).u8(0x13);
    // MsgType, NeedReport, Priority, ServiceID, FeeType, FeeCode, (no FixedFee), MsgFormat, ValidTime, AtTime,
    // SrcTermID, ChargeTermID, DestTermIDCount 1, DestTermID, MsgLength, content, Reserve 8, one octet more.
    const Bytes body = Builder().u8(6).u8(1).u8(1).text("HELP", 10).text("01", 2).text("000010", 6).u8(15).fill(17)
                           .fill(17).text("10620001", 21).text("13300000001", 21).u8(1).text("13300000002", 21).u8(5)
                           .raw("hello").fill(8).u8(0);
    const Bytes submit = Builder().u32(uint32_t(12 + body.size())).u32(0x00000002).u32(7).raw(body);
    const Result r = RunOnCapture({Segment(0x0A000001, 40000, 0x0A000002, 8890, 1, login),
                                   Segment(0x0A000001, 40000, 0x0A000002, 8890, 43, submit)});
    EXPECT_EQ(LinesWith(r.out, "TCP: Protocol = "),
              (std::vector<std::string>{"  TCP: Protocol = 10 (SMGP13)", "  TCP: Protocol = 10 (SMGP13)"}));
    EXPECT_EQ(LinesWith(r.out, "13300000002"), std::vector<std::string>{"  SUBMIT: 短信接收号码 = 13300000002"}) << r.out;
    EXPECT_EQ(LinesWith(r.out, "hello"), std::vector<std::string>{"  SUBMIT: 短信内容 = hello"});
}

// A long message in two submit_sm parts (an 8-bit reference UDH): the part that completes it is followed by the
// window's "Reassembled message" lines, and its JSON carries the whole text and the parts' seqs; the first part's
// carries none. The JSON is the /pdus record shape, one line per record.
TEST_F(DecodeCliTest, CaptureShowsTheReassembledMessage) {
    const auto part = [](uint32_t sequence, uint8_t number, std::string_view text) {
        const Bytes shortMessage = Builder().u8(5).u8(0).u8(3).u8(0x2A).u8(2).u8(number).raw(text);
        return SmppPdu(0x00000004, sequence, test_bytes::SmppMessageBody("12345", "10086", 0x40, 0, shortMessage));
    };
    const Bytes first = part(1, 1, "hello "), second = part(2, 2, "world");
    const std::vector<Bytes> frames = {Segment(0x0A000001, 40000, 0x0A000002, 5018, 1, first),
                                       Segment(0x0A000001, 40000, 0x0A000002, 5018, 1 + uint32_t(first.size()), second)};
    const Result text = RunOnCapture(frames);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(LinesWith(text.out, "Reassembled"), std::vector<std::string>{"Reassembled message (2 parts)"});
    EXPECT_EQ(LinesWith(text.out, "hello world"), std::vector<std::string>{"  hello world"});

    const Result json = RunOnCapture(frames, {"--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    const std::vector<std::string> records = LinesWith(json.out, "{\"seq\":");
    ASSERT_EQ(records.size(), 2u) << json.out;
    EXPECT_EQ(records[0].find("reassembled"), std::string::npos);
    EXPECT_NE(records[1].find(R"("reassembled":{"parts":2,"text":"hello world","seqs":[1,2]})"), std::string::npos);
    EXPECT_NE(records[1].find(R"({"field":"smpp.sequence_number","label":"SMPP","name":"Sequence number","value":"2","raw":2,)"),
              std::string::npos) << records[1];
}

// The same two parts given as one stream, of capture records or of bare PDUs: a block each and the message put
// back together, as from a capture file. A stream that stops making sense keeps what came before and says where.
TEST_F(DecodeCliTest, StreamOfRecordsOrPdus) {
    const auto part = [](uint32_t sequence, uint8_t number, std::string_view text) {
        const Bytes shortMessage = Builder().u8(5).u8(0).u8(3).u8(0x2A).u8(2).u8(number).raw(text);
        return SmppPdu(0x00000004, sequence, test_bytes::SmppMessageBody("12345", "10086", 0x40, 0, shortMessage));
    };
    const Bytes pdus = Builder().raw(part(1, 1, "hello ")).raw(part(2, 2, "world"));
    const Bytes records = Builder().raw(CaptureRecord(2, part(1, 1, "hello "))).raw(CaptureRecord(2, part(2, 2, "world")));
    const Bytes badLength = Builder().raw(records).u32le(15).fill(12);
    // A message_id that never ends: longer than its 65 octets, the decode's length error.
    const Bytes wrongLength = CaptureRecord(2, SmppPdu(0x80000004, 3, Builder().raw(std::string(70, 'm'))));
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {"records", {"--stream", Hex(records)}, 0, ""},
        {"bare PDUs", {"--stream", "--protocol", "smpp", Hex(pdus)}, 0, ""},
        {"a PDU cut short", {"--stream", "--protocol=smpp", Hex(pdus) + "00 00"}, 1,
         "tarnwick-decode: PDU 3 at byte 109: cut short, 2 bytes left\n"},
        {"a record shorter than its header", {"--stream", Hex(badLength)}, 1,
         "tarnwick-decode: record 3 at byte 141: its length 15 does not fit the 16 bytes left\n"},
        {"less than a record header left", {"--stream", Hex(records) + "0F"}, 1,
         "tarnwick-decode: record 3 at byte 141: only 1 bytes, less than a capture header\n"},
        {"a length no PDU has", {"--stream", "--protocol", "smpp", Hex(pdus) + "00000004 00000015 00000000 00000001"}, 1,
         "tarnwick-decode: PDU 3 at byte 109: not a SMPP PDU\n"},
        {"a field longer than it may be", {"--stream", Hex(Builder().raw(records).raw(wrongLength))}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = RunCommand(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(LinesWith(r.out, "Reassembled"), std::vector<std::string>{"Reassembled message (2 parts)"});
        EXPECT_EQ(LinesWith(r.out, "Part 2 of 2"), std::vector<std::string>{"  Part 2 of 2: row 2"});
    }
}

// A record given as hex comes out as one JSON record, fields named, whatever its bytes: a cut PDU's error
// line is a field without a raw value.
TEST_F(DecodeCliTest, JsonOfOneRecord) {
    const Result whole = RunCommand({"--json", "--protocol", "smpp", Hex(SmppPdu(0x80000004, 3, Builder().cstr("42")))});
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_NE(whole.out.find(R"("command":"submit_sm_resp","commandStatus":0,"sequence":3,)"), std::string::npos) << whole.out;
    EXPECT_NE(whole.out.find(R"("fields":[{"field":"smpp","label":"SMPP","name":"----- SMPP protocol -----","value":"",)"
                             R"("raw":null,"show":"","offset":0,"length":0},{"field":"smpp.command_length",)"),
              std::string::npos) << "the PDU's fields from its first octet: " << whole.out;
    EXPECT_NE(whole.out.find(R"({"field":"smpp.message_id","label":"SUB_SM_RESP","name":"message_id","value":"42","raw":"42","show":"42","offset":16,"length":3})"),
              std::string::npos) << whole.out;
    // Whatever text a field holds, the JSON reads: quotes, backslashes and every octet below a space escaped,
    // octets that begin no UTF-8 character replaced, the longest characters kept.
    const std::pair<std::string, std::string> texts[] = {
        {"q\"\\", R"("q\"\\")"},
        {"\x01\x1f ", R"("\u0001\u001f ")"},
        {"\xc0\x80\xc2\xa9", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xC2\xA9\""},
        {"\xf4\x8f\xbf\xbf\xf5", "\"\xF4\x8F\xBF\xBF\xEF\xBF\xBD\""},
        {"\xe2\x82\xac\xe2\x82(\xc3", "\"\xE2\x82\xAC\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD\""}, // a character cut short
    };
    for (const auto& [text, json] : texts) {
        std::string out;
        record_json::AppendString(out, text);
        EXPECT_EQ(out, json);
    }
    const Result cut = RunCommand({"--json", "--protocol", "smpp", "00000020 80000004 00000000 00000003 3432"});
    EXPECT_EQ(cut.status, decode_cli::kErrorLine);
    EXPECT_NE(cut.out.find(R"("field":"smpp.message_id","label":"SUB_SM_RESP","name":"message_id","value":"未知错误!","raw":null,)"),
              std::string::npos) << cut.out;
    // A UCP record: summarised by its OT, TRN and EC, each field labelled and named from its own line.
    const Result ucp = RunCommand({"--json", "--protocol", "ucp", "06/00022/R/51/N/02//0B"});
    EXPECT_EQ(ucp.status, 0) << ucp.err;
    EXPECT_NE(ucp.out.find(R"("protocol":"UCP","command":"Submit short message result","commandStatus":2,"sequence":6,)"),
              std::string::npos) << ucp.out;
    EXPECT_NE(ucp.out.find(R"x({"field":"ucp.EC","label":"UCP","name":"EC","value":"02 (Syntax error)","raw":"02",)x"),
              std::string::npos) << ucp.out;
    // A CIMD2 record: a login refused (51, 900 = 100, sums to 0x2A9), paired as the login's answer by its number.
    const Result cimd = RunCommand({"--json", "--protocol", "cimd2", "51:001\t900:100\tA9"});
    EXPECT_EQ(cimd.status, 0) << cimd.err;
    EXPECT_NE(cimd.out.find(R"("protocol":"CIMD2","command":"Login response","commandStatus":100,"sequence":1,)"),
              std::string::npos) << cimd.out;
    EXPECT_NE(cimd.out.find(R"x({"field":"cimd2.error_code","label":"CIMD2","name":"900 Error code","value":"100 (Invalid login)",)x"),
              std::string::npos) << cimd.out;
    // A name the line spells itself: an optional parameter's, and a text frame's error, under its protocol's label.
    const std::pair<std::vector<std::string>, std::string> named[] = {
        {{"smpp", "0000002a000000040000000000000007000101313233340001013435000000000000000000000004240001" "61"},
         R"x({"field":"smpp.tlv.message_payload","label":"SUB_SM TLV","name":"message_payload(Generic)","value":"a",)x"},
        {{"ucp", "06/00022/R/51/N/02//0C"}, R"x({"field":"ucp.error","label":"UCP","name":"error","value":"Bad checksum:)x"},
        {{"smpp", "00000010 00000099 00000000 00000001"}, R"("command":"0x00000099",)"}, // a command no table names
        {{"cmpp", "0000000c 00000008 00000007"}, R"("commandStatus":null,"sequence":7,)"}, // a header without a status
        // An SMGP 3.0 DELIVER's TLV by its own name, not an SMPP optional parameter's.
        {{"smgp3", Hex(Builder().u32(95).u32(3).u32(1).fill(77).u16(3).u16(2).raw("AB"))},
         R"x({"field":"smgp.tlv.LinkID","label":"DELIVER TLV","name":"LinkID(交易标识)","value":"AB",)x"},
        // A field's parts count their offsets from the PDU's start, as the field does: the UDH's at 39 and 40.
        {{"smpp", "0000002f00000004000000000000000700010131323334000101343500400000000000000000080500031202016869"},
         R"x("offset":39,"length":8,"children":[{"field":"smpp.short_message","text":"SUB_SM: UDH length = 5","show":"5","offset":39,"length":1},)x"
         R"x({"field":"smpp.short_message","text":"SUB_SM: UDH element = 0x00)x"},
    };
    for (const auto& [input, json] : named) {
        const Result result = RunCommand({"--json", "--protocol", input[0], input[1]});
        EXPECT_NE(result.out.find(json), std::string::npos) << result.out;
    }
    // A record of a protocol code no protocol has: named by its code, its second word read as a command;
    // its time is the one its header keeps, in seconds.
    const Result unknown = RunCommand({"--json", Hex(CaptureRecord(5, SmppPdu(0x00000015, 1), 1'700'000'000))});
    EXPECT_NE(unknown.out.find(R"("time":"2023-11-14T22:13:20.000000Z","protocol":"5","command":"0x00000015",)"
                               R"("commandStatus":null,)"),
              std::string::npos) << unknown.out;
}

// docs/fields.md is the list --list-fields prints, as a table; run with TARNWICK_GOLDEN_UPDATE=1 to rewrite it.
TEST_F(DecodeCliTest, FieldListIsDocumented) {
    const Result list = RunCommand({"--list-fields"});
    ASSERT_EQ(list.status, 0);
    std::string doc = "# Field names\n\nThe names of the decoded fields, as `tarnwick-decode --list-fields` lists them and "
                      "`GET /api/v1/pdus` and `tarnwick-decode --json` give them in `field`. A field's `raw` value is a "
                      "number, text, or octets written as hex.\n\n| Field | Protocol | Type | Label |\n|---|---|---|---|\n";
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) {
        std::string cells = "| ";
        for (const char c : line) cells += c == '\t' ? std::string(" | ") : c == '|' ? std::string("\\|") : std::string(1, c);
        doc += cells + " |\n";
    }
    const std::filesystem::path path = std::filesystem::path(TARNWICK_DOCS_DIR) / "fields.md";
    const char* update = std::getenv("TARNWICK_GOLDEN_UPDATE");
    if (update && *update && std::string(update) != "0")
        std::ofstream(path, std::ios::binary) << doc;
    std::ifstream file(path, std::ios::binary);
    const std::string committed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(committed, doc) << "docs/fields.md differs from --list-fields; rewrite it with TARNWICK_GOLDEN_UPDATE=1";
    EXPECT_NE(doc.find("| sgip.UserNumber | sgip | text |"), std::string::npos);
    EXPECT_NE(doc.find("| cmpp.Msg_Fmt | cmpp | number |"), std::string::npos);
}

TEST_F(DecodeCliTest, HelpAndVersionEndWithStatusZero) {
    const Result help = RunCommand({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: tarnwick-decode", 0), 0u);
    EXPECT_NE(help.out.find("address 127.0.0.1"), std::string::npos);
    const Result version = RunCommand({"--version", "--no-such-option"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarnwick-decode " + std::string(command_line::Version()) + "\n");
}

// Every option --help lists is one the parser takes, with or without its value.
TEST_F(DecodeCliTest, TakesEveryOptionItLists) {
    for (const command_line::Option& option : command_line::kTarnwickDecode.options) {
        SCOPED_TRACE(std::string(option.name));
        const std::string name = "--" + std::string(option.name);
        EXPECT_EQ(RunCommand({name}).err.find("unknown option"), std::string::npos);
        if (!option.value.empty()) {
            EXPECT_EQ(RunCommand({name + "=x"}).err.find("unknown option"), std::string::npos);
        }
    }
}

} // namespace
