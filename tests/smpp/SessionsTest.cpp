// Sessions as an SMSC runs them, over loopback with hand-moved time: binds against accounts, the
// window, the SMSC's enquire_link, the bind time-out and the user's unbind and disconnect.
#include "smpp/KeptMessages.h"
#include "smpp/SmppServer.h"

#include "tests/engine/ServerSuite.h"

#include <string>
#include <vector>

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServerSuite);

namespace {

using namespace test_server;
using test_bytes::Builder;
using test_bytes::SmppPdu;

constexpr uint32_t kTransceiver = 0x00000009, kTransmitter = 0x00000002, kReceiver = 0x00000001;
constexpr uint32_t kEnquireLink = 0x00000015, kUnbind = 0x00000006, kSubmit = 0x00000004;

Bytes BindBody(const std::string& systemId, const std::string& password) {
    return Builder().cstr(systemId).cstr(password).cstr("TEST").u8(0x34).u8(1).u8(1).cstr("");
}
Bytes BindOk(uint32_t commandId, uint32_t sequence, const std::string& systemId) {
    return SmppPdu(commandId | 0x80000000, sequence, Builder().cstr(systemId).u16(0x0210).u16(1).u8(0x50));
}
Bytes HeaderOnly(uint32_t commandId, uint32_t sequence, uint32_t status = 0) {
    return SmppPdu(commandId, sequence, {}, status);
}
Bytes Submit(uint32_t sequence) {
    return SmppPdu(kSubmit, sequence, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890")
                                          .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi"));
}

struct Traits {
    using Server = CSmppServer;
    static constexpr uint16_t kProtocol = 2;
    static Bytes Login(const std::string& name, uint32_t sequence) {
        return SmppPdu(kTransceiver, sequence, BindBody(name, "secret"));
    }
};

class SessionsTest : public ServerTest<Traits> {
protected:
    void SetUp() override {
        server.SetScheduler(scheduler);
        server.SetTrace([this](const std::string& line) { trace.push_back(line); });
        ServerTest::SetUp();
    }
    void Accounts(const char* json) {
        QString error;
        ASSERT_TRUE(server.SetAccounts(accounts::Parse(json, &error))) << error.toStdString();
    }
    std::unique_ptr<TestClient> Bound(const std::string& systemId, const std::string& password = "secret") {
        auto esme = Connect();
        esme->Send(SmppPdu(kTransceiver, 1, BindBody(systemId, password)));
        EXPECT_EQ(esme->NextPdu(), BindOk(kTransceiver, 1, systemId));
        return esme;
    }
    // Once the nack of an unknown command sent last is back, the server has read everything before it.
    void Settle(TestClient& esme) {
        esme.Send(SmppPdu(0x000000FF, 0x77));
        EXPECT_EQ(esme.NextPdu(), HeaderOnly(0x80000000, 0x77, 3));
    }
    // 0 once the connection has gone: no connection has that id.
    uint64_t IdOf(const TestClient& esme) const {
        const CConnection* connection = ConnectionOf(esme);
        return connection ? connection->Id() : 0;
    }
    std::string Closing(int index, const std::string& name, const std::string& reason) const {
        return "Closing [" + std::to_string(index) + "] (" + name + "): " + reason + "\r\n";
    }

    CManualScheduler scheduler;
    std::vector<std::string> trace;
};

// What is kept for a system id is taken oldest first, as much as asked for; a system id taken bare
// leaves no entry behind (the queue depths would show it as "0 kept").
TEST(KeptMessages, TakeGivesTheOldestAndForgetsASystemIdTakenBare) {
    CManualScheduler clock;
    CKeptMessages kept(clock);
    for (const auto& [systemId, tag] : {std::pair{"a", 1}, {"a", 2}, {"a", 3}, {"b", 4}}) {
        OutboxItem item;
        item.tag = uint64_t(tag);
        kept.Keep(systemId, std::move(item));
    }
    const struct {
        std::size_t most;
        std::vector<uint64_t> taken;
        std::size_t left;
    } takes[] = {{0, {}, 3}, {2, {1, 2}, 1}, {1, {3}, 0}};
    for (const auto& take : takes) {
        SCOPED_TRACE(take.most);
        std::vector<uint64_t> tags;
        for (const OutboxItem& item : kept.Take("a", take.most))
            tags.push_back(item.tag);
        EXPECT_EQ(tags, take.taken);
        EXPECT_EQ(kept.Count("a"), take.left);
    }
    EXPECT_EQ(kept.Counts(), (std::vector<std::pair<std::string, std::size_t>>{{"b", 1}}));
    EXPECT_TRUE(kept.Take("a", 1).empty());
    EXPECT_EQ(kept.Take("b", 5).size(), 1u);
    EXPECT_TRUE(kept.Empty());
}

// Each message ends when its validity runs out, whichever system id it is kept for: the one timer
// always waits for the earliest end.
TEST(KeptMessages, EachEndsWhenItsValidityRunsOut) {
    CManualScheduler clock;
    CKeptMessages kept(clock);
    kept.SetValidityMs(5'000);
    std::vector<uint64_t> ended;
    kept.SetExpirySink([&](const std::string&, OutboxItem& item, CKeptMessages::Expiry) { ended.push_back(item.tag); });
    for (const auto& [systemId, tag] : {std::pair{"a", 1}, {"c", 2}, {"b", 3}}) {
        OutboxItem item;
        item.tag = uint64_t(tag);
        kept.Keep(systemId, std::move(item));
        clock.Advance(100);
    }
    for (const auto& [at, tags] : {std::pair{5'000, std::vector<uint64_t>{1}}, {5'100, {1, 2}}, {5'200, {1, 2, 3}}}) {
        clock.Advance(at - clock.NowMs());
        EXPECT_EQ(ended, tags) << at;
        EXPECT_EQ(kept.Counts().size(), 3 - tags.size()) << "a system id none are kept for any more is not listed";
    }
}

// Room is what a post sends at once: none while others wait, even for the link told of an end
// before those waiting move up (it may post then).
TEST(Outbox, HasNoRoomWhileOthersWait) {
    struct Link : COutbox::Link {
        bool Transmit(OutboxItem&) override { return true; }
        void Told(OutboxItem&, const OutboxEvent& event) override {
            if (event.kind == OutboxEvent::Kind::Delivered)
                rooms.push_back(outbox->Room());
        }
        COutbox* outbox = nullptr;
        std::vector<std::size_t> rooms;
    } link;
    CManualScheduler clock;
    COutbox outbox(clock, link);
    link.outbox = &outbox;
    outbox.SetWindow(1);
    const uint32_t first = outbox.Post(OutboxItem{});
    outbox.Post(OutboxItem{});
    EXPECT_EQ(outbox.Room(), 0u);
    EXPECT_TRUE(outbox.Settle(first, 0) && outbox.Settle(first + 1, 0));
    EXPECT_EQ(link.rooms, (std::vector<std::size_t>{0, 1}));
}

// What an accounts file or page may hold, read back the same, and each bad entry named by its
// account and field.
TEST(AccountsJson, ReadsBackWhatItWritesAndNamesTheAccountAndFieldOfAnError) {
    // Each text at its longest.
    const QByteArray full = R"([{"allowedAddresses":["127.0.0.1","10.0.0.0/8"],"bindTypes":["transmitter"],)"
                            R"("enquireLinkSeconds":0,"maxBinds":2,"password":"12345678","receiptProfile":")" +
                            QByteArray(64, 'p') + R"(","systemId":"esme_of_fifteen","window":5},)"
                            R"({"password":"","systemId":"any"}])";
    QString error;
    const std::vector<Account> read = accounts::Parse(full, &error);
    EXPECT_EQ(error.toStdString(), "");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].bindTypes, Account::kTransmitter);
    EXPECT_EQ(read[1].bindTypes, Account::kEveryBindType);
    EXPECT_EQ(accounts::ToJson(read), full);

