// Messages carried between simulators and ESMEs, delivery receipts and query_sm over both servers
// of a simulator on loopback, with time moved by hand.
#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "wire/Cursor.h"
#include "wire/Hex.h"

#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/TestClient.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::Pdu12;
using test_bytes::SmppPdu;
using test_net::TestClient;
using Bytes = std::vector<uint8_t>;

constexpr int64_t kNovember2023 = 1'700'000'000; // 2023-11-14 22:13:20 UTC
constexpr uint32_t kBindReceiver = 1, kBindTransmitter = 2, kBindTransceiver = 9;
constexpr uint32_t kMarker = 0x77;

Bytes Bind(uint32_t commandId, const std::string& systemId, const std::string& range, uint8_t version = 0x34) {
    return SmppPdu(commandId, 1, Builder().cstr(systemId).cstr("pw").cstr("").u8(version).u8(0).u8(0).cstr(range));
}
Bytes SubmitSm(uint32_t sequence, const std::string& dest, uint8_t registeredDelivery, uint8_t dataCoding,
               const std::string& text, uint8_t esmClass = 0) {
    return SmppPdu(0x00000004, sequence, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr(dest).u8(esmClass).u8(0)
        .u8(0).cstr("").cstr("").u8(registeredDelivery).u8(0).u8(dataCoding).u8(0).u8(uint32_t(text.size())).raw(text));
}
Bytes QuerySm(uint32_t sequence, const std::string& id) {
    return SmppPdu(0x00000003, sequence, Builder().cstr(id).u8(1).u8(1).cstr("12345"));
}
Bytes QueryResp(uint32_t sequence, const std::string& id, const std::string& finalDate, uint8_t state, uint8_t error) {
    return SmppPdu(0x80000003, sequence, Builder().cstr(id).cstr(finalDate).u8(state).u8(error));
}
// A deliver_sm as routing and receipts build it: no service_type, protocol_id, priority or times.
Bytes DeliverSm(uint32_t sequence, uint8_t ton, const std::string& source, const std::string& dest, uint8_t esmClass,
                uint8_t dataCoding, const std::string& text, const Bytes& tlvs = {}) {
    return SmppPdu(0x00000005, sequence, Builder().cstr("").u8(ton).u8(ton).cstr(source).u8(ton).u8(ton).cstr(dest)
        .u8(esmClass).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(dataCoding).u8(0).u8(uint32_t(text.size())).raw(text)
        .raw(tlvs));
}
Bytes TerminalSubmit(const std::string& dest, const std::string& src, const std::string& text) {
    return Pdu12(0x00001002, 1, Builder().text(dest, 24).text(src, 24).text("", 10).u8(uint32_t(text.size())).raw(text));
}
Bytes TerminalDeliver(uint32_t sequence, const std::string& dest, const std::string& src, uint8_t format,
                      const std::string& text) {
    const std::string digits = std::to_string(sequence);
    return Pdu12(0x00001003, sequence, Builder().text(dest, 24).text(src, 24)
        .text(std::string(10 - digits.size(), '0') + digits, 10).u8(uint32_t(text.size())).u8(format).raw(text));
}

class RouterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CSettings::SelectStore();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, s_settings.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, s_settings.path());
    }
    void SetUp() override {
        QSettings().clear();
        simulator = std::make_unique<CSimulator>(SimulatorOptions{0, 0, 0, 0, QHostAddress::LocalHost});
        simulator->Smpp().SetScheduler(scheduler);
        simulator->Smpp().AddObserver(&observer);
        scheduler.SetWallClock([this] { return now * 1'000'000; });
        simulator->Router().SetTrace([this](const std::string& line) { trace.push_back(line); });
        ASSERT_TRUE(simulator->Start());
    }
    void TearDown() override { simulator->Smpp().RemoveObserver(&observer); }

    std::unique_ptr<TestClient> Esme(uint32_t bindId, const std::string& systemId, const std::string& range = "",
                                     uint8_t version = 0x34) {
        auto esme = std::make_unique<TestClient>();
        EXPECT_TRUE(esme->Connect(simulator->Smpp().ListeningPort()));
        esme->Send(Bind(bindId, systemId, range, version));
        EXPECT_TRUE(esme->NextPdu());
        return esme;
    }
    std::unique_ptr<TestClient> Phone(const std::string& number) {
        auto phone = std::make_unique<TestClient>();
        EXPECT_TRUE(phone->Connect(simulator->Mobile().ListeningPort()));
        phone->Send(Pdu12(0x00001001, 1, Builder().u32(1).text(number, 24)));
        EXPECT_TRUE(phone->NextPdu());
        return phone;
    }
    // Nothing has come that the client has not taken yet: a request answered at once comes first.
    static void ExpectNothingMore(TestClient& client, bool mobile = false) {
        if (mobile) {
            client.Send(TerminalSubmit("", "", ""));
            EXPECT_EQ(client.NextPdu(), Builder().u32(26).u32(0x80001002).u32(1).u32(0).fill(10).bytes());
        } else {
            client.Send(SmppPdu(0xFF, kMarker));
            EXPECT_EQ(client.NextPdu(), SmppPdu(0x80000000, kMarker, {}, 3));
        }
    }

    static inline QTemporaryDir s_settings;
    int64_t now = kNovember2023;
    CManualScheduler scheduler;
    RecordingObserver observer;
    std::unique_ptr<CSimulator> simulator;
    std::vector<std::string> trace;
};

// A simulator's SUBMIT reaches each receiver and transceiver whose address_range is found in the
// destination number (anchored only by its own ^ and $); a bad range takes none and is reported
// once; a number nobody takes is said on the console.
TEST_F(RouterTest, TerminalSubmitReachesTheReceiversWhoseRangeTakesTheNumber) {
    const struct {
        const char* systemId;
        uint32_t bindId;
        const char* range;
        bool receives;
    } esmes[] = {
        {"all", kBindReceiver, "", true},
        {"r1390", kBindTransceiver, "^1390", true},
        {"r138", kBindReceiver, "^138", false},
        {"inside", kBindReceiver, "0000", true},
        {"end", kBindReceiver, "0002$", true},
        {"notEnd", kBindReceiver, "1390$", false},
        {"lastDigit", kBindReceiver, "[13569]$", false},
        {"tx", kBindTransmitter, "", false},
        {"bad", kBindReceiver, "[", false},
    };
    std::vector<std::unique_ptr<TestClient>> clients;
    for (const auto& e : esmes)
        clients.push_back(Esme(e.bindId, e.systemId, e.range));
    auto phone = Phone("13900000001");
    for (const char* source : {"", "555"}) {
        phone->Send(TerminalSubmit("13900000002", source, "Hi"));
        ASSERT_TRUE(phone->NextPdu());
    }
    simulator->SetDelivery({false, false, 1000});
    phone->Send(TerminalSubmit("13900000002", "", "not routed"));
    ExpectNothingMore(*phone, true);
    for (size_t i = 0; i < clients.size(); ++i) {
        SCOPED_TRACE(esmes[i].systemId);
        if (esmes[i].receives) {
            EXPECT_EQ(clients[i]->NextPdu(), DeliverSm(1, 0, "13900000001", "13900000002", 0, 0, "Hi"));
            EXPECT_EQ(clients[i]->NextPdu(), DeliverSm(2, 0, "555", "13900000002", 0, 0, "Hi"));
        }
        ExpectNothingMore(*clients[i]);
    }
    EXPECT_EQ(trace, (std::vector<std::string>{"[Route] terminal 13900000001 to 13900000002: 4 deliver_sm",
                                               "[Route] terminal 555 to 13900000002: 4 deliver_sm"}));
    ASSERT_EQ(observer.lines.size(), 2u);
    EXPECT_EQ(observer.lines[1], "address_range \"[\" is no valid regular expression: it matches no terminal\r\n");

    // Without the receiver that takes every number, one no range takes is said, not dropped silently.
    // Its unanswered deliver_sm end undelivered as it goes.
    simulator->SetDelivery({});
    trace.clear();
    clients.front().reset();
    ASSERT_TRUE(test_net::WaitUntil([&] { return observer.events.back().starts_with("removed"); }));
    phone->Send(TerminalSubmit("14412345678", "", "Hi"));
    ASSERT_TRUE(test_net::WaitUntil([&] { return trace.size() == 3; }));
    EXPECT_EQ(observer.lines.back(), "No receiver's address_range takes 14412345678\r\n");
    EXPECT_EQ(trace, (std::vector<std::string>{"[Route] deliver_sm D000000 to all, try 1 of 5: connection closed, undeliverable",
                                               "[Route] deliver_sm D000004 to all, try 1 of 5: connection closed, undeliverable",
                                               "[Route] terminal 13900000001 to 14412345678: 0 deliver_sm"}));
}

// A handset's text comes in GBK, the one format a SUBMIT carries, and goes on in the coding an ESME reads: GSM 7-bit
// (data_coding 0) when that alphabet holds it, else UCS-2 (8). Octets that are no GBK text go on as they came, in 15.
// A handset's long message comes as SUBMITs each starting with the concatenation header: those reach the ESME with
// UDHI set, the header in front of the converted text; a content whose header is not well formed is no text.
TEST_F(RouterTest, TerminalSubmitGoesOnInTheCodingItsTextNeedsWithUdhiForItsParts) {
    const struct {
        const char* name;
        std::string content;
        uint8_t esmClass, dataCoding;
        std::string delivered;
    } cases[] = {
        {"GSM text", "Hi {you}", 0, 0, "Hi \x1B(you\x1B)"}, // braces: the escape and their septet
        {"GBK Chinese", "ok\xC4\xE3\xBA\xC3", 0, 8, std::string("\0o\0k\x4F\x60\x59\x7D", 8)},
        {"8-bit reference", std::string("\x05\x00\x03\x07\x02\x01" "abc", 9), 0x40, 0, std::string("\x05\x00\x03\x07\x02\x01" "abc", 9)},
        {"16-bit reference, Chinese", std::string("\x06\x08\x04\x01\x07\x02\x02" "\xC4\xE3", 9), 0x40, 8,
         std::string("\x06\x08\x04\x01\x07\x02\x02" "\x4F\x60", 9)},
        {"header length past the content", std::string("\x09\x00\x03\x07\x02", 5), 0, 15, std::string("\x09\x00\x03\x07\x02", 5)},
        {"sequence 0", std::string("\x05\x00\x03\x07\x02\x00", 6), 0, 15, std::string("\x05\x00\x03\x07\x02\x00", 6)},
        {"header length alone", std::string("\x05", 1), 0, 15, std::string("\x05", 1)},
        {"a lead octet without its second", "a\xC4", 0, 15, "a\xC4"},
        {"empty", "", 0, 0, ""},
    };
    auto esme = Esme(kBindReceiver, "all");
    auto phone = Phone("13900000001");
    uint32_t sequence = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        phone->Send(TerminalSubmit("13900000002", "", c.content));
        ASSERT_TRUE(phone->NextPdu());
        EXPECT_EQ(esme->NextPdu(), DeliverSm(++sequence, 0, "13900000001", "13900000002", c.esmClass, c.dataCoding, c.delivered));
    }
    ExpectNothingMore(*esme);
}

