// The SMPP server over loopback: what each PDU gets and how it is filed, binds, and message ids.
#include "smpp/SmppServer.h"
#include "smpp/Broadcasts.h"
#include "smpp/MessageIds.h"

#include "protocol/Registry.h"
#include "tests/engine/ServerSuite.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace test_server;
using test_bytes::Builder;
using test_bytes::SmppPdu;
using test_bytes::Tlv;

// A full SMPP 3.4 bind body around the given system_id.
Bytes BindBody(const std::string& systemId) {
    return Builder().cstr(systemId).cstr("secret").cstr("TEST").u8(0x34).u8(1).u8(1).cstr("");
}
// A bind response as an ESME expects it: system_id, then sc_interface_version 0x50, the highest served.
Bytes BindResp(uint32_t commandId, uint32_t sequence, const std::string& systemId) {
    return SmppPdu(commandId, sequence, Builder().cstr(systemId).u16(0x0210).u16(1).u8(0x50));
}
// A submit_sm body to 67890 with the text "Hi".
Bytes SubmitBody(uint8_t registeredDelivery = 0) {
    return Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0).u8(0).u8(0)
        .cstr("").cstr("").u8(registeredDelivery).u8(0).u8(0).u8(0).u8(2).raw("Hi");
}
// submit_multi to two SME addresses with the text "Hi".
Bytes SubmitMultiBody() {
    return Builder().cstr("").u8(1).u8(1).cstr("12345").u8(2)
        .u8(1).u8(1).u8(1).cstr("67890").u8(1).u8(1).u8(1).cstr("67891")
        .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi");
}
// The data_sm mandatory body: service_type, addresses, esm_class, registered_delivery, data_coding.
Bytes DataSmBody() {
    return Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0).u8(0).u8(0);
}
Bytes IdResp(uint32_t commandId, uint32_t sequence, const std::string& messageId) {
    return SmppPdu(commandId, sequence, Builder().cstr(messageId));
}
Bytes Nack(uint32_t sequence, uint32_t status) { return SmppPdu(0x80000000, sequence, {}, status); }
// broadcast_sm's mandatory fields, as SMPP 5.0 lays them out: no destination, no registered_delivery.
const Bytes kBroadcastHead = Builder().cstr("").u8(1).u8(1).cstr("12345").cstr("").u8(0).cstr("").cstr("").u8(0).u8(0).u8(0);
const Bytes kArea = Tlv(0x0606, Builder().u8(0).raw("NORTH")); // format 0: an area by its alias
const Bytes kContentType = Tlv(0x0601, Builder().u8(1).u16(0x0010));
const Bytes kRepNum = Tlv(0x0604, Builder().u16(5));
const Bytes kInterval = Tlv(0x0605, Builder().u8(0x09).u16(10)); // every ten minutes
// A broadcast_sm body: the mandatory fields, then the parameters given (the four it needs by default).
Bytes BroadcastBody(const Bytes& parameters = Builder().raw(kArea).raw(kContentType).raw(kRepNum).raw(kInterval)) {
    return Builder().raw(kBroadcastHead).raw(parameters);
}

struct SmppTraits {
    using Server = CSmppServer;
    static constexpr uint16_t kProtocol = 2;
    static constexpr const char* kName = "SMPP";
    static constexpr const char* kOk = "ok";
    static Bytes Login(const std::string& name, uint32_t sequence) {
        return SmppPdu(0x00000009, sequence, BindBody(name));
    }
    static Bytes LoginAnswer(const std::string& name, uint32_t sequence) {
        return BindResp(0x80000009, sequence, name);
    }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Smpp, ServerSuite, SmppTraits);

constexpr uint32_t kSequence = 5;
// An unknown command after a request shows that nothing else was sent for it, bound or not.
constexpr uint32_t kMarker = 0x77;
const Bytes kMarkerRequest = SmppPdu(0x000000FF, kMarker);

class SmppServerTest : public ServerTest<SmppTraits> {
protected:
    std::unique_ptr<TestClient> ConnectBound(const std::string& systemId) {
        auto esme = Connect();
        esme->Send(SmppTraits::Login(systemId, 1));
        EXPECT_EQ(esme->NextPdu(), SmppTraits::LoginAnswer(systemId, 1));
        return esme;
    }
    // A transceiver bound at the given interface_version.
    std::unique_ptr<TestClient> ConnectAt(uint8_t version, const char* systemId) {
        auto esme = Connect();
        esme->Send(SmppPdu(0x00000009, 1, Builder().cstr(systemId).cstr("pw").cstr("").u8(version).u8(0).u8(0).cstr("")));
        EXPECT_TRUE(esme->NextPdu());
        return esme;
    }
};

// One row per kind of PDU an ESME may send.
struct Row {
    const char* name;
    Bytes request;
    std::optional<Bytes> answer; // none: nothing is sent back
    bool closes;                 // the connection is closed after it
    bool needsBind;              // unbound, it is captured, not answered, and the connection is closed
    bool takesId;                // served, it takes the next message id
    int requestFilter;           // filter index; -1: kept only while unknown PDUs are shown
    int answerFilter;
};

