// The headless runner: options and trace lines, and the tarnwick binary started, served, traced, signalled and refused.
#include "app/HeadlessConsole.h"
#include "app/HeadlessRunner.h"
#include "capture/PacketLog.h"
#include "capture/Pcap.h"
#include "decoder/PacketDecoder.h"
#include "tests/support/Bytes.h"
#include "tests/support/Import.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

constexpr int64_t kNovember2023 = 1'700'000'000; // 2023-11-14 22:13:20 UTC
int64_t CaptureTime() { return int64_t(kNovember2023) * 1000000; }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

Bytes BindBody(const std::string& systemId) {
    return Builder().cstr(systemId).cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr("");
}

TEST(HeadlessOptions, ParsesWhatTheCommandLineSays) {
    const struct {
        const char* name;
        QStringList arguments;
        bool headless, trace, help;
        uint16_t port, mobilePort;
        QString listen;
    } cases[] = {
        {"defaults", {"tarnwick"}, false, false, false, 5018, 8880, "0.0.0.0"},
        {"everything",
         {"tarnwick", "--headless", "--trace", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--listen", "127.0.0.1"},
         true, true, false, 0, 0, "127.0.0.1"},
        {"port with equals sign", {"tarnwick", "--smpp-port=65535", "--mobile-port=1"}, false, false, false, 65535, 1,
         "0.0.0.0"},
        {"help", {"tarnwick", "--help"}, false, false, true, 5018, 8880, "0.0.0.0"},
        {"TLS as well", {"tarnwick", "--tls-port", "0", "--tls-cert", "c.pem", "--tls-key", "k.pem"}, false, false,
         false, 5018, 8880, "0.0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HeadlessOptions options = ParseHeadlessOptions(c.arguments);
        EXPECT_EQ(options.error, QString());
        EXPECT_EQ(options.headless, c.headless);
        EXPECT_EQ(options.trace, c.trace);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.smppPort, c.port);
        EXPECT_EQ(options.mobilePort, c.mobilePort);
        EXPECT_EQ(options.listen, QHostAddress(c.listen));
        const bool tls = c.arguments.contains("--tls-port");
        EXPECT_EQ(options.tlsPort, tls ? std::optional<uint16_t>(0) : std::nullopt);
        EXPECT_EQ(options.tlsCertificate, tls ? "c.pem" : "");
        EXPECT_EQ(options.tlsKey, tls ? "k.pem" : "");
    }
}

// The delivery flags override the stored options for one run; a delay must be a count of milliseconds.
TEST(HeadlessOptions, DeliveryFlagsOverrideTheStoredOptions) {
    const struct {
        QStringList arguments;
        bool receipts;
        int receiptDelayMs;
        bool noRouting;
        QString error;
    } cases[] = {
        {{"tarnwick"}, false, -1, false, ""},
        {{"tarnwick", "--receipts", "--receipt-delay", "250", "--no-routing"}, true, 250, true, ""},
        {{"tarnwick", "--receipt-delay=0"}, false, 0, false, ""},
        {{"tarnwick", "--receipt-delay", "-5"}, false, -1, false, "Invalid receipt delay '-5'."},
        {{"tarnwick", "--receipt-delay", "soon"}, false, -1, false, "Invalid receipt delay 'soon'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const HeadlessOptions options = ParseHeadlessOptions(c.arguments);
        EXPECT_EQ(options.error, c.error);
        EXPECT_EQ(options.receipts, c.receipts);
        EXPECT_EQ(options.receiptDelayMs, c.receiptDelayMs);
        EXPECT_EQ(options.noRouting, c.noRouting);
    }
}

TEST(HeadlessOptions, RefusesWhatItCannotUse) {
    const struct {
        QStringList arguments;
        QString error;
    } cases[] = {
        {{"tarnwick", "--smpp-port", "65536"}, "Invalid port '65536'."},   // beyond 16 bits
        {{"tarnwick", "--smpp-port", "-1"}, "Invalid port '-1'."},         // negative
        {{"tarnwick", "--smpp-port", "50x"}, "Invalid port '50x'."},       // not a number
        {{"tarnwick", "--smpp-port"}, "Missing value after '--smpp-port'."},
        {{"tarnwick", "--mobile-port", "65536"}, "Invalid port '65536'."},
        {{"tarnwick", "--listen", "::1"}, "Invalid IPv4 address '::1'."},  // IPv4 only
        {{"tarnwick", "--listen", "local"}, "Invalid IPv4 address 'local'."},
        {{"tarnwick", "--window"}, "Unknown option 'window'."},
        {{"tarnwick", "extra"}, "Unexpected argument 'extra'."},
        {{"tarnwick", "--control", "70000"}, "Invalid control port '70000'."},
        {{"tarnwick", "--control", "0", "--control-listen", "nowhere"}, "Invalid address 'nowhere'."},
        {{"tarnwick", "--control", "0", "--control-listen", "0.0.0.0"}, // anyone could drive it
         "--control-listen 0.0.0.0 needs --control-token TOKEN: the control API would answer anyone who can reach it."},
        {{"tarnwick", "--control", "0", "--control-listen", "127.0.0.2", "--control-token="}, // an empty token is none
         "--control-listen 127.0.0.2 needs --control-token TOKEN: the control API would answer anyone who can reach it."},
        {{"tarnwick", "--control-token", "t"}, "--control-listen and --control-token go with --control PORT."},
        {{"tarnwick", "--tls-port", "70000"}, "Invalid TLS port '70000'."},
        {{"tarnwick", "--tls-port", "0", "--tls-cert", "c.pem"}, "--tls-cert and --tls-key go together."}, // no key
        {{"tarnwick", "--tls-cert", "c.pem", "--tls-key", "k.pem"}, "--tls-cert and --tls-key need --tls-port."},
        {{"tarnwick", "--receipt-profile", "Fancy"}, "'Fancy' is no built-in receipt profile and no readable file."},
        {{"tarnwick", "--echo-reverse"}, "--echo-reverse goes with --echo DEST."},
        {{"tarnwick", "--echo", "", "--echo-reverse"}, "--echo-reverse goes with --echo DEST."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(ParseHeadlessOptions(c.arguments).error, c.error);
    }
}

TEST(HeadlessTrace, PrintsOneLinePerNewRecordWithTheListColumns) {
    CPacketLog log;
    log.Reset();
    log.SetTimeSource(CaptureTime);
    std::ostringstream out;
    const CPacketDecoder names;
    CHeadlessTrace trace(log, names, out, true);

    // Every line ends in the capture time, "\t2023-11-14 22:13:20".
    const struct {
        const char* name;
        uint16_t protocol;
        uint32_t address;
        uint16_t port;
        Bytes pdu;
        std::string line;
    } cases[] = {
        {"request from an ESME", 2, 0xC0A80A05, 40001, SmppPdu(0x00000004, 1, Builder().raw("body")),
         "1\t192.168.010.005\t40001\tSMPP:submit_sm\t36"},
        {"port above 32767", 2, 0x0A000001, 65535, SmppPdu(0x80000000, 2, {}, 3),
         "2\t010.000.000.001\t65535\tSMPP:generic_nack\t32"},
        {"protocol code 5", 5, 0x7F000001, 2, SmppPdu(0x00000004, 4), "3\t127.000.000.001\t2\t未知:未知\t32"},
        {"mobile protocol", 8, 0x7F000001, 8880, Builder().u32(16).u32(0x80001001).u32(0).u32(0),
         "4\t127.000.000.001\t8880\tTEST:登录应答\t32"},
        {"mobile command nobody knows", 8, 0x7F000001, 8880, Builder().u32(12).u32(1).u32(0),
         "5\t127.000.000.001\t8880\tTEST:未知\t28"},
        {"CMPP 3.0 names its commands from its own table", 4, 0x7F000001, 7890,
         Builder().u32(12).u32(0x00000004).u32(0), "6\t127.000.000.001\t7890\tCMPP3:提交短信\t28"},
        {"PDU too short for a command id", 2, 0x7F000001, 3, Builder().u8(0).u8(0), "7\t127.000.000.001\t3\tSMPP:未知\t18"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        out.str("");
        ASSERT_TRUE(log.AddPacket(c.protocol, c.address, c.port, c.pdu.data(), uint32_t(c.pdu.size()), 9));
        EXPECT_EQ(out.str(), c.line + "\t2023-11-14 22:13:20\n");
    }
    out.str("");
    const Bytes dropped = SmppPdu(0x00000004, 9);
    log.SetFilter(std::string(30, '0'));
    ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 1, dropped.data(), uint32_t(dropped.size()), 9));
    EXPECT_EQ(out.str(), "") << "nothing stored, nothing printed";
}

// The trace numbers records as /pdus does: the wipe of a full log neither starts again nor skips.
TEST(HeadlessTrace, NumbersRunOnAcrossTheWipe) {
    const CPacketDecoder names;
    const Bytes big(CPacketLog::kAreaSize - 16, 0);
    const Bytes enquire = SmppPdu(0x00000015, 1);
    CPacketLog log;
    log.Reset();
    log.SetTimeSource(CaptureTime);
    std::ostringstream out;
    CHeadlessTrace trace(log, names, out, true);
    ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 1, big.data(), uint32_t(big.size()), 9));
    out.str("");
    ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 1, enquire.data(), uint32_t(enquire.size()), 22));
    EXPECT_EQ(log.WipeCount(), 1);
    EXPECT_EQ(out.str(), "2\t127.000.000.001\t1\tSMPP:enquire_link\t32\t2023-11-14 22:13:20\n");
}

