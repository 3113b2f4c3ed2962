// The options of tarnwick and tarnwick-decode, one row each, in the order --help lists them.
#include "app/CommandLine.h"

#include "protocol/ConfigFields.h"
#include "protocol/Registry.h"

namespace command_line {
namespace {

using enum Complete;

constexpr Option kTarnwickOptions[] = {
    {"headless", "", "run without a window"},
    {"smpp-port", "N", "SMPP port (default 5018; 0 picks a free one, shown in the start line)"},
    {"mobile-port", "N", "mobile (TEST) port (default 8880; 0 picks a free one)"},
    {"ucp-port", "N", "UCP/EMI port (default Setup/UcpPort, 5020; 0 picks a free one, shown in the start line)"},
    {"cimd-port", "N", "CIMD2 port (default Setup/CimdPort, 5021; 0 picks a free one, shown in the start line)"},
    {"listen", "ADDR", "IPv4 address to listen on (default: all local addresses)"},
    {"trace", "", "print one line per captured PDU: seq, source IP, source port, protocol:command, length, time; "
                  "and one per routed or receipted message, per try of a deliver_sm and per connection the server "
                  "closes"},
    {"pcap", "FILE", "also write every captured PDU to FILE as a pcap capture, flushed every second", File},
    {"receipts", "", "send delivery receipts this run, whatever the stored options say"},
    {"receipt-delay", "MS", "milliseconds from a submit to its receipt this run"},
    {"no-routing", "", "carry no message between the mobile and SMPP sides this run"},
    {"faults", "FILE", "answer by the fault rules in FILE (a JSON array of rules: {fields}; the last five for SMPP 5.0 "
                       "sessions) instead of the stored ones, for this run only", File, {}, config_fields::fault_rule::kAll},
    {"seed", "N", "seed of the rules' chance, so that a run can be repeated"},
    {"accounts", "FILE", "check binds against the accounts in FILE (a JSON array of accounts: {fields}) instead of "
                         "the stored ones, for this run only", File, {}, config_fields::account::kAll},
    {"stats", "", "headless: print the statistics table at exit"},
    {"stats-json", "FILE", "headless: write the statistics to FILE as JSON at exit", File},
    {"control", "PORT", "serve the control API (HTTP, JSON) on 127.0.0.1:PORT; 0 picks a free port"},
    {"control-listen", "ADDR", "serve it on ADDR instead; then --control-token is needed"},
    {"control-token", "TOKEN", "every request must carry \"Authorization: Bearer TOKEN\""},
    {"tls-port", "N", "the SMPP service over TLS on port N as well (0 picks a free one)"},
    {"tls-cert", "FILE", "the TLS port's certificate (PEM); without it and --tls-key, a self-signed one made once "
                         "in the application's data folder", File},
    {"tls-key", "FILE", "the certificate's private key (PEM)", File},
    {"receipt-profile", "NAME|FILE", "how receipts look this run: \"Default\", \"TLV only\", \"data_sm receipts\", "
                                     "\"hex ids in text\", or a file with a profile as JSON ({fields})", File, {},
     config_fields::receipt_profile::kAll},
    {"echo", "DEST", "answer every message to DEST with a deliver_sm back to its sender"},
    {"echo-reverse", "", "with the text reversed"},
    {"generate", "FILE", "headless: run the traffic generator's job in FILE (JSON: {fields}; count or seconds, not "
                         "both) once systemId binds as a receiver or transceiver; its end is one line", File, {},
     config_fields::generator_job::kAll},
    {"help", "", "show this text"},
    {"version", "", "print the version"},
};

constexpr Section kTarnwickSections[] = {
    {"Pointing an ESME at it",
     "Give the ESME this machine's address and port 5018, or start Tarnwick with --smpp-port 2775 where the "
     "ESME keeps the usual SMPP port. While no accounts are set every bind is accepted, whatever its system id "
     "and password (--accounts FILE, or the window's \"Accounts\" page, sets them)."},
    {"Exit status",
     "0 after SIGINT or SIGTERM, after the window's close, and for --help and --version; 1 when a server could "
     "not start or a file could not be written; 2 for arguments that cannot be used, a file among them that "
     "cannot be read or holds something wrong."},
    {"Files",
     "~/.config/Vendrel/Tarnwick.conf holds the settings the window's options pages write: the capture filter, "
     "delivery, fault rules, accounts, sessions.\n\n"
     "~/.local/share/Vendrel/Tarnwick/tls-cert.pem and tls-key.pem are the self-signed TLS certificate and key, "
     "made on first use.\n\n"
     "share/tarnwick/introduce.txt under the installation's prefix (/usr/share/tarnwick from the package) is the "
     "introduction Help opens."},
};

constexpr Option kDecodeOptions[] = {
    {"file", "PATH", "read the bytes from a binary file instead of hex", File},
    {"protocol", "NAME", "the input is a bare PDU of protocol NAME ({words}); it is wrapped in a capture header "
                         "with time 0 (1970-01-01 00:00:00 UTC, shown in local time), address 127.0.0.1, port 0 "
                         "and the protocol's code", Words, protocol::kCliNameList},
    {"default-alphabet", "NAME", "what the SMSC means by SMPP data_coding 0: gsm (GSM 03.38, what an ESME means "
                                 "and the default), ascii or latin1. A line read with another alphabet than GSM "
                                 "says which", Words, "gsm ascii latin1"},
    {"stream", "", "the bytes hold several capture records one after another, each as long as its own length "
                   "field says (with --protocol: bare PDUs, cut by the protocol's framing as its server cuts a "
                   "connection); one block each, as --pcap prints them, long messages put back together"},
    {"offsets", "", "start each line with the offset and width of the bytes it covers, counted from the start of "
                    "the capture record"},
    {"pcap", "PATH", "decode every PDU of a pcap or pcapng capture file, one block per PDU with a blank line "
                     "between blocks. TCP streams are put back in order and cut into PDUs by their length fields; "
                     "the server's port names the protocol (SMPP 2775 5018, CMPP 7890 7900 7930 9168, SGIP 8801 "
                     "8001, SMGP 8890, CNGP 9890, TEST 8880); on another port, a connection whose first data is an "
                     "SMPP header is read as SMPP. What had to be skipped is counted on standard error at the end",
     File},
    {"decode-as", "PORT=NAME", "with --pcap: decode the streams of PORT as protocol NAME; may be given more than "
                               "once"},
    {"json", "", "write each record as one line of JSON, as GET /api/v1/pdus lists it: its header facts, its hex "
                 "and its fields, each with its name (smpp.destination_addr), raw value, shown value, offset and "
                 "length; with --pcap, the record that completes a long message carries it as reassembled (also with --stream)"},
    {"list-fields", "", "list every field name the decoder gives, with its protocol, the type of its raw value "
                        "and its label, one a line, tab-separated"},
    {"help", "", "show this text"},
    {"version", "", "print the version"},
};

constexpr std::string_view kDecodeForms[] = {
    "[--protocol NAME] [--offsets | --json] [--default-alphabet NAME] [HEX...]",
    "[--protocol NAME] [--offsets | --json] [--default-alphabet NAME] --file PATH",
    "[--protocol NAME] [--offsets | --json] [--default-alphabet NAME] --stream [HEX... | --file PATH]",
    "[--offsets | --json] [--default-alphabet NAME] --pcap PATH [--decode-as PORT=NAME ...]",
};

constexpr Section kDecodeSections[] = {
    {"Exit status",
     "0 when the decode ended without an error line (a command without a body included), 1 when it ended with "
     "an error line (with --pcap or --stream: any block did, or the input is cut short), 2 when the input is unusable."},
};

} // namespace

const Program kTarnwick = {
    "tarnwick",
    "SMSC simulator and SMS-protocol analyser for SMPP 3.4 client applications",
    {},
    "Runs the Tarnwick SMSC simulator: an SMPP 3.4 and 5.0 server for the ESME under test (port 5018) and a server for "
    "mobile-phone simulators that speak the TEST protocol (port 8880). Every PDU in both directions is captured "
    "for the window's \"SMPP Decoder\" page, the control API and --pcap.\n\n"
    "It opens its window when there is a display, and runs headless when --headless is given or there is none; "
    "headless, both servers' console lines go to standard output, each behind the name of its server.",
    kTarnwickOptions,
    kTarnwickSections,
    "tarnwick-decode(1)",
};

const Program kTarnwickDecode = {
    "tarnwick-decode",
    "decode SMPP, CMPP, SMGP, SGIP, CNGP and TEST PDUs from hex, a file or a pcap capture",
    kDecodeForms,
    "Decodes one capture record and prints the decoder's lines: group lines at the left, their fields indented "
    "below them.\n\n"
    "HEX... is the bytes as hex digits, two to a byte; blanks, line breaks, commas, colons, dashes and 0x "
    "prefixes may stand between bytes, and several arguments are joined. Without HEX and without --file the hex "
    "is read from standard input.\n\n"
    "A capture record is the 16-byte capture header (record length, capture time, source address, source port, "
    "protocol code; little-endian except the address) followed by the PDU. The record's length is the number of "
    "bytes given; its own length field is shown, never trusted.",
    kDecodeOptions,
    kDecodeSections,
    "tarnwick(1)",
};

} // namespace command_line
