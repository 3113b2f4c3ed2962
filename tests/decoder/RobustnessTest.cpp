// Damaged and random records of every protocol: the decode returns and its lines stay inside the record.
#include "decoder/PacketDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/Bytes.h"

namespace {

using test_bytes::Builder;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kProtocols[] = {1, 2, 3, 4, 6, 7, 8, 9, 0, 5, 10, 11, 12, 0xFFFF};

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every command id the table knows, from its command-id case rows.
        for (const FieldDescriptor& row : decoder.Descriptors()) {
            const std::string label = row.label;
            if (row.kind == 8 && row.caseOwner == 0 && label.size() == 8)
                commandIds.push_back(static_cast<uint32_t>(std::strtoul(label.c_str(), nullptr, 16)));
        }
    }

    // Decodes a copy of exactly `size` bytes on the heap, so a read past it is caught by the
    // address sanitizer, and checks every line against the record.
    void Check(const uint8_t* bytes, size_t size) {
        std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
        std::copy(bytes, bytes + size, copy.get());
        const int32_t total = static_cast<int32_t>(size);
        decoder.Decode(copy.get(), total);
        ++decodes;
        for (const DecodeLine& line : decoder.Lines()) {
            if (line.offset < 0 || line.width < 0 || line.offset > total || line.width > total - line.offset) {
                ADD_FAILURE() << "line " << line.id << " \"" << line.text << "\" at " << line.offset << "+"
                              << line.width << " outside a record of " << total << " bytes";
                return;
            }
        }
    }
    void Check(const Bytes& record) { Check(record.data(), record.size()); }

    // A PDU with a known (or random) command id at byte 4 and a body of random bytes that favours
    // the values fields care about: NUL, small counts and lengths, digits, TLV-looking tags.
    Bytes RandomPdu() {
        std::uniform_int_distribution<int> pick(0, 99);
        const uint32_t command =
            pick(rng) < 90 && !commandIds.empty() ? commandIds[rng() % commandIds.size()] : static_cast<uint32_t>(rng());
        const size_t bodySize = rng() % (pick(rng) < 80 ? 120 : 600);
        Builder pdu;
        pdu.u32(static_cast<uint32_t>(16 + bodySize)).u32(command).u32(rng() % 4).u32(rng());
        for (size_t i = 0; i < bodySize; ++i) {
            const int choice = pick(rng);
            if (choice < 25) pdu.u8(0);
            else if (choice < 45) pdu.u8(rng() % 8);
            else if (choice < 60) pdu.u8('0' + rng() % 10);
            else if (choice < 65) pdu.u8(0xFF);
            else pdu.u8(rng() & 0xFF);
        }
        return pdu;
    }

    Bytes RandomRecord(uint16_t protocol) {
        const Bytes pdu = RandomPdu();
        return Builder()
            .u32le(static_cast<uint32_t>(16 + pdu.size()))
            .u32le(static_cast<uint32_t>(rng()))
            .u32(static_cast<uint32_t>(rng()))
            .u16le(rng() & 0xFFFF)
            .u16le(protocol)
            .raw(pdu);
    }

    CPacketDecoder decoder;
    std::vector<uint32_t> commandIds;
    std::mt19937 rng{20240611};
    int decodes = 0;
};

TEST_F(RobustnessTest, EveryTruncation) {
    for (uint16_t protocol : kProtocols) {
        for (int round = 0; round < 60; ++round) {
            const Bytes record = RandomRecord(protocol);
            for (size_t size = 0; size <= record.size(); ++size) Check(record.data(), size);
        }
    }
    EXPECT_GT(decodes, 10000);
}

TEST_F(RobustnessTest, BitFlipsAndExtremeValues) {
    const uint8_t extremes[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
    for (uint16_t protocol : kProtocols) {
        for (int round = 0; round < 600; ++round) {
            Bytes record = RandomRecord(protocol);
            if (round % 2 == 0) {
                for (int flips = 1 + static_cast<int>(rng() % 8); flips > 0; --flips) {
                    const size_t at = 16 + rng() % (record.size() - 16); // keep the protocol code
                    record[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
                }
            } else { // lengths and counts at their extremes
                for (size_t at = 16; at < record.size(); ++at)
                    if (rng() % 6 == 0) record[at] = extremes[rng() % std::size(extremes)];
            }
            Check(record);
        }
    }
}

TEST_F(RobustnessTest, RandomBytes) {
    for (int round = 0; round < 20000; ++round) {
        Bytes record(rng() % 200);
        for (uint8_t& b : record) b = static_cast<uint8_t>(rng());
        if (record.size() >= 16 && round % 2 == 0) // half of them with a protocol code that leads somewhere
            record[14] = static_cast<uint8_t>(kProtocols[rng() % 8]), record[15] = 0;
        Check(record);
    }
}

} // namespace