const QString kSmppStarted = R"(\[SMPP\] SMPP server start ok! \(port = (\d+)\))";
const QString kMobileStarted = R"(\[Mobile\] Mobile server start OK! \(port = (\d+)\))";
const QString kUcpStarted = R"(\[UCP\] UCP server start ok! \(port = (\d+)\))";
const QString kCimdStarted = R"(\[CIMD\] CIMD2 server start ok! \(port = (\d+)\))";
const QString kTime = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";

// The built tarnwick binary, run with a settings folder of its own and UTC as local time.
class TarnwickProcess {
public:
    explicit TarnwickProcess(const QString& configHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", configHome);
        env.insert("TZ", "UTC");
        env.remove("DISPLAY"); // without --headless it runs headless all the same, and says so
        env.remove("WAYLAND_DISPLAY");
        m_process.setProcessEnvironment(env);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_out += m_process.readAllStandardOutput().toStdString(); });
    }
    ~TarnwickProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(test_net::kWaitMs);
        }
    }

    static QString Binary() { return QCoreApplication::applicationDirPath() + "/../app/tarnwick"; }

    void Start(const QStringList& arguments) { m_process.start(Binary(), arguments); }
    // Runs headless with both servers on free ports, tracing unless told otherwise.
    void StartHeadless(bool trace = true) {
        QStringList arguments{"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0"};
        Start(trace ? arguments << "--trace" : arguments);
    }

    // Waits for a whole line matching pattern; returns its first capture, or the line ("" if none came).
    std::string WaitForLine(const QString& pattern) {
        const QRegularExpression re("^(?:" + pattern + ")$");
        std::string found;
        test_net::WaitUntil([&] {
            for (const std::string& line : Lines(m_out)) {
                const QRegularExpressionMatch match = re.match(QString::fromStdString(line));
                if (match.hasMatch()) {
                    found = (match.lastCapturedIndex() >= 1 ? match.captured(1) : match.captured(0)).toStdString();
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    // The port a start line reports, 0 if it never came.
    uint16_t WaitForPort(const QString& startLine) {
        const std::string port = WaitForLine(startLine);
        EXPECT_FALSE(port.empty()) << m_out;
        return port.empty() ? 0 : uint16_t(std::stoi(port));
    }
    void ExpectLines(const std::vector<QString>& patterns) {
        for (const QString& pattern : patterns)
            EXPECT_FALSE(WaitForLine(pattern).empty()) << pattern.toStdString() << " not in:\n" << m_out;
    }

    bool WaitForExit() { return test_net::WaitUntil([&] { return m_process.state() == QProcess::NotRunning; }); }
    // Sends the signal and expects the runner to end normally with status 0.
    void ExpectCleanStop(int signal) {
        ::kill(pid_t(m_process.processId()), signal);
        ASSERT_TRUE(WaitForExit());
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_process.exitCode(), 0);
    }

    QProcess& Process() { return m_process; }
    std::string Output() const { return m_out; }

private:
    QProcess m_process;
    std::string m_out;
};

class TarnwickBinaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(TarnwickProcess::Binary())) << TarnwickProcess::Binary().toStdString();
        ASSERT_TRUE(configHome.isValid());
    }
    void WriteSettings(const std::string& contents) {
        QDir(configHome.path()).mkpath("Vendrel");
        QFile file(configHome.path() + "/Vendrel/Tarnwick.conf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.data(), qint64(contents.size()));
    }

    QTemporaryDir configHome;
};

// The handlers are in place before the start line goes out: a signal right after it is a clean stop.
TEST_F(TarnwickBinaryTest, SignalRightAfterTheStartLineEndsWithStatusZero) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.StartHeadless(false);
        ASSERT_NE(tarnwick.WaitForPort(kSmppStarted), 0);
        tarnwick.ExpectCleanStop(signal);
    }
}

