// Capture files: pcap export and pcap/pcapng import.
#include "capture/Pcap.h"

#include "capture/PacketRecord.h"
#include "protocol/Registry.h"

#include "capture/PcapFileReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

namespace pcap {
namespace {

// ---------------------------------------------------------------------------------------------
// The protocols as a capture file carries them.

using protocol::kCmpp;
using protocol::kCmpp3;
using protocol::kSmgp;
using protocol::kSmgp3;
constexpr uint32_t kConnect = 0x00000001, kConnectResp = 0x80000001; // CMPP_CONNECT, SMGP Login: the same ids
constexpr uint8_t kFirstVersion3 = 0x30;

constexpr auto Be32 = wire::ReadBe32;
constexpr auto Be16 = wire::ReadBe16;

// Which version of a two-version protocol a PDU announces: 2, 3, or 0 when it cannot tell. The connect or login
// carries the client's version octet; a few responses differ in length between the versions.
int VersionShown(uint16_t family, const uint8_t* pdu, uint32_t length) {
    if (length < 12)
        return 0;
    const uint32_t command = Be32(pdu + 4);
    const uint8_t* body = pdu + 12;
    const uint32_t bodyLength = length - 12;
    const auto byOctet = [](uint8_t version) { return version >= kFirstVersion3 ? 3 : 2; };
    if (family == kCmpp) {
        // CONNECT: Source_Addr 6, AuthenticatorSource 16, Version 1, Timestamp 4.
        if (command == kConnect && bodyLength >= 27)
            return byOctet(body[22]);
        // Status grows from 1 to 4 octets in CONNECT_RESP, Result in SUBMIT_RESP and DELIVER_RESP.
        constexpr struct { uint32_t command, length2, length3; } kByLength[] = {
            {kConnectResp, 18, 21}, {0x80000004, 9, 12}, {0x80000005, 9, 12}};
        for (const auto& row : kByLength) {
            if (row.command == command && bodyLength == row.length2) return 2;
            if (row.command == command && bodyLength == row.length3) return 3;
        }
        return 0;
    }
    // SMGP Login: ClientID 8, AuthenticatorClient 16, LoginMode 1, TimeStamp 4, ClientVersion 1.
    if (command == kConnect && bodyLength >= 30)
        return byOctet(body[29]);
    // Login_Resp: Status 4, AuthenticatorServer 16, ServerVersion 1.
    if (command == kConnectResp && bodyLength >= 21)
        return byOctet(body[20]);
    return 0;
}

// Where a SUBMIT or DELIVER body of one version ends, read from its own count and length octets: the octets
// before the destination count (none for a DELIVER), the width of one destination, the octets between the
// destinations and the content's length octet, and the octets after the content.
struct BodyLayout {
    uint32_t command;
    int version;
    uint32_t countAt;      // destination count, or kNoCount
    uint32_t numberWidth;
    uint32_t lengthAfter;  // from the end of the destinations (or countAt for a DELIVER) to the length octet
    uint32_t trailer;      // after the content: reserved octets or LinkID
};
constexpr uint32_t kNoCount = 0xFFFFFFFF;
constexpr uint32_t kSubmit = 0x00000004, kDeliver = 0x00000005;          // CMPP
constexpr uint32_t kSmgpSubmit = 0x00000002, kSmgpDeliver = 0x00000003;  // SMGP

constexpr BodyLayout kCmppLayouts[] = {
    // SUBMIT 2.0: 116 octets up to DestUsr_tl, Dest_terminal_Id 21 each, Msg_Length, content, Reserve 8.
    {kSubmit, 2, 116, 21, 0, 8},
    // SUBMIT 3.0: 128 octets up to DestUsr_tl, Dest_terminal_Id 32 each, Dest_terminal_type, Msg_Length,
    // content, LinkID 20.
    {kSubmit, 3, 128, 32, 1, 20},
    // DELIVER 2.0: Msg_Length at 64, content, Reserved 8.
    {kDeliver, 2, kNoCount, 0, 64, 8},
    // DELIVER 3.0: Msg_Length at 76 (Src_terminal_Id 32 and its type), content, LinkID 20.
    {kDeliver, 3, kNoCount, 0, 76, 20},
};
constexpr BodyLayout kSmgpLayouts[] = {
    // Submit: 104 octets up to DestTermIDCount, DestTermID 21 each, MsgLength, content, Reserve 8; 3.0 adds TLVs.
    {kSmgpSubmit, 2, 104, 21, 0, 8},
    // Deliver: MsgLength at 68, content, Reserve 8; 3.0 adds TLVs.
    {kSmgpDeliver, 2, kNoCount, 0, 68, 8},
};

// Where the body of that layout ends, 0 when its count or length octet is not in the body.
uint32_t LayoutEnd(const BodyLayout& layout, const uint8_t* body, uint32_t bodyLength) {
    uint32_t lengthAt = layout.lengthAfter;
    if (layout.countAt != kNoCount) {
        if (layout.countAt >= bodyLength) return 0;
        lengthAt = layout.countAt + 1 + layout.numberWidth * body[layout.countAt] + layout.lengthAfter;
    }
    return lengthAt < bodyLength ? lengthAt + 1 + body[lengthAt] + layout.trailer : 0;
}

// Whether the octets from `at` to the end are whole SMGP 3.0 TLVs.
bool WholeTlvs(const uint8_t* body, uint32_t at, uint32_t bodyLength) {
    while (at + 4 <= bodyLength)
        at += 4 + Be16(body + at + 2);
    return at == bodyLength;
}

// For a SUBMIT or DELIVER of a stream that announced no version: the version whose fields end exactly at the
// PDU's length; 0 when no layout, or more than one, does.
int VersionByLength(uint16_t family, const uint8_t* pdu, uint32_t length) {
    if (length < 12)
        return 0;
    const uint32_t command = Be32(pdu + 4);
    const uint8_t* body = pdu + 12;
    const uint32_t bodyLength = length - 12;
    int found = 0;
    if (family == kCmpp) {
        for (const BodyLayout& layout : kCmppLayouts) {
            if (layout.command != command || LayoutEnd(layout, body, bodyLength) != bodyLength) continue;
            if (found) return 0;
            found = layout.version;
        }
        return found;
    }
    for (const BodyLayout& layout : kSmgpLayouts) {
        if (layout.command != command) continue;
        const uint32_t end = LayoutEnd(layout, body, bodyLength);
        // Without TLVs the two versions read the same; with them, only 3.0 ends at the length.
        if (end == bodyLength) return 2;
        if (end && end < bodyLength && WholeTlvs(body, end, bodyLength)) return 3;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Writing.

constexpr uint32_t kPcapMagic = 0xA1B2C3D4;
constexpr uint32_t kSnapLength = 262144;
constexpr uint32_t kLinkEthernet = 1;
constexpr uint32_t kEthernetSize = 14, kIpSize = 20, kTcpSize = 20;
constexpr uint32_t kMaxSegment = 65535 - kIpSize - kTcpSize;
constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint8_t kTcp = 6;
constexpr uint8_t kAck = 0x10, kPsh = 0x08, kSyn = 0x02;
constexpr uint32_t kLocalhost = 0x7F000001;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int octets) {
    for (int i = 0; i < octets; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBe(std::vector<uint8_t>& out, uint32_t value, int octets) {
    for (int i = octets - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBeAt(uint8_t* at, uint32_t value, int octets) {
    for (int i = 0; i < octets; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * (octets - 1 - i)));
}

// The one's-complement sum of IPv4 and TCP, folded.
uint32_t SumWords(const uint8_t* data, size_t length, uint32_t sum = 0) {
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += Be16(data + i);
    if (length % 2)
        sum += uint32_t(data[length - 1]) << 8;
    return sum;
}

uint16_t Fold(uint32_t sum) {
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

uint64_t EndKey(uint32_t address, uint16_t port) { return uint64_t(address) << 16 | port; }

// A record whose other end nobody noted (a pasted PDU) talks to this host on its protocol's first port.
PacketPeer DefaultPeer(const PacketRecordHeader& header) {
    // CMPP 3.0 and SMGP 3.0 travel on the ports of their 2.0 versions.
    const uint16_t family = header.protocol == kCmpp3 ? kCmpp : header.protocol == kSmgp3 ? kSmgp : header.protocol;
    const protocol::Protocol* known = protocol::Find(family);
    PacketPeer peer{kLocalhost, known ? known->ports[0] : uint16_t(0)};
    if (peer.port == 0 || (header.sourceAddress == peer.address && header.sourcePort == peer.port))
        peer.port = static_cast<uint16_t>(header.sourcePort + 1);
    return peer;
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool ParseDecodeAs(std::string_view text, DecodeAsTable& table, std::string& error) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = std::string("'").append(text).append("' is not PORT=PROTOCOL");
        return false;
    }
    const std::string_view portText = text.substr(0, equals);
    const std::string_view name = text.substr(equals + 1);
    unsigned port = 0;
    const auto [end, status] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || status != std::errc() || end != portText.data() + portText.size() || port == 0 ||
        port > 65535) {
        error = std::string("'").append(portText).append("' is not a port (1 to 65535)");
        return false;
    }
    const protocol::Protocol* named = protocol::FindByCliName(name);
    if (!named) {
        error = "unknown protocol '" + std::string(name) + "' (" + std::string(protocol::kCliNameList) + ")";
        return false;
    }
    table[static_cast<uint16_t>(port)] = named->code;
    return true;
}

int ProtocolForPort(uint16_t port, const DecodeAsTable& overrides) {
    if (const auto found = overrides.find(port); found != overrides.end())
        return found->second;
    const protocol::Protocol* known = protocol::FindByPort(port);
    return known ? known->code : -1;
}

CPcapWriter::~CPcapWriter() {
    std::string ignored;
    Close(ignored);
}

bool CPcapWriter::Open(const std::string& path, std::string& error) {
    std::string ignored;
    Close(ignored);
    m_connections.clear();
    m_failed = false;
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    // Little-endian classic header, microsecond times.
    m_frame.clear();
    PutLe(m_frame, kPcapMagic, 4);
    PutLe(m_frame, 2, 2);
    PutLe(m_frame, 4, 2);
    PutLe(m_frame, 0, 4);
    PutLe(m_frame, 0, 4);
    PutLe(m_frame, kSnapLength, 4);
    PutLe(m_frame, kLinkEthernet, 4);
    if (std::fwrite(m_frame.data(), 1, m_frame.size(), m_file) != m_frame.size() || std::fflush(m_file) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        Close(ignored);
        return false;
    }
    return true;
}

bool CPcapWriter::Write(const uint8_t* record, uint32_t length, PacketPeer peer) {
    if (!m_file || m_failed || length < packet_record::kHeaderSize)
        return false;
    const PacketRecordHeader header = packet_record::ReadHeader(record);
    if (peer == PacketPeer{})
        peer = DefaultPeer(header);
    const uint64_t source = EndKey(header.sourceAddress, header.sourcePort);
    const uint64_t destination = EndKey(peer.address, peer.port);
    const bool fromLower = source <= destination;
    Connection& connection =
        fromLower ? m_connections[source][destination] : m_connections[destination][source];
    Direction& out = connection.directions[fromLower ? 0 : 1];
    const Direction& back = connection.directions[fromLower ? 1 : 0];

    if (header.time != m_lastSecond) {
        m_lastSecond = header.time;
        m_microsecond = 0;
    }
    const uint8_t* payload = record + packet_record::kHeaderSize;
    uint32_t left = length - packet_record::kHeaderSize;
    do {
        const uint32_t segment = std::min(left, kMaxSegment);
        const uint32_t frameLength = kEthernetSize + kIpSize + kTcpSize + segment;
        m_frame.clear();
        PutLe(m_frame, header.time, 4);
        PutLe(m_frame, std::min<uint32_t>(m_microsecond++, 999999), 4);
        PutLe(m_frame, frameLength, 4);
        PutLe(m_frame, frameLength, 4);
        // Locally administered MAC addresses made of the IPv4 address.
        for (const uint32_t address : {peer.address, header.sourceAddress}) {
            PutBe(m_frame, 0x0200, 2);
            PutBe(m_frame, address, 4);
        }
        PutBe(m_frame, kEtherIpv4, 2);
        const size_t ip = m_frame.size();
        PutBe(m_frame, 0x4500, 2);
        PutBe(m_frame, kIpSize + kTcpSize + segment, 2);
        PutBe(m_frame, m_ipId++, 2);
        PutBe(m_frame, 0x4000, 2); // don't fragment
        PutBe(m_frame, 64 << 8 | kTcp, 2);
        PutBe(m_frame, 0, 2);
        PutBe(m_frame, header.sourceAddress, 4);
        PutBe(m_frame, peer.address, 4);
        PutBeAt(m_frame.data() + ip + 10, Fold(SumWords(m_frame.data() + ip, kIpSize)), 2);
        const size_t tcp = m_frame.size();
        PutBe(m_frame, header.sourcePort, 2);
        PutBe(m_frame, peer.port, 2);
        PutBe(m_frame, out.nextSequence, 4);
        PutBe(m_frame, back.nextSequence, 4);
        PutBe(m_frame, (kTcpSize / 4) << 12 | kAck | kPsh, 2);
        PutBe(m_frame, 65535, 2);
        PutBe(m_frame, 0, 4); // checksum, urgent pointer
        m_frame.insert(m_frame.end(), payload, payload + segment);
        uint32_t sum = SumWords(m_frame.data() + ip + 12, 8); // pseudo header: the addresses,
        sum += kTcp + kTcpSize + segment;                     // protocol and TCP length
        PutBeAt(m_frame.data() + tcp + 16, Fold(SumWords(m_frame.data() + tcp, kTcpSize + segment, sum)), 2);
        if (std::fwrite(m_frame.data(), 1, m_frame.size(), m_file) != m_frame.size()) {
            m_failed = true;
            return false;
        }
        out.nextSequence += segment;
        payload += segment;
        left -= segment;
    } while (left > 0);
    return true;
}

bool CPcapWriter::Flush() {
    if (!m_file)
        return false;
    if (std::fflush(m_file) != 0)
        m_failed = true;
    return !m_failed;
}

bool CPcapWriter::Close(std::string& error) {
    if (!m_file)
        return true;
    const bool ok = std::fflush(m_file) == 0 && !m_failed;
    const int saved = errno;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!ok || !closed) {
        error = std::string("cannot write the capture file: ") + std::strerror(ok ? errno : saved);
        return false;
    }
    return true;
}

bool ExportLog(const CPacketLog& log, const std::string& path, std::string& error) {
    CPcapWriter writer;
    if (!writer.Open(path, error))
        return false;
    for (int32_t index = 0; index < log.GetCount(); ++index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(index, &length);
        if (record && !writer.Write(record, length, log.PeerAt(index)))
            break;
    }
    return writer.Close(error);
}

// ---------------------------------------------------------------------------------------------
// Reading.

namespace {

constexpr uint64_t kMaxPendingBytes = 256 * 1024; // out-of-order data held per direction before it is a gap
constexpr size_t kMaxDetailMessages = 20;

// Link types whose frames we can find IPv4 in (libpcap's DLT numbers), and how.
constexpr int kDltEthernet = 1;
constexpr int kNoTypeField = -1;  // the frame is IPv4 itself
constexpr int kFamilyField = -2;  // a 4-octet address family in the capturing host's byte order

struct LinkLayer {
    int linkType;
    uint32_t headerSize;
    int typeOffset; // of the 2-octet big-endian protocol type
};

constexpr LinkLayer kLinkLayers[] = {
    {kDltEthernet, 14, 12},
    {113, 16, 14},          // Linux cooked capture
    {276, 20, 0},           // Linux cooked capture v2
    {0, 4, kFamilyField},   // BSD loopback
    {12, 0, kNoTypeField},  // raw IP
    {14, 0, kNoTypeField},  // raw IP as OpenBSD numbers it
    {101, 0, kNoTypeField}, // raw IP by its file link type
    {228, 0, kNoTypeField}, // IPv4
};

const LinkLayer* FindLinkLayer(int linkType) {
    for (const LinkLayer& link : kLinkLayers)
        if (link.linkType == linkType)
            return &link;
    return nullptr;
}

enum class Skip { NotIpv4, NotTcp, Cut, Fragment, UnknownPort, Count };
constexpr const char* kSkipNames[] = {"not IPv4", "not TCP", "cut short by the snap length", "IPv4 fragments",
                                      "on a port no protocol is decoded on"};
static_assert(std::size(kSkipNames) == size_t(Skip::Count));

std::string AddressText(uint32_t address, uint16_t port) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF) + ":" + std::to_string(port);
}

} // namespace

struct CPcapImporter::State {
    struct Connection {
        int version = 0; // 2 or 3 once a PDU showed it
    };
    struct Stream {
        uint32_t sourceAddress = 0, destinationAddress = 0;
        uint16_t sourcePort = 0, destinationPort = 0;
        int protocol = -1;      // code, or -1: the stream is skipped
        bool detect = false;    // CMPP or SMGP: the version is for the PDUs to show
        Connection* connection = nullptr;
        bool started = false;
        bool outOfStep = true;  // until the bytes at hand start a PDU
        uint32_t nextSequence = 0;
        uint64_t delivered = 0; // stream position of nextSequence
        struct Held {
            uint32_t time;
            std::vector<uint8_t> bytes;
        };
        std::map<uint64_t, Held> pending;
        uint64_t pendingBytes = 0;
        std::vector<uint8_t> buffer; // bytes of the PDU being framed
    };

