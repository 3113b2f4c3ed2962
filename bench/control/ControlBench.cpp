// tarnwick-control-bench: the control API's side of the load benchmark.
//
//   follow --port P --seconds S              reads /api/v1/events for S seconds; prints events and octets
//   pdus --port P --smpp-port Q --runs N     fills the capture over SMPP until it is nearly full, then times
//                                            N answers of GET /api/v1/pdus?limit=1000; prints p50 and max
//   probe --port P --seconds S [--every MS]  times GET /api/v1/status every MS (default 50) for S seconds, each
//                                            waited for 5 s at most; prints probes, p50, max and failed
// Plain blocking sockets, one thread: the client costs the machine as little as a test's client would.
#include "BenchPdu.h"
#include "BenchSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kFullRecords = 17000; // of the ~18,900 the 1 MiB capture holds of this client's pairs

int Connect(int port) {
    const int fd = bench::ConnectLoopback(port);
    if (fd < 0) {
        std::perror("connect");
        std::exit(1);
    }
    return fd;
}

void SendAll(int fd, const std::string& data) {
    if (!bench::SendAll(fd, data)) {
        std::perror("send");
        std::exit(1);
    }
}

bool ReadSome(int fd, std::string& into) {
    char buffer[65536];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0)
        into.append(buffer, size_t(n));
    return n > 0;
}

// One GET on a connection of its own; the body.
std::string Get(int port, const std::string& target) {
    const int fd = Connect(port);
    SendAll(fd, "GET " + target + " HTTP/1.1\r\nHost: bench\r\n\r\n");
    std::string in;
    size_t head = std::string::npos, length = 0;
    while (head == std::string::npos || in.size() < head + 4 + length) {
        if (!ReadSome(fd, in))
            break;
        if (head == std::string::npos && (head = in.find("\r\n\r\n")) != std::string::npos) {
            const size_t field = in.find("Content-Length: ");
            length = field < head ? std::strtoul(in.c_str() + field + 16, nullptr, 10) : 0;
        }
    }
    close(fd);
    return head == std::string::npos ? std::string() : in.substr(head + 4);
}

long Number(const std::string& json, const char* key) {
    const size_t at = json.find(std::string("\"") + key + "\":");
    return at == std::string::npos ? -1 : std::strtol(json.c_str() + at + std::strlen(key) + 3, nullptr, 10);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

int Follow(int port, double seconds) {
    const int fd = Connect(port);
    SendAll(fd, "GET /api/v1/events HTTP/1.1\r\nHost: bench\r\n\r\n");
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::string in;
    size_t events = 0, octets = 0;
    pollfd watch{fd, POLLIN, 0};
    while (Clock::now() < end) {
        if (poll(&watch, 1, 100) <= 0)
            continue;
        if (!ReadSome(fd, in))
            break;
        octets += in.size();
        events += Count(in, "event: pdu\n");
        // An event split between two reads is counted with the second.
        const size_t keep = std::min<size_t>(in.size(), 10);
        in.erase(0, in.size() - keep);
    }
    std::printf("events=%zu octets=%zu\n", events, octets);
    return 0;
}

int Pdus(int port, int smppPort, int runs) {
    const int esme = Connect(smppPort);
    std::string out;
    const char bind[] = "bench\0pw\0\0\x34\0\0";
    bench::AppendPdu(out, bench::kBindTransceiver, 0, 1, bind, sizeof bind);
    SendAll(esme, out);
    const char submit[] = "\0\1\1" "12345\0" "\1\1" "10086\0" "\0\0\0" "\0\0" "\0\0\0\0" "\x05" "hello";
    uint32_t sequence = 1;
    long records = 0;
    std::string in;
    while ((records = Number(Get(port, "/api/v1/status"), "records")) < kFullRecords) {
        out.clear();
        for (int i = 0; i < 100; ++i)
            bench::AppendPdu(out, bench::kSubmitSm, 0, ++sequence, submit, sizeof submit - 1);
        SendAll(esme, out);
        // Every answer in before the next look at the count.
        for (size_t answers = 0; answers < 100 + (sequence == 101);) {
            ReadSome(esme, in);
            while (in.size() >= 4 && in.size() >= bench::ReadBe32(reinterpret_cast<const uint8_t*>(in.data()))) {
                in.erase(0, bench::ReadBe32(reinterpret_cast<const uint8_t*>(in.data())));
                ++answers;
            }
        }
    }
    std::vector<double> ms;
    size_t listed = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const std::string body = Get(port, "/api/v1/pdus?limit=1000");
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        listed = Count(body, "\"seq\":");
    }
    std::sort(ms.begin(), ms.end());
    std::printf("records=%ld listed=%zu p50_ms=%.2f max_ms=%.2f\n", records, listed, ms[ms.size() / 2], ms.back());
    close(esme);
    return 0;
}

// How long the control API takes to answer while the server is under load: a window or API that
// freezes shows as a long maximum, one that never answers as failed probes.
int Probe(int port, double seconds, int everyMs) {
    std::vector<double> ms;
    int failed = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        const auto start = Clock::now();
        const int fd = bench::ConnectLoopback(port);
        std::string in;
        if (fd >= 0) {
            const timeval wait{5, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            if (bench::SendAll(fd, "GET /api/v1/status HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n"))
                while (in.find("\r\n\r\n") == std::string::npos && ReadSome(fd, in)) {
                }
            close(fd);
        }
        const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (in.rfind("HTTP/1.1 200", 0) == 0)
            ms.push_back(took);
        else
            ++failed;
        usleep(useconds_t(std::max(0.0, everyMs - took) * 1000));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("probes=%zu p50_ms=%.2f max_ms=%.2f failed=%d\n", ms.size(), ms.empty() ? 0 : ms[ms.size() / 2],
                ms.empty() ? 0 : ms.back(), failed);
    return 0;
}

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int port = std::atoi(Arg(argc, argv, "--port", "0"));
    if (mode == "follow")
        return Follow(port, std::atof(Arg(argc, argv, "--seconds", "3")));
    if (mode == "pdus")
        return Pdus(port, std::atoi(Arg(argc, argv, "--smpp-port", "0")), std::atoi(Arg(argc, argv, "--runs", "20")));
    if (mode == "probe")
        return Probe(port, std::atof(Arg(argc, argv, "--seconds", "3")), std::atoi(Arg(argc, argv, "--every", "50")));
    std::fprintf(stderr, "usage: tarnwick-control-bench follow|pdus|probe --port P [--seconds S] [--smpp-port Q] "
                         "[--runs N] [--every MS]\n");
    return 2;
}
