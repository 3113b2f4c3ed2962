// Capture files read: frames taken apart, streams reassembled, PDUs stored in the capture log.
#include "capture/Pcap.h"

#include "capture/PcapDissector.h"
#include "capture/PcapFileReader.h"
#include "capture/StreamReassembler.h"
#include "decoder/ProtocolVersion.h"
#include "protocol/PduHeader.h"
#include "protocol/Registry.h"
#include "protocol/SmppCommands.h"
#include "wire/Cursor.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace pcap {

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

bool OpensLikeSmpp(std::span<const uint8_t> segment) {
    constexpr uint32_t kHeader = protocol::HeaderSizeOf(protocol::kSmpp);
    // SMPP 3.4 puts its own errors below 0x100, keeps 0x100-0x3FF for its extensions and 0x400-0x4FF for an
    // SMSC's own errors, which real SMSCs do answer with; 0x500 and up is reserved. A response is believed up
    // to 0x4FF: the length and command id have already done the work of telling SMPP from other bytes.
    constexpr uint32_t kFirstReservedStatus = 0x500;
    if (segment.size() < kHeader)
        return false; // too little to tell
    for (size_t at = 0; at + 4 <= segment.size();) {
        // A header the segment cuts short is judged by the fields it holds.
        wire::Cursor header(segment.data() + at, segment.size() - at);
        const uint32_t length = header.U32();
        if (length < kHeader || length > protocol::MaxPduOf(protocol::kSmpp))
            return false;
        const uint32_t command = header.U32();
        if (header.Ok() && !protocol::smpp::Find(command))
            return false;
        const uint32_t status = header.U32();
        if (header.Ok() && !(protocol::IsResponse(command) ? status < kFirstReservedStatus : status == 0))
            return false;
        at += length;
    }
    return true;
}

namespace {

constexpr size_t kMaxDetailMessages = 20;
constexpr uint8_t kSyn = 0x02;

uint64_t EndKey(uint32_t address, uint16_t port) { return uint64_t(address) << 16 | port; }

std::string AddressText(uint32_t address, uint16_t port) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF) + ":" + std::to_string(port);
}

} // namespace