    CPcapFileReader reader;
    int linkType = 0;
    bool done = false;
    DecodeAsTable overrides;
    std::map<std::pair<uint64_t, uint64_t>, Stream> streams;
    std::map<std::pair<uint64_t, uint64_t>, Connection> connections;
    uint64_t skips[size_t(Skip::Count)] = {};
    uint64_t wipes = 0;
    uint64_t unfinishedStreams = 0;
};

CPcapImporter::CPcapImporter() = default;
CPcapImporter::~CPcapImporter() = default;

namespace {

} // namespace

bool CPcapImporter::Open(const std::string& path, const DecodeAsTable& overrides, std::string& error) {
    m_state = std::make_unique<State>();
    m_summary = {};
    return m_state->reader.Open(path, error) && Begin(path, overrides, error);
}

bool CPcapImporter::OpenMemory(const uint8_t* data, size_t size, const DecodeAsTable& overrides,
                               std::string& error) {
    m_state = std::make_unique<State>();
    m_summary = {};
    return m_state->reader.OpenMemory(data, size, error) && Begin("capture", overrides, error);
}

bool CPcapImporter::Begin(const std::string& name, const DecodeAsTable& overrides, std::string& error) {
    m_state->overrides = overrides;
    m_state->linkType = m_state->reader.LinkType();
    if (!FindLinkLayer(m_state->linkType)) {
        error = name + ": link type " + std::to_string(m_state->linkType) +
                " is not read (Ethernet, Linux cooked capture and raw IPv4 are)";
        m_state.reset();
        return false;
    }
    return true;
}

double CPcapImporter::Progress() const {
    if (!m_state || m_state->done)
        return 1.0;
    return m_state->reader.Progress();
}

namespace {

// The importer's stream work, apart from the class so that the header stays free of libpcap.
class CStreamWork {
public:
    CStreamWork(CPcapImporter::State& state, ImportSummary& summary, CPacketLog& log)
        : m_state(state), m_summary(summary), m_log(log) {}

