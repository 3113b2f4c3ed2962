// The capture protocols, each registered once: code, name, command-line name, well-known ports and framing.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace protocol {

// Protocol codes of the capture header. The servers produce kSmpp, kTest, kUcp and kCimd2 only.
inline constexpr uint16_t kCmpp = 1;
inline constexpr uint16_t kSmpp = 2;
inline constexpr uint16_t kSmgp = 3;
inline constexpr uint16_t kCmpp3 = 4;
inline constexpr uint16_t kSgip = 6;
inline constexpr uint16_t kCngp = 7;
inline constexpr uint16_t kTest = 8;
inline constexpr uint16_t kSmgp3 = 9;
inline constexpr uint16_t kSmgp13 = 10; // an SMGP 1.3 client's connection: its SUBMIT has no FixedFee
inline constexpr uint16_t kUcp = 11;
inline constexpr uint16_t kCimd2 = 12;

// The ports our own servers listen on unless told otherwise.
inline constexpr uint16_t kSmppServerPort = 5018;
inline constexpr uint16_t kMobileServerPort = 8880;
inline constexpr uint16_t kUcpServerPort = 5020;
inline constexpr uint16_t kCimdServerPort = 5021;

// Rows of the capture filter that are no SMPP command (those are in SmppCommands.h, rows 2 to 28 and 30 to 35).
namespace filter {
inline constexpr int32_t kAll = 0;      // "All protocols"
inline constexpr int32_t kSmpp = 1;     // "SMPP protocol"
inline constexpr int32_t kMobile = 29;  // "Mobile protocol": every TEST PDU, both directions
inline constexpr int32_t kUcp = 36;     // "UCP protocol": every UCP/EMI frame, both directions
inline constexpr int32_t kCimd = 37;    // "CIMD2 protocol": every CIMD2 packet, both directions
inline constexpr int32_t kRows = 38;    // one character of the flags string per row
inline constexpr int32_t kUnknown = -1; // a PDU its server does not recognise
} // namespace filter

// How a protocol's PDUs are cut out of a stream: by a 4-octet big-endian length that opens each, or
// as text between STX and ETX whose checksum follows the last '/' (UCP/EMI) or TAB (CIMD2).
enum class Framing : uint8_t { LengthPrefixed, UcpText, CimdText };

struct Protocol {
    uint16_t code;                  // protocol code of the capture header
    std::string_view name;          // as the decoder, the packet list and "Decode hex" show it
    std::string_view cliName;       // what tarnwick-decode --protocol and --decode-as take
    std::array<uint16_t, 4> ports;  // well-known server ports a capture file is read on; 0 ends the list
    uint32_t headerSize;            // a length-prefixed PDU's length is at least this
    uint32_t maxPdu;                // the longest PDU the protocol sends; a longer length puts a stream out of step
    uint16_t family;                // the code of the version it belongs with: requests and answers pair across them
    uint32_t sequenceOffset;        // where the header's sequence number starts in the PDU (0 for a text protocol)
    uint32_t sequenceSize;          // its octets: 4, or SGIP's 12 (node id, time, number); 0 for a text protocol
    uint32_t statusOffset;          // where a header status (u32) starts; 0: answers carry theirs in the body
    Framing framing = Framing::LengthPrefixed;
    uint32_t commandOffset = 4;     // where the header's command id (u32) starts, behind the length
};

// A capture file carries CMPP 3.0, SMGP 3.0 and SMGP 1.3 on the ports of their 2.0 versions (the connect or
// login tells them apart), so those rows list no ports of their own.
inline constexpr Protocol kProtocols[] = {
    // code  name     cli      ports                                    header  largest PDU  family  sequence  status
    {kCmpp,  "CMPP",  "cmpp",  {7890, 7900, 7930, 9168},                12,     8192,        kCmpp,  8,  4,    0}, // a submit to 100 numbers stays well below
    {kSmpp,  "SMPP",  "smpp",  {2775, kSmppServerPort, 0, 0},           16,     65536,       kSmpp,  12, 4,    8}, // message_payload may carry up to 64 KiB
    {kSmgp,  "SMGP",  "smgp",  {8890, 0, 0, 0},                         12,     8192,        kSmgp,  8,  4,    0},
    {kCmpp3, "CMPP3", "cmpp3", {0, 0, 0, 0},                            12,     8192,        kCmpp,  8,  4,    0},
    {kSgip,  "SGIP",  "sgip",  {8801, 8001, 0, 0},                      20,     8192,        kSgip,  8,  12,   0},
    {kCngp,  "CNGP",  "cngp",  {9890, 0, 0, 0},                         16,     8192,        kCngp,  12, 4,    8},
    {kTest,  "TEST",  "test",  {kMobileServerPort, 0, 0, 0},            12,     10240,       kTest,  8,  4,    0}, // the mobile server's own limit
    {kSmgp3, "SMGP3", "smgp3", {0, 0, 0, 0},                            12,     8192,        kSmgp,  8,  4,    0},
    {kSmgp13, "SMGP13", "smgp13", {0, 0, 0, 0},                         12,     8192,        kSmgp,  8,  4,    0},
    // A text protocol: its header (TRN, LEN, O/R, OT) is read by its own codec; the sizes are its frame's.
    {kUcp,   "UCP",   "ucp",   {kUcpServerPort, 0, 0, 0},               18,     4096,        kUcp,   0,  0,    0, Framing::UcpText, 0},
    {kCimd2, "CIMD2", "cimd2", {kCimdServerPort, 0, 0, 0},              10,     4096,        kCimd2, 0,  0,    0, Framing::CimdText, 0},
};

