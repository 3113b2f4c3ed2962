// Capture files written: the capture log as a classic pcap file of synthesized Ethernet, IPv4 and TCP frames.
#pragma once

#include "capture/PacketLog.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace pcap {

// Writes capture records as the frames of a classic pcap file: Ethernet, IPv4 and TCP synthesized from each
// record's source and the other end of its connection, sequence and acknowledgement numbers carried on per
// connection so that analysers put the streams back together. Each frame goes out in one write, so a file cut
// off at any moment ends, at worst, inside its last frame.
class CPcapWriter {
public:
    CPcapWriter() = default;
    ~CPcapWriter();
    CPcapWriter(const CPcapWriter&) = delete;
    CPcapWriter& operator=(const CPcapWriter&) = delete;

    bool Open(const std::string& path, std::string& error);
    // record: a whole capture record (header and PDU) of length octets, written at the context's time.
    bool Write(const uint8_t* record, uint32_t length, const PacketSummary& context);
    bool Flush();
    bool Close(std::string& error);
    bool IsOpen() const { return m_file != nullptr; }

private:
    struct Direction {
        uint32_t nextSequence = 0;
    };
    struct Connection {
        Direction directions[2]; // from the lower end, from the higher end
    };
    std::FILE* m_file = nullptr;
    bool m_failed = false;
    std::map<uint64_t, std::map<uint64_t, Connection>> m_connections; // lower end -> higher end
    uint16_t m_ipId = 0;
    std::vector<uint8_t> m_frame;
};

// Writes the whole capture log as a classic pcap file (Ethernet; synthesized IPv4/TCP per connection with
// consistent sequence/acknowledgement numbers; capture times to the microsecond). PDUs the user typed in are
// left out: no connection carried them. False with error text on failure.
bool ExportLog(const CPacketLog& log, const std::string& path, std::string& error);
// Writes the records of those indexes (in the order given) as ExportLog writes the whole log.
bool ExportRecords(const CPacketLog& log, std::span<const int32_t> records, const std::string& path, std::string& error);

} // namespace pcap