// The TLS flags reach the server: its start line names the certificate it was told to read.
TEST_F(TarnwickBinaryTest, TheTlsFlagsNameTheFilesTheServerReads) {
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0",
                    "--tls-port", "0", "--tls-cert", "/nonexistent/c.pem", "--tls-key", "/nonexistent/k.pem"});
    tarnwick.ExpectLines({R"(\[SMPP\] SMPP TLS server start fail! \(port = 0, cannot read certificate /nonexistent/c\.pem\))"});
}

TEST_F(TarnwickBinaryTest, EsmesAndTheMobileSimulatorAreServedAndTraced) {
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.StartHeadless();
    const uint16_t smppPort = tarnwick.WaitForPort(kSmppStarted);
    const uint16_t mobilePort = tarnwick.WaitForPort(kMobileStarted);
    const auto peer = [](const test_net::TestClient& client) {
        return QString("IP address = 127\\.000\\.000\\.001 Port = %1 Time = ").arg(client.LocalPort()) + kTime;
    };
    // seq, source IP, source port, protocol:command, length (capture header included), time
    const auto trace = [](int seq, uint16_t port, const char* name, int length) {
        return QString("%1\t127\\.000\\.000\\.001\t%2\t%3\t%4\t").arg(seq).arg(port).arg(name).arg(length) + kTime;
    };

    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(smppPort));
    esme.Send(SmppPdu(0x00000002, 1, BindBody("esme")));
    ASSERT_TRUE(esme.WaitForBytes(16 + 5 + 5)); // "esme" echoed, then sc_interface_version
    tarnwick.ExpectLines({
        "\\[SMPP\\] ESME Connected \\[0\\] " + peer(esme),
        trace(1, esme.LocalPort(), "SMPP:bind_transmitter", 16 + 16 + 5 + 3 + 1 + 3 + 1),
        trace(2, smppPort, "SMPP:bind_transmitter_resp", 16 + 16 + 5 + 5),
        "\\[SMPP\\] esme bound as transmitter at version 3\\.4",
    });
    const QString esmeGone = "\\[SMPP\\] ESME Disconnected \\[0\\] " + peer(esme);
    esme.Close();
    tarnwick.ExpectLines({esmeGone});

    test_net::TestClient simulator;
    ASSERT_TRUE(simulator.Connect(mobilePort));
    simulator.Send(Builder().u32(40).u32(0x00001001).u32(1).u32(1).text("13900000001", 24).bytes());
    ASSERT_TRUE(simulator.WaitForBytes(16));
    tarnwick.ExpectLines({
        "\\[Mobile\\] ESME Connected \\[0\\] " + peer(simulator),
        trace(3, simulator.LocalPort(), "TEST:登录请求", 16 + 40),
        trace(4, mobilePort, "TEST:登录应答", 16 + 16),
    });
    tarnwick.ExpectCleanStop(SIGTERM);
}