    const struct {
        std::string json;
        const char* error;
    } bad[] = {
        {"[{", "Accounts are not JSON (unterminated object at offset 2)"},
        {R"({"systemId":"a"})", "Accounts must be a JSON array of account objects"},
        {R"([1])", "Account 1: not a JSON object"},
        {R"([{"password":"x"}])", "Account 1, \"systemId\": missing"},
        {R"([{"systemId":"a","pasword":"x"}])", "Account 1 (a), \"pasword\": unknown field"}, // misspelt
        {R"([{"systemId":"ABCDEFGHIJKLMNOP"}])", "Account 1 (ABCDEFGHIJKLMNOP), \"systemId\": longer than 15 characters"},
        {R"([{"systemId":"a","password":"123456789"}])", "Account 1 (a), \"password\": longer than 8 characters"},
        {R"([{"systemId":"a","password":7}])", "Account 1 (a), \"password\": text expected"},
        {R"([{"systemId":"a","receiptProfile":")" + std::string(65, 'p') + R"("}])",
         "Account 1 (a), \"receiptProfile\": longer than 64 characters"},
        {R"([{"systemId":"a","bindTypes":["tx"]}])",
         "Account 1 (a), \"bindTypes\": transmitter, receiver or transceiver expected, not \"tx\""},
        {R"([{"systemId":"a","bindTypes":[]}])", "Account 1 (a), \"bindTypes\": names no bind type"},
        {R"([{"systemId":"a","bindTypes":["receiver",2]}])", "Account 1 (a), \"bindTypes\": a list of texts expected"},
        {R"([{"systemId":"a","maxBinds":1.5}])", "Account 1 (a), \"maxBinds\": a whole number from 0 to 1000000 expected"},
        {R"([{"systemId":"a","allowedAddresses":["10.0.0.0/33"]}])",
         "Account 1 (a), \"allowedAddresses\": \"10.0.0.0/33\" is not an IPv4 address or CIDR block"},
        {R"([{"systemId":"a","allowedAddresses":["10/8"]}])", // a shorthand few readers know
         "Account 1 (a), \"allowedAddresses\": \"10/8\" is not an IPv4 address or CIDR block"},
        {R"([{"systemId":"a","allowedAddresses":["10.0.0.0/255.0.0.0"]}])", // a netmask, not a prefix length
         "Account 1 (a), \"allowedAddresses\": \"10.0.0.0/255.0.0.0\" is not an IPv4 address or CIDR block"},
        {R"([{"systemId":"a","allowedAddresses":"10.0.0.1"}])", "Account 1 (a), \"allowedAddresses\": a list of texts expected"},
        {R"([{"systemId":"a","enquireLinkSeconds":86401}])",
         "Account 1 (a), \"enquireLinkSeconds\": a whole number from 0 to 86400 expected"},
        {R"([{"systemId":"a"},{"systemId":"a"}])", "Account 2 (a), \"systemId\": also account 1's"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.json);
        EXPECT_TRUE(accounts::Parse(QByteArray::fromStdString(c.json), &error).empty());
        EXPECT_EQ(error.toStdString(), c.error);
    }
    // An account made on the options page, never read from JSON, meets the same bounds.
    Account most;
    most.systemId = "a";
    most.maxBinds = most.window = 1'000'000;
    most.enquireLinkSeconds = 86'400;
    EXPECT_EQ(accounts::Validate({most}).toStdString(), "");
    for (auto [field, name] : {std::pair{&Account::maxBinds, "maxBinds"}, {&Account::window, "window"}}) {
        Account past = most;
        ++(past.*field);
        EXPECT_EQ(accounts::Validate({past}).toStdString(),
                  "Account 1 (a), \"" + std::string(name) + "\": a whole number from 0 to 1000000 expected");
    }
    most.enquireLinkSeconds = 86'401;
    EXPECT_EQ(accounts::Validate({most}).toStdString(),
              "Account 1 (a), \"enquireLinkSeconds\": a whole number from 0 to 86400 expected");
}

