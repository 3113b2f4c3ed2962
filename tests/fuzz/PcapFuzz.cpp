// libFuzzer entry: any bytes are a capture file; the import must stay inside them and leave a log of
// whole records, each no longer than the largest PDU a protocol frames.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "capture/PacketRecord.h"
#include "capture/Pcap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CPacketLog log;
    if (size > 1 << 20) return 0;
    log.Reset();
    pcap::CPcapImporter importer;
    std::string error;
    if (!importer.OpenMemory(data, size, {{40000, 1}, {40001, 9}}, error)) return 0;
    while (importer.Step(log, 64)) {
    }
    const pcap::ImportSummary& summary = importer.Finish(log);
    if (summary.pdus < uint64_t(log.GetCount())) std::abort();
    for (int32_t index = 0; index < log.GetCount(); ++index) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(index, &length);
        if (!record || length < packet_record::kHeaderSize + 12 || length > packet_record::kHeaderSize + 65536)
            std::abort();
        if (wire::ReadBe32(record + packet_record::kHeaderSize) != length - packet_record::kHeaderSize)
            std::abort();
    }
    return 0;
}