// The capture file is flushed as the run goes on: an analyser can read it while the run lasts, and a
// run killed outright leaves every PDU of the seconds before.
TEST_F(TarnwickBinaryTest, PcapFileIsReadableDuringTheRunAndAfterAKill) {
    const QString path = configHome.path() + "/live.pcap";
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--pcap", path});
    const uint16_t smppPort = tarnwick.WaitForPort(kSmppStarted);
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(smppPort));
    esme.Send(SmppPdu(0x00000002, 1, BindBody("esme")));
    ASSERT_TRUE(esme.WaitForBytes(16 + 5 + 5));

    const auto imported = [&] {
        CPacketLog log;
        log.Reset();
        pcap::CPcapImporter importer;
        std::string error;
        // No decode-as for the server's ephemeral port: the bind's header names SMPP.
        if (!importer.Open(path.toStdString(), {}, error))
            return std::string("error");
        test_import::StepToEnd(importer, log);
        const pcap::ImportSummary& summary = importer.Finish(log);
        std::string listing = summary.truncatedFile ? "truncated" : "";
        for (int32_t index = 0; index < log.GetCount(); ++index) {
            uint32_t length = 0;
            const PacketRecordHeader header = packet_record::ReadHeader(log.PacketAt(index, &length));
            const auto end = [&](uint16_t port) -> std::string {
                return port == smppPort ? "server" : port == esme.LocalPort() ? "esme" : "?";
            };
            listing += end(header.sourcePort) + ">" + end(log.PeerAt(index).port) + " " + std::to_string(length) + ";";
        }
        return listing;
    };
    const std::string expected = "esme>server 45;server>esme 42;";
    EXPECT_TRUE(test_net::WaitUntil([&] { return imported() == expected; })) << imported();
    ::kill(pid_t(tarnwick.Process().processId()), SIGKILL);
    ASSERT_TRUE(tarnwick.WaitForExit());
    EXPECT_EQ(imported(), expected);
}

// --receipts, --receipt-delay and --no-routing hold for the run whatever is stored, and --trace
// prints a line for each receipted message. The delay runs on the program's own timers, in
// milliseconds: 200 ms, neither at once nor in seconds, as the program's own capture times show
// (however slowly the machine lets the test read them); 0 sends the receipt at once.
TEST_F(TarnwickBinaryTest, DeliveryFlagsHoldForTheRunAndReceiptsAreTraced) {
    WriteSettings("[Setup]\nRouting=1\nDeliveryReceipts=0\nReceiptDelayMs=600000\n");
    for (const int delayMs : {200, 0}) {
        SCOPED_TRACE(delayMs);
        const QString pcapPath = configHome.path() + QString("/receipt%1.pcap").arg(delayMs);
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--trace", "--receipts", "--receipt-delay",
                        QString::number(delayMs), "--no-routing", "--pcap", pcapPath});
        const uint16_t smppPort = tarnwick.WaitForPort(kSmppStarted);
        const uint16_t mobilePort = tarnwick.WaitForPort(kMobileStarted);
        test_net::TestClient phone;
        ASSERT_TRUE(phone.Connect(mobilePort));
        phone.Send(Builder().u32(40).u32(0x00001001).u32(1).u32(1).text("67890", 24).bytes());
        ASSERT_TRUE(phone.NextPdu());
        test_net::TestClient esme;
        ASSERT_TRUE(esme.Connect(smppPort));
        esme.Send(SmppPdu(0x00000009, 1, BindBody("esme")));
        ASSERT_TRUE(esme.NextPdu());
        esme.Send(SmppPdu(0x00000004, 2, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0)
                                             .u8(0).u8(0).cstr("").cstr("").u8(1).u8(0).u8(0).u8(0).u8(2).raw("Hi")));
        EXPECT_EQ(esme.NextPdu(), SmppPdu(0x80000004, 2, Builder().cstr("000000")));
        const std::optional<Bytes> receipt = esme.NextPdu(); // within the wait's bound: not 600 s
        ASSERT_TRUE(receipt && receipt->size() > 8);
        EXPECT_EQ((*receipt)[7], 0x05) << "deliver_sm";
        const auto captureTimes = [&pcapPath] {
            CPacketLog log;
            log.Reset();
            pcap::CPcapImporter importer;
            std::string error;
            std::map<uint32_t, int64_t> times; // the first capture of each command id
            if (importer.Open(pcapPath.toStdString(), {}, error)) {
                test_import::StepToEnd(importer, log);
                importer.Finish(log);
            }
            for (int32_t index = 0; index < log.GetCount(); ++index)
                times.emplace(log.SummaryAt(index).command, log.SummaryAt(index).timeUs);
            return times;
        };
        std::map<uint32_t, int64_t> times;
        ASSERT_TRUE(test_net::WaitUntil([&] { return (times = captureTimes()).count(0x00000005) == 1; }));
        // The receipt falls due the delay's whole milliseconds after the submit's turn began, which came
        // after its capture; the timer may fire early, never the receipt.
        EXPECT_GE(times[0x00000005] - times[0x00000004], std::max(0, delayMs - 1) * 1000);
        EXPECT_FALSE(tarnwick.WaitForLine(R"(\[Receipt\] message 000000 DELIVRD to esme)").empty()) << tarnwick.Output();
        phone.Send(Builder().u32(71).u32(0x00001002).u32(3).fill(59).bytes());
        EXPECT_EQ(phone.NextPdu(), Builder().u32(26).u32(0x80001002).u32(3).u32(0).fill(10).bytes()) << "no DELIVER first";
        tarnwick.ExpectCleanStop(SIGTERM);
    }
}