// Positions in kProtocols, -1 for none. Constant expressions compare these, never pointers: a
// sanitizer build does not take a pointer compared with null as a constant.
constexpr int IndexOf(uint16_t code) {
    for (int i = 0; i < int(std::size(kProtocols)); ++i)
        if (kProtocols[i].code == code)
            return i;
    return -1;
}
constexpr int IndexOfCliName(std::string_view name) {
    for (int i = 0; i < int(std::size(kProtocols)); ++i)
        if (kProtocols[i].cliName == name)
            return i;
    return -1;
}
constexpr int IndexOfPort(uint16_t port) {
    for (int i = 0; i < int(std::size(kProtocols)); ++i)
        for (uint16_t known : kProtocols[i].ports)
            if (known != 0 && known == port)
                return i;
    return -1;
}

// The protocol of a code, nullptr for a code no protocol has (5, say).
constexpr const Protocol* Find(uint16_t code) { return IndexOf(code) < 0 ? nullptr : &kProtocols[IndexOf(code)]; }
constexpr const Protocol* FindByCliName(std::string_view name) {
    return IndexOfCliName(name) < 0 ? nullptr : &kProtocols[IndexOfCliName(name)];
}
// The protocol whose well-known port this is, nullptr for a port none of them uses.
constexpr const Protocol* FindByPort(uint16_t port) {
    return IndexOfPort(port) < 0 ? nullptr : &kProtocols[IndexOfPort(port)];
}

// The framing sizes of a code the registry has, for constants (fails to compile for one it has not).
constexpr uint32_t HeaderSizeOf(uint16_t code) { return kProtocols[IndexOf(code)].headerSize; }
constexpr uint32_t MaxPduOf(uint16_t code) { return kProtocols[IndexOf(code)].maxPdu; }

// The --protocol names as the command line's messages list them, SMPP first.
inline constexpr std::string_view kCliNameList = "smpp, cmpp, cmpp3, smgp, smgp3, smgp13, sgip, cngp, test, ucp, cimd2";

namespace detail {
constexpr bool CodesAndPortsAreUnique() {
    for (int i = 0; i < int(std::size(kProtocols)); ++i) {
        const Protocol& a = kProtocols[i];
        if (IndexOfCliName(a.cliName) != i || IndexOf(a.code) != i || a.maxPdu < a.headerSize ||
            (a.framing == Framing::LengthPrefixed && (a.headerSize < 8 || a.commandOffset + 4 > a.headerSize)) ||
            kCliNameList.find(a.cliName) == std::string_view::npos)
            return false;
        // A family is named by a protocol that is its own family; every PDU id in it is the second word.
        if (IndexOf(a.family) < 0 || kProtocols[IndexOf(a.family)].family != a.family)
            return false;
        // The sequence and the status lie in the header behind length and command id, apart from each other.
        if (a.framing != Framing::LengthPrefixed) {
            if (a.sequenceSize != 0 || a.statusOffset != 0)
                return false;
        } else if (a.sequenceOffset < 8 || (a.sequenceSize != 4 && a.sequenceSize != 12) ||
                   a.sequenceOffset + a.sequenceSize > a.headerSize) {
            return false;
        }
        if (a.statusOffset != 0 && (a.statusOffset < 8 || a.statusOffset + 4 > a.headerSize ||
                                    (a.statusOffset + 4 > a.sequenceOffset && a.statusOffset < a.sequenceOffset + a.sequenceSize)))
            return false;
        for (uint16_t port : a.ports)
            if (port != 0 && IndexOfPort(port) != i)
                return false;
    }
    return true;
}
} // namespace detail

static_assert(detail::CodesAndPortsAreUnique(),
              "one row per code, per command-line name and per port; every name listed; families, sequences and statuses in the header");
static_assert(IndexOf(5) < 0 && kProtocols[IndexOfPort(kSmppServerPort)].code == kSmpp &&
              kProtocols[IndexOfPort(kMobileServerPort)].code == kTest &&
              kProtocols[IndexOfPort(kUcpServerPort)].code == kUcp &&
              kProtocols[IndexOfPort(kCimdServerPort)].code == kCimd2 && filter::kUcp + 1 == filter::kCimd &&
              filter::kCimd + 1 == filter::kRows);

} // namespace protocol