// An ESME's message to a logged-in number reaches every simulator under it as DELIVER.
TEST_F(RouterTest, EsmeMessagesReachTheTerminalsTheyName) {
    auto first = Phone("13900000002");
    auto second = Phone("13900000003");
    auto esme = Esme(kBindTransmitter, "tx");
    const std::string longText(300, 'x');
    const Bytes payload = Builder().u16(0x0424).u16(3).raw("abc");
    const struct {
        const char* name;
        Bytes submit;
        Bytes deliverFirst, deliverSecond; // empty: nothing
    } cases[] = {
        {"submit_sm, UCS-2", SubmitSm(1, "13900000002", 0, 8, "\x4e\x2d"), TerminalDeliver(1, "13900000002", "12345", 8, "\x4e\x2d"), {}},
        {"to no terminal", SubmitSm(2, "13900000009", 0, 0, "Hi"), {}, {}},
        {"data_sm, text in message_payload", SmppPdu(0x00000103, 3, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1)
             .u8(1).cstr("13900000003").u8(0).u8(0).u8(15).raw(payload)), {}, TerminalDeliver(2, "13900000003", "12345", 15, "abc")},
        {"submit_multi, Latin-1 as text", SmppPdu(0x00000021, 4, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(3)
             .u8(1).u8(1).u8(1).cstr("13900000002").u8(1).u8(1).u8(1).cstr("13900000009").u8(1).u8(1).u8(1)
             .cstr("13900000003").u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(3).u8(0).u8(2).raw("Hi")),
         TerminalDeliver(3, "13900000002", "12345", 0, "Hi"), TerminalDeliver(4, "13900000003", "12345", 0, "Hi")},
        {"long text, cut to 255", SmppPdu(0x00000004, 5, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1)
             .cstr("13900000002").u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(0).u16(0x0424)
             .u16(300).raw(longText)), TerminalDeliver(5, "13900000002", "12345", 0, longText.substr(0, 255)), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        esme->Send(c.submit);
        ASSERT_TRUE(esme->NextPdu());
        for (const auto& [phone, expected] : {std::pair{first.get(), &c.deliverFirst}, std::pair{second.get(), &c.deliverSecond}}) {
            if (!expected->empty()) {
                EXPECT_EQ(phone->NextPdu(), *expected);
            }
            ExpectNothingMore(*phone, true);
        }
    }
    EXPECT_EQ(trace, (std::vector<std::string>{
                         "[Route] SMPP message 000000 from 12345 to terminal 13900000002: 1 DELIVER",
                         "[Route] SMPP message 000002 from 12345 to terminal 13900000003: 1 DELIVER",
                         "[Route] SMPP message 000003 from 12345 to terminal 13900000002: 1 DELIVER",
                         "[Route] SMPP message 000003 from 12345 to terminal 13900000003: 1 DELIVER",
                         "[Route] SMPP message 000004 from 12345 to terminal 13900000002: 1 DELIVER",
                     }));
}

// Off, nothing follows a submit; on, its receipt comes after the delay to a connection that may
// receive it, and query_sm tells the state: en route, then delivered, or undeliverable when the
// simulator it went to refused it.
TEST_F(RouterTest, ReceiptsFollowAfterTheDelayAndQuerySmTellsTheState) {
    auto esme = Esme(kBindTransceiver, "esme");
    esme->Send(SubmitSm(1, "67890", 1, 0, "Hi"));
    ASSERT_TRUE(esme->NextPdu());
    scheduler.Advance(60'000);
    esme->Send(QuerySm(2, "000000"));
    EXPECT_EQ(esme->NextPdu(), QueryResp(2, "000000", "", 0, 0)) << "receipts off: as ever";
    ExpectNothingMore(*esme);

    simulator->SetDelivery({true, true, 500});
    auto sender = Esme(kBindTransmitter, "esme"); // its receipts come to the transceiver of the same name
    auto lonely = Esme(kBindTransmitter, "lonely");
    auto phone = Phone("13900000002");
    const auto receipt = [](uint32_t sequence, const std::string& id, const std::string& source, const char* stat,
                            const std::string& text) {
        const bool delivered = std::string(stat) == "DELIVRD";
        const std::string shortMessage = "id:" + id + " sub:001 dlvrd:" + (delivered ? "001" : "000") +
            " submit date:2311142213 done date:2311142215 stat:" + stat + " err:00" + (delivered ? "0" : "1") + " text:" + text;
        return DeliverSm(sequence, 1, source, "12345", 0x04, 0, shortMessage,
                         Builder().u16(0x001E).u16(uint32_t(id.size() + 1)).cstr(id).u16(0x0427).u16(1).u8(delivered ? 2 : 5));
    };
    const struct {
        const char* name;
        TestClient* from;
        Bytes submit;
        std::string id;
        Bytes receiptToEsme; // empty: none
        uint8_t finalState;
    } cases[] = {
        {"asks for a receipt", esme.get(), SubmitSm(3, "67890", 1, 0, "Hello receipt text beyond twenty"), "000001",
         receipt(1, "000001", "67890", "DELIVRD", "Hello receipt text b"), 2},
        {"asks for none", esme.get(), SubmitSm(4, "67890", 0, 0, "Hi"), "000002", {}, 2},
        {"asks on failure only", esme.get(), SubmitSm(5, "67890", 2, 0, "Hi"), "000003", {}, 2},
        {"from a transmitter", sender.get(), SubmitSm(6, "67890", 1, 0, "Hi"), "000004",
         receipt(2, "000004", "67890", "DELIVRD", "Hi"), 2},
        {"no receiver under its name: kept for one", lonely.get(), SubmitSm(7, "67890", 1, 0, "Hi"), "000005", {}, 2},
        {"refused by the simulator", esme.get(), SubmitSm(8, "13900000002", 1, 0, "Hi"), "000006",
         receipt(3, "000006", "13900000002", "UNDELIV", "Hi"), 5},
        {"refused, asks on failure only", esme.get(), SubmitSm(11, "13900000002", 2, 0, "Hi"), "000007",
         receipt(4, "000007", "13900000002", "UNDELIV", "Hi"), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        now = kNovember2023;
        trace.clear();
        c.from->Send(c.submit);
        ASSERT_TRUE(c.from->NextPdu());
        now += 120;
        if (c.finalState == 5) {
            const std::optional<Bytes> deliver = phone->NextPdu();
            ASSERT_TRUE(deliver && deliver->size() >= 12);
            phone->Send(Pdu12(0x80001003, wire::ReadBe32(deliver->data() + 8), Builder().u32(1).text("", 10)));
            ExpectNothingMore(*phone, true);
        } else {
            esme->Send(QuerySm(9, c.id));
            EXPECT_EQ(esme->NextPdu(), QueryResp(9, c.id, "", 1, 0)) << "en route";
        }
        scheduler.Advance(499);
        ExpectNothingMore(*esme);
        scheduler.Advance(1);
        if (!c.receiptToEsme.empty()) {
            EXPECT_EQ(esme->NextPdu(), c.receiptToEsme);
            esme->Send(SmppPdu(0x80000005, wire::ReadBe32(c.receiptToEsme.data() + 12), Builder().cstr("")));
        }
        ExpectNothingMore(*esme);
        ExpectNothingMore(*c.from);
        esme->Send(QuerySm(10, c.id));
        EXPECT_EQ(esme->NextPdu(), QueryResp(10, c.id, "231114221520000+", c.finalState, c.finalState == 5 ? 1 : 0));
    }
    scheduler.Advance(10'000); // the answered receipts' time-outs pass without a word
    EXPECT_EQ(trace, (std::vector<std::string>{"[Route] SMPP message 000007 from 12345 to terminal 13900000002: 1 DELIVER",
                                               "[Receipt] message 000007 UNDELIV to esme",
                                               "[Route] deliver_sm D000004 to esme, try 1 of 5: delivered"}));
    EXPECT_EQ(scheduler.Pending(), 1u) << "the end of lonely's kept receipt, 48 h away";

    // A receipt sent at once (the control API's) stands for the one the delay would send.
    esme->Send(SubmitSm(12, "67890", 1, 0, "Hi"));
    ASSERT_TRUE(esme->NextPdu());
    ASSERT_EQ(simulator->Router().SendReceiptNow("000008", MessageState::Expired, 0), CRouter::ReceiptOutcome::Sent);
    const std::optional<Bytes> atOnce = esme->NextPdu();
    ASSERT_TRUE(atOnce && atOnce->size() >= 16);
    esme->Send(SmppPdu(0x80000005, wire::ReadBe32(atOnce->data() + 12), Builder().cstr("")));
    scheduler.Advance(500);
    ExpectNothingMore(*esme);

    // A burst's receipts fall due together and go a share a turn: the last of 1001 becomes final too.
    for (uint32_t n = 0; n < 1001; ++n)
        esme->Send(SubmitSm(100 + n, "67890", 0, 0, "Hi"));
    for (uint32_t n = 0; n < 1001; ++n)
        ASSERT_TRUE(esme->NextPdu());
    scheduler.Advance(500);
    esme->Send(QuerySm(13, "001009"));
    EXPECT_EQ(esme->NextPdu(), QueryResp(13, "001009", "231114221520000+", 2, 0));
}

// The edges of a receipt: a zone east of UTC in final_date (+05:30 is 22 quarter hours), a
// simulator's answer that comes after the message was already final, data_sm addresses past
// submit_sm's 20 characters, and numbers longer than a deliver_sm address can carry.
TEST_F(RouterTest, ReceiptsHoldForLongAddressesLateAnswersAndZonesOtherThanUtc) {
    struct LocalZone {
        explicit LocalZone(const char* zone) { setenv("TZ", zone, 1), tzset(); }
        ~LocalZone() { setenv("TZ", "UTC", 1), tzset(); }
    } india("IST-5:30");
    simulator->SetDelivery({true, true, 500});
    auto esme = Esme(kBindTransceiver, "esme");
    auto phone = Phone("13900000002");
    const std::string longSource(30, '3'), longDest(40, '4');
    const auto dataSm = [](uint32_t sequence, const std::string& source, const std::string& dest) {
        return SmppPdu(0x00000103, sequence, Builder().cstr("").u8(1).u8(1).cstr(source).u8(1).u8(1).cstr(dest)
            .u8(0).u8(1).u8(0).u16(0x0424).u16(2).raw("Hi"));
    };
    const auto receipt = [](uint32_t sequence, const std::string& id, const std::string& source, const std::string& dest) {
        return DeliverSm(sequence, 1, source, dest, 0x04, 0, "id:" + id + " sub:001 dlvrd:001 submit date:2311150343 "
            "done date:2311150345 stat:DELIVRD err:000 text:Hi", Builder().u16(0x001E).u16(7).cstr(id).u16(0x0427).u16(1).u8(2));
    };

    esme->Send(dataSm(1, longSource, "13900000002"));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000103, 1, Builder().cstr("000000")));
    const std::optional<Bytes> deliver = phone->NextPdu();
    EXPECT_EQ(deliver, TerminalDeliver(1, "13900000002", longSource, 0, "Hi")) << "routed, the source cut to its field";
    esme->Send(dataSm(2, "12345", longDest));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000103, 2, Builder().cstr("000001")));
    now += 120;
    scheduler.Advance(500);
    EXPECT_EQ(esme->NextPdu(), receipt(1, "000000", "13900000002", longSource.substr(0, 20)));
    EXPECT_EQ(esme->NextPdu(), receipt(2, "000001", longDest.substr(0, 20), "12345"));
    ASSERT_TRUE(deliver && deliver->size() >= 12);
    phone->Send(Pdu12(0x80001003, wire::ReadBe32(deliver->data() + 8), Builder().u32(1).text("", 10)));
    ExpectNothingMore(*phone, true);
    for (const auto& [sequence, id] : {std::pair{3u, "000000"}, std::pair{4u, "000001"}}) {
        esme->Send(QuerySm(sequence, id));
        EXPECT_EQ(esme->NextPdu(), QueryResp(sequence, id, "231115034520022+", 2, 0)) << id << ": the late refusal changes nothing";
    }

    // A number of 24 characters, as a simulator may send it, reaches an ESME cut to 20.
    const std::string longNumber = "123456789012345678901234";
    phone->Send(TerminalSubmit(longNumber, longNumber, "Hi"));
    ASSERT_TRUE(phone->NextPdu());
    EXPECT_EQ(esme->NextPdu(), DeliverSm(3, 0, longNumber.substr(0, 20), longNumber.substr(0, 20), 0, 0, "Hi"));
}