std::vector<Row> Rows() {
    constexpr uint32_t s = kSequence;
    const Bytes submitBody = SubmitBody();
    // submit_sm padded with an unknown TLV to exactly the 10240 octets of the receive buffer.
    const uint32_t padding = 10240 - 16 - uint32_t(submitBody.size()) - 4;
    const Bytes padded = Builder().raw(submitBody).u16(0x1400).u16(padding).fill(padding, 0x55);
    const Bytes query = Builder().cstr("000042").u8(1).u8(1).cstr("12345");
    const Bytes queried = Builder().cstr("000042").u8(0).u8(0).u8(0);
    const Bytes replace = Builder().cstr("000001").u8(1).u8(1).cstr("12345").cstr("").cstr("").u8(0).u8(0).u8(2).raw("Hi");
    const Bytes cancel = Builder().cstr("").cstr("000001").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890");
    const Bytes alert = Builder().u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456");
    const Bytes outbind = Builder().cstr("smsc").cstr("pw");
    const Bytes noUnsuccess = Builder().cstr("000000").u8(0); // message_id, no_unsuccess 0, and nothing after it
    const Bytes submitted = IdResp(0x80000004, s, "000000"), nack = Nack(s, 3);
    return {
        // name                          request                                     answer                                       closes bind   id     filters
        {"bind_receiver",                SmppPdu(0x00000001, s, BindBody("rx")),     BindResp(0x80000001, s, "rx"),               false, false, false,  3,  4},
        {"bind_transmitter",             SmppPdu(0x00000002, s, BindBody("tx")),     BindResp(0x80000002, s, "tx"),               false, false, false,  5,  6},
        {"bind_transceiver",             SmppPdu(0x00000009, s, BindBody("trx")),    BindResp(0x80000009, s, "trx"),              false, false, false, 19, 20},
        {"unbind",                       SmppPdu(0x00000006, s),                     SmppPdu(0x80000006, s),                      true,  true,  false, 13, 14},
        {"enquire_link",                 SmppPdu(0x00000015, s),                     SmppPdu(0x80000015, s),                      false, true,  false, 22, 23},
        {"query_sm",                     SmppPdu(0x00000003, s, query),              SmppPdu(0x80000003, s, queried),             false, true,  false,  7,  8},
        {"submit_sm",                    SmppPdu(0x00000004, s, submitBody),         submitted,                                   false, true,  true,   9, 10},
        {"submit_sm asking for receipt", SmppPdu(0x00000004, s, SubmitBody(1)),      submitted,                                   false, true,  true,   9, 10}, // and no deliver_sm
        {"submit_sm filling the buffer", SmppPdu(0x00000004, s, padded),             submitted,                                   false, true,  true,   9, 10},
        {"replace_sm",                   SmppPdu(0x00000007, s, replace),            SmppPdu(0x80000007, s),                      false, true,  false, 15, 16},
        {"cancel_sm",                    SmppPdu(0x00000008, s, cancel),             SmppPdu(0x80000008, s),                      false, true,  false, 17, 18},
        {"submit_multi",                 SmppPdu(0x00000021, s, SubmitMultiBody()),  SmppPdu(0x80000021, s, noUnsuccess),         false, true,  true,  24, 25},
        {"data_sm",                      SmppPdu(0x00000103, s, DataSmBody()),       IdResp(0x80000103, s, "000000"),             false, true,  true,  27, 28},
        // SMPP 5.0's broadcast family, sent on a session at 3.4: unknown to it, so nacked.
        {"broadcast_sm at 3.4",          SmppPdu(0x00000111, s, BroadcastBody()),    nack,                                        false, true,  false, 30,  2},
        {"query_broadcast_sm at 3.4",    SmppPdu(0x00000112, s, query),              nack,                                        false, true,  false, 32,  2},
        {"cancel_broadcast_sm at 3.4",   SmppPdu(0x00000113, s, cancel),             nack,                                        false, true,  false, 34,  2},
        {"deliver_sm_resp",              SmppPdu(0x80000005, s, Builder().cstr("")), std::nullopt,                                false, false, false, 12, -1}, // our deliver_sm's answer
        // Requests the server does not serve, and responses an ESME has no reason to send.
        {"outbind",                      SmppPdu(0x0000000B, s, outbind),            nack,                                        false, false, false, -1,  2},
        {"alert_notification",           SmppPdu(0x00000102, s, alert),              nack,                                        false, false, false, -1,  2},
        {"deliver_sm",                   SmppPdu(0x00000005, s, submitBody),         nack,                                        false, false, false, -1,  2},
        {"generic_nack",                 Nack(s, 0),                                 nack,                                        false, false, false, -1,  2},
        {"submit_sm_resp",               IdResp(0x80000004, s, "000001"),            nack,                                        false, false, false, -1,  2},
        {"bind_transceiver_resp",        SmppPdu(0x80000009, s, Builder().cstr("x")), nack,                                       false, false, false, -1,  2},
        {"enquire_link_resp",            SmppPdu(0x80000015, s),                     nack,                                        false, false, false, 23,  2}, // answers no enquire_link of ours
        {"command id no table knows",    SmppPdu(0x12345678, s, Builder().raw("junk")), nack,                                     false, false, false, -1,  2},
        {"command id all ones",          SmppPdu(0xFFFFFFFF, s),                     nack,                                        false, false, false, -1,  2},
        // A command_length the receive buffer cannot frame: the header alone is kept, and the stream dropped.
        {"command_length 15",            Builder().u32(15).u32(0x00000004).u32(0).u32(s),    Nack(s, 2),                          true,  false, false, -1,  2}, // below the header
        {"command_length 10241",         Builder().u32(10241).u32(0x00000004).u32(0).u32(s), Nack(s, 2),                          true,  false, false, -1,  2}, // above the buffer
    };
}

