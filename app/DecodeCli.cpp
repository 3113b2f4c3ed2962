// The tarnwick-decode command: one capture record or bare PDU in, the decoder's lines out.
#include "app/DecodeCli.h"

#include "analysis/Concatenations.h"
#include "analysis/RecordJson.h"
#include "app/CommandLine.h"
#include "capture/PacketLog.h"
#include "capture/PacketRecord.h"
#include "capture/Pcap.h"
#include "decoder/Listing.h"
#include "decoder/Protocols.h"
#include "decoder/CimdLines.h"
#include "decoder/UcpLines.h"
#include "protocol/Registry.h"
#include "wire/Framer.h"
#include "wire/Hex.h"
#include "wire/StxFrame.h"

#include <algorithm>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <span>
#include <sstream>


namespace decode_cli {
namespace {

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > kMaxInputBytes) {
            error = path + " is larger than " + std::to_string(kMaxInputBytes) + " bytes";
            return std::nullopt;
        }
    }
    if (file.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return bytes;
}

// What the output of a decode looks like.
struct Output {
    bool offsets = false;
    bool json = false; // one JSON object per record (the /pdus shape), one per line
    DefaultAlphabet alphabet = DefaultAlphabet::Gsm;
};

// Prints each record as the import stores it: a capture file may hold more than the log keeps. Long messages are
// followed by a listener added before this one, so a record's message is known when it is printed.
class CBlockPrinter : public CPacketLogListener {
public:
    CBlockPrinter(const CPacketLog& log, const CConcatenations& concatenations, const Output& output, std::ostream& out)
        : m_log(log), m_concatenations(concatenations), m_output(output), m_out(out) {
        m_decoder.SetDefaultAlphabet(output.alphabet);
    }
    void OnPacketsAdded(int32_t first, int32_t count) override {
        for (int32_t index = first; index < first + count; ++index) {
            uint32_t length = 0;
            const uint8_t* record = m_log.PacketAt(index, &length);
            if (!record)
                continue;
            if (m_output.json) {
                std::string json;
                record_json::AppendLogRecord(json, m_decoder, m_concatenations, index);
                m_out << json;
            } else {
                // The lines the window's decode tree ends a record with when it completes a long message.
                m_decoder.Decode(record, static_cast<int32_t>(length));
                m_out << decode_listing::Block(m_decoder.Lines(), m_output.offsets, m_blocks++ == 0)
                      << ReassemblyListing(m_concatenations.LinesFor(index), m_output.offsets);
            }
            const std::vector<DecodeLine>& lines = m_decoder.Lines();
            if (!lines.empty() && (lines.back().text == kUnknownErrorText || lines.back().text == kLengthErrorText))
                m_errorLine = true;
        }
    }
    void OnLogReset() override {}
    bool ErrorLine() const { return m_errorLine; }

private:
    const CPacketLog& m_log;
    const CConcatenations& m_concatenations;
    Output m_output;
    std::ostream& m_out;
    CPacketDecoder m_decoder;
    int m_blocks = 0;
    bool m_errorLine = false;
};

int RunPcap(const std::string& path, const pcap::DecodeAsTable& overrides, const Output& output, std::ostream& out,
            std::ostream& err) {
    constexpr int kFramesPerStep = 4096;
    CPacketLog log;
    log.Reset();
    pcap::CPcapImporter importer;
    std::string error;
    if (!importer.Open(path, overrides, error)) {
        err << "tarnwick-decode: " << error << "\n";
        return kBadInput;
    }
    CPacketDecoder decoder;
    decoder.SetDefaultAlphabet(output.alphabet);
    CConcatenations concatenations(log, decoder);
    CBlockPrinter printer(log, concatenations, output, out);
    log.AddListener(&printer);
    while (importer.Step(log, kFramesPerStep)) {
    }
    const pcap::ImportSummary& summary = importer.Finish(log);
    log.RemoveListener(&printer);
    for (const std::string& line : summary.messages)
        err << "tarnwick-decode: " << line << "\n";
    return printer.ErrorLine() || summary.truncatedFile ? kErrorLine : kDecoded;
}

