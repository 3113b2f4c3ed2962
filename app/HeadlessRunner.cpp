// tarnwick --headless: the start-up sequence without a window, and a clean exit on SIGINT/SIGTERM.
#include "app/HeadlessRunner.h"

#include "app/CommandLine.h"
#include "app/HeadlessConsole.h"
#include "capture/Pcap.h"
#include "control/GeneratorJson.h"
#include "simulator/Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <string>
#include <utility>
#include <unistd.h>

namespace {

// Turns SIGINT and SIGTERM into a quit of the event loop: the handler only writes one octet
// to a pipe, and the loop reads it like any other socket.
class CSignalQuit {
public:
    CSignalQuit() {
        if (pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, [] {
            char octet;
            while (read(s_pipe[0], &octet, 1) > 0) {
            }
            QCoreApplication::exit(0);
        });
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    ~CSignalQuit() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        delete m_notifier;
        if (s_pipe[0] >= 0) {
            close(s_pipe[0]);
            close(s_pipe[1]);
            s_pipe[0] = s_pipe[1] = -1;
        }
    }
    CSignalQuit(const CSignalQuit&) = delete;
    CSignalQuit& operator=(const CSignalQuit&) = delete;

private:
    static void OnSignal(int) {
        const char octet = 1;
        [[maybe_unused]] const ssize_t written = write(s_pipe[1], &octet, 1);
    }

    static inline int s_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

// Writes every record the capture log stores to a pcap file as it is stored. The file outlives the
// log's wipes, and a timer flushes it every second, so a run killed at any moment leaves the traffic
// up to the last second in a file an analyser reads.
class CPcapLiveWriter : public CPacketLogListener {
public:
    static constexpr int kFlushIntervalMs = 1000;

    CPcapLiveWriter(CPacketLog& log, pcap::CPcapWriter& writer) : m_log(log), m_writer(writer) {
        m_log.AddListener(this);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_dirty)
                m_writer.Flush();
            m_dirty = false;
        });
        m_timer.start(kFlushIntervalMs);
    }
    ~CPcapLiveWriter() override {
        m_log.RemoveListener(this);
        m_writer.Flush();
    }
    CPcapLiveWriter(const CPcapLiveWriter&) = delete;
    CPcapLiveWriter& operator=(const CPcapLiveWriter&) = delete;

    void OnPacketsAdded(int32_t first, int32_t count) override {
        for (int32_t index = first; index < first + count; ++index) {
            uint32_t length = 0;
            if (const uint8_t* record = m_log.PacketAt(index, &length))
                m_writer.Write(record, length, m_log.SummaryAt(index));
        }
        m_dirty = true;
    }
    void OnLogReset() override {}

private:
    CPacketLog& m_log;
    pcap::CPcapWriter& m_writer;
    QTimer m_timer;
    bool m_dirty = false;
};

} // namespace