// Each row runs bound with its request's filter row off, bound with its answer's row off, and
// unbound with every row on: together they show the answer, the close, the bound rule, and both
// records with their source and filter index.
TEST_F(SmppServerTest, EachPduGetsItsAnswerAndIsFiledUnderItsFilterIndex) {
    enum class Off { Nothing, Request, Answer };
    std::vector<std::pair<std::string, std::unique_ptr<TestClient>>> closing;
    for (const Row& row : Rows()) {
        for (const Off off : {Off::Request, Off::Answer, Off::Nothing}) {
            if (off == Off::Answer && !row.answer)
                continue;
            const bool bound = off != Off::Nothing;
            const std::string trace = std::string(row.name).append(bound ? ", bound" : ", unbound");
            SCOPED_TRACE(trace);
            auto esme = bound ? ConnectBound("esme") : Connect();
            ASSERT_TRUE(log.Reset());
            server.SetNextMessageId(0);
            std::string filter(protocol::filter::kRows, '1');
            const int offIndex = off == Off::Request ? row.requestFilter : off == Off::Answer ? row.answerFilter : 99;
            if (offIndex == -1)
                log.SetShowUnknown(false);
            else if (offIndex < protocol::filter::kRows)
                filter[size_t(offIndex)] = '0';
            log.SetFilter(filter);

            const bool refused = !bound && row.needsBind;
            const std::optional<Bytes> answer = refused ? std::nullopt : row.answer;
            const bool closes = refused || row.closes;
            esme->Send(row.request);
            if (answer) {
                EXPECT_EQ(esme->NextPdu(), *answer);
            }
            if (closes) {
                EXPECT_TRUE(WaitUntil([&] { return IsClosing(*esme); }));
            } else {
                esme->Send(kMarkerRequest);
                EXPECT_EQ(esme->NextPdu(), Nack(kMarker, 3));
            }

            EXPECT_EQ(server.GetNextMessageId(), !refused && row.takesId ? 1 : 0);

            std::vector<Bytes> expected;
            if (off != Off::Request)
                expected.push_back(FromClient(*esme, row.request));
            if (answer && off != Off::Answer)
                expected.push_back(FromServer(*answer));
            std::vector<Bytes> records = Records();
            std::erase_if(records, [](const Bytes& r) { return r.size() >= 32 && r[31] == kMarker; });
            EXPECT_EQ(records, expected);
            log.SetShowUnknown(true);
            if (closes)
                closing.emplace_back(trace, std::move(esme));
        }
    }
    for (auto& [trace, esme] : closing) {
        SCOPED_TRACE(trace);
        EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
        EXPECT_TRUE(esme->Received().empty());
    }
}

// Each bind replaces the connection's name with at most 15 characters of its system_id; an empty
// one leaves the connection unbound.
TEST_F(SmppServerTest, BindNamesTheConnectionWithTheSystemIdCutToFifteen) {
    const struct {
        const char* name;
        uint32_t commandId;
        Bytes body;
        std::string systemId;
    } cases[] = {
        {"transceiver", 0x00000009, BindBody("esme1"), "esme1"},
        {"twenty letters", 0x00000002, BindBody("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNO"},
        {"exactly fifteen", 0x00000001, BindBody("ABCDEFGHIJKLMNO"), "ABCDEFGHIJKLMNO"},
        {"without NUL, ends with the body", 0x00000009, Builder().raw("ABC"), "ABC"},
        {"long, without NUL", 0x00000009, Builder().raw("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNO"},
        {"empty", 0x00000002, BindBody(""), ""},
        {"rebound", 0x00000002, BindBody("tx"), "tx"},
        {"no body at all", 0x00000001, {}, ""},
    };
    auto esme = Connect();
    uint32_t sequence = 100;
    std::vector<std::string> events{"connected 0"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        esme->Send(SmppPdu(c.commandId, ++sequence, c.body));
        EXPECT_EQ(esme->NextPdu(), BindResp(c.commandId | 0x80000000, sequence, c.systemId));
        EXPECT_STREQ(NthConnection(server, 0)->Name(), c.systemId.c_str());
        events.push_back("logged in 0");
    }
    EXPECT_EQ(observer.events, events);
    esme->Send(SmppPdu(0x00000004, 1, SubmitBody()));
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs)) << "the empty name binds nothing";
    EXPECT_TRUE(esme->Received().empty());
}