    void Frame(const PcapFrame& frame);
    // Gives up waiting for missing bytes: what arrived after them is framed as it can be.
    void Drain(CPcapImporter::State::Stream& stream);

private:
    using Stream = CPcapImporter::State::Stream;

    void Note(std::string line) {
        if (m_summary.messages.size() < kMaxDetailMessages)
            m_summary.messages.push_back(std::move(line));
    }
    void Segment(Stream& stream, uint32_t sequence, uint8_t flags, const uint8_t* payload, uint32_t length);
    void Deliver(Stream& stream, const uint8_t* bytes, size_t length);
    // Delivers what is left of the first held segment, which starts at or before the delivered bytes.
    void DeliverHeld(Stream& stream);
    void Emit(Stream& stream, const uint8_t* pdu, uint32_t length);

    CPcapImporter::State& m_state;
    ImportSummary& m_summary;
    CPacketLog& m_log;
    uint32_t m_time = 0;
};

void CStreamWork::Frame(const PcapFrame& frame) {
    ++m_summary.frames;
    m_time = frame.seconds < 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(frame.seconds, UINT32_MAX));
    const uint8_t* data = frame.data;
    const uint32_t captured = frame.captured;
    const bool cutByCapture = frame.captured < frame.length;
    const auto skip = [this](Skip why) { ++m_summary.skippedFrames; ++m_state.skips[size_t(why)]; };

