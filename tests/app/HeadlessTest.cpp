// The headless runner: options, console and trace lines, and the tarnwick binary started, signalled and refused.
#include "app/HeadlessConsole.h"
#include "app/HeadlessRunner.h"
#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"
#include "mobile/MobileServer.h"
#include "smpp/SmppServer.h"
#include "tests/support/Bytes.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

constexpr int64_t kNovember2023 = 1'700'000'000; // 2023-11-14 22:13:20 UTC
uint32_t CaptureTime() { return uint32_t(kNovember2023); }
int64_t ConsoleTime() { return kNovember2023; }

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
    struct Case {
        const char* name;
        QStringList arguments;
        bool headless;
        bool trace;
        bool help;
        uint16_t port;
        uint16_t mobilePort;
        QString listen;
    };
    const Case cases[] = {
        {"defaults", {"tarnwick"}, false, false, false, 5018, 8880, "0.0.0.0"},
        {"headless", {"tarnwick", "--headless"}, true, false, false, 5018, 8880, "0.0.0.0"},
        {"everything",
         {"tarnwick", "--headless", "--trace", "--smpp-port", "0", "--mobile-port", "0", "--listen", "127.0.0.1"},
         true, true, false, 0, 0, "127.0.0.1"},
        {"port with equals sign", {"tarnwick", "--smpp-port=65535", "--mobile-port=1"}, false, false, false, 65535, 1,
         "0.0.0.0"},
        {"help", {"tarnwick", "--help"}, false, false, true, 5018, 8880, "0.0.0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HeadlessOptions options = ParseHeadlessOptions(c.arguments);
        EXPECT_EQ(options.error, QString());
        EXPECT_EQ(options.headless, c.headless);
        EXPECT_EQ(options.trace, c.trace);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.smppPort, c.port);
        EXPECT_EQ(options.mobilePort, c.mobilePort);
        EXPECT_EQ(options.listen, QHostAddress(c.listen));
    }
}

TEST(HeadlessOptions, RefusesWhatItCannotUse) {
    struct Case {
        QStringList arguments;
        QString error;
    };
    const Case cases[] = {
        {{"tarnwick", "--smpp-port", "65536"}, "Invalid port '65536'."},   // beyond 16 bits
        {{"tarnwick", "--smpp-port", "-1"}, "Invalid port '-1'."},         // negative
        {{"tarnwick", "--smpp-port", "50x"}, "Invalid port '50x'."},       // not a number
        {{"tarnwick", "--smpp-port"}, "Missing value after '--smpp-port'."},
        {{"tarnwick", "--mobile-port", "99999"}, "Invalid port '99999'."},
        {{"tarnwick", "--listen", "::1"}, "Invalid IPv4 address '::1'."},  // IPv4 only
        {{"tarnwick", "--listen", "local"}, "Invalid IPv4 address 'local'."},
        {{"tarnwick", "--window"}, "Unknown option 'window'."},
        {{"tarnwick", "extra"}, "Unexpected argument 'extra'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(ParseHeadlessOptions(c.arguments).error, c.error);
    }
}

TEST(HeadlessConsole, PrintsStartConnectAndDisconnectLinesWithoutCarriageReturn) {
    std::ostringstream out;
    CSmppServer server;
    CHeadlessConsole console(server, out, "[SMPP] ", ConsoleTime);
    server.SetObserver(&console);
    ASSERT_TRUE(server.Start(0, 10, 3600));

    test_net::TestClient client;
    ASSERT_TRUE(client.Connect(server.ListeningPort()));
    const uint16_t clientPort = client.LocalPort();
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 1; }));
    client.Send(SmppPdu(0x00000009, 1, BindBody("esme")));
    ASSERT_TRUE(client.WaitForBytes(26));
    client.Close();
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; },
                                    test_net::kWaitMs + CSocketServer::kClosePauseMs));

    const std::string peer = "IP address = 127.000.000.001 Port = " + std::to_string(clientPort);
    EXPECT_EQ(Lines(out.str()), (std::vector<std::string>{
                                    "[SMPP] SMPP server start ok! (port = " + std::to_string(server.ListeningPort()) + ")",
                                    "[SMPP] ESME Connected [0] " + peer + " Time = 2023-11-14 22:13:20",
                                    "[SMPP] ESME Disconnected [0] " + peer + " Time = 2023-11-14 22:13:20",
                                }));
}

