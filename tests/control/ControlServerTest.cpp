// The control API as a test drives it: one scripted session of requests and answers over loopback
// HTTP, with an ESME bound on the SMPP port to see what each request makes the simulator do.
#include "control/ControlListener.h"
#include "control/ControlServer.h"
#include "cimd/Cimd.h"
#include "simulator/Settings.h"
#include "simulator/Simulator.h"

#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using test_net::TestClient;

constexpr uint32_t kBindTransceiver = 9, kSubmitSm = 4, kDeliverSm = 5, kUnbind = 6, kEnquireLink = 0x15;
const std::string kToken = "s3cret";

// A submit_sm from 12345 to 10086 asking for a receipt on any outcome.
std::vector<uint8_t> SubmitSm(uint32_t sequence) {
    return SmppPdu(kSubmitSm, sequence, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("10086").u8(0)
        .u8(0).u8(0).cstr("").cstr("").u8(1).u8(0).u8(0).u8(0).u8(5).raw("hello"));
}

enum class Auth { Good, None, Wrong }; // Wrong: the token's first five characters
enum class Then {
    Nothing,
    EsmeReceives,     // a deliver_sm holding `detail` reaches the ESME
    EsmeSendsLink,    // the ESME sends an enquire_link after the request; the answer comes after it
    SubmitAnswered,   // the ESME's next submit_sm is answered with status `detail` (hex)
    EsmeUnbound,      // the ESME is sent unbind, answers it and is closed
    EsmeReceivesParts, // `detail`: the UDH's IE and length octets; every part of the long message reaches the ESME
};

struct Row {
    const char* name;
    const char* method;
    std::string target; // "{last}" stands for the seq of the newest record, "{esme}" for the ESME's connection id
    std::string body;
    int status;         // 0: the server closes without an answer
    std::string answer; // held by the body
    Auth auth = Auth::Good;
    Then then = Then::Nothing;
    std::string detail = {};
    std::string contentType = "application/json";
    std::string length = {}; // the Content-Length sent, when it is not the body's
};

class ControlServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CSettings::SelectStore();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, s_settings.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, s_settings.path());
    }
    void SetUp() override {
        QSettings().clear();
        started.start();
        ASSERT_TRUE(simulator.Start());
        QString error;
        ASSERT_TRUE(control.Start({QHostAddress::LocalHost, 0, QString::fromStdString(kToken)}, &error)) << error.toStdString();
        ASSERT_TRUE(esme.Connect(simulator.Smpp().ListeningPort()));
        esme.Send(BindEsme1());
        ASSERT_TRUE(esme.NextPdu());
    }

    // Every ESME of these tests binds as a transceiver of system id esme1.
    static std::vector<uint8_t> BindEsme1() {
        return SmppPdu(kBindTransceiver, 1, Builder().cstr("esme1").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr(""));
    }

    // Sends the request on a connection of its own and waits for the whole answer (or, for a stream,
    // for the text wanted); the raw answer, empty when the server closed without one.
    std::string Exchange(const Row& row, TestClient& http) {
        std::string target = row.target;
        if (const size_t at = target.find("{last}"); at != std::string::npos)
            target.replace(at, 6, std::to_string(simulator.Log().SerialBase() + simulator.Log().GetCount()));
        if (const size_t at = target.find("{esme}"); at != std::string::npos)
            target.replace(at, 6, std::to_string(test_net::NthConnection(simulator.Smpp(), 0)->Id()));
        std::string request = std::string(row.method) + " " + target + " HTTP/1.1\r\nHost: test\r\n";
        if (row.auth != Auth::None)
            request += "Authorization: Bearer " + (row.auth == Auth::Good ? kToken : kToken.substr(0, 5)) + "\r\n";
        request += "Content-Length: " + (row.length.empty() ? std::to_string(row.body.size()) : row.length) +
                   "\r\n\r\n" + row.body;
        EXPECT_TRUE(http.Connect(control.Port()));
        http.Send(request);
        if (row.then == Then::EsmeSendsLink) {
            // Client and server share this thread: once the request is out, two turns of the loop
            // have the server read and hold it, and its answer must wait for the record that follows.
            EXPECT_TRUE(test_net::WaitUntil([&] { return http.Socket().bytesToWrite() == 0; }));
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            EXPECT_EQ(http.ReceivedText().find(row.answer), std::string::npos);
            esme.Send(SmppPdu(kEnquireLink, 77));
        }
        test_net::WaitUntil([&] {
            const std::string text = http.ReceivedText();
            const size_t head = text.find("\r\n\r\n");
            if (head == std::string::npos)
                return !http.IsConnected();
            const size_t length = text.find("Content-Length: ");
            if (length == std::string::npos || length > head)
                return text.find(row.answer, head) != std::string::npos;
            return text.size() >= head + 4 + std::stoul(text.substr(length + 16));
        });
        return http.ReceivedText();
    }

    // The JSON body of a GET answered 200.
    QJsonObject Get(const std::string& target) {
        TestClient http;
        const std::string answer = Exchange({"", "GET", target, "", 200, ""}, http);
        EXPECT_EQ(answer.substr(0, 13), "HTTP/1.1 200 ") << target;
        const size_t head = answer.find("\r\n\r\n");
        return QJsonDocument::fromJson(QByteArray::fromStdString(answer.substr(std::min(head + 4, answer.size())))).object();
    }

    // The next deliver_sm the ESME gets, as text.
    std::string NextDeliver() {
        while (std::optional<std::vector<uint8_t>> pdu = esme.NextPdu()) {
            if ((*pdu)[7] == kDeliverSm && (*pdu)[4] == 0)
                return std::string(pdu->begin(), pdu->end());
        }
        return {};
    }

    // The parts of one long message as the ESME gets them: each a deliver_sm with UDHI whose header (IE as
    // ieHead says) names its sequence number; their texts, the header taken off, in order.
    std::string NextParts(const std::string& ieHead) {
        std::string text;
        int total = 0;
        for (int seq = 1; total == 0 || seq <= total; ++seq) {
            const std::string pdu = NextDeliver();
            size_t at = pdu.find('\0', 16) + 1 + 2;           // service_type, source ton and npi
            at = pdu.find('\0', at) + 1 + 2;                  // source_addr, dest ton and npi
            at = pdu.find('\0', at) + 1;                      // destination_addr
            if (pdu.empty() || at + 1 >= pdu.size()) {
                ADD_FAILURE() << "part " << seq << " missing";
                return text;
            }
            EXPECT_EQ(uint8_t(pdu[at]) & 0x40, 0x40) << "UDHI";
            at = pdu.find('\0', at + 3) + 1;                  // esm_class, protocol_id, priority, schedule
            at = pdu.find('\0', at) + 1 + 4;                  // validity, then four octets to sm_length
            const std::string message = pdu.substr(at + 1, uint8_t(pdu[at]));
            EXPECT_EQ(message.substr(0, ieHead.size()), ieHead);
            const size_t header = uint8_t(message[0]) + 1u;
            total = uint8_t(message[header - 2]);
            EXPECT_EQ(uint8_t(message[header - 1]), seq);
            text += message.substr(header);
        }
        return text;
    }

    static inline QTemporaryDir s_settings;
    CSimulator simulator{SimulatorOptions{0, 0, 0, 0, QHostAddress::LocalHost}};
    CControlServer control{simulator};
    QElapsedTimer started; // before the control server's own clock
    TestClient esme;
};