// Adds each capture record of a stream to the log, as long as its own header says; the reason the stream could
// not be read to its end, or nothing. What comes before a bad record is kept and printed.
std::optional<std::string> AddRecords(CPacketLog& log, std::span<const uint8_t> bytes) {
    size_t at = 0;
    for (int number = 1; at < bytes.size(); ++number) {
        const size_t left = bytes.size() - at;
        const std::string where = "record " + std::to_string(number) + " at byte " + std::to_string(at) + ": ";
        if (left < packet_record::kHeaderSize)
            return where + "only " + std::to_string(left) + " bytes, less than a capture header";
        const PacketRecordHeader header = packet_record::ReadHeader(bytes.data() + at);
        if (header.packetLength < packet_record::kHeaderSize || header.packetLength > left)
            return where + "its length " + std::to_string(header.packetLength) + " does not fit the " +
                   std::to_string(left) + " bytes left";
        if (!log.AddCaptured(header.protocol, int64_t(header.time) * 1'000'000, header.sourceAddress,
                             header.sourcePort, {}, bytes.data() + at + packet_record::kHeaderSize,
                             header.packetLength - packet_record::kHeaderSize, 0, false))
            return where + "longer than the capture log holds";
        at += header.packetLength;
    }
    return std::nullopt;
}

// Cuts a stream of bare PDUs by the protocol's own framing, as its server reads a connection, and adds each to the
// log as --protocol wraps one; the reason the stream could not be read to its end, or nothing.
std::optional<std::string> AddPdus(CPacketLog& log, uint16_t protocolCode, std::span<const uint8_t> bytes) {
    const protocol::Protocol& known = protocol::kProtocols[protocol::IndexOf(protocolCode)];
    const std::unique_ptr<wire::Framer> framer = wire::FramerFor(known);
    size_t at = 0;
    for (int number = 1; at < bytes.size(); ++number) {
        const wire::FrameCut cut = framer->Cut(bytes.subspan(at));
        const std::string where = "PDU " + std::to_string(number) + " at byte " + std::to_string(at) + ": ";
        if (cut.status == wire::FrameStatus::NeedMore)
            return where + "cut short, " + std::to_string(bytes.size() - at) + " bytes left";
        if (cut.status == wire::FrameStatus::Invalid)
            return where + "not a " + std::string(known.name) + " PDU";
        log.AddCaptured(protocolCode, 0, 0x7F000001, 0, {}, bytes.data() + at, cut.length, 0, false);
        at += cut.length;
    }
    return std::nullopt;
}

// Several records (or, with a protocol, bare PDUs) one after another: a block each, as --pcap prints them.
int RunStream(std::span<const uint8_t> bytes, std::optional<uint16_t> protocolCode, const Output& output,
              std::ostream& out, std::ostream& err) {
    CPacketLog log;
    log.Reset();
    CPacketDecoder decoder;
    decoder.SetDefaultAlphabet(output.alphabet);
    CConcatenations concatenations(log, decoder);
    CBlockPrinter printer(log, concatenations, output, out);
    log.AddListener(&printer);
    const std::optional<std::string> stopped =
        protocolCode ? AddPdus(log, *protocolCode, bytes) : AddRecords(log, bytes);
    log.RemoveListener(&printer);
    if (stopped)
        err << "tarnwick-decode: " << *stopped << "\n";
    return printer.ErrorLine() || stopped ? kErrorLine : kDecoded;
}

} // namespace

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, std::string& error) {
    wire::HexResult parsed = wire::ParseHex(text);
    const std::size_t at = parsed.error.position;
    switch (parsed.error.kind) {
    case wire::HexError::Kind::NotHexDigit:
        error = "not a hex digit at position " + std::to_string(at + 1) + ": '" + std::string(1, text[at]) + "'";
        return std::nullopt;
    case wire::HexError::Kind::NotWholeBytes:
        error = "odd number of hex digits at position " + std::to_string(at + 1) + ": '" +
                std::string(text.substr(at, parsed.error.length)) + "'";
        return std::nullopt;
    case wire::HexError::Kind::None:
        break;
    }
    if (parsed.bytes.size() > kMaxInputBytes) {
        error = "more than " + std::to_string(kMaxInputBytes) + " bytes";
        return std::nullopt;
    }
    return std::move(parsed.bytes);
}