TEST(HeadlessTrace, PrintsOneLinePerNewRecordWithTheListColumns) {
    CPacketLog log;
    log.Reset();
    log.SetTimeSource(CaptureTime);
    std::ostringstream out;
    const CPacketDecoder names;
    CHeadlessTrace trace(log, names, out, true);

    struct Case {
        const char* name;
        uint16_t protocol;
        uint32_t address;
        uint16_t port;
        Bytes pdu;
        std::string line;
    };
    const Case cases[] = {
        {"request from an ESME", 2, 0xC0A80A05, 40001, SmppPdu(0x00000004, 1, Builder().raw("body")),
         "1\t192.168.010.005\t40001\tSMPP:submit_sm\t36\t2023-11-14 22:13:20"},
        {"response from the server", 2, 0x7F000001, 5018, SmppPdu(0x80000004, 1, Builder().cstr("000000")),
         "2\t127.000.000.001\t5018\tSMPP:submit_sm_resp\t39\t2023-11-14 22:13:20"},
        {"port above 32767", 2, 0x0A000001, 65535, SmppPdu(0x80000000, 2, {}, 3),
         "3\t010.000.000.001\t65535\tSMPP:generic_nack\t32\t2023-11-14 22:13:20"},
        {"SMPP command nobody knows", 2, 0x7F000001, 1, SmppPdu(0x00000999, 3),
         "4\t127.000.000.001\t1\tSMPP:未知\t32\t2023-11-14 22:13:20"},
        {"protocol code 5", 5, 0x7F000001, 2, SmppPdu(0x00000004, 4), "5\t127.000.000.001\t2\t未知:未知\t32\t2023-11-14 22:13:20"},
        {"mobile protocol", 8, 0x7F000001, 8880, Builder().u32(16).u32(0x80001001).u32(0).u32(0),
         "6\t127.000.000.001\t8880\tTEST:登录应答\t32\t2023-11-14 22:13:20"},
        {"mobile command nobody knows", 8, 0x7F000001, 8880, Builder().u32(12).u32(1).u32(0),
         "7\t127.000.000.001\t8880\tTEST:未知\t28\t2023-11-14 22:13:20"},
        {"CMPP 3.0 names its commands from its own table", 4, 0x7F000001, 7890, Builder().u32(12).u32(0x00000004).u32(0),
         "8\t127.000.000.001\t7890\tCMPP3:提交短信\t28\t2023-11-14 22:13:20"},
        {"PDU too short for a command id", 2, 0x7F000001, 3, Builder().u8(0).u8(0),
         "9\t127.000.000.001\t3\tSMPP:未知\t18\t2023-11-14 22:13:20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out.str("");
        ASSERT_TRUE(log.AddPacket(c.protocol, c.address, c.port, c.pdu.data(), uint32_t(c.pdu.size()), 9));
        trace.Refresh();
        EXPECT_EQ(out.str(), c.line + "\n");
    }
    out.str("");
    trace.Refresh();
    EXPECT_EQ(out.str(), "") << "nothing new, nothing printed";
}

TEST(HeadlessTrace, WipesAFullLogSoCapturingGoesOnAndCountsFromOneAgain) {
    for (const bool print : {true, false}) {
        SCOPED_TRACE(print ? "tracing" : "quiet");
        CPacketLog log;
        log.Reset();
        log.SetTimeSource(CaptureTime);
        std::ostringstream out;
        const CPacketDecoder names;
        CHeadlessTrace trace(log, names, out, print);
        const Bytes big(CPacketLog::kAreaSize - 16, 0);
        ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 1, big.data(), uint32_t(big.size()), 9));
        trace.Refresh();
        const Bytes enquire = SmppPdu(0x00000015, 1);
        EXPECT_FALSE(log.AddPacket(2, 0x7F000001, 1, enquire.data(), uint32_t(enquire.size()), 22));
        ASSERT_TRUE(log.IsFull());

        out.str("");
        trace.Refresh();
        EXPECT_FALSE(log.IsFull());
        EXPECT_EQ(log.GetCount(), 0);
        ASSERT_TRUE(log.AddPacket(2, 0x7F000001, 1, enquire.data(), uint32_t(enquire.size()), 22));
        trace.Refresh();
        EXPECT_EQ(out.str(), print ? "1\t127.000.000.001\t1\tSMPP:enquire_link\t32\t2023-11-14 22:13:20\n" : "");
    }
}

