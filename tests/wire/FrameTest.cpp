// wire::Frame: need more, one PDU of n octets, or a length that puts the stream out of step.
#include "wire/Frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using wire::FrameResult;
using wire::FrameStatus;

TEST(Frame, CutsByTheLengthFieldOnceTheHeaderIsIn) {
    constexpr uint32_t kHeader = 12, kMax = 40;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        FrameResult expected;
    } cases[] = {
        {"nothing yet", {}, {FrameStatus::NeedMore, 0}},
        {"length in, header not", {0, 0, 0, 12, 0, 0}, {FrameStatus::NeedMore, 0}},
        {"bad length, header not in yet", {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::NeedMore, 0}},
        {"header-only PDU", {0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::Pdu, 12}},
        {"body still missing", {0, 0, 0, 14, 0, 0, 0, 0, 0, 0, 0, 0, 9}, {FrameStatus::NeedMore, 14}},
        {"PDU and the start of the next", {0, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0}, {FrameStatus::Pdu, 13}},
        {"largest PDU", {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::NeedMore, 40}},
        {"below the header", {0, 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::Invalid, 11}},
        {"zero", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::Invalid, 0}},
        {"one above the largest", {0, 0, 0, 41, 0, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::Invalid, 41}},
        {"all ones", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, {FrameStatus::Invalid, 0xFFFFFFFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(wire::Frame(c.bytes.data(), c.bytes.size(), kHeader, kMax), c.expected);
    }
}

} // namespace
