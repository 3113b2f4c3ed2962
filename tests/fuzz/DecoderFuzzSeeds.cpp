// Writes a seed corpus for decoder-fuzz: one typical record per protocol, a few SMPP bodies, and every record
// of the golden corpus when its folder is given.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fuzz/GoldenRecords.h"
#include "tests/support/Bytes.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

// A gateway-style PDU: length, command id, sequence, then the body.
Bytes GatewayPdu(uint32_t command, const Bytes& body) {
    return test_bytes::Pdu12(command, 1, body);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: decoder-fuzz-seeds DIRECTORY [GOLDEN-DIRECTORY]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Bytes text = Builder().cstr("hello").bytes();
    const Bytes tlvs = Builder().u16(0x020C).u16(2).u16(42).u16(0x0424).u16(3).raw("abc").bytes();
    const struct {
        const char* name;
        Bytes record;
    } seeds[] = {
        {"smpp-submit", CaptureRecord(2, SmppPdu(4, 1, Builder()
                                                          .cstr("CMT").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890")
                                                          .u8(0x40).u8(0).u8(1).cstr("").cstr("").u8(1).u8(0).u8(0).u8(0)
                                                          .u8(5).raw("hello").raw(tlvs)))},
        {"smpp-deliver", CaptureRecord(2, SmppPdu(5, 2, Builder()
                                                           .cstr("").u8(1).u8(1).cstr("139").u8(0).u8(0).cstr("10086")
                                                           .u8(0x04).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(8).u8(0)
                                                           .u8(4).u16(0x4F60).u16(0x597D)))},
        {"smpp-deliver-udh-receipt", CaptureRecord(2, SmppPdu(5, 2, Builder()
                                                                       .cstr("").u8(1).u8(1).cstr("139").u8(0).u8(0).cstr("10086")
                                                                       .u8(0x44).u8(0).u8(0).cstr("").cstr("").u8(0x11).u8(0).u8(0).u8(0)
                                                                       .u8(43).u8(5).u8(0).u8(3).u8(7).u8(2).u8(1)
                                                                       .raw("id:1 sub:1 dlvrd:1 stat:DELIVRD err:0")
                                                                       .u16(0x0427).u16(1).u8(2)))},
        {"smpp-multi", CaptureRecord(2, SmppPdu(0x21, 3, Builder()
                                                            .cstr("").u8(0).u8(0).cstr("1").u8(2)
                                                            .u8(1).u8(1).u8(1).cstr("111").u8(2).cstr("list")
                                                            .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0)
                                                            .u8(2).raw("hi")))},
        {"smpp-multi-resp", CaptureRecord(2, SmppPdu(0x80000021, 4, Builder()
                                                                       .cstr("7").u8(1).u8(1).u8(1).cstr("111").u32(8)))},
        {"smpp-bind", CaptureRecord(2, SmppPdu(9, 5, Builder()
                                                        .cstr("sys").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr("")))},
        {"smpp-data", CaptureRecord(2, SmppPdu(0x103, 6, Builder()
                                                            .cstr("").u8(0).u8(0).cstr("1").u8(0).u8(0).cstr("2")
                                                            .u8(0).u8(0).u8(0).raw(tlvs)))},
        {"cmpp", CaptureRecord(1, GatewayPdu(0x00000004, Bytes(160, 0x31)))},
        {"cmpp-deliver", CaptureRecord(1, GatewayPdu(0x00000005, Bytes(120, 0x01)))},
        {"cmpp3", CaptureRecord(4, GatewayPdu(0x00000004, Bytes(180, 0x31)))},
        {"smgp", CaptureRecord(3, GatewayPdu(0x00000002, Bytes(150, 0x30)))},
        {"smgp3", CaptureRecord(9, GatewayPdu(0x00000002, Builder().raw(Bytes(140, 0x30)).u16(3).u16(4).raw("link").u16(4).u16(1).u8(2)))},
        {"sgip", CaptureRecord(6, Builder().u32(40).u32(3).u32(1).u32(2).u32(3).raw(Bytes(20, 0x31)))},
        {"cngp", CaptureRecord(7, Builder().u32(36).u32(2).u32(0).u32(1).raw(Bytes(20, 0x31)))},
        {"test", CaptureRecord(8, GatewayPdu(0x00001002, text))},
    };
    const auto write = [&dir](const std::string& name, const Bytes& record) {
        std::ofstream file(dir + "/" + name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        if (!file) std::fprintf(stderr, "decoder-fuzz-seeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
        return bool(file);
    };
    bool written = true;
    for (const auto& seed : seeds) written = write(seed.name, seed.record) && written;
    if (argc == 3)
        for (const golden_records::Record& record : golden_records::Read(argv[2]))
            written = write("golden-" + record.name, record.bytes) && written;
    return written ? 0 : 1;
}