    // Where IPv4 starts: behind the link layer's header, when its type field says IPv4.
    const LinkLayer& link = *FindLinkLayer(m_state.linkType);
    uint32_t at = link.headerSize;
    if (captured < at) return skip(cutByCapture ? Skip::Cut : Skip::NotIpv4);
    if (link.typeOffset == kFamilyField) {
        // The address family in the byte order of the host that captured: AF_INET is 2 everywhere.
        const uint32_t family = wire::ReadLe32(data);
        if (family != 2 && family != 0x02000000) return skip(Skip::NotIpv4);
    } else if (link.typeOffset != kNoTypeField) {
        uint16_t etherType = Be16(data + link.typeOffset);
        // Ethernet: up to two VLAN tags before the type that counts.
        const auto isVlanTag = [](uint16_t type) { return type == 0x8100 || type == 0x88A8; };
        for (int tag = 0; link.linkType == kDltEthernet && tag < 2 && isVlanTag(etherType); ++tag) {
            if (captured < at + 4) return skip(cutByCapture ? Skip::Cut : Skip::NotIpv4);
            etherType = Be16(data + at + 2);
            at += 4;
        }
        if (etherType != kEtherIpv4) return skip(Skip::NotIpv4);
    }

    if (captured < at + kIpSize) return skip(cutByCapture ? Skip::Cut : Skip::NotIpv4);
    const uint8_t* ip = data + at;
    if (ip[0] >> 4 != 4) return skip(Skip::NotIpv4);
    const uint32_t ipHeader = (ip[0] & 0x0F) * 4u;
    // A total length of 0 comes from captures taken before segmentation offload cut the data: the frame
    // holds it all, and may hold more than the 65,535 octets the field could have said.
    const uint32_t total = Be16(ip + 2) != 0 || cutByCapture ? Be16(ip + 2) : captured - at;
    if (ipHeader < kIpSize || total < ipHeader) return skip(Skip::NotIpv4);
    if (captured - at < total) return skip(cutByCapture ? Skip::Cut : Skip::NotIpv4);
    if (Be16(ip + 6) & 0x3FFF) return skip(Skip::Fragment); // more fragments, or a fragment offset
    if (ip[9] != kTcp) return skip(Skip::NotTcp);
    const uint8_t* tcp = ip + ipHeader;
    const uint32_t tcpLength = total - ipHeader;
    if (tcpLength < kTcpSize) return skip(Skip::NotTcp);
    const uint32_t tcpHeader = (tcp[12] >> 4) * 4u;
    if (tcpHeader < kTcpSize || tcpHeader > tcpLength) return skip(Skip::NotTcp);

