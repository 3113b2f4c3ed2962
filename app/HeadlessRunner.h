// Command-line options and the event loop of `tarnwick --headless`.
#pragma once

#include "control/ControlServer.h"
#include "protocol/Registry.h"
#include "simulator/Router.h"
#include "smpp/Accounts.h"
#include "smpp/FaultRules.h"
#include "simulator/TrafficGenerator.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

struct HeadlessOptions {
    bool headless = false;      // --headless was given
    bool help = false;
    bool version = false;       // --version
    bool trace = false;         // one line per captured record
    uint16_t smppPort = protocol::kSmppServerPort;   // 0 picks a free port
    uint16_t mobilePort = protocol::kMobileServerPort; // 0 picks a free port
    std::optional<uint16_t> ucpPort;                    // --ucp-port; 0 picks a free port; none: Setup/UcpPort
    std::optional<uint16_t> cimdPort;                   // --cimd-port; 0 picks a free port; none: Setup/CimdPort
    QHostAddress listen{QHostAddress::AnyIPv4};
    QString pcapPath;           // --pcap: every captured PDU also goes to this capture file
    bool receipts = false;      // --receipts: delivery receipts on for this run
    int receiptDelayMs = -1;    // --receipt-delay MS; -1: as stored
    bool noRouting = false;     // --no-routing: nothing carried between the servers this run
    std::optional<std::vector<FaultRule>> faultRules; // read from the --faults file
    std::optional<uint32_t> seed;                     // --seed: chance faults repeat run after run
    std::optional<std::vector<Account>> accounts;     // read from the --accounts file
    std::optional<ReceiptProfile> receiptProfile;     // --receipt-profile NAME|FILE
    std::optional<EchoSettings> echo;                 // --echo DEST [--echo-reverse]
    std::optional<ControlOptions> control;            // --control PORT, --control-listen ADDR, --control-token TOKEN
    bool stats = false;         // --stats: the statistics table on standard output at exit
    QString statsJsonPath;      // --stats-json: the statistics as JSON (GET /api/v1/stats) to this file at exit
    std::optional<uint16_t> tlsPort;                  // --tls-port: the SMPP service over TLS as well
    QString tlsCertificate, tlsKey;                   // --tls-cert, --tls-key: PEM files
    std::optional<GeneratorJob> generate;             // read from the --generate file
    QString error;              // set when the arguments cannot be used
};

class CSimulator;

// arguments[0] is the program name, as QCoreApplication::arguments() gives it.
HeadlessOptions ParseHeadlessOptions(const QStringList& arguments);
// What the window and the headless runner alike take from the options before the start: the TLS port,
// the seed, the receipt profile and the echo.
void ApplyRunOptions(const HeadlessOptions& options, CSimulator& simulator);
QString HeadlessUsage();

// True when there is no display to open a window on.
bool NoDisplay();

// Starts the SMPP and mobile servers with the stored filter (and the control API when asked), prints
// their console lines to out and runs the event loop until SIGINT or SIGTERM, then prints or writes
// the statistics when asked. Needs a QCoreApplication. Returns the exit status: 0 after a signal, 1 when either server could
// not start or a file could not be written.
int RunHeadless(const HeadlessOptions& options, std::ostream& out);