// A server that cannot start says "fail" while the other still starts, and the runner ends with 1;
// bad arguments end it with 2, --help and --version with 0.
TEST_F(TarnwickBinaryTest, EndsAtOnceForAPortInUseBadArgumentsAndHelp) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
    const QString taken = QString::number(occupant.serverPort());
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        QString output;      // all of standard output
        const char* error;   // the start of standard error
    } cases[] = {
        {"SMPP port taken, no display and no --headless", {"--smpp-port", taken, "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0"}, 1,
         "\\[SMPP\\] SMPP server start fail! \\(port = " + taken + "\\)\n" + kMobileStarted + "\n" + kUcpStarted + "\n" + kCimdStarted + "\n",
         "No display: running headless.\n"},
        {"mobile port taken", {"--headless", "--smpp-port", "0", "--mobile-port", taken, "--ucp-port", "0", "--cimd-port", "0"}, 1,
         kSmppStarted + "\n\\[Mobile\\] Mobile server start fail! \\(port = " + taken + "\\)\n" + kUcpStarted + "\n" + kCimdStarted + "\n", ""},
        {"UCP port taken", {"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", taken, "--cimd-port", "0"}, 1,
         kSmppStarted + "\n" + kMobileStarted + "\n\\[UCP\\] UCP server start fail! \\(port = " + taken + "\\)\n" + kCimdStarted + "\n", ""},
        {"CIMD2 port taken", {"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", taken}, 1,
         kSmppStarted + "\n" + kMobileStarted + "\n" + kUcpStarted + "\n\\[CIMD\\] CIMD2 server start fail! \\(port = " + taken + "\\)\n", ""},
        {"control port taken", {"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--control", taken},
         1, kSmppStarted + "\n" + kMobileStarted + "\n" + kUcpStarted + "\n" + kCimdStarted +
                "\n\\[Control\\] Control API cannot listen on 127.0.0.1 port " + taken + ": [^\n]+\\.\n", ""},
        {"capture file cannot be made", {"--headless", "--pcap", configHome.path() + "/missing/x.pcap"}, 1,
         "cannot create [^\n]*/missing/x.pcap: No such file or directory\n", ""},
        {"bad port", {"--smpp-port", "70000"}, 2, "", "Invalid port '70000'.\n"},
        {"help", {"--help"}, 0, "Usage: tarnwick [^\n]*\n[\\s\\S]*", ""},
        {"version, whatever follows", {"--version", "--headless"}, 0, "tarnwick [0-9]+\\.[0-9]+\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start(c.arguments);
        ASSERT_TRUE(tarnwick.WaitForExit());
        EXPECT_TRUE(QRegularExpression("^" + c.output + "$").match(QString::fromStdString(tarnwick.Output())).hasMatch())
            << tarnwick.Output();
        EXPECT_TRUE(tarnwick.Process().readAllStandardError().startsWith(c.error));
        EXPECT_EQ(tarnwick.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tarnwick.Process().exitCode(), c.exitCode);
    }
}

// The window takes the run's flags as a headless run does: its control API reports the rules, accounts and echo
// the command line gave, the echo as sent since --echo-reverse was not.
TEST_F(TarnwickBinaryTest, TheWindowServesTheRulesAccountsAndEchoItWasGiven) {
    const QString rules = configHome.path() + "/rules.json", accounts = configHome.path() + "/accounts.json";
    for (const auto& [path, json] : {std::pair{rules, R"([{"command":"bind","status":13}])"},
                                     std::pair{accounts, R"([{"systemId":"esme","password":"secret"}])"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) > 0);
    }
    TarnwickProcess window(configHome.path());
    QProcessEnvironment env = window.Process().processEnvironment();
    env.insert("DISPLAY", ":0"); // drawn offscreen all the same
    env.insert("QT_QPA_PLATFORM", "offscreen");
    window.Process().setProcessEnvironment(env);
    window.Start({"--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--faults", rules,
                  "--accounts", accounts, "--echo", "777", "--control", "0"});
    const uint16_t control = window.WaitForPort(R"(\[Control\] Control API listening on http://127.0.0.1:(\d+))");
    for (const auto& [path, expected] : {std::pair{"faults", "\"status\":\"0x0000000D\""}, std::pair{"accounts", "\"systemId\":\"esme\""},
                                         std::pair{"echo", "{\"destination\":\"777\",\"reverse\":false}"}}) {
        test_net::TestClient http;
        ASSERT_TRUE(http.Connect(control));
        http.Send(std::string("GET /api/v1/") + path + " HTTP/1.1\r\nHost: test\r\n\r\n");
        EXPECT_TRUE(test_net::WaitUntil([&] { return http.ReceivedText().find(expected) != std::string::npos; }))
            << http.ReceivedText();
    }
}

