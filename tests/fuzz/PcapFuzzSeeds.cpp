// Writes a seed corpus for pcap-fuzz: capture files of short conversations in every protocol, and one capture
// file per case of the golden corpus when its folder is given.
#include <cstdio>
#include <string>
#include <vector>

#include "capture/Pcap.h"
#include "capture/PacketRecord.h"
#include "tests/fuzz/GoldenRecords.h"
#include "tests/support/Bytes.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: pcap-fuzz-seeds DIRECTORY [GOLDEN-DIRECTORY]\n");
        return 2;
    }
    using test_bytes::Builder;
    using Bytes = std::vector<uint8_t>;
    const auto pdu12 = [](uint32_t command, const Bytes& body) { return test_bytes::Pdu12(command, 1, body); };
    const struct {
        const char* name;
        uint16_t protocol, serverPort;
        std::vector<Bytes> pdus; // client, server, client ...
    } conversations[] = {
        {"smpp", 2, 2775, {test_bytes::SmppPdu(0x15, 1), test_bytes::SmppPdu(0x80000015, 1)}},
        {"smpp-odd-port", 2, 40123, {test_bytes::SmppPdu(0x15, 1), test_bytes::SmppPdu(0x80000015, 1)}},
        {"cmpp", 1, 7890, {pdu12(1, Builder().text("901234", 6).fill(16).u8(0x20).u32(0)),
                           pdu12(0x80000001, Builder().u8(0).fill(16).u8(0x20))}},
        {"smgp3", 9, 8890, {pdu12(1, Builder().text("client", 8).fill(16).u8(0).u32(0).u8(0x30)), pdu12(4, {})}},
        {"test", 8, 8880,
         {pdu12(0x1001, Builder().u32(1).text("13900000001", 24)), pdu12(0x80001001, Builder().u32(0))}},
    };
    int failures = 0;
    for (const auto& conversation : conversations) {
        CPacketLog log;
        log.Reset();
        bool fromClient = true;
        for (const Bytes& pdu : conversation.pdus) {
            const PacketPeer client{0x0A000001, 40100}, server{0x0A000002, conversation.serverPort};
            const PacketPeer from = fromClient ? client : server, to = fromClient ? server : client;
            log.AddCaptured(conversation.protocol, 1700000000LL * 1000000, from.address, from.port, to, pdu.data(),
                            uint32_t(pdu.size()));
            fromClient = !fromClient;
        }
        std::string error;
        if (!pcap::ExportLog(log, std::string(argv[1]) + "/" + conversation.name + ".pcap", error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            ++failures;
        }
    }
    // A golden record's PDU goes to the first well-known port of its protocol code (no peer named).
    if (argc == 3) {
        for (const golden_records::Record& record : golden_records::Read(argv[2])) {
            if (record.bytes.size() <= packet_record::kHeaderSize) continue;
            const uint16_t protocol = uint16_t(record.bytes[14] | record.bytes[15] << 8);
            CPacketLog log;
            log.Reset();
            log.AddCaptured(protocol, 1700000000LL * 1000000, 0x0A000001, 40100, PacketPeer{},
                            record.bytes.data() + packet_record::kHeaderSize,
                            uint32_t(record.bytes.size() - packet_record::kHeaderSize));
            std::string error;
            if (log.GetCount() && !pcap::ExportLog(log, std::string(argv[1]) + "/golden-" + record.name + ".pcap", error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                ++failures;
            }
        }
    }
    return failures ? 1 : 0;
}