TEST(MessageIdText, IsSixWideWithZerosAfterTheSign) {
    const struct {
        int16_t id;
        const char* text;
    } cases[] = {
        {0, "000000"},     {42, "000042"},     {10000, "010000"},  {32767, "032767"},
        {-1, "-00001"},    {-9999, "-09999"},  {-10000, "-10000"}, {-32768, "-32768"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        char out[8];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(smpp::FormatMessageId(c.id, out), int(std::strlen(c.text)));
        EXPECT_STREQ(out, c.text);
    }
    // The receipts' own series counts through all six digits before it starts again.
    smpp::CMessageIds ids;
    std::array<char, 8> delivery{};
    for (int n = 0; n <= 100000; ++n)
        ids.IssueDelivery(delivery);
    EXPECT_STREQ(delivery.data(), "D100000");
}

// submit_sm, data_sm and submit_multi take the next identifier of one counter for all connections.
TEST_F(SmppServerTest, OneIdentifierCounterServesEveryConnection) {
    auto first = ConnectBound("one");
    auto second = ConnectBound("two");
    first->Send(SmppPdu(0x00000004, 1, SubmitBody()));
    EXPECT_EQ(first->NextPdu(), IdResp(0x80000004, 1, "000000"));
    second->Send(SmppPdu(0x00000103, 2, DataSmBody()));
    EXPECT_EQ(second->NextPdu(), IdResp(0x80000103, 2, "000001"));
    first->Send(SmppPdu(0x00000021, 3, SubmitMultiBody()));
    EXPECT_EQ(first->NextPdu(), SmppPdu(0x80000021, 3, Builder().cstr("000002").u8(0)));
}

TEST_F(SmppServerTest, CounterWrapsFrom32767ToMinus32768AndBackToZero) {
    auto esme = ConnectBound("esme");
    const struct {
        int16_t start;
        std::vector<std::string> ids;
    } steps[] = {
        {32766, {"032766", "032767", "-32768", "-32767"}},
        {-2, {"-00002", "-00001", "000000", "000001"}},
    };
    uint32_t sequence = 10;
    for (const auto& step : steps) {
        server.SetNextMessageId(step.start);
        for (const std::string& id : step.ids) {
            SCOPED_TRACE(id);
            esme->Send(SmppPdu(0x00000004, ++sequence, SubmitBody()));
            EXPECT_EQ(esme->NextPdu(), IdResp(0x80000004, sequence, id));
        }
    }
}

// Whatever message_id a query_sm names is echoed, cut to 64 characters, with empty final_date,
// message_state 0 and error_code 0.
TEST_F(SmppServerTest, QuerySmEchoesItsMessageId) {
    const struct {
        const char* name;
        Bytes body;
        std::string echoed;
    } cases[] = {
        {"never issued", Builder().cstr("no-such-id").u8(1).u8(1).cstr("12345"), "no-such-id"},
        {"empty", Builder().cstr("").u8(1).u8(1).cstr("12345"), ""},
        {"no body", {}, ""},
        {"sixty-four characters", Builder().cstr(std::string(64, '7')), std::string(64, '7')},
        {"seventy characters", Builder().cstr(std::string(70, '8')), std::string(64, '8')},
        {"without NUL, ends with the body", Builder().raw("000042"), "000042"},
        {"long, without NUL", Builder().raw(std::string(300, '9')), std::string(64, '9')},
    };
    auto esme = ConnectBound("esme");
    uint32_t sequence = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        esme->Send(SmppPdu(0x00000003, ++sequence, c.body));
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000003, sequence, Builder().cstr(c.echoed).u8(0).u8(0).u8(0)));
    }
}

// A bind of the given kind: bind_receiver 1, bind_transmitter 2, bind_transceiver 9.
Bytes Bind(uint32_t commandId, const std::string& systemId, uint32_t sequence = 1) {
    return SmppPdu(commandId, sequence, BindBody(systemId));
}

struct AnswerListener : CSmppMessageListener {
    void OnDelivery(const DeliveryTry& delivery) override {
        if (delivery.outcome != DeliveryTry::Outcome::Sent)
            answers.push_back({delivery.commandId, delivery.status.value_or(~0u), delivery.tag});
    }
    struct Answer {
        uint32_t commandId, status;
        uint64_t tag;
        bool operator==(const Answer&) const = default;
    };
    std::vector<Answer> answers;
};

