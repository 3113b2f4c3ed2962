// The one reader of ESME request bodies: destinations as the fault rules see them, a bind's
// address_range and the leading texts, on good bodies and on bodies cut or left without NULs.
#include "smpp/BodyReader.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using test_bytes::Builder;
using smpp::CRequestBodyReader;

struct Read {
    std::vector<std::string> destinations; // lists marked "list:"
    CRequestBodyReader::Next last;
    bool ok; // the cursor after the last destination
};

Read Destinations(uint32_t commandId, const Bytes& body) {
    CRequestBodyReader reader(body.data(), int32_t(body.size()));
    std::string_view serviceType;
    smpp::AddressField source;
    reader.ReadHead(commandId, &serviceType, &source);
    Read read;
    CRequestBodyReader::Destination d;
    while ((read.last = reader.NextDestination(&d)) == CRequestBodyReader::Next::Destination)
        read.destinations.push_back((d.list ? "list:" : "") + std::string(d.address.addr));
    read.ok = reader.Cursor().Ok();
    return read;
}

TEST(BodyReader, DestinationsOfEachRequestAtTheirSmppWidths) {
    using Next = CRequestBodyReader::Next;
    const std::string long64(64, '9'), short20(20, '8');
    const struct {
        const char* name;
        uint32_t commandId;
        Bytes body;
        Read expected;
    } cases[] = {
        {"submit_sm", 0x00000004, Builder().cstr("CMT").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").u8(0), {{"456"}, Next::End, true}},
        {"submit_sm, 20-character destination", 0x00000004, Builder().cstr("").u8(1).u8(1).cstr("1").u8(1).u8(1).cstr(short20), {{short20}, Next::End, true}},
        {"data_sm, 64-character addresses", 0x00000103, Builder().cstr("").u8(1).u8(1).cstr(long64).u8(1).u8(1).cstr(long64), {{long64}, Next::End, true}},
        {"cancel_sm", 0x00000008, Builder().cstr("").cstr("000001").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456"), {{"456"}, Next::End, true}},
        {"submit_multi, address and list", 0x00000021, Builder().cstr("").u8(1).u8(1).cstr("123").u8(2).u8(1).u8(1).u8(1).cstr("456").u8(2).cstr("team"), {{"456", "list:team"}, Next::End, true}},
        {"query_sm carries none", 0x00000003, Builder().cstr("000001").u8(1).u8(1).cstr("123"), {{}, Next::End, true}},
    };
    const struct {
        const char* name;
        uint32_t commandId;
        Bytes body;
        Read expected;
    } bad[] = {
        {"no body", 0x00000004, {}, {{}, Next::End, false}},                                                                            // service_type missing
        {"submit_sm, 21-character destination", 0x00000004, Builder().cstr("").u8(1).u8(1).cstr("1").u8(1).u8(1).cstr(short20 + "8"), {{}, Next::End, false}}, // no NUL within 21 octets
        {"submit_sm, 64-character source", 0x00000004, Builder().cstr("").u8(1).u8(1).cstr(long64).u8(1).u8(1).cstr("456"), {{}, Next::End, false}}, // data_sm's width only
        {"cut inside the destination", 0x00000004, Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).raw("45"), {{}, Next::End, false}},   // the body ends first
        {"submit_multi, source without NUL", 0x00000021, Builder().cstr("").u8(1).u8(1).raw(std::string(30, '1')), {{}, Next::End, false}},       // nothing after it is read
        {"submit_multi, count beyond the body", 0x00000021, Builder().cstr("").u8(1).u8(1).cstr("1").u8(3).u8(1).u8(1).u8(1).cstr("456"), {{"456"}, Next::End, false}}, // two promised, none there
        {"submit_multi, dest_flag 3", 0x00000021, Builder().cstr("").u8(1).u8(1).cstr("1").u8(2).u8(1).u8(1).u8(1).cstr("456").u8(3).cstr("x"), {{"456"}, Next::BadFlag, true}}, // neither address nor list
        {"submit_multi, dest_flag 0", 0x00000021, Builder().cstr("").u8(1).u8(1).cstr("1").u8(1).u8(0).u8(1).u8(1).cstr("456"), {{}, Next::BadFlag, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read read = Destinations(c.commandId, c.body);
        EXPECT_EQ(read.destinations, c.expected.destinations);
        EXPECT_EQ(read.last, c.expected.last);
        EXPECT_EQ(read.ok, c.expected.ok);
    }
    for (const auto& b : bad) {
        SCOPED_TRACE(b.name);
        const Read read = Destinations(b.commandId, b.body);
        EXPECT_EQ(read.destinations, b.expected.destinations);
        EXPECT_EQ(read.last, b.expected.last);
        EXPECT_EQ(read.ok, b.expected.ok);
    }
}

TEST(BodyReader, BindAddressRangeAndLeadingTexts) {
    const Bytes head = Builder().cstr("esme").cstr("pw").cstr("TEST").u8(0x34).u8(1).u8(1);
    const std::string range40(40, '7');
    const struct {
        const char* name;
        Bytes body;
        std::string range;
    } cases[] = {
        {"address_range", Builder().raw(head).cstr("^138"), "^138"},
        {"empty", Builder().raw(head).cstr(""), ""},
        {"without its NUL, ending with the body", Builder().raw(head).raw("^139"), "^139"},
        {"cut at 40 characters", Builder().raw(head).raw(range40 + "77"), range40},
        {"body ends before it", head, ""},                                                                   // nothing after addr_npi
        {"body ends inside the three octets", Builder().cstr("esme").cstr("pw").cstr("TEST").u8(0x34), ""},  // no addr_ton, addr_npi
        {"system_id without NUL in 16 octets", Builder().raw(std::string(16, 's')).cstr("pw").cstr("T").u8(0x34).u8(1).u8(1).cstr("^1"), ""},
        {"password without NUL in 9 octets", Builder().cstr("e").raw(std::string(9, 'p')).cstr("T").u8(0x34).u8(1).u8(1).cstr("^1"), ""},
        {"system_type without NUL in 13 octets", Builder().cstr("e").cstr("p").raw(std::string(13, 't')).u8(0x34).u8(1).u8(1).cstr("^1"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(smpp::BindAddressRange(c.body.data(), int32_t(c.body.size())), c.range);
    }

    const Bytes id = Builder().raw("0123456789abcdefXYZ").u8(0);
    EXPECT_EQ(smpp::LeadingText(id.data(), int32_t(id.size()), 15), "0123456789abcde"); // cut to the width
    EXPECT_EQ(smpp::LeadingText(id.data(), 4, 15), "0123");                              // ends with the body
    EXPECT_EQ(smpp::LeadingText(id.data(), 0, 15), "");
    EXPECT_EQ(smpp::LeadingText(id.data(), -1, 15), "");                                 // never read before the body
}

} // namespace