// --stats prints the table and --stats-json writes the statistics at exit; a file that cannot be
// written stops the start before anything runs.
TEST_F(TarnwickBinaryTest, StatisticsArePrintedAndWrittenAtExit) {
    const QString missing = configHome.path() + "/missing/stats.json";
    TarnwickProcess refused(configHome.path());
    refused.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--stats-json", missing});
    ASSERT_TRUE(refused.WaitForExit());
    EXPECT_EQ(refused.Process().exitCode(), 1);
    EXPECT_EQ(refused.Output(), "Cannot write statistics to '" + missing.toStdString() + "': No such file or directory.\n");

    const QString path = configHome.path() + "/stats.json";
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--stats", "--stats-json", path});
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(tarnwick.WaitForPort(kSmppStarted)));
    esme.Send(SmppPdu(0x00000009, 1, BindBody("esme")));
    ASSERT_TRUE(esme.NextPdu());
    esme.Send(SmppPdu(0x00000004, 2, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0)
                                         .u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi")));
    ASSERT_TRUE(esme.NextPdu());
    esme.Send(SmppPdu(0x00000015, 3));
    ASSERT_TRUE(esme.NextPdu());
    tarnwick.ExpectCleanStop(SIGTERM);

    const std::string table = "Statistics: 6 PDUs (0 opened from capture files, counted apart)\n"
                              "Protocol  Command                In  Out  Opened\n"
                              "SMPP      bind_transceiver        1    0       0\n"
                              "SMPP      bind_transceiver_resp   0    1       0\n"
                              "SMPP      submit_sm               1    0       0\n"
                              "SMPP      submit_sm_resp          0    1       0\n"
                              "SMPP      enquire_link            1    0       0\n"
                              "SMPP      enquire_link_resp       0    1       0\n"
                              "\n"
                              "Protocol  Status    In  Out  Opened\n"
                              "SMPP      ESME_ROK   0    3       0\n"
                              "\n";
    const std::string output = tarnwick.Output();
    const size_t start = output.find("Statistics: ");
    ASSERT_NE(start, std::string::npos) << output;
    EXPECT_EQ(output.substr(start, table.size()), table);
    EXPECT_TRUE(QRegularExpression(R"(submit_sm per second: [\d.]+ \(1 s\), 0\.1 \(10 s\), 0\.0 \(60 s\)\n)"
                                   R"(Response latency of Tarnwick's answers \(ms\): p50 [\d.]+, p90 [\d.]+, p99 [\d.]+, max [\d.]+ \(3 answers\)\n)"
                                   R"(Response latency of the ESMEs' answers \(ms\): p50 0\.000, p90 0\.000, p99 0\.000, max 0\.000 \(0 answers\)\n)"
                                   R"(Unanswered requests: 0\nQueues: none\n$)")
                    .match(QString::fromStdString(output.substr(start + table.size())))
                    .hasMatch())
        << output;

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(json.value("pdus").toInt(), 6);
    EXPECT_EQ(json.value("commands").toArray().size(), 6);
    EXPECT_EQ(json.value("latencyMs").toObject().value("count").toInt(), 3);
    EXPECT_EQ(json.value("esmeLatencyMs").toObject().value("count").toInt(), 0);
    EXPECT_EQ(json.value("openedPdus").toInt(), 0);
    EXPECT_EQ(json.value("unanswered").toInt(), 0);
    ASSERT_EQ(json.value("connections").toArray().size(), 1);
    EXPECT_EQ(json.value("connections").toArray()[0].toObject().value("pdus").toInt(), 6);
    EXPECT_EQ(json.value("generator").toObject().value("state").toString(), "idle");
}

// Over several wipes of the full capture nothing is lost: the statistics, the trace, the capture file
// and the control API's serial numbers all count every PDU the ESME sent and was answered.
TEST_F(TarnwickBinaryTest, NothingIsLostToTheWipesOfAFullCapture) {
    const QString pcapPath = configHome.path() + "/run.pcap", statsPath = configHome.path() + "/stats.json";
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--trace", "--pcap", pcapPath,
                    "--stats-json", statsPath, "--control", "0"});
    const uint16_t smppPort = tarnwick.WaitForPort(kSmppStarted);
    const uint16_t controlPort = tarnwick.WaitForPort(R"(\[Control\] Control API listening on http://127\.0\.0\.1:(\d+))");
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(smppPort));
    esme.Send(SmppPdu(0x00000009, 1, BindBody("esme")));
    ASSERT_TRUE(esme.NextPdu());
    // 2000 octets of message_payload each: about 500 exchanges fill the 1 MiB capture, 1600 wipe it three times.
    constexpr int kSubmits = 1600, kRecords = 2 + 2 * kSubmits;
    const Bytes body = Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0).u8(0).u8(0)
                           .cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(0).u16(0x0424).u16(2000).fill(2000, 'x');
    Builder burst;
    for (uint32_t sequence = 2; sequence < 2 + kSubmits; ++sequence)
        burst.raw(SmppPdu(0x00000004, sequence, body));
    esme.Send(burst.bytes());
    ASSERT_TRUE(esme.WaitForBytes(kSubmits * (16 + 7), 30000)); // each answer: header and "NNNNNN\0"

    test_net::TestClient http;
    ASSERT_TRUE(http.Connect(controlPort));
    http.Send("GET /api/v1/pdus?since=" + std::to_string(kRecords - 1) + " HTTP/1.1\r\nHost: test\r\n\r\n");
    ASSERT_TRUE(test_net::WaitUntil([&] { return http.ReceivedText().find("\"next\":") != std::string::npos; }));
    const std::string listing = http.ReceivedText();
    EXPECT_NE(listing.find("{\"pdus\":[{\"seq\":" + std::to_string(kRecords) + ","), std::string::npos) << listing;
    EXPECT_NE(listing.find("\"command\":\"submit_sm_resp\",\"commandStatus\":0,\"sequence\":1601,"), std::string::npos);
    tarnwick.ExpectCleanStop(SIGTERM);

    std::vector<int> serials;
    const QRegularExpression traced("^(\\d+)\t");
    for (const std::string& line : Lines(tarnwick.Output()))
        if (const QRegularExpressionMatch match = traced.match(QString::fromStdString(line)); match.hasMatch())
            serials.push_back(match.captured(1).toInt());
    ASSERT_EQ(serials.size(), size_t(kRecords));
    for (int i = 0; i < kRecords; ++i)
        ASSERT_EQ(serials[size_t(i)], i + 1) << "the trace's lines run on without a gap";

    QFile file(statsPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(json.value("pdus").toInt(), kRecords);
    const QJsonArray commands = json.value("commands").toArray();
    ASSERT_EQ(commands.size(), 4);
    EXPECT_EQ(commands[2].toObject().value("in").toInt(), kSubmits) << "submit_sm";
    EXPECT_EQ(commands[3].toObject().value("out").toInt(), kSubmits) << "submit_sm_resp";

    CPacketLog log;
    log.Reset();
    pcap::CPcapImporter importer;
    std::string error;
    ASSERT_TRUE(importer.Open(pcapPath.toStdString(), {}, error)) << error;
    test_import::StepToEnd(importer, log, 1000);
    EXPECT_EQ(importer.Finish(log).pdus, uint64_t(kRecords)) << "every PDU in the capture file";
}