// The built tarnwick binary, run with a settings folder of its own and UTC as local time.
class TarnwickProcess {
public:
    explicit TarnwickProcess(const QString& configHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", configHome);
        env.insert("TZ", "UTC");
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

    // Waits for a whole line matching pattern; returns its first capture, or the line.
    std::string WaitForLine(const QString& pattern) {
        const QRegularExpression re(pattern);
        std::string found;
        test_net::WaitUntil([&] {
            for (const std::string& line : Lines(m_out)) {
                const QRegularExpressionMatch match = re.match(QString::fromStdString(line));
                if (match.hasMatch() && match.capturedLength() == QString::fromStdString(line).size()) {
                    found = (match.lastCapturedIndex() >= 1 ? match.captured(1) : match.captured(0)).toStdString();
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    bool WaitForExit() {
        return test_net::WaitUntil([&] { return m_process.state() == QProcess::NotRunning; });
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

TEST_F(TarnwickBinaryTest, RunsUntilASignalAndEndsWithStatusZero) {
    const int stopSignals[] = {SIGTERM, SIGINT};
    for (const int signal : stopSignals) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--trace"});
        const std::string port = tarnwick.WaitForLine(R"(\[SMPP\] SMPP server start ok! \(port = (\d+)\))");
        ASSERT_FALSE(port.empty()) << tarnwick.Output();
        ASSERT_NE(port, "0");

        test_net::TestClient client;
        ASSERT_TRUE(client.Connect(uint16_t(std::stoi(port))));
        const std::string clientPort = std::to_string(client.LocalPort());
        client.Send(SmppPdu(0x00000002, 1, BindBody("esme")));
        ASSERT_TRUE(client.WaitForBytes(26));
        client.Close();

        const QString time = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
        const QString peer = QString("IP address = 127\\.000\\.000\\.001 Port = %1 Time = ").arg(clientPort.c_str()) + time;
        EXPECT_FALSE(tarnwick.WaitForLine("\\[SMPP\\] ESME Connected \\[0\\] " + peer).empty()) << tarnwick.Output();
        EXPECT_FALSE(tarnwick.WaitForLine(QString("1\t127\\.000\\.000\\.001\t%1\tSMPP:bind_transmitter\t%2\t")
                                              .arg(clientPort.c_str())
                                              .arg(16 + 16 + 5 + 3 + 1 + 3 + 1) + time)
                         .empty())
            << tarnwick.Output();
        EXPECT_FALSE(tarnwick.WaitForLine(QString("2\t127\\.000\\.000\\.001\t%1\tSMPP:bind_transmitter_resp\t%2\t")
                                              .arg(port.c_str())
                                              .arg(16 + 16 + 5 + 5) + time)
                         .empty())
            << tarnwick.Output();
        EXPECT_FALSE(tarnwick.WaitForLine("\\[SMPP\\] ESME Disconnected \\[0\\] " + peer).empty()) << tarnwick.Output();

        ::kill(pid_t(tarnwick.Process().processId()), signal);
        ASSERT_TRUE(tarnwick.WaitForExit());
        EXPECT_EQ(tarnwick.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tarnwick.Process().exitCode(), 0);
    }
}

TEST_F(TarnwickBinaryTest, SignalRightAfterTheStartLineStillEndsWithStatusZero) {
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0"});
    ASSERT_FALSE(tarnwick.WaitForLine(R"(\[SMPP\] SMPP server start ok! \(port = (\d+)\))").empty()) << tarnwick.Output();
    tarnwick.Process().terminate();
    ASSERT_TRUE(tarnwick.WaitForExit());
    EXPECT_EQ(tarnwick.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tarnwick.Process().exitCode(), 0);
}

// A server that cannot start says "fail"; the other still starts, and the runner ends with 1.
TEST_F(TarnwickBinaryTest, PortInUsePrintsFailAndEndsWithStatusOne) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
    const std::string taken = std::to_string(occupant.serverPort());
    struct Case {
        const char* name;
        QStringList arguments;
        QString output;
    };
    const Case cases[] = {
        {"SMPP port taken", {"--headless", "--smpp-port", taken.c_str(), "--mobile-port", "0"},
         QString("\\[SMPP\\] SMPP server start fail! \\(port = %1\\)\n"
                 "\\[Mobile\\] Mobile server start OK! \\(port = \\d+\\)\n").arg(taken.c_str())},
        {"mobile port taken", {"--headless", "--smpp-port", "0", "--mobile-port", taken.c_str()},
         QString("\\[SMPP\\] SMPP server start ok! \\(port = \\d+\\)\n"
                 "\\[Mobile\\] Mobile server start fail! \\(port = %1\\)\n").arg(taken.c_str())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start(c.arguments);
        ASSERT_TRUE(tarnwick.WaitForExit());
        EXPECT_TRUE(QRegularExpression("^" + c.output + "$").match(QString::fromStdString(tarnwick.Output())).hasMatch())
            << tarnwick.Output();
        EXPECT_EQ(tarnwick.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tarnwick.Process().exitCode(), 1);
    }
}

TEST_F(TarnwickBinaryTest, MobileSimulatorIsServedAndTracedBesideTheEsmes) {
    TarnwickProcess tarnwick(configHome.path());
    tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--trace"});
    const std::string port = tarnwick.WaitForLine(R"(\[Mobile\] Mobile server start OK! \(port = (\d+)\))");
    ASSERT_FALSE(port.empty()) << tarnwick.Output();

    test_net::TestClient simulator;
    ASSERT_TRUE(simulator.Connect(uint16_t(std::stoi(port))));
    const std::string clientPort = std::to_string(simulator.LocalPort());
    simulator.Send(Builder().u32(40).u32(0x00001001).u32(1).u32(1).text("13900000001", 24).bytes());
    ASSERT_TRUE(simulator.WaitForBytes(16));

    const QString time = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
    EXPECT_FALSE(tarnwick.WaitForLine(QString("\\[Mobile\\] ESME Connected \\[0\\] IP address = "
                                              "127\\.000\\.000\\.001 Port = %1 Time = ").arg(clientPort.c_str()) + time)
                     .empty())
        << tarnwick.Output();
    EXPECT_FALSE(tarnwick.WaitForLine(QString("1\t127\\.000\\.000\\.001\t%1\tTEST:登录请求\t56\t").arg(clientPort.c_str()) + time)
                     .empty())
        << tarnwick.Output();
    EXPECT_FALSE(tarnwick.WaitForLine(QString("2\t127\\.000\\.000\\.001\t%1\tTEST:登录应答\t32\t").arg(port.c_str()) + time)
                     .empty())
        << tarnwick.Output();
    tarnwick.Process().terminate();
    ASSERT_TRUE(tarnwick.WaitForExit());
    EXPECT_EQ(tarnwick.Process().exitCode(), 0);
}

TEST_F(TarnwickBinaryTest, BadArgumentsEndWithStatusTwoAndHelpWithZero) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* stdoutStart;
    };
    const Case cases[] = {
        {{"--smpp-port", "70000"}, 2, ""},
        {{"--help"}, 0, "Usage: tarnwick"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start(c.arguments);
        ASSERT_TRUE(tarnwick.WaitForExit());
        EXPECT_EQ(tarnwick.Process().exitCode(), c.exitCode);
        EXPECT_EQ(tarnwick.Output().rfind(c.stdoutStart, 0), 0u) << tarnwick.Output();
    }
}

// The stored filter and ShowUnknown decide what the trace shows.
TEST_F(TarnwickBinaryTest, StoredSettingsDecideWhatIsCaptured) {
    const std::string all(30, '1');
    std::string noSubmit = all;
    noSubmit[9] = '0';
    struct Case {
        const char* name;
        std::string settings;
        std::vector<std::string> descriptions;
    };
    const Case cases[] = {
        {"no settings stored", "",
         {"bind_transceiver", "bind_transceiver_resp", "submit_sm", "submit_sm_resp", "未知", "generic_nack"}},
        {"submit_sm row off", "[Setup]\nFilter=" + noSubmit + "\n",
         {"bind_transceiver", "bind_transceiver_resp", "submit_sm_resp", "未知", "generic_nack"}},
        {"filter of the wrong length is ignored", "[Setup]\nFilter=" + noSubmit + "0\n",
         {"bind_transceiver", "bind_transceiver_resp", "submit_sm", "submit_sm_resp", "未知", "generic_nack"}},
        {"unknown PDUs hidden", "[Setup]\nShowUnknown=0\n",
         {"bind_transceiver", "bind_transceiver_resp", "submit_sm", "submit_sm_resp", "generic_nack"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(c.settings);
        TarnwickProcess tarnwick(configHome.path());
        tarnwick.Start({"--headless", "--smpp-port", "0", "--mobile-port", "0", "--trace"});
        const std::string port = tarnwick.WaitForLine(R"(\[SMPP\] SMPP server start ok! \(port = (\d+)\))");
        ASSERT_FALSE(port.empty()) << tarnwick.Output();

        test_net::TestClient client;
        ASSERT_TRUE(client.Connect(uint16_t(std::stoi(port))));
        client.Send(Builder()
                        .raw(SmppPdu(0x00000009, 1, BindBody("esme")))
                        .raw(SmppPdu(0x00000004, 2, Builder().fill(20)))
                        .raw(SmppPdu(0x00000777, 3))
                        .bytes());
        ASSERT_TRUE(client.WaitForBytes(26 + 23 + 16));
        // The generic_nack is the last record; once it is traced, every line is out.
        ASSERT_FALSE(tarnwick.WaitForLine(".*\tSMPP:generic_nack\t.*").empty()) << tarnwick.Output();

        std::vector<std::string> descriptions;
        const QRegularExpression re("^\\d+\t[\\d.]+\t\\d+\tSMPP:([^\t]+)\t");
        for (const std::string& line : Lines(tarnwick.Output())) {
            const QRegularExpressionMatch match = re.match(QString::fromStdString(line));
            if (match.hasMatch())
                descriptions.push_back(match.captured(1).toStdString());
        }
        EXPECT_EQ(descriptions, c.descriptions);
        tarnwick.Process().terminate();
        ASSERT_TRUE(tarnwick.WaitForExit());
    }
}

} // namespace
