// tarnwick-flood: a client that pipelines requests and never reads an answer, beside the growth of
// the server it floods: what back-pressure is there to bound.
//
// Logs in (TEST LOGIN, or an SMPP bind_transceiver), then sends SUBMITs (or submit_sm) as fast as
// the socket takes them for S seconds, reading nothing. Samples the server's resident memory from
// /proc/PID/status before the flood and every 20 ms during it and prints
// "protocol=P requests=N sent_mb=X rss_before_mb=A rss_peak_mb=B growth_mb=C".
#include "BenchPdu.h"
#include "BenchSocket.h"

#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kTestLogin = 0x00001001;
constexpr uint32_t kTestSubmit = 0x00001002;
constexpr int kSampleMs = 20;

// VmRSS of the process in kB; -1 when it cannot be read.
long ResidentKb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

// A TEST packet: length, command, sequence, body.
void AppendTest(std::string& out, uint32_t command, uint32_t sequence, const std::string& body) {
    uint8_t header[12];
    bench::WriteBe32(header, uint32_t(sizeof header + body.size()));
    bench::WriteBe32(header + 4, command);
    bench::WriteBe32(header + 8, sequence);
    out.append(reinterpret_cast<const char*>(header), sizeof header);
    out += body;
}

// A block of requests to send again and again, and the login that goes first.
struct Requests {
    std::string login;
    std::string block;
    int perBlock = 0;
};

Requests Build(bool smpp) {
    Requests r;
    r.perBlock = 256;
    if (smpp) {
        const std::string bind = bench::BindBody("flood"), submit = bench::SubmitBody("Hello world");
        bench::AppendPdu(r.login, bench::kBindTransceiver, 0, 1, bind.data(), uint32_t(bind.size()));
        for (int i = 0; i < r.perBlock; ++i)
            bench::AppendPdu(r.block, bench::kSubmitSm, 0, uint32_t(i + 2), submit.data(), uint32_t(submit.size()));
        return r;
    }
    std::string login(4, '\0'); // terminal_type
    login += std::string("13800000001").append(13, '\0');
    AppendTest(r.login, kTestLogin, 1, login);
    std::string submit = std::string("13900000002").append(13, '\0') + std::string("13800000001").append(13, '\0');
    submit += std::string(10, '\0') + char(11) + "Hello world";
    for (int i = 0; i < r.perBlock; ++i)
        AppendTest(r.block, kTestSubmit, uint32_t(i + 2), submit);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    int port = 0, pid = 0;
    bool smpp = false;
    double seconds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--port") port = std::atoi(argv[i + 1]);
        else if (arg == "--pid") pid = std::atoi(argv[i + 1]);
        else if (arg == "--protocol") smpp = std::string(argv[i + 1]) == "smpp";
        else if (arg == "--seconds") seconds = std::atof(argv[i + 1]);
        else port = -1;
    }
    if (port <= 0 || pid <= 0 || argc % 2 == 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: tarnwick-flood --port P --pid SERVER_PID [--protocol test|smpp] [--seconds S]\n");
        return 2;
    }
    const long before = ResidentKb(pid);
    const int fd = bench::ConnectLoopback(port);
    if (fd < 0 || before < 0) {
        std::perror(fd < 0 ? "connect" : "/proc/PID/status");
        return 1;
    }
    const Requests requests = Build(smpp);
    if (!bench::SendAll(fd, requests.login))
        return 1;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    long peak = before;
    uint64_t sentOctets = 0;
    size_t offset = 0; // into the block, across sends
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto nextSample = Clock::now();
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        if (now >= nextSample) {
            peak = std::max(peak, ResidentKb(pid));
            nextSample = now + std::chrono::milliseconds(kSampleMs);
        }
        const ssize_t n = send(fd, requests.block.data() + offset, requests.block.size() - offset, MSG_NOSIGNAL);
        if (n > 0) {
            sentOctets += uint64_t(n);
            offset = (offset + size_t(n)) % requests.block.size();
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd writable{fd, POLLOUT, 0};
            poll(&writable, 1, kSampleMs); // the server has stopped reading: wait, sampling on
        } else if (!(n < 0 && errno == EINTR)) {
            std::fprintf(stderr, "the server closed the connection\n");
            return 1;
        }
    }
    // What was sent is still being worked through: a last look once the server has had a moment.
    for (int i = 0; i < 10; ++i) {
        poll(nullptr, 0, kSampleMs);
        peak = std::max(peak, ResidentKb(pid));
    }
    const uint64_t requestOctets = requests.block.size() / size_t(requests.perBlock);
    std::printf("protocol=%s requests=%llu sent_mb=%.1f rss_before_mb=%.1f rss_peak_mb=%.1f growth_mb=%.1f\n",
                smpp ? "smpp" : "test", static_cast<unsigned long long>(sentOctets / requestOctets),
                double(sentOctets) / 1e6, double(before) / 1024, double(peak) / 1024, double(peak - before) / 1024);
    close(fd);
    return 0;
}