namespace {

// The names the runner reads the options by; the parser takes them from the option table
// (app/CommandLineTables.cpp), which also says what each means.
struct Flags {
    QCommandLineOption headless{"headless"}, help{"help"}, version{"version"}, trace{"trace"};
    QCommandLineOption receipts{"receipts"}, noRouting{"no-routing"};
    QCommandLineOption port{"smpp-port", QString(), "N"}, mobilePort{"mobile-port", QString(), "N"};
    QCommandLineOption ucpPort{"ucp-port", QString(), "N"}, cimdPort{"cimd-port", QString(), "N"};
    QCommandLineOption listen{"listen", QString(), "ADDR"}, pcapFile{"pcap", QString(), "FILE"};
    QCommandLineOption receiptDelay{"receipt-delay", QString(), "MS"}, faults{"faults", QString(), "FILE"};
    QCommandLineOption seed{"seed", QString(), "N"}, accounts{"accounts", QString(), "FILE"};
    QCommandLineOption control{"control", QString(), "PORT"}, controlListen{"control-listen", QString(), "ADDR"};
    QCommandLineOption controlToken{"control-token", QString(), "TOKEN"};
    QCommandLineOption stats{"stats"}, statsJson{"stats-json", QString(), "FILE"};
    QCommandLineOption tlsPort{"tls-port", QString(), "N"};
    QCommandLineOption generate{"generate", QString(), "FILE"};
    QCommandLineOption tlsCert{"tls-cert", QString(), "FILE"}, tlsKey{"tls-key", QString(), "FILE"};
    QCommandLineOption receiptProfile{"receipt-profile", QString(), "NAME|FILE"}, echo{"echo", QString(), "DEST"};
    QCommandLineOption echoReverse{"echo-reverse"};
};

// A built-in profile's name, else a file holding a profile as JSON.
bool ReadReceiptProfile(const QString& nameOrFile, HeadlessOptions& options) {
    if ((options.receiptProfile = receipt_profiles::BuiltIn(nameOrFile)))
        return true;
    QFile file(nameOrFile);
    if (!file.open(QIODevice::ReadOnly)) {
        options.error = QString("'%1' is no built-in receipt profile and no readable file.").arg(nameOrFile);
        return false;
    }
    QString error;
    options.receiptProfile = receipt_profiles::Parse(file.readAll(), &error);
    if (!error.isEmpty())
        options.error = QString("%1: %2.").arg(file.fileName(), error);
    return error.isEmpty();
}

// Reads the file an option names and hands its contents to read, which answers what is wrong with
// them (empty when nothing); false, with error naming the file, when it cannot be read or is wrong.
template <typename Read>
bool ReadFile(const QString& path, const char* what, QString& error, Read read) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("Cannot read %1 from '%2'.").arg(what, file.fileName());
        return false;
    }
    const QString wrong = read(file.readAll());
    if (!wrong.isEmpty())
        error = QString("%1: %2.").arg(file.fileName(), wrong);
    return wrong.isEmpty();
}

// A whole number option up to max into out; false, with the error naming what was wrong, when its
// value is none. An option not given leaves out as it is.
template <typename T>
bool ReadNumber(const QCommandLineParser& parser, const QCommandLineOption& option, uint max, const char* what, T& out,
                QString& error) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const uint value = parser.value(option).toUInt(&ok);
    if (!ok || value > max) {
        error = QString("Invalid %1 '%2'.").arg(what, parser.value(option));
        return false;
    }
    out = static_cast<T>(value);
    return true;
}

// --control and what goes with it.
bool ReadControl(const QCommandLineParser& parser, const Flags& f, HeadlessOptions& options) {
    QString& error = options.error;
    if (parser.isSet(f.control)) {
        ControlOptions control;
        control.token = parser.value(f.controlToken);
        if (!ReadNumber(parser, f.control, 65535, "control port", control.port, error))
            return false;
        if (parser.isSet(f.controlListen) && !control.address.setAddress(parser.value(f.controlListen))) {
            error = QString("Invalid address '%1'.").arg(parser.value(f.controlListen));
            return false;
        }
        // Another address is one others may reach: it is served with a token only.
        if (parser.isSet(f.controlListen) && control.token.isEmpty())
            error = QString("--control-listen %1 needs --control-token TOKEN: the control API would answer anyone "
                            "who can reach it.")
                        .arg(parser.value(f.controlListen));
        if (!error.isEmpty() || !(error = control.Check()).isEmpty())
            return false;
        options.control = control;
    } else if (parser.isSet(f.controlListen) || parser.isSet(f.controlToken)) {
        error = "--control-listen and --control-token go with --control PORT.";
        return false;
    }
    return true;
}

// The TLS port's certificate and key: both or neither, and only with the port.
bool ReadTls(const QCommandLineParser& parser, const Flags& f, HeadlessOptions& options) {
    QString& error = options.error;
    options.tlsCertificate = parser.value(f.tlsCert);
    options.tlsKey = parser.value(f.tlsKey);
    if (options.tlsCertificate.isEmpty() != options.tlsKey.isEmpty()) {
        error = "--tls-cert and --tls-key go together.";
        return false;
    }
    if (!options.tlsCertificate.isEmpty() && !options.tlsPort) {
        error = "--tls-cert and --tls-key need --tls-port.";
        return false;
    }
    return true;
}