// Each bind on a connection of its own, against the same accounts, or in turn on one connection.
TEST_F(SessionsTest, BindsAreAnsweredByTheAccounts) {
    Accounts(R"([{"systemId":"esme","password":"secret","bindTypes":["receiver","transceiver"],"maxBinds":2},
                 {"systemId":"far","password":"pw","allowedAddresses":["10.0.0.0/8"]},
                 {"systemId":"near","password":"","allowedAddresses":["10.0.0.0/8","127.0.0.0/30"]},
                 {"systemId":"host","password":"","allowedAddresses":["127.0.0.0"]}])");
    const struct {
        const char* name;
        uint32_t commandId;
        Bytes body;
        uint32_t status; // 0: bound under the system id
        const char* systemId;
    } cases[] = {
        {"account's transceiver",    kTransceiver, BindBody("esme", "secret"), 0x00, "esme"},
        {"account's receiver",       kReceiver,    BindBody("esme", "secret"), 0x00, "esme"},
        {"beyond maxBinds",          kTransceiver, BindBody("esme", "secret"), 0x0D, ""},
        {"unknown system id",        kTransceiver, BindBody("nobody", "secret"), 0x0F, ""},
        {"system id in other case",  kTransceiver, BindBody("ESME", "secret"), 0x0F, ""},
        {"wrong password",           kReceiver,    BindBody("near", "x"), 0x0E, ""},
        {"bind type not allowed",    kTransmitter, BindBody("esme", "secret"), 0x0D, ""},
        {"address outside the list", kTransceiver, BindBody("far", "pw"), 0x0D, ""},
        {"address in a later block", kTransmitter, BindBody("near", ""), 0x00, "near"},
        {"an address alone is that host only", kTransmitter, BindBody("host", ""), 0x0D, ""}, // not 127.0.0.0/24
        // Bodies cut short read as far as they go; nothing past them is read.
        {"password cut by the body's end", kReceiver, Builder().cstr("esme").raw("sec"), 0x0E, ""},
        {"system id without NUL",    kReceiver,    Builder().raw("esme"), 0x0E, ""},
        {"no body at all",           kReceiver,    {}, 0x0F, ""},
    };
    std::vector<std::unique_ptr<TestClient>> open;
    uint32_t sequence = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto esme = Connect();
        esme->Send(SmppPdu(c.commandId, ++sequence, c.body));
        EXPECT_EQ(esme->NextPdu(), c.status == 0 ? BindOk(c.commandId, sequence, c.systemId)
                                                 : HeaderOnly(c.commandId | 0x80000000, sequence, c.status));
        EXPECT_STREQ(ConnectionOf(*esme)->Name(), c.systemId);
        open.push_back(std::move(esme));
    }
    EXPECT_EQ(observer.lines.back(), "Bind refused [12] (): no account has this system id (ESME_RINVSYSID)\r\n");

    // A bound connection may not bind again; one that leaves frees its place under maxBinds.
    open[0]->Send(SmppPdu(kTransceiver, 2, BindBody("esme", "secret")));
    EXPECT_EQ(open[0]->NextPdu(), HeaderOnly(0x80000009, 2, 0x05));
    EXPECT_STREQ(ConnectionOf(*open[0])->Name(), "esme");
    open[1]->Close();
    EXPECT_TRUE(WaitUntil([&] { return IsClosing(*open[1]) || ConnectionOf(*open[1]) == nullptr; }));
    open[2]->Send(SmppPdu(kTransceiver, 3, BindBody("esme", "secret")));
    EXPECT_EQ(open[2]->NextPdu(), BindOk(kTransceiver, 3, "esme"));

    // An account that allows one bind type takes that one and refuses the other two.
    Accounts(R"([{"systemId":"tx","bindTypes":["transmitter"]},{"systemId":"rx","bindTypes":["receiver"]},
                 {"systemId":"trx","bindTypes":["transceiver"]}])");
    const std::pair<const char*, uint32_t> only[] = {{"tx", kTransmitter}, {"rx", kReceiver}, {"trx", kTransceiver}};
    for (const auto& [systemId, allowed] : only) {
        for (const uint32_t commandId : {kTransmitter, kReceiver, kTransceiver}) {
            SCOPED_TRACE(std::string(systemId) + " bound as " + std::to_string(commandId));
            auto esme = Connect();
            esme->Send(SmppPdu(commandId, 1, BindBody(systemId, "")));
            EXPECT_EQ(esme->NextPdu(), commandId == allowed ? BindOk(commandId, 1, systemId)
                                                            : HeaderOnly(commandId | 0x80000000, 1, 0x0D));
        }
    }

    // Without accounts every bind is taken, a second one too.
    Accounts("[]");
    open[3]->Send(SmppPdu(kTransmitter, 4, BindBody("nobody", "")));
    EXPECT_EQ(open[3]->NextPdu(), BindOk(kTransmitter, 4, "nobody"));
    open[0]->Send(SmppPdu(kReceiver, 5, BindBody("again", "")));
    EXPECT_EQ(open[0]->NextPdu(), BindOk(kReceiver, 5, "again"));
}

