// Capture files: pcap or pcapng files read into the capture log (and, from PcapWriter.h, the log written
// as one). Plain C++, no Qt; libpcap does the file reading.
#pragma once

#include "capture/PacketLog.h"
#include "capture/PcapWriter.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pcap {

// Port -> capture protocol code (the codes of protocol/Registry.h) chosen by the user; overrides the
// registry's well-known ports.
// CMPP and SMGP stand for either version, which the stream's connect or login shows (before either, a SUBMIT
// or DELIVER is read by the version whose fields end at its length); CMPP3 and SMGP3 force 3.0.
using DecodeAsTable = std::map<uint16_t, uint16_t>;
// "PORT=PROTO" with PROTO a command-line protocol name (protocol::FindByCliName); false with error text.
bool ParseDecodeAs(std::string_view text, DecodeAsTable& table, std::string& error);
// The protocol code for a port, or -1 when neither the overrides nor the built-in table know it.
int ProtocolForPort(uint16_t port, const DecodeAsTable& overrides);

// Whether the first data segment of a connection on a port no protocol is known on opens with SMPP: a whole
// 16-octet header with a length from 16 to SMPP's largest PDU, an SMPP 3.4 command id and a believable
// command status, and, where the segment holds more than that PDU, the headers behind it just as believable
// as far as they are in. A capture Tarnwick wrote from a server on another port reads back as SMPP this way.
bool OpensLikeSmpp(std::span<const uint8_t> segment);

struct ImportSummary {
    uint64_t frames = 0, pdus = 0;
    uint64_t skippedFrames = 0;   // non-IPv4, non-TCP, cut by the snap length, unknown port
    uint64_t badPdus = 0;         // length field below the header size or above the protocol's maximum
    uint64_t gaps = 0;            // missing stream bytes
    uint64_t versionGuesses = 0;  // CMPP/SMGP SUBMIT and DELIVER read by the version that ends at their length
    uint64_t smppByHeader = 0;    // connections on ports no protocol is known on, read as SMPP by their first PDU
    bool truncatedFile = false;
    bool keptNewestOnly = false;  // the file held more than the capture log keeps
    bool cancelled = false;
    std::vector<std::string> messages;   // one line each, for the user
};

// Reads a pcap or pcapng file in steps, so that the window stays responsive and can cancel.
class CPcapImporter {
public:
    CPcapImporter();
    ~CPcapImporter();
    CPcapImporter(const CPcapImporter&) = delete;
    CPcapImporter& operator=(const CPcapImporter&) = delete;

    bool Open(const std::string& path, const DecodeAsTable& overrides, std::string& error);
    // The same from bytes in memory (not copied: they must outlive the import).
    bool OpenMemory(const uint8_t* data, size_t size, const DecodeAsTable& overrides, std::string& error);
    // Reads up to maxFrames frames, appending every complete PDU to log; false once the file is done.
    bool Step(CPacketLog& log, int maxFrames);
    double Progress() const; // 0 .. 1
    // Ends the import (also after a cancel: set cancelled) and returns the summary.
    const ImportSummary& Finish(CPacketLog& log, bool cancelled = false);

    struct State; // the file and the streams, kept out of this header

private:
    bool Begin(const std::string& name, const DecodeAsTable& overrides, std::string& error);

    std::unique_ptr<State> m_state;
    ImportSummary m_summary;
};

} // namespace pcap