// A receipt's addresses are the submit's, each TON and NPI its own.
TEST_F(RouterTest, AReceiptKeepsEachAddressesTonAndNpi) {
    simulator->SetDelivery({true, true, 100});
    auto earlier = Esme(kBindReceiver, "esme"); // bound first under the name: the receipt still goes to the submitter
    auto esme = Esme(kBindTransceiver, "esme");
    esme->Send(SmppPdu(0x00000004, 1, Builder().cstr("").u8(1).u8(0).cstr("12345").u8(5).u8(9).cstr("67890").u8(0)
        .u8(0).u8(0).cstr("").cstr("").u8(1).u8(0).u8(0).u8(0).u8(2).raw("Hi")));
    ASSERT_TRUE(esme->NextPdu());
    scheduler.Advance(100);
    const std::optional<Bytes> receipt = esme->NextPdu();
    const Bytes addresses = Builder().cstr("").u8(5).u8(9).cstr("67890").u8(1).u8(0).cstr("12345").bytes();
    ASSERT_TRUE(receipt && receipt->size() > 16 + addresses.size());
    EXPECT_EQ(Bytes(receipt->begin() + 16, receipt->begin() + 16 + long(addresses.size())), addresses);
    ExpectNothingMore(*earlier);
}

// A receipt asked for at once for a message the store never held (receipts were off) is built from the
// capture: its submit date is the submit_sm's (or submit_multi's) capture time, an hour before now here.
TEST_F(RouterTest, AReceiptForAMessageOnlyTheCaptureHoldsIsDatedFromIt) {
    simulator->Log().SetTimeSource([] { return (kNovember2023 - 3600) * 1'000'000; });
    simulator->SetDelivery({true, false, 0});
    auto esme = Esme(kBindTransceiver, "esme");
    esme->Send(SubmitSm(2, "67890", 1, 0, "Hi"));
    ASSERT_TRUE(esme->NextPdu());
    ASSERT_EQ(simulator->SendReceiptNow("000000", MessageState::Delivered, 0), CRouter::ReceiptOutcome::Sent);
    EXPECT_EQ(esme->NextPdu(), DeliverSm(1, 1, "67890", "12345", 0x04, 0, "id:000000 sub:001 dlvrd:001 submit date:"
        "2311142113 done date:2311142213 stat:DELIVRD err:000 text:Hi",
        Builder().u16(0x001E).u16(7).cstr("000000").u16(0x0427).u16(1).u8(2)));
    // A submit_multi's answer names its message as well, and its receipt comes from the first destination.
    esme->Send(SmppPdu(0x00000021, 3, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(2).u8(1).u8(1).u8(1)
        .cstr("67890").u8(1).u8(1).u8(1).cstr("22222").u8(0).u8(0).u8(0).cstr("").cstr("").u8(1).u8(0).u8(0).u8(0).u8(2)
        .raw("Ho")));
    ASSERT_TRUE(esme->NextPdu());
    ASSERT_EQ(simulator->SendReceiptNow("000001", MessageState::Delivered, 0), CRouter::ReceiptOutcome::Sent);
    EXPECT_EQ(esme->NextPdu(), DeliverSm(2, 1, "67890", "12345", 0x04, 0, "id:000001 sub:001 dlvrd:001 submit date:"
        "2311142113 done date:2311142213 stat:DELIVRD err:000 text:Ho",
        Builder().u16(0x001E).u16(7).cstr("000001").u16(0x0427).u16(1).u8(2)));
}

std::string HexOf(const std::optional<Bytes>& bytes) {
    std::string hex;
    for (uint8_t octet : bytes.value_or(Bytes{})) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        hex += {kDigits[octet >> 4], kDigits[octet & 15]};
    }
    return hex;
}
std::string HexOf(const std::string& octets) { return HexOf(Bytes(octets.begin(), octets.end())); }

// Each profile's receipt of one message (fixed clock, fixed message id, seed 7), PDU for PDU; an
// account's profile goes before the run's.
TEST_F(RouterTest, ReceiptProfilesShapeTheReceipt) {
    simulator->SetDelivery({true, true, 500});
    simulator->SetSeed(7);
    auto esme = Esme(kBindTransceiver, "esme");
    const auto builtIn = [](const char* name) { return *receipt_profiles::BuiltIn(name); };
    const auto custom = [](const char* json) {
        QString error;
        const std::optional<ReceiptProfile> profile = receipt_profiles::Parse(json, &error);
        EXPECT_TRUE(profile) << error.toStdString();
        return profile.value_or(ReceiptProfile{});
    };
    // The message and the receipt's addresses, alike in every row.
    const std::string header = "00 01 01 363738393000 01 01 313233343500 04";
    const std::string text = "id:001234 sub:001 dlvrd:001 submit date:2311142213 done date:2311142215 stat:DELIVRD "
                             "err:000 text:Hello receipt text b";
    const std::string textHex = HexOf(text);
    const std::string tlvs = "001E 0007 30303132333400  0427 0001 02";
    const struct {
        const char* name;
        ReceiptProfile profile;
        std::string accountProfile; // the account "esme" names
        std::string pdu;            // the receipt, as hex
    } cases[] = {
        {"default: today's text", builtIn("Default"), "",
         "000000B1 00000005 00000000 00000001" + header + "00 00 00 00 00 00 00 00 76" + textHex + tlvs},
        {"TLV only: no text", builtIn("TLV only"), "",
         "00000042 00000005 00000000 00000002" + header + "00 00 00 00 00 00 00 00 00" + tlvs + "0423 0003 03 0000"},
        {"data_sm receipts: the text in message_payload", builtIn("data_sm receipts"), "",
         "000000AE 00000103 00000000 00000003" + header + "00 00 0424 0076" + textHex + tlvs},
        {"hex ids in text: 1234 is 4D2", builtIn("hex ids in text"), "",
         "000000AE 00000005 00000000 00000004" + header + "00 00 00 00 00 00 00 00 73" +
             HexOf("id:4D2" + text.substr(9)) + tlvs},
        {"custom: drawn states with their errors, the id read as hex", custom(R"({"text": "{stat} err:{err} {id}",
             "idForm": "decimal", "tlvs": ["message_state", "network_error_code"],
             "states": {"REJECTD": 5, "EXPIRED": 90, "DELIVRD": 5}})"), "",
         "0000004B 00000005 00000000 00000005" + header + "00 00 00 00 00 00 00 00 14" +
             HexOf(std::string("EXPIRED err:027 4660")) + "0427 0001 03  0423 0003 03 001B"},
        {"a state of weight 0 is never drawn", custom(R"({"text": "{stat} err:{err}", "tlvs": [],
             "states": {"DELIVRD": 0, "UNDELIV": 1}})"), "",
         "0000003A 00000005 00000000 00000006" + header + "00 00 00 00 00 00 00 00 0F" + HexOf(std::string("UNDELIV err:001"))},
        {"a rejected message's error", custom(R"({"text": "{stat} err:{err}", "tlvs": [], "states": {"REJECTD": 1}})"), "",
         "0000003A 00000005 00000000 00000007" + header + "00 00 00 00 00 00 00 00 0F" + HexOf(std::string("REJECTD err:013"))},
        {"the account's profile first", builtIn("data_sm receipts"), "TLV only",
         "00000042 00000005 00000000 00000008" + header + "00 00 00 00 00 00 00 00 00" + tlvs + "0423 0003 03 0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        now = kNovember2023;
        simulator->Smpp().SetNextMessageId(1234);
        ASSERT_EQ(simulator->SetReceiptProfile(c.profile), "");
        Account account;
        account.systemId = "esme";
        account.receiptProfile = QString::fromStdString(c.accountProfile);
        Account other = account; // another system id's profile is none of esme's
        other.systemId = "other";
        other.receiptProfile = "hex ids in text";
        ASSERT_TRUE(simulator->Smpp().SetAccounts({other, account}));
        esme->Send(SubmitSm(1, "67890", 1, 0, "Hello receipt text beyond twenty"));
        ASSERT_TRUE(esme->NextPdu());
        now += 120;
        scheduler.Advance(500);
        const std::optional<Bytes> receipt = esme->NextPdu();
        EXPECT_EQ(receipt, wire::ParseHex(c.pdu).bytes) << HexOf(receipt);
        ASSERT_TRUE(receipt && receipt->size() >= 16);
        esme->Send(SmppPdu(wire::ReadBe32(receipt->data() + 4) | 0x80000000, wire::ReadBe32(receipt->data() + 12),
                           receipt->at(7) == 5 ? Builder().cstr("") : Builder()));
        ExpectNothingMore(*esme);
    }
}