// Answers held back by a delay fill the account's window; one request more is answered at once
// with ESME_RMSGQFUL and takes no message id, and the window opens as the held answers go. At 5.0
// each answer tells how full the window was (congestion_state), an error one behind an empty message_id.
TEST_F(SessionsTest, TheWindowAnswersOneRequestTooManyWithQueueFull) {
    Accounts(R"([{"systemId":"esme","password":"secret","window":2}])");
    FaultRule slow;
    slow.command = "submit_sm";
    slow.delayMs = 1000;
    ASSERT_TRUE(server.Faults().SetRules({slow}).isEmpty());
    for (const uint8_t version : {0x34, 0x50}) {
        SCOPED_TRACE(version);
        server.SetNextMessageId(0);
        const auto load = [&](uint8_t percent) { return version == 0x50 ? test_bytes::Tlv(0x0428, {percent}) : Bytes{}; };
        auto esme = Connect();
        esme->Send(SmppPdu(kTransceiver, 1, Builder().cstr("esme").cstr("secret").cstr("").u8(version).u8(1).u8(1).cstr("")));
        EXPECT_EQ(esme->NextPdu(), BindOk(kTransceiver, 1, "esme"));
        for (uint32_t sequence = 1; sequence <= 3; ++sequence)
            esme->Send(Submit(sequence));
        EXPECT_EQ(esme->NextPdu(), version == 0x50 ? SmppPdu(0x80000004, 3, Builder().u8(0).raw(load(100)), 0x14)
                                                   : HeaderOnly(0x80000004, 3, 0x14));
        esme->Send(HeaderOnly(kEnquireLink, 9)); // never held back
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, 9, load(100)));
        Settle(*esme);
        scheduler.Advance(1000);
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000004, 1, Builder().cstr("000000")));
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000004, 2, Builder().cstr("000001").raw(load(50))));
        esme->Send(Submit(4));
        Settle(*esme);
        scheduler.Advance(1000);
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000004, 4, Builder().cstr("000002")));
    }
}

