// The six message operations over loopback and the message id counter they share.
#include "tests/smpp/EsmeSupport.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace test_esme;

Bytes IdResp(uint32_t commandId, uint32_t sequence, const std::string& messageId) {
    return SmppPdu(commandId, sequence, Builder().cstr(messageId));
}

TEST(MessageIdText, IsSixWideWithZerosAfterTheSign) {
    struct Case {
        int16_t id;
        const char* text;
    };
    const Case cases[] = {
        {0, "000000"},      {1, "000001"},      {42, "000042"},      {99999 % 32768, "001695"},
        {32767, "032767"}, {-1, "-00001"},     {-42, "-00042"},     {-32768, "-32768"},
        {-9999, "-09999"}, {-10000, "-10000"}, {10000, "010000"},   {12345, "012345"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char out[8];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(smpp::FormatMessageId(c.id, out), int(std::strlen(c.text)));
        EXPECT_STREQ(out, c.text);
    }
}

TEST_F(SmppServerTest, FirstIdsAreSharedAcrossConnectionsAndCommands) {
    auto first = ConnectBound("one");
    auto second = ConnectBound("two");
    first->Send(SmppPdu(0x00000004, 1, SubmitBody()));
    const auto submitResp = first->NextPdu();
    second->Send(SmppPdu(0x00000103, 2, DataSmBody()));
    const auto dataResp = second->NextPdu();
    first->Send(SmppPdu(0x00000021, 3, SubmitMultiBody()));
    const auto multiResp = first->NextPdu();

    EXPECT_EQ(submitResp, IdResp(0x80000004, 1, "000000"));
    ASSERT_TRUE(submitResp);
    EXPECT_EQ(submitResp->size(), 23u);
    EXPECT_EQ(dataResp, IdResp(0x80000103, 2, "000001"));
    // A well-formed submit_multi_resp: message_id, no_unsuccess 0, and nothing after it.
    EXPECT_EQ(multiResp, SmppPdu(0x80000021, 3, Builder().cstr("000002").u8(0)));
    ASSERT_TRUE(multiResp);
    EXPECT_EQ(multiResp->size(), 16u + 7u + 1u);
}

TEST_F(SmppServerTest, CounterWrapsFrom32767ToMinus32768AndBackToZero) {
    auto esme = ConnectBound("esme");
    struct Step {
        int16_t start;
        std::vector<std::string> ids;
    };
    const Step steps[] = {
        {32766, {"032766", "032767", "-32768", "-32767"}},
        {-2, {"-00002", "-00001", "000000", "000001"}},
    };
    uint32_t sequence = 10;
    for (const Step& step : steps) {
        server.SetNextMessageId(step.start);
        for (const std::string& id : step.ids) {
            SCOPED_TRACE(id);
            esme->Send(SmppPdu(0x00000004, ++sequence, SubmitBody()));
            EXPECT_EQ(esme->NextPdu(), IdResp(0x80000004, sequence, id));
        }
    }
}

TEST_F(SmppServerTest, QuerySmEchoesTheMessageIdWithEmptyState) {
    struct Case {
        const char* name;
        Bytes body;
        std::string echoed;
    };
    const std::string sixtyFour(64, '7');
    const Case cases[] = {
        {"issued id", Builder().cstr("000042").u8(1).u8(1).cstr("12345"), "000042"},
        {"never issued", Builder().cstr("no-such-id").u8(1).u8(1).cstr("12345"), "no-such-id"},
        {"empty id", Builder().cstr("").u8(1).u8(1).cstr("12345"), ""},
        {"no body", {}, ""},
        {"sixty-four characters", Builder().cstr(sixtyFour), sixtyFour},
        {"seventy characters are cut to sixty-four", Builder().cstr(std::string(70, '8')), std::string(64, '8')},
        {"id without NUL ends with the body", Builder().raw("000042"), "000042"},
        {"long id without NUL", Builder().raw(std::string(300, '9')), std::string(64, '9')},
    };
    auto esme = ConnectBound("esme");
    uint32_t sequence = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        esme->Send(SmppPdu(0x00000003, ++sequence, c.body));
        const auto response = esme->NextPdu();
        // message_id, empty final_date, message_state 0, error_code 0.
        EXPECT_EQ(response, SmppPdu(0x80000003, sequence, Builder().cstr(c.echoed).u8(0).u8(0).u8(0)));
    }
    EXPECT_EQ(server.GetNextMessageId(), 0) << "a query issues no identifier";
}

TEST_F(SmppServerTest, ReplaceAndCancelAreAnsweredWithHeaderOnly) {
    auto esme = ConnectBound("esme");
    esme->Send(SmppPdu(0x00000007, 1, Builder().cstr("000001").u8(1).u8(1).cstr("12345").cstr("").cstr("").u8(0).u8(0).u8(2).raw("Hi")));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000007, 1));
    esme->Send(SmppPdu(0x00000008, 2, Builder().cstr("").cstr("000001").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890")));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000008, 2));
    EXPECT_EQ(server.GetNextMessageId(), 0);
}

TEST_F(SmppServerTest, RegisteredDeliveryGetsTheResponseAndNothingMore) {
    auto esme = ConnectBound("esme");
    esme->Send(SmppPdu(0x00000004, 1, SubmitBody(1)));
    esme->Send(SmppPdu(0x00000015, 2));
    EXPECT_EQ(esme->NextPdu(), IdResp(0x80000004, 1, "000000"));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, 2));
    EXPECT_TRUE(esme->Received().empty());
}

} // namespace