// The values the options carry: numbers, the address and the fault rules file.
bool ReadValues(const QCommandLineParser& parser, const Flags& f, HeadlessOptions& options) {
    QString& error = options.error;
    if (!ReadNumber(parser, f.receiptDelay, INT32_MAX, "receipt delay", options.receiptDelayMs, error) ||
        !ReadNumber(parser, f.port, 65535, "port", options.smppPort, error) ||
        !ReadNumber(parser, f.mobilePort, 65535, "port", options.mobilePort, error) ||
        !ReadNumber(parser, f.ucpPort, 65535, "port", options.ucpPort, error) ||
        !ReadNumber(parser, f.cimdPort, 65535, "port", options.cimdPort, error))
        return false;
    if (parser.isSet(f.listen)) {
        const QHostAddress address(parser.value(f.listen));
        if (address.protocol() != QAbstractSocket::IPv4Protocol) {
            error = QString("Invalid IPv4 address '%1'.").arg(parser.value(f.listen));
            return false;
        }
        options.listen = address;
    }
    if (!ReadNumber(parser, f.seed, UINT32_MAX, "seed", options.seed, error) ||
        !ReadNumber(parser, f.tlsPort, 65535, "TLS port", options.tlsPort, error))
        return false;
    if (parser.isSet(f.accounts) &&
        !ReadFile(parser.value(f.accounts), "accounts", error, [&options](const QByteArray& json) {
            QString wrong;
            options.accounts = accounts::Parse(json, &wrong);
            return wrong.isEmpty() ? receipt_profiles::CheckAccounts(*options.accounts) : wrong;
        }))
        return false;
    if (!ReadControl(parser, f, options) || !ReadTls(parser, f, options))
        return false;
    if (parser.isSet(f.receiptProfile) && !ReadReceiptProfile(parser.value(f.receiptProfile), options))
        return false;
    if (parser.isSet(f.echo))
        options.echo = EchoSettings{parser.value(f.echo).toStdString(), parser.isSet(f.echoReverse)};
    if (parser.isSet(f.echoReverse) && (!options.echo || options.echo->destination.empty())) {
        error = "--echo-reverse goes with --echo DEST.";
        return false;
    }
    if (parser.isSet(f.faults) &&
        !ReadFile(parser.value(f.faults), "fault rules", error, [&options](const QByteArray& json) {
            QString wrong;
            options.faultRules = fault_rules::Parse(json, &wrong);
            return wrong;
        }))
        return false;
    return !parser.isSet(f.generate) ||
           ReadFile(parser.value(f.generate), "the traffic generator's job", error, [&options](const QByteArray& json) {
               QString wrong;
               options.generate = ParseGeneratorJob(json, &wrong);
               return options.generate ? QString() : wrong;
           });
}

} // namespace

void ApplyRunOptions(const HeadlessOptions& options, CSimulator& simulator) {
    if (options.tlsPort)
        simulator.UseTls({*options.tlsPort, options.tlsCertificate, options.tlsKey});
    // The receipts' state mix draws from the same seed as the fault rules.
    if (options.seed)
        simulator.SetSeed(*options.seed);
    if (options.receiptProfile)
        simulator.SetReceiptProfile(*options.receiptProfile);
    if (options.echo)
        simulator.SetEcho(*options.echo);
}

HeadlessOptions ParseHeadlessOptions(const QStringList& arguments) {
    HeadlessOptions options;
    QCommandLineParser parser;
    const Flags f;
    // The parser takes exactly the options --help lists.
    const auto text = [](std::string_view view) { return QString::fromUtf8(view.data(), qsizetype(view.size())); };
    for (const command_line::Option& option : command_line::kTarnwick.options)
        parser.addOption(QCommandLineOption(text(option.name), QString(), text(option.value)));
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return options;
    }
    options.headless = parser.isSet(f.headless);
    options.help = parser.isSet(f.help);
    options.version = parser.isSet(f.version);
    options.trace = parser.isSet(f.trace);
    options.pcapPath = parser.value(f.pcapFile);
    options.receipts = parser.isSet(f.receipts);
    options.noRouting = parser.isSet(f.noRouting);
    options.stats = parser.isSet(f.stats);
    options.statsJsonPath = parser.value(f.statsJson);
    ReadValues(parser, f, options);
    return options;
}