// A receipt follows its session's version: at 5.0 it tells SCHEDLD (0) and SKIPPED (9), below 5.0 they are UNKNOWN in
// its text and message_state alike; below 3.4 it has no optional parameter, and a profile without text gives it the
// default text, so that its id and state still arrive. A receipt kept for a receiver yet to bind is written for 3.3.
TEST_F(RouterTest, ReceiptsFollowTheirSessionsVersion) {
    simulator->SetDelivery({true, true, 0});
    const auto profile = [](const char* json) {
        QString error;
        const std::optional<ReceiptProfile> parsed = receipt_profiles::Parse(json, &error);
        EXPECT_TRUE(parsed) << error.toStdString();
        return parsed.value_or(ReceiptProfile{});
    };
    const auto text = [](const char* stat) {
        const bool delivered = std::string(stat) == "DELIVRD";
        return std::string("id:000042 sub:001 dlvrd:") + (delivered ? "001" : "000") + " submit date:2311142213 done "
               "date:2311142213 stat:" + stat + " err:000 text:Hi";
    };
    const Bytes id = Builder().u16(0x001E).u16(7).cstr("000042");
    const auto state = [](uint8_t value) { return Builder().u16(0x0427).u16(1).u8(value).bytes(); };
    const Bytes gsm0 = Builder().u16(0x0423).u16(3).u8(3).u16(0);
    const struct {
        const char* name;
        ReceiptProfile profile;
        std::string at50, at34, at33; // the receipt's text at each version
        Bytes tlvs50, tlvs34;         // its optional parameters; none at 3.3
    } cases[] = {
        {"Default", profile(R"({"name": "Default"})"), text("DELIVRD"), text("DELIVRD"), text("DELIVRD"),
         Builder().raw(id).raw(state(2)), Builder().raw(id).raw(state(2))},
        {"TLV only: the default text at 3.3", profile(R"({"name": "TLV only"})"), "", "", text("DELIVRD"),
         Builder().raw(id).raw(state(2)).raw(gsm0), Builder().raw(id).raw(state(2)).raw(gsm0)},
        {"SKIPPED, TLVs only", profile(R"({"text": "", "tlvs": ["message_state"], "states": {"SKIPPED": 1}})"), "", "",
         text("UNKNOWN"), state(9), state(7)},
        {"SCHEDLD in the text", profile(R"({"text": "stat:{stat}", "tlvs": ["message_state"], "states": {"SCHEDLD": 1}})"),
         "stat:SCHEDLD", "stat:UNKNOWN", "stat:UNKNOWN", state(0), state(7)},
    };
    for (const uint8_t version : {0x50, 0x34, 0x33}) {
        auto esme = Esme(kBindTransceiver, "esme", "", version);
        uint32_t sequence = 0;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(version) + " " + c.name);
            ASSERT_EQ(simulator->SetReceiptProfile(c.profile), "");
            simulator->Smpp().SetNextMessageId(42);
            esme->Send(SubmitSm(++sequence, "67890", 1, 0, "Hi"));
            ASSERT_TRUE(esme->NextPdu());
            scheduler.Advance(0);
            const bool v50 = version == 0x50, v34 = version == 0x34;
            EXPECT_EQ(esme->NextPdu(), DeliverSm(sequence, 1, "67890", "12345", 0x04, 0, v50 ? c.at50 : v34 ? c.at34 : c.at33,
                                                 v50 ? c.tlvs50 : v34 ? c.tlvs34 : Bytes{}));
            esme->Send(SmppPdu(0x80000005, sequence, Builder().cstr("")));
        }
        ExpectNothingMore(*esme);
    }
    // Kept while no receiver is bound: written for 3.3, so that a receiver of 3.3 reads its text.
    ASSERT_EQ(simulator->SetReceiptProfile(cases[2].profile), "");
    auto sender = Esme(kBindTransmitter, "kept");
    for (uint32_t sequence : {1u, 2u}) {
        simulator->Smpp().SetNextMessageId(42);
        sender->Send(SubmitSm(sequence, "67890", 1, 0, "Hi"));
        ASSERT_TRUE(sender->NextPdu());
        scheduler.Advance(0);
    }
    auto receiver33 = Esme(kBindReceiver, "kept", "", 0x33);
    EXPECT_EQ(receiver33->NextPdu(), DeliverSm(1, 1, "67890", "12345", 0x04, 0, text("UNKNOWN")));
    EXPECT_EQ(receiver33->NextPdu(), DeliverSm(2, 1, "67890", "12345", 0x04, 0, text("UNKNOWN")));
}