std::optional<uint16_t> ProtocolCodeOf(std::string_view name) {
    if (const protocol::Protocol* found = protocol::FindByCliName(name))
        return found->code;
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> TextFrameOf(std::string_view input, uint16_t protocolCode) {
    const protocol::Protocol* known = protocol::Find(protocolCode);
    const std::size_t first = input.find_first_not_of(" \t\r\n"), last = input.find_last_not_of(" \r\n"); // a CIMD2 packet without checksum ends in TAB
    if (!known || known->framing == protocol::Framing::LengthPrefixed || first == std::string_view::npos ||
        input.size() > kMaxInputBytes)
        return std::nullopt;
    const std::string_view text = input.substr(first, last - first + 1);
    std::vector<uint8_t> frame;
    if (text.front() != wire::kStx) frame.push_back(wire::kStx);
    frame.insert(frame.end(), text.begin(), text.end());
    if (text.back() != wire::kEtx) frame.push_back(wire::kEtx);
    return frame;
}

std::vector<uint8_t> WrapPdu(uint16_t protocol, const std::vector<uint8_t>& pdu) {
    const uint32_t length = static_cast<uint32_t>(packet_record::kHeaderSize + pdu.size());
    std::vector<uint8_t> record(length);
    packet_record::WriteHeader(record.data(), {length, 0, 0x7F000001, 0, protocol});
    std::copy(pdu.begin(), pdu.end(), record.begin() + packet_record::kHeaderSize);
    return record;
}


namespace {

// The summary of a record given on the command line, as the log would keep it: what its header says, the
// capture time, and the sender; no connection.
PacketSummary SummaryOf(const std::vector<uint8_t>& record) {
    PacketSummary summary;
    if (record.size() < packet_record::kHeaderSize)
        return summary;
    const PacketRecordHeader header = packet_record::ReadHeader(record.data());
    summary.timeUs = int64_t(header.time) * 1'000'000;
    summary.source = {header.sourceAddress, header.sourcePort};
    packet_summary::ReadHeader(header.protocol, record.data() + packet_record::kHeaderSize,
                               uint32_t(record.size() - packet_record::kHeaderSize), summary);
    return summary;
}

// What the command line asks for.
struct Arguments {
    std::optional<uint16_t> protocol;
    std::optional<std::string> path;
    std::optional<std::string> pcapPath;
    pcap::DecodeAsTable decodeAs;
    bool offsets = false;
    bool json = false;
    bool listFields = false;
    bool stream = false;
    bool help = false;
    bool version = false;
    DefaultAlphabet alphabet = DefaultAlphabet::Gsm;
    std::string hex;
    bool haveHex = false;
};

// What is wrong with a set of options that are each right on their own; empty when nothing is.
std::string_view ConflictOf(const Arguments& a) {
    if (a.path && a.haveHex) return "give the bytes either as hex or with --file, not both";
    if (a.pcapPath && (a.path || a.haveHex || a.protocol)) return "--pcap takes no hex, --file or --protocol";
    if (!a.decodeAs.empty() && !a.pcapPath) return "--decode-as goes with --pcap";
    if (a.stream && a.pcapPath) return "--stream reads hex or --file; a pcap file is a stream already";
    if (a.json && a.offsets) return "--json gives every field's offset and length; --offsets goes without it";
    return {};
}

// Takes args[i] when it is an option with a value ("--option=value", or the value as the next
// argument); false for any other argument. wrong says what is wrong with the value, empty when it is good.
bool TakeValueOption(const std::vector<std::string>& args, size_t& i, Arguments& a, std::string& wrong) {
    const std::string& arg = args[i];
    const std::string names = "(" + std::string(::protocol::kCliNameList) + ")";
    std::string text;
    const auto value = [&](const std::string& option) {
        if (arg.size() > option.size() && arg.compare(0, option.size() + 1, option + "=") == 0) {
            text = arg.substr(option.size() + 1);
            return true;
        }
        if (arg == option && i + 1 < args.size()) {
            text = args[++i];
            return true;
        }
        return false;
    };
    if (arg.rfind("--default-alphabet", 0) == 0) {
        if (!value("--default-alphabet")) return wrong = "--default-alphabet needs a name (gsm, ascii, latin1)", true;
        const std::optional<DefaultAlphabet> named = DefaultAlphabetNamed(text);
        if (!named) return wrong = "unknown alphabet '" + text + "' (gsm, ascii, latin1)", true;
        a.alphabet = *named;
    } else if (arg.rfind("--protocol", 0) == 0) {
        if (!value("--protocol")) return wrong = "--protocol needs a name " + names, true;
        a.protocol = ProtocolCodeOf(text);
        if (!a.protocol) wrong = "unknown protocol '" + text + "' " + names;
    } else if (arg.rfind("--pcap", 0) == 0) {
        if (!value("--pcap")) wrong = "--pcap needs a path";
        a.pcapPath = text;
    } else if (arg.rfind("--decode-as", 0) == 0) {
        std::string why;
        if (!value("--decode-as")) wrong = "--decode-as needs PORT=NAME";
        else if (!pcap::ParseDecodeAs(text, a.decodeAs, why)) wrong = "--decode-as: " + why;
    } else if (arg.rfind("--file", 0) == 0) {
        if (!value("--file")) wrong = "--file needs a path";
        a.path = text;
    } else {
        return false;
    }
    return true;
}

// The arguments, or nothing with error saying what is wrong with them.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, std::string& error) {
    Arguments a;
    const auto fail = [&error](std::string message) {
        error = std::move(message);
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string wrong;
        if (arg == "-h" || arg == "--help" || arg == "--version" || arg == "--list-fields") {
            // Each of these is the whole of what is asked.
            a.help = arg == "-h" || arg == "--help";
            a.version = arg == "--version";
            a.listFields = arg == "--list-fields";
            return a;
        } else if (arg == "--stream") {
            a.stream = true;
        } else if (arg == "--offsets" || arg == "--json") {
            (arg == "--json" ? a.json : a.offsets) = true;
        } else if (TakeValueOption(args, i, a, wrong)) {
            if (!wrong.empty()) return fail(wrong);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + arg + "' (see --help)");
        } else {
            a.hex += arg + ' ';
            a.haveHex = true;
        }
    }
    const std::string_view conflict = ConflictOf(a);
    if (!conflict.empty()) return fail(std::string(conflict));
    return a;
}

} // namespace