struct CPcapImporter::State {
    struct Connection {
        int version = 0; // 2 or 3 once a PDU showed it
        uint64_t id = CPacketLog::NewConnectionId();
        // Where no port names the protocol, the connection's first segment with data tells whether both its
        // streams are SMPP; the frames before it wait to learn whether they are skipped.
        enum class Guess : uint8_t { None, Open, Smpp, NotSmpp };
        Guess guess = Guess::None;
        uint64_t framesBeforeGuess = 0;
        uint64_t opener = 0; // a guessed connection's client: the end whose data came first (EndKey)
    };
    struct Stream {
        uint32_t sourceAddress = 0, destinationAddress = 0;
        uint16_t sourcePort = 0, destinationPort = 0;
        int protocol = -1;      // code; a stream without `bytes` is skipped
        bool detect = false;    // CMPP or SMGP: the version is for the PDUs to show
        Connection* connection = nullptr;
        bool fromServer = false; // the port that names the protocol is this stream's source
        std::optional<CStreamReassembler> bytes; // for a protocol the registry frames
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
    if (!IsReadableLinkType(m_state->linkType)) {
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

// The importer's stream work, apart from the class so that the header stays free of libpcap. It hears
// what one stream's reassembly finds and turns it into records, counts and lines for the user.
class CStreamWork {
public:
    using Stream = CPcapImporter::State::Stream;
    using Guess = CPcapImporter::State::Connection::Guess;

    CStreamWork(CPcapImporter::State& state, ImportSummary& summary, CPacketLog& log)
        : m_state(state), m_summary(summary), m_log(log) {}

    void Frame(const PcapFrame& frame);
    void Drain(Stream& stream);

private:
    // What one stream tells, with the stream it is about.
    class Events final : public StreamListener {
    public:
        Events(CStreamWork& work, Stream& stream) : m_work(work), m_stream(stream) {}
        void OnPdu(const uint8_t* pdu, uint32_t length, int64_t time) override { m_work.Emit(m_stream, pdu, length, time); }
        void OnGap(uint64_t missing) override;
        void OnNotPduStart(uint64_t octets) override;
        void OnBadLength(uint32_t length) override;
        void OnBadFrame(wire::FrameFault fault, uint32_t octets) override;
        void OnNewConnection(bool unfinished) override;

    private:
        void Note(const std::string& what) {
            m_work.Note(AddressText(m_stream.sourceAddress, m_stream.sourcePort) + " -> " +
                        AddressText(m_stream.destinationAddress, m_stream.destinationPort) + ": " + what);
        }
        CStreamWork& m_work;
        Stream& m_stream;
    };

    void Note(std::string line) {
        if (m_summary.messages.size() < kMaxDetailMessages)
            m_summary.messages.push_back(std::move(line));
    }
    void Skipped(Skip why, uint64_t frames = 1) {
        m_summary.skippedFrames += frames;
        m_state.skips[size_t(why)] += frames;
    }
    Stream& StreamOf(const TcpSegment& segment);
    void Recognise(Stream& stream, const TcpSegment& segment);
    void Emit(Stream& stream, const uint8_t* pdu, uint32_t length, int64_t time);

    CPcapImporter::State& m_state;
    ImportSummary& m_summary;
    CPacketLog& m_log;
};

void CStreamWork::Events::OnGap(uint64_t missing) {
    m_work.m_summary.gaps += missing;
    Note(std::to_string(missing) + " bytes missing from the stream");
}

void CStreamWork::Events::OnNotPduStart(uint64_t octets) {
    ++m_work.m_summary.badPdus;
    Note(std::to_string(octets) + " bytes that do not start a PDU skipped");
}

void CStreamWork::Events::OnBadLength(uint32_t length) {
    ++m_work.m_summary.badPdus;
    const protocol::Protocol* framed = protocol::Find(uint16_t(m_stream.protocol));
    Note("length field " + std::to_string(length) + " outside " + std::to_string(framed ? framed->headerSize : 0) +
         ".." + std::to_string(framed ? framed->maxPdu : 0) + "; the rest of the segment is skipped");
}

void CStreamWork::Events::OnBadFrame(wire::FrameFault fault, uint32_t octets) {
    ++m_work.m_summary.badPdus;
    Note(std::to_string(octets) + " bytes that are no frame skipped: " + wire::FrameFaultName(fault));
}

void CStreamWork::Events::OnNewConnection(bool unfinished) {
    if (unfinished)
        ++m_work.m_state.unfinishedStreams;
    m_stream.connection->version = 0;
    m_stream.connection->id = CPacketLog::NewConnectionId(); // a new handshake on the same ends: a new conversation
}

void CStreamWork::Frame(const PcapFrame& frame) {
    ++m_summary.frames;
    const Dissected dissected = Dissect(m_state.linkType, {frame.data, frame.captured}, frame.length);
    if (dissected.skipped)
        return Skipped(*dissected.skipped);
    const TcpSegment& segment = dissected.segment;
    Stream& stream = StreamOf(segment);
    Recognise(stream, segment);
    if (stream.connection->guess == Guess::NotSmpp)
        stream.bytes.reset();
    if (!stream.bytes)
        return Skipped(Skip::UnknownPort);
    if (stream.connection->guess == Guess::Open)
        ++stream.connection->framesBeforeGuess; // a handshake or a bare acknowledgement, fed for its SYN
    Events events(*this, stream);
    stream.bytes->Segment(events, frame.timeUs, segment.sequence, segment.flags, segment.payload);
}

void CStreamWork::Drain(Stream& stream) {
    Events events(*this, stream);
    stream.bytes->Drain(events);
}

// The stream a segment belongs to, made on its first segment: the server's port names the protocol.
CStreamWork::Stream& CStreamWork::StreamOf(const TcpSegment& segment) {
    const uint64_t from = EndKey(segment.sourceAddress, segment.sourcePort);
    const uint64_t to = EndKey(segment.destinationAddress, segment.destinationPort);
    auto [found, isNew] = m_state.streams.try_emplace({from, to});
    Stream& stream = found->second;
    if (!isNew)
        return stream;
    stream.sourceAddress = segment.sourceAddress;
    stream.sourcePort = segment.sourcePort;
    stream.destinationAddress = segment.destinationAddress;
    stream.destinationPort = segment.destinationPort;
    stream.connection = &m_state.connections[{std::min(from, to), std::max(from, to)}];
    // The destination's port first, the user's choice before the registry's.
    const DecodeAsTable& overrides = m_state.overrides;
    if (overrides.count(segment.destinationPort)) stream.protocol = overrides.at(segment.destinationPort);
    else if (overrides.count(segment.sourcePort)) {
        stream.protocol = overrides.at(segment.sourcePort);
        stream.fromServer = true;
    } else {
        stream.protocol = ProtocolForPort(segment.destinationPort, {});
        if (stream.protocol < 0 && (stream.protocol = ProtocolForPort(segment.sourcePort, {})) >= 0)
            stream.fromServer = true;
    }
    // No port names one: SMPP, should the connection open with an SMPP header (Recognise decides).
    if (stream.protocol < 0) {
        stream.protocol = protocol::kSmpp;
        if (stream.connection->guess == Guess::None)
            stream.connection->guess = Guess::Open;
    }
    // CMPP and SMGP name the family: the stream shows which version. CMPP3 and SMGP3 are taken as said.
    stream.detect = stream.protocol == protocol::kCmpp || stream.protocol == protocol::kSmgp;
    if (const protocol::Protocol* framed = protocol::Find(uint16_t(stream.protocol)))
        stream.bytes.emplace(wire::FramerFor(*framed));
    return stream;
}

// A connection's first segment with data decides for both of its streams, so that the answers of an SMPP
// conversation go with its requests and those of another protocol are not half read as SMPP. The frames
// that came before are skipped with the connection when it is not SMPP.
void CStreamWork::Recognise(Stream& stream, const TcpSegment& segment) {
    CPcapImporter::State::Connection& connection = *stream.connection;
    if (connection.guess != Guess::Open || segment.payload.empty() || (segment.flags & kSyn))
        return;
    if (OpensLikeSmpp(segment.payload)) {
        connection.guess = Guess::Smpp;
        connection.opener = EndKey(segment.sourceAddress, segment.sourcePort);
        ++m_summary.smppByHeader;
    } else {
        connection.guess = Guess::NotSmpp;
        Skipped(Skip::UnknownPort, connection.framesBeforeGuess);
    }
    connection.framesBeforeGuess = 0;
}

void CStreamWork::Emit(Stream& stream, const uint8_t* pdu, uint32_t length, int64_t time) {
    uint16_t protocol = static_cast<uint16_t>(stream.protocol);
    if (stream.detect) {
        if (const int shown = protocol_version::Shown(protocol, pdu, length); shown && !stream.connection->version)
            stream.connection->version = shown;
        int version = stream.connection->version;
        // A capture that starts mid-session: a SUBMIT or DELIVER is read by the layout that ends at its length.
        if (!version && (version = protocol_version::ByLength(protocol, pdu, length)))
            ++m_summary.versionGuesses;
        if (version == 3)
            protocol = protocol == protocol::kCmpp ? protocol::kCmpp3 : protocol::kSmgp3;
        else if (version == 13 && protocol == protocol::kSmgp)
            protocol = protocol::kSmgp13;
    }
    const PacketPeer peer{stream.destinationAddress, stream.destinationPort};
    const uint64_t opener = stream.connection->opener;
    const bool fromServer = opener ? EndKey(stream.sourceAddress, stream.sourcePort) != opener : stream.fromServer;
    // As live capture does, a full log is wiped whole and goes on with the newest records.
    const int64_t wipes = m_log.WipeCount();
    if (!m_log.AddCaptured(protocol, time, stream.sourceAddress, stream.sourcePort, peer, pdu, length,
                           stream.connection->id, fromServer))
        return;
    ++m_summary.pdus;
    if (m_log.WipeCount() != wipes) {
        ++m_state.wipes;
        m_summary.keptNewestOnly = true;
    }
}

// The summary's lines for the user, in the order the import window shows them.
std::vector<std::string> SummaryLines(const ImportSummary& summary, const CPcapImporter::State& state) {
    std::vector<std::string> lines;
    if (summary.cancelled)
        lines.push_back("Import cancelled: the PDUs read so far are kept.");
    lines.push_back(std::to_string(summary.frames) + " frames read, " + std::to_string(summary.pdus) +
                    " PDUs added to the capture log.");
    if (summary.skippedFrames) {
        std::string line = std::to_string(summary.skippedFrames) + " frames skipped:";
        const char* separator = " ";
        for (size_t why = 0; why < size_t(Skip::Count); ++why)
            if (state.skips[why]) {
                line += separator + std::to_string(state.skips[why]) + " " + kSkipNames[why];
                separator = ", ";
            }
        lines.push_back(line + ".");
    }
    if (summary.versionGuesses)
        lines.push_back(std::to_string(summary.versionGuesses) +
                        " SUBMIT or DELIVER PDUs came before any CONNECT or Login said the version: each was read by "
                        "the version whose fields end at its length.");
    if (summary.smppByHeader)
        lines.push_back(std::to_string(summary.smppByHeader) +
                        " connections on ports no protocol is decoded on were read as SMPP: each opened with an "
                        "SMPP header.");
    if (summary.badPdus)
        lines.push_back(std::to_string(summary.badPdus) +
                        " times a stream was out of step (a bad length field, or a start in the middle of a PDU).");
    if (summary.gaps)
        lines.push_back(std::to_string(summary.gaps) + " stream bytes were missing.");
    if (state.unfinishedStreams)
        lines.push_back(std::to_string(state.unfinishedStreams) + " streams end in the middle of a PDU.");
    if (summary.keptNewestOnly)
        lines.push_back("The file holds more than the capture log keeps: it was wiped " +
                        std::to_string(state.wipes) + " times and keeps the newest records.");
    return lines;
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
    // Connections that ended before any data said what they carry: skipped like those on an unknown port.
    for (auto& [ends, connection] : state.connections)
        if (connection.guess == State::Connection::Guess::Open) {
            m_summary.skippedFrames += connection.framesBeforeGuess;
            state.skips[size_t(Skip::UnknownPort)] += connection.framesBeforeGuess;
        }
    for (auto& [key, stream] : state.streams) {
        if (!stream.bytes || stream.connection->guess == State::Connection::Guess::NotSmpp)
            continue;
        if (!cancelled && stream.bytes->HasHeldSegments())
            work.Drain(stream);
        if (stream.bytes->Unfinished())
            ++state.unfinishedStreams;
    }
    const std::vector<std::string> lines = SummaryLines(m_summary, state);
    m_summary.messages.insert(m_summary.messages.begin(), lines.begin(), lines.end());
    m_state.reset();
    return m_summary;
}

} // namespace pcap