// deliver_sm, data_sm and alert_notification reach receivers and transceivers only, numbered by
// each connection's own counter, and are captured from the server under their own filter rows.
TEST_F(SmppServerTest, ServerPdusGoToReceiversOnlyWithEachConnectionsOwnSequence) {
    const struct {
        const char* name;
        uint32_t bindId;
        std::string systemId;
        BindKind kind;
    } esmes[] = {
        {"receiver", 0x00000001, "sys", BindKind::Receiver},
        {"transmitter", 0x00000002, "sys", BindKind::Transmitter},
        {"transceiver", 0x00000009, "sys", BindKind::Transceiver},
        {"other receiver", 0x00000001, "other", BindKind::Receiver},
        {"unbound", 0x00000001, "", BindKind::None}, // an empty system_id binds nothing
    };
    std::vector<std::unique_ptr<TestClient>> clients;
    for (const auto& e : esmes) {
        clients.push_back(Connect());
        clients.back()->Send(Bind(e.bindId, e.systemId));
        EXPECT_EQ(clients.back()->NextPdu(), BindResp(e.bindId | 0x80000000, 1, e.systemId));
        EXPECT_EQ(server.BindKindOf(*ConnectionOf(*clients.back())), e.kind) << e.name;
    }
    EXPECT_EQ(server.BoundSystemIds(), (std::vector<std::string>{"sys", "other"}));

    const Bytes body = Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").raw("tail");
    EXPECT_EQ(server.SendToSystemId("sys", 0x00000005, body, 3), 6);
    EXPECT_EQ(server.SendToSystemId("nobody", 0x00000005, body), 0);
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 1), 0x00000005, body), 0u) << "a transmitter receives nothing";
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 4), 0x00000005, body), 0u) << "unbound";
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 3), 0x00000103, body), 1u);
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 3), 0x00000102, body), 2u);
    for (const uint32_t sequence : {1u, 2u, 3u}) {
        for (const int index : {0, 2}) {
            EXPECT_EQ(clients[size_t(index)]->NextPdu(), SmppPdu(0x00000005, sequence, body)) << esmes[index].name;
        }
    }
    EXPECT_EQ(clients[3]->NextPdu(), SmppPdu(0x00000103, 1, body));
    EXPECT_EQ(clients[3]->NextPdu(), SmppPdu(0x00000102, 2, body));
    server.SetNextSequence(*NthConnection(server, 0), 0x7FFFFFFF);
    for (const uint32_t sequence : {0x7FFFFFFFu, 1u}) {
        EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 0), 0x00000005, body), sequence);
        EXPECT_EQ(clients[0]->NextPdu(), SmppPdu(0x00000005, sequence, body));
    }
    for (auto& client : clients) {
        client->Send(kMarkerRequest);
        EXPECT_EQ(client->NextPdu(), Nack(kMarker, 3)) << "and nothing before it";
    }

    const struct {
        uint32_t commandId;
        int filterIndex;
    } rows[] = {{0x00000005, 11}, {0x00000102, 26}, {0x00000103, 27}};
    uint32_t sequence = 2; // the other receiver's count so far
    for (const auto& row : rows) {
        SCOPED_TRACE(row.filterIndex);
        for (const bool rowOn : {false, true}) {
            ASSERT_TRUE(log.Reset());
            std::string filter(30, '1');
            filter[size_t(row.filterIndex)] = rowOn ? '1' : '0';
            log.SetFilter(filter);
            ++sequence;
            EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 3), row.commandId, body), sequence);
            const Bytes pdu = SmppPdu(row.commandId, sequence, body);
            EXPECT_EQ(clients[3]->NextPdu(), pdu);
            EXPECT_EQ(Records(), rowOn ? std::vector<Bytes>{FromServer(pdu)} : std::vector<Bytes>{});
        }
    }
}

