// tarnwick --headless: the start-up sequence without a window, and a clean exit on SIGINT/SIGTERM.
#include "app/HeadlessRunner.h"

#include "app/HeadlessConsole.h"
#include "capture/Pcap.h"
#include "simulator/Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
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
                m_writer.Write(record, length, m_log.PeerAt(index));
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

HeadlessOptions ParseHeadlessOptions(const QStringList& arguments) {
    HeadlessOptions options;
    QCommandLineParser parser;
    const QCommandLineOption headless("headless");
    const QCommandLineOption help("help");
    const QCommandLineOption trace("trace");
    const QCommandLineOption port("smpp-port", QString(), "N");
    const QCommandLineOption mobilePort("mobile-port", QString(), "N");
    const QCommandLineOption listen("listen", QString(), "ADDR");
    const QCommandLineOption pcapFile("pcap", QString(), "FILE");
    const QCommandLineOption receipts("receipts");
    const QCommandLineOption receiptDelay("receipt-delay", QString(), "MS");
    const QCommandLineOption noRouting("no-routing");
    const QCommandLineOption faults("faults", QString(), "FILE");
    const QCommandLineOption seed("seed", QString(), "N");
    parser.addOptions(
        {headless, help, trace, port, mobilePort, listen, pcapFile, receipts, receiptDelay, noRouting, faults, seed});
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return options;
    }
    options.headless = parser.isSet(headless);
    options.help = parser.isSet(help);
    options.trace = parser.isSet(trace);
    options.pcapPath = parser.value(pcapFile);
    options.receipts = parser.isSet(receipts);
    options.noRouting = parser.isSet(noRouting);
    if (parser.isSet(receiptDelay)) {
        bool ok = false;
        const int delay = parser.value(receiptDelay).toInt(&ok);
        if (!ok || delay < 0) {
            options.error = QString("Invalid receipt delay '%1'.").arg(parser.value(receiptDelay));
            return options;
        }
        options.receiptDelayMs = delay;
    }
    for (const auto& [option, target] : {std::pair{&port, &options.smppPort}, std::pair{&mobilePort, &options.mobilePort}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        const uint value = parser.value(*option).toUInt(&ok);
        if (!ok || value > 65535) {
            options.error = QString("Invalid port '%1'.").arg(parser.value(*option));
            return options;
        }
        *target = static_cast<uint16_t>(value);
    }
    if (parser.isSet(listen)) {
        const QHostAddress address(parser.value(listen));
        if (address.protocol() != QAbstractSocket::IPv4Protocol) {
            options.error = QString("Invalid IPv4 address '%1'.").arg(parser.value(listen));
            return options;
        }
        options.listen = address;
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok) {
            options.error = QString("Invalid seed '%1'.").arg(parser.value(seed));
            return options;
        }
    }
    if (parser.isSet(faults)) {
        QFile file(parser.value(faults));
        if (!file.open(QIODevice::ReadOnly)) {
            options.error = QString("Cannot read fault rules from '%1'.").arg(file.fileName());
            return options;
        }
        QString error;
        options.faultRules = fault_rules::Parse(file.readAll(), &error);
        if (!error.isEmpty()) {
            options.error = QString("%1: %2.").arg(file.fileName(), error);
            return options;
        }
    }
    return options;
}

QString HeadlessUsage() {
    return "Usage: tarnwick [--headless] [--smpp-port N] [--mobile-port N] [--listen ADDR] [--trace]\n"
           "                [--pcap FILE] [--receipts] [--receipt-delay MS] [--no-routing]\n"
           "                [--faults FILE] [--seed N] [--help]\n"
           "\n"
           "Runs the Tarnwick SMSC simulator in its window, or headless when --headless is given or\n"
           "there is no display. Headless, both servers' console lines go to standard output, behind\n"
           "\"[SMPP] \" or \"[Mobile] \".\n"
           "\n"
           "  --headless       run without a window\n"
           "  --smpp-port N    SMPP port (default 5018; 0 picks a free one)\n"
           "  --mobile-port N  mobile (TEST) port (default 8880; 0 picks a free one)\n"
           "  --listen ADDR    IPv4 address to listen on (default: all local addresses)\n"
           "  --trace          print one line per captured PDU: seq, source IP, source port,\n"
           "                   protocol:command, length, time; and one per routed or receipted message\n"
           "  --pcap FILE      headless: also write every captured PDU to FILE as a pcap capture,\n"
           "                   flushed every second\n"
           "  --receipts       send delivery receipts this run, whatever the options say\n"
           "  --receipt-delay MS  milliseconds from a submit to its receipt this run\n"
           "  --no-routing     carry no message between the mobile and SMPP sides this run\n"
           "  --faults FILE    answer by the fault rules in FILE (a JSON array of rules:\n"
           "                   command, systemId, destination, status, delayMs, action,\n"
           "                   probability, ratePerSecond, enabled) instead of the stored ones,\n"
           "                   for this run only\n"
           "  --seed N         seed of the rules' chance, so that a run can be repeated\n"
           "  --help           show this text\n";
}

bool NoDisplay() {
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int RunHeadless(const HeadlessOptions& options, std::ostream& out) {
    // Before the start lines: whoever sees one may signal at once.
    CSignalQuit signalQuit;
    CSimulator simulator({options.smppPort, options.mobilePort, options.listen});
    CHeadlessConsole smppConsole(simulator.Smpp(), out, "[SMPP] ");
    CHeadlessConsole mobileConsole(simulator.Mobile(), out, "[Mobile] ");
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
    DeliverySettings delivery = simulator.Delivery();
    delivery.receipts = delivery.receipts || options.receipts;
    delivery.routing = delivery.routing && !options.noRouting;
    if (options.receiptDelayMs >= 0)
        delivery.receiptDelayMs = options.receiptDelayMs;
    simulator.SetDelivery(delivery);
    if (options.trace)
        simulator.Router().SetTrace([&out](const std::string& line) { out << line << '\n' << std::flush; });
    if (options.faultRules)
        simulator.UseFaultRules(*options.faultRules);
    if (options.seed)
        simulator.Smpp().Faults().SetSeed(*options.seed);
    if (!simulator.Start())
        return 1;
    return QCoreApplication::exec();
}
