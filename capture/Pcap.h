// Capture files: the capture log written as a classic pcap file, and pcap or pcapng files read
// back into it. Plain C++, no Qt; libpcap does the file reading.
#pragma once

#include "capture/PacketLog.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pcap {

// Port -> capture protocol code (the codes of decoder/Protocols.h) chosen by the user; overrides the built-in
// port table (SMPP 2775 5018, CMPP 7890 7900 7930 9168, SGIP 8801 8001, SMGP 8890, CNGP 9890, TEST 8880).
using DecodeAsTable = std::map<uint16_t, uint16_t>;
// "PORT=PROTO" with PROTO a command-line protocol name (protocols::FindByCliName); false with error text.
bool ParseDecodeAs(std::string_view text, DecodeAsTable& table, std::string& error);
// The protocol code for a port, or -1 when neither the overrides nor the built-in table know it.
int ProtocolForPort(uint16_t port, const DecodeAsTable& overrides);

// Writes the whole capture log as a classic pcap file (Ethernet; synthesized IPv4/TCP per connection with
// consistent sequence/acknowledgement numbers; record times kept). False with error text on failure.
bool ExportLog(const CPacketLog& log, const std::string& path, std::string& error);

struct ImportSummary {
    uint64_t frames = 0, pdus = 0;
    uint64_t skippedFrames = 0;   // non-IPv4, non-TCP, cut by the snap length, unknown port
    uint64_t badPdus = 0;         // length field below the header size or above the protocol's maximum
    uint64_t gaps = 0;            // missing stream bytes
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
    // Reads up to maxFrames frames, appending every complete PDU to log; false once the file is done.
    bool Step(CPacketLog& log, int maxFrames);
    double Progress() const; // 0 .. 1
    // Ends the import (also after a cancel: set cancelled) and returns the summary.
    const ImportSummary& Finish(CPacketLog& log, bool cancelled = false);

private:
    struct State;
    std::unique_ptr<State> m_state;
    ImportSummary m_summary;
};

} // namespace pcap
