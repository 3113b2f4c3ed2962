// Capture files: pcap export and pcap/pcapng import.
#include "capture/Pcap.h"

namespace pcap {

struct CPcapImporter::State {};

bool ParseDecodeAs(std::string_view, DecodeAsTable&, std::string& error) {
    error = "not available yet";
    return false;
}

int ProtocolForPort(uint16_t, const DecodeAsTable&) { return -1; }

bool ExportLog(const CPacketLog&, const std::string&, std::string& error) {
    error = "not available yet";
    return false;
}

CPcapImporter::CPcapImporter() = default;
CPcapImporter::~CPcapImporter() = default;

bool CPcapImporter::Open(const std::string&, const DecodeAsTable&, std::string& error) {
    error = "not available yet";
    return false;
}

bool CPcapImporter::Step(CPacketLog&, int) { return false; }

double CPcapImporter::Progress() const { return 1.0; }

const ImportSummary& CPcapImporter::Finish(CPacketLog&, bool cancelled) {
    m_summary.cancelled = cancelled;
    return m_summary;
}

} // namespace pcap