// The session runs at the lower of the ESME's interface_version and 5.0: the bind's answer names 5.0 to any ESME
// above 3.3 and carries no optional parameter to one of 3.3 or earlier (0x00 included); a bind that ends before the
// octet runs at 3.4, as it always did.
TEST_F(SmppServerTest, BindNegotiatesTheInterfaceVersion) {
    const Bytes head = Builder().cstr("esme").cstr("pw").cstr("");
    const Bytes answer33 = SmppPdu(0x80000001, 1, Builder().cstr("esme"));
    const struct {
        const char* name;
        Bytes body;
        Bytes answer;
        const char* version;
    } cases[] = {
        {"3.3", Builder().raw(head).u8(0x33).u8(0).u8(0).cstr(""), answer33, "3.3"},
        {"zero, an ESME of 3.3 or earlier", Builder().raw(head).u8(0x00).u8(0).u8(0).cstr(""), answer33, "3.3"},
        {"3.4", Builder().raw(head).u8(0x34).u8(0).u8(0).cstr(""), BindResp(0x80000001, 1, "esme"), "3.4"},
        {"5.0", Builder().raw(head).u8(0x50).u8(0).u8(0).cstr(""), BindResp(0x80000001, 1, "esme"), "5.0"},
        {"above 5.0", Builder().raw(head).u8(0x60).u8(0).u8(0).cstr(""), BindResp(0x80000001, 1, "esme"), "5.0"},
        {"no version octet", head, BindResp(0x80000001, 1, "esme"), "3.4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto esme = Connect();
        esme->Send(SmppPdu(0x00000001, 1, c.body));
        EXPECT_EQ(esme->NextPdu(), c.answer);
        EXPECT_EQ(server.SessionVersion(*ConnectionOf(*esme)), c.version);
    }
}

// Whatever was posted for it, a 3.3 session is sent no optional parameter and no data_sm: a deliver_sm loses its
// parameters, a data_sm goes as a deliver_sm with its message in short_message. A 5.0 session gets both as posted.
TEST_F(SmppServerTest, ASessionOf33GetsNoOptionalParameter) {
    const auto bind = [&](uint8_t version, const char* systemId) {
        auto esme = Connect();
        esme->Send(SmppPdu(0x00000001, 1, Builder().cstr(systemId).cstr("pw").cstr("").u8(version).u8(0).u8(0).cstr("")));
        esme->NextPdu();
        return esme;
    };
    auto old = bind(0x33, "old"), modern = bind(0x50, "new");
    const Bytes addresses = Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456");
    const Bytes tail = Builder().u8(4).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0);
    const Bytes deliver = Builder().raw(addresses).raw(tail).u8(2).raw("Hi").u16(0x001E).u16(3).cstr("42");
    const Bytes data = Builder().raw(addresses).u8(4).u8(0).u8(0).u16(0x0424).u16(2).raw("Hi");
    const Bytes asDeliver = Builder().raw(addresses).raw(tail).u8(2).raw("Hi");
    for (const char* systemId : {"old", "new"}) {
        EXPECT_EQ(server.SendToSystemId(systemId, 0x00000005, deliver), 1);
        EXPECT_EQ(server.SendToSystemId(systemId, 0x00000103, data), 1);
    }
    EXPECT_EQ(old->NextPdu(), SmppPdu(0x00000005, 1, asDeliver));
    EXPECT_EQ(old->NextPdu(), SmppPdu(0x00000005, 2, asDeliver));
    EXPECT_EQ(modern->NextPdu(), SmppPdu(0x00000005, 1, deliver));
    EXPECT_EQ(modern->NextPdu(), SmppPdu(0x00000103, 2, data));
    // A payload longer than sm_length counts is cut to the 254 octets short_message takes.
    const std::string text(300, 'x');
    EXPECT_EQ(server.SendToSystemId("old", 0x00000103, Builder().raw(addresses).u8(4).u8(0).u8(0).u16(0x0424).u16(300).raw(text)), 1);
    EXPECT_EQ(old->NextPdu(), SmppPdu(0x00000005, 3, Builder().raw(addresses).raw(tail).u8(254).raw(text.substr(0, 254))));
}

// The broadcasts kept are the newest kMaxKept: one more forgets the oldest; an id come round again takes no room.
TEST(Broadcasts, KeepsTheNewestOnly) {
    smpp::CBroadcasts kept;
    for (std::size_t n = 0; n < smpp::CBroadcasts::kMaxKept; ++n)
        kept.Add(std::to_string(n), {});
    kept.Add("0", {"again"});
    ASSERT_NE(kept.Find("0"), nullptr);
    EXPECT_EQ(kept.Find("0")->areas, std::vector<std::string>{"again"});
    kept.Add("new", {});
    EXPECT_EQ(kept.Find("0"), nullptr);
    EXPECT_NE(kept.Find("1"), nullptr);
}