TEST_F(ControlServerTest, AnswersEachRequestAndDoesWhatItAsks) {
    esme.Send(SubmitSm(2));
    const std::string oneMiB(1 << 20, ' ');
    const std::string rules = R"([{"command":"submit_sm","status":"0x00000058"}])";
    const Row rows[] = {
        {"status: the mobile server its own", "GET", "/api/v1/status", "", 200, R"("mobile":{"connections":0,)"},
        {"connections", "GET", "/api/v1/connections", "", 200, R"("bindType":"transceiver",)"},
        {"the submit and its decode", "GET", "/api/v1/pdus?command=submit_sm&limit=1", "", 200,
         R"({"field":"smpp.destination_addr","label":"SUB_SM","name":"destination_addr","value":"10086","raw":"10086","show":"10086","offset":27,"length":6})"},
        {"its direction and hex", "GET", "/api/v1/pdus?command=submit_sm", "", 200,
         R"("direction":"in","length":48,"hex":"00000030000000040000000000000002000101313233343500)"},
        {"nothing after the newest", "GET", "/api/v1/pdus?since={last}", "", 200, R"({"pdus":[],"next":)"},
        {"nothing on a connection never made", "GET", "/api/v1/pdus?connection=999999", "", 200, R"({"pdus":[],"next":)"},
        {"limit at its largest", "GET", "/api/v1/pdus?limit=100000", "", 200, R"({"pdus":[{)"},
        {"limit below one", "GET", "/api/v1/pdus?limit=0", "", 400,
         R"({"error":"limit: a whole number from 1 to 100000 expected"})"},
        {"a misspelt parameter", "GET", "/api/v1/pdus?sinse=3", "", 400, R"({"error":"sinse: unknown parameter"})"},
        {"a wait beyond five minutes", "GET", "/api/v1/pdus?waitMs=300001", "", 400, "waitMs: a whole number"},
        {"a long poll the next record answers", "GET", "/api/v1/pdus?since={last}&waitMs=5000", "", 200,
         R"("command":"enquire_link")", Auth::Good, Then::EsmeSendsLink},
        {"a long poll that times out", "GET", "/api/v1/pdus?since={last}&waitMs=1&command=outbind", "", 200,
         R"({"pdus":[],"next":)"},
        {"a long poll a record kept answers at once", "GET", "/api/v1/pdus?command=submit_sm&waitMs=300000", "", 200,
         R"({"pdus":[{"seq":)"},
        {"events", "GET", "/api/v1/events", "", 200, "event: pdu\nid: ", Auth::Good, Then::EsmeSendsLink, "",
         "text/event-stream"},
        {"deliver", "POST", "/api/v1/deliver", R"({"systemId":"esme1","sourceAddr":"555","text":"hi there"})", 200,
         R"({"sent":1,"sequences":[1]})", Auth::Good, Then::EsmeReceives, "hi there"},
        {"deliver twice as data_sm", "POST", "/api/v1/deliver",
         R"({"systemId":"esme1","command":"data_sm","count":2,"esmClass":128,"tlvs":{"0x0424":"6869"}})", 200,
         R"({"sent":2,"sequences":[2,3]})"},
        // One message_payload each: the one given, with no empty one for the text not given.
        {"they go as data_sm, esm_class as asked", "GET", "/api/v1/pdus?command=data_sm", "", 200,
         R"("command":"data_sm","commandStatus":0,"sequence":2,"connection":1,"direction":"out","length":32,)"
         R"("hex":"0000002000000103000000000000000200000000000000800000042400026869")"},
        {"deliver a long text in two parts", "POST", "/api/v1/deliver",
         R"({"systemId":"esme1","text":")" + std::string(160, 'x') + R"(€"})", 200, R"({"sent":2,"sequences":[4,5]})",
         Auth::Good, Then::EsmeReceivesParts, std::string("\x05\x00\x03", 3)},
        {"the second part, the last listed, carries the whole text", "GET", "/api/v1/pdus?command=deliver_sm", "", 200,
         R"(,"reassembled":{"parts":2,"text":")" + std::string(160, 'x') + R"(€","seqs":[12,13]}}],"next":13})"},
        {"deliver an alert_notification", "POST", "/api/v1/deliver",
         R"({"systemId":"esme1","command":"alert_notification"})", 200, R"({"sent":1,"sequences":[6]})"},
        {"it goes as one", "GET", "/api/v1/pdus?command=alert_notification", "", 200,
         R"("command":"alert_notification")"},
        {"deliver a character GSM 7-bit lacks", "POST", "/api/v1/deliver", R"({"systemId":"esme1","text":"ab\u0416"})",
         400, R"({"error":"text: 'Ж' (U+0416) is not in the GSM 7-bit alphabet"})"},
        {"deliver more than 255 parts", "POST", "/api/v1/deliver",
         R"({"systemId":"esme1","dataCoding":4,"text":")" + std::string(134 * 255 + 1, 'x') + R"("})", 400,
         R"({"error":"text: needs 256 parts; a long message has at most 255"})"},
        {"deliver split no way known", "POST", "/api/v1/deliver", R"({"systemId":"esme1","split":"udh7"})", 400,
         R"({"error":"split: udh8, udh16, sar or payload expected"})"},
        {"deliver to nobody", "POST", "/api/v1/deliver", R"({"systemId":"nobody"})", 404,
         R"({"error":"systemId: no receiver or transceiver is bound as 'nobody'"})"},
        {"deliver a submit", "POST", "/api/v1/deliver", R"({"systemId":"esme1","command":"submit_sm"})", 400,
         R"({"error":"command: deliver_sm, data_sm or alert_notification expected"})"},
        {"deliver without systemId", "POST", "/api/v1/deliver", R"({"text":"x"})", 400, R"({"error":"systemId: missing"})"},
        {"deliver to a null systemId", "POST", "/api/v1/deliver", R"({"systemId":null})", 400, R"({"error":"systemId: missing"})"},
        {"deliver a number as text", "POST", "/api/v1/deliver", R"({"systemId":"esme1","text":7,"count":0})", 400,
         R"({"error":"text: text expected"})"}, // the first field in error named, never the last
        {"deliver a count of 1.5", "POST", "/api/v1/deliver", R"({"systemId":"esme1","count":1.5})", 400,
         R"({"error":"count: a whole number from 1 to 10000 expected"})"}, // a whole number only: never cut to 1
        {"deliver a data_coding of 256", "POST", "/api/v1/deliver", R"({"systemId":"esme1","dataCoding":256})", 400,
         R"({"error":"dataCoding: a whole number from 0 to 255 expected"})"},
        {"deliver a TLV that is no hex", "POST", "/api/v1/deliver", R"({"systemId":"e","tlvs":{"0x0424":"zz"}})", 400,
         R"({"error":"tlvs: the value of tag '0x0424' is no hex text"})"},
        {"deliver a TLV tag beyond 16 bits", "POST", "/api/v1/deliver", R"({"systemId":"e","tlvs":{"65536":""}})", 400,
         R"({"error":"tlvs: tag '65536' is no 16-bit number nor a parameter's name"})"},
        {"deliver a TLV by a name no parameter has", "POST", "/api/v1/deliver", R"({"systemId":"e","tlvs":{"congestion":"20"}})",
         400, R"({"error":"tlvs: tag 'congestion' is no 16-bit number nor a parameter's name"})"},
        {"deliver a TLV by its SMPP 5.0 name", "POST", "/api/v1/deliver",
         R"({"systemId":"esme1","tlvs":{"congestion_state":"20","source_network_id":"6100"}})", 200, R"("sent":1)",
         Auth::Good, Then::EsmeReceives, std::string("\x04\x28\x00\x01\x20", 5)},
        {"deliver a TLV of the longest length", "POST", "/api/v1/deliver",
         R"({"systemId":"e","tlvs":{"0x0424":")" + std::string(2 * 0xFFFF, '0') + R"("}})", 404,
         R"({"error":"systemId: no receiver or transceiver is bound as 'e'"})"}, // taken: only the receiver is missing
        {"deliver a TLV one octet past the longest", "POST", "/api/v1/deliver",
         R"({"systemId":"e","tlvs":{"0x0424":")" + std::string(2 * 0x10000, '0') + R"("}})", 400,
         R"({"error":"tlvs: the value of tag '0x0424' is longer than 65535 octets"})"},
        {"deliver a field no one knows", "POST", "/api/v1/deliver", R"({"systemId":"e","colour":1})", 400,
         R"({"error":"colour: unknown field"})"},
        {"deliver no JSON", "POST", "/api/v1/deliver", "{\"systemId\":", 400, R"({"error":"body: not JSON)"},
        {"deliver an array", "POST", "/api/v1/deliver", "[]", 400, R"({"error":"body: a JSON object expected"})"},
        {"a receipt now, delivered when no state is named", "POST", "/api/v1/receipts", R"({"messageId":"000000","err":5})",
         200, R"({"err":5,"messageId":"000000","state":"DELIVRD"})", Auth::Good, Then::EsmeReceives, "stat:DELIVRD err:005"},
        {"a receipt for no message", "POST", "/api/v1/receipts", R"({"messageId":"424242"})", 404,
         R"({"error":"messageId: no stored message has id '424242'"})"},
        {"a receipt in no state", "POST", "/api/v1/receipts", R"({"messageId":"000000","state":"LOST"})", 400,
         R"({"error":"state: SCHEDLD, ENROUTE, )"},
        {"a receipt with an err past one octet", "POST", "/api/v1/receipts", R"({"messageId":"000000","err":256})", 400,
         R"({"error":"err: a whole number from 0 to 255 expected"})"},
        {"an MO", "POST", "/api/v1/mo", R"({"from":"13800000000","to":"10086","text":"from a phone"})", 200,
         R"({"sent":1})", Auth::Good, Then::EsmeReceives, std::string("13800000000\0\0\0" "10086", 19)}, // from, to
        {"a long MO with 16-bit references", "POST", "/api/v1/mo",
         R"({"from":"13800000000","to":"10086","split":"udh16","text":")" + std::string(161, 'y') + R"("})", 200,
         R"({"sent":2})", Auth::Good, Then::EsmeReceivesParts, "\x06\x08\x04"},
        {"an MO GSM 7-bit cannot carry", "POST", "/api/v1/mo", R"({"from":"1","to":"10086","text":"\u0416"})", 400,
         R"({"error":"text: 'Ж' (U+0416) is not in the GSM 7-bit alphabet"})"},
        {"an MO from nobody", "POST", "/api/v1/mo", R"({"to":"10086"})", 400, R"({"error":"from: missing"})"},
        {"an MO to no number", "POST", "/api/v1/mo", R"({"from":"1","to":""})", 400, R"({"error":"to: a number expected"})"},
        {"faults put", "PUT", "/api/v1/faults", R"([{"command":"submit_sm","status":"0x58"}])", 200, rules,
         Auth::Good, Then::SubmitAnswered, "00000058"},
        {"a bad rule changes nothing", "PUT", "/api/v1/faults", R"([{"command":"submit_sm"},{"command":"nope"}])", 400,
         R"({"error":"Rule 2, \"command\": unknown command \"nope\""})", Auth::Good, Then::SubmitAnswered, "00000058"},
        {"faults get", "GET", "/api/v1/faults", "", 200, rules},
        {"a body of 1 MiB", "PUT", "/api/v1/faults", "[]" + oneMiB.substr(2), 200, "[]", Auth::Good,
         Then::SubmitAnswered, "00000000"},
        {"a body over 1 MiB", "PUT", "/api/v1/faults", oneMiB + " ", 413,
         R"j({"error":"the request body is over 1 MiB (1048576 octets)"})j"},
        // Head and body of exactly the most a request may pile up: 99 octets of the head are not padding.
        {"a request of the largest size", "PUT", "/api/v1/faults?" + std::string(CControlListener::kMaxHead - 99, 'p'),
         "[]" + oneMiB.substr(2), 200, "[]"},
        {"a request one octet larger", "PUT", "/api/v1/faults?" + std::string(CControlListener::kMaxHead - 98, 'p'),
         "[]" + oneMiB.substr(2), 413, "over 1 MiB"},
        {"a body announced over 1 MiB is not waited for", "PUT", "/api/v1/faults", "[", 413, "over 1 MiB",
         Auth::Good, Then::Nothing, "", "application/json", "1048577"},
        {"no accounts", "GET", "/api/v1/accounts", "", 200, "[]"},
        {"a bad account changes nothing", "PUT", "/api/v1/accounts", R"([{"systemId":"a"},{"systemId":"b","window":-1}])",
         400, R"(Account 2 (b), \"window\")"},
        {"accounts put", "PUT", "/api/v1/accounts", R"([{"systemId":"esme1","password":"pw"}])", 200,
         R"("systemId":"esme1")"},
        {"enquire_link off", "PUT", "/api/v1/sessions", R"({"enquireLinkSeconds":0})", 200, R"("enquireLinkSeconds":0,)"},
        {"session timers", "PUT", "/api/v1/sessions", R"({"enquireLinkSeconds":3600,"deliverTries":3,"deliverWindow":64})",
         200, R"("deliverTries":3,"deliverWindow":64,"enquireLinkSeconds":3600,"inactivitySeconds":3600,)"},
        {"a deliver window past an outbox's", "PUT", "/api/v1/sessions", R"({"deliverWindow":1025})", 400,
         R"({"error":"deliverWindow: a whole number from 1 to 1024 expected"})"},
        {"a bind time-out at its longest", "PUT", "/api/v1/sessions", R"({"bindTimeoutSeconds":86400})", 200,
         R"("bindTimeoutSeconds":86400,)"},
        {"no deliver tries", "PUT", "/api/v1/sessions", R"({"deliverTries":0})", 400,
         R"({"error":"deliverTries: a whole number from 1 to 100 expected"})"},
        {"a response time-out of 0", "PUT", "/api/v1/sessions", R"({"responseTimeoutSeconds":0})", 400,
         R"({"error":"responseTimeoutSeconds: a whole number from 1 to 86400 expected"})"},
        {"session timers kept", "GET", "/api/v1/sessions", "", 200, R"("enquireLinkSeconds":3600,)"},
        {"a built-in receipt profile", "PUT", "/api/v1/receipt-profile", R"({"name":"TLV only"})", 200,
         R"({"carrier":"deliver_sm","idForm":"answer","name":"TLV only","states":{},"text":"",)"
         R"("tlvs":["receipted_message_id","message_state","network_error_code"]})"},
        {"a receipt profile with an unknown field", "PUT", "/api/v1/receipt-profile", R"({"text":"{id} at {time}"})", 400,
         R"({"error":"text: unknown field {time}; the fields are {id})"},
        {"a custom receipt profile", "PUT", "/api/v1/receipt-profile", R"({"states":{"UNDELIV":1}})", 200,
         R"("name":"Custom","states":{"UNDELIV":1})"},
        {"the receipt profile kept", "GET", "/api/v1/receipt-profile", "", 200, R"("name":"Custom")"},
        {"an account's unknown receipt profile", "PUT", "/api/v1/accounts", R"([{"systemId":"a","receiptProfile":"x"}])",
         400, R"(Account 1 (a), \"receiptProfile\": \"x\" is no built-in receipt profile)"},
        {"echo put", "PUT", "/api/v1/echo", R"({"destination":"777","reverse":true})", 200,
         R"({"destination":"777","reverse":true})"},
        {"echo reversed by a text", "PUT", "/api/v1/echo", R"({"reverse":"yes"})", 400,
         R"({"error":"reverse: true or false expected"})"},
        {"echo moved, reversed still", "PUT", "/api/v1/echo", R"({"destination":"778"})", 200,
         R"({"destination":"778","reverse":true})"}, // a field left out keeps its value
        {"echo turned, kept where it goes", "PUT", "/api/v1/echo", R"({"reverse":false})", 200,
         R"({"destination":"778","reverse":false})"},
        {"echo kept", "GET", "/api/v1/echo", "", 200, R"({"destination":"778","reverse":false})"},
        {"unbind no number", "POST", "/api/v1/connections/abc/unbind", "", 400, R"(connection id: \"abc\")"},
        {"unbind connection 0", "POST", "/api/v1/connections/0/unbind", "", 400, R"(connection id: \"0\")"},
        {"unbind no id at all", "POST", "/api/v1/connections//unbind", "", 404, "no such path"},
        {"unbind nobody", "POST", "/api/v1/connections/999999/unbind", "", 404, "no SMPP connection has id 999999"},
        {"unbind fetched", "GET", "/api/v1/connections/{esme}/unbind", "", 405, "takes POST"},
        {"stats", "GET", "/api/v1/stats", "", 200, "{"},
        {"metrics", "GET", "/metrics", "", 200, "tarnwick_connections{server=\"smpp\"} 1\n", Auth::Good, Then::Nothing,
         "", "text/plain; version=0.0.4; charset=utf-8"},
        {"reset", "POST", "/api/v1/reset", "", 200, R"({"lastSeq":)"},
        {"reset leaves the connection", "GET", "/api/v1/status", "", 200, R"("records":0,"smpp":{"connections":1,)"},
        {"reset forgets the messages", "POST", "/api/v1/receipts", R"({"messageId":"000000"})", 404, "messageId:"},
        {"an unknown path", "GET", "/api/v1/nothing", "", 404, R"({"error":"no such path: /api/v1/nothing"})"},
        {"a path with more", "GET", "/api/v1/statusx", "", 404, "no such path"},
        {"a wrong method", "DELETE", "/api/v1/faults", "", 405, R"({"error":"/api/v1/faults takes GET, PUT"})"},
        {"metrics posted", "POST", "/metrics", "", 405, "takes GET"},
        {"no token", "GET", "/api/v1/status", "", 401, R"({"error":"this control API wants)", Auth::None},
        {"a wrong token", "GET", "/metrics", "", 401, "Authorization: Bearer", Auth::Wrong},
        {"no token on an unknown path", "GET", "/nothing", "", 401, "Bearer", Auth::None},
        {"a method HTTP does not have", "BREW", "/api/v1/status", "", 405, "takes GET"},
        {"no HTTP", "GARBAGE\r\n", "/api/v1/status", "", 0, ""},
        {"generate without a rate", "POST", "/api/v1/generate", R"({"systemId":"esme1","count":5})", 400,
         R"({"error":"rate: missing"})"},
        {"generate with count and seconds", "POST", "/api/v1/generate",
         R"({"systemId":"esme1","count":5,"seconds":5,"rate":1})", 400,
         R"({"error":"count: either count or seconds expected"})"},
        {"generate neither", "POST", "/api/v1/generate", R"({"systemId":"esme1","rate":1})", 400,
         R"({"error":"count: either count or seconds expected"})"},
        {"generate a rate of 0", "POST", "/api/v1/generate", R"({"systemId":"esme1","count":5,"rate":0})", 400,
         R"({"error":"rate: a whole number from 1 to 1000000 expected"})"},
        {"generate a rate of 1.5", "POST", "/api/v1/generate", R"({"systemId":"esme1","count":5,"rate":1.5})", 400,
         R"({"error":"rate: a whole number from 1 to 1000000 expected"})"},
        {"generate for no time", "POST", "/api/v1/generate", R"({"systemId":"esme1","seconds":0,"rate":1})", 400,
         R"({"error":"seconds: a whole number from 1 to 86400 expected"})"},
        {"generate an unknown kind", "POST", "/api/v1/generate", R"({"systemId":"e","count":5,"rate":1,"kind":"mt"})",
         400, R"({"error":"kind: mo or receipts expected"})"},
        {"generate two counters", "POST", "/api/v1/generate",
         R"({"systemId":"e","count":5,"rate":1,"destination":"{n}{n}"})", 400, R"({"error":"destination: at most 13)"},
        {"generate a text GSM 7-bit lacks", "POST", "/api/v1/generate",
         R"({"systemId":"e","count":5,"rate":1,"text":"{n} \u0416"})", 400,
         R"({"error":"text: 'Ж' (U+0416) is not in the GSM 7-bit alphabet"})"},
        {"generate a long system id", "POST", "/api/v1/generate", R"({"systemId":"abcdefghijklmnop","count":5,"rate":1})",
         400, R"({"error":"systemId: a system id of 1 to 15 characters expected"})"},
        {"generate a field no one knows", "POST", "/api/v1/generate", R"({"systemId":"e","count":1,"rate":1,"burst":2})",
         400, R"({"error":"burst: unknown field"})"},
        {"generate no JSON", "POST", "/api/v1/generate", "{", 400,
         R"j({"error":"body: not JSON (unterminated object at octet 1)"})j"},
        {"generate a list", "POST", "/api/v1/generate", "[]", 400, R"({"error":"body: a JSON object expected"})"},
        {"generate to nobody", "POST", "/api/v1/generate", R"({"systemId":"nobody","count":5,"rate":1})", 404,
         R"({"error":"systemId: no receiver or transceiver is bound as 'nobody'"})"},
        {"generate", "POST", "/api/v1/generate", R"({"systemId":"esme1","seconds":600,"rate":1,"kind":"receipts"})",
         202, R"("kind":"receipts","rate":0,"reason":"","sent":0,"state":"running","systemId":"esme1","total":600,"window":64})"},
        {"generate while it runs", "POST", "/api/v1/generate", R"({"systemId":"esme1","count":5,"rate":1})", 409,
         R"({"error":"systemId: a job is running; POST /api/v1/generate/stop ends it"})"},
        {"generator progress", "GET", "/api/v1/generate", "", 200, R"("state":"running","systemId":"esme1")"},
        {"generator in the stats", "GET", "/api/v1/stats", "", 200, R"("generator":{"answered":0,"errors":0,)"},
        {"generator stopped", "POST", "/api/v1/generate/stop", "", 200,
         R"("reason":"stopped by the user","sent":0,"state":"stopped")"},
        {"generator stopped twice", "POST", "/api/v1/generate/stop", "", 200, R"("state":"stopped")"},
        {"unbind the ESME", "POST", "/api/v1/connections/{esme}/unbind", "", 202, R"("unbind":"sent")", Auth::Good,
         Then::EsmeUnbound},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestClient http;
        const std::string answer = Exchange(row, http);
        if (row.status == 0) {
            EXPECT_TRUE(http.WaitForDisconnected());
            EXPECT_EQ(answer, "");
            continue;
        }
        ASSERT_EQ(answer.substr(0, 13), "HTTP/1.1 " + std::to_string(row.status) + " ") << answer.substr(0, 300);
        EXPECT_NE(answer.find("\r\nContent-Type: " + row.contentType + "\r\n"), std::string::npos);
        EXPECT_NE(answer.find(row.answer, answer.find("\r\n\r\n")), std::string::npos) << answer.substr(0, 2000);
        EXPECT_EQ(answer.find("\r\nWWW-Authenticate: Bearer\r\n") < answer.find("\r\n\r\n"), row.status == 401);
        // A 405 names the methods its path takes in Allow as well; no other answer has the header.
        const std::string allowHeader = "\r\nAllow: ";
        const std::size_t allow = answer.find(allowHeader);
        EXPECT_EQ(allow < answer.find("\r\n\r\n"), row.status == 405);
        if (row.status == 405) {
            const std::size_t from = allow + allowHeader.size();
            const std::string methods = answer.substr(from, answer.find("\r\n", from) - from);
            EXPECT_NE(answer.find("takes " + methods), std::string::npos) << answer;
        }
        if (row.then == Then::EsmeReceives) {
            EXPECT_NE(NextDeliver().find(row.detail), std::string::npos);
        }
        if (row.then == Then::EsmeReceivesParts) {
            const std::string text = NextParts(row.detail);
            EXPECT_TRUE(text == std::string(160, 'x') + "\x1B\x65" || text == std::string(161, 'y')) << text;
        }
        if (row.then == Then::EsmeUnbound) {
            std::optional<std::vector<uint8_t>> unbind;
            while ((unbind = esme.NextPdu()) && (*unbind)[7] != kUnbind) {
            }
            ASSERT_TRUE(unbind);
            esme.Send(SmppPdu(0x80000000 | kUnbind, uint32_t((*unbind)[15])));
            EXPECT_TRUE(esme.WaitForDisconnected());
        }
        if (row.then == Then::SubmitAnswered) {
            esme.Send(SubmitSm(100));
            bool answered = false;
            while (std::optional<std::vector<uint8_t>> pdu = esme.NextPdu()) {
                if ((*pdu)[4] == 0x80 && (*pdu)[7] == kSubmitSm) {
                    char status[9];
                    std::snprintf(status, sizeof status, "%02x%02x%02x%02x", (*pdu)[8], (*pdu)[9], (*pdu)[10], (*pdu)[11]);
                    EXPECT_EQ(status, row.detail);
                    answered = true;
                    break;
                }
            }
            EXPECT_TRUE(answered);
        }
    }
}

// A client that follows each answer's lead reads every record once: a page's "next" is the since of the
// page after it, and after a "gap" event its "to" is the since of the first record the stream goes on with.
TEST_F(ControlServerTest, NextAndGapLeadToTheRecordThatFollows) {
    for (uint32_t sequence = 2; sequence <= 6; ++sequence)
        esme.Send(SmppPdu(kEnquireLink, sequence)); // with the bind: 12 records, each request answered
    ASSERT_TRUE(test_net::WaitUntil([&] { return simulator.Log().GetCount() == 12; }));
    std::vector<int> seqs;
    for (std::string since = "0"; seqs.size() <= 12;) {
        const QJsonObject page = Get("/api/v1/pdus?limit=5&since=" + since);
        for (const QJsonValue pdu : page.value("pdus").toArray())
            seqs.push_back(pdu.toObject().value("seq").toInt());
        if (page.value("pdus").toArray().isEmpty())
            break;
        since = std::to_string(page.value("next").toInteger());
    }
    EXPECT_EQ(seqs, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

    TestClient stream;
    Exchange({"events", "GET", "/api/v1/events", "", 200, ": records as they are captured\n\n"}, stream);
    CPacketLog& log = simulator.Log();
    const std::vector<uint8_t> typed = SmppPdu(kEnquireLink, 50);
    ASSERT_TRUE(log.AddTyped(2, typed.data(), uint32_t(typed.size())) && log.AddTyped(2, typed.data(), uint32_t(typed.size())));
    ASSERT_TRUE(log.Reset()); // records 13 and 14 gone before the stream's turn
    ASSERT_TRUE(log.AddTyped(2, typed.data(), uint32_t(typed.size())));
    ASSERT_TRUE(test_net::WaitUntil([&] { return stream.ReceivedText().find("\nid: ") != std::string::npos; }));
    const std::string text = stream.ReceivedText();
    EXPECT_NE(text.find("event: gap\ndata: {\"from\":13,\"to\":14}\n\nevent: pdu\nid: 15\n"), std::string::npos) << text;
    const QJsonArray after = Get("/api/v1/pdus?limit=1&since=14").value("pdus").toArray();
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0].toObject().value("seq").toInt(), 15);
    const QJsonObject status = Get("/api/v1/status");
    EXPECT_EQ(status.value("lastSeq").toInteger(), 15) << "the wiped records counted too";
    const double uptime = status.value("uptimeSeconds").toDouble(); // seconds, as long as the test has run
    EXPECT_TRUE(uptime > 0 && uptime <= double(started.elapsed()) / 1000) << uptime;

    // A record opened from a file keeps its own time, to the microsecond, in UTC.
    ASSERT_TRUE(log.AddCaptured(2, 1'770'091'506'000'007, 0, 0, {}, typed.data(), uint32_t(typed.size())));
    const QJsonArray opened = Get("/api/v1/pdus?limit=1&since=15").value("pdus").toArray();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toObject().value("time").toString(), "2026-02-03T04:05:06.000007Z");

    // A control character in a field's text is escaped: the answer stays JSON.
    const std::vector<uint8_t> bind = SmppPdu(2, 51, Builder().cstr("a\x1F").cstr("").cstr("").u8(0x34).u8(0).u8(0).cstr(""));
    ASSERT_TRUE(log.AddTyped(2, bind.data(), uint32_t(bind.size())));
    EXPECT_EQ(Get("/api/v1/pdus?limit=1&since=16").value("pdus").toArray().size(), 1);

    // A connection not yet bound has no time of binding.
    TestClient idle;
    ASSERT_TRUE(idle.Connect(simulator.Smpp().ListeningPort()));
    ASSERT_TRUE(test_net::WaitUntil([&] { return simulator.Smpp().GetConnectionCount() == 2; }));
    std::vector<bool> bound;
    for (const QJsonValue c : Get("/api/v1/connections").value("connections").toArray())
        bound.push_back(c.toObject().value("boundAt").isString());
    EXPECT_EQ(bound, (std::vector<bool>{true, false}));
    // Nor can it be unbound: a conflict, not "sent" and not "no such connection".
    TestClient http;
    const std::string idle1 = std::to_string(test_net::NthConnection(simulator.Smpp(), 1)->Id());
    const std::string answer = Exchange({"", "POST", "/api/v1/connections/" + idle1 + "/unbind", "", 409, "}"}, http);
    EXPECT_EQ(answer.substr(0, 13), "HTTP/1.1 409 ");
    EXPECT_NE(answer.find(R"({"error":"connection )" + idle1 + R"( is not bound"})"), std::string::npos) << answer;
}

// A follower the wipes of a full log overtake is told which records it missed, exactly: from the
// first it was not sent to the last one wiped; the next record it gets is the first of the fresh log.
TEST_F(ControlServerTest, EventStreamGapNamesOnlyTheRecordsWiped) {
    TestClient http;
    ASSERT_TRUE(http.Connect(control.Port()));
    http.Send("GET /api/v1/events HTTP/1.1\r\nHost: test\r\nAuthorization: Bearer " + kToken + "\r\n\r\n");
    ASSERT_TRUE(test_net::WaitUntil([&] { return http.ReceivedText().find(": records as they are captured") != std::string::npos; }));
    // Stored one after the other before the stream's next turn: the filler wipes the first record, the
    // last record wipes the filler and is all the fresh log holds.
    CPacketLog& log = simulator.Log();
    const int64_t before = log.SerialBase() + log.GetCount();
    const std::vector<uint8_t> link = SmppPdu(kEnquireLink, 5), filler(CPacketLog::kAreaSize - CPacketLog::kHeaderSize, 0);
    ASSERT_TRUE(log.AddTyped(2, link.data(), uint32_t(link.size())));
    ASSERT_TRUE(log.AddTyped(2, filler.data(), uint32_t(filler.size())));
    ASSERT_TRUE(log.AddTyped(2, link.data(), uint32_t(link.size())));
    const std::string expected = "event: gap\ndata: {\"from\":" + std::to_string(before + 1) + ",\"to\":" +
                                 std::to_string(before + 2) + "}\n\nevent: pdu\nid: " + std::to_string(before + 3) + "\n";
    EXPECT_TRUE(test_net::WaitUntil([&] { return http.ReceivedText().find(expected) != std::string::npos; }))
        << http.ReceivedText();
}

// A chunked body tells no length before it comes: one over 1 MiB is refused once it is read, and the rules stay.
TEST_F(ControlServerTest, AChunkedBodyOver1MiBIsRefused) {
    TestClient http;
    ASSERT_TRUE(http.Connect(control.Port()));
    const std::string body = "[" + std::string(CControlListener::kMaxBody - 1, ' ') + "]";
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", body.size());
    http.Send("PUT /api/v1/faults HTTP/1.1\r\nHost: test\r\nAuthorization: Bearer " + kToken +
              "\r\nTransfer-Encoding: chunked\r\n\r\n" + size + body + "\r\n0\r\n\r\n");
    EXPECT_TRUE(test_net::WaitUntil([&] { return http.ReceivedText().ends_with("}") || http.ReceivedText().ends_with("]"); }));
    EXPECT_EQ(http.ReceivedText().substr(0, 13), "HTTP/1.1 413 ");

    // The requests a kept-alive connection had answered do not count toward the bound of the next.
    TestClient kept;
    ASSERT_TRUE(kept.Connect(control.Port()));
    const std::string half = "[" + std::string(CControlListener::kMaxBody / 2 + CControlListener::kMaxHead, ' ') + "]";
    const auto count = [](const std::string& text, std::string_view part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    };
    const auto answers = [&] {
        const std::string text = kept.ReceivedText();
        return text.ends_with("]") || text.ends_with("}") ? count(text, "HTTP/1.1 ") : 0;
    };
    for (int request = 1; request <= 2; ++request) {
        kept.Send("PUT /api/v1/faults HTTP/1.1\r\nHost: test\r\nAuthorization: Bearer " + kToken +
                  "\r\nContent-Length: " + std::to_string(half.size()) + "\r\n\r\n" + half);
        EXPECT_TRUE(test_net::WaitUntil([&] { return answers() == request; })) << request;
    }
    EXPECT_EQ(count(kept.ReceivedText(), "HTTP/1.1 200 "), 2) << kept.ReceivedText();
}

// A receipt for a message whose system id has no receiver bound now is accepted and kept for its next bind.
TEST_F(ControlServerTest, AReceiptForAnUnboundSystemIdIsKept) {
    esme.Send(SubmitSm(2));
    ASSERT_TRUE(esme.NextPdu()); // its answer: message 000000
    esme.Close();
    ASSERT_TRUE(test_net::WaitUntil([&] { return simulator.Smpp().GetConnectionCount() == 0; }));
    TestClient http;
    const std::string answer =
        Exchange({"", "POST", "/api/v1/receipts", R"({"messageId":"000000","state":"EXPIRED"})", 202, "}"}, http);
    EXPECT_EQ(answer.substr(0, 13), "HTTP/1.1 202 ");
    EXPECT_NE(answer.find(R"({"err":0,"kept":true,"messageId":"000000","state":"EXPIRED"})"), std::string::npos) << answer;
}

// Each session bound under the system id takes its own copy, and the answer counts every copy sent.
TEST_F(ControlServerTest, DeliverCountsTheCopyOfEverySessionOfTheSystemId) {
    TestClient second;
    ASSERT_TRUE(second.Connect(simulator.Smpp().ListeningPort()));
    second.Send(BindEsme1());
    ASSERT_TRUE(second.NextPdu());
    TestClient http;
    const std::string answer =
        Exchange({"", "POST", "/api/v1/deliver", R"({"systemId":"esme1","text":"hi"})", 200, "}"}, http);
    EXPECT_NE(answer.find(R"({"sent":2,"sequences":[)"), std::string::npos) << answer;
}

// With no ESME under the system id, a CIMD2 client logged in under it takes the text as a deliver message (20).
TEST_F(ControlServerTest, DeliverReachesATextClientByItsLogin) {
    TestClient cimd2;
    ASSERT_TRUE(cimd2.Connect(simulator.Cimd().ListeningPort()));
    cimd2.Send(cimd::Build(cimd::op::kLogin, 1, {{cimd::param::kUserIdentity, "kannel"}}));
    ASSERT_EQ(cimd2.NextFrame(), cimd::BuildResponse(cimd::op::kLogin, 1, {}));
    TestClient http;
    const std::string answer = Exchange({"", "POST", "/api/v1/deliver",
                                         R"({"systemId":"kannel","sourceAddr":"0900","text":"hi @"})", 200, "}"}, http);
    EXPECT_NE(answer.find(R"({"sent":1,"sequences":[]})"), std::string::npos) << answer;
    const std::string frame = cimd2.NextFrame().value_or("");
    const cimd::ParseResult read = cimd::Parse(frame); // its parameters are views into the frame
    ASSERT_EQ(read.packet.operation, cimd::op::kDeliver);
    for (const auto& [code, value] : {std::pair{cimd::param::kOriginatingAddress, "0900"}, {cimd::param::kUserData, "hi @"}})
        EXPECT_EQ(read.packet.Find(code) ? std::string(read.packet.Find(code)->value) : "", value);
}

// Only a loopback address may go without a token: anyone who reaches another could drive the simulator.
TEST(ControlOptions, APublicAddressNeedsAToken) {
    const auto refused = [](QHostAddress address, const char* token) {
        return !ControlOptions{std::move(address), 0, token}.Check().isEmpty();
    };
    EXPECT_TRUE(refused(QHostAddress::AnyIPv4, ""));
    EXPECT_FALSE(refused(QHostAddress::AnyIPv4, "t"));
    EXPECT_FALSE(refused(QHostAddress::LocalHost, ""));
}

} // namespace