QString HeadlessUsage() { return QString::fromStdString(command_line::Usage(command_line::kTarnwick)); }

bool NoDisplay() {
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

namespace {

// What only a headless run sets: its delivery switches, its trace, and the rules and accounts it was given.
void ApplyHeadlessSettings(const HeadlessOptions& options, CSimulator& simulator, std::ostream& out) {
    DeliverySettings delivery = simulator.Delivery();
    delivery.receipts = delivery.receipts || options.receipts;
    delivery.routing = delivery.routing && !options.noRouting;
    if (options.receiptDelayMs >= 0)
        delivery.receiptDelayMs = options.receiptDelayMs;
    simulator.SetDelivery(delivery);
    if (options.trace)
        simulator.SetTrace([&out](const std::string& line) { out << line << '\n' << std::flush; });
    if (options.faultRules)
        simulator.UseFaultRules(*options.faultRules);
    if (options.accounts)
        simulator.UseAccounts(*options.accounts);
}

} // namespace

int RunHeadless(const HeadlessOptions& options, std::ostream& out) {
    // Before the start lines: whoever sees one may signal at once.
    CSignalQuit signalQuit;
    CSimulator simulator({options.smppPort, options.mobilePort, options.ucpPort, options.cimdPort, options.listen});
    ApplyRunOptions(options, simulator);
    CHeadlessConsole smppConsole(simulator.Smpp(), out, "[SMPP] ");
    CHeadlessConsole mobileConsole(simulator.Mobile(), out, "[Mobile] ");
    CHeadlessConsole ucpConsole(simulator.Ucp(), out, "[UCP] ");
    simulator.Ucp().AddObserver(&ucpConsole);
    CHeadlessConsole cimdConsole(simulator.Cimd(), out, "[CIMD] ");
    simulator.Cimd().AddObserver(&cimdConsole);
    simulator.Smpp().AddObserver(&smppConsole);
    simulator.Mobile().AddObserver(&mobileConsole);
    CHeadlessTrace trace(simulator.Log(), simulator.Decoder(), out, options.trace);
    pcap::CPcapWriter writer;
    std::optional<CPcapLiveWriter> liveWriter;
    if (!options.pcapPath.isEmpty()) {
        std::string error;
        if (!writer.Open(options.pcapPath.toStdString(), error)) {
            out << error << std::endl;
            return 1;
        }
        liveWriter.emplace(simulator.Log(), writer);
    }
    ApplyHeadlessSettings(options, simulator, out);
    // Tried at once, so that a run is not spent before the file turns out to be unwritable.
    QFile statsJson(options.statsJsonPath);
    const auto cannotWrite = [&] {
        out << "Cannot write statistics to '" << statsJson.fileName().toStdString()
            << "': " << statsJson.errorString().toStdString() << "." << std::endl;
        return 1;
    };
    if (!options.statsJsonPath.isEmpty() && !statsJson.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return cannotWrite();
    if (!simulator.Start())
        return 1;
    std::optional<CControlServer> control;
    if (options.control) {
        QString error;
        if (!control.emplace(simulator).Start(*options.control, &error)) {
            out << "[Control] " << error.toStdString() << std::endl;
            return 1;
        }
        out << "[Control] " << control->StartLine().toStdString() << std::endl;
    }
    if (options.generate)
        simulator.Generator().Start(*options.generate, true);
    int status = QCoreApplication::exec();
    if (options.stats)
        out << simulator.Statistics().Table() << std::flush;
    if (statsJson.isOpen()) {
        QJsonObject stats = simulator.Statistics().Json();
        stats["generator"] = simulator.Generator().Json();
        const QByteArray json = QJsonDocument(stats).toJson();
        if (statsJson.write(json) != json.size() || !statsJson.flush())
            status = cannotWrite();
    }
    return status;
}