// At 5.0 a broadcast takes an id of the submits' counter and runs until cancelled: its query answers its state, each
// area and that area's success; a cancel ends it once. Ids no broadcast has fail the query and the cancel.
TEST_F(SmppServerTest, ASessionOf50BroadcastsQueriesAndCancels) {
    auto esme = ConnectAt(0x50, "cbc");
    const Bytes rep1 = Tlv(0x0604, Builder().u8(3)), rep3 = Tlv(0x0604, Builder().u8(0).u8(1).u8(0));
    const Bytes secondArea = Tlv(0x0606, Builder().u8(1).raw("arc"));
    const auto query = [](const char* id) { return Builder().cstr(id).u8(1).u8(1).cstr("12345"); };
    const auto cancel = [](const char* id) { return Builder().cstr("").cstr(id).u8(1).u8(1).cstr("12345"); };
    const auto state = [](const char* id, uint8_t messageState, const Bytes& areas) {
        return Builder().cstr(id).raw(Tlv(0x0427, Builder().u8(messageState))).raw(areas);
    };
    const Bytes success = Tlv(0x0608, Builder().u8(100));
    const Bytes bothAreas = Builder().raw(kArea).raw(success).raw(secondArea).raw(success);
    const struct {
        const char* name;
        uint32_t commandId;
        Bytes body;
        Bytes answer; // the response's body
        uint32_t status;
    } steps[] = {
        {"two areas", 0x111, BroadcastBody(Builder().raw(kArea).raw(secondArea).raw(kContentType).raw(kRepNum).raw(kInterval)),
         Builder().cstr("000000"), 0},
        {"broadcast_rep_num of one octet", 0x111, BroadcastBody(Builder().raw(kInterval).raw(rep1).raw(kContentType).raw(kArea)),
         Builder().cstr("000001"), 0},
        {"broadcast_rep_num of three octets; the last channel indicator and message class", 0x111,
         BroadcastBody(Builder().raw(kArea).raw(kContentType).raw(rep3).raw(kInterval).raw(Tlv(0x0600, {1})).raw(Tlv(0x0603, {3}))),
         Builder().cstr("000002"), 0},
        {"submit_sm, same counter", 0x004, SubmitBody(), Builder().cstr("000003"), 0},
        {"query, running", 0x112, query("000000"), state("000000", 1, bothAreas), 0},
        {"cancel", 0x113, cancel("000000"), {}, 0},
        {"cancel again", 0x113, cancel("000000"), {}, 0x10F},
        {"query, cancelled", 0x112, query("000000"), state("000000", 4, bothAreas), 0},
        {"query of the one-octet one", 0x112, query("000001"), state("000001", 1, Builder().raw(kArea).raw(success)), 0},
        {"query, no such broadcast", 0x112, query("000003"), {}, 0x10E}, // a submit's id is no broadcast
        {"cancel, no such broadcast", 0x113, cancel("nope"), {}, 0x10F},
        {"query without a body", 0x112, {}, {}, 0x10E},
        {"cancel without a body", 0x113, {}, {}, 0x10F},
        {"cancel cut inside its message_id", 0x113, Builder().cstr("").raw("000001"), {}, 0x10F},
    };
    uint32_t sequence = 1;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        esme->Send(SmppPdu(step.commandId, ++sequence, step.body));
        EXPECT_EQ(esme->NextPdu(), SmppPdu(step.commandId | 0x80000000, sequence, step.answer, step.status));
    }
}

// A message the store knows is answered in its state; SMPP 5.0's own (SCHEDULED 0, SKIPPED 9) are UNKNOWN (7) below 5.0.
TEST_F(SmppServerTest, QuerySmTellsTheStatesOf50ToSessionsAt50Only) {
    struct Store : CSmppMessageListener {
        bool AnswerQuery(std::string_view messageId, QueryAnswer& answer) override {
            answer.messageState = uint8_t(messageId[0] - '0');
            return true;
        }
    } store;
    server.SetMessageListener(&store);
    const struct {
        char state;
        uint8_t at50, below50;
    } cases[] = {{'0', 0, 7}, {'9', 9, 7}, {'2', 2, 2}, {'8', 8, 8}};
    for (const uint8_t version : {0x50, 0x34, 0x33}) {
        auto esme = ConnectAt(version, "esme");
        uint32_t sequence = 1;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(version) + " " + c.state);
            const std::string id(1, c.state);
            esme->Send(SmppPdu(0x00000003, ++sequence, Builder().cstr(id).u8(1).u8(1).cstr("1")));
            EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000003, sequence,
                                               Builder().cstr(id).cstr("").u8(version == 0x50 ? c.at50 : c.below50).u8(0)));
        }
    }
    server.SetMessageListener(nullptr);
}