// The stored filter and ShowUnknown decide what the trace shows.
TEST_F(TarnwickBinaryTest, StoredSettingsDecideWhatIsCaptured) {
    std::string noSubmit(30, '1');
    noSubmit[9] = '0';
    using Names = std::vector<std::string>;
    const Names all = {"bind_transceiver", "bind_transceiver_resp", "submit_sm", "submit_sm_resp", "未知", "generic_nack"};
    const struct {
        const char* name;
        std::string settings;
        Names descriptions;
    } cases[] = {
        {"no settings stored", "", all},
        {"submit_sm row off", "[Setup]\nFilter=" + noSubmit + "\n",
         {"bind_transceiver", "bind_transceiver_resp", "submit_sm_resp", "未知", "generic_nack"}},
        {"filter of the wrong length is ignored", "[Setup]\nFilter=" + noSubmit + "0\n", all},
        {"unknown PDUs hidden", "[Setup]\nShowUnknown=0\n",
         {"bind_transceiver", "bind_transceiver_resp", "submit_sm", "submit_sm_resp", "generic_nack"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(c.settings);
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.StartHeadless();
        test_net::TestClient client;
        ASSERT_TRUE(client.Connect(tarnwick.WaitForPort(kSmppStarted)));
        client.Send(Builder()
                        .raw(SmppPdu(0x00000009, 1, BindBody("esme")))
                        .raw(SmppPdu(0x00000004, 2, Builder().fill(20)))
                        .raw(SmppPdu(0x00000777, 3))
                        .bytes());
        ASSERT_TRUE(client.WaitForBytes(26 + 23 + 16));
        // The generic_nack is the last record; once it is traced, every line is out.
        ASSERT_FALSE(tarnwick.WaitForLine(".*\tSMPP:generic_nack\t.*").empty()) << tarnwick.Output();

        Names descriptions;
        const QRegularExpression re("^\\d+\t[\\d.]+\t\\d+\tSMPP:([^\t]+)\t");
        for (const std::string& line : Lines(tarnwick.Output())) {
            const QRegularExpressionMatch match = re.match(QString::fromStdString(line));
            if (match.hasMatch())
                descriptions.push_back(match.captured(1).toStdString());
        }
        EXPECT_EQ(descriptions, c.descriptions);
        tarnwick.ExpectCleanStop(SIGTERM);
    }
}

// A rules, accounts, receipt profile or generator job file stops a bad start with the rule, account or
// field, and serves a good one; --seed takes a number only. A job waits for its receiver and ends in one line.
TEST_F(TarnwickBinaryTest, FaultRulesAccountsAndJobFilesAreCheckedThenServed) {
    const QString bad = configHome.path() + "/bad.json", good = configHome.path() + "/good.json";
    const QString badAccounts = configHome.path() + "/bad-accounts.json";
    const QString fancyAccounts = configHome.path() + "/fancy-accounts.json";
    const QString goodAccounts = configHome.path() + "/accounts.json";
    const QString badProfile = configHome.path() + "/profile.json";
    const QString badJob = configHome.path() + "/bad-job.json", goodJob = configHome.path() + "/job.json";
    for (const auto& [path, json] : {std::pair{bad, R"([{"command":"bind"}, {"systemId":"(x"}])"},
                                     std::pair{good, R"([{"command":"bind","status":13}])"},
                                     std::pair{badAccounts, R"([{"systemId":"a"}, {"systemId":"b","window":-1}])"},
                                     std::pair{fancyAccounts, R"([{"systemId":"a","receiptProfile":"Fancy"}])"},
                                     std::pair{goodAccounts, R"([{"systemId":"esme","password":"secret"}])"},
                                     std::pair{badProfile, R"({"text":"{id} {time}"})"},
                                     std::pair{badJob, R"({"systemId":"rx","count":3,"rate":0})"},
                                     std::pair{goodJob, R"({"systemId":"rx","count":3,"rate":1000})"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
    }
    const struct {
        QStringList arguments;
        std::string error;
    } refused[] = {
        {{"--headless", "--faults", bad},
         bad.toStdString() + ": Rule 2, \"systemId\": bad regular expression (missing closing parenthesis at offset 2)."},
        {{"--headless", "--faults", bad + ".none"}, "Cannot read fault rules from '" + bad.toStdString() + ".none'."},
        {{"--headless", "--seed", "x"}, "Invalid seed 'x'."},
        {{"--headless", "--accounts", badAccounts},
         badAccounts.toStdString() + ": Account 2 (b), \"window\": a whole number from 0 to 1000000 expected."},
        {{"--headless", "--accounts", fancyAccounts},
         fancyAccounts.toStdString() + ": Account 1 (a), \"receiptProfile\": \"Fancy\" is no built-in receipt profile."},
        {{"--headless", "--receipt-profile", badProfile},
         badProfile.toStdString() + ": text: unknown field {time}; the fields are {id} {sub} {dlvrd} {submit_date} "
                                    "{done_date} {stat} {err} {text}."},
        {{"--headless", "--generate", badJob}, badJob.toStdString() + ": rate: a whole number from 1 to 1000000 expected."},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.error);
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start(c.arguments);
        ASSERT_TRUE(tarnwick.WaitForExit());
        EXPECT_EQ(tarnwick.Process().exitCode(), 2);
        EXPECT_EQ(tarnwick.Process().readAllStandardError().split('\n').first().toStdString(), c.error);
        EXPECT_EQ(tarnwick.Output(), "") << "nothing started";
    }

    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--faults", good, "--seed", "1",
                    "--receipt-profile", "TLV only", "--echo", "777", "--echo-reverse"});
    test_net::TestClient esme;
    ASSERT_TRUE(esme.Connect(tarnwick.WaitForPort(kSmppStarted)));
    esme.Send(SmppPdu(0x00000002, 1, BindBody("esme")));
    EXPECT_EQ(esme.NextPdu(), SmppPdu(0x80000002, 1, {}, 13));
    tarnwick.ExpectCleanStop(SIGTERM);

    TarnwickProcess checking(configHome.path());
    checking.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--accounts", goodAccounts});
    test_net::TestClient stranger;
    ASSERT_TRUE(stranger.Connect(checking.WaitForPort(kSmppStarted)));
    stranger.Send(SmppPdu(0x00000002, 1, BindBody("esme")));
    EXPECT_EQ(stranger.NextPdu(), SmppPdu(0x80000002, 1, {}, 0x0E)) << "the account's password is not pw";
    checking.ExpectCleanStop(SIGTERM);

    TarnwickProcess generating(configHome.path());
    generating.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0", "--generate", goodJob});
    test_net::TestClient receiver;
    ASSERT_TRUE(receiver.Connect(generating.WaitForPort(kSmppStarted)));
    generating.ExpectLines({"\\[SMPP\\] Traffic generator waits for rx to bind"});
    receiver.Send(SmppPdu(0x00000001, 1, BindBody("rx")));
    ASSERT_TRUE(receiver.NextPdu());
    for (uint32_t sequence = 1; sequence <= 3; ++sequence) {
        ASSERT_TRUE(receiver.NextPdu());
        receiver.Send(SmppPdu(0x80000005, sequence, Builder().cstr("")));
    }
    generating.ExpectLines({"\\[SMPP\\] Traffic generator done: 3 sent, 3 answered, 0 errors"});
    generating.ExpectCleanStop(SIGTERM);
}

// --seed makes a run repeat: two runs with one seed fault the same submit_sm of sixteen under a rule of one half.
TEST_F(TarnwickBinaryTest, TheSeedRepeatsARunsChances) {
    const QString rules = configHome.path() + "/half.json";
    QFile file(rules);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"([{"command":"submit_sm","status":8,"probability":0.5}])");
    file.close();
    std::vector<uint8_t> faulted[2];
    for (std::vector<uint8_t>& run : faulted) {
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--ucp-port", "0", "--cimd-port", "0",
                        "--faults", rules, "--seed", "7"});
        test_net::TestClient esme;
        ASSERT_TRUE(esme.Connect(tarnwick.WaitForPort(kSmppStarted)));
        esme.Send(SmppPdu(0x00000002, 1, BindBody("esme")));
        ASSERT_TRUE(esme.NextPdu());
        for (uint32_t sequence = 2; sequence < 18; ++sequence) {
            esme.Send(SmppPdu(0x00000004, sequence, test_bytes::SmppMessageBody("1", "2", 0, 0, {})));
            const std::optional<Bytes> answer = esme.NextPdu();
            ASSERT_TRUE(answer && answer->size() >= 16);
            run.push_back((*answer)[11]); // command_status's last octet: 8 or 0
        }
        tarnwick.ExpectCleanStop(SIGTERM);
    }
    EXPECT_EQ(faulted[0], faulted[1]);
    EXPECT_EQ(std::set<uint8_t>(faulted[0].begin(), faulted[0].end()), (std::set<uint8_t>{0, 8}));
}

} // namespace