// The JSON of a receipt profile: every field read back as written, and every mistake named by its field.
TEST(ReceiptProfile, JsonReadsBackAndNamesTheWrongField) {
    ReceiptProfile custom;
    custom.name = receipt_profiles::kCustom;
    custom.carrier = ReceiptProfile::Carrier::DataSm;
    custom.text = "{id} {stat}";
    custom.receiptedMessageId = false;
    custom.networkErrorCode = true;
    custom.idForm = ReceiptProfile::IdForm::Hex;
    custom.mix = {{MessageState::Delivered, 90}, {MessageState::Undeliverable, 10}};
    for (const ReceiptProfile& profile : {custom, *receipt_profiles::BuiltIn("TLV only")}) {
        QString error;
        EXPECT_EQ(receipt_profiles::Parse(receipt_profiles::ToJson(profile), &error), profile) << error.toStdString();
    }
    const struct {
        const char* json;
        const char* error; // empty: good
    } cases[] = {
        {R"({"name": "TLV only"})", ""},
        {R"({"text": ""})", ""},
        {R"({"name": "Fancy"})", R"(name: "Default", "TLV only", "data_sm receipts", "hex ids in text" or "Custom" expected, not "Fancy")"},
        {R"({"name": 3})", "name: text expected"},
        {R"({"carrier": "submit_sm"})", R"(carrier: deliver_sm or data_sm expected, not "submit_sm")"},
        {R"({"text": "id:{id} at {time}"})", "text: unknown field {time}; the fields are {id} {sub} {dlvrd} {submit_date} {done_date} {stat} {err} {text}"},
        {R"({"text": "id:{id"})", R"(text: "{" at 4 is never closed)"},
        {R"({"text": 5})", "text: text expected"},
        {R"({"tlvs": ["message_state", "sar_msg_ref_num"]})", R"(tlvs: receipted_message_id, message_state or network_error_code expected, not "sar_msg_ref_num")"},
        {R"({"tlvs": "message_state"})", "tlvs: a list of texts expected"},
        {R"({"idForm": "octal"})", R"(idForm: answer, hex or decimal expected, not "octal")"},
        {R"({"states": {"DELIVRD": 1, "ENROUTE": 1}})", R"(states: DELIVRD, UNDELIV, EXPIRED, REJECTD, SCHEDLD or SKIPPED expected, not "ENROUTE")"},
        {R"({"states": {"DELIVERED": 1}})", R"(states: DELIVRD, UNDELIV, EXPIRED, REJECTD, SCHEDLD or SKIPPED expected, not "DELIVERED")"},
        {R"({"states": {"DELIVRD": 1.5}})", "states: DELIVRD's weight: a whole number from 0 to 1000000 expected"},
        {R"({"states": {"DELIVRD": 1000000, "UNDELIV": 1000000}})", ""}, // the largest weights
        {R"({"states": {"DELIVRD": 0}})", "states: the weights add up to 0"},
        {R"({"states": {}})", ""}, // no mix: every message delivered
        {R"({"states": [90]})", "states: object expected"},
        {R"({"colour": "red"})", "colour: unknown field"},
        {R"([])", "The receipt profile must be a JSON object"},
        {R"({)", "The receipt profile is not JSON (unterminated object at offset 1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        QString error;
        const std::optional<ReceiptProfile> profile = receipt_profiles::Parse(c.json, &error);
        EXPECT_EQ(error.toStdString(), c.error);
        EXPECT_EQ(profile.has_value(), error.isEmpty());
    }
    QString error;
    EXPECT_EQ(receipt_profiles::MixText(receipt_profiles::ParseMix("undeliv 5,DELIVRD  95", &error)), "DELIVRD 95, UNDELIV 5");
    EXPECT_EQ(receipt_profiles::MixText(receipt_profiles::ParseMix("DELIVRD 1000000", &error)), "DELIVRD 1000000"); // the top
    receipt_profiles::ParseMix("DELIVRD 1000001", &error);
    EXPECT_EQ(error, "states: DELIVRD's weight: a whole number from 0 to 1000000 expected");
    receipt_profiles::ParseMix("DELIVRD ninety", &error);
    EXPECT_EQ(error, "states: DELIVRD's weight: a whole number from 0 to 1000000 expected");
    EXPECT_TRUE(receipt_profiles::ParseMix("DELIVRD 0, UNDELIV 0", &error).empty());
    EXPECT_EQ(error, "states: the weights add up to 0");
    std::vector<Account> accounts(2);
    accounts[1].systemId = "esme1";
    accounts[1].receiptProfile = "Fancy";
    EXPECT_EQ(receipt_profiles::CheckAccounts(accounts), R"(Account 2 (esme1), "receiptProfile": "Fancy" is no built-in receipt profile)");
    // The id in the text's other base: a hex id may open with a letter; what is no number of its base stays.
    using Form = ReceiptProfile::IdForm;
    for (const auto& [form, id, text] : {std::tuple{Form::Decimal, "00001A", "26"}, {Form::Decimal, "A1", "161"},
                                         {Form::Hex, "000026", "1A"}, {Form::Hex, "A1", "A1"},
                                         {Form::Decimal, "-00001", "-00001"}, {Form::AsAnswered, "A1", "A1"}})
        EXPECT_EQ(receipt_profiles::IdIn(form, id), text) << id;
}

// A message to the echo address comes back to its sender as deliver_sm, as sent or reversed by
// character in its own coding; a transmitter's echo goes to a receiver under the same system id.
TEST_F(RouterTest, EchoAnswersMessagesToItsAddress) {
    auto sender = Esme(kBindTransmitter, "esme");
    auto receiver = Esme(kBindReceiver, "esme");
    const std::string ucs2 = std::string("\x00" "A" "\xD8\x3D\xDE\x00" "\x4E\x2D", 8); // A, a face, a CJK character
    const std::string utf8 = "a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80";          // a, n tilde, euro, a face
    const struct {
        const char* name;
        const char* echoTo; // "": off
        bool reverse;
        std::string dest;
        uint8_t dataCoding;
        std::string text, echoed; // echoed empty: no echo
        uint8_t esmClass = 0;
    } cases[] = {
        {"as sent", "777", false, "777", 0, "Hello", "Hello"},
        {"as sent, a concatenation header kept in front with UDHI", "777", false, "777", 0,
         std::string("\x05\x00\x03\x01\x02\x01" "Hi", 8), std::string("\x05\x00\x03\x01\x02\x01" "Hi", 8), 0x40},
        {"reversed behind the header it came with", "777", true, "777", 0,
         std::string("\x05\x00\x03\x01\x02\x01" "Hello", 11),
         std::string("\x05\x00\x03\x01\x02\x01" "olleH", 11), 0x40},
        {"reversed, an escape kept before its character", "777", true, "777", 0, "a\x1B\x65" "b", "b\x1B\x65" "a"},
        {"reversed UCS-2, a surrogate pair kept whole", "777", true, "777", 8, ucs2,
         std::string("\x4E\x2D" "\xD8\x3D\xDE\x00" "\x00" "A", 8)},
        {"reversed UTF-8", "777", true, "777", 4, utf8, "\xF0\x9F\x98\x80\xE2\x82\xAC\xC3\xB1" "a"},
        {"reversed GBK", "777", true, "777", 15, "a\xD6\xD0" "b", "b\xD6\xD0" "a"},
        {"to another address", "777", true, "778", 0, "Hello", ""},
        {"echo off", "", false, "777", 0, "Hello", ""},
    };
    uint32_t sequence = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->SetEcho({c.echoTo, c.reverse});
        trace.clear();
        sender->Send(SubmitSm(1, c.dest, 0, c.dataCoding, c.text, c.esmClass));
        ASSERT_TRUE(sender->NextPdu());
        if (!c.echoed.empty()) {
            EXPECT_EQ(receiver->NextPdu(), DeliverSm(++sequence, 1, c.dest, "12345", c.esmClass, c.dataCoding, c.echoed));
            receiver->Send(SmppPdu(0x80000005, sequence, Builder().cstr("")));
            EXPECT_EQ(trace.front().substr(0, 21), "[Echo] message 00000" + std::to_string(&c - cases));
            EXPECT_EQ(trace.front().substr(21), " from 12345 to 777: deliver_sm to esme");
        }
        ExpectNothingMore(*receiver);
        ExpectNothingMore(*sender);
    }
    // With no receiver under the submitter's name, the echo is said to have nowhere to go.
    receiver.reset();
    ASSERT_TRUE(test_net::WaitUntil([&] { return simulator->Smpp().GetConnectionCount() == 1; }));
    simulator->SetEcho({"777", false});
    trace.clear();
    sender->Send(SubmitSm(1, "777", 0, 0, "Hi"));
    ASSERT_TRUE(sender->NextPdu());
    EXPECT_EQ(trace, (std::vector<std::string>{"[Route] deliver_sm D000007 kept for esme: no bound receiver",
                                               "[Echo] message 000009 from 12345 to 777: kept for esme"}));
}

// A deliver_sm the ESME cannot take now, or does not answer within 10 s, is tried again after 1, 2,
// 4 and 8 s, five tries in all, each traced; a permanent refusal or any other error ends it at
// once, and query_sm tells where it stands.
TEST_F(RouterTest, DeliverSmIsTriedAgainAfterATemporaryRefusalOrSilence) {
    constexpr std::optional<uint32_t> kSilence;
    const struct {
        const char* name;
        std::vector<std::optional<uint32_t>> answers; // to each try in turn
        std::vector<int64_t> tryAtMs;                 // when each try goes out, from the first
        uint8_t finalState;
        std::string lastTrace; // after "[Route] deliver_sm <id> to esme, "
        int64_t lateAtMs = 0;  // the first try's answer, come after its time-out: ignored
    } cases[] = {
        {"ESME_RX_T_APPN to every try", {0x64, 0x64, 0x64, 0x64, 0x64}, {0, 1000, 3000, 7000, 15000}, 5,
         "try 5 of 5: ESME_RX_T_APPN, undeliverable"},
        {"ESME_RMSGQFUL, then taken", {0x14, 0}, {0, 1000}, 2, "try 2 of 5: delivered"},
        {"ESME_RTHROTTLED twice, then taken", {0x58, 0x58, 0}, {0, 1000, 3000}, 2, "try 3 of 5: delivered"},
        {"silence to every try", {kSilence, kSilence, kSilence, kSilence, kSilence}, {0, 11000, 23000, 37000, 55000},
         5, "try 5 of 5: no answer in 10 s, undeliverable"},
        {"silence, then taken", {kSilence, 0}, {0, 11000}, 2, "try 2 of 5: delivered"},
        {"silence, taken late, then taken", {kSilence, 0}, {0, 11000}, 2, "try 2 of 5: delivered", 10'500},
        {"ESME_RX_P_APPN ends it", {0x65}, {0}, 5, "try 1 of 5: ESME_RX_P_APPN, undeliverable"},
        {"another error ends it", {0x08}, {0}, 5, "try 1 of 5: ESME_RSYSERR, undeliverable"},
        {"a status without a name", {0x400}, {0}, 5, "try 1 of 5: 0x00000400, undeliverable"},
    };
    auto esme = Esme(kBindTransceiver, "esme");
    const Bytes body = Builder().cstr("").u8(1).u8(1).cstr("13900000001").u8(1).u8(1).cstr("10086").u8(0).u8(0).u8(0)
        .cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi").bytes();
    uint32_t sequence = 0, querySequence = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        trace.clear();
        // Each case's deliver_sm is the next of the delivery series, whatever its tries.
        char id[8];
        std::snprintf(id, sizeof id, "D%06d", int(&c - cases));
        const int64_t start = scheduler.NowMs();
        ASSERT_EQ(simulator->Smpp().SendServerPdu(*test_net::NthConnection(simulator->Smpp(), 0), 0x00000005, body), sequence + 1);
        for (size_t i = 0; i < c.answers.size(); ++i) {
            if (i == 1 && c.lateAtMs) {
                scheduler.Advance(start + c.lateAtMs - scheduler.NowMs());
                esme->Send(SmppPdu(0x80000005, sequence, Builder().cstr(""), 0));
            }
            if (i > 0) {
                scheduler.Advance(start + c.tryAtMs[i] - scheduler.NowMs() - 1);
                ExpectNothingMore(*esme);
                scheduler.Advance(1);
            }
            EXPECT_EQ(esme->NextPdu(), SmppPdu(0x00000005, ++sequence, body)) << "try " << i + 1;
            esme->Send(QuerySm(++querySequence, id));
            EXPECT_EQ(esme->NextPdu(), QueryResp(querySequence, id, "", 1, 0)) << "en route";
            if (c.answers[i]) {
                esme->Send(SmppPdu(0x80000005, sequence, Builder().cstr(""), *c.answers[i]));
                ExpectNothingMore(*esme); // the answer has been taken before time moves
            }
        }
        scheduler.Advance(10'000);
        esme->Send(QuerySm(++querySequence, id));
        EXPECT_EQ(esme->NextPdu(), QueryResp(querySequence, id, "231114221320000+", c.finalState, c.finalState == 5 ? 1 : 0));
        scheduler.Advance(60'000);
        ExpectNothingMore(*esme);
        EXPECT_EQ(trace.size(), c.answers.size()) << "one line a try";
        EXPECT_EQ(trace.back(), "[Route] deliver_sm " + std::string(id) + " to esme, " + c.lastTrace);
        if (&c == cases) {
            EXPECT_EQ(trace.front(), "[Route] deliver_sm D000000 to esme, try 1 of 5: ESME_RX_T_APPN, again in 1000 ms");
        }
    }
}

// The store finds a message by its id's number: the ids the server writes, and no other text.
TEST(MessageStore, KeepsTheNewestAndKnowsWhatItForgot) {
    const struct {
        const char* id;
        uint32_t key;
    } ids[] = {{"-32768", 0}, {"-00001", 32767}, {"000000", 32768}, {"032767", 65535}, {"D000000", 65536},
               {"D999999", 1'065'535}};
    for (const auto& c : ids) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(MessageKeyOf(c.id), c.key);
        EXPECT_EQ(MessageIdOf(c.key), c.id);
    }
    for (const char* bad : {"42",        // not six wide
                            "0000042",   // seven wide
                            "032768",    // past the 16-bit counter
                            "-32769",    // below it
                            "-00000",    // 0 is written without a sign
                            "+00001",    // nor with a plus
                            "D-00001",   // the delivery series has no sign
                            "D00000x", "", "D"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(MessageKeyOf(bad), std::nullopt);
    }

    CMessageStore store(3);
    EXPECT_EQ(store.Add("hello", 1), 0u) << "no id the server gives";
    const uint64_t first = store.Add("000001", 1);
    store.Add("000002", 2);
    store.Add("D000003", 3);
    EXPECT_EQ(store.Size(), 3u);
    store.Add("000004", 4);
    EXPECT_EQ(store.Size(), 3u);
    EXPECT_EQ(store.Find("000001"), nullptr) << "the oldest made room";
    EXPECT_TRUE(store.Forgot("000001"));
    EXPECT_FALSE(store.Forgot("000005")) << "never held";
    EXPECT_EQ(store.FindHandle(first), nullptr);
    const uint64_t again = store.Add("D000003", 5);
    EXPECT_EQ(store.Size(), 2u) << "the id's earlier message went, and the oldest made room";
    ASSERT_NE(store.Find("D000003"), nullptr);
    EXPECT_EQ(store.Find("D000003")->submitTime, 5);
    EXPECT_EQ(store.FindHandle(again), store.Find("D000003"));
    EXPECT_TRUE(store.Forgot("000002"));
    store.SetRoute(*store.Find("000004"), {7, "esme", {}, {}, "Hi", 1});
    EXPECT_EQ(store.RouteOf(*store.Find("000004")).systemId, "esme");
    EXPECT_FALSE(store.SetRoute(*store.Find("D000003"), {7, "esme", {}, {}, "Hi", 1})) << "no receipt follows a delivery";
    store.Add("000004", 6);
    EXPECT_EQ(store.RouteOf(*store.Find("000004")).systemId, "") << "not the route of the id's earlier message";
    store.Add("000001", 6);
    EXPECT_FALSE(store.Forgot("000001")) << "held again";
    store.Clear();
    EXPECT_EQ(store.Size(), 0u);
    EXPECT_FALSE(store.Forgot("000002"));
    EXPECT_EQ(store.FindHandle(again), nullptr);
}

// A receipt's text quotes the message's first 20 characters whole, in its own data_coding, as the
// store of messages keeps it; a GSM '@' (0x00) is a character like any other.
TEST(ReceiptText, QuotesTheFirstTwentyCharactersWhole) {
    const std::string gsm25 = std::string("ab\0", 3) + std::string(22, 'c');
    std::string euros, ucs2, pairAt19, faces, pairs, lows;
    for (int i = 0; i < 25; ++i) {
        euros += "\x1B\x65";
        ucs2 += std::string("\x04\x16", 2);
        faces += "\xF0\x9F\x98\x80";
        pairs += std::string("\xD8\x3D\xDE\x00", 4);
        lows += std::string("\xDC\x00", 2);
    }
    pairAt19 = ucs2.substr(0, 38) + "\xD8\x3D\xDE\x00" + ucs2.substr(0, 4);
    const struct {
        const char* name;
        uint8_t dataCoding;
        std::string message, text;
    } cases[] = {
        {"GSM, an @ among them", 0, gsm25, gsm25.substr(0, 20)},
        {"GSM escapes, two octets each", 0, euros, euros.substr(0, 40)},
        {"a lone escape at the end", 0, std::string(19, 'a') + "\x1B", std::string(19, 'a') + "\x1B"},
        {"UCS-2", 8, ucs2, ucs2.substr(0, 40)},
        {"a surrogate pair as the twentieth", 8, pairAt19, pairAt19.substr(0, 42)},
        {"shorter than twenty", 0, "Hi", "Hi"},
        {"UTF-8 in 8-bit data, four octets each", 4, faces, faces.substr(0, 80)},
        {"UCS-2 surrogate pairs, four octets each", 8, pairs, pairs.substr(0, 80)},
        {"lone low surrogates, two octets each", 8, lows, lows.substr(0, 40)},
        {"GBK, two octets a Chinese character", 15, "a" + std::string(50, '\xC4'), "a" + std::string(38, '\xC4')},
        {"8-bit data, a lead octet no sequence follows", 4, std::string(25, '\xC3'), std::string(20, '\xC3')},
        {"nothing", 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        smpp::SubmittedMessage message;
        message.dataCoding = c.dataCoding;
        message.message.assign(c.message.begin(), c.message.end());
        CMessageStore store(1);
        StoredMessage& stored = *store.FindHandle(store.Add("000001", 1));
        ASSERT_TRUE(store.SetRoute(stored, CRouter::RouteOf(message, 1, "esme")));
        EXPECT_EQ(store.RouteOf(stored).text, c.text);
    }
}

// A receipt owed to a system id no receiver is bound under is kept, in order, and sent after the
// next bind, while query_sm says ENROUTE; kept ones expire when their validity runs out, or the
// oldest when the store for their system id is full. The store of messages forgets its oldest,
// and query_sm for one it forgot answers ESME_RQUERYFAIL.
TEST_F(RouterTest, ReceiptsWaitForTheirReceiverToBind) {
    simulator->SetDelivery({true, true, 0});
    StoreLimits limits;
    limits.pendingValiditySeconds = 60;
    limits.pendingLimit = 2;
    simulator->Smpp().SetStoreLimits(limits);
    auto sender = Esme(kBindTransmitter, "esme");
    for (uint32_t sequence = 1; sequence <= 3; ++sequence) {
        sender->Send(SubmitSm(sequence, "67890", 1, 0, "Hi"));
        ASSERT_TRUE(sender->NextPdu());
    }
    scheduler.Advance(0);
    EXPECT_EQ(trace, (std::vector<std::string>{
                         "[Route] deliver_sm D000000 kept for esme: no bound receiver",
                         "[Receipt] message 000000 DELIVRD to esme: kept",
                         "[Route] deliver_sm D000001 kept for esme: no bound receiver",
                         "[Receipt] message 000001 DELIVRD to esme: kept",
                         "[Route] deliver_sm D000002 kept for esme: no bound receiver",
                         "[Route] deliver_sm D000000 kept for esme: expired, the store for esme is full",
                         "[Receipt] message 000002 DELIVRD to esme: kept",
                     }));
    const auto query = [&](uint32_t sequence, const std::string& id) {
        sender->Send(QuerySm(sequence, id));
        return sender->NextPdu();
    };
    EXPECT_EQ(query(4, "D000001"), QueryResp(4, "D000001", "", 1, 0)) << "kept: en route";
    EXPECT_EQ(query(5, "D000000"), QueryResp(5, "D000000", "231114221320000+", 3, 27));
    EXPECT_EQ(simulator->Statistics().QueuesText(), "esme: 2 kept, 0 waiting, 0 unanswered");

    auto transmitter = Esme(kBindTransmitter, "esme");
    ExpectNothingMore(*transmitter); // a transmitter takes none of what is kept
    trace.clear();
    auto receiver = Esme(kBindReceiver, "esme"); // the bind's answer first, then what was kept
    const auto receipt = [](uint32_t sequence, const std::string& id) {
        return DeliverSm(sequence, 1, "67890", "12345", 0x04, 0, "id:" + id + " sub:001 dlvrd:001 submit date:"
            "2311142213 done date:2311142213 stat:DELIVRD err:000 text:Hi",
            Builder().u16(0x001E).u16(7).cstr(id).u16(0x0427).u16(1).u8(2));
    };
    EXPECT_EQ(receiver->NextPdu(), receipt(1, "000001"));
    EXPECT_EQ(receiver->NextPdu(), receipt(2, "000002"));
    EXPECT_EQ(simulator->Statistics().QueuesText(), "esme: 0 kept, 0 waiting, 2 unanswered");
    for (uint32_t sequence : {1u, 2u})
        receiver->Send(SmppPdu(0x80000005, sequence, Builder().cstr("")));
    ExpectNothingMore(*receiver);
    EXPECT_EQ(query(6, "D000001"), QueryResp(6, "D000001", "231114221320000+", 2, 0));
    EXPECT_EQ(trace, (std::vector<std::string>{"[Route] deliver_sm D000001 to esme: sent after bind",
                                               "[Route] deliver_sm D000002 to esme: sent after bind",
                                               "[Route] deliver_sm D000001 to esme, try 1 of 5: delivered",
                                               "[Route] deliver_sm D000002 to esme, try 1 of 5: delivered"}));

    receiver.reset(), transmitter.reset();
    ASSERT_TRUE(test_net::WaitUntil([&] { return simulator->Smpp().GetConnectionCount() == 1; }));
    trace.clear();
    sender->Send(SubmitSm(7, "67890", 1, 0, "Hi"));
    ASSERT_TRUE(sender->NextPdu());
    scheduler.Advance(59'999);
    EXPECT_EQ(query(8, "D000003"), QueryResp(8, "D000003", "", 1, 0));
    scheduler.Advance(1);
    EXPECT_EQ(trace.back(), "[Route] deliver_sm D000003 kept for esme: expired");
    EXPECT_EQ(query(9, "D000003"), QueryResp(9, "D000003", "231114221320000+", 3, 27));

    simulator->Router().SetStoreCapacity(2);
    for (uint32_t sequence = 10; sequence <= 12; ++sequence) {
        sender->Send(SubmitSm(sequence, "67890", 0, 0, "Hi"));
        ASSERT_TRUE(sender->NextPdu());
    }
    scheduler.Advance(0);
    EXPECT_EQ(query(13, "000004"), SmppPdu(0x80000003, 13, {}, 0x67)) << "forgotten: ESME_RQUERYFAIL";
    EXPECT_EQ(query(14, "000006"), QueryResp(14, "000006", "231114221320000+", 2, 0));
    EXPECT_EQ(query(15, "hello"), QueryResp(15, "hello", "", 0, 0)) << "never an id of ours: as ever";
}

} // namespace

// A message to a CIMD2 session's user identity reaches it as a 20; a submit that asks for a status report gets
// a 23 after the receipt delay with the profile's state, kept while its user is logged out.
TEST_F(RouterTest, Cimd2SessionGetsItsMessagesAndTheStatusReportsItAskedFor) {
    simulator->SetDelivery({true, true, 100});
    const auto login = [this] {
        auto client = std::make_unique<TestClient>();
        EXPECT_TRUE(client->Connect(simulator->Cimd().ListeningPort()));
        client->Send(cimd::Build(cimd::op::kLogin, 1, {{cimd::param::kUserIdentity, "kannel"}}));
        EXPECT_EQ(client->NextFrame(), cimd::BuildResponse(cimd::op::kLogin, 1, {}));
        return client;
    };
    const auto next = [](TestClient& client, uint8_t operation) {
        const std::string frame = client.NextFrame().value_or("");
        const cimd::ParseResult read = cimd::Parse(frame);
        EXPECT_EQ(read.packet.operation, operation) << frame;
        const auto value = [&read](uint16_t code) {
            const cimd::Parameter* p = read.packet.Find(code);
            return p ? std::string(p->value) : std::string("none");
        };
        return std::tuple{value(cimd::param::kDestinationAddress), value(cimd::param::kServiceCentreTimeStamp),
                          value(cimd::param::kUserData), value(cimd::param::kStatusCode)};
    };
    const auto submit = [&](TestClient& client, uint8_t number, const char* reportRequest = "1") {
        client.Send(cimd::Build(cimd::op::kSubmit, number, {{cimd::param::kDestinationAddress, "0612345678"},
                                                            {cimd::param::kUserData, "Hello"},
                                                            {cimd::param::kStatusReportRequest, reportRequest}}));
        return std::get<1>(next(client, cimd::op::kSubmit + cimd::op::kResponseOffset));
    };
    auto client = login();
    EXPECT_EQ(simulator->Router().RouteFromPhone("0655", "kannel", 0, std::vector<uint8_t>{'H', 'i', 0x00}), 1);
    EXPECT_EQ(std::get<2>(next(*client, cimd::op::kDeliver)), "Hi@");
    // A part of a long message: its whole concatenation header in 032, the text after it in 033.
    EXPECT_EQ(simulator->Router().RouteFromPhone("0655", "kannel", 0, std::vector<uint8_t>{5, 0, 3, 0x45, 2, 1, 'H', 'i'}), 1);
    const std::string frame = client->NextFrame().value_or("");
    const cimd::Packet part = cimd::Parse(frame).packet;
    const cimd::Parameter *header = part.Find(cimd::param::kUserDataHeader), *text = part.Find(cimd::param::kUserData);
    EXPECT_EQ(header ? header->value : "none", "050003450201");
    EXPECT_EQ(text ? text->value : "none", "Hi");
    const std::string unasked = submit(*client, 3, "0");
    submit(*client, 13, ""); // an empty 056 asks for none either
    const std::string first = submit(*client, 5);
    scheduler.Advance(100);
    EXPECT_EQ(next(*client, cimd::op::kStatusReport), std::tuple("0612345678", first, "none", "4"))
        << "none for " << unasked << ", whose 056 asked for none";
    const std::string second = submit(*client, 7);
    client->Send(cimd::Build(cimd::op::kLogout, 9, {}));
    next(*client, cimd::op::kLogout + cimd::op::kResponseOffset);
    scheduler.Advance(100);
    EXPECT_EQ(trace.back(), "[Receipt] CIMD2 message 0612345678:" + second + " DELIVRD, kept for kannel");
    auto again = login();
    EXPECT_EQ(next(*again, cimd::op::kStatusReport), std::tuple("0612345678", second, "none", "4"));
    QString error;
    ASSERT_EQ(simulator->SetReceiptProfile(receipt_profiles::Parse(R"({"states": {"EXPIRED": 1}})", &error).value()), "");
    const std::string third = submit(*again, 11);
    scheduler.Advance(100);
    EXPECT_EQ(next(*again, cimd::op::kStatusReport), std::tuple("0612345678", third, "none", "2")) << "validity expired";

    // What the client submits reaches an ESME as deliver_sm, with UDHI when it came with a header in 032.
    auto esme = Esme(kBindReceiver, "esme");
    submit(*again, 15, "0");
    EXPECT_EQ(esme->NextPdu(), DeliverSm(1, 0, "", "0612345678", 0, 0, "Hello"));
    again->Send(cimd::Build(cimd::op::kSubmit, 17, {{cimd::param::kDestinationAddress, "0612345678"},
                                                    {cimd::param::kUserDataHeader, "050003450201"},
                                                    {cimd::param::kUserData, "Hi"}}));
    next(*again, cimd::op::kSubmit + cimd::op::kResponseOffset);
    EXPECT_EQ(esme->NextPdu(), DeliverSm(2, 0, "", "0612345678", 0x40, 0, std::string("\x05\x00\x03\x45\x02\x01" "Hi", 8)));
}

// A UCP 51 that asks for a notification (NRq 1) gets a 53 after the receipt delay, from the recipient: Dst 2 for
// a message that failed; none while receipts are off.
TEST_F(RouterTest, UcpSessionIsNotifiedOfAFailedMessageWhileReceiptsAreOn) {
    simulator->SetDelivery({true, true, 100});
    QString error;
    ASSERT_EQ(simulator->SetReceiptProfile(receipt_profiles::Parse(R"({"states": {"UNDELIV": 1}})", &error).value()), "");
    TestClient client;
    ASSERT_TRUE(client.Connect(simulator->Ucp().ListeningPort()));
    const auto submit = [](TestClient& client, uint8_t trn) {
        std::vector<std::string_view> fields(std::size(ucp::kSeries50Fields));
        fields[ucp::FieldIndex(ucp::kSeries50Fields, "AdC")] = "0612345678";
        fields[ucp::FieldIndex(ucp::kSeries50Fields, "OAdC")] = "06111";
        fields[ucp::FieldIndex(ucp::kSeries50Fields, "NRq")] = "1";
        fields[ucp::FieldIndex(ucp::kSeries50Fields, "MT")] = "3";
        fields[ucp::FieldIndex(ucp::kSeries50Fields, "Msg")] = "4869"; // "Hi"
        client.Send(ucp::Build(trn, ucp::Kind::Operation, 51, fields));
        ASSERT_TRUE(client.NextFrame());
    };
    submit(client, 1);
    scheduler.Advance(100);
    const std::string frame = client.NextFrame().value_or("");
    const ucp::ParseResult notification = ucp::Parse(frame);
    ASSERT_TRUE(notification.Ok()) << frame;
    EXPECT_EQ(notification.message.ot, 53);
    EXPECT_EQ(notification.message.Text(ucp::FieldIndex(ucp::kSeries50Fields, "AdC")), "06111");
    EXPECT_EQ(notification.message.Text(ucp::FieldIndex(ucp::kSeries50Fields, "Dst")), "2");

    simulator->SetDelivery({true, false, 100});
    submit(client, 3);
    scheduler.Advance(100);
    EXPECT_EQ(client.NextFrame(50), std::nullopt) << "receipts off: no 53";

    // The session that asked went before its 53: another session of the same login gets it.
    simulator->SetDelivery({true, true, 100});
    Account account;
    account.systemId = "06111";
    account.password = "secret";
    simulator->Ucp().SetAccounts({account});
    TestClient first, second;
    for (TestClient* session : {&first, &second}) {
        ASSERT_TRUE(session->Connect(simulator->Ucp().ListeningPort()));
        session->Send(ucp::Build(1, ucp::Kind::Operation, 60,
                                 {"06111", "6", "5", "1", "736563726574", "", "0100", "", "", "", "", ""}));
        ASSERT_EQ(ucp::Parse(session->NextFrame().value_or("")).message.ot, 60);
    }
    submit(first, 5);
    first.Close();
    ASSERT_TRUE(first.WaitForDisconnected());
    ASSERT_TRUE(test_net::WaitUntil([&] { return simulator->Ucp().GetConnectionCount() == 2; }));
    scheduler.Advance(100);
    EXPECT_EQ(ucp::Parse(second.NextFrame().value_or("")).message.ot, 53);
    EXPECT_EQ(client.NextFrame(50), std::nullopt) << "not to a session that never logged in";
}

// The traffic generator sends what its rate owes at every 10 ms tick of hand-moved time to a real
// ESME on loopback, and ends done once every message is answered, or stops when the answers fall
// more than the window behind or the receiver goes; errors are answers with a status.
TEST_F(RouterTest, TrafficGeneratorSendsByItsRateAndStopsWhenAnswersFallBehind) {
    enum class Peer { Answers, AllButLast, Silent, Closes };
    const struct {
        const char* name;
        GeneratorJob::Kind kind;
        int64_t count;
        int32_t seconds, rate;
        Peer esme;
        std::vector<uint64_t> sentByTick; // after each of the first ticks
        int ticks;
        uint64_t sent; // in all
        const char* console;
        int32_t accountWindow = 0; // none: no account
    } cases[] = {
        {"count, the rate's remainder carried", GeneratorJob::Kind::Mo, 7, 0, 250, Peer::Answers, {2, 5, 7}, 3, 7,
         "Traffic generator done: 7 sent, 7 answered, 1 errors\r\n"},
        {"seconds, receipts", GeneratorJob::Kind::Receipts, 0, 1, 300, Peer::Answers, {3, 6, 9}, 100, 300,
         "Traffic generator done: 300 sent, 300 answered, 1 errors\r\n"},
        {"the last never answered: stopped once the response time-out has passed", GeneratorJob::Kind::Mo, 3, 0, 1000,
         Peer::AllButLast, {3}, 1002, 3,
         "Traffic generator stopped: answers fell 1 behind (the last went unanswered); 3 sent, 2 answered, 0 errors\r\n"},
        {"a receiver that stops answering: no more than the window goes", GeneratorJob::Kind::Mo, 1000, 0, 1000,
         Peer::Silent, {10, 10, 10}, 3, 10,
         "Traffic generator stopped: answers fell 10 behind (window 10); 10 sent, 0 answered, 0 errors\r\n"},
        {"an account's window, as wide as an outbox takes", GeneratorJob::Kind::Mo, 100000, 0, 1000000, Peer::Silent,
         {1024, 1024, 1024}, 3, 1024,
         "Traffic generator stopped: answers fell 1024 behind (window 1024); 1024 sent, 0 answered, 0 errors\r\n", 5000},
        {"a receiver that goes", GeneratorJob::Kind::Mo, 1000, 0, 1000, Peer::Closes, {10}, 1, 10,
         "Traffic generator stopped: the receiver's connection went; 10 sent, 0 answered, 0 errors\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Account account;
        account.systemId = "loadrx";
        account.password = "pw";
        account.window = c.accountWindow;
        simulator->Smpp().SetAccounts(c.accountWindow > 0 ? std::vector<Account>{account} : std::vector<Account>{});
        auto esme = Esme(kBindReceiver, "loadrx");
        GeneratorJob job;
        job.systemId = "loadrx";
        job.kind = c.kind;
        job.count = c.count;
        job.seconds = c.seconds;
        job.rate = c.rate;
        CTrafficGenerator& generator = simulator->Generator();
        ASSERT_EQ(generator.Start(job), CTrafficGenerator::StartResult::Started);
        EXPECT_EQ(generator.Start(job), CTrafficGenerator::StartResult::Busy);
        uint64_t received = 0;
        for (int tick = 0; tick < c.ticks; ++tick) {
            scheduler.Advance(CTrafficGenerator::kTickMs);
            const uint64_t expected = generator.Progress().sent;
            if (size_t(tick) < c.sentByTick.size()) {
                EXPECT_EQ(expected, c.sentByTick[size_t(tick)]) << "tick " << tick + 1;
            }
            if ((tick + 1) * CTrafficGenerator::kTickMs == 1000) {
                EXPECT_EQ(generator.Progress().rate, double(expected)) << "the rate of the first whole second";
            }
            for (; received < expected; ++received) {
                const std::optional<Bytes> pdu = esme->NextPdu();
                ASSERT_TRUE(pdu);
                const std::string n = std::to_string(received + 1);
                const std::string text(pdu->begin() + 45 + long(n.size()), pdu->end());
                if (c.kind == GeneratorJob::Kind::Mo) {
                    EXPECT_EQ(*pdu, DeliverSm(uint32_t(received + 1), 1, "12345", "4479000" + n, 0, 0, "Message " + n));
                } else {
                    EXPECT_EQ((*pdu)[35 + n.size()], 0x04) << "esm_class";
                    const std::string opening = "id:" + n + " sub:001 dlvrd:001 submit date:";
                    EXPECT_EQ(text.substr(0, opening.size()), opening);
                    EXPECT_NE(text.find(" stat:DELIVRD err:000 text:Message " + n), std::string::npos) << text;
                    const Bytes tlvs = Builder().u16(0x001E).u16(uint32_t(n.size() + 1)).cstr(n).u16(0x0427).u16(1).u8(2);
                    EXPECT_EQ(Bytes(pdu->end() - long(tlvs.size()), pdu->end()), tlvs);
                }
                if (c.esme == Peer::Answers || (c.esme == Peer::AllButLast && received + 1 < c.sent))
                    // the third is refused, counted as an error and not sent again
                    esme->Send(SmppPdu(0x80000005, uint32_t(received + 1), Builder().cstr(""), received == 2 ? 0x64 : 0));
            }
            if (c.esme == Peer::Answers || c.esme == Peer::AllButLast) {
                const uint64_t answered = c.esme == Peer::AllButLast ? std::min(received, c.sent - 1) : received;
                EXPECT_TRUE(test_net::WaitUntil([&] { return generator.Progress().answered == answered; }));
            }
        }
        if (c.esme == Peer::Closes) {
            esme->Close();
            EXPECT_TRUE(test_net::WaitUntil([&] { return !generator.IsActive(); }));
        }
        EXPECT_EQ(observer.lines.back(), c.console);
        EXPECT_FALSE(generator.IsActive());
        scheduler.Advance(1000);
        EXPECT_EQ(generator.Progress().sent, c.sent) << "nothing after the end";
    }
    EXPECT_EQ(trace, std::vector<std::string>{}) << "generated messages are none of the router's";
    EXPECT_EQ(simulator->Generator().Start(GeneratorJob{"nobody", 1}), CTrafficGenerator::StartResult::NoReceiver);

    // A job that waits for its receiver begins when that one binds, not when another or a transmitter
    // does; once stopped, an answer that comes late is counted and sends nothing more.
    CTrafficGenerator& generator = simulator->Generator();
    auto sender = Esme(kBindTransmitter, "later");
    EXPECT_EQ(generator.Start(GeneratorJob{"later", 3}), CTrafficGenerator::StartResult::NoReceiver);
    ASSERT_EQ(generator.Start(GeneratorJob{"later", 3}, true), CTrafficGenerator::StartResult::Waiting);
    auto other = Esme(kBindReceiver, "other"), laterSender = Esme(kBindTransmitter, "later");
    EXPECT_EQ(generator.Json().value("state").toString(), "waiting");
    auto later = Esme(kBindReceiver, "later");
    EXPECT_EQ(generator.Progress().state, GeneratorProgress::State::Running);
    scheduler.Advance(CTrafficGenerator::kTickMs);
    ASSERT_TRUE(later->NextPdu());
    generator.Stop();
    scheduler.Advance(100);
    later->Send(SmppPdu(0x80000005, 1, Builder().cstr("")));
    EXPECT_TRUE(test_net::WaitUntil([&] { return generator.Progress().answered == 1; }));
    EXPECT_EQ(generator.Progress().sent, 1u);
}

// A job's fields at their bounds: the counter may take ten digits in place of "{n}", the text is
// counted in GSM 7-bit octets.
TEST(GeneratorJob, CheckNamesTheFieldPastEachBound) {
    const struct {
        std::string destination, text;
        int32_t seconds;
        const char* error;
    } cases[] = {
        {"1234567890123", std::string(160, 'x'), 0, ""},
        {"12345678901234", "x", 0, "destination: at most 13 characters and one {n} expected"},
        {"{n}", std::string(159, 'x') + "\u20ac", 0, "text: at most 160 octets expected"}, // the euro takes two
        {"{n}", "x", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination + " " + std::to_string(c.text.size()));
        GeneratorJob job{"esme", c.seconds > 0 ? 0 : 1, c.seconds};
        job.destination = c.destination;
        job.text = c.text;
        EXPECT_EQ(job.Check(), c.error);
    }
    for (const int32_t seconds : {0, 86401})
        EXPECT_EQ((GeneratorJob{"esme", 0, seconds}).Check(), "seconds: a whole number from 1 to 86400 expected, or a count");
    EXPECT_EQ((GeneratorJob{"esme", 0, 86400}).Check(), "") << "a day, the longest job";
    // The dialog's job reaches Check with no reader of its own before it: rate, count and source at and past their bounds.
    const auto check = [](int32_t rate, int64_t count, size_t sourceChars) {
        GeneratorJob job{"esme", count, 0, rate};
        job.source.assign(sourceChars, '1');
        return job.Check();
    };
    EXPECT_EQ(check(GeneratorJob::kMaxRate, GeneratorJob::kMaxCount, 20), "");
    EXPECT_EQ(check(GeneratorJob::kMaxRate + 1, 1, 1), "rate: a whole number from 1 to 1000000 expected");
    EXPECT_EQ(check(1, GeneratorJob::kMaxCount + 1, 1), "count: a whole number from 1 to 1000000000 expected");
    EXPECT_EQ(check(1, 1, 21), "source: at most 20 characters expected");
}

namespace {

// Stored settings at the edges of what each takes: the edge is read back as written, one step past it
// (or an unreadable value) as the default.
TEST_F(RouterTest, SettingsReadBackAtTheirEdges) {
    const struct {
        const char* key;
        QVariant stored;
        int (*read)(const CSettings&);
        int expected;
    } cases[] = {
        {"Setup/ReceiptDelayMs", 0, [](const CSettings& s) { return s.Delivery().receiptDelayMs; }, 0},
        {"Setup/ReceiptDelayMs", -1, [](const CSettings& s) { return s.Delivery().receiptDelayMs; }, 1000},
        {"Setup/DeliverTries", RetryPolicy::kMaxTries, [](const CSettings& s) { return s.Retry().maxTries; }, RetryPolicy::kMaxTries},
        {"Setup/DeliverTries", 0, [](const CSettings& s) { return s.Retry().maxTries; }, 5},
        {"Setup/DeliverWindow", RetryPolicy::kMaxWindow, [](const CSettings& s) { return s.Retry().window; }, RetryPolicy::kMaxWindow},
        {"Setup/DeliverWindow", RetryPolicy::kMaxWindow + 1, [](const CSettings& s) { return s.Retry().window; }, 10},
        {"Setup/RetryBackoffMs", "soon", [](const CSettings& s) { return s.Retry().backoffMs; }, 1000},
        {"Setup/RetryBackoffMs", 0, [](const CSettings& s) { return s.Retry().backoffMs; }, 0},
        {"Setup/UnansweredSeconds", 0, [](const CSettings& s) { return s.UnansweredSeconds(); }, 5},
        {"Setup/UnansweredSeconds", CSettings::kMaxUnansweredSeconds, [](const CSettings& s) { return s.UnansweredSeconds(); }, CSettings::kMaxUnansweredSeconds},
        {"Setup/PendingLimit", StoreLimits::kMaxPendingLimit, [](const CSettings& s) { return s.Limits().pendingLimit; }, StoreLimits::kMaxPendingLimit},
        {"Setup/PendingLimit", 0, [](const CSettings& s) { return s.Limits().pendingLimit; }, 100'000},
        {"Setup/MessageStoreLimit", 1, [](const CSettings& s) { return s.Limits().messageStoreLimit; }, 1},
        {"Setup/PendingValiditySeconds", StoreLimits::kMaxValiditySeconds,
         [](const CSettings& s) { return s.Limits().pendingValiditySeconds; }, StoreLimits::kMaxValiditySeconds},
        {"Setup/ResponseTimeoutSeconds", 0, [](const CSettings& s) { return s.Sessions().responseTimeoutSeconds; }, 10},
        {"Setup/BindTimeoutSeconds", 0, [](const CSettings& s) { return s.Sessions().bindTimeoutSeconds; }, 0},
        {"Setup/InactivitySeconds", accounts::kMaxSeconds + 1, [](const CSettings& s) { return s.Sessions().inactivitySeconds; }, 3600},
        {"Setup/UcpPort", 65535, [](const CSettings& s) { return int(s.UcpPort()); }, 65535},
        {"Setup/CimdPort", 65536, [](const CSettings& s) { return int(s.CimdPort()); }, protocol::kCimdServerPort},
        {"Setup/CimdPort", 7000, [](const CSettings& s) { return int(s.CimdPort()); }, 7000},
        {"Setup/DefaultAlphabet", "latin1", [](const CSettings& s) { return int(s.SmscDefaultAlphabet()); },
         int(DefaultAlphabet::Latin1)},
        // A destination alone echoes the text as it came: reversing is asked for on its own.
        {"Setup/EchoDestination", "999", [](const CSettings& s) { return int(s.Echo().reverse); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " = " + c.stored.toString().toStdString());
        QSettings().clear();
        QSettings().setValue(c.key, c.stored);
        EXPECT_EQ(c.read(CSettings()), c.expected);
    }
}

// What each setter writes, the next start reads back as written: every value apart from its default and
// from its neighbours', so that two settings swapped or one written into another's key shows.
TEST_F(RouterTest, SettingsComeBackAsTheirSettersWroteThem) {
    QSettings().clear();
    CSettings().SetDelivery({false, true, 250});
    CSettings().SetEcho({"999", true});
    CSettings().SetRetry({300, 7, 3});
    CSettings().SetSessions({30, 11, 20, 40});
    CSettings().SetUnansweredSeconds(9);
    const CSettings read;
    const DeliverySettings delivery = read.Delivery();
    EXPECT_EQ(std::tuple(delivery.routing, delivery.receipts, delivery.receiptDelayMs), std::tuple(false, true, 250));
    EXPECT_EQ(read.Echo(), (EchoSettings{"999", true}));
    const RetryPolicy retry = read.Retry();
    EXPECT_EQ(std::tuple(retry.backoffMs, retry.maxTries, retry.window), std::tuple(300, 7, 3));
    EXPECT_EQ(read.Sessions(), (SessionSettings{30, 11, 20, 40}));
    EXPECT_EQ(read.UnansweredSeconds(), 9);
    CSettings().SetEcho({"", false});
    EXPECT_EQ(read.Echo(), EchoSettings{}) << "echo turned off, and its reversing with it";
}

} // namespace