    const uint32_t source = Be32(ip + 12), destination = Be32(ip + 16);
    const uint16_t sourcePort = Be16(tcp), destinationPort = Be16(tcp + 2);
    const uint64_t from = EndKey(source, sourcePort), to = EndKey(destination, destinationPort);
    auto [found, isNew] = m_state.streams.try_emplace({from, to});
    Stream& stream = found->second;
    if (isNew) {
        stream.sourceAddress = source;
        stream.sourcePort = sourcePort;
        stream.destinationAddress = destination;
        stream.destinationPort = destinationPort;
        // The server's port names the protocol: the destination's first, the user's choice before the table.
        const DecodeAsTable& overrides = m_state.overrides;
        if (overrides.count(destinationPort)) stream.protocol = overrides.at(destinationPort);
        else if (overrides.count(sourcePort)) stream.protocol = overrides.at(sourcePort);
        else {
            stream.protocol = ProtocolForPort(destinationPort, {});
            if (stream.protocol < 0) stream.protocol = ProtocolForPort(sourcePort, {});
        }
        // CMPP and SMGP name the family: the stream shows which version. CMPP3 and SMGP3 are taken as said.
        stream.detect = stream.protocol == kCmpp || stream.protocol == kSmgp;
        stream.connection = &m_state.connections[{std::min(from, to), std::max(from, to)}];
    }
    if (stream.protocol < 0 || !protocol::Find(static_cast<uint16_t>(stream.protocol)))
        return skip(Skip::UnknownPort);
    Segment(stream, Be32(tcp + 4), tcp[13], tcp + tcpHeader, tcpLength - tcpHeader);
}

void CStreamWork::Segment(Stream& stream, uint32_t sequence, uint8_t flags, const uint8_t* payload,
                          uint32_t length) {
    if (flags & kSyn) {
        // The stream starts after the SYN: the first byte is the first byte of a PDU. A SYN after data is
        // a new connection between the same two ends, which may speak another version.
        if (stream.started && stream.delivered > 0) {
            Drain(stream);
            if (!stream.buffer.empty())
                ++m_state.unfinishedStreams;
            stream.buffer.clear();
            stream.connection->version = 0;
        }
        stream.started = true;
        stream.nextSequence = sequence + 1;
        stream.delivered = 0;
        stream.outOfStep = false;
        return;
    }
    if (length == 0)
        return;
    if (!stream.started) {
        // Caught mid-connection: framing starts with this segment and checks that it starts a PDU.
        stream.started = true;
        stream.nextSequence = sequence;
    }
    const int64_t position = int64_t(stream.delivered) + int32_t(sequence - stream.nextSequence);
    if (position + length <= int64_t(stream.delivered))
        return; // a retransmission of bytes already framed
    if (position > int64_t(stream.delivered)) {
        // Out of order: held until the bytes before it arrive. The longer copy of a retransmission wins.
        Stream::Held& held = stream.pending[uint64_t(position)];
        if (held.bytes.size() < length) {
            stream.pendingBytes += length - held.bytes.size();
            held.time = m_time;
            held.bytes.assign(payload, payload + length);
        }
        if (stream.pendingBytes > kMaxPendingBytes)
            Drain(stream);
        return;
    }
    const uint32_t overlap = static_cast<uint32_t>(int64_t(stream.delivered) - position);
    Deliver(stream, payload + overlap, length - overlap);
    // Whatever was held and now follows on.
    while (!stream.pending.empty() && stream.pending.begin()->first <= stream.delivered)
        DeliverHeld(stream);
}

void CStreamWork::Drain(Stream& stream) {
    while (!stream.pending.empty()) {
        const uint64_t first = stream.pending.begin()->first;
        if (first > stream.delivered) {
            const uint64_t missing = first - stream.delivered;
            m_summary.gaps += missing;
            Note(AddressText(stream.sourceAddress, stream.sourcePort) + " -> " +
                 AddressText(stream.destinationAddress, stream.destinationPort) + ": " + std::to_string(missing) +
                 " bytes missing from the stream");
            stream.nextSequence += static_cast<uint32_t>(missing);
            stream.delivered = first;
            // The PDU the gap cut into is lost; framing starts again where a PDU does.
            stream.buffer.clear();
            stream.outOfStep = true;
        }
        m_time = stream.pending.begin()->second.time;
        DeliverHeld(stream);
    }
}

void CStreamWork::DeliverHeld(Stream& stream) {
    auto held = stream.pending.extract(stream.pending.begin());
    const std::vector<uint8_t>& bytes = held.mapped().bytes;
    stream.pendingBytes -= bytes.size();
    if (held.key() + bytes.size() > stream.delivered) {
        const size_t skipFront = static_cast<size_t>(stream.delivered - held.key());
        Deliver(stream, bytes.data() + skipFront, bytes.size() - skipFront);
    }
}

void CStreamWork::Deliver(Stream& stream, const uint8_t* bytes, size_t length) {
    stream.nextSequence += static_cast<uint32_t>(length);
    stream.delivered += length;
    const protocol::Protocol& framing = *protocol::Find(static_cast<uint16_t>(stream.protocol));
    const auto plausible = [&framing](const uint8_t* at, size_t available) {
        if (available < 4) return false;
        const uint32_t pduLength = Be32(at);
        return pduLength >= framing.headerSize && pduLength <= framing.maxPdu;
    };
    if (stream.outOfStep) {
        // Only a segment that starts with a believable length is taken as the start of a PDU.
        if (!plausible(bytes, length)) {
            ++m_summary.badPdus;
            Note(AddressText(stream.sourceAddress, stream.sourcePort) + " -> " +
                 AddressText(stream.destinationAddress, stream.destinationPort) + ": " + std::to_string(length) +
                 " bytes that do not start a PDU skipped");
            return;
        }
        stream.outOfStep = false;
        stream.buffer.clear();
    }
    stream.buffer.insert(stream.buffer.end(), bytes, bytes + length);
    size_t start = 0;
    while (stream.buffer.size() - start >= 4) {
        const uint8_t* pdu = stream.buffer.data() + start;
        const uint32_t pduLength = Be32(pdu);
        if (!plausible(pdu, 4)) {
            ++m_summary.badPdus;
            Note(AddressText(stream.sourceAddress, stream.sourcePort) + " -> " +
                 AddressText(stream.destinationAddress, stream.destinationPort) + ": length field " +
                 std::to_string(pduLength) + " outside " + std::to_string(framing.headerSize) + ".." +
                 std::to_string(framing.maxPdu) + "; the rest of the segment is skipped");
            stream.outOfStep = true;
            stream.buffer.clear();
            return;
        }
        if (stream.buffer.size() - start < pduLength)
            break;
        Emit(stream, pdu, pduLength);
        start += pduLength;
    }
    stream.buffer.erase(stream.buffer.begin(), stream.buffer.begin() + static_cast<std::ptrdiff_t>(start));
}

void CStreamWork::Emit(Stream& stream, const uint8_t* pdu, uint32_t length) {
    uint16_t protocol = static_cast<uint16_t>(stream.protocol);
    if (stream.detect) {
        if (const int shown = VersionShown(protocol, pdu, length); shown && !stream.connection->version)
            stream.connection->version = shown;
        int version = stream.connection->version;
        // A capture that starts mid-session: a SUBMIT or DELIVER is read by the layout that ends at its length.
        if (!version && (version = VersionByLength(protocol, pdu, length)))
            ++m_summary.versionGuesses;
        if (version == 3)
            protocol = protocol == kCmpp ? kCmpp3 : kSmgp3;
    }
    const PacketPeer peer{stream.destinationAddress, stream.destinationPort};
    const auto store = [&] {
        return m_log.AddCaptured(protocol, m_time, stream.sourceAddress, stream.sourcePort, peer, pdu, length);
    };
    bool stored = store();
    if (!stored && m_log.IsFull()) {
        // As live capture does: the full log is wiped whole and goes on with the newest records.
        m_log.Reset();
        ++m_state.wipes;
        m_summary.keptNewestOnly = true;
        stored = store();
    }
    if (stored)
        ++m_summary.pdus;
}

} // namespace

bool CPcapImporter::Step(CPacketLog& log, int maxFrames) {
    if (!m_state || m_state->done)
        return false;
    CStreamWork work(*m_state, m_summary, log);
    for (int read = 0; read < maxFrames; ++read) {
        PcapFrame frame;
        const CPcapFileReader::Result result = m_state->reader.Next(frame);
        if (result == CPcapFileReader::Result::Frame) {
            work.Frame(frame);
        } else if (result == CPcapFileReader::Result::End) {
            m_state->done = true;
            break;
        } else {
            m_summary.truncatedFile = true;
            m_summary.messages.push_back("The file is cut short: " + m_state->reader.Error());
            m_state->done = true;
            break;
        }
    }
    return !m_state->done;
}

const ImportSummary& CPcapImporter::Finish(CPacketLog& log, bool cancelled) {
    m_summary.cancelled = cancelled;
    if (!m_state)
        return m_summary;
    State& state = *m_state;
    CStreamWork work(state, m_summary, log);
    for (auto& [key, stream] : state.streams) {
        if (!cancelled && !stream.pending.empty())
            work.Drain(stream);
        if (!stream.buffer.empty())
            ++state.unfinishedStreams;
    }
    std::vector<std::string> lines;
    if (cancelled)
        lines.push_back("Import cancelled: the PDUs read so far are kept.");
    lines.push_back(std::to_string(m_summary.frames) + " frames read, " + std::to_string(m_summary.pdus) +
                    " PDUs added to the capture log.");
    if (m_summary.skippedFrames) {
        std::string line = std::to_string(m_summary.skippedFrames) + " frames skipped:";
        const char* separator = " ";
        for (size_t why = 0; why < size_t(Skip::Count); ++why)
            if (state.skips[why]) {
                line += separator + std::to_string(state.skips[why]) + " " + kSkipNames[why];
                separator = ", ";
            }
        lines.push_back(line + ".");
    }
    if (m_summary.versionGuesses)
        lines.push_back(std::to_string(m_summary.versionGuesses) +
                        " SUBMIT or DELIVER PDUs came before any CONNECT or Login said the version: each was read by "
                        "the version whose fields end at its length.");
    if (m_summary.badPdus)
        lines.push_back(std::to_string(m_summary.badPdus) +
                        " times a stream was out of step (a bad length field, or a start in the middle of a PDU).");
    if (m_summary.gaps)
        lines.push_back(std::to_string(m_summary.gaps) + " stream bytes were missing.");
    if (state.unfinishedStreams)
        lines.push_back(std::to_string(state.unfinishedStreams) + " streams end in the middle of a PDU.");
    if (m_summary.keptNewestOnly)
        lines.push_back("The file holds more than the capture log keeps: it was wiped " +
                        std::to_string(state.wipes) + " times and keeps the newest records.");
    m_summary.messages.insert(m_summary.messages.begin(), lines.begin(), lines.end());
    m_state.reset();
    return m_summary;
}

} // namespace pcap
