// Capture files written: each record becomes Ethernet, IPv4 and TCP frames of a classic pcap file.
#include "capture/PcapWriter.h"

#include "capture/PacketRecord.h"
#include "protocol/Registry.h"
#include "wire/Cursor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pcap {
namespace {

constexpr uint32_t kPcapMagic = 0xA1B2C3D4;
constexpr uint32_t kSnapLength = 262144;
constexpr uint32_t kLinkEthernet = 1;
constexpr uint32_t kEthernetSize = 14, kIpSize = 20, kTcpSize = 20;
constexpr uint32_t kMaxSegment = 65535 - kIpSize - kTcpSize;
constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint8_t kTcp = 6;
constexpr uint8_t kAck = 0x10, kPsh = 0x08;
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
        sum += wire::ReadBe16(data + i);
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
    // CMPP 3.0 and SMGP 1.3 and 3.0 travel on the ports of their families' 2.0 versions.
    const protocol::Protocol* version = protocol::Find(header.protocol);
    const protocol::Protocol* known = version ? protocol::Find(version->family) : nullptr;
    PacketPeer peer{kLocalhost, known ? known->ports[0] : uint16_t(0)};
    if (peer.port == 0 || (header.sourceAddress == peer.address && header.sourcePort == peer.port))
        peer.port = static_cast<uint16_t>(header.sourcePort + 1);
    return peer;
}

// One frame's fields apart from its payload.
struct FrameFields {
    uint32_t time, microsecond;
    uint32_t sourceAddress, destinationAddress;
    uint16_t sourcePort, destinationPort;
    uint16_t ipId;
    uint32_t sequence, acknowledgement;
};

// The frame's record header, Ethernet, IPv4 (checksummed), TCP and the payload, TCP checksummed last.
void BuildFrame(std::vector<uint8_t>& frame, const FrameFields& f, const uint8_t* payload, uint32_t segment) {
    const uint32_t frameLength = kEthernetSize + kIpSize + kTcpSize + segment;
    frame.clear();
    PutLe(frame, f.time, 4);
    PutLe(frame, f.microsecond, 4);
    PutLe(frame, frameLength, 4);
    PutLe(frame, frameLength, 4);
    // Locally administered MAC addresses made of the IPv4 address.
    for (const uint32_t address : {f.destinationAddress, f.sourceAddress}) {
        PutBe(frame, 0x0200, 2);
        PutBe(frame, address, 4);
    }
    PutBe(frame, kEtherIpv4, 2);
    const size_t ip = frame.size();
    PutBe(frame, 0x4500, 2);
    PutBe(frame, kIpSize + kTcpSize + segment, 2);
    PutBe(frame, f.ipId, 2);
    PutBe(frame, 0x4000, 2); // don't fragment
    PutBe(frame, 64 << 8 | kTcp, 2);
    PutBe(frame, 0, 2);
    PutBe(frame, f.sourceAddress, 4);
    PutBe(frame, f.destinationAddress, 4);
    PutBeAt(frame.data() + ip + 10, Fold(SumWords(frame.data() + ip, kIpSize)), 2);
    const size_t tcp = frame.size();
    PutBe(frame, f.sourcePort, 2);
    PutBe(frame, f.destinationPort, 2);
    PutBe(frame, f.sequence, 4);
    PutBe(frame, f.acknowledgement, 4);
    PutBe(frame, (kTcpSize / 4) << 12 | kAck | kPsh, 2);
    PutBe(frame, 65535, 2);
    PutBe(frame, 0, 4); // checksum, urgent pointer
    frame.insert(frame.end(), payload, payload + segment);
    uint32_t sum = SumWords(frame.data() + ip + 12, 8); // pseudo header: the addresses,
    sum += kTcp + kTcpSize + segment;                   // protocol and TCP length
    PutBeAt(frame.data() + tcp + 16, Fold(SumWords(frame.data() + tcp, kTcpSize + segment, sum)), 2);
}

} // namespace

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

bool CPcapWriter::Write(const uint8_t* record, uint32_t length, const PacketSummary& context) {
    if (!m_file || m_failed || length < packet_record::kHeaderSize)
        return false;
    const PacketRecordHeader header = packet_record::ReadHeader(record);
    const PacketPeer peer = context.peer == PacketPeer{} ? DefaultPeer(header) : context.peer;
    const uint64_t source = EndKey(header.sourceAddress, header.sourcePort);
    const uint64_t destination = EndKey(peer.address, peer.port);
    const bool fromLower = source <= destination;
    Connection& connection =
        fromLower ? m_connections[source][destination] : m_connections[destination][source];
    Direction& out = connection.directions[fromLower ? 0 : 1];
    const Direction& back = connection.directions[fromLower ? 1 : 0];

    const int64_t timeUs = std::max<int64_t>(context.timeUs, 0);
    const uint8_t* payload = record + packet_record::kHeaderSize;
    uint32_t left = length - packet_record::kHeaderSize;
    do {
        const uint32_t segment = std::min(left, kMaxSegment);
        const FrameFields fields{.time = static_cast<uint32_t>(std::min<int64_t>(timeUs / 1000000, UINT32_MAX)),
                                 .microsecond = static_cast<uint32_t>(timeUs % 1000000),
                                 .sourceAddress = header.sourceAddress,
                                 .destinationAddress = peer.address,
                                 .sourcePort = header.sourcePort,
                                 .destinationPort = peer.port,
                                 .ipId = m_ipId++,
                                 .sequence = out.nextSequence,
                                 .acknowledgement = back.nextSequence};
        BuildFrame(m_frame, fields, payload, segment);
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
    std::vector<int32_t> every(static_cast<size_t>(log.GetCount()));
    for (int32_t index = 0; index < log.GetCount(); ++index)
        every[static_cast<size_t>(index)] = index;
    return ExportRecords(log, every, path, error);
}

bool ExportRecords(const CPacketLog& log, std::span<const int32_t> records, const std::string& path, std::string& error) {
    CPcapWriter writer;
    if (!writer.Open(path, error))
        return false;
    for (const int32_t index : records) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(index, &length);
        const PacketSummary& context = log.SummaryAt(index);
        if (record && context.origin != PacketOrigin::Typed && !writer.Write(record, length, context))
            break;
    }
    return writer.Close(error);
}

} // namespace pcap