// Every 30 s the SMSC asks each bound connection whether it is alive (an account may turn that
// off); one that does not answer within the response time-out is closed, saying why.
TEST_F(SessionsTest, EnquireLinkIsSentAndSilenceCloses) {
    Accounts(R"([{"systemId":"esme","password":"secret"},{"systemId":"quiet","password":"secret","enquireLinkSeconds":0}])");
    server.SetSessionSettings({.enquireLinkSeconds = 30, .responseTimeoutSeconds = 5});
    auto esme = Bound("esme");
    auto quiet = Bound("quiet");
    scheduler.Advance(30'000);
    EXPECT_EQ(esme->NextPdu(), HeaderOnly(kEnquireLink, 1));
    esme->Send(HeaderOnly(0x80000015, 1));
    Settle(*esme);
    scheduler.Advance(5'000);
    EXPECT_FALSE(IsClosing(*esme)) << "answered in time";

    scheduler.Advance(25'000);
    EXPECT_EQ(esme->NextPdu(), HeaderOnly(kEnquireLink, 2));
    scheduler.Advance(4'999);
    EXPECT_FALSE(IsClosing(*esme));
    scheduler.Advance(1);
    EXPECT_TRUE(IsClosing(*esme));
    EXPECT_EQ(observer.lines.back(), Closing(0, "esme", "no enquire_link_resp within 5 s"));
    EXPECT_EQ(trace, std::vector<std::string>{"[Session] conn:" + std::to_string(IdOf(*esme)) +
                                              " (esme) closed: no enquire_link_resp within 5 s"});
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    Settle(*quiet);
    EXPECT_TRUE(quiet->Received().empty()) << "its account turns enquire_link off";

    // New settings start each timer afresh: the one the old settings set goes by without a word.
    auto again = Bound("esme");
    server.SetSessionSettings({.enquireLinkSeconds = 20, .responseTimeoutSeconds = 5});
    scheduler.Advance(20'000);
    EXPECT_EQ(again->NextPdu(), HeaderOnly(kEnquireLink, 1));
    again->Send(HeaderOnly(0x80000015, 1));
    Settle(*again);
    scheduler.Advance(10'000);
    Settle(*again);
}

TEST_F(SessionsTest, AConnectionThatDoesNotBindInTimeIsClosed) {
    server.SetSessionSettings({.bindTimeoutSeconds = 20});
    auto idle = Connect();
    auto bound = Bound("esme");
    scheduler.Advance(19'999);
    EXPECT_FALSE(IsClosing(*idle));
    scheduler.Advance(1);
    EXPECT_TRUE(IsClosing(*idle));
    EXPECT_FALSE(IsClosing(*bound));
    EXPECT_EQ(observer.lines.back(), "Closing [0]: not bound within 20 s of connecting\r\n");
}

// Unbind waits for the ESME's unbind_resp, or the response time-out; Disconnect closes at once.
TEST_F(SessionsTest, TheUserUnbindsOrDisconnectsAConnection) {
    server.SetSessionSettings({.responseTimeoutSeconds = 10});
    auto polite = Bound("polite");
    auto silent = Bound("silent");
    auto unbound = Connect();
    auto other = Bound("other");
    EXPECT_EQ(server.UnbindConnection(IdOf(*unbound)), CSmppServer::UnbindResult::NotBound);
    EXPECT_EQ(server.UnbindConnection(999999), CSmppServer::UnbindResult::Gone);

    ASSERT_EQ(server.UnbindConnection(IdOf(*polite)), CSmppServer::UnbindResult::Sent);
    EXPECT_EQ(polite->NextPdu(), HeaderOnly(kUnbind, 1));
    EXPECT_FALSE(IsClosing(*polite));
    polite->Send(HeaderOnly(0x80000006, 1));
    EXPECT_TRUE(WaitUntil([&] { return IsClosing(*polite); }));
    EXPECT_EQ(observer.lines.back(), Closing(0, "polite", "unbound by the user"));

    ASSERT_EQ(server.UnbindConnection(IdOf(*silent)), CSmppServer::UnbindResult::Sent);
    EXPECT_EQ(silent->NextPdu(), HeaderOnly(kUnbind, 1));
    scheduler.Advance(9'999);
    EXPECT_FALSE(IsClosing(*silent));
    const int silentAt = server.PositionOf(*ConnectionOf(*silent)); // the closing connections leave the table in their own time
    scheduler.Advance(1);
    EXPECT_TRUE(IsClosing(*silent));
    EXPECT_EQ(observer.lines.back(), Closing(silentAt, "silent", "no unbind_resp within 10 s"));

    const int otherAt = server.PositionOf(*ConnectionOf(*other));
    EXPECT_TRUE(server.Disconnect(IdOf(*other)));
    EXPECT_EQ(observer.lines.back(), Closing(otherAt, "other", "disconnected by the user"));
    for (TestClient* esme : {polite.get(), silent.get(), other.get()})
        EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(other->Received().empty());
    EXPECT_FALSE(server.Disconnect(IdOf(*other)));
}

// The PDUs the SMSC starts go out a window at a time (the account's, else the deliver window), the
// rest waiting in order under the sequence numbers they were given; one refused for now keeps its
// place while it backs off. What finds the waiting queue full is kept for the system id, never
// lost: a close ends what the outbox held, and the next bind gets what was kept.
TEST_F(SessionsTest, TheOutboxSendsAWindowAtATimeInOrder) {
    struct Outcomes : CSmppMessageListener {
        void OnDelivery(const DeliveryTry& d) override {
            using Outcome = DeliveryTry::Outcome;
            if (d.outcome == Outcome::Kept || d.outcome == Outcome::Released)
                (d.outcome == Outcome::Kept && d.forgotten ? kept : released).push_back(d.tag);
            if (d.outcome == Outcome::Undeliverable)
                (d.forgotten ? forgotten : d.closed ? closed : other).push_back(d.tag);
        }
        std::vector<uint64_t> kept, released, forgotten, closed, other;
    } told;
    server.SetMessageListener(&told);
    Accounts(R"([{"systemId":"esme","password":"secret","window":3},{"systemId":"slow","password":"secret"}])");
    RetryPolicy retry;
    retry.window = 1;
    server.SetRetry(retry);
    auto esme = Bound("esme");
    const Bytes body = Builder().cstr("").u8(0).u8(0).cstr("1").u8(0).u8(0).cstr("2");
    const auto deliver = [&body](uint32_t sequence) { return SmppPdu(0x00000005, sequence, body); };
    const auto answer = [](uint32_t sequence, uint32_t status) {
        return SmppPdu(0x80000005, sequence, Builder().cstr(""), status);
    };
    for (uint32_t sequence = 1; sequence <= 5; ++sequence)
        EXPECT_EQ(server.SendServerPdu(*ConnectionOf(*esme), 0x00000005, body), sequence);
    for (uint32_t sequence = 1; sequence <= 3; ++sequence)
        EXPECT_EQ(esme->NextPdu(), deliver(sequence));
    Settle(*esme);
    EXPECT_EQ(server.PendingCount(*ConnectionOf(*esme)), 3u);
    EXPECT_EQ(server.WaitingCount(*ConnectionOf(*esme)), 2u);
    esme->Send(answer(2, 0));
    EXPECT_EQ(esme->NextPdu(), deliver(4));
    esme->Send(answer(1, 0x58)); // throttled: it goes again in 1 s, ahead of what waits
    Settle(*esme);
    scheduler.Advance(1000);
    EXPECT_EQ(esme->NextPdu(), deliver(6)) << "its second try, under a sequence number of its own";
    esme->Send(answer(3, 0));
    EXPECT_EQ(esme->NextPdu(), deliver(5));
    Settle(*esme);
    // A data_sm is tried once: refused for now, it is not sent again, and the next message follows it.
    for (uint32_t sequence : {4u, 5u, 6u})
        esme->Send(answer(sequence, 0));
    Settle(*esme);
    EXPECT_EQ(server.SendServerPdu(*ConnectionOf(*esme), 0x00000103, body, 77), 7u);
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x00000103, 7, body));
    esme->Send(SmppPdu(0x80000103, 7, Builder().cstr(""), 0x58));
    Settle(*esme);
    scheduler.Advance(1000);
    EXPECT_EQ(server.SendServerPdu(*ConnectionOf(*esme), 0x00000005, body), 8u);
    EXPECT_EQ(esme->NextPdu(), deliver(8));

    // A connection whose account sets no window takes the deliver window's one at a time.
    auto slow = Bound("slow");
    CConnection& at = *ConnectionOf(*slow);
    for (uint64_t tag = 0; tag < COutbox::kMaxWaiting + 2; ++tag)
        server.SendServerPdu(at, 0x00000005, body, tag);
    EXPECT_EQ(slow->NextPdu(), deliver(1));
    EXPECT_EQ(server.PendingCount(at), 1u);
    EXPECT_EQ(server.WaitingCount(at), COutbox::kMaxWaiting);
    EXPECT_EQ(told.kept, std::vector<uint64_t>{COutbox::kMaxWaiting + 1}) << "the newest, kept behind what waits";
    slow->Send(answer(1, 0));
    EXPECT_EQ(slow->NextPdu(), deliver(2));
    EXPECT_EQ(server.SendServerPdu(at, 0x00000005, body, 99), 0u) << "behind the one kept, though there is room";
    ASSERT_EQ(server.QueueDepths().size(), 2u);
    EXPECT_EQ(server.QueueDepths()[1].kept, 2u);
    slow->Close();
    ASSERT_TRUE(WaitUntil([&] { return told.closed.size() == COutbox::kMaxWaiting; }));
    EXPECT_EQ(told.closed.front(), 1u);
    EXPECT_EQ(told.closed.back(), COutbox::kMaxWaiting);
    auto again = Bound("slow");
    EXPECT_EQ(again->NextPdu(), SmppPdu(0x00000005, 1, body)) << "the kept one, sent after the bind";
    EXPECT_EQ(told.released, (std::vector<uint64_t>{COutbox::kMaxWaiting + 1, 99}));
    EXPECT_EQ(told.forgotten, std::vector<uint64_t>{});
    EXPECT_EQ(told.other, std::vector<uint64_t>{77}) << "the data_sm refused, told undeliverable at once";
    server.SetMessageListener(nullptr);
}

// What waits behind a full window is bounded on its own too (the router keeps messages before that): one PDU past
// kMaxWaiting forgets the oldest waiting, told as forgotten, and keeps the rest in order.
TEST(Outbox, OnePastItsBoundForgetsTheOldestWaiting) {
    struct Link : COutbox::Link {
        bool Transmit(OutboxItem&) override { return true; }
        void Told(OutboxItem& item, const OutboxEvent& event) override {
            if (event.why == OutboxEvent::Why::Forgotten)
                forgotten.push_back(item.tag);
        }
        std::vector<uint64_t> forgotten;
    } link;
    CManualScheduler scheduler;
    COutbox outbox(scheduler, link);
    outbox.SetWindow(1);
    const auto post = [&outbox](uint64_t tag) {
        OutboxItem item;
        item.origin = OutboxOrigin::Session;
        item.tag = tag;
        item.pdu = SmppPdu(0x00000015, 0);
        outbox.Post(std::move(item));
    };
    for (uint64_t tag = 0; tag <= COutbox::kMaxWaiting; ++tag) // one sent, kMaxWaiting waiting
        post(tag);
    EXPECT_EQ(outbox.Waiting(), COutbox::kMaxWaiting);
    EXPECT_TRUE(link.forgotten.empty());
    post(COutbox::kMaxWaiting + 1);
    EXPECT_EQ(outbox.Waiting(), COutbox::kMaxWaiting);
    EXPECT_EQ(link.forgotten, std::vector<uint64_t>{1});
}

} // namespace