// Every kind of bad broadcast_sm is refused with its own status and takes no id; none is read past its octets.
TEST_F(SmppServerTest, ABadBroadcastIsRefusedWithItsStatus) {
    const Bytes area = kArea, type = kContentType, rep = kRepNum, interval = kInterval;
    const auto without = [&](const Bytes& missing) {
        Builder b;
        for (const Bytes* p : {&area, &type, &rep, &interval})
            if (*p != missing)
                b.raw(*p);
        return BroadcastBody(b);
    };
    const auto with = [&](const Bytes& extra) { return BroadcastBody(Builder().raw(area).raw(type).raw(rep).raw(interval).raw(extra)); };
    Builder manyAreas; // 40 areas of 16 octets: more than one answer can carry back
    for (int i = 0; i < 40; ++i)
        manyAreas.raw(Tlv(0x0606, Builder().u8(0).raw("AREA-NUMBER-ONE")));
    const struct {
        const char* name;
        Bytes body;
        uint32_t status;
    } cases[] = {
        {"no broadcast_area_identifier", without(area), 0xC3},
        {"no broadcast_content_type", without(type), 0xC3},
        {"no broadcast_rep_num", without(rep), 0xC3},
        {"no broadcast_frequency_interval", without(interval), 0xC3},
        {"no parameter at all", BroadcastBody({}), 0xC3},
        {"area of format 3", with(Tlv(0x0606, Builder().u8(3).raw("x"))), 0x109},      // 0 to 2 are defined
        {"area without its format octet", with(Tlv(0x0606, {})), 0x109},
        {"too many areas", with(manyAreas), 0x10A},
        {"content type of two octets", with(Tlv(0x0601, Builder().u16(1))), 0x10B},
        {"content type of network 4", with(Tlv(0x0601, Builder().u8(4).u16(1))), 0x10B}, // generic, GSM, TDMA, CDMA
        {"broadcast_rep_num of no octet", with(Tlv(0x0604, {})), 0x110},
        {"broadcast_rep_num of four octets", with(Tlv(0x0604, Builder().u32(5))), 0x110},
        {"interval in unit 1", with(Tlv(0x0605, Builder().u8(1).u16(10))), 0x107},      // 0, or 8 (seconds) to 14 (years)
        {"interval of two octets", with(Tlv(0x0605, Builder().u16(10))), 0x107},
        {"channel indicator 2", with(Tlv(0x0600, Builder().u8(2))), 0x112},
        {"message class 4", with(Tlv(0x0603, Builder().u8(4))), 0x10C},
        {"a parameter longer than the body", with(Builder().u16(0x0424).u16(40).raw("short")), 0xC0},
        {"three octets of a parameter header", with(Builder().u16(0x0424).u8(0)), 0xC0},
        {"cut inside validity_period", Bytes(kBroadcastHead.begin(), kBroadcastHead.begin() + 12), 0x02},
        {"no body", {}, 0x02},
    };
    auto esme = ConnectAt(0x50, "cbc");
    uint32_t sequence = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        esme->Send(SmppPdu(0x111, ++sequence, c.body));
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000111, sequence, {}, c.status));
    }
    EXPECT_EQ(server.GetNextMessageId(), 0);
}

// An answer settles its own PDU once, by sequence number and connection, is captured under its
// row and gets no answer; the memory of unanswered ones is bounded.
TEST_F(SmppServerTest, AnswersToServerPdusAreMatchedOnceAndCapturedUnderTheirRows) {
    AnswerListener listener;
    server.SetMessageListener(&listener);
    auto esme = ConnectBound("esme");
    auto other = ConnectBound("other");
    const Bytes body = Builder().cstr("").u8(0).u8(0).cstr("1").u8(0).u8(0).cstr("2");
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 0), 0x00000005, body, 7), 1u);
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 0), 0x00000103, body, 8), 2u);
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 0), 0x00000102, body, 9), 3u); // alert_notification awaits no answer
    EXPECT_EQ(server.SendServerPdu(*NthConnection(server, 1), 0x00000005, body, 10), 1u);
    EXPECT_EQ(server.PendingCount(*NthConnection(server, 0)), 2u);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(esme->NextPdu());
    ASSERT_TRUE(other->NextPdu());

    const struct {
        const char* name;
        TestClient* client;
        Bytes answer;
        std::vector<AnswerListener::Answer> settled; // all settled so far
    } steps[] = {
        {"deliver_sm_resp", esme.get(), SmppPdu(0x80000005, 1, Builder().cstr("")), {{5, 0, 7}}},
        {"the same again", esme.get(), SmppPdu(0x80000005, 1, Builder().cstr("")), {{5, 0, 7}}},
        {"data_sm_resp with a status", esme.get(), SmppPdu(0x80000103, 2, Builder().cstr("x"), 0x45),
         {{5, 0, 7}, {0x103, 0x45, 8}}},
        {"a sequence the other connection used", esme.get(), SmppPdu(0x80000005, 3, {}), {{5, 0, 7}, {0x103, 0x45, 8}}},
        {"no PDU of ours", other.get(), SmppPdu(0x80000005, 99, {}), {{5, 0, 7}, {0x103, 0x45, 8}}},
        {"its own", other.get(), SmppPdu(0x80000005, 1, {}), {{5, 0, 7}, {0x103, 0x45, 8}, {5, 0, 10}}},
    };
    std::string filter(30, '1');
    filter[12] = filter[28] = '0';
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        for (const bool rowOn : {false, true}) {
            ASSERT_TRUE(log.Reset());
            log.SetFilter(rowOn ? std::string(30, '1') : filter);
            step.client->Send(step.answer);
            step.client->Send(kMarkerRequest);
            EXPECT_EQ(step.client->NextPdu(), Nack(kMarker, 3)) << "the answer gets none";
            std::vector<Bytes> records = Records();
            std::erase_if(records, [](const Bytes& r) { return r.size() >= 32 && r[31] == kMarker; });
            EXPECT_EQ(records, rowOn ? std::vector<Bytes>{FromClient(*step.client, step.answer)} : std::vector<Bytes>{});
        }
        EXPECT_EQ(listener.answers, step.settled);
    }
    EXPECT_EQ(server.PendingCount(*NthConnection(server, 0)), 0u);
    server.SetMessageListener(nullptr);
}

} // namespace