int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    const auto fail = [&err](const std::string& message) {
        err << "tarnwick-decode: " << message << "\n";
        return kBadInput;
    };
    std::string error;
    std::optional<Arguments> a = ParseArguments(args, error);
    if (!a) return fail(error);
    if (a->help || a->version) {
        out << (a->help ? command_line::Usage(command_line::kTarnwickDecode)
                        : command_line::VersionLine(command_line::kTarnwickDecode));
        return kDecoded;
    }
    if (a->listFields) {
        for (const decode_listing::FieldEntry& field : decode_listing::Fields(CPacketDecoder().Table()))
            out << field.name << '\t' << field.protocol << '\t' << TypeName(field.type) << '\t' << field.label << '\n';
        return kDecoded;
    }
    const Output output{a->offsets, a->json, a->alphabet};
    if (a->pcapPath) return RunPcap(*a->pcapPath, a->decodeAs, output, out, err);

    std::optional<std::vector<uint8_t>> bytes;
    if (a->path) {
        bytes = ReadFile(*a->path, error);
    } else {
        if (!a->haveHex) a->hex.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        bytes = ParseHex(a->hex, error);
        if (!bytes && a->protocol) bytes = TextFrameOf(a->hex, *a->protocol);
    }
    if (!bytes) return fail(error);
    if (bytes->empty()) return fail("no bytes to decode");
    if (a->stream) return RunStream(*bytes, a->protocol, output, out, err);

    const std::vector<uint8_t> record = a->protocol ? WrapPdu(*a->protocol, *bytes) : *bytes;
    CPacketDecoder decoder;
    decoder.SetDefaultAlphabet(a->alphabet);
    const bool ended = decoder.Decode(record.data(), static_cast<int32_t>(record.size()));
    if (a->json) {
        std::string json;
        record_json::AppendRecord(json, decoder, 1, record.data(), uint32_t(record.size()), SummaryOf(record), nullptr);
        out << json << "\n";
    } else {
        out << decode_listing::Lines(decoder.Lines(), a->offsets);
    }

    const std::vector<DecodeLine>& lines = decoder.Lines();
    const bool errorLine = !ended && !lines.empty() &&
                           (lines.back().text == kUnknownErrorText || lines.back().text == kLengthErrorText ||
                            lines.back().field == ucp_lines::kErrorField ||
                            lines.back().field == cimd_lines::kErrorField);
    return errorLine ? kErrorLine : kDecoded;
}

} // namespace decode_cli
